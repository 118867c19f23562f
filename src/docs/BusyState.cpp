#include "docs/BusyState.h"

BusyState::State BusyState::state() const {
    std::lock_guard locker(fMutex);
    return fState;
}

void BusyState::enter(State s) {
    std::unique_lock locker(fMutex);
    fIdle.wait(locker, [this] { return fState == Idle; });
    fState = s;
}

bool BusyState::tryEnter(State s) {
    std::lock_guard locker(fMutex);
    if (fState != Idle) return false;
    fState = s;
    return true;
}

void BusyState::leave() {
    {
        std::lock_guard locker(fMutex);
        fState = Idle;
    }
    fIdle.notify_all();
}
