#pragma once

// Shared pieces of the web-source tests: a recording progress object, a
// server that drops every connection, a log catcher, the weights of a folder
// document, and a fixture that points every source at a loopback server with
// unpaced throttles and a private dump folder.

#include "model/AlbumInfo.h"
#include "support/CapturedData.h"
#include "support/LoopbackServer.h"
#include "system/ProgressIndicator.h"
#include "web/WebThrottle.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class RecordingProgress : public ProgressIndicator {
public:
    explicit RecordingProgress(std::function<bool()> cancel = {}) : fCancel(std::move(cancel)) {}
    void NotifyBeginInd(const QString& text, bool cancelable) override;
    void NotifyBeginDet(const QString& text, int min, int max, bool cancelable) override;
    void NotifyBump(int amount) override;
    void NotifyAnimate() override {}
    bool cancelled() override { return fCancel && fCancel(); }

    QStringList captions() const;
    int bumps() const { return fBumps.load(); }
    int bumpTotal() const { return fBumpTotal.load(); }
    int lastMax() const { return fLastMax.load(); }

private:
    std::function<bool()> fCancel;
    mutable std::mutex fMutex;
    QStringList fCaptions;
    std::atomic<int> fBumps{0};
    std::atomic<int> fBumpTotal{0};
    std::atomic<int> fLastMax{0};
};

// Counts holds so tests can see which throttle a source used; no pacing.
class CountingThrottle : public WebThrottle {
public:
    explicit CountingThrottle(const QString& name) : WebThrottle(name, 0.0) {}
    void lock() override {
        WebThrottle::lock();
        ++locks;
    }
    std::atomic<int> locks{0};
};

// A loopback port whose connections are accepted and closed at once: a web
// server that is down behind a live address, so fetches fail quickly.
class ClosingServer {
public:
    ClosingServer();
    ~ClosingServer();
    ClosingServer(const ClosingServer&) = delete;
    ClosingServer& operator=(const ClosingServer&) = delete;
    QString baseUrl() const;
    int connections() const { return fConnections.load(); }

private:
    int fFd = -1;
    int fPort = 0;
    std::atomic<bool> fStop{false};
    std::atomic<int> fConnections{0};
    std::thread fThread;
};

// Collects the log lines written while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    bool contains(const QString& text) const;
};

// The weights a folder document tagged "Björk / Homogenic" searches with.
extern const ScoreWeights kFolderWeights;

class SourceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Points one base-address preference at a server.
    static void setBase(const char* prefKey, const QString& base);
    // Answers every request for `path` with the page `answer` makes of it.
    void servePages(const std::string& path,
                    std::function<std::string(const httplib::Request&)> answer) {
        fServer.handle(path, [answer](const httplib::Request& req, httplib::Response& res) {
            res.set_content(answer(req), "text/html");
        });
    }
    // The request targets (path and query as sent) of the loopback server.
    std::vector<std::string> targets() const { return fServer.targets(); }
    // The dump files written so far, in the order of their numbers.
    QStringList dumpNames() const;

    LoopbackServer fServer;
    QTemporaryDir fDumps;
    CountingThrottle* fAMG = nullptr;
    CountingThrottle* fGoogle = nullptr;

private:
    WebThrottle* fSavedAMG = nullptr;
    WebThrottle* fSavedGoogle = nullptr;
};
