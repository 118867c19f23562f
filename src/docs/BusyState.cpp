#include "docs/BusyState.h"

#include <QMutexLocker>

BusyState::State BusyState::state() const {
    QMutexLocker locker(&fMutex);
    return fState;
}

void BusyState::enter(State s) {
    QMutexLocker locker(&fMutex);
    while (fState != Idle) fIdle.wait(&fMutex);
    fState = s;
}

bool BusyState::tryEnter(State s) {
    QMutexLocker locker(&fMutex);
    if (fState != Idle) return false;
    fState = s;
    return true;
}

void BusyState::leave() {
    QMutexLocker locker(&fMutex);
    fState = Idle;
    fIdle.wakeAll();
}
