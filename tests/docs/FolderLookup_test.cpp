// The opening and look-up flow of a folder document, driven headless: real
// MP3 and M4A files in a temporary folder, web sources replaced by a table of
// scripted sources that record what they were asked.

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "docs/FolderTagThread.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "support/AlbumFolderFixture.h"
#include "support/LoopbackServer.h"
#include "support/M4aFixture.h"
#include "support/Mp3Fixture.h"
#include "support/Pictures.h"
#include "support/QtPrinters.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>

#include <mutex>

namespace {

struct ScriptedHit {
    QString artist;
    QString album;
    QString key;
    QStringList titles;
    QString coverURL;
    // A hit whose genre and year match the tags scores the full 100.
    QString genre = QString();
    QString year = QString();
};

// Web sources that answer from a script and log every call.
class ScriptedWeb {
public:
    QMap<QString, QList<ScriptedHit>> hits; // by source name
    std::function<void(const QString& source)> duringSearch;

    QStringList calls() const {
        std::lock_guard lock(fMutex);
        return fCalls;
    }

    LookupSources sources() {
        LookupSources s;
        s.savedSearch = [this](AlbumInfoArray& list, const CustomTag* tag,
                               const std::optional<ScoreWeights>& weights, const SourceOptions&,
                               ProgressIndicator*) {
            search(QStringLiteral("saved"), tag->savedSearchTerms(), list, weights);
        };
        auto make = [this](const QString& name) {
            return [this, name](AlbumInfoArray& list, const QString& terms,
                                const std::optional<ScoreWeights>& weights, const SourceOptions&,
                                ProgressIndicator*) { search(name, terms, list, weights); };
        };
        s.albumSearches[QStringLiteral("All Music Guide")] = make(QStringLiteral("amg"));
        s.albumSearches[QStringLiteral("Google Music")] = make(QStringLiteral("goog"));
        s.albumSearches[QStringLiteral("gnudb")] = make(QStringLiteral("gnudb"));
        s.albumSearches[QStringLiteral("FreeDB")] = make(QStringLiteral("freedb"));
        s.details = [this](const AlbumInfo& hit, const SourceOptions&,
                           ProgressIndicator*) -> AlbumDetailsPtr {
            if (hit.albumDetails()) return hit.albumDetails();
            std::lock_guard lock(fMutex);
            return fDetails.value(hit.resultKey());
        };
        return s;
    }

private:
    void search(const QString& name, const QString& terms, AlbumInfoArray& list,
                const std::optional<ScoreWeights>& weights) {
        QList<ScriptedHit> script;
        {
            std::lock_guard lock(fMutex);
            fCalls.append(name + u':' + terms);
            script = hits.value(name);
        }
        for (const ScriptedHit& h : script) {
            auto hit = std::make_shared<AlbumInfo>();
            hit->setArtist(h.artist);
            hit->setAlbum(h.album);
            hit->setResultKey(h.key);
            hit->setIADBCompareString(h.artist + QStringLiteral(" / ") + h.album);
            hit->setGenre(h.genre);
            hit->setYear(h.year);
            auto details = std::make_shared<AlbumDetails>();
            details->setArtist(h.artist);
            details->setAlbum(h.album);
            details->setResultKey(h.key);
            details->setYear(QStringLiteral("1999"));
            details->setAlbumCoverURL(h.coverURL);
            for (const QString& title : h.titles)
                details->addTitle(title, QString());
            {
                std::lock_guard lock(fMutex);
                fDetails.insert(h.key, details);
            }
            list.addSorted(hit, weights, 0);
        }
        if (duringSearch) duringSearch(name);
    }

