#include "model/AlbumDetails.h"
#include "model/AlbumInfo.h"
#include "model/AudioTrackArray.h"
#include "model/MatchDistance.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Song {
    QString title;
    int secs;
    QString artist = QString();
};

const QList<Song> kSongs = {
    {"Morning Light", 221}, {"Paper Boats", 184},    {"Undertow", 305}, {"Glass Houses", 243},
    {"Slow River", 198},    {"Northern Lines", 262}, {"Ember", 175},    {"Winter Garden", 290},
    {"Tidewater", 233},     {"Last Orbit", 351},
};

AlbumDetails release(const QString& key, const QList<Song>& songs, int shiftSecs = 0,
                     const QString& artist = "The Band", const QString& album = "The Album") {
    AlbumDetails d;
    d.setResultKey(key);
    d.setArtist(artist);
    d.setAlbum(album);
    d.setYear("2001");
    d.setTitles({});
    for (const Song& s : songs)
        d.addTitle(s.title, s.artist, (s.secs + shiftSecs) * 1000);
    return d;
}

// The folder of files made from `songs`, in that order, numbered as listed.
MatchDistance::Folder folderOf(const QList<Song>& songs, const QString& artist = "The Band") {
    MatchDistance::Folder f;
    for (int i = 0; i < songs.size(); ++i) {
        f.files.push_back({songs[i].title, uint32_t(i + 1), uint32_t(songs[i].secs)});
        f.fileArtists << (songs[i].artist.isNull() ? artist : songs[i].artist);
    }
    f.artists << artist;
    f.albums << "The Album";
    f.year = "2001";
    return f;
}

QList<Song> without(QList<Song> songs, int index) {
    songs.removeAt(index);
    return songs;
}

QList<Song> swapped(QList<Song> songs) {
    std::swap(songs[0], songs[3]);
    std::swap(songs[5], songs[9]);
    return songs;
}

QList<Song> renamed(QList<Song> songs, const QString& prefix) {
    for (int i = 0; i < songs.size(); ++i)
        songs[i].title = prefix + QString::number(i);
    return songs;
}

QList<Song> compilation() {
    QList<Song> songs = kSongs;
    for (int i = 0; i < songs.size(); ++i)
        songs[i].artist = QStringLiteral("Singer %1").arg(i);
    return songs;
}

} // namespace

TEST(MatchDistance, OrdersHitsAsAPersonWould) {
    QList<Song> deluxe = kSongs;
    deluxe << Song{"Bonus Demo", 200};
    QList<Song> otherNine = renamed(without(kSongs, 0), "Other ");
    QList<Song> wrongArtists = compilation();
    for (Song& s : wrongArtists)
        s.artist = "Someone Else";

    struct Row {
        const char* name;
        MatchDistance::Folder folder;
        QList<AlbumDetails> hitsBestFirst;
    } rows[] = {
        {"a perfect match",
         folderOf(kSongs),
         {release("right", kSongs), release("other", renamed(kSongs, "Song "), 40)}},
        {"a missing track",
         folderOf(without(kSongs, 4)),
         {release("right", kSongs), release("other nine", otherNine, 20)}},
        {"a wrong edition with one extra track",
         folderOf(kSongs),
         {release("standard", kSongs), release("deluxe", deluxe)}},
        {"swapped files",
         folderOf(swapped(kSongs)),
         {release("right", kSongs), release("other", renamed(kSongs, "Song "), 40)}},
        {"lengths off by 5 s and by 60 s",
         folderOf(renamed(kSongs, "Track ")),
         {release("exact", kSongs), release("5 s", kSongs, 5), release("60 s", kSongs, 60)}},
        {"a various-artists album",
         folderOf(compilation(), "Various Artists"),
         {release("compilation", compilation(), 0, "Various Artists"),
          release("same titles, other artists", wrongArtists, 0, "Someone Else")}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        double previous = -1;
        for (const AlbumDetails& hit : r.hitsBestFirst) {
            const MatchDistance d = MatchDistance::compute(r.folder, hit);
            EXPECT_GE(d.value(), 0.0);
            EXPECT_LE(d.value(), 1.0);
            EXPECT_GT(d.value(), previous)
                << hit.resultKey().toStdString() << ": " << d.summary().toStdString();
            previous = d.value();
        }
    }
}

TEST(MatchDistance, ExplainsItself) {
    const MatchDistance perfect =
        MatchDistance::compute(folderOf(swapped(kSongs)), release("right", kSongs));
    EXPECT_EQ(perfect.value(), 0.0) << perfect.summary().toStdString();
    EXPECT_TRUE(perfect.largestParts(3).isEmpty());
    // Each title names the file the matching gave it, whatever the folder order.
    EXPECT_EQ(perfect.tracks()[0].file, 3);
    EXPECT_EQ(perfect.tracks()[0].explanation(), "length 3:41 vs 3:41, title 100 %");

    QList<Song> deluxe = kSongs;
    deluxe << Song{"Bonus Demo", 200};
    const MatchDistance extra = MatchDistance::compute(folderOf(kSongs), release("d", deluxe));
    ASSERT_FALSE(extra.largestParts(3).isEmpty());
    EXPECT_EQ(extra.largestParts(3).front().name, "tracks");
    EXPECT_EQ(extra.largestParts(3).front().why, "10 files, 11 tracks: 1 missing");
    EXPECT_EQ(extra.tracks()[10].explanation(), "no file");
    EXPECT_TRUE(extra.summary().startsWith(QString::number(extra.value(), 'f', 2) + ": tracks "))
        << extra.summary().toStdString();

    // A hit made from the folder's own tags would only measure it against itself.
    AlbumInfo fromTags;
    fromTags.setResultKey(AlbumInfo::kTagKey);
    fromTags.setAlbumDetails(std::make_shared<AlbumDetails>(release("#TAG:", kSongs)));
    EXPECT_FALSE(MatchDistance::compute(folderOf(kSongs), fromTags));
}

// The folder's year is the first of the tags' and the names' that holds a
// year of the last two centuries, written as the folder writes it.
TEST(MatchDistance, FolderYearIsTheFirstThatHoldsAYear) {
    const struct {
        QString fromTags, fromNames, expected;
    } cases[] = {
        {"1999", "2004", "1999"},
        {"2003-05-01", "", "2003-05-01"},
        {"Released in 1887", "", "Released in 1887"},
        {"99", "2004", "2004"},
        {"3000", "1700", ""},
        {"20x1", "", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        AlbumDetails tags, names;
        tags.setYear(c.fromTags);
        names.setYear(c.fromNames);
        EXPECT_EQ(MatchDistance::Folder::fromTracks(AudioTrackArray(), &tags, &names).year,
                  c.expected)
            << c.fromTags.toStdString() << " / " << c.fromNames.toStdString();
    }
}
