// The folder document's model operations: applying albums, various-artists
// titles, the lock box, the box set, the track table's edits and cells.

#include "app/Preferences.h"
#include "art/AlbumArt.h"
#include "art/AlbumArtDict.h"
#include "docs/HeadlessHost.h"
#include "docs/TrovixDocument.h"
#include "docs/TypingMonitor.h"
#include "model/AlbumDetails.h"
#include "support/AlbumFolderFixture.h"
#include "support/QtPrinters.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

namespace {

AlbumDetailsPtr makeDetails(const QString& artist, const QString& album, const QStringList& titles,
                            const QStringList& artists = {}) {
    auto details = std::make_shared<AlbumDetails>();
    details->setArtist(artist);
    details->setAlbum(album);
    details->setYear(QStringLiteral("2004"));
    details->setGenre(QStringLiteral("Jazz"));
    for (int i = 0; i < titles.size(); ++i)
        details->addTitle(titles[i], i < artists.size() ? artists[i] : QString());
    return details;
}

AlbumInfoPtr makeHit(const AlbumDetailsPtr& details) {
    auto hit = std::make_shared<AlbumInfo>();
    hit->setArtist(details->artist());
    hit->setAlbum(details->album());
    hit->setResultKey(QStringLiteral("#AMG:") + details->album());
    hit->setAlbumDetails(details);
    return hit;
}

class FolderDocument : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        Prefs::setOverride(Prefs::kSmartCapitalization, false);
        Prefs::setOverride(Prefs::kSearchForCoverArt, false);
        for (const char* key : {AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey,
                                Gnudb::kSearchKey, FreeDB::kSearchKey})
            Prefs::setOverride(key, false);
    }
    void TearDown() override { Prefs::clearOverrides(); }

    // Files "01 ...", "02 ..." with these titles, then the document opened
    // on them (no web sources: the tag hit is applied).
    std::unique_ptr<TrovixDocument> openWith(const QStringList& titles, AlbumFolderFixture& where) {
        for (int i = 0; i < titles.size(); ++i) {
            FixtureTrack t;
            t.fileName = QStringLiteral("%1.mp3").arg(i + 1, 2, 10, QChar(u'0'));
            t.title = titles[i];
            t.artist = QStringLiteral("Tag Artist");
            t.album = QStringLiteral("Tag Album");
            t.year = QStringLiteral("1990");
            t.genre = QStringLiteral("Pop");
            EXPECT_TRUE(where.add(t));
        }
        auto doc = std::make_unique<TrovixDocument>(&host);
        LookupSources none;
        none.details = [](const AlbumInfo& hit, const SourceOptions&, ProgressIndicator*) {
            return hit.albumDetails();
        };
        doc->setSources(none);
        doc->setDocumentPath(where.path(), false);
        doc->waitUntilIdle();
        host.clearAlerts();
        return doc;
    }
    std::unique_ptr<TrovixDocument> openWith(const QStringList& titles) {
        return openWith(titles, folder);
    }

    static QStringList column(const TrovixDocument& doc, QString (AudioTrack::*getter)() const) {
        QStringList list;
        for (const AudioTrackRef& t : doc.trackArray())
            list.append(t->isPlaceholder() ? QStringLiteral("<missing>") : ((*t).*getter)());
        return list;
    }

    AlbumFolderFixture folder;
    HeadlessHost host;
};

TEST_F(FolderDocument, OpeningFillsTheFieldsAndTitlesFromTheTags) {
    auto doc = openWith({"First", "Second"});
    EXPECT_EQ(doc->albumField(TagField::Artist), QStringLiteral("Tag Artist"));
    EXPECT_EQ(doc->albumField(TagField::Album), QStringLiteral("Tag Album"));
    EXPECT_EQ(doc->albumField(TagField::Year), QStringLiteral("1990"));
    EXPECT_EQ(doc->albumField(TagField::Genre), QStringLiteral("Pop"));
    EXPECT_EQ(doc->searchTerms(), QStringLiteral("Tag Artist / Tag Album"));
    EXPECT_EQ(column(*doc, &AudioTrack::getNewTitle), (QStringList{"First", "Second"}));
    EXPECT_EQ(doc->displayName(), QStringLiteral("Album"));
    EXPECT_TRUE(host.edited());
}

