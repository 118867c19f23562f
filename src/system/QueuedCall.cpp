#include "system/QueuedCall.h"

#include "system/ThreadHandover.h"

#include <QCoreApplication>

namespace {

// The hand-over passes through Qt's event queue, which the thread sanitizer
// does not see into. The receiver acquires before it reads the event, so the
// token cannot be part of it.
char gPosted;

} // namespace

QueuedCall::QueuedCall(std::function<void()> call) : QEvent(type()), fCall(std::move(call)) {}

QEvent::Type QueuedCall::type() {
    static const QEvent::Type t = QEvent::Type(QEvent::registerEventType());
    return t;
}

void QueuedCall::post(QObject* receiver, std::function<void()> call) {
    auto* event = new QueuedCall(std::move(call));
    ThreadHandover::release(&gPosted);
    QCoreApplication::postEvent(receiver, event);
}

const void* QueuedCall::handoverToken() {
    return &gPosted;
}

bool QueuedCall::run(QEvent* event) {
    // Before the type is read: a worker wrote it when it made the event.
    ThreadHandover::acquire(&gPosted);
    if (event->type() != type()) return false;
    static_cast<QueuedCall*>(event)->fCall();
    return true;
}
