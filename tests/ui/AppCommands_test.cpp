#include "app/AppVersion.h"
#include "app/Preferences.h"
#include "app/RecentDocuments.h"
#include "prefs/VersionChecker.h"
#include "docs/FolderTagThread.h"
#include "docs/LookupSources.h"
#include "support/AlbumFolderFixture.h"
#include "support/LoopbackAlbumWeb.h"
#include "support/LoopbackServer.h"
#include "ui/AboutBox.h"
#include "ui/AppMenus.h"
#include "ui/CoverArtPanel.h"
#include "ui/DropWindow.h"
#include "ui/FileTagWindow.h"
#include "ui/FolderWindow.h"
#include "ui/Mnemonics.h"
#include "ui/OpenPanel.h"
#include "ui/PreferencesWindow.h"
#include "ui/SearchSheet.h"
#include "ui/TrovixController.h"
#include "web/WebHelpers.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDialogButtonBox>
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
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

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

// By its text without the mnemonic.
QAction* actionIn(QMenuBar* bar, const QString& text) {
    for (QMenu* menu : bar->findChildren<QMenu*>()) {
        emit menu->aboutToShow();
        for (QAction* a : menu->actions())
            if (a->iconText() == text) return a;
    }
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

// The menus a Linux desktop expects, with keys that do not depend on the
// platform theme, the same in every window; Open Recent lists what exists.
TEST(AppMenus, EveryWindowHasTheDesktopMenusAndKeys) {
    QTemporaryDir dir;
    const QString album = dir.filePath(QStringLiteral("Recent & Album"));
    QDir().mkpath(album);
    RecentDocuments::clear();
    RecentDocuments::add(dir.filePath(QStringLiteral("gone")));
    RecentDocuments::add(album);

    DropWindow drop;
    FolderWindow folder;
    FileTagWindow file;
    QMenuBar* dropBar = drop.findChild<QMenuBar*>();
    ASSERT_NE(dropBar, nullptr);
    struct Window {
        QMenuBar* bar;
        QStringList menus;
    };
    const Window windows[] = {{dropBar, {"File", "Edit", "Help"}},
                              {folder.menuBar(), {"File", "Edit", "Album", "Web", "Help"}},
                              {file.menuBar(), {"File", "Edit", "Song", "Web", "Help"}}};
    struct Command {
        const char* text; // without its mnemonic
        QKeySequence keys;
    };
    const Command everywhere[] = {
        {"Open…", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"Open Without Look-Up…", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
        {"Close", QKeySequence(Qt::CTRL | Qt::Key_W)},
        {"Quit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {"Preferences…", QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {"Install TrovixTools", {}},
        {"Home Page", {}},
        {"About Trovix", {}}};
    for (const Window& w : windows) {
        QStringList titles;
        for (QAction* a : w.bar->actions())
            titles << a->iconText();
        EXPECT_EQ(titles, w.menus);
        for (const Command& c : everywhere) {
            QAction* a = actionIn(w.bar, QString::fromUtf8(c.text));
            ASSERT_NE(a, nullptr) << c.text;
            EXPECT_EQ(a->shortcut(), c.keys) << c.text;
        }
        QMenu* recent = w.bar->findChild<QMenu*>(QStringLiteral("recentMenu"));
        ASSERT_NE(recent, nullptr);
        emit recent->aboutToShow();
        // Entries that no longer exist are left out; "&" in a name shows.
        ASSERT_EQ(recent->actions().size(), 3); // the album, a separator, Clear Menu
        EXPECT_EQ(recent->actions().at(0)->data().toString(), album);
        EXPECT_EQ(recent->actions().at(0)->iconText(), QStringLiteral("Recent & Album"));
    }
    for (TaggingWindow* w : std::initializer_list<TaggingWindow*>{&folder, &file}) {
        for (const char* text : {"Save", "Undo", "Redo", "Look Up"})
            EXPECT_NE(actionIn(w->menuBar(), QString::fromLatin1(text)), nullptr) << text;
        EXPECT_EQ(actionIn(w->menuBar(), QStringLiteral("Save"))->shortcut(),
                  QKeySequence(Qt::CTRL | Qt::Key_S));
        auto* bar = w->findChild<QToolBar*>(QStringLiteral("mainToolBar"));
        ASSERT_NE(bar, nullptr);
        QStringList tools;
        for (QAction* a : bar->actions())
            if (!a->isSeparator()) tools << a->iconText();
        EXPECT_EQ(tools, (QStringList{"Open…", "Save", "Look Up", "Cancel"}));
        EXPECT_EQ(w->saveButton()->isVisibleTo(w), true);
    }
    for (const char* text : {"Cut", "Copy", "Paste", "Select All"})
        EXPECT_NE(actionIn(folder.menuBar(), QString::fromLatin1(text)), nullptr) << text;
}

// Every menu item, check box and field label of every window has a
// mnemonic, and no two of one window's live ones (menu bar included) clash.
TEST(AppMenus, EverythingHasAMnemonicOfItsOwn) {
    DropWindow drop;
    FolderWindow folder;
    FileTagWindow file;
    PreferencesWindow prefs;
    for (QWidget* window : std::initializer_list<QWidget*>{&drop, &folder, &file, &prefs}) {
        const std::string name = window->objectName().toStdString();
        for (QMenu* menu : window->findChildren<QMenu*>()) {
            emit menu->aboutToShow();
            QSet<QChar> used;
            for (QAction* a : menu->actions()) {
                if (a->isSeparator()) continue;
                const QChar letter = Mnemonics::of(a->text());
                EXPECT_FALSE(letter.isNull()) << name << ": " << a->text().toStdString();
                EXPECT_FALSE(used.contains(letter)) << name << ": " << a->text().toStdString();
                used.insert(letter);
            }
        }
        // Within one window (one preferences pane at a time), with the menu bar's.
        QList<QWidget*> scopes{window};
        if (window == &prefs)
            scopes = prefs.findChild<QStackedWidget*>()->findChildren<QWidget*>(
                QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* scope : scopes) {
            QSet<QChar> used;
            if (auto* main = qobject_cast<QMainWindow*>(window))
                for (QAction* a : main->menuBar()->actions())
                    used.insert(Mnemonics::of(a->text()));
            for (QWidget* w : scope->findChildren<QWidget*>()) {
                QString text;
                if (auto* box = qobject_cast<QCheckBox*>(w)) text = box->text();
                if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
                    text = label->text();
                if (auto* button = qobject_cast<QPushButton*>(w);
                    button && button->isVisibleTo(window))
                    text = button->text();
                if (text.isEmpty()) continue;
                const QChar letter = Mnemonics::of(text);
                EXPECT_FALSE(letter.isNull()) << name << ": " << text.toStdString();
                EXPECT_FALSE(used.contains(letter)) << name << ": " << text.toStdString();
                used.insert(letter);
            }
        }
    }
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

TEST(AppMenus, QuitDuringALookUpCancelsItAndQuits) {
    LoopbackAlbumWeb web;
    web.setSlow(true);
    LoopbackAlbumWeb::enableOnlyAMG();
    AlbumFolderFixture album;
    ASSERT_TRUE(album.add({QStringLiteral("1.mp3"), QStringLiteral("One"),
                           QStringLiteral("The Band"), QStringLiteral("Demo"), 1, 1,
                           QStringLiteral("2001"), QStringLiteral("Rock"), std::nullopt}));
    TrovixController* controller = TrovixController::instance();
    controller->setOpenDelayMs(0);
    QPointer<FolderWindow> window;
    controller->setWindowFactory([&](const DropActionDict&, bool) {
        window = new FolderWindow;
        window->document()->setSources(web.sources());
        return window.data();
    });
    ASSERT_TRUE(controller->openDropped(album.path(), false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->currentProgressSheet() != nullptr; }, 5000));
    // Quit once the look-up waits on the web: the files have been read and
    // their names give titles (a quit while they are read has none to ask
    // about).
    ASSERT_TRUE(QTest::qWaitFor([&] { return !web.server().requests().empty(); }, 8000));
    int quits = 0;
    controller->setQuitHandler([&quits] { ++quits; });
    controller->quitApplication();
    // Cancelled, the window asks about the titles its file names gave, as any
    // close would; the quit goes on with the answer.
    ASSERT_TRUE(QTest::qWaitFor([&] { return visibleAlert(window) != nullptr; }, 8000));
    EXPECT_EQ(window->document()->worker()->status(), 2);
    EXPECT_EQ(quits, 0);
    press(visibleAlert(window), QStringLiteral("Don't Save"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 5000));
    EXPECT_TRUE(!window || !window->isVisible());
    controller->setQuitHandler([] { QCoreApplication::quit(); });
    controller->setWindowFactory({});
    controller->setOpenDelayMs(1000);
}

TEST(AppMenus, OpenPanelTakesAFolderOrAMusicFile) {
    QTemporaryDir dir;
    const QString album = dir.filePath(QStringLiteral("Album"));
    QDir().mkpath(album);
    QFile song(dir.filePath(QStringLiteral("song.mp3")));
    ASSERT_TRUE(song.open(QIODevice::WriteOnly));
    song.close();
    struct Row {
        QString shown;    // the folder the dialog shows
        QString selected; // null: nothing selected
        QString chosen;
    };
    const Row rows[] = {{dir.path(), album, album},
                        {dir.path(), song.fileName(), song.fileName()},
                        // Stepped into the album: Open stays usable and opens it.
                        {album, QString(), album}};
    for (const Row& row : rows) {
        OpenPanel panel;
        panel.setDirectory(row.shown);
        panel.show();
        if (!row.selected.isNull()) panel.selectFile(row.selected);
        QTest::qWait(50);
        auto* open = panel.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
        EXPECT_TRUE(open->isEnabled()) << row.chosen.toStdString();
        open->click();
        EXPECT_EQ(panel.result(), QDialog::Accepted) << row.chosen.toStdString();
        EXPECT_EQ(panel.chosenPath(), row.chosen);
    }
    // The filter names the kinds without listing them, so the box fits it.
    OpenPanel panel;
    EXPECT_TRUE(panel.testOption(QFileDialog::HideNameFilterDetails));
}

TEST(AppMenus, OpenPanelStartsInTheLastDocumentsFolderElseTheMusicFolder) {
    QTemporaryDir dir;
    const QString album = dir.filePath(QStringLiteral("Album"));
    QDir().mkpath(album);
    RecentDocuments::clear();
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    const QString fallback = QFileInfo(music).isDir() ? music : QDir::homePath();
    EXPECT_EQ(QFileInfo(OpenPanel().directory().absolutePath()), QFileInfo(fallback));
    RecentDocuments::add(album);
    EXPECT_EQ(QFileInfo(OpenPanel().directory().absolutePath()), QFileInfo(dir.path()));
    RecentDocuments::clear();
}

// The integration is where the README says: File › File-Manager Integration
// in every window and the drop window's context menu. Installing tells what
// happened; the file managers read their menus again by themselves.
TEST(AppMenus, FileManagerIntegrationIsInFileAndOnTheDropWindow) {
    QTemporaryDir dataHome;
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    DropWindow drop;
    drop.show();
    QMenu* integration = drop.findChild<QMenu*>(QStringLiteral("integrationMenu"));
    ASSERT_NE(integration, nullptr);
    EXPECT_EQ(integration->menuAction()->iconText(), QStringLiteral("File-Manager Integration"));
    EXPECT_TRUE(drop.findChild<QMenu*>(QStringLiteral("fileMenu"))
                    ->actions()
                    .contains(integration->menuAction()));
    emit integration->aboutToShow();
    integration->actions().first()->trigger(); // Install TrovixTools
    QMessageBox* box = visibleAlert(&drop);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("TrovixTools Installed"));
    ASSERT_EQ(box->buttons().size(), 1); // no restart to offer
    box->buttons().first()->click();

    // Right-click: the same commands.
    QTimer::singleShot(100, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QStringList texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) texts << a->iconText();
        EXPECT_EQ(texts, (QStringList{"Open…", "Open Without Look-Up…", "Install TrovixTools",
                                      "Remove TrovixTools"}));
        menu->close();
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20),
                            drop.mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(&drop, &click);
    // And Open… without a mouse.
    EXPECT_TRUE(drop.openButton()->isVisible());
    EXPECT_EQ(Mnemonics::of(drop.openButton()->text()), u'o');
    qputenv("XDG_DATA_HOME", oldDataHome);
}

TEST(AppMenus, WindowsShowTheIconFromTheProgramItself) {
    const QIcon icon = TrovixController::applicationIcon();
    for (int size : {16, 32, 48, 256})
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    TrovixController::startUp(false);
    FolderWindow window;
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.windowIcon().availableSizes(), icon.availableSizes());
}

