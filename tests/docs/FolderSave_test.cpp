// Saving a folder document, driven headless with scripted web sources.
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "save/SaveBatch.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "support/XiphFixture.h"
#include "system/SaveSteps.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct AmgOnlyPrefs {
    AmgOnlyPrefs() {
        for (const char* key : {GoogleMusic::kSearchKey, Gnudb::kSearchKey, FreeDB::kSearchKey,
                                Prefs::kSearchForCoverArt, Prefs::kRenameAlbums})
            Prefs::setOverride(QString::fromLatin1(key), false);
        Prefs::setOverride(QString::fromLatin1(AllMusicGuide::kSearchKey), true);
    }
    ~AmgOnlyPrefs() { Prefs::clearOverrides(); }
};

// One album hit from "All Music Guide" with these titles; every call is logged.
struct Script {
    QStringList titles;
    QString key = QStringLiteral("#AMG:42");
    std::mutex mutex;
    QStringList calls;

    LookupSources sources() {
        LookupSources s;
        s.savedSearch = [this](AlbumInfoArray&, const CustomTag* tag,
                               const std::optional<ScoreWeights>&, const SourceOptions&,
                               ProgressIndicator*) {
            std::lock_guard lock(mutex);
            calls << QStringLiteral("saved:") + tag->savedSearchTerms() + u'|' + tag->resultKey();
        };
        s.albumSearches[QStringLiteral("All Music Guide")] =
            [this](AlbumInfoArray& list, const QString& terms,
                   const std::optional<ScoreWeights>& weights, const SourceOptions&,
                   ProgressIndicator*) {
                {
                    std::lock_guard lock(mutex);
                    calls << QStringLiteral("amg:") + terms;
                }
                auto details = std::make_shared<AlbumDetails>();
                details->setArtist(QStringLiteral("The Band"));
                details->setAlbum(QStringLiteral("The Album"));
                details->setResultKey(key);
                for (const QString& t : titles)
                    details->addTitle(t, QString());
                auto hit = std::make_shared<AlbumInfo>();
                hit->setArtist(QStringLiteral("The Band"));
                hit->setAlbum(QStringLiteral("The Album"));
                hit->setYear(QStringLiteral("2001"));
                hit->setGenre(QStringLiteral("Rock"));
                hit->setResultKey(key);
                hit->setIADBCompareString(QStringLiteral("The Band / The Album"));
                hit->setAlbumDetails(details);
                list.addSorted(hit, weights, 0);
            };
        s.details = [](const AlbumInfo& hit, const SourceOptions&, ProgressIndicator*) {
            return hit.albumDetails();
        };
        return s;
    }
};

bool writeTitled(const QString& path, const QString& title, int track) {
    const bool written = path.endsWith(QLatin1String(".m4a")) ? writeM4a(path)
                         : path.endsWith(QLatin1String(".flac"), Qt::CaseInsensitive)
                             ? writeXiphFile(path, XiphKind::Flac)
                             : writeSilentMp3(path);
    if (!written) return false;
    auto f = MusicFileFactory::newMusicFileWithPath(path);
    if (!f) return false;
    f->setTags({.artist = QStringLiteral("The Band")}, TagField::Artist);
    f->setTags({.album = QStringLiteral("The Album")}, TagField::Album);
    f->setTags({.year = QStringLiteral("2001")}, TagField::Year);
    f->setTags({.genre = QStringLiteral("Rock")}, TagField::Genre);
    f->setTags({.title = title}, TagField::Title);
    if (track) f->setTags(TagValues::withTrack(track, 0), TagField::Track | TagField::TrackCount);
    return SaveBatch::saveOne(*f).ok();
}

QString titleOf(const QString& path) {
    auto f = MusicFileFactory::newMusicFileWithPath(path);
    return f ? f->readTags().title : QStringLiteral("(unreadable)");
}

void settle(TrovixDocument& doc) {
    doc.waitUntilIdle();
    QCoreApplication::sendPostedEvents();
}

// Opens the folder in the document, looked up with the script, and waits.
void openWith(Script& script, TrovixDocument& doc, const QString& dir) {
    doc.setSources(script.sources());
    doc.setDocumentPath(dir, false);
    settle(doc);
}

