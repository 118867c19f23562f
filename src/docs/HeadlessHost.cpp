#include "docs/HeadlessHost.h"

#include <QMutexLocker>

#include <unistd.h>

// Progress written to a stream: one line per phase when the stream is not a
// terminal, a redrawn bar when it is.
class HeadlessHost::Progress : public ProgressIndicator {
public:
    Progress(std::FILE* stream, std::atomic<bool>* cancelRequested)
        : fStream(stream), fCancelRequested(cancelRequested),
          fTerminal(stream && ::isatty(::fileno(stream))) {}

    ~Progress() override {
        if (fStream && fTerminal && fOpen) std::fputs("\n", fStream);
    }

    void NotifyBeginInd(const QString& text, bool cancelable) override {
        QMutexLocker locker(&fMutex);
        if (!text.isEmpty()) fCaption = text;
        begin(0, 0, cancelable);
    }
    void NotifyBeginDet(const QString& text, int min, int max, bool cancelable) override {
        QMutexLocker locker(&fMutex);
        if (!text.isNull()) fCaption = text;
        begin(min, max, cancelable);
    }
    void NotifyBump(int amount) override {
        QMutexLocker locker(&fMutex);
        fValue += amount;
        draw();
    }
    void NotifyAnimate() override {}
    bool cancelled() override {
        if (fCancelRequested->exchange(false)) {
            QMutexLocker locker(&fMutex);
            fCancelled = true;
            fCaption = QStringLiteral("Cancelling...");
        }
        QMutexLocker locker(&fMutex);
        return fCancelled;
    }

private:
    void begin(int min, int max, bool) {
        fMin = min;
        fMax = max;
        fValue = min;
        fCancelled = false;
        fOpen = true;
        if (!fStream) return;
        if (fTerminal) {
            draw();
        } else {
            std::fprintf(fStream, "%s\n", qUtf8Printable(fCaption));
            std::fflush(fStream);
        }
    }
    void draw() {
        if (!fStream || !fTerminal) return;
        const int width = 30;
        int filled = 0;
        if (fMax > fMin) filled = int(double(qBound(fMin, fValue, fMax) - fMin) / (fMax - fMin) * width);
        std::fprintf(fStream, "\r\x1b[K[%-*s] %s", width, QByteArray(filled, '#').constData(),
                     qUtf8Printable(fCaption));
        std::fflush(fStream);
    }

    QMutex fMutex;
    std::FILE* fStream;
    std::atomic<bool>* fCancelRequested;
    bool fTerminal;
    QString fCaption;
    int fMin = 0, fMax = 0, fValue = 0;
    bool fCancelled = false;
    bool fOpen = false;
};

HeadlessHost::HeadlessHost(std::FILE* progressStream) : fStream(progressStream) {}

HeadlessHost::~HeadlessHost() { delete fProgress; }

void HeadlessHost::setAnswerPolicy(AnswerPolicy policy) {
    QMutexLocker locker(&fMutex);
    fPolicy = std::move(policy);
}

std::vector<Alert> HeadlessHost::alerts() const {
    QMutexLocker locker(&fMutex);
    return fAlerts;
}

void HeadlessHost::clearAlerts() {
    QMutexLocker locker(&fMutex);
    fAlerts.clear();
}

void HeadlessHost::showAlert(const Alert& alert, std::function<void(int)> response) {
    AnswerPolicy policy;
    {
        QMutexLocker locker(&fMutex);
        fAlerts.push_back(alert);
        policy = fPolicy;
    }
    const int answer = policy ? policy(alert) : -1;
    if (answer >= 0 && response) response(answer);
}

ProgressIndicator* HeadlessHost::progressSheet() {
    QMutexLocker locker(&fMutex);
    if (!fProgress) fProgress = new Progress(fStream, &fCancelRequested);
    return fProgress;
}

void HeadlessHost::closeProgressSheet() {
    QMutexLocker locker(&fMutex);
    delete fProgress;
    fProgress = nullptr;
}
