// Saves pictures of the desktop windows for people to look at:
//   trovix-screenshots OUTPUT_FOLDER
// A demo album folder is made, looked up against a loopback site, and the
// folder window (also in a dark Fusion palette), the legend, the search,
// box-set and cover-art sheets and the drop window are saved as PNG files,
// then the folder window with a save held at its first disk step; then one
// song of it in the single-file window after a song search; then each pane of
// the preferences window and the About box. Last, the tool runs itself again
// at scale factor 2 (QT_SCALE_FACTOR) for the folder window at twice the
// pixel density. Exits non-zero when a picture is missing.
#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "pictures/QtPictureCodec.h"
#include "save/SaveBatch.h"
#include "support/AlbumFolderFixture.h"
#include "support/LoopbackAlbumWeb.h"
#include "support/LoopbackSongWeb.h"
#include "support/Mp3Fixture.h"
#include "system/SaveSteps.h"
#include "ui/AboutBox.h"
#include "ui/BoxSetSheet.h"
#include "ui/CoverArtPanel.h"
#include "ui/DropWindow.h"
#include "ui/FileTagWindow.h"
#include "ui/FolderWindow.h"
#include "ui/LegendPanel.h"
#include "ui/PreferencesWindow.h"
#include "ui/ProgressSheet.h"
#include "ui/SearchSheet.h"
#include "ui/ThemeColors.h"
#include "ui/TrovixController.h"
#include "ui/TrovixTableView.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace {

// The argument of the run at scale factor 2.
constexpr char kDoubleDensity[] = "--double-density";

bool grab(QWidget* widget, const QString& path) {
    QTest::qWait(300);
    const QPixmap picture = widget->grab();
    const bool ok = !picture.isNull() && picture.save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "saved" : "FAILED", qPrintable(path), picture.width(),
                picture.height());
    return ok;
}

// The window with its window-modal sheet drawn over it where the sheet sits,
// or centred below the menu bar where no window manager placed it.
bool grabWithSheet(QWidget* window, QWidget* sheet, const QString& path) {
    QTest::qWait(300);
    QPixmap picture = window->grab();
    const QPixmap over = sheet->grab();
    QPoint at = sheet->mapToGlobal(QPoint()) - window->mapToGlobal(QPoint());
    if (!picture.rect().contains(QRect(at, over.size())))
        at = QPoint((picture.width() - over.width()) / 2, window->height() / 4);
    QPainter(&picture).drawPixmap(at, over);
    const bool ok = !picture.isNull() && !over.isNull() && picture.save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "saved" : "FAILED", qPrintable(path), picture.width(),
                picture.height());
    return ok;
}

// Saves the folder window's edits with the save held at its first step that
// changes the disk, and pictures the progress sheet over the window.
bool grabSaveInProgress(FolderWindow* window, const QString& path) {
    // Only tags are written: the demo folder keeps its name and gets no backup.
    for (const char* key : {Prefs::kRenameAlbums, Prefs::kRenameTracks, Prefs::kBackup})
        Prefs::setValue(QString::fromLatin1(key), false);
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    SaveSteps::setHook([&](const char*) {
        if (held.exchange(true)) return;
        while (!release.load())
            QThread::msleep(10);
    });
    window->document()->saveDocument();
    const bool shown = QTest::qWaitFor(
        [&] {
            const ProgressSheet* sheet = window->currentProgressSheet();
            return held.load() && sheet && sheet->isVisible();
        },
        20000);
    bool ok = false;
    if (shown)
        ok = grabWithSheet(window, window->currentProgressSheet(), path);
    else
        std::fprintf(stderr, "the save's progress sheet did not show\n");
    release = true;
    window->document()->waitUntilIdle();
    SaveSteps::setHook({});
    for (QMessageBox* box : window->findChildren<QMessageBox*>())
        box->done(0);
    return ok;
}