    mutable std::mutex fMutex;
    QStringList fCalls;
    QMap<QString, AlbumDetailsPtr> fDetails;
};

class FolderLookup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        Prefs::setOverride(Prefs::kSmartCapitalization, false);
        Prefs::setOverride(Prefs::kSearchForCoverArt, false);
        for (const char* key : {AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey,
                                Gnudb::kSearchKey, FreeDB::kSearchKey})
            Prefs::setOverride(key, true);
    }
    void TearDown() override { Prefs::clearOverrides(); }

    void addTracks(const QStringList& titles, const QString& artist = QStringLiteral("Band"),
                   const QString& album = QStringLiteral("Record")) {
        for (int i = 0; i < titles.size(); ++i) {
            FixtureTrack t;
            t.fileName = QStringLiteral("%1 file.%2")
                             .arg(i + 1, 2, 10, QChar(u'0'))
                             .arg(i % 2 ? QStringLiteral("m4a") : QStringLiteral("mp3"));
            t.title = titles[i];
            t.artist = artist;
            t.album = album;
            t.genre = QStringLiteral("Rock");
            t.year = QStringLiteral("1999");
            ASSERT_TRUE(folder.add(t)) << t.fileName.toStdString();
        }
    }

    std::unique_ptr<TrovixDocument> open(bool cleanUpOnly = false) {
        auto doc = std::make_unique<TrovixDocument>(&host);
        doc->setSources(web.sources());
        doc->setDocumentPath(folder.path(), cleanUpOnly);
        doc->waitUntilIdle();
        return doc;
    }

    static QStringList newTitles(const TrovixDocument& doc) {
        QStringList list;
        for (const AudioTrackRef& t : doc.trackArray())
            list.append(t->isPlaceholder() ? QStringLiteral("<missing>") : t->getNewTitle());
        return list;
    }
    static QStringList oldTitles(const TrovixDocument& doc) {
        QStringList list;
        for (const AudioTrackRef& t : doc.trackArray())
            list.append(t->isPlaceholder() ? QStringLiteral("<missing>") : t->getOldTitle());
        return list;
    }
    static QStringList hitKeys(const TrovixDocument& doc) {
        QStringList keys;
        if (const auto hits = doc.hitTable().albumArray())
            for (const AlbumInfoPtr& hit : *hits)
                keys.append(hit->resultKey());
        return keys;
    }
    QStringList alertTitles() const {
        QStringList titles;
        for (const Alert& a : host.alerts())
            titles.append(a.title);
        return titles;
    }

    AlbumFolderFixture folder;
    HeadlessHost host;
    ScriptedWeb web;
};

TEST_F(FolderLookup, OpeningRunsTheSavedSearchFirstThenTheSourcesInOrder) {
    CustomTag saved;
    saved.setSavedSearchTerms(QStringLiteral("Saved Band / Saved Record"));
    saved.setResultKey(QStringLiteral("#AMG:r1"));
    FixtureTrack t{QStringLiteral("a.mp3"),
                   QStringLiteral("One"),
                   QStringLiteral("Band"),
                   QStringLiteral("Record"),
                   1,
                   1,
                   QString(),
                   QString(),
                   saved};
    ASSERT_TRUE(folder.add(t));
    auto doc = open();
    EXPECT_EQ(web.calls(), (QStringList{
                               QStringLiteral("saved:Saved Band / Saved Record"),
                               QStringLiteral("amg:Saved Band / Saved Record"),
                               QStringLiteral("goog:Saved Band / Saved Record"),
                               QStringLiteral("gnudb:Saved Band / Saved Record"),
                               QStringLiteral("gnudb:Saved Band"),
                               QStringLiteral("freedb:Saved Band / Saved Record"),
                               QStringLiteral("freedb:Saved Band"),
                           }));
    EXPECT_EQ(doc->lastSearch(), QStringLiteral("Saved Band / Saved Record"));
    EXPECT_TRUE(doc->isIdle());
}

TEST_F(FolderLookup, OpeningWithoutSavedSearchUsesTheTagsAndSkipsSourcesThatAreOff) {
    addTracks({QStringLiteral("One")});
    Prefs::setOverride(GoogleMusic::kSearchKey, false);
    Prefs::setOverride(FreeDB::kSearchKey, false);
    auto doc = open();
    EXPECT_EQ(web.calls(),
              (QStringList{QStringLiteral("amg:Band / Record"),
                           QStringLiteral("gnudb:Band / Record"), QStringLiteral("gnudb:Band")}));
}

