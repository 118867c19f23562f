#include "model/AudioTrackArray.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

AudioTrackRef placeholder() {
    return std::make_shared<AudioTrack>(AudioTrack::initPlaceholder(QStringLiteral("/a")));
}

// A real, writable file of no music type: okToTag but not valid.
AudioTrackRef writableRecord(const QTemporaryDir& dir, const QString& name, const QString& title) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    auto t = std::make_shared<AudioTrack>(AudioTrack::initWithPath(f.fileName()));
    t->setNewTitle(title);
    return t;
}

// Not a placeholder, not writable.
AudioTrackRef namedRecord(const char* name, const char* title, int track = 0) {
    auto t = placeholder();
    t->setFileName(QString::fromUtf8(name));
    t->setNewTitle(QString::fromUtf8(title));
    t->setTags({.title = QString::fromUtf8(title)}, TagField::Title);
    t->setTags(TagValues::withTrack(track, 0), TagField::Track | TagField::TrackCount);
    return t;
}

} // namespace

TEST(AudioTrackArray, ReadOnlyTracks) {
    QTemporaryDir dir;
    AudioTrackArray list;
    EXPECT_EQ(list.anyReadOnlyTracks(), 2); // empty
    list.add(writableRecord(dir, QStringLiteral("a.txt"), QStringLiteral("A")));
    EXPECT_EQ(list.anyReadOnlyTracks(), 0);
    list.add(writableRecord(dir, QStringLiteral("b.txt"), QStringLiteral("B")));
    list.add(placeholder());
    EXPECT_EQ(list.anyReadOnlyTracks(), 1);

    AudioTrackArray placeholders;
    placeholders.add(placeholder());
    placeholders.add(placeholder());
    EXPECT_EQ(placeholders.anyReadOnlyTracks(), 2);
}

TEST(AudioTrackArray, FirstTracksAndBlankTitles) {
    AudioTrackArray list;
    EXPECT_EQ(list.firstRealTrackP(), nullptr);
    EXPECT_EQ(list.firstGoodTrack(), nullptr);
    EXPECT_FALSE(list.anyTracksMissing());
    EXPECT_FALSE(list.anyTitlesBlank());

    auto hole = placeholder();
    hole->setNewTitle(QStringLiteral("not counted"));
    auto blank = namedRecord("1.mp3", "");
    auto good = namedRecord("2.mp3", "Two");
    list.add(hole);
    list.add(blank);
    list.add(good);
    EXPECT_EQ(list.firstRealTrackP(), blank);
    EXPECT_EQ(list.firstGoodTrack(), good);
    EXPECT_TRUE(list.anyTracksMissing());
    EXPECT_TRUE(list.anyTitlesBlank());
    blank->setAlbumDetails_Title(QStringLiteral("One"));
    EXPECT_FALSE(list.anyTitlesBlank());
    EXPECT_EQ(list.firstGoodTrack(), blank);
}

TEST(AudioTrackArray, AddKeepsTheRecordInsertKeepsACopy) {
    AudioTrackArray list;
    auto kept = namedRecord("a.mp3", "A");
    list.add(kept);
    kept->setNewTitle(QStringLiteral("changed"));
    EXPECT_EQ(list.at(0)->getNewTitle(), QStringLiteral("changed"));

    AudioTrack local = *namedRecord("b.mp3", "B");
    list.insertObject(local, 0);
    local.setNewTitle(QStringLiteral("changed later"));
    EXPECT_EQ(list.at(0)->getNewTitle(), QStringLiteral("B"));
    EXPECT_EQ(list.at(1), kept);

    list.insertObject(local, 99); // past the end appends
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(2)->getNewTitle(), QStringLiteral("changed later"));
    EXPECT_EQ(list.at(3), nullptr);
    EXPECT_EQ(list.at(-1), nullptr);

    // A copied list holds the same records.
    AudioTrackArray copy = list;
    EXPECT_EQ(copy.at(1), kept);
    copy.removeObject(kept);
    EXPECT_EQ(copy.count(), 2);
    EXPECT_EQ(list.count(), 3);

    list.addArray(list);
    EXPECT_EQ(list.count(), 6);
    EXPECT_EQ(list.at(4), kept);
    list.removeObject(kept); // every occurrence of that very record
    EXPECT_EQ(list.count(), 4);
    list.removeObjectAtIndex(10); // ignored
    list.removeObjectAtIndex(0);
    EXPECT_EQ(list.count(), 3);
}

TEST(AudioTrackArray, Sorting) {
    AudioTrackArray list;
    list.add(namedRecord("c.mp3", "beta", 0));
    list.add(namedRecord("b.mp3", "Alpha", 2));
    list.add(namedRecord("a.mp3", "alpha", 0));
    list.add(namedRecord("d.mp3", "Gamma", 1));
    auto names = [&list] {
        QStringList out;
        for (const AudioTrackRef& t : list)
            out << t->getFileName();
        return out.join(u',');
    };
    list.sortUsingSelector(&AudioTrack::compareIndex);
    EXPECT_EQ(names(), QStringLiteral("d.mp3,b.mp3,a.mp3,c.mp3"));
    list.sortUsingSelector(&AudioTrack::compareFileName);
    EXPECT_EQ(names(), QStringLiteral("a.mp3,b.mp3,c.mp3,d.mp3"));
    list.sortUsingSelector(&AudioTrack::compareOldFileTitle);
    EXPECT_EQ(names(), QStringLiteral("b.mp3,d.mp3,a.mp3,c.mp3"));
}

TEST(AudioTrackArray, Description) {
    AudioTrackArray list;
    list.add(namedRecord("a.mp3", "A"));
    const QString text = list.description();
    EXPECT_TRUE(text.startsWith(QStringLiteral("AudioTrackArray array at "))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(", 1 items.\n<AudioTrack: \"a.mp3\">\n")))
        << text.toStdString();
}
