#include "ui/TrovixController.h"

#include "app/Preferences.h"
#include "support/LoopbackServer.h"
#include "ui/DocumentWindow.h"
#include "ui/DropIcon.h"
#include "ui/DropWindow.h"
#include "ui/FileTagWindow.h"
#include "ui/FolderWindow.h"
#include "ui/SourceIcons.h"
#include "web/DebugFiles.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Records the requests handed to the windows it makes.
class RecordingWindow : public DocumentWindow {
public:
    explicit RecordingWindow(bool folder) : fFolder(folder) {}
    void setDocumentPath(const DropActionDict& request) override { fRequests.append(request); }
    bool isFolderWindow() const override { return fFolder; }
    QString documentPath() const override {
        return fRequests.isEmpty() ? QString() : fRequests.last().path;
    }
    bool fFolder;
    QList<DropActionDict> fRequests;
};

class OpenRoute : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fDir.isValid());
        QDir(fDir.path()).mkdir(QStringLiteral("Album"));
        QFile f(fDir.filePath(QStringLiteral("song.mp3")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        fController->setOpenDelayMs(10);
        fController->setWindowFactory([this](const DropActionDict&, bool folder) {
            auto* w = new RecordingWindow(folder);
            fMade.append(w);
            return w;
        });
    }
    void TearDown() override {
        fController->setWindowFactory({});
        fController->setOpenDelayMs(1000);
        qDeleteAll(fMade);
    }

    // Sends a drop of these files on the drop icon, with these modifiers.
    void drop(DropIcon* icon, const QStringList& paths, Qt::KeyboardModifiers modifiers) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls.append(QUrl::fromLocalFile(p));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(icon, &enter);
        QDropEvent dropEvent(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(icon, &dropEvent);
    }

    QTemporaryDir fDir;
    TrovixController* fController = TrovixController::instance();
    QList<RecordingWindow*> fMade;
};

} // namespace

TEST_F(OpenRoute, FolderFileAndMissingPath) {
    EXPECT_FALSE(fController->openDropped(fDir.filePath(QStringLiteral("nothing")), false));
    EXPECT_TRUE(fMade.isEmpty());

    ASSERT_TRUE(fController->openDropped(fDir.filePath(QStringLiteral("Album")), false));
    ASSERT_TRUE(fController->openDropped(fDir.filePath(QStringLiteral("song.mp3")), false));
    ASSERT_EQ(fMade.size(), 2);
    EXPECT_TRUE(fMade[0]->fFolder);
    EXPECT_FALSE(fMade[1]->fFolder);
    // Shown at once, handed the path only after the delay.
    EXPECT_TRUE(fMade[0]->isVisible());
    EXPECT_TRUE(fMade[0]->fRequests.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return fMade[1]->fRequests.size() == 1; }, 5000));
    ASSERT_EQ(fMade[0]->fRequests.size(), 1);
    EXPECT_EQ(fMade[0]->fRequests[0].path, fDir.filePath(QStringLiteral("Album")));
    EXPECT_FALSE(fMade[0]->fRequests[0].cleanUp);
    EXPECT_EQ(fController->documentWindows().size(), 2);
}

TEST_F(OpenRoute, AFileOfNoMusicKindIsRefusedWithAnAlert) {
    QFile notes(fDir.filePath(QStringLiteral("hostname")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    EXPECT_FALSE(fController->openFile(notes.fileName()));
    EXPECT_TRUE(fMade.isEmpty());
    const QList<QMessageBox*> boxes = fController->dropWindow()->findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->informativeText(),
              QStringLiteral("“hostname” is not a music file Trovix can tag."));
    delete boxes[0];
}

TEST_F(OpenRoute, OpenRequestShowsTheDropWindow) {
    ASSERT_TRUE(fController->openFile(fDir.filePath(QStringLiteral("Album"))));
    ASSERT_TRUE(fController->dropWindow());
    EXPECT_TRUE(fController->dropWindow()->isVisible());
    EXPECT_EQ(fController->dropWindow()->windowTitle(), QStringLiteral("Trovix"));
    EXPECT_FALSE(fController->openFile(fDir.filePath(QStringLiteral("gone"))));
}

TEST_F(OpenRoute, DropOpensEachExistingItemAndAltMeansCleanUpOnly) {
    DropWindow* window = fController->showDropWindow();
    DropIcon* icon = window->dropIcon();
    drop(icon,
         {fDir.filePath(QStringLiteral("Album")), fDir.filePath(QStringLiteral("missing")),
          fDir.filePath(QStringLiteral("song.mp3"))},
         Qt::AltModifier);
    ASSERT_EQ(fMade.size(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fMade[1]->fRequests.size() == 1; }, 5000));
    EXPECT_TRUE(fMade[0]->fRequests[0].cleanUp);
    EXPECT_TRUE(fMade[1]->fRequests[0].cleanUp);
    EXPECT_FALSE(icon->highlighted());

    QDir(fDir.path()).mkdir(QStringLiteral("Other"));
    drop(icon, {fDir.filePath(QStringLiteral("Other"))}, Qt::NoModifier);
    ASSERT_EQ(fMade.size(), 3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fMade[2]->fRequests.size() == 1; }, 5000));
    EXPECT_FALSE(fMade[2]->fRequests[0].cleanUp);
}