// The folder's pictures come from the listing the opening reads the music
// through: files whose names end like an image, never a folder so named.
TEST_F(FolderDocument, OpeningOffersTheFoldersPicturesAsCovers) {
    QImage picture(4, 3, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(folder.path() + "/Front.png"));
    ASSERT_TRUE(QDir(folder.path()).mkdir("scans.png"));
    auto doc = openWith({"First"});
    QStringList locations;
    for (const auto& candidate : doc->albumArt()->candidates())
        locations << candidate->location();
    EXPECT_EQ(locations, QStringList{folder.path() + "/Front.png"});
}

TEST_F(FolderDocument, ChoosingAHitFillsTheFieldsUnlessLocked) {
    auto doc = openWith({"First", "Second"});
    const AlbumInfoPtr hit = makeHit(makeDetails("New Artist", "New Album", {"Second", "First"}));
    doc->setLockAlbumInfo(true);
    doc->applier().selectAlbumDetailsViaClick(0, hit);
    EXPECT_EQ(doc->albumField(TagField::Artist), QStringLiteral("Tag Artist"));
    EXPECT_EQ(doc->albumField(TagField::Genre), QStringLiteral("Pop"));
    // The titles are matched all the same.
    EXPECT_EQ(column(*doc, &AudioTrack::getOldTitle), (QStringList{"Second", "First"}));

    doc->setLockAlbumInfo(false);
    doc->applier().selectAlbumDetailsViaClick(0, hit);
    EXPECT_EQ(doc->albumField(TagField::Artist), QStringLiteral("New Artist"));
    EXPECT_EQ(doc->albumField(TagField::Album), QStringLiteral("New Album"));
    EXPECT_EQ(doc->albumField(TagField::Year), QStringLiteral("2004"));
    EXPECT_EQ(doc->albumField(TagField::Genre), QStringLiteral("Jazz"));
    ASSERT_TRUE(doc->applier().currentAlbumDetails());
    EXPECT_NE(doc->applier().currentAlbumDetails(), hit->albumDetails()); // a copy

    // A hit without details is ignored.
    auto bare = std::make_shared<AlbumInfo>();
    bare->setArtist(QStringLiteral("Nobody"));
    doc->applier().selectAlbumDetailsViaClick(0, bare);
    EXPECT_EQ(doc->albumField(TagField::Artist), QStringLiteral("New Artist"));
}

TEST_F(FolderDocument, ATrackNumberMatchingTheTitlePositionWinsATie) {
    FixtureTrack a{QStringLiteral("a.mp3"),
                   QStringLiteral("Intro"),
                   QStringLiteral("X"),
                   QStringLiteral("Y"),
                   0,
                   0,
                   {},
                   {},
                   {}};
    FixtureTrack b{QStringLiteral("b.mp3"),
                   QStringLiteral("Intro"),
                   QStringLiteral("X"),
                   QStringLiteral("Y"),
                   2,
                   2,
                   {},
                   {},
                   {}};
    ASSERT_TRUE(folder.add(a));
    ASSERT_TRUE(folder.add(b));
    auto doc = openWith({});
    doc->applier().selectAlbumDetailsViaClick(0,
                                              makeHit(makeDetails("X", "Y", {"Outro", "Intro"})));
    // b carries track 2, the position of "Intro": it takes that title.
    EXPECT_EQ(doc->trackArray().at(1)->getFileName(), QStringLiteral("b.mp3"));
    EXPECT_EQ(doc->trackArray().at(0)->getNewTitle(), QStringLiteral("Outro"));
}

// The title "Intro" is a's own and sits at a's track number, yet the second
// "Intro", whose length a's duration fits, wants a more.
TEST_F(FolderDocument, AnIdenticalTitleLosesItsFileToATitleThatFitsItBetter) {
    FixtureTrack a;
    a.fileName = QStringLiteral("a.mp3");
    a.title = QStringLiteral("Intro");
    a.track = 1;
    a.seconds = 60;
    FixtureTrack b = a;
    b.fileName = QStringLiteral("b.mp3");
    b.track = 0;
    b.seconds = 200;
    ASSERT_TRUE(folder.add(a));
    ASSERT_TRUE(folder.add(b));
    auto doc = openWith({});
    auto details = makeDetails("X", "Y", {"Intro"});
    details->addTitle(QStringLiteral("Intro"), QString(), 60000);
    doc->applier().selectAlbumDetailsViaClick(0, makeHit(details));
    EXPECT_EQ(column(*doc, &AudioTrack::getFileName), (QStringList{"b.mp3", "a.mp3"}));
}

