// Odd files in an album folder, opened and saved as a user would, then read
// back with TagLib (and the raw tag bytes) as another tagger would see them.
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "media/MusicFile.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/M4aChecks.h"
#include "support/Mp3Fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Folder {
    QTemporaryDir tmp;
    QString dir = tmp.path() + QStringLiteral("/Album");
    Folder() { QDir().mkpath(dir); }
    QString path(const QString& name) const { return dir + u'/' + name; }
    QStringList files() const { return QDir(dir).entryList(QDir::Files, QDir::Name); }
};

// Opens the folder without a look-up (the old titles become the new ones),
// with every alert recorded and answered "Yes"/"OK".
struct Opened {
    HeadlessHost host;
    TrovixDocument doc{&host};
    explicit Opened(const QString& dir) {
        host.setAnswerPolicy(&HeadlessHost::answerDefault);
        doc.setDocumentPath(dir, true);
        settle();
    }
    void settle() {
        doc.waitUntilIdle();
        QCoreApplication::sendPostedEvents();
    }
    void save() {
        host.clearAlerts();
        doc.saveDocument();
        settle();
    }
    std::optional<Alert> alert(const QString& title) const {
        for (const Alert& a : host.alerts())
            if (a.title == title) return a;
        return std::nullopt;
    }
};

struct NoRenamingPrefs {
    NoRenamingPrefs() { Prefs::setOverride(QString::fromLatin1(Prefs::kRenameAlbums), false); }
    ~NoRenamingPrefs() { Prefs::clearOverrides(); }
};

} // namespace

// Files that cannot be read as music are named; the others open, in name
// order, and save. A large folder is read on every core: it must come out
// the same as a small one read on one thread.
TEST(FolderOddFiles, UnreadableFilesAreNamedAndTheOthersOpen) {
    NoRenamingPrefs prefs;
    for (const int songs : {0, 40}) {
        SCOPED_TRACE(songs);
        Folder folder;
        ASSERT_TRUE(writeM4a(folder.path("good.m4a")));
        ASSERT_TRUE(writeBytes(folder.path("empty.mp3"), QByteArray()));
        ASSERT_TRUE(writeBytes(folder.path("cut.m4a"), buildM4a().left(40)));
        ASSERT_TRUE(writeBytes(folder.path("text.m4b"), QByteArray("not audio at all\n")));
        ASSERT_TRUE(writeBytes(folder.path("notes.txt"), QByteArray("liner notes\n")));
        for (int i = songs; i > 0; --i)
            ASSERT_TRUE(writeSilentMp3(folder.path(QStringLiteral("song %1.mp3").arg(i))));

        Opened opened(folder.dir);
        QStringList order;
        for (const AudioTrackRef& track : opened.doc.trackArray())
            order << QFileInfo(track->getPath()).fileName();
        QStringList byName = order;
        byName.sort();
        EXPECT_EQ(order.size(), 1 + songs);
        EXPECT_EQ(order, byName);
        const auto alert = opened.alert(QStringLiteral("Unreadable Files"));
        ASSERT_TRUE(alert);
        EXPECT_TRUE(
            alert->message.contains(QStringLiteral("\"cut.m4a\", \"empty.mp3\", \"text.m4b\"")))
            << alert->message.toStdString();
        EXPECT_FALSE(alert->message.contains(QStringLiteral("notes.txt")));
        if (songs) continue;

        opened.save();
        EXPECT_TRUE(opened.doc.lastSaveSucceeded());
        EXPECT_TRUE(folder.files().contains(QStringLiteral("01-Fixture Title.m4a")));
    }
}

// A folder of nothing but unreadable files is not "read-only": the save
// says what is wrong with which file.
TEST(FolderOddFiles, OnlyUnreadableFilesAreNotCalledReadOnly) {
    NoRenamingPrefs prefs;
    Folder folder;
    ASSERT_TRUE(writeBytes(folder.path("No-audio.m4a"), QByteArray(64, '\0')));
    Opened opened(folder.dir);
    opened.doc.setAlbumField(TagField::Artist, QStringLiteral("Band"));
    opened.doc.setAlbumField(TagField::Album, QStringLiteral("Album"));
    opened.save();
    EXPECT_FALSE(opened.alert(QStringLiteral("Read-only Files")));
    const auto alert = opened.alert(QStringLiteral("Unreadable File"));
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->message.contains(QStringLiteral("\"No-audio.m4a\" could not be read")));
}

