#include "docs/StatusDecisions.h"

#include "model/AudioTrack.h"
#include "model/NamingOptions.h"
#include "save/SaveBatch.h"
#include "support/Mp3Fixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A tagged MP3 record.
AudioTrack tagged(const QString& path, TagValues tags) {
    EXPECT_TRUE(writeSilentMp3(path));
    AudioTrack t = AudioTrack::initWithPath(path);
    t.writeTags(tags, TagValues::kAll);
    EXPECT_TRUE(SaveBatch::saveOne(*t.musicFile()).ok());
    return AudioTrack::initWithPath(path);
}

TagValues values(const char* artist, const char* album, const char* year, const char* genre,
                 const char* title = nullptr, const char* longTrack = nullptr) {
    TagValues v{.title = QString::fromUtf8(title),
                .artist = QString::fromUtf8(artist),
                .album = QString::fromUtf8(album),
                .year = QString::fromUtf8(year),
                .genre = QString::fromUtf8(genre)};
    std::tie(v.track, v.trackCount) = TagValues::splitPair(QString::fromUtf8(longTrack));
    return v;
}

// The names drawn as the default templates make them.
const NamingOptions kNaming;

const TagValues kTagHit = values("The Band", "Songs", "2001", "Rock");

} // namespace

TEST(StatusDecisions, FolderTrackLettersFollowTheProposal) {
    QTemporaryDir tmp;
    // Already right: name "01-Intro.mp3", title, track 1/2, tags like the tag hit.
    AudioTrack right = tagged(tmp.path() + "/01-Intro.mp3",
                              values("the band", "SONGS", "2001", "rock", "Intro", "1/2"));
    right.setNewTitle("intro"); // differs only in case: T stays green
    EXPECT_EQ(StatusDecisions::folderTrack(kNaming, right, kTagHit, {}, false, 0, "1/2"),
              (StatusRow{Green, Red, Green, Green, Green}))
        << "file name is exact: 01-intro.mp3 differs from 01-Intro.mp3";
    right.setNewTitle("Intro");
    EXPECT_EQ(StatusDecisions::folderTrack(kNaming, right, kTagHit, {}, false, 0, "1/2"),
              (StatusRow{Green, Green, Green, Green, Green}));

    // Everything to change.
    AudioTrack wrong =
        tagged(tmp.path() + "/x.mp3", values("Other", "Songs", "1999", "Rock", "x", "5"));
    wrong.setNewTitle("Outro");
    wrong.setRow(1);
    EXPECT_EQ(StatusDecisions::folderTrack(kNaming, wrong, kTagHit, {}, false, 0, "2/2"),
              (StatusRow{Red, Red, Red, Red, Red}));

    // A tag hit without a genre makes I red; without an artist, A red.
    TagValues partial = kTagHit;
    partial.genre = QString();
    partial.artist = QString();
    EXPECT_EQ(StatusDecisions::folderTrack(kNaming, right, partial, {}, false, 0, "1/2").I, Red);
    EXPECT_EQ(StatusDecisions::folderTrack(kNaming, right, partial, {}, false, 0, "1/2").A, Red);

    // Various artists, or a credit of the track's own: the artist written
    // against the current one; an album artist written counts too.
    const struct {
        bool various;
        const char *ownArtist, *written, *albumArtist;
        StatusColor a;
    } artists[] = {
        {true, "Someone Else", "Someone Else", nullptr, Red},
        {true, "THE BAND", "THE BAND", nullptr, Green},
        {false, "Someone Else", "Someone Else", nullptr, Red},
        {false, nullptr, nullptr, "The Band", Red}, // the file holds no album artist
        {true, "THE BAND", "THE BAND", "Various", Red},
    };
    for (const auto& row : artists) {
        SCOPED_TRACE(row.written ? row.written : "(album's)");
        AudioTrack track = right;
        track.setNewArtist(QString::fromUtf8(row.ownArtist));
        const TagValues written{.artist = QString::fromUtf8(row.written),
                                .albumArtist = QString::fromUtf8(row.albumArtist)};
        EXPECT_EQ(StatusDecisions::folderTrack(kNaming, track, kTagHit, written, row.various,
                                               row.various ? AudioTrack::kVariousArtists : 0, "1/2")
                      .A,
                  row.a);
    }

    // Renaming off: F grey whatever the name would be.
    NamingOptions noRenaming;
    noRenaming.files = false;
    EXPECT_EQ(StatusDecisions::folderTrack(noRenaming, wrong, kTagHit, {}, false, 0, "2/2").F,
              Grey);
}

TEST(StatusDecisions, PlaceholdersAreAllGrey) {
    const AudioTrack missing = AudioTrack::initPlaceholder("/tmp");
    EXPECT_EQ(StatusDecisions::folderTrack(kNaming, missing, kTagHit, {}, false, 0, "1/1"),
              StatusRow{});
    EXPECT_EQ(StatusDecisions::songHit(kNaming, missing, kTagHit, 1), StatusRow{});
    EXPECT_EQ(StatusDecisions::singleFile(kNaming, missing, kTagHit), StatusRow{});
}

TEST(StatusDecisions, SongHitAndSingleFile) {
    QTemporaryDir tmp;
    // Single-file names are "%A-%T".
    const AudioTrack file = tagged(tmp.path() + "/The Band-Song.mp3",
                                   values("The Band", "Songs", "2001", "Rock", "Song", "3/10"));
    TagValues hit = values("the band", "songs", "2001", "ROCK", "Song", "3/10");
    EXPECT_EQ(StatusDecisions::songHit(kNaming, file, hit, 3),
              (StatusRow{Green, Green, Green, Green, Green}));
    hit.title = "Other Song";
    hit.track = hit.trackCount = QString();
    hit.artist = QString();
    EXPECT_EQ(StatusDecisions::songHit(kNaming, file, hit, 3),
              (StatusRow{Red, Red, Green, Red, Red}));

    TagValues typed = values("The Band", "Songs", "2001", "Rock", "Song", "3/10");
    EXPECT_EQ(StatusDecisions::singleFile(kNaming, file, typed),
              (StatusRow{Green, Red, Green, Green, Green}))
        << "the file has no new title, so its own new name lacks the title";
    typed.year = "2002";
    EXPECT_EQ(StatusDecisions::singleFile(kNaming, file, typed).I, Red);
}