QStringList alertTitlesOf(const std::vector<Alert>& alerts) {
    QStringList t;
    for (const Alert& a : alerts)
        t << a.title;
    return t;
}

struct TitledAlbum {
    QTemporaryDir tmp;
    QString dir = tmp.path() + QStringLiteral("/Album");
    explicit TitledAlbum(const QList<QPair<QString, QString>>& files) {
        QDir().mkpath(dir);
        int n = 0;
        for (const auto& [name, title] : files)
            EXPECT_TRUE(writeTitled(dir + u'/' + name, title, ++n));
    }
    QStringList files() const { return QDir(dir).entryList(QDir::Files, QDir::Name); }
};

} // namespace

TEST(FolderSave, TrackNumberIsThePositionSoAFileAfterAPlaceholderSkipsItsNumber) {
    AmgOnlyPrefs prefs;
    TitledAlbum album({{"a.mp3", "One"}, {"b.mp3", "Three"}});
    Script script;
    script.titles = {"One", "Two", "Three"};
    HeadlessHost host;
    host.setAnswerPolicy(&HeadlessHost::answerDefault); // "Yes" to the missing track
    TrovixDocument doc(&host);
    openWith(script, doc, album.dir);
    ASSERT_EQ(doc.trackArray().count(), 3);
    ASSERT_TRUE(doc.trackArray().at(1)->isPlaceholder());

    doc.saveDocument();
    settle(doc);
    EXPECT_TRUE(alertTitlesOf(host.alerts()).contains("Missing Track"));
    ASSERT_TRUE(doc.lastSaveSucceeded());
    EXPECT_EQ(album.files(), (QStringList{"01-One.mp3", "03-Three.mp3"}));
    auto three = MusicFileFactory::newMusicFileWithPath(album.dir + "/03-Three.mp3");
    ASSERT_TRUE(three);
    EXPECT_EQ(three->readTags().trackNumber(), 3);
    EXPECT_EQ(three->readTags().trackCountNumber(), 3);
    // The window's record holds the numbers written, not those read before.
    const AudioTrackRef record = doc.trackArray().at(2);
    EXPECT_EQ(record->getTrackNum(), 3u);
    EXPECT_EQ(record->tags().trackCountNumber(), 3);
}

TEST(FolderSave, MixedFolderOfMp3M4aAndFlacOpensSavesAndRenames) {
    AmgOnlyPrefs prefs;
    TitledAlbum album({{"a.mp3", "one"}, {"b.m4a", "two"}, {"c.FLAC", "three"}});
    Script script;
    script.titles = {"One", "Two", "Three"};
    HeadlessHost host;
    TrovixDocument doc(&host);
    openWith(script, doc, album.dir);
    ASSERT_EQ(doc.trackArray().count(), 3);
    doc.saveDocument();
    settle(doc);
    ASSERT_TRUE(doc.lastSaveSucceeded());
    // The extension keeps the case it was written in.
    EXPECT_EQ(album.files(), (QStringList{"01-One.mp3", "02-Two.m4a", "03-Three.FLAC"}));
    auto flac = MusicFileFactory::newMusicFileWithPath(album.dir + "/03-Three.FLAC");
    ASSERT_TRUE(flac);
    EXPECT_EQ(flac->readTags().title, "Three");
    EXPECT_EQ(flac->readTags().artist, "The Band");
    EXPECT_EQ(flac->readTags().trackNumber(), 3);
    EXPECT_EQ(flac->readTags().trackCountNumber(), 3);
    EXPECT_TRUE(flac->readTags().custom.has_value());
    EXPECT_EQ(titleOf(album.dir + "/02-Two.m4a"), "Two");
}

