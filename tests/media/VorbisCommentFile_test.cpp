#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "pictures/QtPictureCodec.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/OutcomeChecks.h"
#include "support/Pictures.h"
#include "support/XiphFixture.h"
#include "system/SaveSteps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <gtest/gtest.h>

#include <functional>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

struct Kind {
    XiphKind kind;
    const char* name;
};
const Kind kKinds[] = {{XiphKind::Flac, "song.flac"},
                       {XiphKind::Vorbis, "song.ogg"},
                       {XiphKind::Opus, "SONG.OPUS"},
                       {XiphKind::OggFlac, "song.oga"}};

// Pictures (type and image) as TagLib reads them, in order.
std::vector<std::pair<int, QByteArray>> picturesOf(const QString& path, XiphKind kind) {
    const QByteArray native = QFile::encodeName(path);
    std::vector<std::pair<int, QByteArray>> pictures;
    auto collect = [&](const TagLib::List<TagLib::FLAC::Picture*>& list) {
        for (const TagLib::FLAC::Picture* p : list)
            pictures.emplace_back(int(p->type()),
                                  QByteArray(p->data().data(), qsizetype(p->data().size())));
    };
    switch (kind) {
    case XiphKind::Flac: {
        TagLib::FLAC::File f(native.constData());
        collect(f.pictureList());
        break;
    }
    case XiphKind::Vorbis: {
        TagLib::Ogg::Vorbis::File f(native.constData());
        collect(f.tag()->pictureList());
        break;
    }
    case XiphKind::Opus: {
        TagLib::Ogg::Opus::File f(native.constData());
        collect(f.tag()->pictureList());
        break;
    }
    case XiphKind::OggFlac: {
        TagLib::Ogg::FLAC::File f(native.constData());
        collect(f.tag()->pictureList());
        break;
    }
    }
    return pictures;
}

std::vector<int> pictureTypes(const QString& path, XiphKind kind) {
    std::vector<int> types;
    for (const auto& picture : picturesOf(path, kind))
        types.push_back(picture.first);
    return types;
}

// Where the FLAC metadata block of that type starts (its header), or -1.
qsizetype flacBlockAt(const QByteArray& bytes, int type) {
    for (qsizetype at = 4; at + 4 <= bytes.size();) {
        if ((bytes[at] & 0x7F) == type) return at;
        if (bytes[at] & 0x80) break;
        at += 4 + ((quint8(bytes[at + 1]) << 16) | (quint8(bytes[at + 2]) << 8) |
                   quint8(bytes[at + 3]));
    }
    return -1;
}

// A FLAC file in `dir` holding these comment fields, opened.
std::shared_ptr<MusicFile> flacWith(const QTemporaryDir& dir, const QList<QByteArray>& comments) {
    XiphFixtureOptions options;
    options.comments = comments;
    const QString path = dir.filePath("a.flac");
    return writeXiphFile(path, XiphKind::Flac, options)
               ? MusicFileFactory::newMusicFileWithPath(path)
               : nullptr;
}

} // namespace

