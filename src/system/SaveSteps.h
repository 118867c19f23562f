#pragma once

#include <functional>

// The steps of a save that change the disk (a write, a rename, a journal
// entry), announced by name just before each one. Tests install a hook to
// stop the process at a chosen step; in normal runs there is none.
namespace SaveSteps {

using Hook = std::function<void(const char* step)>;

void setHook(Hook hook);
void step(const char* name);

// Set from a signal handler (SIGINT, SIGTERM, SIGHUP) or by the window when
// it closes: a save finishes the file or rename step in progress, then stops.
void requestStop(int signal);
bool stopRequested();
// The signal that asked for the stop (0: none, or the window asked).
int stopSignal();
void clearStop();

} // namespace SaveSteps