TEST(FolderSave, BlankTitlesCancelSaveOthersOrUseOldTitles) {
    AmgOnlyPrefs prefs;
    Script script;
    script.titles = {"One", "Two"}; // the third file gets no new title
    struct Row {
        int button;
        bool saved;
        QString thirdTitle;
    };
    for (const Row& row : {Row{0, false, "c old"}, Row{1, true, "c old"}, Row{2, true, "C Old"}}) {
        TitledAlbum album({{"a.mp3", "One"}, {"b.mp3", "Two"}, {"c.mp3", "c old"}});
        HeadlessHost host;
        host.setAnswerPolicy([&](const Alert& a) {
            return a.title == QLatin1String("Missing Field") ? row.button : -1;
        });
        TrovixDocument doc(&host);
        openWith(script, doc, album.dir);
        host.clearAlerts();
        doc.saveDocument();
        settle(doc);
        const std::vector<Alert> alerts = host.alerts();
        ASSERT_FALSE(alerts.empty());
        EXPECT_EQ(alerts.front().title, "Missing Field");
        EXPECT_EQ(alerts.front().buttons, (QStringList{"Cancel", "Save Others", "Use Old Titles"}));
        EXPECT_EQ(doc.lastSaveSucceeded(), row.saved) << row.button;
        const QStringList files = album.files();
        if (!row.saved) {
            EXPECT_EQ(files, (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
            continue;
        }
        EXPECT_TRUE(files.contains("01-One.mp3")) << files.join(',').toStdString();
        // "Save Others" leaves the file alone; "Use Old Titles" writes its old
        // title (as the title template makes it).
        const QString third = row.button == 1 ? album.dir + "/c.mp3" : album.dir + "/03-C Old.mp3";
        EXPECT_EQ(titleOf(third), row.thirdTitle) << row.button;
    }
}

TEST(FolderSave, CustomTagMakesTheNextOpeningRunTheSavedSearchFirst) {
    AmgOnlyPrefs prefs;
    TitledAlbum album({{"a.mp3", "One"}, {"b.mp3", "Two"}});
    Script script;
    script.titles = {"One", "Two"};
    {
        HeadlessHost host;
        TrovixDocument doc(&host);
        openWith(script, doc, album.dir);
        doc.saveDocument();
        settle(doc);
        ASSERT_TRUE(doc.lastSaveSucceeded());
    }
    auto file = MusicFileFactory::newMusicFileWithPath(album.dir + "/01-One.mp3");
    ASSERT_TRUE(file && file->readTags().custom);
    EXPECT_EQ(file->readTags().custom->resultKey(), "#AMG:42");
    const QString terms = file->readTags().custom->savedSearchTerms();
    EXPECT_EQ(terms, "The Band / The Album");

    script.calls.clear();
    HeadlessHost host;
    TrovixDocument doc(&host);
    openWith(script, doc, album.dir);
    ASSERT_GE(script.calls.size(), 2);
    EXPECT_EQ(script.calls[0], "saved:" + terms + "|#AMG:42");
    EXPECT_EQ(script.calls[1], "amg:" + terms);
}

TEST(FolderSave, FileMadeReadOnlyAfterOpeningIsReportedAndKeepsItsName) {
    AmgOnlyPrefs prefs;
    Script script;
    script.titles = {"One", "Two"};
    TitledAlbum album({{"a.mp3", "One"}, {"b.mp3", "Two"}});
    const bool root = ::geteuid() == 0;
    auto mode = [](const QString& p, mode_t m) { ::chmod(QFile::encodeName(p).constData(), m); };
    mode(album.tmp.path(), 0777);
    mode(album.dir, 0777);
    mode(album.dir + "/b.mp3", 0666);
    mode(album.dir + "/a.mp3", 0666);

    HeadlessHost host;
    TrovixDocument doc(&host);
    openWith(script, doc, album.dir);
    ASSERT_TRUE(doc.trackArray().at(0)->okToTag());
    const QByteArray before = [&] {
        QFile f(album.dir + "/a.mp3");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    mode(album.dir + "/a.mp3", 0444);
    // Root may write anything: the save runs as "nobody".
    if (root && ::seteuid(65534) != 0) GTEST_SKIP() << "could not drop root";
    host.clearAlerts();
    doc.saveDocument();
    settle(doc);
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }

    EXPECT_FALSE(doc.lastSaveSucceeded());
    const std::vector<Alert> alerts = host.alerts();
    ASSERT_EQ(alertTitlesOf(alerts), QStringList{"Some Files Were Not Saved"});
    EXPECT_TRUE(alerts[0].message.contains("\"a.mp3\"")) << alerts[0].message.toStdString();
    ASSERT_EQ(doc.lastSaveFailures().size(), 1);
    EXPECT_EQ(doc.lastSaveFailures()[0].file, "a.mp3");
    EXPECT_FALSE(doc.lastSaveFailures()[0].reason.isEmpty());
    EXPECT_EQ(album.files(), (QStringList{"02-Two.mp3", "a.mp3"}));
    EXPECT_EQ(doc.trackArray().at(0)->getFileName(), "a.mp3");
    QFile f(album.dir + "/a.mp3");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST(FolderSave, SaveThenCloseClosesOnlyAfterASaveThatSucceeded) {
    AmgOnlyPrefs prefs;
    Script script;
    script.titles = {"One"};
    {
        TitledAlbum album(QList<QPair<QString, QString>>{{"a.mp3", "One"}});
        HeadlessHost host;
        TrovixDocument doc(&host);
        openWith(script, doc, album.dir);
        QSignalSpy closed(&doc, &TrovixDocument::closedAfterSave);
        doc.saveDocumentWithDelegate();
        EXPECT_TRUE(closed.wait(10000));
        EXPECT_TRUE(doc.lastSaveSucceeded());
        EXPECT_EQ(album.files(), QStringList{"01-One.mp3"});
    }
    {
        // A check's question: the document stays open with the question up;
        // the answer saves, and the document still stays open.
        TitledAlbum album({{"a.mp3", "One"}, {"b.mp3", "Two"}});
        HeadlessHost host;
        TrovixDocument doc(&host);
        openWith(script, doc, album.dir);
        QSignalSpy closed(&doc, &TrovixDocument::closedAfterSave);
        doc.saveDocumentWithDelegate();
        EXPECT_FALSE(closed.wait(300));
        ASSERT_FALSE(host.alerts().empty());
        EXPECT_EQ(host.alerts().back().title, "Missing Field");
        doc.saver().answerBlankTitles(1);
        doc.waitUntilIdle();
        EXPECT_EQ(album.files(), (QStringList{"01-One.mp3", "b.mp3"}));
        EXPECT_EQ(closed.count(), 0);
        EXPECT_TRUE(doc.requestClose());
    }
    {
        // A closed document ignores a late answer.
        TitledAlbum album({{"a.mp3", "One"}, {"b.mp3", "Two"}});
        HeadlessHost host;
        TrovixDocument doc(&host);
        openWith(script, doc, album.dir);
        doc.saveDocumentWithDelegate();
        ASSERT_TRUE(doc.requestClose());
        doc.saver().answerBlankTitles(1);
        doc.waitUntilIdle();
        EXPECT_EQ(album.files(), (QStringList{"a.mp3", "b.mp3"}));
    }
}

TEST(FolderSave, CoverIsEmbeddedScaledOrSavedToAFile) {
    AmgOnlyPrefs prefs;
    Script script;
    script.titles = {"One"};
    struct Row {
        bool embed;
        bool toFile;
        QSize embedded; // empty: no picture in the tags
    };
    for (const Row& row : {Row{true, false, QSize(20, 15)}, Row{false, true, QSize()}}) {
        TitledAlbum album(QList<QPair<QString, QString>>{{"a.mp3", "One"}});
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        ASSERT_TRUE(picture.save(album.dir + "/front.png"));
        Prefs::setOverride(Prefs::kEmbedCoverInTags, row.embed);
        Prefs::setOverride(Prefs::kSaveCoverToFile, row.toFile);
        Prefs::setOverride(Prefs::kResizeCover, true);
        Prefs::setOverride(Prefs::kResizePixels, 20);
        Prefs::setOverride(Prefs::kResizeOption, 0);

        HeadlessHost host;
        TrovixDocument doc(&host);
        openWith(script, doc, album.dir);
        doc.saveDocument();
        settle(doc);
        ASSERT_TRUE(doc.lastSaveSucceeded());

        auto file = MusicFileFactory::newMusicFileWithPath(album.dir + "/01-One.mp3");
        ASSERT_TRUE(file);
        const Picture embedded = file->getImage();
        EXPECT_EQ(embedded.isNull() ? QSize() : embedded.size(), row.embedded) << row.embed;
        const QImage saved(album.dir + "/Cover Art.jpg");
        EXPECT_EQ(saved.isNull() ? QSize() : saved.size(), row.toFile ? QSize(40, 30) : QSize())
            << row.toFile;
    }
}

TEST(FolderSave, FolderIsRenamedOnlyAfterEveryFileAndARefusalFailsTheSave) {
    AmgOnlyPrefs prefs;
    Prefs::setOverride(QString::fromLatin1(Prefs::kRenameAlbums), true);
    Script script;
    script.titles = {"One", "Two"};
    const auto open = [&](HeadlessHost& host, TrovixDocument& doc, const TitledAlbum& album) {
        openWith(script, doc, album.dir);
        host.clearAlerts();
    };
    const auto folderFailure = [](const TrovixDocument& doc) {
        for (const DocumentBase::SaveFailure& f : doc.lastSaveFailures())
            if (f.file == "Album") return f.reason;
        return QString();
    };

    {
        // A file that cannot be written: the folder keeps its name, and says why.
        TitledAlbum album({{"a.mp3", "One"}, {"b.mp3", "Two"}});
        HeadlessHost host;
        TrovixDocument doc(&host);
        open(host, doc, album);
        ASSERT_TRUE(QFile::remove(album.dir + "/b.mp3"));
        doc.saveDocument();
        settle(doc);
        EXPECT_FALSE(doc.lastSaveSucceeded());
        EXPECT_EQ(doc.docPath(), album.dir);
        EXPECT_TRUE(QFileInfo::exists(album.dir));
        EXPECT_TRUE(folderFailure(doc).contains("not every file was saved"))
            << folderFailure(doc).toStdString();
    }
    {
        // The system refuses the folder's new name: every file saved, and
        // still the save failed.
        TitledAlbum album({{"a.mp3", "One"}, {"b.mp3", "Two"}});
        const bool root = ::geteuid() == 0;
        auto mode = [](const QString& p, mode_t m) {
            ::chmod(QFile::encodeName(p).constData(), m);
        };
        mode(album.tmp.path(), 0555);
        mode(album.dir, 0777);
        for (const QString& f : album.files())
            mode(album.dir + "/" + f, 0666);
        HeadlessHost host;
        TrovixDocument doc(&host);
        open(host, doc, album);
        if (root && ::seteuid(65534) != 0) GTEST_SKIP() << "could not drop root";
        doc.saveDocument();
        settle(doc);
        if (root) {
            ASSERT_EQ(::seteuid(0), 0);
        }
        mode(album.tmp.path(), 0755);
        EXPECT_EQ(album.files(), (QStringList{"01-One.mp3", "02-Two.mp3"}));
        EXPECT_FALSE(doc.lastSaveSucceeded());
        EXPECT_TRUE(folderFailure(doc).contains("could not be renamed"))
            << folderFailure(doc).toStdString();
        EXPECT_TRUE(alertTitlesOf(host.alerts()).contains("Some Files Were Not Saved"));
    }
}

TEST(FolderSave, AnUnchangedJpegCoverIsWrittenBackAsItsOwnBytes) {
    AmgOnlyPrefs prefs;
    Prefs::setOverride(Prefs::kSearchForCoverArt, true);
    Script script;
    script.titles = {"One", "Two"};
    auto jpeg = [](QColor colour) {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 95);
        return bytes;
    };
    // The first file's cover is the one shown, so the second file takes it
    // too: neither may be re-encoded on the way.
    const QByteArray first = jpeg(Qt::red);
    const QByteArray apic = QByteArray("\0image/jpeg\0\x03\0", 14) + first;
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    ASSERT_TRUE(writeMp3WithTag(dir + "/a.mp3",
                                id3v2Tag(3, {id3v2Frame(3, "TIT2", id3Latin1TextBody("One")),
                                             id3v2Frame(3, "TPE1", id3Latin1TextBody("The Band")),
                                             id3v2Frame(3, "TALB", id3Latin1TextBody("The Album")),
                                             id3v2Frame(3, "TRCK", id3Latin1TextBody("1/2")),
                                             id3v2Frame(3, "APIC", apic)})));
    M4aFixtureOptions m4a;
    m4a.title = QStringLiteral("Two");
    m4a.artist = QStringLiteral("The Band");
    m4a.album = QStringLiteral("The Album");
    m4a.trackNum = 2;
    m4a.trackCount = 2;
    m4a.cover = jpeg(Qt::blue);
    m4a.coverType = 13;
    ASSERT_TRUE(writeM4a(dir + "/b.m4a", m4a));

    HeadlessHost host;
    TrovixDocument doc(&host);
    openWith(script, doc, dir);
    doc.saveDocument();
    settle(doc);
    ASSERT_TRUE(doc.lastSaveSucceeded());

    EXPECT_EQ(readRawId3v2(dir + "/01-One.mp3").body("APIC"), apic);
    QFile saved(dir + "/02-Two.m4a");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    const qsizetype covr = bytes.indexOf("covr");
    ASSERT_GT(covr, 0);
    EXPECT_EQ(bytes.mid(covr + 8, 8), QByteArray("data\0\0\0\x0D", 8)); // JPEG type
    EXPECT_EQ(qFromBigEndian<quint32>(bytes.constData() + covr + 4), quint32(16 + first.size()));
    EXPECT_EQ(bytes.mid(covr + 20, first.size()), first);
}

// The settings are read once when the save starts: preferences changed while
// the files are being written change nothing of it.
TEST(FolderSave, PreferencesChangedDuringTheSaveDoNotChangeIt) {
    AmgOnlyPrefs prefs;
    Prefs::setOverride(Prefs::kRenameTracks, true);
    Prefs::setOverride(Prefs::kRenameAlbums, true);
    Prefs::setOverride(Prefs::kTagVersion, 3);
    TitledAlbum album({{"a.mp3", "one"}, {"b.mp3", "two"}});
    Script script;
    script.titles = {"One", "Two"};
    HeadlessHost host;
    TrovixDocument doc(&host);
    openWith(script, doc, album.dir);

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
    doc.saveDocument();
    reached.get_future().wait();
    Prefs::setOverride(Prefs::kRenameTracks, false);
    Prefs::setOverride(Prefs::kRenameAlbums, false);
    Prefs::setOverride(Prefs::kTagVersion, 2);
    Prefs::setOverride(Prefs::kTrackFileNameFormat, "%T");
    changed.set_value();
    settle(doc);
    SaveSteps::setHook({});

    ASSERT_TRUE(doc.lastSaveSucceeded());
    const QString folder = QFileInfo(album.dir).path() + "/The Band-2001-The Album";
    EXPECT_EQ(doc.docPath(), folder);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name),
              (QStringList{"01-One.mp3", "02-Two.mp3"}));
    QFile file(folder + "/01-One.mp3");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(4), QByteArray("ID3\x04", 4)); // ID3v2.4, as at the start
    // The records were given the written files.
    EXPECT_EQ(doc.trackArray().at(0)->getPath(), folder + "/01-One.mp3");
    EXPECT_EQ(doc.trackArray().at(1)->getOldTitle(), "Two");
}

