#include "media/AtomParser.h"
#include "media/DataAtom.h"
#include "media/M4AFile.h"
#include "pictures/QtPictureCodec.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/M4aChecks.h"
#include "support/OutcomeChecks.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class AtomParserTest : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("song.m4a")) const {
        return fDir.filePath(name);
    }
    QString make(const M4aFixtureOptions& o = {}) {
        EXPECT_TRUE(writeM4a(path(), o));
        return path();
    }
    static uint64_t freeSize(const QString& p) {
        auto parser = AtomParser::newAtomParser(p).parser;
        Atom* free = parser ? parser->find(AtomTypes::kFree) : nullptr;
        return free ? free->atomSize() : 0;
    }
    QTemporaryDir fDir;
};

QImage coverOfSize(int side) {
    // Noise does not compress, so the PNG is about side * side * 3 bytes.
    QImage image(side, side, QImage::Format_RGB32);
    uint32_t x = 12345;
    for (int y = 0; y < side; ++y)
        for (int i = 0; i < side; ++i) {
            x = x * 1103515245u + 12345u;
            image.setPixel(i, y, x >> 8);
        }
    return image;
}

} // namespace

TEST_F(AtomParserTest, ParsesTheMetadataPathAndLeavesTheAudioInTheFile) {
    auto parser = AtomParser::newAtomParser(make()).parser;
    ASSERT_TRUE(parser);
    ASSERT_EQ(parser->atoms().size(), 3u);
    EXPECT_EQ(parser->atoms()[0]->type(), atomType("ftyp"));
    EXPECT_EQ(parser->atoms()[1]->type(), AtomTypes::kMoov);
    Atom* mdat = parser->atoms()[2].get();
    EXPECT_EQ(mdat->type(), AtomTypes::kMdat);
    EXPECT_EQ(mdat->dataLen(), 4096u);
    EXPECT_TRUE(mdat->contents().isEmpty());
    ASSERT_TRUE(parser->find(AtomTypes::kName));
    EXPECT_EQ(parser->find(AtomTypes::kName)->stringValue(), QStringLiteral("Fixture Title"));
    EXPECT_EQ(parser->find(AtomTypes::kGnre)->ushortArrayValue(0), 18);
    EXPECT_EQ(parser->find(AtomTypes::kGen), nullptr); // only "gnre" is there
    EXPECT_TRUE(parser->find(AtomTypes::kStco));
}

TEST_F(AtomParserTest, SizeZeroAtTheEndSpansTheRestOfTheFile) {
    QByteArray bytes = buildM4a({});
    qint64 off = 0, len = 0;
    ASSERT_TRUE(findMdatPayload(bytes, off, len));
    qToBigEndian<quint32>(0, bytes.data() + off - 8);
    ASSERT_TRUE(writeBytes(path(), bytes));
    auto parser = AtomParser::newAtomParser(path()).parser;
    ASSERT_TRUE(parser);
    EXPECT_EQ(parser->atoms().back()->dataLen(), 4096u);
}

TEST_F(AtomParserTest, DeletedAtomsAreNotFound) {
    auto parser = AtomParser::newAtomParser(make()).parser;
    parser->find(AtomTypes::kName)->markForDeletion();
    EXPECT_EQ(parser->find(AtomTypes::kName), nullptr);
}

TEST(DataAtom, UShortArrayGrowsToHoldTheIndex) {
    DataAtom value(DataAtom::kBinary, QByteArray(4, '\0'));
    value.setUShortArrayValue(2, 0x1234);
    EXPECT_EQ(value.value().size(), 6);
    EXPECT_EQ(value.ushortArrayValue(2), 0x1234);
    EXPECT_EQ(value.ushortArrayValue(7), 0);
    EXPECT_TRUE(value.modified());
}

TEST(DataAtom, StringStopsAtTheFirstNul) {
    DataAtom value(DataAtom::kUtf8, QByteArray("Abc\0def", 7));
    EXPECT_EQ(value.stringValue(), QStringLiteral("Abc"));
}

