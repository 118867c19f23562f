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

TEST(MusicFileBase, LongTrackTextSplitsAtTheFirstSlash) {
    BareFile f;
    f.setLongTrackStr(QStringLiteral("3/12"));
    EXPECT_EQ(f.getTrackStr(), QStringLiteral("3"));
    EXPECT_EQ(f.getMaxTrackStr(), QStringLiteral("12"));
    EXPECT_EQ(f.getLongTrackStr(), QStringLiteral("3/12"));
    f.setLongTrackStr(QStringLiteral("7"));
    EXPECT_EQ(f.getTrackStr(), QStringLiteral("7"));
    EXPECT_TRUE(f.getMaxTrackStr().isEmpty());
}

TEST(MusicFileBase, TrackNumberWithAndWithoutCount) {
    BareFile f;
    f.setTrackNum(5, 0);
    EXPECT_EQ(f.getLongTrackStr(), QStringLiteral("5"));
    EXPECT_TRUE(f.getMaxTrackStr().isEmpty());
    f.setTrackNum(5, 9);
    EXPECT_EQ(f.getLongTrackStr(), QStringLiteral("5/9"));
    EXPECT_EQ(f.getMaxTrackStr(), QStringLiteral("9"));
    // The numbers read at opening stay.
    EXPECT_EQ(f.getTrackNum(), 0u);
}

TEST(MusicFileBase, ExtensionKeepsItsCase) {
    BareFile f;
    EXPECT_EQ(f.extension(), QStringLiteral("Mp3"));
    f.setYearNum(1969);
    EXPECT_EQ(f.getYearStr(), QStringLiteral("1969"));
}