TEST_F(FolderDocument, VariousArtistsTitlesAreSplitByTheSeparators) {
    auto doc = openWith({"t1", "t2", "t3", "t4", "t5", "t6"});
    const QStringList titles{"Singer - Song", "Duo / Tune",   "Solo/Piece",
                             "Band-Track",    "Act (Number)", "Plain Title"};
    auto hits = std::make_shared<AlbumInfoArray>();
    hits->add(makeHit(makeDetails("Various", "Mix", titles)));
    hits->add(makeHit(makeDetails("Various", "Mix2", {"A - B"}, {QStringLiteral("Named")})));
    doc->applier().setAlbumHits(hits);
    doc->applier().handleHitClick(0);
    // Turning the box on applies the selected hit again in the new mode.
    doc->setVariousArtists(true);
    ASSERT_TRUE(doc->variousArtists());
    EXPECT_TRUE(doc->tracks().trackColumns().contains(QStringLiteral("artist")));
    EXPECT_EQ(doc->tracks().trackColumns().indexOf(QStringLiteral("artist")) + 1,
              doc->tracks().trackColumns().indexOf(QStringLiteral("newFile")));
    struct Row {
        QString title, artist;
    };
    const Row plain[] = {{"Song", "Singer"}, {"Tune", "Duo"},   {"Piece", "Solo"},
                         {"Track", "Band"},  {"Number", "Act"}, {"Plain Title", ""}};
    const Row reversed[] = {{"Singer", "Song"}, {"Duo", "Tune"},   {"Solo", "Piece"},
                            {"Band", "Track"},  {"Act", "Number"}, {"Plain Title", ""}};
    for (int i = 0; i < 6; ++i) {
        const AudioTrackRef t = doc->trackArray().at(i);
        EXPECT_EQ(t->getNewTitle(), plain[i].title) << i;
        if (!plain[i].artist.isEmpty()) {
            EXPECT_EQ(t->getNewArtist(), plain[i].artist) << i;
        }
    }
    doc->setReverseArtistTitle(true);
    for (int i = 0; i < 6; ++i) {
        const AudioTrackRef t = doc->trackArray().at(i);
        EXPECT_EQ(t->getNewTitle(), reversed[i].title) << i;
        if (!reversed[i].artist.isEmpty()) {
            EXPECT_EQ(t->getNewArtist(), reversed[i].artist) << i;
        }
    }
    // Per-title artists of the details take precedence over splitting.
    doc->setReverseArtistTitle(false);
    doc->applier().handleHitClick(1);
    EXPECT_EQ(doc->hitTable().resultKey(), QStringLiteral("#AMG:Mix2"));
    EXPECT_EQ(doc->trackArray().at(0)->getNewTitle(), QStringLiteral("A - B"));
    EXPECT_EQ(doc->trackArray().at(0)->getNewArtist(), QStringLiteral("Named"));

    // Off again, a track credited apart from the album keeps its credit, so
    // the artist column stays.
    doc->setVariousArtists(false);
    EXPECT_EQ(doc->trackArray().at(0)->getNewArtist(), QStringLiteral("Named"));
    EXPECT_TRUE(doc->tracks().trackColumns().contains(QStringLiteral("artist")));
    EXPECT_FALSE(doc->variousArtists());
}

TEST_F(FolderDocument, RestoringTitlesGivesEachRecordItsOwnTitleAfterReordering) {
    auto doc = openWith({"Alpha", "Bravo", "Charlie"});
    doc->applier().selectAlbumDetailsViaClick(
        0, makeHit(makeDetails("A", "B", {"Charlie x", "Alpha x", "Bravo x"})));
    ASSERT_EQ(column(*doc, &AudioTrack::getOldTitle), (QStringList{"Charlie", "Alpha", "Bravo"}));
    doc->applier().restoreAllOriginalTitles();
    EXPECT_EQ(column(*doc, &AudioTrack::getNewTitle), (QStringList{"Charlie", "Alpha", "Bravo"}));
    // Records credited like the folder carry no credit of their own: the
    // album's artist field is theirs.
    const TrackTagPlan plan = doc->tagPlan();
    for (const AudioTrackRef& t : doc->trackArray())
        EXPECT_EQ(plan.artist(*t), doc->albumField(TagField::Artist));

    doc->applier().selectAlbumDetailsViaClick(
        0, makeHit(makeDetails("A", "B", {"Charlie x", "Alpha x", "Bravo x"})));
    doc->tracks().setSelectedTracks({1});
    doc->applier().restoreOneOriginalTitle();
    EXPECT_EQ(column(*doc, &AudioTrack::getNewTitle),
              (QStringList{"Charlie x", "Alpha", "Bravo x"}));
    doc->applier().restoreOrigAlbumInfo();
    EXPECT_EQ(doc->albumField(TagField::Artist), QStringLiteral("Tag Artist"));
}