TEST_F(AtomParserTest, InPlaceSaveTakesTheGrowthFromTheFreeAtom) {
    const QString p = make();
    const QByteArray before = readBytes(p);
    const uint64_t freeBefore = freeSize(p);
    auto file = M4AFile::newM4AFileWithPath(p);
    file->setTags({.title = QStringLiteral("Fixture Title+five")},
                  TagField::Title); // 5 bytes longer
    ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
    const QByteArray after = readBytes(p);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(freeSize(p), freeBefore - 5);
    EXPECT_TRUE(sameAudio(before, after));
    EXPECT_EQ(readWithTagLib(p).title, QStringLiteral("Fixture Title+five"));
}

TEST_F(AtomParserTest, DeletingAnItemInPlaceGivesItsSizeToTheFreeAtom) {
    M4aFixtureOptions o;
    o.cover = QByteArray(300, 'c');
    const QString p = make(o);
    const uint64_t freeBefore = freeSize(p);
    auto file = M4AFile::newM4AFileWithPath(p);
    const uint64_t covrSize = file->atomParser()->find(AtomTypes::kCovr)->atomSize();
    file->tagImage(Picture());
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    EXPECT_EQ(freeSize(p), freeBefore + covrSize);
    EXPECT_TRUE(readWithTagLib(p).cover.isEmpty());
}

TEST_F(AtomParserTest, SavingWithoutChangesKeepsEveryByte) {
    const QString p = make();
    const QByteArray original = readBytes(p);
    auto file = M4AFile::newM4AFileWithPath(p);
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    EXPECT_EQ(readBytes(p), original);
}

TEST_F(AtomParserTest, SavingAfterAWholeFileRewriteTwiceKeepsEveryByte) {
    const QString p = make({.freePadding = 0});
    auto file = M4AFile::newM4AFileWithPath(p);
    file->setTags({.album = QStringLiteral("Longer album name")}, TagField::Album);
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    const QByteArray once = readBytes(p);
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    EXPECT_EQ(readBytes(p), once);
}

TEST_F(AtomParserTest, GrowthPastTheFreeSpaceRewritesTheWholeFile) {
    struct Layout {
        const char* name;
        M4aFixtureOptions options;
    };
    const Layout layouts[] = {
        {"moov before mdat", {}},
        {"moov after mdat", {.moovAfterMdat = true}},
        {"three tracks", {.tracks = 3, .mdatBytes = 9000}},
        {"co64", {.co64 = true}},
        {"64-bit mdat size", {.largeSizeMdat = true}},
        {"zero-length mdat", {.mdatBytes = 0}},
        {"no udta/meta at all", {.freePadding = 0, .withMetadata = false}},
        {"no free atom", {.freePadding = 0}},
        {"co64, three tracks, moov after mdat",
         {.moovAfterMdat = true, .co64 = true, .tracks = 3, .mdatBytes = 7000}},
    };
    const QImage cover = coverOfSize(40); // about 5 KB of PNG: more than any padding
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const QString p = make(l.options);
        const QByteArray before = readBytes(p);
        auto file = M4AFile::newM4AFileWithPath(p);
        ASSERT_TRUE(file);
        file->tagImage(QtPictureCodec::fromImage(cover));
        file->setTags({.title = QStringLiteral("New title")}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        const QByteArray after = readBytes(p);
        EXPECT_GT(after.size(), before.size() + 4000);
        EXPECT_TRUE(sameAudio(before, after));
        const TagLibView seen = readWithTagLib(p);
        ASSERT_TRUE(seen.valid);
        EXPECT_EQ(seen.title, QStringLiteral("New title"));
        EXPECT_EQ(QImage::fromData(seen.cover).size(), cover.size());
        EXPECT_EQ(seen.coverFormat, int(TagLib::MP4::CoverArt::PNG));
        EXPECT_EQ(seen.lengthSecs, 30);
        // The rewritten file is open again: a small change now fits in place.
        file->setTags({.title = QStringLiteral("New title 2")}, TagField::Title);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
        EXPECT_EQ(readBytes(p).size(), after.size());
        EXPECT_TRUE(sameAudio(before, readBytes(p)));
        EXPECT_EQ(readWithTagLib(p).title, QStringLiteral("New title 2"));
        EXPECT_FALSE(
            QFileInfo::exists(fDir.filePath(QStringLiteral("Trovix.%1").arg(getpid(), 0, 16))));
    }
}

