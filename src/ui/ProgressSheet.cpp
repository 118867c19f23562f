#include "ui/ProgressSheet.h"

#include "system/QueuedCall.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

ProgressSheet::ProgressSheet(QWidget* window) : QDialog(window) {
    setWindowModality(Qt::WindowModal);
    fProgressText = new QLabel(this);
    fProgressText->setMinimumWidth(320);
    fProgressInd = new QProgressBar(this);
    fProgressInd->setTextVisible(false);
    fCancelButton = new QPushButton(tr("&Cancel"), this);
    fCancelButton->setEnabled(false);
    fCancelButton->setAutoDefault(false);
    connect(fCancelButton, &QPushButton::clicked, this, &ProgressSheet::cancel);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(fCancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fProgressText);
    layout->addWidget(fProgressInd);
    layout->addLayout(buttons);
}

ProgressSheet::~ProgressSheet() = default;

void ProgressSheet::onGuiThread(std::function<void()> fn) {
    if (QThread::currentThread() == thread()) {
        fn();
    } else {
        // Dropped by Qt if the sheet is deleted before the event runs.
        QueuedCall::post(this, std::move(fn));
    }
}

void ProgressSheet::customEvent(QEvent* event) {
    if (!QueuedCall::run(event)) QDialog::customEvent(event);
}

void ProgressSheet::NotifyBeginInd(const QString& text, bool cancelable) {
    // The flag is cleared in the caller's thread, so a worker that asks right
    // after beginning a phase never sees the previous phase's cancel.
    fCancelled = false;
    onGuiThread([this, text, cancelable] {
        if (fClosed) return;
        if (!text.isEmpty()) fProgressText->setText(text);
        fProgressInd->setRange(0, 0);
        fCancelButton->setEnabled(cancelable);
        fIndeterminate = true;
        open();
    });
}

void ProgressSheet::NotifyBeginDet(const QString& text, int min, int max, bool cancelable) {
    fCancelled = false;
    onGuiThread([this, text, min, max, cancelable] {
        if (fClosed) return;
        if (!text.isNull()) fProgressText->setText(text);
        // An empty range would make the bar indeterminate.
        fProgressInd->setRange(min, qMax(min + 1, max));
        fProgressInd->setValue(min);
        fCancelButton->setEnabled(cancelable);
        fIndeterminate = false;
        open();
    });
}

void ProgressSheet::NotifyBump(int amount) {
    onGuiThread([this, amount] {
        if (fClosed || fIndeterminate) return;
        fProgressInd->setValue(qMin(fProgressInd->maximum(), fProgressInd->value() + amount));
    });
}

void ProgressSheet::NotifyAnimate() {
    // The indeterminate bar animates by itself.
}

void ProgressSheet::open() {
    if (fOpen || fClosed) return;
    fOpen = true;
    fCancelled = false;
    QDialog::show();
}

void ProgressSheet::closeSheet() {
    fClosed = true;
    if (!fOpen) return;
    fOpen = false;
    fCancelled = false;
    QDialog::hide();
}

void ProgressSheet::cancel() {
    fProgressText->setText(QStringLiteral("Cancelling..."));
    fCancelled = true;
}

void ProgressSheet::cancelForGood() {
    fProgressText->setText(QStringLiteral("Cancelling..."));
    fCancelledForGood = true;
}

void ProgressSheet::reject() {
    if (fCancelButton->isEnabled()) cancel();
}

void ProgressSheet::stopProgress() {
    fProgressText->setText(QString());
    fProgressInd->setRange(0, 1);
    fProgressInd->setValue(0);
    fIndeterminate = false;
}

QString ProgressSheet::caption() const {
    return fProgressText->text();
}