// An MPEG-4 file without a title shows, saves and is named by its name
// without the extension, whatever the container's extension.
TEST(FolderOddFiles, UntitledFileIsTitledByItsNameWithoutExtension) {
    NoRenamingPrefs prefs;
    for (const char* ext : {"m4a", "m4b", "mp4"}) {
        SCOPED_TRACE(ext);
        Folder folder;
        M4aFixtureOptions untitled;
        untitled.title = QString();
        ASSERT_TRUE(
            writeM4a(folder.path(QStringLiteral("No-tags.") + QLatin1String(ext)), untitled));
        Opened opened(folder.dir);
        ASSERT_EQ(opened.doc.trackArray().count(), 1);
        EXPECT_EQ(opened.doc.trackArray().at(0)->getOldTitle(), "No-tags");
        opened.save();
        ASSERT_TRUE(opened.doc.lastSaveSucceeded());
        const QString saved = QStringLiteral("01-No-tags.") + QLatin1String(ext);
        ASSERT_EQ(folder.files(), QStringList{saved});
        EXPECT_EQ(readWithTagLib(folder.path(saved)).title, "No-tags");
    }
}

// Emptying the year and the genre removes their items: other readers would
// show an empty item as a value.
TEST(FolderOddFiles, EmptyFieldsRemoveTheirMpeg4Items) {
    NoRenamingPrefs prefs;
    for (bool freeGenre : {false, true}) {
        Folder folder;
        M4aFixtureOptions options;
        if (freeGenre) {
            options.genreIndex = 0;
            options.freeGenre = QStringLiteral("Acid Folk Rock");
        }
        ASSERT_TRUE(writeM4a(folder.path("a.m4a"), options));
        const QByteArray before = readBytes(folder.path("a.m4a"));
        Opened opened(folder.dir);
        opened.doc.setAlbumField(TagField::Year, QString(u""_qs));
        opened.doc.setAlbumField(TagField::Genre, QString(u""_qs));
        opened.save();
        ASSERT_TRUE(opened.doc.lastSaveSucceeded());
        const QString saved = folder.path("01-Fixture Title.m4a");
        const QByteArray after = readBytes(saved);
        for (const char* item : {"\xA9"
                                 "day",
                                 "\xA9gen", "gnre"})
            EXPECT_FALSE(after.contains(item)) << item << " freeGenre " << freeGenre;
        const TagLibView view = readWithTagLib(saved);
        EXPECT_TRUE(view.valid);
        EXPECT_TRUE(view.year.isEmpty());
        EXPECT_TRUE(view.genre.isEmpty());
        EXPECT_EQ(view.album, "Fixture Album");
        EXPECT_TRUE(sameAudio(before, after));
    }
}

// A movie is listed with its tags but never written, and the save says why.
TEST(FolderOddFiles, VideoIsListedButNeverWritten) {
    NoRenamingPrefs prefs;
    Folder folder;
    M4aFixtureOptions movie;
    movie.tracks = 2;
    movie.lastTrackIsVideo = true;
    ASSERT_TRUE(writeM4a(folder.path("clip.mp4"), movie));
    const QByteArray before = readBytes(folder.path("clip.mp4"));

    Opened opened(folder.dir);
    ASSERT_EQ(opened.doc.trackArray().count(), 1);
    const AudioTrackRef clip = opened.doc.trackArray().at(0);
    EXPECT_EQ(clip->getOldTitle(), "Fixture Title");
    EXPECT_FALSE(clip->okToTag());
    clip->writeTags({.title = QStringLiteral("Changed")}, TagField::Title);
    const Outcome saved = SaveBatch::saveOne(*clip->musicFile());
    EXPECT_FALSE(saved.ok());
    EXPECT_TRUE(saved.reason.contains(QStringLiteral("video")));

    opened.save();
    const auto alert = opened.alert(QStringLiteral("Files Not Written"));
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->message.contains(QStringLiteral("video")));
    EXPECT_EQ(folder.files(), QStringList{"clip.mp4"});
    EXPECT_EQ(readBytes(folder.path("clip.mp4")), before);
}

