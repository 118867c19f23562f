#include "system/Disposal.h"

#include "system/ThreadHandover.h"

#include <QThreadPool>

namespace {
int gDisposed;
}

void Disposal::later(std::shared_ptr<void> garbage) {
    if (!garbage) return;
    ThreadHandover::release(&gDisposed);
    // The global pool is waited for when the application object goes.
    QThreadPool::globalInstance()->start([garbage = std::move(garbage)]() mutable {
        ThreadHandover::acquire(&gDisposed);
        garbage.reset();
    });
}
