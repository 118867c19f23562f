// The single-file document, driven headless against song searches served by
// a loopback server.
#include "docs/FileTagDocument.h"

#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/FolderBackup.h"
#include "save/SaveBatch.h"
#include "support/LoopbackSongWeb.h"
#include "support/Mp3Fixture.h"
#include "support/SourceTestKit.h"
#include "system/SaveSteps.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <future>
#include <mutex>

namespace {

void pref(const char* key, const QVariant& value) {
    Prefs::setOverride(QString::fromLatin1(key), value);
}

bool writeSong(const QString& path, const QString& artist, const QString& title) {
    if (!writeSilentMp3(path)) return false;
    auto f = MusicFileFactory::newMusicFileWithPath(path);
    if (!f) return false;
    if (!artist.isNull()) f->setTags({.artist = artist}, TagField::Artist);
    if (!title.isNull()) f->setTags({.title = title}, TagField::Title);
    return SaveBatch::saveOne(*f).ok();
}

class FileTagDocumentTest : public SourceTest {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        // The song sites answer from fWeb; gnudb and FreeDB stay on fServer,
        // which must never be asked.
        setBase(AllMusicGuide::kBaseURLKey, fWeb.baseUrl());
        setBase(GoogleMusic::kBaseURLKey, fWeb.baseUrl());
        for (const char* key : {AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey,
                                Gnudb::kSearchKey, FreeDB::kSearchKey})
            pref(key, true);
        pref(Prefs::kSearchForCoverArt, false);
        pref(Prefs::kBackup, false);
        pref(Prefs::kSmartCapitalization, false);
        fWeb.addAlbum({LoopbackSongWeb::Site::AMG,
                       "a1",
                       "The Band",
                       "The Album",
                       "2001",
                       "Rock",
                       {"One", "Song Two", "Three"}});
        fWeb.addAlbum({LoopbackSongWeb::Site::Google,
                       "g1",
                       "The Band",
                       "Live Set",
                       "2005",
                       "",
                       {"Intro", "Sunrise", "Song Two (Live)", "Four", "Outro"}});
    }

    std::unique_ptr<FileTagDocument> open(const QString& path, bool cleanUpOnly = false) {
        auto doc = std::make_unique<FileTagDocument>(&fHost);
        doc->setDocumentPath(path, cleanUpOnly);
        settle(*doc);
        return doc;
    }
    static void settle(FileTagDocument& doc) {
        doc.waitUntilIdle();
        QCoreApplication::sendPostedEvents();
    }
    int rowOf(const FileTagDocument& doc, const QString& key) {
        for (qsizetype i = 0; i < doc.hitCount(); ++i)
            if (doc.hitAt(i)->resultKey() == key) return int(i);
        return -1;
    }
    QStringList alertTitles() {
        QStringList titles;
        for (const Alert& a : fHost.alerts())
            titles << a.title;
        return titles;
    }

    LoopbackSongWeb fWeb{QStringLiteral("Song Two")};
    HeadlessHost fHost;
    QTemporaryDir fDir;
};

TEST_F(FileTagDocumentTest, OpensWithTagTermsAndAsksOnlyTheSongSites) {
    const QString path = fDir.path() + "/track.mp3";
    ASSERT_TRUE(writeSong(path, "The Band", "Song Two"));
    auto doc = open(path);

    EXPECT_EQ(doc->searchTerms(), "The Band / Song Two");
    EXPECT_TRUE(targets().empty()) << "gnudb or FreeDB was asked";
    bool amg = false, google = false;
    for (const std::string& t : fWeb.targets()) {
        amg = amg || t.find("OPT1=3") != std::string::npos;
        google = google || t.find("/musicsearch") == 0;
    }
    EXPECT_TRUE(amg);
    EXPECT_TRUE(google);

    // Each web hit is numbered by its closest title on its album.
    const int amgRow = rowOf(*doc, "#AMG:10:a1");
    const int googRow = rowOf(*doc, "#GOOG:lid=1&aid=g1");
    ASSERT_GE(amgRow, 0);
    ASSERT_GE(googRow, 0);
    EXPECT_EQ(doc->hitAt(amgRow)->longTrack(), "2/3");
    EXPECT_EQ(doc->hitAt(googRow)->longTrack(), "3/5");
    EXPECT_GE(rowOf(*doc, "#TAG:"), 0);
    EXPECT_GE(rowOf(*doc, "#FILES:"), 0);

    // The best hit is selected, but the fields keep the file's values.
    EXPECT_EQ(doc->selectedHitRow(), 0);
    EXPECT_EQ(doc->titleField(), "Song Two");
    EXPECT_EQ(doc->albumField(), "");
    EXPECT_EQ(doc->trackField(), "");

    doc->handleHitClick(amgRow);
    EXPECT_EQ(doc->selectedHitRow(), amgRow);
    EXPECT_EQ(doc->albumField(), "The Album");
    EXPECT_EQ(doc->artistField(), "The Band");
    EXPECT_EQ(doc->yearField(), "2001");
    EXPECT_EQ(doc->genreField(), "Rock");
    EXPECT_EQ(doc->trackField(), "2");
    EXPECT_EQ(doc->countField(), "3");
    EXPECT_EQ(doc->song()->getNewTitle(), "Song Two");
    EXPECT_EQ(doc->fileStatus().I, Red);

    doc->restoreOrigAlbumInfo();
    EXPECT_EQ(doc->albumField(), "");
    EXPECT_TRUE(doc->requestClose());
}