// A year that is no year (a lone byte-order mark read as "þÿ", words) never
// reaches a folder name or a tag; a full date keeps its year.
TEST(FolderOddFiles, JunkYearsAreNoYear) {
    struct Row {
        QByteArray tyer;   // the stored year frame's body (ISO-8859-1)
        QString folder;    // the album folder's new name
        QByteArray stored; // the year frame after the save; empty: none
    };
    const Row rows[] = {
        {QByteArray("\x00\xFE\xFF", 3), "Band-Y--Album", {}},
        {QByteArray("\x00 1999 ", 7), "Band-Y-1999-Album", "1999"},
        {QByteArray("\x00soon", 5), "Band-Y--Album", {}},
        {QByteArray("\x00"
                    "12345",
                    6),
         "Band-Y--Album",
         {}},
    };
    Prefs::setOverride(QString::fromLatin1(Prefs::kAlbumFolderNameFormat),
                       QStringLiteral("%A-Y-%Y-%T"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder.toStdString());
        Folder folder;
        const QByteArray tag = id3v2Tag(3, {id3v2Frame(3, "TIT2", id3Latin1TextBody("One")),
                                            id3v2Frame(3, "TPE1", id3Latin1TextBody("Band")),
                                            id3v2Frame(3, "TALB", id3Latin1TextBody("Album")),
                                            id3v2Frame(3, "TYER", row.tyer)});
        ASSERT_TRUE(writeMp3WithTag(folder.path("a.mp3"), tag));
        Opened opened(folder.dir);
        opened.save();
        ASSERT_TRUE(opened.doc.lastSaveSucceeded());
        const QString renamed = folder.tmp.path() + u'/' + row.folder;
        ASSERT_TRUE(QDir(renamed).exists())
            << QDir(folder.tmp.path()).entryList().join(u',').toStdString();
        const RawId3Tag saved = readRawId3v2(renamed + QStringLiteral("/01-One.mp3"));
        QByteArray year = saved.body("TYER");
        if (year.isNull()) year = saved.body("TDRC");
        EXPECT_EQ(year.isEmpty() ? QByteArray() : year.mid(1), row.stored);
    }

    Folder dated;
    M4aFixtureOptions options;
    options.year = QStringLiteral("2004-05-01T07:00:00Z");
    ASSERT_TRUE(writeM4a(dated.path("a.m4a"), options));
    Opened opened(dated.dir);
    opened.save();
    ASSERT_TRUE(opened.doc.lastSaveSucceeded());
    const QString renamed =
        dated.tmp.path() + QStringLiteral("/Fixture Artist-Y-2004-Fixture Album");
    EXPECT_EQ(readWithTagLib(renamed + QStringLiteral("/01-Fixture Title.m4a")).year, options.year);
    Prefs::clearOverrides();
}

// A template that expands to nothing, or to dots, keeps the current names:
// files never become hidden ".mp3" or ".XXX" files, a folder never "." or "..".
TEST(FolderOddFiles, TemplatesThatNameNothingKeepTheNames) {
    struct Row {
        const char* fileTemplate;
        const char* folderTemplate;
    };
    for (const Row& row : {Row{"%G", "%G"}, Row{"..", "."}, Row{"%Y.", "%Y.."}}) {
        SCOPED_TRACE(row.fileTemplate);
        Prefs::setOverride(QString::fromLatin1(Prefs::kTrackFileNameFormat),
                           QString::fromLatin1(row.fileTemplate));
        Prefs::setOverride(QString::fromLatin1(Prefs::kAlbumFolderNameFormat),
                           QString::fromLatin1(row.folderTemplate));
        Folder folder;
        for (const char* name : {"a.mp3", "b.mp3"})
            ASSERT_TRUE(
                writeMp3WithTag(folder.path(QLatin1String(name)),
                                id3v2Tag(3, {id3v2Frame(3, "TIT2", id3Latin1TextBody(name)),
                                             id3v2Frame(3, "TPE1", id3Latin1TextBody("B")),
                                             id3v2Frame(3, "TALB", id3Latin1TextBody("A"))})));
        Opened opened(folder.dir);
        opened.doc.setAlbumField(TagField::Genre, QStringLiteral("???"));
        opened.doc.setAlbumField(TagField::Year, QString(u""_qs));
        opened.save();
        EXPECT_TRUE(opened.doc.lastSaveSucceeded());
        EXPECT_EQ(QDir(folder.tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"Album"});
        EXPECT_EQ(folder.files(), (QStringList{"a.mp3", "b.mp3"}));
        EXPECT_EQ(readRawId3v2(folder.path("b.mp3")).body("TRCK").mid(1), "2/2");
    }
    Prefs::clearOverrides();
}
