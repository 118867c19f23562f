// TrovixTools installed per user under a temporary XDG_DATA_HOME.
#include "app/InstalledItem.h"

#include "system/Resources.h"
#include "media/MusicExtensions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

class InstalledItemTest : public ::testing::Test {
protected:
    void SetUp() override {
        fOldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", fDataHome.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", fOldDataHome); }

    static void writeFile(const QString& path, const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    QTemporaryDir fDataHome;
    QByteArray fOldDataHome;
};

TEST_F(InstalledItemTest, StatusTitleAndEnablingFollowWhatIsInstalled) {
    struct Case {
        const char* what;
        std::function<void(const InstalledItem&)> change;
        InstalledItem::Status status;
        const char* title;
        bool canInstall, canRemove;
    };
    const auto removeScript = [](const InstalledItem& tools) {
        QFile::remove(tools.entries().at(2).dest);
    };
    const auto ageServiceMenu = [](const InstalledItem& tools) {
        const QString path = tools.entries().at(0).dest;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray text = file.readAll().replace("X-Trovix-Version=1", "X-Trovix-Version=0.9");
        file.close();
        writeFile(path, text);
    };
    const Case cases[] = {
        {"nothing installed", {}, InstalledItem::Missing, "Install TrovixTools", true, false},
        {"all installed", [](const InstalledItem& t) { ASSERT_TRUE(t.install().ok); },
         InstalledItem::Current, "Install TrovixTools", false, true},
        {"one removed by hand", removeScript, InstalledItem::Mixed, "Install TrovixTools", true,
         true},
        {"missing one and one older", ageServiceMenu, InstalledItem::Upgradable,
         "Upgrade TrovixTools", true, true},
        {"upgraded", [](const InstalledItem& t) { ASSERT_TRUE(t.install().ok); },
         InstalledItem::Current, "Install TrovixTools", false, true},
        {"removed", [](const InstalledItem& t) { ASSERT_TRUE(t.remove().ok); },
         InstalledItem::Missing, "Install TrovixTools", true, false},
    };
    const InstalledItem tools = InstalledItem::trovixTools();
    ASSERT_EQ(tools.entries().size(), 3);
    for (const Case& c : cases) {
        if (c.change) c.change(tools);
        const InstalledItem::Status status = tools.status();
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(InstalledItem::installTitle(status).toStdString(), c.title) << c.what;
        EXPECT_EQ(InstalledItem::canInstall(status), c.canInstall) << c.what;
        EXPECT_EQ(InstalledItem::canRemove(status), c.canRemove) << c.what;
    }
    EXPECT_EQ(
        InstalledItem({{fDataHome.filePath("no such copy"), fDataHome.filePath("x")}}).status(),
        InstalledItem::Empty);
}

TEST_F(InstalledItemTest, PlacesCopiesInTheUsersDataFoldersRunnableWhereNeeded) {
    ASSERT_TRUE(InstalledItem::trovixTools().install().ok);
    for (const char* path :
         {"kio/servicemenus/trovix-tag.desktop", "nemo/actions/trovix-tag.nemo_action",
          "nautilus/scripts/Tag with Trovix"})
        EXPECT_EQ(InstalledItem::fileVersion(fDataHome.filePath(path)), QStringLiteral("1"))
            << path;
    for (const char* path :
         {"kio/servicemenus/trovix-tag.desktop", "nautilus/scripts/Tag with Trovix"})
        EXPECT_TRUE(QFileInfo(fDataHome.filePath(path)).isExecutable()) << path;
}

TEST_F(InstalledItemTest, LeavesFilesThatAreNotTrovixsAlone) {
    const InstalledItem tools = InstalledItem::trovixTools();
    ASSERT_TRUE(tools.install().ok);
    const QString foreign = tools.entries().at(1).dest;
    writeFile(foreign, "[Nemo Action]\nName=Someone else's\n");

    const InstalledItem::Result installed = tools.install();
    EXPECT_FALSE(installed.ok);
    EXPECT_TRUE(installed.message.contains(foreign));
    const InstalledItem::Result removed = tools.remove();
    EXPECT_FALSE(removed.ok);
    EXPECT_FALSE(QFile::exists(tools.entries().at(0).dest));
    EXPECT_FALSE(QFile::exists(tools.entries().at(2).dest));
    QFile file(foreign);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "[Nemo Action]\nName=Someone else's\n");
}

// The menus run the program that installed them: by name when the PATH finds
// that very program, else by its absolute path (a build folder's binary).
TEST_F(InstalledItemTest, MenusRunTheInstallingProgramEvenOffThePath) {
    QTemporaryDir bin;
    const QString onPath = bin.filePath(QStringLiteral("trovix"));
    writeFile(onPath, "#!/bin/sh\n");
    QFile::setPermissions(onPath, QFile::permissions(onPath) | QFile::ExeOwner);
    const QString built = fDataHome.filePath(QStringLiteral("build dir/trovix"));
    QDir().mkpath(QFileInfo(built).path());
    writeFile(built, "#!/bin/sh\n");
    QFile::setPermissions(built, QFile::permissions(built) | QFile::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8());
    struct Case {
        QString program;
        const char* script;  // the GNOME Files script's last line
        const char* desktop; // the Dolphin and Nemo Exec line
    };
    const QString quoted = QFileInfo(built).canonicalFilePath();
    const std::string builtExec = "Exec=\"" + quoted.toStdString() + "\" %F";
    const std::string builtScript = "exec '" + quoted.toStdString() + "' \"$@\"";
    const Case cases[] = {{onPath, "exec trovix \"$@\"", "Exec=trovix %F"},
                          {built, builtScript.c_str(), builtExec.c_str()}};
    for (const Case& c : cases) {
        const InstalledItem tools = InstalledItem::trovixTools(c.program);
        ASSERT_TRUE(tools.install().ok);
        for (int i : {0, 1, 2}) {
            QFile installed(tools.entries().at(i).dest);
            ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(installed.readAll());
            const char* line = i == 2 ? c.script : c.desktop;
            EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line << "\n"
                                                                << text.toStdString();
        }
    }
    qputenv("PATH", oldPath);
}

// The Nemo action cannot read the shared list, so it must repeat it.
TEST(TrovixToolsFiles, NemoActionOffersExactlyTheMusicKinds) {
    QFile action(resourcePath(QStringLiteral("tools/trovix-tag.nemo_action")));
    ASSERT_TRUE(action.open(QIODevice::ReadOnly | QIODevice::Text));
    QString extensions;
    while (!action.atEnd()) {
        const QString line = QString::fromUtf8(action.readLine()).trimmed();
        if (line.startsWith(u"Extensions=")) extensions = line.mid(11);
    }
    QStringList expected{QStringLiteral("dir")};
    for (const char* const* ext = kTrovixMusicExtensions; *ext; ++ext)
        expected << QString::fromLatin1(*ext);
    QStringList listed = extensions.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    listed.sort();
    expected.sort();
    EXPECT_EQ(listed, expected);
}

} // namespace
