#include "web/LookupDeadline.h"

#include <algorithm>

namespace {

thread_local LookupDeadline* tCurrent = nullptr;

} // namespace

LookupDeadline::LookupDeadline(std::chrono::milliseconds limit)
    : fEnd(Clock::now() + limit), fOuter(tCurrent) {
    if (fOuter) fEnd = std::min(fEnd, fOuter->fEnd);
    tCurrent = this;
}

LookupDeadline::~LookupDeadline() {
    tCurrent = fOuter;
}

bool LookupDeadline::passed() {
    return tCurrent && Clock::now() >= tCurrent->fEnd;
}

std::optional<LookupDeadline::Clock::time_point> LookupDeadline::end() {
    if (!tCurrent) return std::nullopt;
    return tCurrent->fEnd;
}
