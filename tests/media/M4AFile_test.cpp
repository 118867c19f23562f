#include "media/DataAtom.h"
#include "media/M4AFile.h"
#include "media/MusicFileFactory.h"
#include "pictures/QtPictureCodec.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/M4aChecks.h"
#include "support/OutcomeChecks.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class M4AFileTest : public ::testing::Test {
protected:
    QString make(const M4aFixtureOptions& o = {}, const QString& name = QStringLiteral("a.m4a")) {
        const QString p = fDir.filePath(name);
        EXPECT_TRUE(writeM4a(p, o));
        return p;
    }
    QTemporaryDir fDir;
};

// Whether the file object holds its cover's bytes, not only where they lie.
bool coverInMemory(M4AFile& file) {
    const Atom* covr = file.atomParser()->find(AtomTypes::kCovr);
    const Atom* data = covr ? covr->findChild(AtomTypes::kData) : nullptr;
    const auto* value = data && data->children().size() == 1
                            ? dynamic_cast<const DataAtom*>(data->children().front().get())
                            : nullptr;
    return value && !value->contentsInFile();
}

} // namespace

TEST_F(M4AFileTest, TheFactoryKnowsTheExtensionsInAnyCase) {
    for (const char* name : {"a.m4a", "b.M4A", "c.m4p", "d.M4p"}) {
        const QString p = make({}, QString::fromUtf8(name));
        auto file = MusicFileFactory::newMusicFileWithPath(p);
        ASSERT_TRUE(file) << name;
        EXPECT_EQ(file->readTags().title, QStringLiteral("Fixture Title")) << name;
    }
}

TEST_F(M4AFileTest, ReadsEveryTag) {
    M4aFixtureOptions o;
    o.cover = QByteArray("\x89PNG fake", 9);
    o.trackNum = 3;
    o.trackCount = 12;
    auto file = M4AFile::newM4AFileWithPath(make(o));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->readTags().title, QStringLiteral("Fixture Title"));
    EXPECT_EQ(file->readTags().artist, QStringLiteral("Fixture Artist"));
    EXPECT_EQ(file->readTags().album, QStringLiteral("Fixture Album"));
    EXPECT_EQ(file->readTags().year, QStringLiteral("2001"));
    EXPECT_EQ(file->readTags().genre, QStringLiteral("Rock"));
    EXPECT_EQ(file->readTags().track, QStringLiteral("3"));
    EXPECT_EQ(file->readTags().trackCount, QStringLiteral("12"));
    EXPECT_EQ(file->readTags().longTrack(), QStringLiteral("3/12"));
    EXPECT_EQ(file->readTags().trackNumber(), 3);
    EXPECT_EQ(file->readTags().trackCountNumber(), 12);
    EXPECT_EQ(file->getImageData(), o.cover); // kept encoded
    EXPECT_FALSE(file->readTags().custom.has_value());
    EXPECT_EQ(file->getDurationSecs(), 30u);
}

TEST_F(M4AFileTest, MissingItemsReadAsNull) {
    auto file = M4AFile::newM4AFileWithPath(make({.withMetadata = false}));
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->readTags().title.isNull());
    EXPECT_TRUE(file->readTags().genre.isNull());
    EXPECT_TRUE(file->readTags().year.isNull());
    EXPECT_EQ(file->readTags().trackNumber(), 0);
    EXPECT_FALSE(file->hasImage());
}

TEST_F(M4AFileTest, LongTrackTextShowsACountOfZero) {
    auto file = M4AFile::newM4AFileWithPath(make({.trackNum = 3, .trackCount = 0}));
    EXPECT_EQ(file->readTags().longTrack(), QStringLiteral("3/0"));
}

TEST_F(M4AFileTest, PlayingTimeAndBitRateFollowTheMovieHeader) {
    // Time scale 1000, duration 250000, 4 000 000 bytes of media data.
    auto file = M4AFile::newM4AFileWithPath(make({.mdatBytes = 4000000, .durationSecs = 250}));
    EXPECT_EQ(file->getDurationSecs(), 250u);
    EXPECT_EQ(file->getBitrate(), 125);
    auto empty = M4AFile::newM4AFileWithPath(make({.mdatBytes = 0}, QStringLiteral("e.m4a")));
    EXPECT_EQ(empty->getBitrate(), 0);
}