TEST_F(FolderDocument, ABoxSetOfTwoAlbumsIsAppliedToOneFolder) {
    TrovixDocument empty(&host);
    empty.boxSetEditor().showMultiCDPanel(); // nothing chosen yet: nothing added
    EXPECT_TRUE(empty.boxSetEditor().boxSet().isEmpty());

    auto doc = openWith({"d1 a", "d1 b", "d2 a", "d2 b", "d2 c"});
    auto hits = std::make_shared<AlbumInfoArray>();
    hits->add(makeHit(makeDetails("Set", "Disc 1", {"D1 A", "D1 B"})));
    hits->add(makeHit(makeDetails("Set", "Disc 2", {"D2 A", "D2 B", "D2 C"})));
    doc->applier().setAlbumHits(hits);
    doc->applier().handleHitClick(0);
    doc->boxSetEditor().showMultiCDPanel();
    doc->boxSetEditor().multiCDPanelOK();
    EXPECT_EQ(doc->boxSetEditor().multiCDRubric(),
              QStringLiteral("There are currently 2 tracks from 1 CD in the Box Set list."));
    // Choosing disc 2 now applies disc 1's titles followed by disc 2's.
    doc->applier().handleHitClick(1);
    EXPECT_EQ(column(*doc, &AudioTrack::getNewTitle),
              (QStringList{"D1 A", "D1 B", "D2 A", "D2 B", "D2 C"}));
    // Each album of the set is a disc of it.
    const TrackTagPlan plan = doc->tagPlan();
    QStringList discs;
    for (int row = 0; row < 5; ++row) {
        const TagValues tags = plan.tags(*doc->trackArray().at(row), row, 5);
        discs << tags.disc + u'/' + tags.discCount;
    }
    EXPECT_EQ(discs, (QStringList{"1/2", "1/2", "2/2", "2/2", "2/2"}));
    doc->boxSetEditor().showMultiCDPanel();
    EXPECT_EQ(doc->boxSetEditor().boxSet().rowText(1), QStringLiteral("Set / Disc 2"));
    // Dragging disc 2 before disc 1 matches the tracks against the new order
    // (the chosen album's titles still follow the box set's).
    doc->boxSetEditor().acceptBoxSetDrop({1}, 0);
    EXPECT_EQ(doc->applier().albumDetails(false)->numTracks(), 5);
    EXPECT_EQ(doc->applier().albumDetails(false)->titleAtIndex(0), QStringLiteral("D2 A"));
    EXPECT_EQ(doc->applier().albumDetails(true)->numTracks(), 8);
    EXPECT_EQ(column(*doc, &AudioTrack::getOldTitle).mid(0, 5),
              (QStringList{"d2 a", "d2 b", "d2 c", "d1 a", "d1 b"}));
    EXPECT_EQ(doc->tracks().numberOfRows(), 8);
    // Emptying the box set brings back the chosen album alone.
    doc->boxSetEditor().removeBoxSetRows({0, 1});
    EXPECT_FALSE(doc->boxSetEditor().boxSet().albumDetailsArray());
    EXPECT_EQ(doc->applier().albumDetails(true), doc->applier().currentAlbumDetails());
}

