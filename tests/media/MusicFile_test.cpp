#include "media/MusicFile.h"

#include <gtest/gtest.h>

namespace {

class BareFile : public MusicFile {
public:
    BareFile() : MusicFile(QStringLiteral("/music/01 Song.Mp3")) {}
    bool commitTags() override { return true; }
};

} // namespace

TEST(MusicFileFactory, UnknownExtensionsGiveNull) {
    for (const char* name : {"/x/a.aac", "/x/a.wav", "/x/noext", "/x/a.mp3.txt"})
        EXPECT_EQ(MusicFile::newMusicFileWithPath(QString::fromUtf8(name)), nullptr) << name;
}

TEST(MusicFileBase, TrackNumberWithAndWithoutCount) {
    BareFile f;
    const TagFields track = TagField::Track | TagField::TrackCount;
    f.setTags(TagValues::withTrack(5, 0), track);
    EXPECT_EQ(f.readTags().longTrack(), QStringLiteral("5"));
    EXPECT_TRUE(f.readTags().trackCount.isEmpty());
    f.setTags({.track = QStringLiteral("05"), .trackCount = QStringLiteral("9")}, track);
    EXPECT_EQ(f.readTags().longTrack(), QStringLiteral("5/9"));
    EXPECT_EQ(f.readTags().trackCount, QStringLiteral("9"));
    // The numbers follow the texts written.
    EXPECT_EQ(f.readTags().trackNumber(), 5);
}

TEST(MusicFileBase, ExtensionKeepsItsCase) {
    BareFile f;
    EXPECT_EQ(f.extension(), QStringLiteral("Mp3"));
    f.setTags({.year = QStringLiteral("1969")}, TagField::Year);
    EXPECT_EQ(f.readTags().year, QStringLiteral("1969"));
}