TEST_F(AtomParserTest, WholeFileRewriteMovesMdatByTheGrowthPlusPadding) {
    const QString p = make({.freePadding = 0});
    const QByteArray before = readBytes(p);
    auto file = M4AFile::newM4AFileWithPath(p);
    const uint64_t moovBefore = file->atomParser()->find(AtomTypes::kMoov)->originalLen();
    file->setTags({.title = QStringLiteral("Fixture Title!")}, TagField::Title); // one byte more
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    const QByteArray after = readBytes(p);
    EXPECT_EQ(uint64_t(after.size()), uint64_t(before.size()) + 1 + 2048);
    EXPECT_EQ(file->atomParser()->find(AtomTypes::kMoov)->originalLen(), moovBefore + 1 + 2048);
    const auto offsetsBefore = chunkOffsets(before);
    const auto offsetsAfter = chunkOffsets(after);
    ASSERT_EQ(offsetsBefore.size(), offsetsAfter.size());
    for (size_t i = 0; i < offsetsBefore.size(); ++i)
        EXPECT_EQ(offsetsAfter[i], offsetsBefore[i] + 2049);
}

TEST_F(AtomParserTest, FreeAtomEdgesWithinEightBytes) {
    // The fixture's "free" is 1024 bytes; the title grows by 1024 - left.
    struct Row {
        int left;
        bool inPlace;
    };
    for (const Row row : {Row{0, true}, Row{4, false}, Row{7, false}, Row{8, true}, Row{9, true}}) {
        SCOPED_TRACE(row.left);
        const QString p = make();
        const QByteArray before = readBytes(p);
        auto file = M4AFile::newM4AFileWithPath(p);
        const QString title = QStringLiteral("Fixture Title") + QString(1024 - row.left, u'x');
        file->setTags({.title = title}, TagField::Title);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
        const QByteArray after = readBytes(p);
        EXPECT_EQ(after.size() == before.size(), row.inPlace);
        EXPECT_EQ(freeSize(p), row.inPlace ? uint64_t(row.left) : 2048u);
        EXPECT_TRUE(sameAudio(before, after));
        EXPECT_EQ(readWithTagLib(p).title, title);
    }
}

TEST_F(AtomParserTest, ExtraFreeAtomsInMoovAreFoldedIntoOne) {
    const QString p = make();
    auto file = M4AFile::newM4AFileWithPath(p);
    // A second padding atom, as some taggers leave behind.
    auto extra = std::make_shared<Atom>(AtomTypes::kFree);
    extra->setContents(QByteArray(100, '\0'));
    file->atomParser()->find(AtomTypes::kMoov)->addChild(extra);
    file->setTags({.title = QStringLiteral("T")}, TagField::Title);
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    const QByteArray after = readBytes(p);
    EXPECT_EQ(after.size(), buildM4a({}).size());
    EXPECT_EQ(readWithTagLib(p).title, QStringLiteral("T"));
}

TEST_F(AtomParserTest, HundredSavesKeepTheFileSizeBounded) {
    const QString p = make({.freePadding = 0});
    const qint64 original = readBytes(p).size();
    auto file = M4AFile::newM4AFileWithPath(p);
    for (int i = 0; i < 100; ++i) {
        file->setTags({.title = QString(i % 7 * 150, QChar(u'a' + i % 26))}, TagField::Title);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok()) << i;
    }
    EXPECT_LE(readBytes(p).size(), original + 2048 + 6 * 150);
    EXPECT_EQ(readWithTagLib(p).title, QString(99 % 7 * 150, QChar(u'a' + 99 % 26)));
}

