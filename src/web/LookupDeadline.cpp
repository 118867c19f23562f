#include "web/LookupDeadline.h"

#include <algorithm>

namespace {

thread_local LookupDeadline* tInnermostDeadline = nullptr;

} // namespace

LookupDeadline::LookupDeadline(std::chrono::milliseconds limit)
    : fEnd(Clock::now() + limit), fOuter(tInnermostDeadline) {
    if (fOuter) fEnd = std::min(fEnd, fOuter->fEnd);
    tInnermostDeadline = this;
}

LookupDeadline::~LookupDeadline() {
    tInnermostDeadline = fOuter;
}

bool LookupDeadline::passed() {
    return tInnermostDeadline && Clock::now() >= tInnermostDeadline->fEnd;
}

std::optional<LookupDeadline::Clock::time_point> LookupDeadline::end() {
    if (!tInnermostDeadline) return std::nullopt;
    return tInnermostDeadline->fEnd;
}