TEST(VorbisCommentFiles, EveryFieldCustomTagAndCoverSurviveASaveAndTheAudioDoesNot) {
    CustomTag custom;
    custom.setSavedSearchTerms(QStringLiteral("The Band / The Album"));
    custom.setResultKey(QStringLiteral("#AMG:42"));
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(k.name));
        XiphFixtureOptions options;
        options.comments = {"TITLE=old", "REPLAYGAIN_TRACK_GAIN=-3.1 dB", "TOTALTRACKS=9"};
        options.pictures = {{4, pngBytes(Qt::blue)}, {3, pngBytes(Qt::green)}};
        ASSERT_TRUE(writeXiphFile(path, k.kind, options));
        const QByteArray audio = xiphAudio(path, k.kind);
        ASSERT_FALSE(audio.isEmpty());

        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->readTags().title, "old");
        EXPECT_EQ(QtPictureCodec::toImage(file->getImage()).pixelColor(4, 4), QColor(Qt::green));
        EXPECT_GT(file->getBitrate(), 0);
        EXPECT_EQ(file->getDurationSecs(), 1u);

        file->setTags({.title = QStringLiteral("Café 東京")}, TagField::Title);
        file->setTags({.artist = QStringLiteral("The Band")}, TagField::Artist);
        file->setTags({.album = QStringLiteral("The Album")}, TagField::Album);
        file->setTags({.year = QString::number(1999)}, TagField::Year);
        file->setTags({.genre = QStringLiteral("Rock")}, TagField::Genre);
        file->setTags(TagValues::withTrack(4, 12), TagField::Track | TagField::TrackCount);
        file->setTags({.custom = custom}, TagField::Custom);
        QImage red(16, 16, QImage::Format_RGB32);
        red.fill(Qt::red);
        file->tagImage(QtPictureCodec::fromImage(red));
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        EXPECT_EQ(xiphAudio(path, k.kind), audio);

        auto again = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->readTags().title, QStringLiteral("Café 東京"));
        EXPECT_EQ(again->readTags().artist, "The Band");
        EXPECT_EQ(again->readTags().album, "The Album");
        EXPECT_EQ(again->readTags().year, "1999");
        EXPECT_EQ(again->readTags().genre, "Rock");
        EXPECT_EQ(again->readTags().longTrack(), "4/12");
        EXPECT_EQ(again->readTags().trackNumber(), 4);
        EXPECT_EQ(again->readTags().trackCountNumber(), 12);
        ASSERT_TRUE(again->readTags().custom);
        EXPECT_EQ(again->readTags().custom->customTagToString(), custom.customTagToString());
        EXPECT_GT(QtPictureCodec::toImage(again->getImage()).pixelColor(8, 8).red(), 200);
        EXPECT_EQ(again->getDurationSecs(), 1u);

        // Other readers see the same fields; what the program does not
        // manage stays.
        const TagLib::FileRef ref(QFile::encodeName(path).constData());
        ASSERT_FALSE(ref.isNull());
        EXPECT_EQ(QString::fromStdWString(ref.tag()->title().toWString()),
                  QStringLiteral("Café 東京"));
        const TagLib::PropertyMap props = ref.file()->properties();
        EXPECT_EQ(props["REPLAYGAIN_TRACK_GAIN"].toString(), "-3.1 dB");
        EXPECT_EQ(pictureTypes(path, k.kind), (std::vector<int>{4, 3}));

        // Removing the cover keeps the back cover; a comment over a page's
        // 64 KiB moves the audio pages, which keep their packets and order.
        again->tagImage(Picture());
        again->setTags({.album = QString(70000, u'a')}, TagField::Album);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*again)));
        EXPECT_EQ(pictureTypes(path, k.kind), std::vector<int>{4});
        EXPECT_EQ(xiphAudio(path, k.kind), audio);
        EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(path)->readTags().album.size(), 70000);
    }
}

TEST(VorbisCommentFiles, TrackCountYearAndMissingFieldsRead) {
    struct Row {
        QList<QByteArray> comments;
        const char *track, *count, *longTrack, *year;
        int trackNum, maxTracks;
    };
    const Row rows[] = {
        {{"TRACKNUMBER=3/12"}, "3", "12", "3/12", nullptr, 3, 12},
        {{"TRACKNUMBER=3", "TOTALTRACKS=10"}, "3", "10", "3/10", nullptr, 3, 10},
        {{"tracknumber=3/12", "TRACKTOTAL=14"}, "3", "14", "3/14", nullptr, 3, 14},
        {{"DATE=2004-05-01"}, nullptr, nullptr, nullptr, "2004", 0, 0},
        {{"DATE=1999"}, nullptr, nullptr, nullptr, "1999", 0, 0},
        {{}, nullptr, nullptr, nullptr, nullptr, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.comments.join(',').toStdString());
        QTemporaryDir dir;
        auto file = flacWith(dir, row.comments);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->readTags().track, QString::fromLatin1(row.track));
        EXPECT_EQ(file->readTags().trackCount.isEmpty(), row.count == nullptr);
        if (row.count) {
            EXPECT_EQ(file->readTags().trackCount, QString::fromLatin1(row.count));
        }
        EXPECT_EQ(file->readTags().longTrack(), QString::fromLatin1(row.longTrack));
        EXPECT_EQ(file->readTags().year, QString::fromLatin1(row.year));
        EXPECT_EQ(file->readTags().trackNumber(), row.trackNum);
        EXPECT_EQ(file->readTags().trackCountNumber(), row.maxTracks);
        if (row.comments.isEmpty()) {
            // A missing title is absent, so the record shows the file name.
            EXPECT_TRUE(file->readTags().title.isNull());
            EXPECT_FALSE(file->readTags().custom);
            EXPECT_FALSE(file->hasImage());
        }
    }
}

