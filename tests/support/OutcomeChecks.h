#pragma once

#include "system/Outcome.h"

#include <gtest/gtest.h>

// Passes when the step was done; else fails with the reason it gave, so a
// failed save says why in the test's output.
inline testing::AssertionResult isDone(const Outcome& outcome) {
    if (outcome.ok()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "not done: " << outcome.reason.toStdString();
}