TEST_F(FileTagDocumentTest, EmptyArtistStillSplitsTheTerms) {
    const QString path = fDir.path() + "/track.mp3";
    ASSERT_TRUE(writeSong(path, QString(), "Song Two"));
    auto doc = open(path);
    EXPECT_EQ(doc->searchTerms(), " / Song Two");
    QStringList asked;
    for (const std::string& t : fWeb.targets())
        asked << QString::fromStdString(t);
    EXPECT_TRUE(asked.contains("/cg/amg.dll?SQL=SongTwo&OPT1=3&Submit=Go&P=amg"))
        << asked.join(' ').toStdString();
    EXPECT_TRUE(asked.contains("/musicsearch?q=Song%20Two&res=song"))
        << asked.join(' ').toStdString();
}

TEST_F(FileTagDocumentTest, ChecksBeforeSaving) {
    pref(Prefs::kRenameTracks, false);
    struct Row {
        const char* field;
        QString value;
        QString title; // the stopping alert; empty: the save goes through
        QString message;
    } rows[] = {
        {"title", "", "Missing Field", "The Title field must be filled in."},
        {"track", "1a", "Invalid Track Number", "The Track Number must be numeric."},
        {"track", QString::fromUtf8("\u0661"), "Invalid Track Number",
         "The Track Number must not contain any Unicode characters."},
        {"count", "x", "Invalid Track Count", "The Track Count must be numeric."},
        {"count", QString::fromUtf8("\u00B2"), "Invalid Track Count",
         "The Track Count must not contain any Unicode characters."},
        {"genre", QString::fromUtf8("Rock \u2603"), "Invalid Genre",
         "The Genre must not contain any Unicode characters."},
        {"genre", "", "", ""},
        {"track", "", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.field) + "=" + row.value.toStdString());
        const QString path = fDir.path() + "/check.mp3";
        QFile::remove(path);
        ASSERT_TRUE(writeSong(path, "The Band", "Old"));
        auto doc = open(path, true);
        doc->setTitleField("New");
        doc->setTrackField("4");
        doc->setCountField("9");
        doc->setAlbumField("The Album");
        doc->setYearField("2001");
        doc->setGenreField("Rock");
        const QString field = QString::fromLatin1(row.field);
        if (field == "title") doc->setTitleField(row.value);
        if (field == "track") doc->setTrackField(row.value);
        if (field == "count") doc->setCountField(row.value);
        if (field == "genre") doc->setGenreField(row.value);
        fHost.clearAlerts();
        doc->saveDocument();
        settle(*doc);
        const std::vector<Alert> alerts = fHost.alerts();
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        if (!row.title.isEmpty()) {
            ASSERT_EQ(alerts.size(), 1u);
            EXPECT_EQ(alerts[0].title, row.title);
            EXPECT_EQ(alerts[0].message, row.message);
            EXPECT_FALSE(doc->lastSaveSucceeded());
            EXPECT_EQ(file->readTags().title, "Old");
        } else {
            // The missing-fields warning, and the save anyway.
            ASSERT_EQ(alerts.size(), 1u);
            EXPECT_EQ(alerts[0].title, "Missing Field");
            EXPECT_EQ(alerts[0].message,
                      "Some tag fields are missing. Trovix is saving the empty tags, but you may "
                      "want to go back and fill them all in.");
            EXPECT_TRUE(doc->lastSaveSucceeded());
            EXPECT_EQ(file->readTags().title, "New");
            EXPECT_EQ(file->readTags().genre, field == "genre" ? "" : "Rock");
            EXPECT_EQ(file->readTags().trackNumber(), field == "track" ? 0 : 4);
        }
        EXPECT_TRUE(doc->requestClose());
    }
}

