#include "docs/TypingMonitor.h"

TypingMonitor::TypingMonitor(std::function<int()> keyHit, std::function<bool()> hold,
                             std::function<void()> reload, QObject* parent)
    : QObject(parent), fKeyHit(std::move(keyHit)), fHold(std::move(hold)),
      fReload(std::move(reload)) {
    fTimer.setInterval(1000);
    connect(&fTimer, &QTimer::timeout, this, &TypingMonitor::tick);
}

void TypingMonitor::start() {
    fTimer.start();
}

void TypingMonitor::stop() {
    fTimer.stop();
}

void TypingMonitor::tick() {
    const int keyHit = fKeyHit();
    if (keyHit == -1) {
        stop();
        return;
    }
    if (keyHit != fLastSeen) {
        fLastSeen = keyHit;
        fCountdown = 1;
    } else if (!fHold() && fCountdown > 0) {
        if (--fCountdown == 0) fReload();
    }
}

#include "moc_TypingMonitor.cpp"
