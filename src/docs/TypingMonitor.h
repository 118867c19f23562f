#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Redraws the track table once, one to two seconds after typing stops, and
// never while a cell is being edited. It runs on the main thread on a
// one-second timer, since only the main thread may touch the table.
class TypingMonitor : public QObject {
    Q_OBJECT
public:
    // `keyHit` reads the document's edit counter (-1 stops the monitor),
    // `hold` whether a cell is being edited, `reload` redraws the table.
    TypingMonitor(std::function<int()> keyHit, std::function<bool()> hold,
                  std::function<void()> reload, QObject* parent = nullptr);

    void start();
    void stop();
    bool isActive() const { return fTimer.isActive(); }

    // One wake-up of the monitor; the timer calls it once a second.
    void tick();

private:
    std::function<int()> fKeyHit;
    std::function<bool()> fHold;
    std::function<void()> fReload;
    QTimer fTimer;
    int fLastSeen = 0;
    int fCountdown = 0;
};
