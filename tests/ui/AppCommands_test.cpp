#include "app/AppVersion.h"
#include "app/Preferences.h"
#include "app/RecentDocuments.h"
#include "app/VersionChecker.h"
#include "docs/LookupSources.h"
#include "support/AlbumFolderFixture.h"
#include "support/LoopbackServer.h"
#include "ui/AboutBox.h"
#include "ui/AppMenus.h"
#include "ui/DropWindow.h"
#include "ui/FolderWindow.h"
#include "ui/OpenPanel.h"
#include "ui/TrovixController.h"
#include "web/WebHelpers.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QMessageBox* visibleAlert(QWidget* window = nullptr) {
    const QList<QMessageBox*> boxes =
        window ? window->findChildren<QMessageBox*>() : QList<QMessageBox*>();
    for (QMessageBox* b : boxes)
        if (b->isVisible()) return b;
    if (!window)
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) return b;
    return nullptr;
}

void press(QMessageBox* box, const QString& text) {
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text) b->click();
    QCoreApplication::processEvents();
}

QStringList menuTitles(QMenuBar* bar) {
    QStringList titles;
    for (QAction* a : bar->actions())
        titles << a->text();
    return titles;
}

QAction* actionIn(QMenuBar* bar, const QString& text) {
    for (QMenu* menu : bar->findChildren<QMenu*>())
        for (QAction* a : menu->actions())
            if (a->text() == text) return a;
    return nullptr;
}

} // namespace

TEST(VersionCheck, FetchesOnceADayAndAnnouncesOnlyANewerVersionOfThisApplication) {
    const int current = AppVersion::versionNumber();
    const QByteArray newer = QByteArray::number(current + 1);
    const QByteArray same = QByteArray::number(current);
    struct Row {
        std::string body;
        QVariant neverCheck;
        qint64 lastCheckAgo; // -1: never checked
        bool fetched;
        const char* answer; // the button pressed; null: no alert expected
        QVariant neverAfter;
        bool homePageVisited;
    };
    const Row rows[] = {
        {"Other\t5\nTrovix\t" + newer.toStdString() + "\n", {}, -1, true, "Later", {}, false},
        {"Trovix\t" + newer.toStdString() + "\n", {}, 86401, true, "OK", {}, true},
        {"Trovix\t" + newer.toStdString() + "\n", {}, -1, true, "Never", current, false},
        {"Trovix\t" + same.toStdString() + "\n", {}, -1, true, nullptr, {}, false},
        {"TrovixTools\t999999\nTrovix\t" + same.toStdString() + "\n",
         {},
         -1,
         true,
         nullptr,
         {},
         false},
        {"Trovix " + newer.toStdString() + "\n", {}, -1, true, nullptr, {}, false},
        {"Trovix\t" + newer.toStdString() + "\n", current, -1, false, nullptr, current, false},
        {"Trovix\t" + newer.toStdString() + "\n", current - 1, -1, true, "Later", current - 1,
         false},
        {"Trovix\t" + newer.toStdString() + "\n", {}, 86400, false, nullptr, {}, false},
    };
    LoopbackServer server;
    Prefs::setValue(QString::fromLatin1(Prefs::kVersionsURL), server.url("/versions.txt"));
    Prefs::setValue(QString::fromLatin1(Prefs::kHomePageURL), QStringLiteral("http://home.test/"));
    QStringList visited;
    const URLOpener previous = SetURLOpener([&visited](const QString& url) { visited << url; });
    TrovixController* controller = TrovixController::instance();
    for (const Row& row : rows) {
        const std::string trail = row.body + " never=" + row.neverCheck.toString().toStdString() +
                                  " ago=" + std::to_string(row.lastCheckAgo);
        QSettings store(QStringLiteral("Trovix"), QStringLiteral("Trovix"));
        store.remove(QString::fromLatin1(Prefs::kNeverCheck));
        store.remove(QString::fromLatin1(Prefs::kLastVersionCheck));
        store.sync();
        if (row.neverCheck.isValid())
            Prefs::setValue(QString::fromLatin1(Prefs::kNeverCheck), row.neverCheck);
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        if (row.lastCheckAgo >= 0)
            Prefs::setValue(QString::fromLatin1(Prefs::kLastVersionCheck), now - row.lastCheckAgo);
        server.serve("/versions.txt", row.body, "text/plain");
        server.clearRequests();
        visited.clear();

        controller->checkForNewVersion();
        VersionChecker* checker = controller->versionChecker();
        EXPECT_EQ(checker != nullptr, row.fetched) << trail;
        if (checker) {
            EXPECT_GE(Prefs::value(QString::fromLatin1(Prefs::kLastVersionCheck)).toLongLong(), now)
                << trail;
            QPointer<VersionChecker> watched = checker;
            if (row.answer) {
                ASSERT_TRUE(QTest::qWaitFor([] { return visibleAlert() != nullptr; }, 5000))
                    << trail;
                QMessageBox* box = visibleAlert();
                EXPECT_EQ(box->windowTitle(),
                          QStringLiteral("A new version of Trovix is available!"));
                EXPECT_EQ(box->informativeText(),
                          QStringLiteral("Do you want to go visit the Trovix Home Page? If you "
                                         "select \"Later\", this message will come up again in "
                                         "24 hours."));
                QStringList buttons;
                for (QAbstractButton* b : box->buttons())
                    buttons << b->text();
                buttons.sort();
                EXPECT_EQ(buttons, (QStringList{"Later", "Never", "OK"}));
                EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("OK"));
                press(box, QString::fromLatin1(row.answer));
            }
            ASSERT_TRUE(QTest::qWaitFor([&] { return watched.isNull(); }, 5000)) << trail;
            EXPECT_EQ(visibleAlert(), nullptr) << trail;
        }
        EXPECT_EQ(server.requests().size(), row.fetched ? 1u : 0u) << trail;
        // The version of the build, as every web request names it.
        for (const LoopbackServer::Request& request : server.requests())
            EXPECT_EQ(request.headers.find("User-Agent")->second,
                      "Trovix/" + AppVersion::versionText().toStdString());
        EXPECT_EQ(Prefs::value(QString::fromLatin1(Prefs::kNeverCheck)).toString(),
                  row.neverAfter.toString())
            << trail;
        EXPECT_EQ(visited, row.homePageVisited ? QStringList{"http://home.test/"} : QStringList())
            << trail;
    }
    SetURLOpener(previous);
}

