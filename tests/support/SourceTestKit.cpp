#include "support/SourceTestKit.h"

#include "app/Preferences.h"
#include "system/Log.h"
#include "web/DebugFiles.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QDir>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

const ScoreWeights kFolderWeights = {
    AlbumInfo::scoreWeightEntry(QStringLiteral("IADBSearchString"),
                                QStringLiteral("Björk / Homogenic"), 88),
    AlbumInfo::scoreWeightEntry(QStringLiteral("genre"), QString(), 6),
    AlbumInfo::scoreWeightEntry(QStringLiteral("year"), QString(), 6),
};

void RecordingProgress::NotifyBeginInd(const QString& text, bool) {
    std::lock_guard<std::mutex> guard(fMutex);
    fCaptions << text;
}

void RecordingProgress::NotifyBeginDet(const QString& text, int, int max, bool) {
    std::lock_guard<std::mutex> guard(fMutex);
    fCaptions << text;
    fLastMax = max;
}

void RecordingProgress::NotifyBump(int amount) {
    ++fBumps;
    fBumpTotal += amount;
}

QStringList RecordingProgress::captions() const {
    std::lock_guard<std::mutex> guard(fMutex);
    return fCaptions;
}

ClosingServer::ClosingServer() {
    fFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(fFd, 16);
    socklen_t len = sizeof addr;
    ::getsockname(fFd, reinterpret_cast<sockaddr*>(&addr), &len);
    fPort = ntohs(addr.sin_port);
    fThread = std::thread([this] {
        while (!fStop.load()) {
            pollfd p{fFd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                const int client = ::accept(fFd, nullptr, nullptr);
                if (client >= 0) {
                    ++fConnections;
                    ::close(client);
                }
            }
        }
    });
}

ClosingServer::~ClosingServer() {
    fStop = true;
    fThread.join();
    ::close(fFd);
}

QString ClosingServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(fPort);
}

namespace {

std::mutex gLogMutex;
QStringList gLogLines;
QtMessageHandler gPreviousHandler = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    std::lock_guard<std::mutex> guard(gLogMutex);
    gLogLines << message;
}

} // namespace

LogCapture::LogCapture() {
    std::lock_guard<std::mutex> guard(gLogMutex);
    gLogLines.clear();
    gPreviousHandler = qInstallMessageHandler(captureMessage);
    trovix_log::setVerbose(true);
}

LogCapture::~LogCapture() {
    trovix_log::setVerbose(false);
    qInstallMessageHandler(gPreviousHandler);
}

QStringList LogCapture::lines() const {
    std::lock_guard<std::mutex> guard(gLogMutex);
    return gLogLines;
}

bool LogCapture::contains(const QString& text) const {
    for (const QString& line : lines())
        if (line.contains(text)) return true;
    return false;
}

void SourceTest::SetUp() {
    for (const char* key : {AllMusicGuide::kBaseURLKey, GoogleMusic::kBaseURLKey,
                            Gnudb::kBaseURLKey, FreeDB::kBaseURLKey})
        setBase(key, fServer.baseUrl());
    SetDebugFileFolder(fDumps.path());
    SetDebugFilesEnabled(true);
    fSavedAMG = AllMusicGuide::throttle().get();
    fSavedGoogle = GoogleMusic::throttle().get();
    fAMG = new CountingThrottle(QStringLiteral("AMG"));
    fGoogle = new CountingThrottle(QStringLiteral("Google"));
    AllMusicGuide::throttle().slot() = fAMG;
    GoogleMusic::throttle().slot() = fGoogle;
}

void SourceTest::TearDown() {
    AllMusicGuide::throttle().slot() = fSavedAMG;
    GoogleMusic::throttle().slot() = fSavedGoogle;
    delete fAMG;
    delete fGoogle;
    SetDebugFileFolder(QString());
    SetDebugFilesEnabled(false);
    Prefs::clearOverrides();
}

QStringList SourceTest::dumpNames() const {
    QStringList names = QDir(fDumps.path()).entryList(QDir::Files);
    const auto number = [](const QString& name) {
        return name.section('_', -1).section('.', 0, 0).toInt();
    };
    std::sort(names.begin(), names.end(),
              [&number](const QString& a, const QString& b) { return number(a) < number(b); });
    return names;
}

void SourceTest::setBase(const char* prefKey, const QString& base) {
    Prefs::setOverride(QString::fromLatin1(prefKey), base);
}
