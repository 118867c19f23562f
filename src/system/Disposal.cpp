#include "system/Disposal.h"

#include "system/ThreadHandover.h"

#include <QThreadPool>

#include <functional>

namespace {
int gDisposed;
}

void Disposal::later(std::shared_ptr<void> garbage) {
    if (!garbage) return;
    std::function<void()> job = [garbage = std::move(garbage)]() mutable {
        ThreadHandover::acquire(&gDisposed);
        garbage.reset();
    };
    // After the job is made, which the pooled thread changes too.
    ThreadHandover::release(&gDisposed);
    // The global pool is waited for when the application object goes.
    QThreadPool::globalInstance()->start(std::move(job));
}