TEST_F(FileTagDocumentTest, SavingRenamesByTheSingleFileTemplate) {
    pref(Prefs::kRenameTracks, true);
    pref(Prefs::kSFRenameTracks, true);
    pref(Prefs::kSFTrackFileNameFormat, "%A-%T");
    const QString path = fDir.path() + "/track.mp3";
    ASSERT_TRUE(writeSong(path, "The Band", "Song Two"));
    auto doc = open(path, true);
    doc->setAlbumField("The Album");
    doc->setTrackField("2");
    doc->updateSongFromFields();
    EXPECT_EQ(doc->fileStatus().F, Red);
    doc->saveDocument();
    settle(*doc);
    ASSERT_TRUE(doc->lastSaveSucceeded());
    const QString renamed = fDir.path() + "/The Band-Song Two.mp3";
    EXPECT_EQ(doc->docPath(), renamed);
    EXPECT_FALSE(QFile::exists(path));
    auto file = MusicFileFactory::newMusicFileWithPath(renamed);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->readTags().album, "The Album");
    EXPECT_EQ(file->readTags().trackNumber(), 2);
    // No custom tag for a single file.
    EXPECT_FALSE(file->readTags().custom);
    EXPECT_EQ(doc->fileStatus().F, Green);
}

// The picture beside the song is shown; the save scales and encodes it on
// its worker and embeds it, whatever the cover-file switch says.
TEST_F(FileTagDocumentTest, SavingEmbedsTheShownPictureScaled) {
    pref(Prefs::kEmbedCoverInTags, false);
    pref(Prefs::kSaveCoverToFile, true);
    pref(Prefs::kResizeCover, true);
    pref(Prefs::kResizePixels, 20);
    pref(Prefs::kResizeOption, 0);
    const QString path = fDir.path() + "/track.mp3";
    ASSERT_TRUE(writeSong(path, "The Band", "Song Two"));
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(fDir.path() + "/front.png"));
    auto doc = open(path, true);
    doc->setTitleField("Song Three");
    doc->saveDocument();
    settle(*doc);
    ASSERT_TRUE(doc->lastSaveSucceeded());
    auto file = MusicFileFactory::newMusicFileWithPath(doc->docPath());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->readTags().title, "Song Three");
    EXPECT_EQ(file->getImage().size(), QSize(20, 15));
    EXPECT_EQ(QDir(fDir.path()).entryList(QDir::Files).size(), 2); // no cover file
}

// The settings are read once when the save starts: preferences changed while
// the file is being written change nothing of it.
TEST_F(FileTagDocumentTest, PreferencesChangedDuringTheSaveDoNotChangeIt) {
    pref(Prefs::kRenameTracks, true);
    pref(Prefs::kSFRenameTracks, true);
    pref(Prefs::kSFTrackFileNameFormat, "%A-%T");
    pref(Prefs::kTagVersion, 3);
    const QString path = fDir.path() + "/track.mp3";
    ASSERT_TRUE(writeSong(path, "The Band", "Old"));
    auto doc = open(path, true);
    doc->setTitleField("New");
    doc->setTrackField("2");
    doc->setCountField("3");

    // The worker waits at its first disk step until the preferences changed.
    std::promise<void> reached, changed;
    std::future<void> changedFuture = changed.get_future();
    std::once_flag once;
    SaveSteps::setHook([&](const char*) {
        std::call_once(once, [&] {
            reached.set_value();
            changedFuture.wait();
        });
    });
    doc->saveDocument();
    reached.get_future().wait();
    pref(Prefs::kRenameTracks, false);
    pref(Prefs::kSFTrackFileNameFormat, "%T");
    pref(Prefs::kTagVersion, 2);
    changed.set_value();
    settle(*doc);
    SaveSteps::setHook({});

    ASSERT_TRUE(doc->lastSaveSucceeded());
    const QString renamed = fDir.path() + "/The Band-New.mp3";
    EXPECT_EQ(doc->docPath(), renamed);
    EXPECT_EQ(QDir(fDir.path()).entryList(QDir::Files), QStringList{"The Band-New.mp3"});
    QFile file(renamed);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(4), QByteArray("ID3\x04", 4)); // ID3v2.4, as at the start
    // The record was given the written file.
    EXPECT_EQ(doc->song()->getPath(), renamed);
    EXPECT_EQ(doc->song()->getOldTitle(), "New");
    EXPECT_EQ(doc->song()->getTrackNum(), 2u);
}

// The save writes with a file object of its own, yet a file another program
// changed since the window read it is still refused, and the window's record
// and file object keep what was read.
TEST_F(FileTagDocumentTest, FileChangedByAnotherProgramSinceOpeningIsNotOverwritten) {
    pref(Prefs::kRenameTracks, false);
    const QString path = fDir.path() + "/track.mp3";
    ASSERT_TRUE(writeSong(path, "The Band", "Old"));
    auto doc = open(path, true);
    QThread::msleep(20); // a later modification time
    ASSERT_TRUE(writeSong(path, "Someone", "Elsewhere"));
    doc->setTitleField("New");

    doc->saveDocument();
    settle(*doc);
    EXPECT_FALSE(doc->lastSaveSucceeded());
    ASSERT_EQ(doc->lastSaveFailures().size(), 1);
    EXPECT_TRUE(doc->lastSaveFailures()[0].reason.contains("changed by another program"));
    EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(path)->readTags().title, "Elsewhere");
    EXPECT_EQ(doc->song()->getOldTitle(), "Old");
    EXPECT_EQ(doc->song()->musicFile()->readTags().title, "Old");
}