// Two windows on one folder would each save over what the other read.
TEST_F(OpenRoute, AFolderOrFileAlreadyOpenRaisesItsWindow) {
    const QString album = fDir.filePath(QStringLiteral("Album"));
    ASSERT_TRUE(fController->openDropped(album, false));
    // Before the window has its path, and after; by another spelling too.
    for (const QString& again : {album, album + QStringLiteral("/."), album}) {
        ASSERT_TRUE(fController->openDropped(again, false));
        EXPECT_EQ(fMade.size(), 1) << again.toStdString();
        QTest::qWait(30);
    }
    EXPECT_EQ(fController->windowFor(album), fMade[0]);
    ASSERT_TRUE(fController->openFile(fDir.filePath(QStringLiteral("song.mp3"))));
    ASSERT_TRUE(fController->openFile(fDir.filePath(QStringLiteral("song.mp3"))));
    EXPECT_EQ(fMade.size(), 2);
}

TEST_F(OpenRoute, OnlyAUsableDragHighlights) {
    DropIcon icon;
    QMimeData gone;
    gone.setUrls({QUrl::fromLocalFile(fDir.filePath(QStringLiteral("missing")))});
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &gone, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&icon, &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_FALSE(icon.highlighted());

    QMimeData usable;
    usable.setUrls({QUrl::fromLocalFile(fDir.filePath(QStringLiteral("Album")))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &usable, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&icon, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(icon.highlighted());
    QDragLeaveEvent leave;
    QApplication::sendEvent(&icon, &leave);
    EXPECT_FALSE(icon.highlighted());
}

TEST(DropWindow, FrameIsRememberedAsMainWindowPos) {
    {
        DropWindow window;
        window.show();
        window.setGeometry(140, 120, 300, 210);
        window.close();
    }
    EXPECT_FALSE(Prefs::value(QString::fromLatin1(Prefs::kMainWindowPos)).toByteArray().isEmpty());
    DropWindow again;
    EXPECT_EQ(again.size(), QSize(300, 210));
}

TEST(DefaultWindows, FolderAndFileWindows) {
    QTemporaryDir dir;
    const QString album = dir.filePath(QStringLiteral("My Album"));
    QDir().mkpath(album);
    FolderWindow folder;
    folder.document()->setSources(LookupSources{}); // no web
    folder.setDocumentPath({album, true});
    EXPECT_EQ(folder.windowTitle(), QStringLiteral("My Album[*]"));
    folder.document()->waitUntilIdle();

    // A missing file leaves the single-file window empty.
    FileTagWindow file;
    file.document()->setSources(LookupSources{});
    file.setDocumentPath({dir.filePath(QStringLiteral("absent.mp3")), false});
    file.document()->waitUntilIdle();
    EXPECT_EQ(file.windowTitle(), QStringLiteral("Untitled[*]"));
    EXPECT_TRUE(file.fieldText(QStringLiteral("title")).isEmpty());
}

TEST(StartUp, SiteIconsAreFetchedAndBundledOnesStandIn) {
    LoopbackServer server;
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    server.serve("/favicon.ico", png.toStdString(), "image/x-icon");
    Prefs::setValue(QString::fromLatin1(AllMusicGuide::kBaseURLKey), server.baseUrl());
    // Google answers 404 with a page that is no picture; gnudb is not there.
    Prefs::setValue(QString::fromLatin1(GoogleMusic::kBaseURLKey), server.baseUrl() + "/none");
    Prefs::setValue(QString::fromLatin1(Gnudb::kBaseURLKey), QStringLiteral("http://127.0.0.1:1"));

    QTemporaryDir dumps;
    SetDebugFileFolder(dumps.path());
    QFile old(dumps.filePath(QStringLiteral("Trovix_AMG_3.txt")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();

    SourceIcons* icons = SourceIcons::instance();
    const QImage bundledGoogle = icons->icon(QStringLiteral("Google Music"));
    QSignalSpy changed(icons, &SourceIcons::iconsChanged);
    TrovixController::startUp(true);
    EXPECT_FALSE(old.exists()); // the earlier run's debug copies are gone
    SetDebugFileFolder(QString());
    ASSERT_TRUE(changed.wait(10000));
    EXPECT_EQ(icons->icon(QStringLiteral("All Music Guide")).pixelColor(8, 8), QColor(Qt::red));
    QTest::qWait(300);
    EXPECT_EQ(icons->icon(QStringLiteral("Google Music")), bundledGoogle);
    EXPECT_FALSE(icons->icon(QStringLiteral("gnudb")).isNull());
}
