#pragma once

#include "system/ProgressIndicator.h"

#include <QDialog>

#include <atomic>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress sheet of a document window: a window-modal dialog with a
// caption, a bar (determinate or indeterminate) and a Cancel button that is
// enabled only for cancellable phases. Workers drive it from their own
// threads: the cancel flag is atomic and everything visible is marshalled to
// the GUI thread. A closed sheet ignores further requests; the window makes
// a new one for the next operation.
class ProgressSheet : public QDialog, public ProgressIndicator {
    Q_OBJECT
public:
    explicit ProgressSheet(QWidget* window);
    ~ProgressSheet() override;

    void NotifyBeginInd(const QString& text, bool cancelable) override;
    void NotifyBeginDet(const QString& text, int min, int max, bool cancelable) override;
    void NotifyBump(int amount) override;
    void NotifyAnimate() override;
    bool cancelled() override { return fCancelled.load() || fCancelledForGood.load(); }

    // Shows the sheet on its window (main thread).
    void open() override;
    // Hides it for good (main thread).
    void closeSheet();
    // The Cancel button.
    void cancel();
    // Cancels this phase and every later one, whether or not it could be
    // cancelled when asked: the window is closing.
    void cancelForGood();
    // Empty caption, determinate, value 0.
    void stopProgress();

    bool isOpen() const { return fOpen; }
    bool isIndeterminate() const { return fIndeterminate; }
    QString caption() const;
    QPushButton* cancelButton() const { return fCancelButton; }
    QProgressBar* bar() const { return fProgressInd; }

protected:
    // Escape and the title bar's close button never dismiss a running
    // operation's sheet: they press Cancel when it is enabled.
    void reject() override;

private:
    // Runs on the GUI thread: at once when called there, else queued.
    void onGuiThread(std::function<void()> fn);
    void customEvent(QEvent* event) override;

    QProgressBar* fProgressInd;
    QLabel* fProgressText;
    QPushButton* fCancelButton;
    bool fOpen = false;
    bool fClosed = false;
    bool fIndeterminate = false;
    std::atomic<bool> fCancelled{false};
    std::atomic<bool> fCancelledForGood{false};
};