TEST_F(FolderDocument, TrackDropsMoveRowsToTheGap) {
    auto doc = openWith({"r0", "r1", "r2", "r3", "r4"});
    doc->tracks().acceptTrackDrop({1, 3}, 4);
    EXPECT_EQ(column(*doc, &AudioTrack::getOldTitle), (QStringList{"r0", "r2", "r1", "r3", "r4"}));
    EXPECT_EQ(doc->tracks().selectedTracks(), (QList<qsizetype>{2, 3}));
    EXPECT_EQ(doc->trackArray().at(2)->getRow(), 2u);
    EXPECT_FALSE(TrackTableEditor::validateDrop(true));
    EXPECT_TRUE(TrackTableEditor::validateDrop(false));
}

TEST_F(FolderDocument, DeleteCutCopyAndPasteOfRecords) {
    auto doc = openWith({"r0", "r1", "r2", "r3"});
    doc->tracks().setSelectedTracks({3, 1});
    const QByteArray copied = doc->tracks().copyTracks();
    doc->tracks().clearTracks();
    EXPECT_EQ(column(*doc, &AudioTrack::getOldTitle), (QStringList{"r0", "r2"}));
    EXPECT_TRUE(doc->tracks().selectedTracks().isEmpty());

    // Records of another folder are refused: a save there would rename them.
    AlbumFolderFixture other;
    auto second = openWith({"x0"}, other);
    const TrackTableEditor::PasteResult refused = second->tracks().pasteTracks(copied);
    EXPECT_TRUE(refused.readable);
    EXPECT_EQ(refused.pasted, 0);
    EXPECT_EQ(refused.refusal,
              QStringLiteral("Not pasted: “02.mp3”, “04.mp3” from another folder."));
    EXPECT_EQ(column(*second, &AudioTrack::getOldTitle), (QStringList{"x0"}));
    EXPECT_FALSE(second->tracks().pasteTracks(QByteArray("\x00\x00\x00\x05junk", 9)).readable);

    // Deleted records come back at the end, selected; once listed, a record
    // is not pasted again (each file is tagged once).
    const TrackTableEditor::PasteResult back = doc->tracks().pasteTracks(copied);
    EXPECT_EQ(back.pasted, 2);
    EXPECT_TRUE(back.refusal.isNull());
    EXPECT_EQ(column(*doc, &AudioTrack::getOldTitle), (QStringList{"r0", "r2", "r1", "r3"}));
    EXPECT_EQ(doc->tracks().selectedTracks(), (QList<qsizetype>{2, 3}));
    EXPECT_TRUE(doc->trackArray().at(3)->isValid());
    const TrackTableEditor::PasteResult again = doc->tracks().pasteTracks(copied);
    EXPECT_EQ(again.pasted, 0);
    EXPECT_EQ(again.refusal,
              QStringLiteral("Not pasted: “02.mp3”, “04.mp3” already in this album."));
    EXPECT_EQ(doc->tracks().numberOfRows(), 4);

    // Cut and paste moves a record to the end.
    doc->tracks().setSelectedTracks({0});
    const QByteArray cut = doc->tracks().cutTracks();
    EXPECT_EQ(doc->tracks().numberOfRows(), 3);
    EXPECT_EQ(doc->tracks().pasteTracks(cut).pasted, 1);
    EXPECT_EQ(column(*doc, &AudioTrack::getOldTitle), (QStringList{"r2", "r1", "r3", "r0"}));
}

TEST_F(FolderDocument, TrackCellsAndTheirColours) {
    using TrackTableModel::CellColor;
    auto doc = openWith({"same", "changes"});
    AudioTrack& same = *doc->trackArray().at(0);
    AudioTrack& changes = *doc->trackArray().at(1);
    same.setNewTitle(QStringLiteral("SAME"));
    changes.setNewTitle(QStringLiteral("changed"));
    EXPECT_EQ(doc->tracks().cellValue(0, QStringLiteral("newFile")).color, CellColor::Black);
    EXPECT_EQ(doc->tracks().cellValue(1, QStringLiteral("newFile")).color, CellColor::Red);
    EXPECT_EQ(doc->tracks().cellValue(1, QStringLiteral("oldFileTitle")).text,
              QStringLiteral("changes"));
    EXPECT_EQ(doc->tracks().cellValue(1, QStringLiteral("oldFileTitle")).color, CellColor::Red);
    EXPECT_EQ(doc->tracks().cellValue(1, QStringLiteral("newTrack")).text, QStringLiteral("2/2"));
    EXPECT_EQ(doc->tracks().cellValue(0, QStringLiteral("bitrate")).text, QStringLiteral("128"));
    EXPECT_EQ(doc->tracks().cellValue(0, QStringLiteral("bitrate")).color, CellColor::Black);
    changes.clearNewTitle();
    EXPECT_EQ(doc->tracks().cellValue(1, QStringLiteral("newFile")).color, CellColor::Grey);

    AudioTrack vbr = AudioTrack::initPlaceholder(QStringLiteral("/x"));
    vbr.setBitrate(-1);
    EXPECT_EQ(TrackTableModel::cellValue(vbr, 0, 1, QStringLiteral("bitrate")).text,
              QStringLiteral("VBR"));
    EXPECT_EQ(TrackTableModel::cellValue(vbr, 0, 1, QStringLiteral("time")).text,
              QStringLiteral("--:--"));
    EXPECT_EQ(TrackTableModel::cellValue(vbr, 0, 1, QStringLiteral("artist")).text,
              QStringLiteral("(Missing track)"));
    EXPECT_EQ(TrackTableModel::cellValue(vbr, 0, 1, QStringLiteral("bitrate")).color,
              CellColor::Grey);
}