TEST(AppMenus, EveryWindowHasTheApplicationCommandsAndOpenRecentListsOpenedFolders) {
    QTemporaryDir dir;
    const QString album = dir.filePath(QStringLiteral("Recent Album"));
    QDir().mkpath(album);
    RecentDocuments::clear();
    RecentDocuments::add(dir.filePath(QStringLiteral("gone")));
    RecentDocuments::add(album);

    DropWindow drop;
    FolderWindow folder;
    QMenuBar* dropBar = drop.findChild<QMenuBar*>();
    ASSERT_NE(dropBar, nullptr);
    EXPECT_EQ(menuTitles(dropBar), (QStringList{"&Trovix", "&File", "&Help"}));
    const QStringList folderMenus = menuTitles(folder.menuBar());
    EXPECT_EQ(folderMenus.mid(0, 2), (QStringList{"&Trovix", "&File"}));
    EXPECT_EQ(folderMenus.last(), QStringLiteral("&Help"));
    for (QMenuBar* bar : {dropBar, folder.menuBar()}) {
        struct Command {
            const char* text;
            QKeySequence keys;
        };
        for (const Command& c :
             {Command{"About Trovix", {}},
              Command{"Preferences...", QKeySequence(Qt::CTRL | Qt::Key_Comma)},
              Command{"Quit", QKeySequence::Quit}, Command{"Open...", QKeySequence::Open},
              Command{"Close", QKeySequence::Close}, Command{"Visit Home Page", {}}}) {
            QAction* a = actionIn(bar, QString::fromLatin1(c.text));
            ASSERT_NE(a, nullptr) << c.text;
            EXPECT_EQ(a->shortcut(), c.keys) << c.text;
        }
        QMenu* recent = bar->findChild<QMenu*>(QStringLiteral("recentMenu"));
        ASSERT_NE(recent, nullptr);
        emit recent->aboutToShow();
        // Entries that no longer exist are left out.
        ASSERT_EQ(recent->actions().size(), 3); // the album, a separator, Clear Menu
        EXPECT_EQ(recent->actions().at(0)->data().toString(), album);
    }
    // The document's own shortcuts follow its busy state.
    for (const char* text : {"Look Up", "Search...", "Save", "Next Cover"})
        EXPECT_NE(actionIn(folder.menuBar(), QString::fromLatin1(text)), nullptr) << text;
    EXPECT_EQ(actionIn(folder.menuBar(), QStringLiteral("Look Up"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_L));
}

TEST(AppMenus, AboutNamesTheVersionAndTheLibraryLicences) {
    AboutBox about;
    EXPECT_TRUE(about.versionLabel()->text().startsWith(AppVersion::AppNameWithVersion()));
    const QString libraries = about.librariesLabel()->text();
    for (const char* name : {"Qt ", "TagLib ", "libcurl "})
        EXPECT_TRUE(libraries.contains(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(libraries.contains(QStringLiteral("Lesser General Public License")));
    EXPECT_TRUE(AppVersion::AppNameWithVersion().startsWith(QStringLiteral("Trovix v")));
}

TEST(AppMenus, QuitAsksEachEditedWindowInTurnAndStopsAtCancel) {
    AlbumFolderFixture albums[2];
    for (AlbumFolderFixture& album : albums)
        ASSERT_TRUE(album.add({QStringLiteral("1.mp3"), QStringLiteral("One"),
                               QStringLiteral("The Band"), QStringLiteral("Demo"), 1, 1,
                               QStringLiteral("2001"), QStringLiteral("Rock"), std::nullopt}));
    TrovixController* controller = TrovixController::instance();
    controller->setOpenDelayMs(0);
    QList<QPointer<FolderWindow>> windows;
    controller->setWindowFactory([&windows](const DropActionDict&, bool) {
        auto* w = new FolderWindow;
        w->document()->setSources(LookupSources{});
        windows.append(w);
        return w;
    });
    for (const AlbumFolderFixture& album : albums)
        ASSERT_TRUE(controller->openDropped(album.path(), true));
    for (const QPointer<FolderWindow>& w : windows) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w->documentPath().isNull(); }, 5000));
        w->document()->waitUntilIdle();
        QCoreApplication::processEvents();
        for (QMessageBox* box : w->findChildren<QMessageBox*>())
            box->done(0);
        w->artistField()->setFocus();
        QTest::keyClicks(w->artistField(), QStringLiteral("X"));
        ASSERT_TRUE(w->isWindowModified());
    }
    int quits = 0;
    controller->setQuitHandler([&quits] { ++quits; });

    controller->quitApplication();
    ASSERT_NE(visibleAlert(windows[0]), nullptr);
    EXPECT_EQ(visibleAlert(windows[1]), nullptr);
    press(visibleAlert(windows[0]), QStringLiteral("Cancel"));
    QTest::qWait(500);
    EXPECT_EQ(visibleAlert(windows[1]), nullptr);
    EXPECT_TRUE(windows[0]->isVisible());
    EXPECT_EQ(quits, 0);

    controller->quitApplication();
    press(visibleAlert(windows[0]), QStringLiteral("Don't Save"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return visibleAlert(windows[1]) != nullptr; }, 5000));
    EXPECT_TRUE(windows[0].isNull() || !windows[0]->isVisible());
    EXPECT_EQ(quits, 0);
    press(visibleAlert(windows[1]), QStringLiteral("Don't Save"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 5000));

    controller->setQuitHandler([] { QCoreApplication::quit(); });
    controller->setWindowFactory({});
    controller->setOpenDelayMs(1000);
}

TEST(AppMenus, OpenPanelTakesAFolderOrAMusicFile) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("Album")));
    QFile song(dir.filePath(QStringLiteral("song.mp3")));
    ASSERT_TRUE(song.open(QIODevice::WriteOnly));
    song.close();
    for (const QString& name : {QStringLiteral("Album"), QStringLiteral("song.mp3")}) {
        OpenPanel panel;
        panel.setDirectory(dir.path());
        panel.show();
        panel.selectFile(dir.filePath(name));
        QTest::qWait(50);
        panel.accept();
        EXPECT_EQ(panel.result(), QDialog::Accepted) << name.toStdString();
        EXPECT_EQ(panel.chosenPath(), dir.filePath(name));
    }
}