namespace {

// Walks a window's accessibility tree; every visible control a screen
// reader user can reach must say what it is.
void expectNamedControls(QAccessibleInterface* node, const std::string& window, int depth = 0) {
    if (!node || depth > 40 || node->state().invisible) return;
    static const QSet<QAccessible::Role> controls{
        QAccessible::PushButton, QAccessible::CheckBox,      QAccessible::RadioButton,
        QAccessible::ComboBox,   QAccessible::EditableText,  QAccessible::SpinBox,
        QAccessible::Slider,     QAccessible::Table,         QAccessible::List,
        QAccessible::Tree,       QAccessible::PageTab,       QAccessible::ButtonMenu,
        QAccessible::MenuItem,   QAccessible::ButtonDropDown};
    if (controls.contains(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty()) {
        const QObject* object = node->object();
        ADD_FAILURE() << window << ": a control without a name, role " << int(node->role())
                      << (object ? " " + std::string(object->metaObject()->className()) + " \"" +
                                       object->objectName().toStdString() + "\""
                                 : std::string());
    }
    for (int i = 0; i < node->childCount(); ++i)
        expectNamedControls(node->child(i), window, depth + 1);
}

} // namespace

TEST(AppMenus, EveryControlOfEveryWindowHasAnAccessibleName) {
    QTemporaryDir dir;
    FolderWindow folder;
    folder.document()->setSources(LookupSources{});
    FileTagWindow file;
    DropWindow drop;
    PreferencesWindow prefs;
    AboutBox about;
    OpenPanel open;
    folder.showSearchPanel();
    folder.showCoverArtPanel();
    folder.showLegend(true);
    QList<QWidget*> windows{
        &folder, &file, &drop, &prefs, &about, &open, folder.searchSheet(), folder.coverArtPanel()};
    for (QWidget* window : windows) {
        window->show();
        QCoreApplication::processEvents();
        expectNamedControls(QAccessible::queryAccessibleInterface(window),
                            window->metaObject()->className());
    }
    for (int pane = 0; pane < 5; ++pane) {
        prefs.showPane(pane);
        expectNamedControls(QAccessible::queryAccessibleInterface(&prefs), "PreferencesWindow");
    }
    folder.searchSheet()->reject();
    folder.coverArtPanel()->accept();
}
