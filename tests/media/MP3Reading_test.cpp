// Opening reads plain tags with our own frame reader and everything else
// through TagLib: both must give the same record.
#include "media/FileIO.h"
#include "media/FileStretch.h"
#include "media/Id3FieldReader.h"
#include "media/MP3File.h"
#include "media/Mp3Audio.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/Mp3Fixture.h"
#include "support/OutcomeChecks.h"
#include "tags/CustomTag.h"

#include <QFile>
#include <QTemporaryDir>

#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace {

QByteArray utf16(const QString& s, bool bigEndian = false) {
    QByteArray body(1, char(bigEndian ? 2 : 1));
    if (!bigEndian) body += "\xFF\xFE";
    for (QChar c : s) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        body += bigEndian ? QByteArray{&hi, 1} + lo : QByteArray{&lo, 1} + hi;
    }
    return body;
}

QByteArray utf8(const QString& s) {
    return QByteArray(1, '\3') + s.toUtf8();
}

// A picture frame body: encoding, MIME type, picture type, description.
QByteArray jpegApicBody(char type, const QByteArray& bytes, char encoding = 0,
                        const QByteArray& description = "cover") {
    const QByteArray delimiter(encoding == 1 || encoding == 2 ? 2 : 1, '\0');
    return QByteArray(1, encoding) + "image/jpeg" + '\0' + type + description + delimiter + bytes;
}

QByteArray v1Tag(const char* title, char genre = 17, char track = 4) {
    QByteArray v1(128, '\0');
    v1.replace(0, 3, "TAG");
    v1.replace(3, qstrlen(title), title);
    v1.replace(93, 4, "1987");
    v1[126] = track;
    v1[127] = genre;
    return v1;
}

QByteArray audio(bool vbr = false, int frames = 60, int kbps = 128, bool vbri = false) {
    Mp3FixtureOptions o;
    o.xingVbr = vbr;
    o.vbri = vbri;
    o.frames = frames;
    o.bitrateKbps = kbps;
    return silentMp3Bytes(o);
}

QList<QByteArray> usual(int v) {
    return {id3v2Frame(v, "TIT2", latin1("Song")),
            id3v2Frame(v, "TPE1", latin1("Artist")),
            id3v2Frame(v, "TALB", latin1("Album")),
            id3v2Frame(v, "TYER", latin1("1999")),
            id3v2Frame(v, "TCON", latin1("Rock")),
            id3v2Frame(v, "TRCK", latin1("3/12")),
            id3v2Frame(v, "COMM", QByteArray("\0eng\0comment", 12)),
            id3v2Frame(v, "APIC", jpegApicBody(3, "JPEGDATA"))};
}

QString shown(const QString& s) {
    return s.isNull() ? QStringLiteral("(null)") : u'"' + s + u'"';
}

// Every value a record takes from its file, null and empty told apart.
QStringList record(MP3File& f) {
    f.getAllInterestingTags();
    const auto custom = f.readTags().custom;
    return {shown(f.readTags().title),
            shown(f.readTags().artist),
            shown(f.readTags().album),
            shown(f.readTags().year),
            shown(f.readTags().genre),
            shown(f.readTags().track),
            shown(f.readTags().longTrack()),
            shown(f.readTags().trackCount),
            custom ? shown(custom->customTagToString()) : QStringLiteral("(no custom tag)"),
            QString::number(f.hasImage()),
            QString::fromLatin1(f.getImageData().toHex()),
            QString::number(f.readTags().trackNumber()),
            QString::number(f.readTags().trackCountNumber()),
            QString::number(f.getBitrate()),
            QString::number(f.getDurationSecs()),
            shown(f.whyNotWritable())};
}

// Whether the file is read without TagLib; its audio figures to the
// millisecond must then be TagLib's.
bool readsFast(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    const FileIO::ClosedAtExit closer{fd};
    struct stat st {};
    ::fstat(fd, &st);
    const FileStretch file(fd, uint64_t(st.st_size), 0, Mp3Layout::kStartBytes);
    const Mp3Layout layout = Mp3Layout::read(file);
    const std::optional<Mp3Audio> audio = Mp3Audio::read(file, layout);
    if (audio) {
        TagLib::MPEG::File file(QFile::encodeName(path).constData());
        EXPECT_EQ(audio->lengthMs, file.audioProperties()->lengthInMilliseconds());
        EXPECT_EQ(audio->bitrate, file.audioProperties()->bitrate());
        EXPECT_EQ(audio->firstFrame, file.firstFrameOffset());
    }
    return Id3FieldReader::read(file, layout).has_value() && audio.has_value();
}

} // namespace