TEST(VorbisCommentFiles, TheTrackCountGoesUnderTheNamesTheFileUses) {
    struct Row {
        QList<QByteArray> comments;
        const char *trackTotal, *totalTracks; // after the save; null: no field
    };
    const Row rows[] = {
        {{"TOTALTRACKS=9"}, nullptr, "12"},
        {{"TRACKTOTAL=9"}, "12", nullptr},
        {{"TRACKTOTAL=9", "TOTALTRACKS=9"}, "12", "12"},
        {{"TRACKNUMBER=2/9"}, "12", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.comments.join(',').toStdString());
        QTemporaryDir dir;
        auto file = flacWith(dir, row.comments);
        ASSERT_TRUE(file);
        file->setTags(TagValues::withTrack(4, 12), TagField::Track | TagField::TrackCount);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        const TagLib::FileRef ref(QFile::encodeName(file->path()).constData());
        const TagLib::PropertyMap props = ref.file()->properties();
        for (const auto& [name, value] :
             {std::pair{"TRACKTOTAL", row.trackTotal}, std::pair{"TOTALTRACKS", row.totalTracks}}) {
            EXPECT_EQ(props.contains(name), value != nullptr) << name;
            if (value) {
                EXPECT_EQ(props[name].toString(), value) << name;
            }
        }
        EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(file->path())->readTags().longTrack(),
                  "4/12");
    }
}

TEST(VorbisCommentFiles, FlacSavesInPlaceWhenTheCommentFitsThePaddingElseWritesANewFile) {
    struct Row {
        const char* name;
        int padding;
        int titleLength; // negative: the padding's length plus this
        bool inPlace;
    };
    const Row rows[] = {
        {"fits the padding", 8192, 100, true},
        {"leaves an empty padding block", 8192, -10, true},
        {"takes the padding block's place", 8192, -6, true},
        {"too large to leave a padding block", 8192, -8, false},
        {"larger than the padding", 64, 2000, false},
        {"no comments, no padding", -1, 10, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.flac");
        XiphFixtureOptions options;
        options.padding = row.padding;
        ASSERT_TRUE(writeXiphFile(path, XiphKind::Flac, options));
        const QByteArray before = readBytes(path);
        const QByteArray audio = xiphAudio(path, XiphKind::Flac);
        const ino_t inode = inodeOf(path);
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        // The field takes 10 bytes more than its title ("TITLE=" and a
        // length); the padding's block header 4.
        const int length = row.titleLength >= 0 ? row.titleLength : row.padding + row.titleLength;
        file->setTags({.title = QString(length, u'x')}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        const QByteArray after = readBytes(path);
        EXPECT_EQ(inodeOf(path) == inode, row.inPlace);
        if (row.inPlace) {
            EXPECT_EQ(after.size(), before.size());
        }
        EXPECT_EQ(xiphAudio(path, XiphKind::Flac), audio);
        auto again = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->readTags().title.size(), length);
    }
}

// Through a symbolic link the file it names is written, in place or anew,
// and the link stays a link.
TEST(VorbisCommentFiles, ASaveThroughALinkWritesTheFileItNames) {
    for (const Kind& kind : kKinds) {
        for (const int titleLength : {10, 20000}) {
            SCOPED_TRACE(std::string(kind.name) + " title " + std::to_string(titleLength));
            QTemporaryDir dir;
            const QString real = dir.filePath(kind.name);
            const QString link = dir.filePath(QStringLiteral("link-") + kind.name);
            ASSERT_TRUE(writeXiphFile(real, kind.kind, {}));
            ASSERT_TRUE(QFile::link(real, link));
            auto file = MusicFileFactory::newMusicFileWithPath(link);
            ASSERT_TRUE(file);
            file->setTags({.title = QString(titleLength, u'x')}, TagField::Title);
            ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
            EXPECT_TRUE(QFileInfo(link).isSymLink());
            EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(real)->readTags().title.size(),
                      titleLength);
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                      2);
        }
    }
}

