#pragma once

#include <functional>

// Runs `work` (a save) in a child process that dies, as by SIGKILL, with no
// clean-up, just before its save step number `step` (counted from 0, as
// announced through SaveSteps). True when the child died there; false when
// it got past every step, died otherwise, or hung for 20 seconds.
bool diesBeforeStep(const std::function<void()>& work, int step);