TEST_F(FolderDocument, EditingACellHoldsTheTypingMonitor) {
    auto doc = openWith({"one"});
    EXPECT_FALSE(doc->tracks().shouldEditTableColumn(0, QStringLiteral("oldFileTitle")));
    EXPECT_TRUE(doc->tracks().shouldEditTableColumn(0, QStringLiteral("newFile")));
    EXPECT_TRUE(doc->holdTypingMonitor());
    doc->tracks().setObjectValue(0, QStringLiteral("newFile"), QStringLiteral("Typed"));
    EXPECT_FALSE(doc->holdTypingMonitor());
    EXPECT_EQ(doc->trackArray().at(0)->getNewTitle(), QStringLiteral("Typed"));

    const int before = doc->keyHit();
    doc->setAlbumField(TagField::Album, QStringLiteral("Typed Album"));
    EXPECT_EQ(doc->keyHit(), before + 1);
    EXPECT_EQ(doc->searchTerms(), QStringLiteral("Tag Artist / Typed Album"));
    ASSERT_TRUE(doc->requestClose());
    EXPECT_EQ(doc->keyHit(), -1);
    EXPECT_FALSE(doc->typingMonitor()->isActive());
}

TEST_F(FolderDocument, SortingByAColumnReappliesTitlesByPosition) {
    auto doc = openWith({"b", "a"});
    doc->applier().selectAlbumDetailsViaClick(0, makeHit(makeDetails("A", "B", {"b", "a"})));
    doc->tracks().didClickTableColumn(QStringLiteral("oldFileTitle"));
    EXPECT_EQ(column(*doc, &AudioTrack::getOldTitle), (QStringList{"a", "b"}));
    EXPECT_EQ(column(*doc, &AudioTrack::getNewTitle), (QStringList{"b", "a"}));
    doc->tracks().didClickTableColumn(QStringLiteral("oldFileName"));
    EXPECT_EQ(column(*doc, &AudioTrack::getFileName), (QStringList{"01.mp3", "02.mp3"}));
}

TEST_F(FolderDocument, LookUpCommandsNameTheirSubject) {
    auto doc = openWith({"Old"});
    std::vector<std::tuple<QString, MusicSource::PageSubject, QString>> opened;
    LookupSources sources;
    sources.browse = [&](const MusicSource& site, MusicSource::PageSubject subject,
                         const QString& text) { opened.emplace_back(site.name(), subject, text); };
    doc->setSources(sources);
    // All Music Guide, Google Music and Amazon Music, four look-ups each.
    const QList<PageLookUp> c = PageLookUp::all();
    ASSERT_EQ(c.size(), 12);
    using W = PageLookUp::What;
    EXPECT_EQ(c[0].what, W::Artist);
    EXPECT_EQ(c[11].what, W::NewTitle);
    EXPECT_EQ(doc->pageLookUps().validateLookUp(c[0]).title,
              QStringLiteral("Look up Tag Artist on All Music Guide"));
    EXPECT_EQ(doc->pageLookUps().validateLookUp(c[5]).title,
              QStringLiteral("Look up Tag Album on Google Music"));
    // Song commands need a selected record; the new title must differ.
    EXPECT_FALSE(doc->pageLookUps().validateLookUp(c[10]).enabled);
    doc->tracks().setSelectedTracks({0});
    EXPECT_EQ(doc->pageLookUps().validateLookUp(c[10]).title,
              QStringLiteral("Look up Old on Amazon Music"));
    EXPECT_FALSE(doc->pageLookUps().validateLookUp(c[3]).enabled);
    doc->trackArray().at(0)->setNewTitle(QStringLiteral("OLD"));
    EXPECT_FALSE(doc->pageLookUps().validateLookUp(c[3]).enabled);
    doc->trackArray().at(0)->setNewTitle(QStringLiteral("New"));
    EXPECT_TRUE(doc->pageLookUps().validateLookUp(c[3]).enabled);
    doc->setAlbumField(TagField::Artist, QString());
    EXPECT_FALSE(doc->pageLookUps().validateLookUp(c[4]).enabled);

    doc->pageLookUps().lookUp(c[7]);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(std::get<0>(opened[0]), QStringLiteral("Google Music"));
    EXPECT_EQ(std::get<1>(opened[0]), MusicSource::PageSubject::Song);
    EXPECT_EQ(std::get<2>(opened[0]), QStringLiteral("New"));
}

