#include "media/Id3PinnedLayout.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

// A frame of `size` bytes in all, its size field written for `version`;
// with an `encoding`, a text frame in it.
QByteArray frame(const char* id, qsizetype size, int version = 4, char fill = 'x',
                 int encoding = -1) {
    const qsizetype body = size - 10;
    QByteArray f(id, 4);
    const int shift = version == 4 ? 7 : 8;
    for (int i = 3; i >= 0; --i)
        f += char((body >> (i * shift)) & (version == 4 ? 0x7F : 0xFF));
    f += QByteArray(2, '\0');
    f += QByteArray(body, fill);
    if (encoding >= 0) f[10] = char(encoding);
    return f;
}

// The own frame of exactly `size` bytes, in steps of `unit` above its smallest.
std::function<QByteArray(qsizetype)> filler(qsizetype min, qsizetype unit) {
    return [min, unit](qsizetype size) {
        if (size < min || (size - min) % unit != 0) return QByteArray();
        return frame("TTRX", size, 4, 'f');
    };
}

} // namespace

TEST(Id3PinnedLayout, PicturesKeepTheirOffsetWhateverTheOtherFramesWeigh) {
    const QByteArray pictures = frame("APIC", 5000, 4, 'p');
    struct Row {
        const char* what;
        std::vector<qsizetype> frames;
        int encoding;             // of the frames; -1: not text frames
        qsizetype ownUnit;        // 0: no own frame
        std::vector<int> inFront; // expected per frame
    } rows[] = {
        {"all fit, the own frame takes the rest", {20, 30}, -1, 1, {1, 1}},
        {"a longer frame goes behind", {20, 60, 15}, -1, 1, {1, 0, 1}},
        {"two-byte characters: a frame of odd size goes behind", {21, 30}, -1, 2, {0, 1}},
        {"nothing fits but the own frame", {80, 90}, -1, 1, {0, 0}},
        {"no own frame: a terminator makes up the last byte", {30, 34, 35}, 0, 0, {1, 1, 1}},
        {"no own frame: two-byte terminators, the earlier frames first",
         {40, 28, 30, 12},
         1,
         0,
         {2, 1, 1, 0}},
    };
    for (const Row& row : rows) {
        Id3PinnedLayout::Input in;
        in.picturesAt = 10 + 100;
        in.pictures = {QByteArrayView(pictures).first(10), QByteArrayView(pictures).sliced(10)};
        for (size_t i = 0; i < row.frames.size(); ++i)
            in.frames.push_back(frame("TIT2", row.frames[i], 4, char('a' + i), row.encoding));
        if (row.ownUnit) {
            in.fillerMin = 40;
            in.filler = filler(40, row.ownUnit);
        }
        in.tagLength = 10 + 100 + pictures.size() + 400;
        const QByteArray area = Id3PinnedLayout::frameArea(in);
        ASSERT_EQ(area.size(), in.tagLength - 10) << row.what;
        EXPECT_EQ(area.mid(100, pictures.size()), pictures) << row.what;
        // Every frame once, in front (lengthened by its terminator or not)
        // or behind; the own frame after those in front; zeros after all.
        const std::vector<QByteArray> split = Id3PinnedLayout::splitFrames(area, 4);
        ASSERT_EQ(split.size(), row.frames.size() + 1 + (row.ownUnit ? 1 : 0)) << row.what;
        qsizetype front = 0;
        for (size_t i = 0; i < row.frames.size(); ++i) {
            const QByteArray& f = in.frames[i];
            const qsizetype at = area.indexOf(f.sliced(10));
            ASSERT_GE(at, 10) << row.what;
            const int got = at > 100 ? 0 : area.mid(at - 10, 10) == f.first(10) ? 1 : 2;
            EXPECT_EQ(got != 0, row.inFront[i] != 0) << row.what << " frame " << i;
            if (got) front += f.size() + (got == 2 ? (row.encoding == 1 ? 2 : 1) : 0);
        }
        if (row.ownUnit)
            EXPECT_TRUE(split
                            .at(size_t(std::count_if(row.inFront.begin(), row.inFront.end(),
                                                     [](int w) { return w; })))
                            .startsWith("TTRX"))
                << row.what;
        else
            EXPECT_EQ(front, 100) << row.what;
    }
}

TEST(Id3PinnedLayout, RefusesWhatCannotBeLaidOutAroundThePictures) {
    const QByteArray pictures = frame("APIC", 5000, 4, 'p');
    Id3PinnedLayout::Input base;
    base.picturesAt = 110;
    base.pictures = {pictures};
    base.frames = {frame("TIT2", 30)};
    base.fillerMin = 40;
    base.filler = filler(40, 1);
    base.tagLength = 110 + pictures.size() + 100;
    ASSERT_FALSE(Id3PinnedLayout::frameArea(base).isNull());

    auto noOwnFrameNoExactFill = base;
    noOwnFrameNoExactFill.fillerMin = -1;
    noOwnFrameNoExactFill.filler = {};
    auto ownFrameTooLarge = base;
    ownFrameTooLarge.fillerMin = 101;
    ownFrameTooLarge.filler = filler(101, 1);
    auto noRoomBehind = base;
    noRoomBehind.frames = {frame("TIT2", 90), frame("TALB", 200)};
    auto picturesPastTheTag = base;
    picturesPastTheTag.tagLength = 110 + pictures.size() - 1;
    for (const auto* in :
         {&noOwnFrameNoExactFill, &ownFrameTooLarge, &noRoomBehind, &picturesPastTheTag})
        EXPECT_TRUE(Id3PinnedLayout::frameArea(*in).isNull());
}

TEST(Id3PinnedLayout, SplitsRenderedFramesOfEitherVersionUpToThePadding) {
    for (int version : {3, 4}) {
        const QByteArray a = frame("TIT2", 200, version), b = frame("APIC", 300, version);
        EXPECT_EQ(Id3PinnedLayout::splitFrames(a + b + QByteArray(50, '\0'), version),
                  (std::vector<QByteArray>{a, b}))
            << version;
        EXPECT_TRUE(Id3PinnedLayout::splitFrames(a + b.left(100), version).empty()) << version;
        EXPECT_TRUE(Id3PinnedLayout::splitFrames(
                        a + QByteArray(20, '\0') + "x" + QByteArray(9, '\0'), version)
                        .empty())
            << version;
    }
}

TEST(Id3PinnedLayout, TheFramesAPlayerShowsFirstComeFirst) {
    std::vector<QByteArray> frames;
    for (const char* id : {"COMM", "TCON", "TIT2", "TXXX", "TPE1"})
        frames.push_back(frame(id, 20));
    Id3PinnedLayout::orderBySignificance(frames);
    QList<QByteArray> ids;
    for (const QByteArray& f : frames)
        ids << f.left(4);
    EXPECT_EQ(ids, (QList<QByteArray>{"TIT2", "TPE1", "TCON", "COMM", "TXXX"}));
}