TEST_F(AtomParserTest, A64BitMoovHeaderStaysSixteenBytes) {
    // moov after mdat, so widening its header moves no chunk.
    QByteArray bytes = buildM4a({.moovAfterMdat = true});
    const qint64 moovAt = bytes.indexOf("moov") - 4;
    const quint32 size = qFromBigEndian<quint32>(bytes.constData() + moovAt);
    QByteArray wide(16, '\0');
    qToBigEndian<quint32>(1, wide.data());
    memcpy(wide.data() + 4, "moov", 4);
    qToBigEndian<quint64>(size + 8, wide.data() + 8);
    bytes = bytes.left(moovAt) + wide + bytes.mid(moovAt + 8);
    ASSERT_TRUE(writeBytes(path(), bytes));
    for (const char* title :
         {"Short", "A title long enough to need the whole-file rewrite, yes indeed"
                   " ................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"
                   "................................................................"}) {
        auto file = M4AFile::newM4AFileWithPath(path());
        ASSERT_TRUE(file);
        file->setTags({.title = QString::fromUtf8(title)}, TagField::Title);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
        const QByteArray after = readBytes(path());
        const qint64 at = after.indexOf("moov") - 4;
        EXPECT_EQ(qFromBigEndian<quint32>(after.constData() + at), 1u);
        EXPECT_TRUE(sameAudio(bytes, after));
        EXPECT_EQ(readWithTagLib(path()).title, QString::fromUtf8(title));
    }
}

TEST_F(AtomParserTest, AFailedRewriteLeavesTheFileAndTheOffsetsAlone) {
    const QString p = make();
    const QByteArray before = readBytes(p);
    auto file = M4AFile::newM4AFileWithPath(p);
    file->tagImage(QtPictureCodec::fromImage(coverOfSize(40)));
    AtomParser::setFailNewFileAfter(1000);
    const Outcome saved = SaveBatch::saveOne(*file);
    EXPECT_FALSE(saved.ok());
    AtomParser::setFailNewFileAfter(-1);
    EXPECT_FALSE(saved.reason.isEmpty());
    EXPECT_EQ(readBytes(p), before);
    EXPECT_EQ(QDir(fDir.path()).entryList(QDir::Files), QStringList{QStringLiteral("song.m4a")});
    // The offsets shifted for the failed layout must not reach the disk now.
    file->tagImage(Picture());
    file->setTags({.title = QStringLiteral("Then in place")}, TagField::Title);
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    EXPECT_EQ(readBytes(p).size(), before.size());
    EXPECT_TRUE(sameAudio(before, readBytes(p)));
}

