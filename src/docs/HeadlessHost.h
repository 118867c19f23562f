#pragma once

#include "docs/DocumentHost.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <cstdio>
#include <functional>
#include <vector>

// A document host without a window: for the command line and the tests.
// Alerts are recorded and answered by a policy; progress goes to a stream
// (a bar on a terminal, plain lines otherwise) or nowhere.
class HeadlessHost : public DocumentHost {
public:
    // Chooses the button to answer an alert with (index into its buttons);
    // a negative answer leaves the alert unanswered.
    using AnswerPolicy = std::function<int(const Alert&)>;

    explicit HeadlessHost(std::FILE* progressStream = nullptr);
    ~HeadlessHost() override;

    void setAnswerPolicy(AnswerPolicy policy);
    // Answer every alert with its first (default) button.
    static int answerDefault(const Alert&) { return 0; }
    static int answerNone(const Alert&) { return -1; }

    std::vector<Alert> alerts() const;
    void clearAlerts();
    int reloadCount() const { return fReloads; }
    bool edited() const { return fEdited; }

    // Cancels the running operation the next time the worker asks.
    void requestCancel() { fCancelRequested = true; }

    void showAlert(const Alert& alert, std::function<void(int)> response) override;
    ProgressIndicator* progressSheet() override;
    void closeProgressSheet() override;
    void reloadTracks() override { ++fReloads; }
    void reloadHits() override { ++fReloads; }
    void syncWindowTitle() override {}
    void setEdited(bool edited) override { fEdited = edited; }
    // Nothing is drawn: the document spares a copy of every track.
    bool showsTracksWhileOpening() const override { return false; }

private:
    class Progress;

    mutable QMutex fMutex;
    std::vector<Alert> fAlerts;
    AnswerPolicy fPolicy = &HeadlessHost::answerNone;
    Progress* fProgress = nullptr;
    std::FILE* fStream;
    std::atomic<int> fReloads{0};
    std::atomic<bool> fEdited{false};
    std::atomic<bool> fCancelRequested{false};
};
