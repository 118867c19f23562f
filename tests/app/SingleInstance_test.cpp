// One Trovix per user: a second process hands its paths to the first.
#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// What a crashed instance leaves: a socket file nobody listens on.
bool makeStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (fd < 0 || size_t(name.size()) >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, name.constData(), name.size());
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound && QFile::exists(path);
}

struct ProbeResult {
    int exitCode = -1;
    QByteArray output;
};

// Runs the second process in `folder` while this one keeps its event loop going.
ProbeResult runProbe(const QString& socketPath, const QStringList& paths, const QString& folder) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(TROVIX_HANDOVER_PROBE_PATH), QStringList{socketPath} + paths);
    QDeadlineTimer deadline(10000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        process.waitForFinished(20);
    }
    return {process.exitCode(), process.readAllStandardOutput().trimmed()};
}

class SingleInstanceTest : public ::testing::TestWithParam<bool> {};

TEST_P(SingleInstanceTest, ASecondProcessHandsItsPathsToTheInstance) {
    const bool staleSocketLeft = GetParam();
    QTemporaryDir dir;
    const QString socketPath = dir.filePath(QStringLiteral("trovix.socket"));
    if (staleSocketLeft) {
        ASSERT_TRUE(makeStaleSocket(socketPath));
    }

    SingleInstance first(socketPath);
    ASSERT_EQ(first.claim({}), SingleInstance::Role::Primary);
    QSignalSpy received(&first, &SingleInstance::pathsReceived);

    // Relative paths name files in the second process's folder, not ours.
    const ProbeResult second = runProbe(
        socketPath, {QStringLiteral("Album One"), QStringLiteral("/abs/b.mp3")}, dir.path());
    EXPECT_EQ(second.exitCode, 0) << second.output.constData();
    EXPECT_EQ(second.output, "handed over");
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.at(0).at(0).toStringList(),
              (QStringList{QDir(dir.path()).filePath(QStringLiteral("Album One")),
                           QStringLiteral("/abs/b.mp3")}));

    // A bare second launch hands over nothing but still ends there.
    EXPECT_EQ(runProbe(socketPath, {}, dir.path()).exitCode, 0);
    ASSERT_EQ(received.size(), 2);
    EXPECT_TRUE(received.at(1).at(0).toStringList().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(FreshAndStaleSocket, SingleInstanceTest, ::testing::Bool());

// An instance that never answers is busy, not dead: the second process goes
// on alone and leaves the socket to its owner.
TEST(SingleInstance, ABusyInstanceKeepsItsSocket) {
    QTemporaryDir dir;
    const QString socketPath = dir.filePath(QStringLiteral("trovix.socket"));
    QLocalServer busy;
    ASSERT_TRUE(busy.listen(socketPath));
    const ProbeResult probe = runProbe(socketPath, {QStringLiteral("a.mp3")}, dir.path());
    EXPECT_EQ(probe.output, "alone");
    EXPECT_TRUE(QFile::exists(socketPath));
}

TEST(SingleInstance, TheFirstProcessBecomesTheInstance) {
    QTemporaryDir dir;
    const ProbeResult probe = runProbe(dir.filePath(QStringLiteral("s")), {}, dir.path());
    EXPECT_EQ(probe.output, "primary");
}

} // namespace
