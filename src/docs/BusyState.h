#pragma once

#include <condition_variable>
#include <mutex>

// The document's busy state: a value whose changes are atomic, never a lock
// held during the work. Opening, looking up and saving each enter their own
// state from idle and return to idle when done, so they never overlap.
// Standard primitives, so the thread sanitizer sees the hand-over.
class BusyState {
public:
    enum State { Idle = 1, Opening = 2, LookingUp = 3, Saving = 4 };

    State state() const;
    bool isIdle() const { return state() == Idle; }

    // Waits until idle, then enters the state.
    void enter(State s);
    // Enters the state only when idle at this moment.
    bool tryEnter(State s);
    // Back to idle; wakes every waiter.
    void leave();

private:
    mutable std::mutex fMutex;
    std::condition_variable fIdle;
    State fState = Idle;
};
