#pragma once

#include <csignal>

// While it lives, SIGINT, SIGTERM and SIGHUP only ask the running save to
// stop (it finishes the file or move in progress and leaves a consistent
// folder), or call `handler` instead when one is given; the previous
// handlers come back afterwards.
class StopSignals {
public:
    explicit StopSignals(void (*handler)(int) = nullptr);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The exit status for a save a signal stopped (128 + signal), or 0.
    static int exitStatus();

    // For the command-line tests: TROVIX_TEST_SIGNAL_AT_STEP="NAME:K:SIG"
    // sends SIG to this process just before the K-th save step named NAME,
    // so a signal lands at an exact point of a real save.
    static void installTestTrigger();

private:
    struct sigaction fOld[3];
};