// The object a save wrote through takes the layout the save's check read
// back, unless the file changed before the save ended: then it reads the
// file again, and its next save is planned on what the file holds.
TEST(VorbisCommentFiles, AFlacFileChangedWhileItIsSavedIsReadAgain) {
    for (const bool changedMeanwhile : {false, true}) {
        SCOPED_TRACE(changedMeanwhile ? "changed meanwhile" : "left alone");
        QTemporaryDir dir;
        const QString path = dir.filePath("a.flac");
        ASSERT_TRUE(writeXiphFile(path, XiphKind::Flac));
        const QByteArray audio = xiphAudio(path, XiphKind::Flac);
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        file->setTags({.title = QStringLiteral("Saved")}, TagField::Title);
        // Once the written file was checked, another program moves its audio
        // with a comment larger than the padding.
        SaveSteps::setHook([&](const char* step) {
            if (!changedMeanwhile || std::string_view(step) != "tags-sync") return;
            TagLib::FLAC::File other(QFile::encodeName(path).constData(), false);
            other.xiphComment(true)->addField("COMMENT", TagLib::String(std::string(5000, 'c')));
            other.save();
        });
        const Outcome saved = SaveBatch::saveOne(*file);
        SaveSteps::setHook({});
        ASSERT_TRUE(isDone(saved));
        file->setTags({.title = QStringLiteral("Again")}, TagField::Title);
        EXPECT_TRUE(isDone(SaveBatch::saveOne(*file)));
        EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(path)->readTags().title,
                  QStringLiteral("Again"));
        EXPECT_EQ(xiphAudio(path, XiphKind::Flac), audio);
    }
}