QImage demoCover() {
    QImage cover(300, 300, QImage::Format_RGB32);
    QPainter p(&cover);
    QLinearGradient g(0, 0, 300, 300);
    g.setColorAt(0, QColor(0xe0, 0x8a, 0x2c));
    g.setColorAt(1, QColor(0x5a, 0x1e, 0x6e));
    p.fillRect(cover.rect(), g);
    p.setPen(Qt::white);
    QFont font;
    font.setPixelSize(36);
    font.setBold(true);
    p.setFont(font);
    p.drawText(cover.rect(), Qt::AlignCenter, QStringLiteral("Demo"));
    return cover;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    PictureCodecs::install(&QtPictureCodec::instance());
    // The same look whatever the desktop the tool runs on.
    QApplication::setStyle(QStringLiteral("Fusion"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: trovix-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const bool doubleDensity = argc > 2 && qstrcmp(argv[2], kDoubleDensity) == 0;
    QDir().mkpath(out);

    LoopbackAlbumWeb web;
    // Site icons come from the loopback site too (it has none: the bundled
    // ones stay), so nothing here reaches the internet.
    for (const char* key :
         {AllMusicGuide::kBaseURLKey, GoogleMusic::kBaseURLKey, Gnudb::kBaseURLKey})
        Prefs::setValue(QString::fromLatin1(key), web.server().baseUrl());
    TrovixController::startUp(true);
    LoopbackAlbumWeb::enableOnlyAMG();

    AlbumFolderFixture folder;
    folder.setFolderName(QStringLiteral("The Band - Demo Album"));
    const QStringList titles{"opening theme", "second song", "the long road", "interlude",
                             "closing time"};
    for (int i = 0; i < titles.size(); ++i)
        folder.add({QStringLiteral("%1 %2.mp3").arg(i + 1, 2, 10, QLatin1Char('0')).arg(titles[i]),
                    titles[i], QStringLiteral("the band"), QStringLiteral("demo album"), i + 1, 0,
                    QString(), QString(), std::nullopt});
    web.addAlbum({QStringLiteral("#AMG:r100"),
                  QStringLiteral("The Band"),
                  QStringLiteral("Demo Album"),
                  QStringLiteral("2004"),
                  QStringLiteral("Rock"),
                  {"Opening Theme", "Second Song", "The Long Road", "Interlude", "Closing Time",
                   "Hidden Track"}});
    web.addAlbum({QStringLiteral("#AMG:r200"),
                  QStringLiteral("The Band"),
                  QStringLiteral("Demo Album (Deluxe)"),
                  QStringLiteral("2010"),
                  QStringLiteral("Rock"),
                  {"Opening Theme", "Second Song"}});

    bool ok = true;
    DropWindow* drop = TrovixController::instance()->showDropWindow();
    if (!doubleDensity) ok &= grab(drop, out + "/drop-window.png");

    auto* window = new FolderWindow;
    window->document()->setSources(web.sources());
    window->show();
    window->setDocumentPath({folder.path(), false});
    window->document()->waitUntilIdle();
    QTest::qWait(200);
    window->mainLookup();
    if (!QTest::qWaitFor([&] { return window->document()->isIdle(); }, 20000)) {
        std::fprintf(stderr, "look-up did not end\n");
        return 1;
    }
    for (QMessageBox* box : window->findChildren<QMessageBox*>())
        box->done(0);
    window->document()->albumArt()->imageDropped(QtPictureCodec::fromImage(demoCover()));
    window->trackTable()->selectRow(1);
    window->legendButton()->setChecked(true);
    if (doubleDensity) {
        ok &= grab(window, out + "/folder-window@2x.png");
        return ok ? 0 : 1;
    }
    ok &= grab(window, out + "/folder-window.png");
    window->setPalette(ThemeColors::darkPalette());
    ok &= grab(window, out + "/folder-window-dark.png");
    window->setPalette(QPalette());

    LegendPanel legend;
    legend.show();
    ok &= grab(&legend, out + "/legend.png");

    window->showSearchPanel();
    ok &= grab(window->searchSheet(), out + "/search-sheet.png");
    window->searchSheet()->reject();

    window->variousArtistsButton()->click();
    ok &= grab(window, out + "/folder-window-various-artists.png");

    window->showMultiCDPanel();
    window->boxSetSheet()->accept();
    window->showMultiCDPanel();
    ok &= grab(window->boxSetSheet(), out + "/box-set-sheet.png");
    window->boxSetSheet()->accept();

    window->showCoverArtPanel();
    ok &= grab(window->coverArtPanel(), out + "/cover-art-panel.png");
    window->coverArtPanel()->accept();

    ok &= grabSaveInProgress(window, out + "/folder-window-saving.png");

    window->setWindowModified(false);
    window->close();

    // One song in the single-file window, after a song search.
    LoopbackSongWeb songs(QStringLiteral("Second Song"));
    songs.addAlbum({LoopbackSongWeb::Site::AMG,
                    "a1",
                    "The Band",
                    "Demo Album",
                    "2004",
                    "Rock",
                    {"Opening Theme", "Second Song", "The Long Road"}});
    songs.addAlbum({LoopbackSongWeb::Site::Google,
                    "g1",
                    "The Band",
                    "Live at the Hall",
                    "2008",
                    "",
                    {"Intro", "Second Song (Live)", "Encore"}});
    for (const char* key : {AllMusicGuide::kBaseURLKey, GoogleMusic::kBaseURLKey})
        Prefs::setValue(QString::fromLatin1(key), songs.baseUrl());
    Prefs::setValue(QString::fromLatin1(GoogleMusic::kSearchKey), true);
    QTemporaryDir songDir;
    const QString songPath = songDir.filePath(QStringLiteral("02 second song.mp3"));
    if (writeSilentMp3(songPath)) {
        if (auto file = MusicFileFactory::newMusicFileWithPath(songPath)) {
            file->setTags({.artist = QStringLiteral("the band")}, TagField::Artist);
            file->setTags({.title = QStringLiteral("second song")}, TagField::Title);
            SaveBatch::saveOne(*file).ok();
        }
    }
    auto* fileWindow = new FileTagWindow;
    fileWindow->show();
    fileWindow->setDocumentPath({songPath, false});
    fileWindow->document()->waitUntilIdle();
    QTest::qWait(200);
    for (QMessageBox* box : fileWindow->findChildren<QMessageBox*>())
        box->done(0);
    fileWindow->document()->handleHitClick(0);
    ok &= grab(fileWindow, out + "/file-window.png");
    fileWindow->setWindowModified(false);
    fileWindow->close();

    TrovixController::instance()->doPreferences();
    PreferencesWindow* prefs = TrovixController::instance()->preferencesWindow();
    const char* const paneFiles[] = {"prefs-file-names", "prefs-folder-names", "prefs-song-titles",
                                     "prefs-cover-art", "prefs-general"};
    for (int i = 0; i < 5; ++i) {
        prefs->showPane(i);
        ok &= grab(prefs, out + "/" + paneFiles[i] + ".png");
    }
    prefs->hide();
    AboutBox about;
    about.show();
    ok &= grab(&about, out + "/about-box.png");

    // The folder window again, in a process of its own at twice the density.
    QProcess again;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    again.setProcessEnvironment(environment);
    again.setProcessChannelMode(QProcess::ForwardedChannels);
    again.start(QCoreApplication::applicationFilePath(), {out, QLatin1String(kDoubleDensity)});
    ok &= again.waitForFinished(120000) && again.exitStatus() == QProcess::NormalExit &&
          again.exitCode() == 0;
    return ok ? 0 : 1;
}