// The check after a rewrite reads the edges of every chunk of a few hundred
// (in runs, not a read each): a byte changed at either edge of any chunk
// fails it.
TEST_F(AtomParserTest, ARewriteFailsItsCheckWhenAChunkEdgeReadsBackChanged) {
    constexpr int kChunks = 300; // the fixture makes one per kilobyte
    const QString p = make({.freePadding = 0, .mdatBytes = kChunks * 1024});
    auto file = M4AFile::newM4AFileWithPath(p);
    ASSERT_TRUE(file);
    file->setTags({.title = QStringLiteral("A title too long for the room it had")},
                  TagField::Title);
    const SavePlan plan = file->atomParser()->planSave();
    ASSERT_EQ(plan.kind, SavePlan::Kind::Rewrite);
    const QString copy = path(QStringLiteral("copy.m4a"));
    {
        const int in = ::open(QFile::encodeName(p).constData(), O_RDONLY);
        const int out = ::open(QFile::encodeName(copy).constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_TRUE(plan.writeNew(in, out).ok());
        ::close(in);
        ::close(out);
    }
    const QByteArray written = readBytes(copy);
    const std::vector<quint64> chunks = chunkOffsets(written);
    ASSERT_EQ(chunks.size(), size_t(kChunks));
    struct Case {
        const char* name;
        qint64 changedAt; // -1: none
        const char* says; // null: the check passes
    };
    const Case cases[] = {
        {"as written", -1, nullptr},
        {"the first chunk's first byte", qint64(chunks[0]), "its audio changed"},
        {"a middle chunk's last byte", qint64(chunks[150]) + 1023, "its audio changed"},
        {"a chunk's first byte, past the first run", qint64(chunks[260]), "its audio changed"},
        {"the last chunk's last byte", qint64(chunks[kChunks - 1]) + 1023, "its audio changed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = written;
        if (c.changedAt >= 0) bytes[c.changedAt] = char(bytes[c.changedAt] ^ 0x5A);
        QFile out(copy);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(out.write(bytes), bytes.size());
        out.close();
        const QString why = plan.verify(copy);
        if (!c.says)
            EXPECT_TRUE(why.isNull()) << why.toStdString();
        else
            EXPECT_TRUE(why.contains(QLatin1String(c.says))) << why.toStdString();
    }
}

TEST_F(AtomParserTest, AnInPlaceCheckReadsBackEveryChangedByte) {
    const QString p = make({.mdatBytes = 8 * 1024});
    auto file = M4AFile::newM4AFileWithPath(p);
    ASSERT_TRUE(file);
    file->setTags({.title = QStringLiteral("Another")}, TagField::Title);
    const SavePlan plan = file->atomParser()->planSave();
    ASSERT_EQ(plan.kind, SavePlan::Kind::InPlace);
    ASSERT_FALSE(plan.regions.empty());
    QByteArray written = readBytes(p);
    for (const SaveRegion& r : plan.regions)
        written.replace(qsizetype(r.offset), r.bytes.size(), r.bytes);
    const SaveRegion& first = plan.regions.front();
    const SaveRegion& last = plan.regions.back();
    const std::vector<quint64> chunks = chunkOffsets(written);
    ASSERT_FALSE(chunks.empty());
    struct Case {
        const char* name;
        qint64 changedAt; // -1: none
        const char* says; // null: the check passes
        bool grown = false;
    };
    const Case cases[] = {
        {"as written", -1, nullptr},
        {"the first changed byte", qint64(first.offset), "do not read back"},
        {"the last changed byte", qint64(last.offset) + last.bytes.size() - 1, "do not read back"},
        {"the first chunk's first byte", qint64(chunks.front()), "its audio changed"},
        {"a byte more at the end", -1, "its size changed", true},
    };
    const QString copy = path(QStringLiteral("copy.m4a"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = written;
        if (c.changedAt >= 0) bytes[c.changedAt] = char(bytes[c.changedAt] ^ 0x5A);
        if (c.grown) bytes.append('\0');
        ASSERT_TRUE(writeBytes(copy, bytes));
        const QString why = plan.verify(copy);
        if (!c.says)
            EXPECT_TRUE(why.isNull()) << why.toStdString();
        else
            EXPECT_TRUE(why.contains(QLatin1String(c.says))) << why.toStdString();
    }
}

TEST_F(AtomParserTest, ARewriteThatWouldPushA32BitOffsetPast4GiBIsRefused) {
    // A sparse file whose audio reaches past 4 GiB, with a chunk near the
    // 32-bit limit: moving it by the growth of "moov" cannot be expressed.
    QByteArray bytes = buildM4a({.freePadding = 0, .largeSizeMdat = true});
    const qint64 mdat = bytes.indexOf("mdat") - 4;
    const quint64 fileSize = (quint64(1) << 32) + 4096;
    qToBigEndian<quint64>(fileSize - quint64(mdat), bytes.data() + mdat + 8);
    const qint64 stco = bytes.indexOf("stco");
    qToBigEndian<quint32>(0xFFFFFF00u, bytes.data() + stco + 12); // the first chunk offset
    ASSERT_TRUE(writeBytes(path(), bytes));
    ASSERT_EQ(::truncate(QFile::encodeName(path()).constData(), off_t(fileSize)), 0);
    auto file = M4AFile::newM4AFileWithPath(path());
    ASSERT_TRUE(file);
    file->setTags({.title = QStringLiteral("Longer than before, so the file is rewritten")},
                  TagField::Title);
    const Outcome saved = SaveBatch::saveOne(*file);
    EXPECT_FALSE(saved.ok());
    EXPECT_TRUE(saved.reason.contains(QStringLiteral("4 GiB"))) << saved.reason.toStdString();
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), qint64(fileSize));
    EXPECT_EQ(f.read(bytes.size()), bytes);
}

TEST_F(AtomParserTest, AFileChangedOnDiskIsNotWrittenOver) {
    const QString p = make();
    auto file = M4AFile::newM4AFileWithPath(p);
    QByteArray changed = readBytes(p);
    changed.append("extra", 5);
    ASSERT_TRUE(writeBytes(p, changed));
    file->setTags({.title = QStringLiteral("Mine")}, TagField::Title);
    EXPECT_FALSE(SaveBatch::saveOne(*file).ok());
    EXPECT_EQ(readBytes(p), changed);

    // Replaced by another program's atomic save: the path holds a new inode.
    const QString q = path(QStringLiteral("other.m4a"));
    ASSERT_TRUE(writeM4a(q));
    auto second = M4AFile::newM4AFileWithPath(q);
    const QByteArray replacement = buildM4a({.title = QStringLiteral("Theirs")});
    ASSERT_TRUE(writeBytes(q + QStringLiteral(".new"), replacement));
    ASSERT_EQ(::rename(QFile::encodeName(q + QStringLiteral(".new")).constData(),
                       QFile::encodeName(q).constData()),
              0);
    second->setTags({.title = QStringLiteral("Mine")}, TagField::Title);
    EXPECT_FALSE(SaveBatch::saveOne(*second).ok());
    EXPECT_EQ(readBytes(q), replacement);
}

TEST_F(AtomParserTest, SavingThroughASymbolicLinkWritesItsTarget) {
    const QString target = make();
    const QString link = path(QStringLiteral("link.m4a"));
    ASSERT_TRUE(QFile::link(target, link));
    for (bool wholeFile : {false, true}) {
        auto file = M4AFile::newM4AFileWithPath(link);
        ASSERT_TRUE(file);
        if (wholeFile) file->tagImage(QtPictureCodec::fromImage(coverOfSize(40)));
        file->setTags(
            {.title = wholeFile ? QStringLiteral("Through link 2") : QStringLiteral("Link 1")},
            TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(readWithTagLib(target).title,
                  wholeFile ? QStringLiteral("Through link 2") : QStringLiteral("Link 1"));
    }
}

TEST_F(AtomParserTest, FragmentedFilesAreNotWritten) {
    QByteArray bytes = buildM4a({});
    bytes += QByteArray::fromHex("00000010") + "moof" + QByteArray(8, '\0');
    ASSERT_TRUE(writeBytes(path(), bytes));
    auto file = M4AFile::newM4AFileWithPath(path());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->readTags().title, QStringLiteral("Fixture Title"));
    file->setTags({.title = QStringLiteral("x")}, TagField::Title);
    const Outcome saved = SaveBatch::saveOne(*file);
    EXPECT_FALSE(saved.ok());
    EXPECT_TRUE(saved.reason.contains(QStringLiteral("fragmented")));
    EXPECT_EQ(readBytes(path()), bytes);
}

TEST_F(AtomParserTest, AFileLockedByAnotherWriterIsReadButNotWritten) {
    const QString p = make();
    const int other = ::open(QFile::encodeName(p).constData(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    const QByteArray before = readBytes(p);
    auto file = M4AFile::newM4AFileWithPath(p);
    ASSERT_TRUE(file);
    file->setTags({.title = QStringLiteral("x")}, TagField::Title);
    const Outcome saved = SaveBatch::saveOne(*file);
    EXPECT_FALSE(saved.ok());
    EXPECT_TRUE(saved.reason.contains(QStringLiteral("in use")));
    EXPECT_EQ(readBytes(p), before);
    ::close(other);
}

TEST_F(AtomParserTest, OpenFilesHoldNoDescriptors) {
    // A folder document keeps every file object of an album; they must not
    // run the process out of descriptors.
    const QString p = make();
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    struct rlimit low = old;
    low.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<std::shared_ptr<M4AFile>> open;
    for (int i = 0; i < 200; ++i)
        open.push_back(M4AFile::newM4AFileWithPath(p));
    ::setrlimit(RLIMIT_NOFILE, &old);
    for (const auto& file : open)
        ASSERT_TRUE(file);
    open.back()->setTags({.title = QStringLiteral("Last")}, TagField::Title);
    EXPECT_TRUE(SaveBatch::saveOne(*open.back()).ok());
}

TEST_F(AtomParserTest, AWholeFileRewriteKeepsThePermissions) {
    const QString p = make({.freePadding = 0});
    const QByteArray native = QFile::encodeName(p);
    ASSERT_EQ(::chmod(native.constData(), 0640), 0);
    auto file = M4AFile::newM4AFileWithPath(p);
    file->setTags({.title = QStringLiteral("Rewritten as a whole")}, TagField::Title);
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    struct stat st {};
    ASSERT_EQ(::stat(native.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A long track's sample tables (2,048 samples and chunks: 8 KB each) are not
// held once the file is parsed; a save in place, one that moves the audio
// (moov before mdat) and one after it, lends them back and leaves them in
// the file again, and every chunk offset still points at its audio.
TEST_F(AtomParserTest, ALongTracksSampleTablesStayInTheFile) {
    const auto tablesInFile = [](AtomParser& parser) {
        Atom* stsz = parser.find(AtomTypes::kStsz);
        Atom* stco = parser.find(AtomTypes::kStco);
        return stsz && stco && stsz->contentsInFile() && stco->contentsInFile();
    };
    const struct {
        const char* name;
        bool moovAfterMdat;
        QString title;
        int64_t moved; // how far the audio moves
    } rows[] = {
        {"in place", false, QStringLiteral("Short"), 0},
        {"a new file", false, QString(3000, u'x'), -1},
        {"a new file, moov after the audio", true, QString(3000, u'x'), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString p = make({.moovAfterMdat = row.moovAfterMdat, .mdatBytes = 2 << 20});
        const QByteArray before = readBytes(p);
        auto file = M4AFile::newM4AFileWithPath(p);
        ASSERT_TRUE(file);
        ASSERT_TRUE(tablesInFile(*file->atomParser()));
        file->setTags({.title = row.title}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        EXPECT_TRUE(tablesInFile(*file->atomParser()));
        const QByteArray after = readBytes(p);
        EXPECT_TRUE(sameAudio(before, after));
        const auto offsetsBefore = chunkOffsets(before);
        const auto offsetsAfter = chunkOffsets(after);
        ASSERT_EQ(offsetsBefore.size(), 2048u);
        ASSERT_EQ(offsetsAfter.size(), offsetsBefore.size());
        const int64_t moved = row.moved >= 0 ? row.moved : after.size() - before.size();
        for (size_t i = 0; i < offsetsBefore.size(); ++i)
            ASSERT_EQ(offsetsAfter[i], offsetsBefore[i] + uint64_t(moved)) << i;
        EXPECT_EQ(readWithTagLib(p).title, row.title);
        auto again = M4AFile::newM4AFileWithPath(p);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->readTags().title, row.title);
    }
}
