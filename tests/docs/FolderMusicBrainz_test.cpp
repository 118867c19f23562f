// A folder document looking albums up in a loopback copy of MusicBrainz:
// credits, album artist, identifiers, the query and the requests it costs.
#include "app/Preferences.h"
#include "docs/HeadlessHost.h"
#include "docs/StatusDecisions.h"
#include "docs/TrovixDocument.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "model/AlbumInfoArray.h"
#include "save/SaveBatch.h"
#include "support/LoopbackServer.h"
#include "support/Mp3Fixture.h"
#include "support/SourceTestKit.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// A search answer listing the release, as the service shapes it.
std::string searchAnswer(const QByteArray& release) {
    QJsonObject r = QJsonDocument::fromJson(release).object();
    QJsonArray media;
    for (const QJsonValue& m : r.take(QStringLiteral("media")).toArray())
        media.append(QJsonObject{
            {"track-count", m.toObject().value(QStringLiteral("tracks")).toArray().size()}});
    r.insert(QStringLiteral("media"), media);
    return QJsonDocument(QJsonObject{{"releases", QJsonArray{r}}}).toJson().toStdString();
}

// MusicBrainz alone, at a loopback server answering from captured releases.
class FolderMusicBrainz : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* key :
             {AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey, Gnudb::kSearchKey,
              FreeDB::kSearchKey, Prefs::kSearchForCoverArt, Prefs::kSmartCapitalization,
              Prefs::kRenameTracks, Prefs::kRenameAlbums})
            Prefs::setOverride(key, false);
        Prefs::setOverride(MusicBrainz::kSearchKey, true);
        Prefs::setOverride(MusicBrainz::kBaseURLKey, fServer.baseUrl());
        Prefs::setOverride(MusicBrainz::kCoverBaseURLKey, fServer.baseUrl());
        QDir().mkpath(fDir);
    }
    void TearDown() override { Prefs::clearOverrides(); }

    // Serves the release at its look-up and as the answer of every search.
    void serve(const char* file) {
        const QByteArray release = capturedMusicBrainz(QString::fromLatin1(file));
        const QString id = QJsonDocument::fromJson(release)["id"].toString();
        fServer.serve("/ws/2/release/" + id.toStdString(), release.toStdString(),
                      "application/json");
        fServer.serve("/ws/2/release/", searchAnswer(release), "application/json");
    }
    void addFile(const QString& name, const TagValues& tags, TagFields fields) {
        const QString path = fDir + u'/' + name;
        ASSERT_TRUE(writeSilentMp3(path));
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        file->setTags(tags, fields);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    }
    void open(TrovixDocument& doc) {
        doc.setDocumentPath(fDir, false);
        doc.waitUntilIdle();
        QCoreApplication::sendPostedEvents();
    }
    // Chooses the hit of that key; false when there is none.
    static bool choose(TrovixDocument& doc, const QString& key) {
        const auto hits = doc.hitTable().albumArray();
        for (int row = 0; hits && row < hits->count(); ++row)
            if (hits->at(row)->resultKey() == key) {
                doc.applier().forceSelectOfAlbum(row);
                return true;
            }
        return false;
    }
    std::vector<std::string> searches() const {
        std::vector<std::string> out;
        for (const std::string& t : fServer.targets())
            if (t.rfind("/ws/2/release/?", 0) == 0)
                out.push_back(
                    QUrl::fromPercentEncoding(QByteArray::fromStdString(t)).toStdString());
        return out;
    }

    LoopbackServer fServer;
    QTemporaryDir fTmp;
    QString fDir = fTmp.path() + QStringLiteral("/Album");
};

const QString kFeatured = QStringLiteral("5e1e0000-0000-4000-8000-000000000006");

QString artistId(int n) {
    return QStringLiteral("a0000000-0000-4000-8000-%1").arg(n, 12, 10, QChar(u'0'));
}