// The save writes with file objects of its own, yet a file another program
// changed since the window read it is still refused, not overwritten.
TEST(FolderSave, FileChangedByAnotherProgramSinceOpeningIsNotOverwritten) {
    AmgOnlyPrefs prefs;
    TitledAlbum album({{"a.mp3", "one"}, {"b.mp3", "two"}});
    Script script;
    script.titles = {"One", "Two"};
    HeadlessHost host;
    TrovixDocument doc(&host);
    openWith(script, doc, album.dir);
    ASSERT_EQ(doc.trackArray().count(), 2);
    QTest::qWait(20); // a later modification time
    ASSERT_TRUE(writeTitled(album.dir + "/b.mp3", "Elsewhere", 2));

    doc.saveDocument();
    settle(doc);
    EXPECT_FALSE(doc.lastSaveSucceeded());
    ASSERT_EQ(doc.lastSaveFailures().size(), 1);
    EXPECT_EQ(doc.lastSaveFailures()[0].file, "b.mp3");
    EXPECT_TRUE(doc.lastSaveFailures()[0].reason.contains("changed by another program"));
    EXPECT_EQ(titleOf(album.dir + "/b.mp3"), "Elsewhere");
    EXPECT_EQ(titleOf(album.dir + "/01-One.mp3"), "One");
}