TEST(MP3ReadingTest, TheFrameReaderGivesTheRecordTagLibGives) {
    const QString east = QString::fromUtf8("東京 Ünïcode");
    const QString custom = QStringLiteral("searchTerms\tA / B\nvariousArtist\tVarious\n");
    const QByteArray customBody =
        QByteArray(1, '\0') + "WHAT_IS_THIS?\thttp://old.example/" + '\0' + custom.toLatin1();
    QByteArray unsynchronised = id3v2Tag(3, usual(3), 50);
    unsynchronised[5] = char(0x80);
    QByteArray footer = id3v2Tag(4, usual(4), 20);
    footer[5] = 0x10;
    QByteArray appended = id3v2Tag(4, {id3v2Frame(4, "TIT2", latin1("appended"))});
    appended[5] = 0x10;
    appended += QByteArray("3DI") + appended.mid(3, 7);
    // A frame of 200 bytes whose size is stored plain, not synch-safe.
    QByteArray plainSized = id3v2Frame(4, "TPE1", latin1(QByteArray(199, 'p').constData()));
    plainSized.replace(4, 4, QByteArray("\0\0\0\xC8", 4));
    QByteArray encrypted = id3v2Frame(3, "TIT2", latin1("secret"));
    encrypted[9] = 0x40;
    const QByteArray v22Frame = QByteArray("TT2\0\0\x05", 6) + latin1("Song");

    struct Row {
        const char* name;
        QByteArray bytes;
        bool fast;
    };
    const Row rows[] = {
        {"plain ID3v2.3 with ID3v1", id3v2Tag(3, usual(3), 100) + audio() + v1Tag("v1"), true},
        {"plain ID3v2.4, VBR", id3v2Tag(4, usual(4), 100) + audio(true), true},
        {"no padding", id3v2Tag(3, usual(3)) + audio(), true},
        {"no tags", audio(), true},
        {"VBRI header, ID3v1", id3v2Tag(3, usual(3)) + audio(false, 90, 128, true) + v1Tag("v1"),
         true},
        {"one frame", id3v2Tag(3, usual(3)) + audio(false, 1), true},
        {"two frames, 320 kbps", audio(false, 2, 320) + v1Tag("v1"), true},
        {"64 kbps, a long file", id3v2Tag(4, usual(4)) + audio(false, 3000, 64), true},
        {"Xing header, many frames", id3v2Tag(4, usual(4)) + audio(true, 2500, 192), true},
        {"junk behind the audio", id3v2Tag(3, usual(3)) + audio() + QByteArray(3000, '\xFF'), true},
        {"junk between tag and audio",
         id3v2Tag(3, usual(3)) + QByteArray(500, 'j') + audio() + v1Tag("v1"), false},
        {"ID3v1 only", audio() + v1Tag("only v1", char(255), 0), true},
        {"an empty tag", id3v2Tag(3, {}, 40) + audio() + v1Tag("v1"), true},
        {"UTF-16, UTF-16BE, UTF-8 texts",
         id3v2Tag(4,
                  {id3v2Frame(4, "TIT2", utf16(east)), id3v2Frame(4, "TPE1", utf16(east, true)),
                   id3v2Frame(4, "TALB", utf8(east)), id3v2Frame(4, "TCON", utf16(east))},
                  10) +
             audio(),
         true},
        {"UTF-16 without byte-order mark",
         id3v2Tag(3, {id3v2Frame(3, "TIT2", QByteArray("\x01S\0o\0", 5))}) + audio(), true},
        {"Latin-1 upper half", id3v2Tag(3, {id3v2Frame(3, "TPE1", latin1("Bj\xF6rk"))}) + audio(),
         true},
        {"several values and empty texts",
         id3v2Tag(4, {id3v2Frame(4, "TPE1", latin1("One\0Two")),
                      id3v2Frame(4, "TIT2", QByteArray("\0\0\0", 3)),
                      id3v2Frame(4, "TALB", QByteArray("\0", 1)),
                      id3v2Frame(4, "TCON", latin1("17\0Rock\0Rock"))}) +
             audio(),
         true},
        {"genre numbers", id3v2Tag(3, {id3v2Frame(3, "TCON", latin1("13"))}) + audio(), true},
        {"genre number out of range",
         id3v2Tag(3, {id3v2Frame(3, "TCON", latin1(" 300"))}) + audio(), true},
        {"genre in parentheses", id3v2Tag(3, {id3v2Frame(3, "TCON", latin1("(13)"))}) + audio(),
         true},
        {"genre in parentheses and text",
         id3v2Tag(3, {id3v2Frame(3, "TCON", latin1("(13)Pop (live)"))}) + audio(), true},
        {"track without count, twice",
         id3v2Tag(3, {id3v2Frame(3, "TRCK", latin1("7")), id3v2Frame(3, "TRCK", latin1("9/9"))}) +
             audio(),
         true},
        {"odd track texts",
         id3v2Tag(3, {id3v2Frame(3, "TRCK", latin1(" -3/x")), id3v2Frame(3, "TIT2", latin1("a"))}) +
             audio(),
         true},
        {"recording time in ID3v2.4",
         id3v2Tag(4, {id3v2Frame(4, "TDRC", latin1("2004-05-06")),
                      id3v2Frame(4, "TYER", latin1("1999"))}) +
             audio(),
         true},
        {"recording time in ID3v2.3",
         id3v2Tag(3,
                  {id3v2Frame(3, "TDRC", latin1("2004")), id3v2Frame(3, "TDAT", latin1("0605"))}) +
             audio(),
         true},
        {"year as a lone byte-order mark",
         id3v2Tag(3, {id3v2Frame(3, "TYER", QByteArray("\x00\xFE\xFF", 3))}) + audio(), true},
        {"custom tag", id3v2Tag(3, {id3v2Frame(3, "TTRX", customBody)}) + audio(), true},
        {"custom tag in ID3v2.4", id3v2Tag(4, {id3v2Frame(4, "TTRX", customBody)}) + audio(), true},
        {"other picture before front cover",
         id3v2Tag(3, {id3v2Frame(3, "APIC", jpegApicBody(0, "OTHER")),
                      id3v2Frame(3, "APIC", jpegApicBody(3, "FRONT"))}) +
             audio(),
         true},
        {"other picture only, UTF-16 description",
         id3v2Tag(3, {id3v2Frame(3, "APIC", jpegApicBody(4, "BACK")),
                      id3v2Frame(3, "APIC", jpegApicBody(0, "OTHER", 1, QByteArray("a\0", 2)))}) +
             audio(),
         true},
        {"empty and cut-short pictures",
         id3v2Tag(3, {id3v2Frame(3, "APIC", jpegApicBody(3, "")),
                      id3v2Frame(3, "APIC", QByteArray("\0ab", 3)),
                      id3v2Frame(3, "APIC", QByteArray("\0image/png", 10)),
                      id3v2Frame(3, "APIC", QByteArray("\0\0\3nodelimiter", 14))}) +
             audio(),
         true},
        {"large picture",
         id3v2Tag(4, {id3v2Frame(4, "APIC", jpegApicBody(3, QByteArray(70000, 'x')))}, 9) + audio(),
         true},
        {"ID3v2.2", id3v2Tag(2, {v22Frame}, 30) + audio(), false},
        {"unsynchronisation", unsynchronised + audio(), false},
        {"footer flag", footer + audio(), false},
        {"zero-size frame",
         id3v2Tag(3, QList<QByteArray>{id3v2Frame(3, "TIT1", {})} + usual(3), 64) + audio(), false},
        {"junk before the tag", QByteArray(2047, 'j') + id3v2Tag(3, usual(3), 100) + audio(),
         false},
        {"APEv2 tag at the end",
         id3v2Tag(3, usual(3)) + audio() + apeV2Tag({{"Title", "ape"}}) + v1Tag("v1"), false},
        {"ID3v2 tag at the end", id3v2Tag(3, usual(3)) + audio() + appended, false},
        {"second tag behind the first",
         id3v2Tag(3, usual(3)) + id3v2Tag(3, {id3v2Frame(3, "TIT2", latin1("second"))}) + audio(),
         false},
        {"junk in the padding",
         id3v2Tag(3, usual(3) +
                         QList<QByteArray>{QByteArray(30, '\0') + "junk" + QByteArray(20, '\0')}) +
             audio(),
         false},
        {"encrypted frame", id3v2Tag(3, QList<QByteArray>{encrypted} + usual(3)) + audio(), false},
        {"plain frame size in ID3v2.4",
         id3v2Tag(4, {plainSized, id3v2Frame(4, "TIT2", latin1("after"))}) + audio(), false},
        {"frame cut off by the tag's end",
         id3v2Tag(3,
                  {id3v2Frame(3, "TIT2", latin1("Song")), QByteArray("TALB\0\0\0\x50\0\0ab", 12)}) +
             audio(),
         false},
    };
    QTemporaryDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath(QString::fromLatin1(row.name) + QStringLiteral(".mp3"));
        ASSERT_TRUE(writeBytes(path, row.bytes));
        EXPECT_EQ(readsFast(path), row.fast);
        auto fast = MP3File::newMP3FileWithPath(path, MP3File::Reading::Fast);
        auto whole = MP3File::newMP3FileWithPath(path, MP3File::Reading::Whole);
        ASSERT_NE(fast, nullptr);
        ASSERT_NE(whole, nullptr);
        EXPECT_EQ(record(*fast), record(*whole));
        // Writing reads the whole tag first: what a save would write agrees.
        EXPECT_EQ(fast->readNumFrames(), whole->readNumFrames());
        EXPECT_EQ(record(*fast), record(*whole));
    }
    // Both agree, and neither garbles the frames TagLib read.
    const QString v22 = dir.filePath(QStringLiteral("ID3v2.2.mp3"));
    EXPECT_EQ(MP3File::newMP3FileWithPath(v22)->readFrameWithID(QStringLiteral("TIT2")), "Song");
    const QString unsynced = dir.filePath(QStringLiteral("unsynchronisation.mp3"));
    EXPECT_EQ(MP3File::newMP3FileWithPath(unsynced)->readTags().title,
              MP3File::newMP3FileWithPath(dir.filePath(QStringLiteral("footer flag.mp3")))
                  ->readTags()
                  .title);
}