TEST_F(FolderLookup, EqualScoresKeepArrivalOrderAndTheBestHitIsApplied) {
    addTracks({QStringLiteral("One"), QStringLiteral("Two")});
    const QStringList titles{QStringLiteral("One"), QStringLiteral("Two")};
    web.hits[QStringLiteral("goog")] = {{"Band", "Record", "#GOOG:g1", titles, {}}};
    web.hits[QStringLiteral("amg")] = {{"Band", "Record", "#AMG:a1", titles, {}},
                                       {"Other", "Thing", "#AMG:a2", titles, {}}};
    auto doc = open();
    // AMG was asked first, so its hit wins the tie with Google's; the
    // folder's own hits (a fixed 100) come after the pruning and lead.
    EXPECT_EQ(hitKeys(*doc), (QStringList{"#TAG:", "#FILES:", "#AMG:a1", "#GOOG:g1", "#AMG:a2"}));
    EXPECT_EQ(doc->hitTable().resultKey(), QStringLiteral("#TAG:"));
    EXPECT_TRUE(host.alerts().empty());

    // A hit as good as the folder's own (genre and year match too) ranks
    // before them, having come first, and is applied at once.
    web.hits.clear();
    web.hits[QStringLiteral("amg")] = {
        {"Band", "Record", "#AMG:best", {"Two", "One", "Three"}, {}, "Rock", "1999"}};
    auto again = open();
    EXPECT_EQ(hitKeys(*again), (QStringList{"#AMG:best", "#TAG:", "#FILES:"}));
    EXPECT_EQ(again->hitTable().selectedRow(), 0);
    EXPECT_EQ(newTitles(*again), (QStringList{"Two", "One", "<missing>"}));
}

TEST_F(FolderLookup, MaxEntriesToFetchKeepsThatManyHitsAndAChangeWaitsForTheNextLookUp) {
    addTracks({QStringLiteral("One")});
    Prefs::setOverride(Prefs::kMaxEntriesToFetch, 3);
    QList<ScriptedHit> many;
    for (int i = 0; i < 6; ++i)
        many.append({"Band",
                     QStringLiteral("Record %1").arg(i),
                     QStringLiteral("#AMG:%1").arg(i),
                     {QStringLiteral("One")},
                     {}});
    web.hits[QStringLiteral("amg")] = many;
    auto doc = open();
    EXPECT_EQ(doc->hitTable().count(), 3);
    doc->mainLookup();
    doc->waitUntilIdle();
    EXPECT_EQ(doc->hitTable().count(), 3);

    // Changed while the search runs: this look-up keeps the limit it began with.
    web.duringSearch = [](const QString&) { Prefs::setOverride(Prefs::kMaxEntriesToFetch, 1); };
    doc->mainLookup();
    doc->waitUntilIdle();
    EXPECT_EQ(doc->hitTable().count(), 3);
    web.duringSearch = nullptr;
    doc->mainLookup();
    doc->waitUntilIdle();
    EXPECT_EQ(doc->hitTable().count(), 1);
}

TEST_F(FolderLookup, MissingTitlesGetPlaceholders) {
    addTracks({QStringLiteral("Charlie"), QStringLiteral("Alpha")});
    web.hits[QStringLiteral("amg")] = {
        {"Band", "Record", "#AMG:x", {"Alpha", "Bravo", "Charlie"}, {}, "Rock", "1999"}};
    auto doc = open();
    ASSERT_EQ(doc->hitTable().resultKey(), QStringLiteral("#AMG:x"));
    EXPECT_EQ(oldTitles(*doc), (QStringList{"Alpha", "<missing>", "Charlie"}));
    EXPECT_EQ(newTitles(*doc), (QStringList{"Alpha", "<missing>", "Charlie"}));
    EXPECT_EQ(doc->tracks().cellValue(1, QStringLiteral("oldFileTitle")).text,
              QStringLiteral("(Missing track)"));
    EXPECT_EQ(doc->tracks().getNewTrack(2), QStringLiteral("3/3"));
}

TEST_F(FolderLookup, SurplusFilesGoLastInTheirOrderWithoutNewTitles) {
    addTracks({"Charlie", "Extra Noise", "Alpha", "Bravo", "Zulu"});
    web.hits[QStringLiteral("amg")] = {
        {"Band", "Record", "#AMG:x", {"Alpha", "Bravo", "Charlie"}, {}, "Rock", "1999"}};
    auto doc = open();
    ASSERT_EQ(doc->hitTable().resultKey(), QStringLiteral("#AMG:x"));
    EXPECT_EQ(oldTitles(*doc), (QStringList{"Alpha", "Bravo", "Charlie", "Extra Noise", "Zulu"}));
    EXPECT_EQ(newTitles(*doc), (QStringList{"Alpha", "Bravo", "Charlie", "", ""}));
    EXPECT_EQ(doc->tracks().cellValue(3, QStringLiteral("newFile")).color,
              TrackTableModel::CellColor::Grey);
}