// A retag writes the comment and padding only: the pictures, most of a
// FLAC file's metadata, stay where they lie, the comment taking the first
// gap it fits, before or after them, and padding the rest.
TEST(VorbisCommentFiles, FlacRetagLeavesThePicturesWhereTheyLie) {
    const int kTitle = 300;
    const struct {
        const char* name;
        int titleLength;
        bool commentFirst; // the comment still before the pictures
    } saves[] = {
        {"a shorter comment stays where it was", 100, true},
        {"a comment shorter by a padding header and less moves past the pictures", kTitle - 2,
         false},
        {"a longer comment goes after the pictures", 900, false},
        {"a short one takes the first gap it fits again", 40, true},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("a.flac");
    XiphFixtureOptions options;
    options.comments = {"TITLE=" + QByteArray(kTitle, 't')};
    options.pictures = {{3, QByteArray(5000, 'f')}, {4, QByteArray(4000, 'b')}};
    options.padding = 2000;
    ASSERT_TRUE(writeXiphFile(path, XiphKind::Flac, options));
    const QByteArray original = readBytes(path);
    const qsizetype picturesAt = flacBlockAt(original, 6);
    qsizetype picturesEnd = picturesAt;
    while ((original[picturesEnd] & 0x7F) == 6)
        picturesEnd +=
            4 + ((quint8(original[picturesEnd + 1]) << 16) |
                 (quint8(original[picturesEnd + 2]) << 8) | quint8(original[picturesEnd + 3]));
    const qsizetype picturesLength = picturesEnd - picturesAt;
    const QByteArray pictureBytes = original.mid(picturesAt, picturesLength);
    const auto pictures = picturesOf(path, XiphKind::Flac);
    const QByteArray audio = xiphAudio(path, XiphKind::Flac);
    const ino_t inode = inodeOf(path);
    for (const auto& save : saves) {
        SCOPED_TRACE(save.name);
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        file->setTags({.title = QString(save.titleLength, u'x')}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        const QByteArray after = readBytes(path);
        EXPECT_EQ(inodeOf(path), inode);
        EXPECT_EQ(after.size(), original.size());
        EXPECT_EQ(after.mid(picturesAt, picturesLength), pictureBytes);
        EXPECT_EQ(flacBlockAt(after, 4) < picturesAt, save.commentFirst);
        EXPECT_EQ(picturesOf(path, XiphKind::Flac), pictures);
        EXPECT_EQ(xiphAudio(path, XiphKind::Flac), audio);
        auto again = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->readTags().title.size(), save.titleLength);
    }
}

// Headers of megabytes, read a page after another and copied on a retag,
// come through it byte for byte.
TEST(VorbisCommentFiles, PicturesOfMegabytesSurviveARetag) {
    QByteArray large(1'500'000, Qt::Uninitialized);
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = char(i * 7 + i / 251);
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(k.name));
        XiphFixtureOptions options;
        options.pictures = {{3, large}, {4, QByteArray(200'000, 'b')}};
        ASSERT_TRUE(writeXiphFile(path, k.kind, options));
        const auto pictures = picturesOf(path, k.kind);
        ASSERT_EQ(pictures.size(), 2u);
        const QByteArray audio = xiphAudio(path, k.kind);
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        file->setTags({.title = QStringLiteral("new")}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        EXPECT_EQ(picturesOf(path, k.kind), pictures);
        EXPECT_EQ(xiphAudio(path, k.kind), audio);
        auto again = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->readTags().title, "new");
    }
}

TEST(VorbisCommentFiles, DamagedFilesAreRefusedAndLeftUnchanged) {
    struct Row {
        const char* name;
        XiphKind kind;
        const char* file;
        std::function<void(QByteArray&)> damage;
        bool opens; // refused at saving rather than at opening
    };
    const Row rows[] = {
        {"truncated stream info block", XiphKind::Flac, "a.flac", [](QByteArray& b) { b[7] = 20; },
         false},
        {"picture block running past the end", XiphKind::Flac, "a.flac",
         [](QByteArray& b) {
             const qsizetype at = flacBlockAt(b, 6);
             b[at + 1] = char(0x7F);
         },
         false},
        {"bad checksum on a header page", XiphKind::Vorbis, "a.ogg",
         [](QByteArray& b) { b[b.indexOf("vorbis", 40) + 20] ^= 1; }, false},
        {"bad checksum on an audio page", XiphKind::Vorbis, "a.ogg",
         [](QByteArray& b) { b[b.size() - 10] ^= 1; }, true},
        {"bad checksum on an Opus audio page", XiphKind::Opus, "a.opus",
         [](QByteArray& b) { b[b.size() - 10] ^= 1; }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(row.file));
        XiphFixtureOptions options;
        options.pictures = {{3, pngBytes(Qt::green)}};
        ASSERT_TRUE(writeXiphFile(path, row.kind, options));
        QByteArray bytes = readBytes(path);
        row.damage(bytes);
        ASSERT_TRUE(writeBytes(path, bytes));
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        EXPECT_EQ(bool(file), row.opens);
        if (file) {
            file->setTags({.title = QStringLiteral("new")}, TagField::Title);
            const Outcome saved = SaveBatch::saveOne(*file);
            EXPECT_FALSE(saved.ok());
            EXPECT_TRUE(saved.reason.contains("damaged")) << saved.reason.toStdString();
        }
        EXPECT_EQ(readBytes(path), bytes);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }
}

// Opening a file asks whether it has a picture without reading it: the
// answer is what reading it gives, also for blocks TagLib refuses.
TEST(VorbisCommentFiles, HasImageIsWhetherAnImageReads) {
    const QByteArray good = flacPictureBody(3, QByteArray(40, 'x'));
    QByteArray hugeMime = good;
    hugeMime[4] = '\x7f';
    QByteArray hugeData = good;
    hugeData[good.size() - 44] = '\x7f';
    // A picture whose description runs past the first bytes decoded.
    TagLib::FLAC::Picture described;
    described.setType(TagLib::FLAC::Picture::FrontCover);
    described.setDescription(TagLib::String(std::string(300, 'd')));
    described.setData(TagLib::ByteVector(40, 'x'));
    const TagLib::ByteVector describedBody = described.render();
    QByteArray wrapped = good.toBase64();
    wrapped.insert(20, "\r\n");
    struct Row {
        const char* name;
        QByteArray body;
        bool image;
        QByteArray field = {}; // when the field is not the body's plain base64
    } rows[] = {
        {"front cover", good, true},
        {"other", flacPictureBody(0, "y"), true},
        {"back cover only", flacPictureBody(4, "y"), false},
        {"no bytes", flacPictureBody(3, {}), false},
        {"cut short", good.chopped(1), false},
        {"type field alone", good.left(4), false},
        {"media type past the end", hugeMime, false},
        {"image past the end", hugeData, false},
        {"long description", QByteArray(describedBody.data(), describedBody.size()), true},
        {"line break in the base64", {}, true, wrapped},
        {"base64 without padding", {}, true, good.toBase64(QByteArray::OmitTrailingEquals)},
        {"padding alone", {}, false, "===="},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.ogg");
        XiphFixtureOptions options;
        options.comments = {"TITLE=t", "METADATA_BLOCK_PICTURE=" +
                                           (row.field.isNull() ? row.body.toBase64() : row.field)};
        ASSERT_TRUE(writeXiphFile(path, XiphKind::Vorbis, options));
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->hasImage(), row.image);
        EXPECT_EQ(file->getImageData().isEmpty(), !row.image);
    }
    // The picture's own bytes, whichever padding its base64 ends in.
    for (const int length : {40, 41, 42}) {
        SCOPED_TRACE(length);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.ogg");
        const QByteArray data = QByteArray(length, 'x') + "\xff\xfe";
        XiphFixtureOptions options;
        options.comments = {"TITLE=t",
                            "METADATA_BLOCK_PICTURE=" + flacPictureBody(3, data).toBase64()};
        ASSERT_TRUE(writeXiphFile(path, XiphKind::Vorbis, options));
        EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(path)->getImageData(), data);
    }
}