TEST(MP3ReadingTest, ACoverIsNotReadFromAFileChangedSinceOpening) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.mp3"));
    const QByteArray bytes =
        id3v2Tag(3, {id3v2Frame(3, "APIC", jpegApicBody(3, "FRONT"))}, 10) + audio();
    // Before anything is written, and once the tag was read (its pictures
    // left where they lie) for a new title.
    for (bool titled : {false, true}) {
        SCOPED_TRACE(titled ? "title written first" : "nothing written");
        ASSERT_TRUE(writeBytes(path, bytes));
        auto file = MP3File::newMP3FileWithPath(path);
        ASSERT_NE(file, nullptr);
        file->getAllInterestingTags();
        if (titled) file->setTags({.title = QStringLiteral("new")}, TagField::Title);
        ASSERT_TRUE(file->hasImage());
        EXPECT_EQ(file->getImageData(), QByteArray("FRONT"));

        // Another program moves everything by a byte: the old place holds no cover.
        ASSERT_TRUE(writeBytes(path, QByteArray(1, 'x') + bytes));
        EXPECT_TRUE(file->getImageData().isEmpty());
        file->setTags({.title = QStringLiteral("newer")}, TagField::Title);
        file->tagImageData("NEWCOVER", "png");
        EXPECT_FALSE(SaveBatch::saveOne(*file).ok());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray(1, 'x') + bytes);
    }
}