TEST_F(FolderLookup, ALookUpListsTheTagAndFileNameHits) {
    addTracks({QStringLiteral("One"), QStringLiteral("Two")});
    for (const char* key : {AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey, Gnudb::kSearchKey,
                            FreeDB::kSearchKey})
        Prefs::setOverride(key, false);
    auto doc = open();
    // Opening found nothing on the web: the folder's own hits come after the
    // pruning, so the opening ends with "No Data" ...
    EXPECT_EQ(alertTitles(), QStringList{QStringLiteral("No Data")});
    host.clearAlerts();
    doc->mainLookup();
    doc->waitUntilIdle();
    // ... while a look-up adds them before and never does.
    EXPECT_TRUE(host.alerts().empty());
    const QStringList keys = hitKeys(*doc);
    EXPECT_TRUE(keys.contains(QStringLiteral("#TAG:")));
    EXPECT_TRUE(keys.contains(QStringLiteral("#FILES:")));
    EXPECT_EQ(doc->lastSearch(), QStringLiteral("Band / Record"));
}

TEST_F(FolderLookup, CleanUpOnlyRunsNoSearchAndEndsWithNoData) {
    addTracks({QStringLiteral("One"), QStringLiteral("Two")});
    web.hits[QStringLiteral("amg")] = {{"Band", "Record", "#AMG:x", {"One", "Two"}, {}}};
    auto doc = open(true);
    EXPECT_TRUE(web.calls().isEmpty());
    EXPECT_EQ(alertTitles(), QStringList{QStringLiteral("No Data")});
    EXPECT_EQ(newTitles(*doc), (QStringList{"One", "Two"}));
    EXPECT_EQ(doc->albumField(TagField::Artist), QStringLiteral("Band"));
    EXPECT_EQ(doc->hitTable().count(), 0);
}

TEST_F(FolderLookup, DiscDatabasesSearchTheArtistAloneUnlessTheTermsSayVarious) {
    addTracks({QStringLiteral("One")});
    Prefs::setOverride(AllMusicGuide::kSearchKey, false);
    Prefs::setOverride(GoogleMusic::kSearchKey, false);
    auto doc = open();
    struct Row {
        QString terms;
        QStringList calls;
    } rows[] = {
        {"Various Artists / Hits",
         {"gnudb:Various Artists / Hits", "freedb:Various Artists / Hits"}},
        {"Band / VARIOUS Mixes", {"gnudb:Band / VARIOUS Mixes", "freedb:Band / VARIOUS Mixes"}},
        {"Just Words", {"gnudb:Just Words", "freedb:Just Words"}},
        {"Band / Record",
         {"gnudb:Band / Record", "gnudb:Band", "freedb:Band / Record", "freedb:Band"}},
    };
    for (const Row& row : rows) {
        const qsizetype before = web.calls().size();
        doc->setSearchTerms(row.terms);
        doc->lookupCommon();
        doc->waitUntilIdle();
        EXPECT_EQ(web.calls().mid(before), row.calls) << row.terms.toStdString();
    }
}

TEST_F(FolderLookup, ACancelledLookUpKeepsItsHitsAndShowsNoAlert) {
    addTracks({QStringLiteral("One")});
    auto doc = open();
    host.clearAlerts();
    web.hits[QStringLiteral("amg")] = {{"Band", "Record", "#AMG:kept", {"One"}, {}}};
    web.duringSearch = [this](const QString& source) {
        if (source == u"amg") host.requestCancel();
    };
    doc->mainLookup();
    doc->waitUntilIdle();
    EXPECT_EQ(doc->worker()->status(), FolderTagThread::Cancelled);
    EXPECT_TRUE(host.alerts().empty());
    EXPECT_TRUE(hitKeys(*doc).contains(QStringLiteral("#AMG:kept")));
    // The sources after the cancelled one still ran.
    EXPECT_TRUE(web.calls().contains(QStringLiteral("freedb:Band / Record")));
}

TEST_F(FolderLookup, ALookUpWhileBusyIsDroppedAndCloseIsRefused) {
    addTracks({QStringLiteral("One")});
    std::atomic<bool> release{false};
    web.duringSearch = [&](const QString& source) {
        if (source == u"amg")
            while (!release)
                std::this_thread::yield();
    };
    TrovixDocument doc(&host);
    doc.setSources(web.sources());
    doc.setDocumentPath(folder.path(), false);
    EXPECT_EQ(doc.busyState(), BusyState::Opening);
    EXPECT_FALSE(doc.commandsEnabled());
    EXPECT_FALSE(doc.pageLookUps().validateLookUp(PageLookUp::all().front()).enabled);
    doc.lookupCommon();
    EXPECT_FALSE(doc.requestClose());
    release = true;
    doc.waitUntilIdle();
    EXPECT_TRUE(doc.isIdle());
    // One opening's worth of calls: the dropped look-up never ran.
    EXPECT_EQ(web.calls().count(QStringLiteral("amg:Band / Record")), 1);
    EXPECT_TRUE(doc.requestClose());
}

