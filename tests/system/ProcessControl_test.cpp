// Quitting and launching desktop applications by id, against a fake
// application on a private session bus (ctest runs this group under
// dbus-run-session and sets TROVIX_TEST_PRIVATE_BUS).
#include "system/ProcessControl.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QByteArray readRecord(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool waitForLine(const QString& file, const QByteArray& line, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (readRecord(file).contains(line + '\n')) return true;
        QThread::msleep(20);
    }
    return false;
}

class ProcessControl : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("TROVIX_TEST_PRIVATE_BUS"))
            GTEST_SKIP() << "needs the private bus that ctest's dbus-run-session entry gives";
        ASSERT_TRUE(fDir.isValid());
    }
    QString recordFile(const QString& name) const { return fDir.filePath(name); }

    QTemporaryDir fDir;
};

TEST_F(ProcessControl, QuitGoesThroughTheApplicationsOwnInterface) {
    struct Case {
        const char* mode;
        ProcessStatus::Code expected;
        bool quits;
    };
    const Case cases[] = {
        {"application", ProcessStatus::Code::Done, true},
        {"gtk", ProcessStatus::Code::Done, true},
        {"none", ProcessStatus::Code::NotSupported, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString busName = QStringLiteral("app.trovix.Fake%1").arg(++n);
        const QString record = recordFile(busName);
        QProcess app;
        app.start(QStringLiteral(TROVIX_FAKE_APP_PATH),
                  {record, busName, QString::fromLatin1(c.mode)});
        ASSERT_TRUE(waitForLine(record, "registered")) << c.mode;

        const ProcessStatus status = quitApp(busName);
        EXPECT_EQ(status.code, c.expected) << c.mode << ": " << status.message.toStdString();
        EXPECT_EQ(app.waitForFinished(c.quits ? 5000 : 300), c.quits) << c.mode;
        EXPECT_EQ(readRecord(record).contains("action quit\n"), c.quits) << c.mode;
        app.kill();
        app.waitForFinished();
    }
}

TEST_F(ProcessControl, QuitReportsAnApplicationThatIsNotRunning) {
    EXPECT_EQ(quitApp(QStringLiteral("app.trovix.Nobody")).code, ProcessStatus::Code::NotRunning);
    EXPECT_EQ(quitApp(QStringLiteral("nemo")).code, ProcessStatus::Code::NotSupported);
}

TEST_F(ProcessControl, LaunchRunsTheExecLineOfTheDesktopFile) {
    const QString dataHome = fDir.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(dataHome + QStringLiteral("/applications")));
    const QString record = recordFile(QStringLiteral("launched record"));
    QFile desktop(dataHome + QStringLiteral("/applications/app.trovix.Launched.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::WriteOnly));
    desktop.write("[Desktop Entry]\nType=Application\nName=Fake\nExec=\"" TROVIX_FAKE_APP_PATH
                  "\" \"" +
                  record.toUtf8() + "\" %F\n\n[Desktop Action x]\nExec=false\n");
    desktop.close();
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dataHome.toUtf8());

    EXPECT_TRUE(launchApp(QStringLiteral("app.trovix.Launched")).ok());
    EXPECT_TRUE(waitForLine(record, "started"));
    EXPECT_EQ(launchApp(QStringLiteral("app.trovix.Missing")).code, ProcessStatus::Code::NotFound);
    qputenv("XDG_DATA_HOME", oldDataHome);
}

// The restart after TrovixTools changed: the running application quits and
// a new one starts from its desktop file; one that was not running stays off.
TEST_F(ProcessControl, RestartQuitsThenLaunchesWhatWasRunning) {
    const QString dataHome = fDir.filePath(QStringLiteral("data"));
    ASSERT_TRUE(QDir().mkpath(dataHome + QStringLiteral("/applications")));
    const QString record = recordFile(QStringLiteral("restart"));
    for (const char* id : {"app.trovix.Restarted", "app.trovix.Idle"}) {
        QFile desktop(dataHome + QStringLiteral("/applications/%1.desktop").arg(QLatin1String(id)));
        ASSERT_TRUE(desktop.open(QIODevice::WriteOnly));
        desktop.write("[Desktop Entry]\nType=Application\nName=Fake\nExec=" TROVIX_FAKE_APP_PATH
                      " \"" +
                      record.toUtf8() + "\"\n");
    }
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dataHome.toUtf8());
    QProcess app;
    app.start(QStringLiteral(TROVIX_FAKE_APP_PATH),
              {record, QStringLiteral("app.trovix.Restarted"), QStringLiteral("application")});
    ASSERT_TRUE(waitForLine(record, "registered"));

    EXPECT_EQ(restartApps(
                  {QStringLiteral("app.trovix.Restarted"), QStringLiteral("app.trovix.Idle")}, 100),
              QStringList{QStringLiteral("app.trovix.Restarted")});
    EXPECT_TRUE(app.waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return readRecord(record).count("started") == 2; }, 5000));
    EXPECT_EQ(readRecord(record), "started\nregistered\naction quit\nstarted\n");
    qputenv("XDG_DATA_HOME", oldDataHome);
}

} // namespace

// Exec values are split as the desktop-entry rules say, without a shell.
TEST(ExecArguments, SplitsQuotesAndDropsFieldCodes) {
    struct Case {
        const char* exec;
        QStringList expected;
    };
    const Case cases[] = {
        {"nautilus --new-window %U", {"nautilus", "--new-window"}},
        {"\"/opt/My App/run\" --x %f", {"/opt/My App/run", "--x"}},
        {"sh -c \"echo \\\"hi\\\" \\\\ \\$HOME\"", {"sh", "-c", "echo \"hi\" \\ $HOME"}},
        {"prog 100%% %i %c", {"prog", "100%"}},
        {"prog \"unterminated", {}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(execArguments(QString::fromUtf8(c.exec)), c.expected) << c.exec;
}