// The whole tag read at the first write leaves its pictures out of TagLib's
// view, and a save copies them as the file holds them: what it writes must
// read back as TagLib's own save of every frame writes it, with no picture
// lost or doubled, whether the save leaves the pictures alone or embeds a
// cover, in place or through a copy, and again on a second save.
TEST(MP3ReadingTest, PicturesKeptOutOfTagLibSaveAsItsOwnSaveDoes) {
    const QByteArray front = jpegApicBody(3, QByteArray(3000, 'f'));
    const QByteArray back =
        jpegApicBody(4, QByteArray(900, 'b'), 1, utf16(QStringLiteral("Rück")).mid(1));
    const QByteArray utf8Other = jpegApicBody(0, "OTHER", 3, utf8(QStringLiteral("Ünï")).mid(1));
    struct Row {
        const char* name;
        QByteArray tag;
    };
    const Row rows[] = {
        {"pictures between text frames",
         id3v2Tag(3,
                  {id3v2Frame(3, "TIT2", latin1("Song")), id3v2Frame(3, "APIC", front),
                   id3v2Frame(3, "TPE1", latin1("Artist")), id3v2Frame(3, "APIC", back),
                   id3v2Frame(3, "COMM", QByteArray("\0eng\0comment", 12))},
                  3000)},
        {"no room: a new copy",
         id3v2Tag(3, {id3v2Frame(3, "APIC", front), id3v2Frame(3, "TIT2", latin1("Song"))})},
        {"UTF-8 picture text",
         id3v2Tag(4,
                  {id3v2Frame(4, "APIC", utf8Other), id3v2Frame(4, "TIT2", latin1("Song")),
                   id3v2Frame(4, "APIC", front)},
                  2000)},
        // In place, the pictures' bytes are first left unread: these move
        // after all, and must be read then.
        {"a picture moved by the text before it",
         id3v2Tag(3, {id3v2Frame(3, "TIT2", latin1("Song")), id3v2Frame(3, "APIC", front)}, 500)},
        {"a large picture whose place the text cannot keep",
         id3v2Tag(3,
                  {id3v2Frame(3, "TIT2", latin1("Song")),
                   id3v2Frame(3, "APIC", jpegApicBody(3, QByteArray(6000, 'l')))},
                  500)},
    };
    // The text encoding of each picture frame as the file stores it (TagLib
    // converts it when it renders a frame again).
    auto storedEncodings = [](const QString& path) {
        const QByteArray bytes = readBytes(path);
        QByteArray encodings;
        const int version = bytes.size() > 10 ? bytes[3] : 0;
        qsizetype at = 10;
        while (at + 11 <= bytes.size() && bytes[at] != 0) {
            quint32 size = 0;
            for (int i = 4; i < 8; ++i)
                size = version == 4 ? (size << 7) | quint8(bytes[at + i])
                                    : (size << 8) | quint8(bytes[at + i]);
            if (bytes.mid(at, 4) == "APIC") encodings += bytes[at + 10];
            at += 10 + qsizetype(size);
        }
        return encodings;
    };
    // Every frame as TagLib reads it back, sorted; the pictures in order.
    auto frames = [](const QString& path) {
        TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
        QList<QByteArray> all, pictures;
        for (TagLib::ID3v2::Frame* frame : file.ID3v2Tag()->frameList()) {
            const TagLib::ByteVector bytes = frame->render();
            all.append(QByteArray(bytes.data(), qsizetype(bytes.size())));
            if (frame->frameID() == "APIC") pictures.append(all.back());
        }
        std::sort(all.begin(), all.end());
        return std::pair{all, pictures};
    };
    QTemporaryDir dir;
    for (const Row& row : rows) {
        for (int tagVersion : {2, 3}) {
            for (bool embed : {false, true}) {
                SCOPED_TRACE(QStringLiteral("%1, version %2%3")
                                 .arg(QString::fromLatin1(row.name))
                                 .arg(tagVersion)
                                 .arg(embed ? QStringLiteral(", cover embedded") : QString())
                                 .toStdString());
                const QString fastPath = dir.filePath(QStringLiteral("fast.mp3"));
                const QString wholePath = dir.filePath(QStringLiteral("whole.mp3"));
                ASSERT_TRUE(writeBytes(fastPath, row.tag + audio()));
                ASSERT_TRUE(writeBytes(wholePath, row.tag + audio()));
                ASSERT_TRUE(readsFast(fastPath));
                auto fast = MP3File::newMP3FileWithPath(fastPath, MP3File::Reading::Fast);
                auto whole = MP3File::newMP3FileWithPath(wholePath, MP3File::Reading::Whole);
                ASSERT_NE(fast, nullptr);
                ASSERT_NE(whole, nullptr);
                for (const auto& file : {fast, whole}) {
                    file->setTagVersion(tagVersion);
                    file->getAllInterestingTags();
                    file->setTags({.artist = QStringLiteral("New artist")}, TagField::Artist);
                    file->setTags({.title = QStringLiteral("New title")}, TagField::Title);
                    if (embed) file->tagImageData("NEWCOVER", "png");
                    ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
                }
                EXPECT_EQ(frames(fastPath), frames(wholePath));
                EXPECT_EQ(storedEncodings(fastPath), storedEncodings(wholePath));
                EXPECT_EQ(fast->getImageData(), whole->getImageData());
                // A second save finds the pictures where the first wrote them.
                fast->setTags({.title = QStringLiteral("Again")}, TagField::Title);
                whole->setTags({.title = QStringLiteral("Again")}, TagField::Title);
                ASSERT_TRUE(isDone(SaveBatch::saveOne(*fast)));
                ASSERT_TRUE(SaveBatch::saveOne(*whole).ok());
                EXPECT_EQ(frames(fastPath), frames(wholePath));
                EXPECT_EQ(fast->getImageData(), whole->getImageData());
                EXPECT_EQ(record(*MP3File::newMP3FileWithPath(fastPath)),
                          record(*MP3File::newMP3FileWithPath(wholePath)));
            }
        }
    }
}