TEST(TypingMonitor, ReloadsOnceAfterTypingStopsAndNeverWhileEditing) {
    int keyHit = 0;
    bool hold = false;
    int reloads = 0;
    TypingMonitor monitor([&] { return keyHit; }, [&] { return hold; }, [&] { ++reloads; });
    // Typing on every tick never reloads.
    for (int i = 0; i < 5; ++i) {
        ++keyHit;
        monitor.tick();
    }
    EXPECT_EQ(reloads, 0);
    monitor.tick(); // the first quiet second
    EXPECT_EQ(reloads, 1);
    monitor.tick();
    monitor.tick();
    EXPECT_EQ(reloads, 1);
    // A cell being edited holds the reload until the edit ends.
    ++keyHit;
    monitor.tick();
    hold = true;
    monitor.tick();
    monitor.tick();
    EXPECT_EQ(reloads, 1);
    hold = false;
    monitor.tick();
    EXPECT_EQ(reloads, 2);
    monitor.start();
    keyHit = -1;
    monitor.tick();
    EXPECT_FALSE(monitor.isActive());
}

} // namespace

namespace {

// What a user sees of a folder document: the fields, the boxes, the chosen
// hit and each row's titles, artist and number.
QStringList describe(const TrovixDocument& doc) {
    QStringList d{doc.albumField(TagField::Artist), doc.albumField(TagField::Album),
                  doc.albumField(TagField::Genre), doc.albumField(TagField::Year),
                  QStringLiteral("lock %1 various %2 reverse %3 hit %4")
                      .arg(doc.lockAlbumInfo())
                      .arg(doc.variousArtists())
                      .arg(doc.reverseArtistTitle())
                      .arg(doc.hitTable().selectedRow())};
    for (const AudioTrackRef& t : doc.trackArray())
        d.append(QStringLiteral("%1 > %2 / %3 #%4")
                     .arg(t->getOldTitle(), t->getNewTitle(), t->getNewArtist())
                     .arg(t->getRow()));
    return d;
}

} // namespace

