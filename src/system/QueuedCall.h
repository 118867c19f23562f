#pragma once

#include <QEvent>

#include <functional>

class QObject;

// A call from a worker to an object's thread, posted as an event rather than
// a queued functor: once posted, only the receiving thread touches it, down
// to its deletion. The receiver's customEvent hands its events to run().
class QueuedCall : public QEvent {
public:
    static void post(QObject* receiver, std::function<void()> call);
    // Runs the call when `event` is one; false for any other event.
    static bool run(QEvent* event);
    // What an event filter that may see these events acquires
    // (ThreadHandover) before it reads one: a worker wrote the event.
    static const void* handoverToken();

private:
    explicit QueuedCall(std::function<void()> call);
    static QEvent::Type type();

    std::function<void()> fCall;
};