TEST_F(FolderLookup, AFolderWithoutAudioFilesOpensEmptyWithTheFolderHits) {
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Sub")));
    QFile text(folder.path() + QStringLiteral("/notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not audio");
    text.close();
    auto doc = open();
    EXPECT_EQ(doc->tracks().numberOfRows(), 0);
    EXPECT_TRUE(doc->applier().albumInfoFromTags());
    EXPECT_TRUE(doc->applier().albumInfoFromFiles());
}

TEST_F(FolderLookup, SavedVariousArtistsFlagsTurnTheBoxesOn) {
    CustomTag saved;
    saved.setSavedSearchTerms(QStringLiteral("Various / Mix"));
    saved.setVariousArtist(QStringLiteral("Various"));
    saved.setReverseArtistAlbum(true);
    FixtureTrack t{QStringLiteral("a.mp3"),
                   QStringLiteral("Song - Singer"),
                   QString(),
                   QStringLiteral("Mix"),
                   1,
                   1,
                   QString(),
                   QString(),
                   saved};
    ASSERT_TRUE(folder.add(t));
    web.hits[QStringLiteral("saved")] = {{"Various", "Mix", "#AMG:mix", {"Song - Singer"}, {}}};
    auto doc = open();
    EXPECT_TRUE(doc->variousArtists());
    EXPECT_TRUE(doc->reverseArtistTitle());
    const AudioTrackRef track = doc->trackArray().at(0);
    EXPECT_EQ(track->getNewTitle(), QStringLiteral("Song"));
    EXPECT_EQ(track->getNewArtist(), QStringLiteral("Singer"));
}

TEST_F(FolderLookup, CoverCandidatesFollowTheScoresWithTiesInArrivalOrder) {
    addTracks({QStringLiteral("One")});
    Prefs::setOverride(Prefs::kSearchForCoverArt, true);
    LoopbackServer server;
    const std::string png = pngBytes(picture(4, 3, Qt::red)).toStdString();
    for (const char* path : {"/low.png", "/tie1.png", "/tie2.png"})
        server.serve(path, png, "image/png");
    Prefs::setOverride(GoogleMusic::kSearchKey, false);
    Prefs::setOverride(Gnudb::kSearchKey, false);
    Prefs::setOverride(FreeDB::kSearchKey, false);
    web.hits[QStringLiteral("amg")] = {
        {"Zzz", "Qqq", "#AMG:low", {"One"}, server.url("/low.png")},
        {"Band", "Record", "#AMG:tie1", {"One"}, server.url("/tie1.png")},
        {"Band", "Record", "#AMG:tie2", {"One"}, server.url("/tie2.png")},
    };
    auto doc = std::make_unique<TrovixDocument>(&host);
    // The worker downloads; only the main thread changes the cover object.
    QList<QThread*> changedOn;
    QObject::connect(doc->albumArt(), &AlbumArt::changed, doc->albumArt(),
                     [&changedOn] { changedOn << QThread::currentThread(); },
                     Qt::DirectConnection);
    doc->setSources(web.sources());
    doc->setDocumentPath(folder.path(), false);
    doc->waitUntilIdle();
    QStringList locations;
    for (const auto& candidate : doc->albumArt()->candidates())
        locations.append(candidate->location());
    EXPECT_EQ(locations, (QStringList{server.url("/tie1.png"), server.url("/tie2.png"),
                                      server.url("/low.png")}));
    ASSERT_FALSE(changedOn.isEmpty());
    for (QThread* thread : changedOn)
        EXPECT_EQ(thread, QCoreApplication::instance()->thread());
}

// The window's host: records on which threads the document reached it.
class ThreadCheckingHost : public HeadlessHost {
public:
    void reloadTracks() override {
        note();
        HeadlessHost::reloadTracks();
    }
    void reloadHits() override {
        note();
        HeadlessHost::reloadHits();
    }
    void setEdited(bool edited) override {
        note();
        HeadlessHost::setEdited(edited);
    }
    int offMainThread() const { return fOff.load(); }
    int calls() const { return fCalls.load(); }

private:
    void note() {
        ++fCalls;
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++fOff;
    }
    std::atomic<int> fOff{0};
    std::atomic<int> fCalls{0};
};

TEST_F(FolderLookup, TheStatusTimerEndsTheOpeningAndTheWindowIsOnlyTouchedOnTheMainThread) {
    addTracks({QStringLiteral("One"), QStringLiteral("Two")});
    web.hits[QStringLiteral("amg")] = {{"Band", "Record", "#AMG:x", {"One", "Two"}, {}}};
    ThreadCheckingHost window;
    TrovixDocument doc(&window);
    doc.setSources(web.sources());
    doc.setDocumentPath(folder.path(), false);
    // The event loop runs the one-second status timer; the generous limit
    // only keeps a broken build from hanging.
    QDeadlineTimer limit(60000);
    while (!doc.isIdle() && !limit.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        QThread::msleep(10);
    }
    ASSERT_TRUE(doc.isIdle());
    EXPECT_EQ(doc.hitTable().count(), 3);
    EXPECT_GT(window.calls(), 0);
    EXPECT_EQ(window.offMainThread(), 0);
}

} // namespace

