#include "system/Disposal.h"

#include <QThreadPool>

void Disposal::later(std::shared_ptr<void> garbage) {
    if (!garbage) return;
    // The global pool is waited for when the application object goes.
    QThreadPool::globalInstance()->start(
        [garbage = std::move(garbage)]() mutable { garbage.reset(); });
}