// Length and bitrate are those TagLib's average reading gives: for Ogg from
// the granule position of the page at the last capture pattern and the
// file's bytes but its header packets, for FLAC from the stream information
// and the bytes after the metadata but an ID3v1 tag.
TEST(VorbisCommentFiles, LengthAndBitrateAreTagLibs) {
    auto page = [](quint8 segments, qint64 granule) {
        QByteArray head("OggS\0\x04", 6);
        char raw[8];
        qToLittleEndian(granule, raw);
        head.append(raw, 8);
        head += QByteArray(12, '\0');
        head += char(segments);
        return head + QByteArray(segments, '\x01') + QByteArray(segments, 'a');
    };
    struct Row {
        const char* name;
        XiphKind kind;
        QByteArray tail; // appended to the file
        bool cover = false;
    } rows[] = {
        {"Vorbis", XiphKind::Vorbis, {}},
        {"Opus", XiphKind::Opus, {}},
        {"Vorbis with a cover over many pages", XiphKind::Vorbis, {}, true},
        {"Opus with a cover over many pages", XiphKind::Opus, {}, true},
        {"Vorbis ending in a later page", XiphKind::Vorbis, page(1, 44100 * 200)},
        {"Opus ending in a later page", XiphKind::Opus, page(1, 48000 * 200)},
        {"a last page without lacing values", XiphKind::Vorbis, page(0, 44100 * 200)},
        {"a last Opus page cut short", XiphKind::Opus, page(3, 48000 * 200).left(29)},
        {"a capture pattern in the last bytes", XiphKind::Vorbis, "xxOggSxx"},
        {"a granule position before the start", XiphKind::Opus, page(1, -5)},
        {"a granule position past any length", XiphKind::Opus, page(1, qint64(1) << 62)},
        {"FLAC", XiphKind::Flac, {}},
        {"FLAC with bytes after its audio", XiphKind::Flac, QByteArray(5000, 'z')},
        {"FLAC with an ID3v1 tag", XiphKind::Flac, "TAG" + QByteArray(125, ' ')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(row.kind == XiphKind::Opus   ? "a.opus"
                                          : row.kind == XiphKind::Flac ? "a.flac"
                                                                       : "a.ogg");
        XiphFixtureOptions options;
        options.comments = {"TITLE=t"};
        if (row.cover) options.pictures = {{3, QByteArray(200000, 'p')}};
        ASSERT_TRUE(writeXiphFile(path, row.kind, options));
        ASSERT_TRUE(writeBytes(path, readBytes(path) + row.tail));
        const TagLib::FileRef ref(QFile::encodeName(path).constData(), true,
                                  TagLib::AudioProperties::Average);
        ASSERT_TRUE(!ref.isNull() && ref.audioProperties());
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->getBitrate(), ref.audioProperties()->bitrate());
        EXPECT_EQ(int(file->getDurationSecs()),
                  std::max(0, ref.audioProperties()->lengthInSeconds()));
    }
}