TEST(MP3ReadingTest, ALargeCoverKeepsItsPlaceThroughSavesThatChangeTheText) {
    const QByteArray cover = QByteArray("\xFF\xD8\xFF", 3) + QByteArray(20000, 'c');
    struct Row {
        const char* name;
        int fileVersion, tagVersion; // the tag read, and "TagVersion" (2: v2.3, 3: v2.4)
        bool customTag;              // its trailing line feeds can fill the room
        QStringList titles;          // one save each
        QString artist;
    } rows[] = {
        {"v2.3 saved as v2.4, with the custom tag",
         3,
         3,
         true,
         {"A title much longer", "S"},
         "The Band"},
        {"v2.4 saved as v2.3, with the custom tag",
         4,
         2,
         true,
         {"Short", "Longer title"},
         "The Band"},
        // One character less: a terminator makes up the byte.
        {"v2.4, no custom tag", 4, 3, false, {"Son"}, "Band"},
    };
    CustomTag custom;
    custom.setSavedSearchTerms(QStringLiteral("Band / Album"));
    QTemporaryDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int v = row.fileVersion;
        const QList<QByteArray> front = {
            id3v2Frame(v, "TIT2", latin1("Song")), id3v2Frame(v, "TPE1", latin1("Band")),
            id3v2Frame(v, "TALB", latin1("Album")), id3v2Frame(v, "TCON", latin1("Rock")),
            id3v2Frame(v, "COMM", QByteArray("\0eng\0a comment of some length", 29))};
        qsizetype coverAt = 10;
        for (const QByteArray& f : front)
            coverAt += f.size();
        const QByteArray apic = id3v2Frame(v, "APIC", jpegApicBody(3, cover));
        const QString path = dir.filePath(QStringLiteral("song.mp3"));
        ASSERT_TRUE(writeBytes(path, id3v2Tag(v, front + QList<QByteArray>{apic}, 500) + audio()));
        auto file = MP3File::newMP3FileWithPath(path, MP3File::Reading::Fast);
        ASSERT_NE(file, nullptr);
        file->setTagVersion(row.tagVersion);
        file->getAllInterestingTags();
        for (const QString& title : row.titles) {
            file->setTags({.title = title}, TagField::Title);
            file->setTags({.artist = row.artist}, TagField::Artist);
            if (row.customTag) file->setTags({.custom = custom}, TagField::Custom);
            ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
            // The picture's bytes never moved; TagLib reads every value.
            QFile saved(path);
            ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
            EXPECT_EQ(saved.readAll().mid(coverAt + 10, apic.size() - 10), apic.sliced(10));
            TagLib::MPEG::File read(QFile::encodeName(path).constData(), false);
            ASSERT_TRUE(read.hasID3v2Tag());
            EXPECT_EQ(read.ID3v2Tag()->header()->majorVersion(), row.tagVersion == 2 ? 3u : 4u);
            EXPECT_EQ(read.ID3v2Tag()->title().to8Bit(true), title.toStdString());
            EXPECT_EQ(read.ID3v2Tag()->artist().to8Bit(true), row.artist.toStdString());
            EXPECT_EQ(read.ID3v2Tag()->album().to8Bit(true), "Album");
            EXPECT_EQ(read.ID3v2Tag()->comment().to8Bit(true), "a comment of some length");
            auto reread = MP3File::newMP3FileWithPath(path);
            ASSERT_NE(reread, nullptr);
            reread->getAllInterestingTags();
            EXPECT_EQ(reread->getImageData(), cover);
            EXPECT_EQ(reread->readTags().title, title);
            if (row.customTag) {
                ASSERT_TRUE(reread->readTags().custom);
                EXPECT_EQ(reread->readTags().custom->customTagToString(),
                          custom.customTagToString());
            }
        }
    }
}