TEST_F(FolderDocument, EachEditUndoesAndRedoesAsOneStep) {
    using Step = std::function<void(TrovixDocument&)>;
    auto hits = std::make_shared<AlbumInfoArray>();
    hits->add(makeHit(makeDetails("Hit Artist", "Hit Album", {"t3", "t2", "t1"}, {"x", "y", "z"})));
    auto clipboard = std::make_shared<QByteArray>();
    struct Row {
        const char* edit;
        Step setUp;
        Step run;
    };
    const Row rows[] = {
        {"typing in a cell", {}, [](auto& d) { d.tracks().setObjectValue(1, "newFile", "Typed"); }},
        {"typing in a field, key by key",
         {},
         [](auto& d) {
             d.setAlbumField(TagField::Artist, "A");
             d.setAlbumField(TagField::Artist, "Ab");
         }},
        {"typing the year", {}, [](auto& d) { d.setAlbumField(TagField::Year, "2024"); }},
        {"applying a hit", [&](auto& d) { d.applier().setAlbumHits(hits); },
         [](auto& d) { d.applier().handleHitClick(0); }},
        {"delete", [](auto& d) { d.tracks().setSelectedTracks({1}); },
         [](auto& d) { d.tracks().clearTracks(); }},
        {"cut",
         [](auto& d) {
             d.tracks().setSelectedTracks({0, 2});
         },
         [](auto& d) { d.tracks().cutTracks(); }},
        {"paste",
         [&](auto& d) {
             d.tracks().setSelectedTracks({0});
             *clipboard = d.tracks().cutTracks();
         },
         [&](auto& d) { d.tracks().pasteTracks(*clipboard); }},
        {"row move", {}, [](auto& d) { d.tracks().acceptTrackDrop({0}, 3); }},
        {"sort", {}, [](auto& d) { d.tracks().didClickTableColumn("oldFileTitle"); }},
        {"lock", {}, [](auto& d) { d.setLockAlbumInfo(true); }},
        {"various artists",
         [&](auto& d) {
             d.applier().setAlbumHits(hits);
             d.applier().handleHitClick(0);
         },
         [](auto& d) { d.setVariousArtists(true); }},
        {"restore titles", [](auto& d) { d.tracks().setObjectValue(2, "newFile", "Typed"); },
         [](auto& d) { d.applier().restoreAllOriginalTitles(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.edit);
        AlbumFolderFixture where;
        auto doc = openWith({"t3", "t1", "t2"}, where);
        if (row.setUp) row.setUp(*doc);
        const int depth = doc->undoStack().index();
        const QStringList before = describe(*doc);
        row.run(*doc);
        const QStringList after = describe(*doc);
        ASSERT_NE(after, before);
        EXPECT_EQ(doc->undoStack().index(), depth + 1);
        doc->undo();
        EXPECT_EQ(describe(*doc), before);
        doc->redo();
        EXPECT_EQ(describe(*doc), after);
    }
}

TEST_F(FolderDocument, ASaveEndsTheUndoHistory) {
    auto doc = openWith({"t1", "t2"});
    EXPECT_FALSE(doc->undoStack().canUndo()); // opening is not an edit
    doc->setAlbumField(TagField::Genre, QStringLiteral("Blues"));
    ASSERT_TRUE(doc->undoStack().canUndo());
    doc->saveDocument();
    doc->waitUntilIdle();
    QCoreApplication::sendPostedEvents();
    ASSERT_TRUE(doc->lastSaveSucceeded());
    EXPECT_EQ(doc->undoStack().count(), 0);
}

TEST_F(FolderDocument, UndoWalksBackThroughEditsToDifferentRows) {
    auto doc = openWith({"t1", "t2", "t3"});
    QList<QStringList> states{describe(*doc)};
    const std::pair<int, const char*> edits[] = {{0, "A"}, {1, "B"}, {0, "C"}, {2, "D"}};
    for (const auto& [row, title] : edits) {
        doc->tracks().setObjectValue(row, "newFile", QString::fromLatin1(title));
        states.append(describe(*doc));
    }
    for (qsizetype i = states.size() - 2; i >= 0; --i) {
        doc->undo();
        EXPECT_EQ(describe(*doc), states[i]) << "after undoing edit " << i;
    }
    for (qsizetype i = 1; i < states.size(); ++i) {
        doc->redo();
        EXPECT_EQ(describe(*doc), states[i]) << "after redoing edit " << i;
    }
}

TEST(SnapshotRecordsTest, UnchangedRecordsShareTheirCopies) {
    QList<AudioTrackRef> order;
    for (int i = 0; i < 3; ++i)
        order.append(std::make_shared<AudioTrack>(AudioTrack::initPlaceholder("/nowhere")));
    SnapshotRecords copies;
    const QList<RecordCopy> first = copies.copy(order);
    const QList<RecordCopy> again = copies.copy(order);
    EXPECT_EQ(again.constData(), first.constData()); // nothing changed: one list
    order[1]->setNewTitle(QStringLiteral("Changed"));
    const QList<RecordCopy> changed = copies.copy(order);
    EXPECT_EQ(changed[0], first[0]);
    EXPECT_EQ(changed[2], first[2]);
    ASSERT_NE(changed[1], first[1]);
    EXPECT_EQ(changed[1]->getNewTitle(), QStringLiteral("Changed"));
    EXPECT_TRUE(first[1]->getNewTitle().isEmpty()); // the older copy is untouched
}