// Opening keeps no picture's bytes: a cover is read from the file when
// asked for, also after saves that move the pictures or store a new one.
TEST(VorbisCommentFiles, ACoverIsReadFromTheFileAsStored) {
    const QByteArray back(3000, 'b'), front = pngBytes(Qt::green), red = pngBytes(Qt::red);
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(k.name));
        XiphFixtureOptions options;
        options.pictures = {{4, back}, {3, front}};
        ASSERT_TRUE(writeXiphFile(path, k.kind, options));
        auto file = MusicFileFactory::newMusicFileWithPath(path);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->getImageData(), front);

        file->setTags({.title = QString(3000, u't')}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        EXPECT_EQ(file->getImageData(), front);

        file->tagImageData(red, "png");
        EXPECT_EQ(file->getImageData(), red);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        file->setTags({.title = QStringLiteral("short")}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        EXPECT_EQ(file->getImageData(), red);
        EXPECT_EQ(picturesOf(path, k.kind),
                  (std::vector<std::pair<int, QByteArray>>{{4, back}, {3, red}}));
    }
}

// A file whose bytes changed after it was opened, even where its size and
// time stayed, gives no cover from the new bytes, and a save that would
// have to copy its pictures is refused rather than write it without them.
TEST(VorbisCommentFiles, AFileChangedSinceOpeningGivesNoCoverAndIsNotSaved) {
    struct Row {
        const char* name;
        bool timeKept;
        bool newCover; // else a new title
        const char* error;
    } rows[] = {
        {"rewritten", false, false, "changed by another program"},
        {"rewritten, time kept", true, false, "could not be read again"},
        {"rewritten, time kept, new front cover", true, true, "could not be read again"},
    };
    for (const Kind& k : kKinds) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(k.name) + ": " + row.name);
            QTemporaryDir dir;
            const QString path = dir.filePath(QString::fromLatin1(k.name));
            const QString other = dir.filePath(QStringLiteral("other"));
            XiphFixtureOptions options;
            options.pictures = {{4, QByteArray(3000, 'b')}, {3, QByteArray(3000, 'f')}};
            ASSERT_TRUE(writeXiphFile(path, k.kind, options));
            options.pictures = {{4, QByteArray(3000, 'b')}, {3, QByteArray(3000, 'g')}};
            ASSERT_TRUE(writeXiphFile(other, k.kind, options));
            const QByteArray changed = readBytes(other);
            QFile::remove(other);
            ASSERT_EQ(changed.size(), readBytes(path).size());

            auto file = MusicFileFactory::newMusicFileWithPath(path);
            ASSERT_TRUE(file);
            ASSERT_TRUE(file->hasImage());
            struct stat opened {};
            ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &opened), 0);
            {
                QFile f(path); // the same inode, written over
                ASSERT_TRUE(f.open(QIODevice::ReadWrite));
                ASSERT_EQ(f.write(changed), changed.size());
            }
            // The time set, as a write within the clock's tick may not move it.
            struct timespec times[2] = {opened.st_atim, opened.st_mtim};
            if (!row.timeKept) ++times[1].tv_sec;
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
            EXPECT_TRUE(file->getImageData().isEmpty());

            if (row.newCover)
                file->tagImageData(pngBytes(Qt::red), "png");
            else
                file->setTags({.title = QStringLiteral("new")}, TagField::Title);
            const Outcome saved = SaveBatch::saveOne(*file);
            EXPECT_FALSE(saved.ok());
            EXPECT_TRUE(saved.reason.contains(row.error)) << saved.reason.toStdString();
            EXPECT_EQ(readBytes(path), changed);
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
        }
    }
}