TEST_F(M4AFileTest, EveryTagRoundTripsThroughOurReaderAndTagLib) {
    const QString p = make();
    QImage cover(8, 6, QImage::Format_RGB32);
    cover.fill(Qt::red);
    {
        auto file = M4AFile::newM4AFileWithPath(p);
        file->setTags({.title = QStringLiteral("Été – 東京")}, TagField::Title);
        file->setTags({.artist = QStringLiteral("The Artist")}, TagField::Artist);
        file->setTags({.album = QStringLiteral("The Album")}, TagField::Album);
        file->setTags({.year = QString::number(1999)}, TagField::Year);
        file->setTags({.genre = QStringLiteral("Jazz")}, TagField::Genre);
        file->setTags(TagValues::withTrack(4, 11), TagField::Track | TagField::TrackCount);
        file->tagImage(QtPictureCodec::fromImage(cover));
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    }
    auto again = M4AFile::newM4AFileWithPath(p);
    EXPECT_EQ(again->readTags().title, QStringLiteral("Été – 東京"));
    EXPECT_EQ(again->readTags().artist, QStringLiteral("The Artist"));
    EXPECT_EQ(again->readTags().album, QStringLiteral("The Album"));
    EXPECT_EQ(again->readTags().year, QStringLiteral("1999"));
    EXPECT_EQ(again->readTags().genre, QStringLiteral("Jazz"));
    EXPECT_EQ(again->readTags().longTrack(), QStringLiteral("4/11"));
    EXPECT_EQ(again->getImage().size(), cover.size());
    EXPECT_EQ(static_cast<const DataAtom*>(again->atomParser()->find(AtomTypes::kCovr)->data())
                  ->typeWord(),
              DataAtom::kPng);

    const TagLibView seen = readWithTagLib(p);
    EXPECT_EQ(seen.title, QStringLiteral("Été – 東京"));
    EXPECT_EQ(seen.artist, QStringLiteral("The Artist"));
    EXPECT_EQ(seen.album, QStringLiteral("The Album"));
    EXPECT_EQ(seen.year, QStringLiteral("1999"));
    EXPECT_EQ(seen.genre, QStringLiteral("Jazz"));
    EXPECT_EQ(seen.track, 4);
    EXPECT_EQ(seen.trackCount, 11);
    EXPECT_EQ(QImage::fromData(seen.cover).pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(M4AFileTest, GenresMoveBetweenGnreAndFreeText) {
    struct Row {
        const char* name;
        M4aFixtureOptions options;
        const char* genre;
        bool gnre;
        bool gen;
        int index;
    };
    const Row rows[] = {
        {"standard over free text",
         {.freeGenre = QStringLiteral("Mine"), .genreIndex = 0},
         "Rock",
         true,
         false,
         18},
        {"free text over standard", {}, "Acid Folk Rock", false, true, 0},
        {"standard over standard", {}, "Blues", true, false, 1},
        {"free text over both",
         {.freeGenre = QStringLiteral("Mine"), .genreIndex = 18},
         "Other Thing",
         false,
         true,
         0},
        {"case matters", {}, "rock", false, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString p = make(row.options);
        auto file = M4AFile::newM4AFileWithPath(p);
        file->setTags({.genre = QString::fromUtf8(row.genre)}, TagField::Genre);
        AtomParser* parser = file->atomParser();
        EXPECT_EQ(parser->find(AtomTypes::kGnre) != nullptr, row.gnre);
        EXPECT_EQ(parser->find(AtomTypes::kGen) != nullptr, row.gen);
        if (row.gnre) {
            EXPECT_EQ(parser->find(AtomTypes::kGnre)->ushortArrayValue(0), row.index);
        }
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
        EXPECT_EQ(M4AFile::newM4AFileWithPath(p)->readTags().genre, QString::fromUtf8(row.genre));
        EXPECT_EQ(readWithTagLib(p).genre, QString::fromUtf8(row.genre));
    }
}

TEST_F(M4AFileTest, TrackWritesOnlyNumberAndCount) {
    const QString p = make();
    auto file = M4AFile::newM4AFileWithPath(p);
    Atom* value = file->atomParser()->find(AtomTypes::kTrkn)->data();
    value->setUShortArrayValue(0, 77);
    value->setUShortArrayValue(3, 99);
    file->setTags(TagValues::withTrack(3, 12), TagField::Track | TagField::TrackCount);
    EXPECT_EQ(value->ushortArrayValue(0), 77);
    EXPECT_EQ(value->ushortArrayValue(1), 3);
    EXPECT_EQ(value->ushortArrayValue(2), 12);
    EXPECT_EQ(value->ushortArrayValue(3), 99);
}

TEST_F(M4AFileTest, TagsTheFileLacksAreAdded) {
    // Without udta/meta/ilst at all, and with an ilst that lacks the items.
    for (const M4aFixtureOptions& o :
         {M4aFixtureOptions{.withMetadata = false}, M4aFixtureOptions{.title = QString(),
                                                    .artist = QString(),
                                                    .album = QString(),
                                                    .year = QString(),
                                                    .genreIndex = 0,
                                                    .trackNum = 0}}) {
        const QString p = make(o);
        const QByteArray before = readBytes(p);
        auto file = M4AFile::newM4AFileWithPath(p);
        file->setTags({.title = QStringLiteral("T")}, TagField::Title);
        file->setTags({.artist = QStringLiteral("Ar")}, TagField::Artist);
        file->setTags({.album = QStringLiteral("Al")}, TagField::Album);
        file->setTags({.year = QStringLiteral("2020")}, TagField::Year);
        file->setTags({.genre = QStringLiteral("Pop")}, TagField::Genre);
        file->setTags(TagValues::withTrack(2, 9), TagField::Track | TagField::TrackCount);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
        EXPECT_TRUE(sameAudio(before, readBytes(p)));
        const TagLibView seen = readWithTagLib(p);
        EXPECT_EQ(seen.title, QStringLiteral("T"));
        EXPECT_EQ(seen.artist, QStringLiteral("Ar"));
        EXPECT_EQ(seen.album, QStringLiteral("Al"));
        EXPECT_EQ(seen.year, QStringLiteral("2020"));
        EXPECT_EQ(seen.genre, QStringLiteral("Pop"));
        EXPECT_EQ(seen.track, 2);
        EXPECT_EQ(seen.trackCount, 9);
    }
}

TEST_F(M4AFileTest, ANullOrEmptyTextRemovesTheItem) {
    const QString p = make();
    auto file = M4AFile::newM4AFileWithPath(p);
    file->setTags({.title = QString()}, TagField::Title);
    file->setTags({.album = QStringLiteral("")},
                  TagField::Album); // an empty item would read as a value elsewhere
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    auto again = M4AFile::newM4AFileWithPath(p);
    EXPECT_TRUE(again->readTags().title.isNull());
    EXPECT_TRUE(again->readTags().album.isNull());
}

TEST_F(M4AFileTest, RemovingACoverThatIsNotThereChangesNothing) {
    const QString p = make();
    const QByteArray before = readBytes(p);
    auto file = M4AFile::newM4AFileWithPath(p);
    file->tagImage(Picture());
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    EXPECT_EQ(readBytes(p), before);
}

TEST_F(M4AFileTest, RenamedFilesAreSavedAtTheirNewPath) {
    const QString p = make();
    auto file = M4AFile::newM4AFileWithPath(p);
    const QString moved = fDir.filePath(QStringLiteral("moved.m4a"));
    ASSERT_TRUE(QFile::rename(p, moved));
    file->refreshAfterRename(moved);
    file->setTags({.title = QStringLiteral("Moved")}, TagField::Title);
    // Grows past the padding, so the whole file is written at the new path.
    file->setTags({.album = QString(3000, u'a')}, TagField::Album);
    ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
    EXPECT_FALSE(QFile::exists(p));
    EXPECT_EQ(readWithTagLib(moved).title, QStringLiteral("Moved"));
}

TEST_F(M4AFileTest, ALargeCoverStaysInTheFileThroughASave) {
    M4aFixtureOptions o;
    o.cover = QByteArray("\x89PNG", 4) + QByteArray(20000, 'p');
    const struct {
        const char* name;
        int freePadding;
        QString title;
        bool inMemoryAfter; // the file object keeps the moved cover's bytes
    } saves[] = {
        {"in place", 1024, QStringLiteral("New"), false},
        // As long as the title it replaces: the usual layout keeps the cover.
        {"in place, the same length", 1024, QStringLiteral("Changed Title"), false},
        // Too little padding to keep the cover where it lies: it moves.
        {"in place, moved", 24, QStringLiteral("Fixture Title, longer"), true},
        {"a new file", 1024, QString(3000, u'x'), false},
    };
    for (const auto& save : saves) {
        SCOPED_TRACE(save.name);
        o.freePadding = save.freePadding;
        const QString path = make(o);
        auto file = M4AFile::newM4AFileWithPath(path);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->hasImage());
        EXPECT_FALSE(coverInMemory(*file));
        // Saved in place or as a new file, the cover comes along.
        file->setTags({.title = save.title}, TagField::Title);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
        EXPECT_EQ(coverInMemory(*file), save.inMemoryAfter);
        EXPECT_EQ(file->getImageData(), o.cover);
        auto again = M4AFile::newM4AFileWithPath(path);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->getImageData(), o.cover);
        EXPECT_EQ(again->readTags().title, save.title);
        EXPECT_EQ(readWithTagLib(path).cover, o.cover);
    }
    o.freePadding = 1024;
    // Changed by another program after opening: no stale bytes are offered,
    // and nothing is written.
    const QString path = make(o);
    auto file = M4AFile::newM4AFileWithPath(path);
    ASSERT_TRUE(file);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("x");
    f.close();
    EXPECT_TRUE(file->getImageData().isEmpty());
    file->setTags({.title = QStringLiteral("New")}, TagField::Title);
    EXPECT_FALSE(SaveBatch::saveOne(*file).ok());
}

TEST_F(M4AFileTest, TheHeaderACoverComparisonReadServesOnlyItsOwnFileUnchanged) {
    // A save compares a file's cover with the new one just before planning
    // its write, on the same thread, and keeps the movie header it read for
    // the plan. Track 2 becomes 1 in a file whose header must not come from
    // what was kept: another file's, where track 1 is stored in the same
    // place, or its own before a change that left its modification time as
    // it was. Either would leave the 2 unwritten.
    M4aFixtureOptions o;
    o.cover = QByteArray("\x89PNG", 4) + QByteArray(20000, 'p');
    o.trackNum = 1;
    const QString other = make(o, QStringLiteral("other.m4a"));
    for (const bool sameFile : {false, true}) {
        SCOPED_TRACE(sameFile ? "its own header, changed since" : "another file's header");
        o.trackNum = sameFile ? 1 : 2;
        const QString path = make(o);
        auto compared = M4AFile::newM4AFileWithPath(sameFile ? path : other);
        auto file = M4AFile::newM4AFileWithPath(path);
        ASSERT_TRUE(compared && file);
        file->setTags(TagValues::withTrack(1, 10), TagField::Track | TagField::TrackCount);
        // As long as the old title: nothing else moves.
        file->setTags({.title = QStringLiteral("Changed Title")}, TagField::Title);
        SaveBatch batch(fDir.path());
        batch.add(file.get(), [&] {
            EXPECT_TRUE(compared->holdsImageData(o.cover));
            if (!sameFile) return;
            // Track 2 in place of 1, behind the modification time's back.
            QByteArray bytes = readBytes(path);
            const qsizetype number =
                bytes.indexOf(QByteArray("\0\x01\0\x0A", 4), bytes.indexOf("trkn"));
            ASSERT_GT(number, 0);
            bytes[number + 1] = 2;
            struct stat before {};
            ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
            ASSERT_TRUE(writeBytes(path, bytes));
            const struct timespec times[2] = {before.st_atim, before.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        });
        ASSERT_TRUE(batch.commit().front().ok());
        auto again = M4AFile::newM4AFileWithPath(path);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->readTags().trackNumber(), 1);
        EXPECT_EQ(again->getImageData(), o.cover);
    }
}

TEST_F(M4AFileTest, ALargeCoverKeepsItsPlaceWhenTheItemsBeforeItChangeLength) {
    // The cover is neither copied to the rollback journal nor written again:
    // it keeps its offset, and every reader still finds every item. Saved
    // again by the same file object, and once more after reopening.
    QByteArray cover = QByteArray("\xFF\xD8\xFF", 3);
    for (int i = 0; i < 30000; ++i)
        cover += char(i * 7919 >> 3);
    struct Tags {
        QString title, artist, album;
    };
    const struct {
        const char* name;
        Tags saves[3];
    } cases[] = {
        {"longer",
         {{QStringLiteral("A much longer title"), {}, {}},
          {QStringLiteral("T"), {}, {}},
          {QStringLiteral("Third"), {}, {}}}},
        {"several items",
         {{QStringLiteral("Title"), QStringLiteral("An artist of some length"),
           QStringLiteral("LP")},
          {{}, QStringLiteral("Artist"), QStringLiteral("A longer album")},
          {QStringLiteral("Title 3"), {}, QStringLiteral("")}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        M4aFixtureOptions o;
        o.cover = cover;
        o.coverType = DataAtom::kJpeg;
        const QString path = make(o);
        const QByteArray original = readBytes(path);
        const qsizetype covrAt = original.indexOf("covr") - 4;
        const QByteArray coverItem = original.mid(covrAt, 8 + 16 + cover.size());
        Tags expected{o.title, o.artist, o.album};
        std::shared_ptr<M4AFile> file;
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            const Tags& tags = c.saves[round];
            if (round != 1) file = M4AFile::newM4AFileWithPath(path);
            ASSERT_TRUE(file);
            if (!tags.title.isNull())
                file->setTags({.title = expected.title = tags.title}, TagField::Title);
            if (!tags.artist.isNull())
                file->setTags({.artist = expected.artist = tags.artist}, TagField::Artist);
            if (!tags.album.isNull())
                file->setTags({.album = expected.album = tags.album}, TagField::Album);
            const SavePlan plan = file->atomParser()->planSave();
            ASSERT_EQ(plan.kind, SavePlan::Kind::InPlace);
            for (const SaveRegion& r : plan.regions)
                EXPECT_TRUE(r.offset + uint64_t(r.bytes.size()) <= uint64_t(covrAt) ||
                            r.offset >= uint64_t(covrAt + coverItem.size()))
                    << "a region at " << r.offset << " overlaps the cover";
            ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
            EXPECT_EQ(file->getImageData(), cover); // still found where it lies

            const QByteArray saved = readBytes(path);
            EXPECT_EQ(saved.size(), original.size());
            EXPECT_EQ(saved.mid(covrAt, coverItem.size()), coverItem);
            EXPECT_TRUE(sameAudio(original, saved));
            auto again = M4AFile::newM4AFileWithPath(path);
            ASSERT_TRUE(again);
            EXPECT_EQ(again->readTags().title, expected.title);
            EXPECT_EQ(again->readTags().artist, expected.artist);
            EXPECT_EQ(again->readTags().album, expected.album);
            EXPECT_EQ(again->readTags().longTrack(), QStringLiteral("1/10"));
            EXPECT_EQ(again->getImageData(), cover);
            const TagLibView seen = readWithTagLib(path);
            EXPECT_EQ(seen.title, expected.title);
            EXPECT_EQ(seen.artist, expected.artist);
            EXPECT_EQ(seen.album, expected.album);
            EXPECT_EQ(seen.year, o.year);
            EXPECT_EQ(seen.genre, QStringLiteral("Rock"));
            EXPECT_EQ(seen.track, 1);
            EXPECT_EQ(seen.trackCount, 10);
            EXPECT_EQ(seen.cover, cover);
            EXPECT_EQ(seen.coverFormat, int(TagLib::MP4::CoverArt::JPEG));
        }
    }
}