// A guest on one track: that track gets its own credit, every file the
// album's artist as album artist, and the release's identifiers.
TEST_F(FolderMusicBrainz, TrackCreditsIdentifiersAndTheAlbumArtistAreSaved) {
    serve("release-featured-artists.json");
    const QString album = QStringLiteral("Jay / Kay & Linked Park");
    for (const auto& [file, title] : {std::pair{"1.mp3", "Together"}, {"2.mp3", "Guest Spot"}})
        addFile(QString::fromLatin1(file),
                {.title = QString::fromLatin1(title), .artist = album, .album = "Side by Side"},
                TagField::Title | TagField::Artist | TagField::Album);
    HeadlessHost host;
    TrovixDocument doc(&host);
    open(doc);
    // The fields as they stand: " / " belongs to the artist's name.
    ASSERT_EQ(searches().size(), 1u);
    EXPECT_NE(searches()[0].find("release:(Side by Side) AND artist:(Jay \\/ Kay \\& Linked Park)"),
              std::string::npos)
        << searches()[0];
    ASSERT_TRUE(choose(doc, QStringLiteral("#MB:") + kFeatured));

    EXPECT_EQ(doc.albumField(TagField::Artist), album);
    EXPECT_FALSE(doc.variousArtists());
    EXPECT_TRUE(doc.tracks().trackColumns().contains(TrackTableModel::kArtist));
    const TrackTagPlan plan = doc.tagPlan();
    EXPECT_EQ(plan.albumArtist(), album);
    const AudioTrackArray& songs = doc.trackArray();
    EXPECT_EQ(plan.artist(*songs.at(0)), album);
    EXPECT_EQ(plan.artist(*songs.at(1)), "Jay / Kay feat. Mo");
    // The files hold no album artist yet: A is red even where the artist stays.
    const TagValues tagHit = StatusDecisions::albumValues(doc.applier().albumInfoFromTags().get());
    EXPECT_EQ(StatusDecisions::folderTrack(doc.naming(), *songs.at(0), tagHit,
                                           plan.tags(*songs.at(0), 0, 2), false, 0, "1/2")
                  .A,
              Red);

    doc.saveDocument();
    doc.waitUntilIdle();
    ASSERT_TRUE(doc.lastSaveSucceeded());
    const struct {
        const char* file;
        QString artist, artistIds;
    } expected[] = {{"1.mp3", album, artistId(21) + u'/' + artistId(22)},
                    {"2.mp3", "Jay / Kay feat. Mo", artistId(21) + u'/' + artistId(23)}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.file);
        const TagValues read =
            MusicFileFactory::newMusicFileWithPath(fDir + u'/' + QString::fromLatin1(e.file))
                ->readTags();
        EXPECT_EQ(read.artist, e.artist);
        EXPECT_EQ(read.albumArtist, album);
        EXPECT_EQ(read.mbArtistId, e.artistIds);
        EXPECT_EQ(read.mbAlbumArtistId, artistId(21) + u'/' + artistId(22));
        EXPECT_EQ(read.mbReleaseId, kFeatured);
        EXPECT_EQ(read.mbReleaseGroupId, "9e000000-0000-4000-8000-000000000006");
        EXPECT_TRUE(read.disc.isEmpty()) << "one medium: no disc number";
    }
}

// A release without a credit keeps the artist the folder has, so the save
// goes ahead.
TEST_F(FolderMusicBrainz, AHitWithoutCreditKeepsTheArtistField) {
    serve("release-no-credit.json");
    addFile("1.mp3", {.title = "Only Track", .artist = "Someone", .album = "Nameless"},
            TagField::Title | TagField::Artist | TagField::Album);
    HeadlessHost host;
    TrovixDocument doc(&host);
    open(doc);
    ASSERT_TRUE(choose(doc, QStringLiteral("#MB:5e1e0000-0000-4000-8000-000000000007")));
    EXPECT_EQ(doc.albumField(TagField::Artist), "Someone");
    doc.saveDocument();
    doc.waitUntilIdle();
    EXPECT_TRUE(doc.lastSaveSucceeded());
    EXPECT_TRUE(host.alerts().empty());
}

// Files a save from MusicBrainz wrote, without the custom tag: the release
// they name, the medium of their disc, is looked up before any search.
TEST_F(FolderMusicBrainz, FilesNamingAReleaseAreLookedUpDirectly) {
    serve("release-compilation-two-discs.json");
    const QString release = QStringLiteral("5e1e0000-0000-4000-8000-000000000005");
    addFile("1.mp3",
            {.title = "Evening Tide", .disc = "2", .discCount = "2", .mbReleaseId = release},
            TagField::Title | TagField::Disc | TagField::DiscCount | TagField::MBReleaseId);
    HeadlessHost host;
    TrovixDocument doc(&host);
    open(doc);
    const std::vector<std::string> targets = fServer.targets();
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets[0].rfind("/ws/2/release/" + release.toStdString() + "?", 0), 0u)
        << targets[0];
    EXPECT_TRUE(choose(doc, QStringLiteral("#MB:") + release + QStringLiteral("/2")));
}

// Two media of one release are two hits with one cover.
TEST_F(FolderMusicBrainz, TheMediaOfOneReleaseShareOneCoverRequest) {
    serve("release-compilation-two-discs.json");
    fServer.serve("/ws/2/release/", capturedMusicBrainz("search-compilation.json").toStdString(),
                  "application/json");
    Prefs::setOverride(Prefs::kSearchForCoverArt, true);
    addFile("1.mp3", {.title = "Evening Tide", .album = "Sunday Songs"},
            TagField::Title | TagField::Album);
    HeadlessHost host;
    TrovixDocument doc(&host);
    open(doc);
    int covers = 0;
    for (const std::string& t : fServer.targets())
        if (t.find("/front-500") != std::string::npos) ++covers;
    EXPECT_EQ(covers, 1);
}

} // namespace
