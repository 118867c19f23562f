#pragma once

#include <chrono>
#include <optional>

// The end of one look-up. A worker holds a scope for the whole look-up;
// fetches on its thread start only before the end and are cut off at it, so
// a silent or trickling server cannot hold a look-up longer than its limit.
// A scope inside another never reaches past the outer end. Without a scope
// nothing ends early.
class LookupDeadline {
public:
    using Clock = std::chrono::steady_clock;

    explicit LookupDeadline(std::chrono::milliseconds limit);
    ~LookupDeadline();
    LookupDeadline(const LookupDeadline&) = delete;
    LookupDeadline& operator=(const LookupDeadline&) = delete;

    // False when the calling thread has no scope.
    static bool passed();
    // The end of the calling thread's scope; none without one.
    static std::optional<Clock::time_point> end();

private:
    Clock::time_point fEnd;
    LookupDeadline* fOuter;
};