namespace {

QByteArray jpegBytes(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

// An MP3 or M4A file titled `title` whose cover holds exactly these bytes
// (none when empty).
bool writeWithCover(const QString& path, const QString& title, const QByteArray& cover) {
    if (path.endsWith(u".m4a")) {
        M4aFixtureOptions o;
        o.title = title;
        o.cover = cover;
        o.coverType = 13;
        return writeM4a(path, o);
    }
    QList<QByteArray> frames{id3v2Frame(3, "TIT2", id3Latin1TextBody(title.toLatin1()))};
    if (!cover.isEmpty())
        frames << id3v2Frame(3, "APIC", QByteArray("\0image/jpeg\0\x03\0", 14) + cover);
    return writeMp3WithTag(path, id3v2Tag(3, frames));
}

} // namespace

TEST_F(FolderLookup, TheFirstPictureWhoseHeaderReadsIsTheFolderHitsCover) {
    Prefs::setOverride(Prefs::kSearchForCoverArt, true);
    const QByteArray corrupt = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(300, 'x');
    const QByteArray good = jpegBytes(4, 3, Qt::red);
    struct Row {
        const char* what;
        QList<QByteArray> covers; // of "1.mp3", "2.m4a", "3.mp3"
        int coverFile;            // 0 for none
    };
    for (const Row& row : {
             Row{"corrupt pictures are passed over", {corrupt, corrupt, good}, 3},
             Row{"only corrupt pictures", {corrupt, corrupt, corrupt}, 0},
             Row{"no pictures", {{}, {}, {}}, 0},
         }) {
        SCOPED_TRACE(row.what);
        QTemporaryDir dir;
        const QStringList names{"1.mp3", "2.m4a", "3.mp3"};
        for (int i = 0; i < names.size(); ++i)
            ASSERT_TRUE(writeWithCover(dir.filePath(names[i]), names[i], row.covers[i]));
        TrovixDocument doc(&host);
        doc.setSources(web.sources());
        doc.setDocumentPath(dir.path(), false);
        doc.waitUntilIdle();

        EXPECT_EQ(doc.trackArray().count(), 3); // a bad picture never costs the file
        const AlbumInfoPtr tags = doc.applier().albumInfoFromTags();
        const AlbumInfoPtr files = doc.applier().albumInfoFromFiles();
        ASSERT_TRUE(tags && files);
        if (row.coverFile) {
            EXPECT_EQ(tags->coverArtData(), good);
            EXPECT_EQ(files->coverArtLocation(), dir.filePath(names[row.coverFile - 1]));
            ASSERT_EQ(doc.albumArt()->count(), 2);
            // Its size is known from the header; its pixels decode when asked.
            const auto candidate = doc.albumArt()->candidates().at(0);
            EXPECT_EQ(candidate->sizeDescr(), "4 x 3");
            EXPECT_EQ(candidate->image().size(), QSize(4, 3));
        } else {
            EXPECT_TRUE(tags->coverArtData().isEmpty());
            EXPECT_TRUE(files->coverArtData().isEmpty());
            EXPECT_EQ(doc.albumArt()->count(), 0);
        }
    }
}