TEST_F(FileTagDocumentTest, BackingUpTwiceNumbersTheSecondCopy) {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    QFile dirs(config + "/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_MUSIC_DIR=\"" + QFile::encodeName(fDir.path() + "/Music") + "\"\n");
    dirs.close();
    pref(Prefs::kBackup, true);
    pref(Prefs::kRenameTracks, false);
    const QString path = fDir.path() + "/song.mp3";
    ASSERT_TRUE(writeSong(path, "The Band", "Song"));
    auto doc = open(path, true);
    for (const char* title : {"First", "Second"}) {
        doc->setTitleField(QString::fromLatin1(title));
        doc->saveDocument();
        settle(*doc);
        EXPECT_TRUE(doc->lastSaveSucceeded());
    }
    const QString backups = fDir.path() + "/Music/Trovix Backups";
    QFile::remove(config + "/user-dirs.dirs");
    EXPECT_EQ(QDir(backups).entryList(QDir::Files, QDir::Name),
              (QStringList{"song 1.mp3", "song.mp3"}));
    EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(backups + "/song.mp3")->readTags().title,
              "Song");
    EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(backups + "/song 1.mp3")->readTags().title,
              "First");
    EXPECT_EQ(FolderBackup::chooseFileTarget(backups, ".hidden"), backups + "/.hidden");
}

TEST_F(FileTagDocumentTest, AFileThatCannotBeWrittenIsReportedAndKeepsItsName) {
    pref(Prefs::kRenameTracks, true);
    // Not audio at all: the record has no tags to write.
    const QString path = fDir.path() + "/notes.mp3";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not an mp3");
    f.close();
    auto doc = open(path, true);
    doc->setTitleField("Title");
    doc->setArtistField("Artist");
    doc->saveDocument();
    settle(*doc);
    EXPECT_FALSE(doc->lastSaveSucceeded());
    EXPECT_TRUE(alertTitles().contains("Unreadable File")); // not "read-only"
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(doc->docPath(), path);
}

} // namespace

namespace {

// What a user sees of a single-file document: the fields, the chosen hit and
// the title and artist a save would write.
QStringList fieldTexts(const FileTagDocument& doc) {
    return {doc.titleField(),          doc.trackField(),
            doc.countField(),          doc.artistField(),
            doc.albumField(),          doc.genreField(),
            doc.yearField(),           QString::number(doc.selectedHitRow()),
            doc.song()->getNewTitle(), doc.song()->getNewArtist()};
}

} // namespace

TEST_F(FileTagDocumentTest, EachEditUndoesAndRedoesAsOneStepUntilASave) {
    pref(Prefs::kRenameTracks, false);
    using Step = std::function<void(FileTagDocument&)>;
    const Step applyHit = [this](FileTagDocument& d) { d.handleHitClick(rowOf(d, "#AMG:10:a1")); };
    struct Row {
        const char* edit;
        Step setUp;
        Step run;
    };
    const Row rows[] = {
        {"typing in a field, key by key",
         {},
         [](auto& d) {
             d.setAlbumField("A");
             d.setAlbumField("Ab");
         }},
        {"applying a hit", {}, applyHit},
        {"using the old title", [](auto& d) { d.setTitleField("Typed"); },
         [](auto& d) { d.copyOldTitlesToNew(false); }},
        {"restoring the original info", applyHit, [](auto& d) { d.restoreOrigAlbumInfo(); }},
    };
    const QString path = fDir.path() + "/track.mp3";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.edit);
        QFile::remove(path);
        ASSERT_TRUE(writeSong(path, "The Band", "Song Two"));
        auto doc = open(path);
        EXPECT_FALSE(doc->undoStack().canUndo()); // opening is not an edit
        if (row.setUp) row.setUp(*doc);
        doc->updateSongFromFields(); // the typing monitor's idle step
        const int depth = doc->undoStack().index();
        const QStringList before = fieldTexts(*doc);
        row.run(*doc);
        doc->updateSongFromFields();
        const QStringList after = fieldTexts(*doc);
        ASSERT_NE(after, before);
        EXPECT_EQ(doc->undoStack().index(), depth + 1);
        doc->undo();
        EXPECT_EQ(fieldTexts(*doc), before);
        doc->redo();
        EXPECT_EQ(fieldTexts(*doc), after);

        doc->saveDocument();
        settle(*doc);
        ASSERT_TRUE(doc->lastSaveSucceeded());
        EXPECT_EQ(doc->undoStack().count(), 0); // the file on disk is not unwritten
    }
}
