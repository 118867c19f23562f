#include "app/Preferences.h"
#include "media/CustomTagFrame.h"
#include "media/MP3File.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/Mp3Fixture.h"
#include "support/OutcomeChecks.h"
#include "support/Sanitizers.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <zlib.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

QByteArray be32(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (24 - 8 * i));
    return b;
}

QByteArray synchsafe(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (21 - 7 * i)) & 0x7F);
    return b;
}

// A zlib stream that inflates to `mebibytes` MiB of zeros, made without
// ever holding them: one flushed block of 1 MiB, repeated.
QByteArray zeroBomb(int mebibytes) {
    const QByteArray mib(1 << 20, '\0');
    z_stream s{};
    deflateInit(&s, 9);
    QByteArray out(1 << 20, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(mib.constData()));
    s.avail_in = uInt(mib.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FULL_FLUSH);
    const QByteArray first = out.left(out.size() - qsizetype(s.avail_out));
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    QByteArray end = out.left(out.size() - qsizetype(s.avail_out));
    deflateEnd(&s);
    end.chop(4); // the checksum of one block; the whole stream's follows
    const uLong one = adler32(adler32(0, nullptr, 0),
                              reinterpret_cast<const Bytef*>(mib.constData()), uInt(mib.size()));
    uLong sum = one;
    QByteArray stream = first;
    const QByteArray block = first.mid(2);
    for (int i = 1; i < mebibytes; ++i) {
        stream += block;
        sum = adler32_combine(sum, one, mib.size());
    }
    return stream + end + be32(quint32(sum));
}

QByteArray deflated(const QByteArray& bytes) {
    uLongf size = compressBound(uLong(bytes.size()));
    QByteArray out(qsizetype(size), '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(bytes.constData()), uLong(bytes.size()));
    out.truncate(qsizetype(size));
    return out;
}

// An ID3v2.4 frame whose body is compressed (with its data length).
QByteArray compressedV4Frame(const QByteArray& id, const QByteArray& zlib, quint32 inflated) {
    const QByteArray body = synchsafe(inflated) + zlib;
    return id + synchsafe(quint32(body.size())) + QByteArray("\x00\x09", 2) + body;
}

// An ID3v2.3 frame whose body is compressed.
QByteArray compressedV3Frame(const QByteArray& id, const QByteArray& zlib, quint32 inflated) {
    const QByteArray body = be32(inflated) + zlib;
    return id + be32(quint32(body.size())) + QByteArray("\x00\x80", 2) + body;
}

class MP3BadInputTest : public ::testing::Test {
protected:
    void TearDown() override { Prefs::clearOverrides(); }
    QString path() const { return fDir.filePath(QStringLiteral("song.mp3")); }
    std::shared_ptr<MP3File> open() {
        return std::dynamic_pointer_cast<MP3File>(MusicFileFactory::newMusicFileWithPath(path()));
    }
    QTemporaryDir fDir;
};

} // namespace

TEST_F(MP3BadInputTest, ACompressedFrameThatInflatesToAGibibyteIsSkipped) {
    // A frame of about 1 MB that inflates to 1 GiB, between two plain ones.
    // Opened in a child with little address space: reading it whole would
    // kill the child.
    const QByteArray tag = id3v2Tag(4, {id3v2Frame(4, "TIT2", id3Latin1TextBody("Before")),
                                        compressedV4Frame("TPE1", zeroBomb(1024), 0x0FFFFFFF),
                                        id3v2Frame(4, "TALB", id3Latin1TextBody("After"))});
    ASSERT_TRUE(writeMp3WithTag(path(), tag));
    const QByteArray before = readBytes(path());
    const pid_t pid = ::fork();
    if (pid == 0) {
#ifndef TROVIX_UNDER_ASAN // the sanitizer reserves terabytes of address space
        long kib = 0;
        if (FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status))
                if (std::sscanf(line, "VmSize: %ld kB", &kib) == 1) break;
            std::fclose(status);
        }
        const rlim_t limit = rlim_t(kib) * 1024 + (rlim_t(256) << 20);
        const struct rlimit rl = {limit, limit};
        if (kib == 0 || ::setrlimit(RLIMIT_AS, &rl) != 0) ::_exit(9);
#endif
        try {
            auto file = open();
            if (!file) ::_exit(10);
            if (file->readTags().title != u"Before" || file->readTags().album != u"After")
                ::_exit(11);
            file->setTags({.title = QStringLiteral("Changed")}, TagField::Title);
            const Outcome saved = SaveBatch::saveOne(*file);
            if (saved.ok()) ::_exit(12);
            if (!saved.reason.contains(u"TPE1")) ::_exit(13);
            ::_exit(0);
        } catch (...) { // out of memory: the child must not go on with the tests
            ::_exit(14);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readBytes(path()), before);
}

TEST_F(MP3BadInputTest, CompressedFramesStopAt64MegabytesATag) {
    // Five frames of 15 MiB each: the fifth would take the tag past 64 MB.
    const QByteArray bomb = zeroBomb(15);
    const QByteArray tag = id3v2Tag(
        4, {compressedV4Frame("TIT1", bomb, 15 << 20), compressedV4Frame("TIT3", bomb, 15 << 20),
            compressedV4Frame("TOAL", bomb, 15 << 20), compressedV4Frame("TOPE", bomb, 15 << 20),
            compressedV4Frame("TEXT", bomb, 15 << 20),
            id3v2Frame(4, "TIT2", id3Latin1TextBody("Last"))});
    ASSERT_TRUE(writeMp3WithTag(path(), tag));
    const QByteArray before = readBytes(path());
    auto file = open();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->readTags().title, QStringLiteral("Last"));
    EXPECT_EQ(file->readNumFrames(), 5);
    file->setTags({.title = QStringLiteral("Changed")}, TagField::Title);
    const Outcome saved = SaveBatch::saveOne(*file);
    EXPECT_FALSE(saved.ok());
    EXPECT_TRUE(saved.reason.contains(u"TEXT")) << saved.reason.toStdString();
    EXPECT_EQ(readBytes(path()), before);
}

TEST_F(MP3BadInputTest, SmallCompressedFramesAreReadAndTheFileSaved) {
    for (int version : {3, 4}) {
        SCOPED_TRACE(version);
        const QByteArray text = id3Latin1TextBody("Compressed title");
        const QByteArray frame =
            version == 3 ? compressedV3Frame("TIT2", deflated(text), quint32(text.size()))
                         : compressedV4Frame("TIT2", deflated(text), quint32(text.size()));
        ASSERT_TRUE(writeMp3WithTag(path(), id3v2Tag(version, {frame}, 100)));
        const QByteArray audio = mp3AudioPayload(path());
        auto file = open();
        ASSERT_TRUE(file);
        EXPECT_EQ(file->readTags().title, QStringLiteral("Compressed title"));
        file->setTags({.artist = QStringLiteral("Someone")}, TagField::Artist);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        auto again = open();
        EXPECT_EQ(again->readTags().title, QStringLiteral("Compressed title"));
        EXPECT_EQ(again->readTags().artist, QStringLiteral("Someone"));
        EXPECT_EQ(mp3AudioPayload(path()), audio);
    }
}

TEST_F(MP3BadInputTest, TagHeadersWithFlagsTheirVersionDoesNotDefineAreNotWritten) {
    // TagLib reads the bit 0x10 as "a footer follows" in any version; an
    // ID3v2.3 save then cut ten bytes after the tag, four of them audio.
    struct Row {
        int version;
        char flags;
        bool writable;
    };
    const Row rows[] = {{3, 0x10, false}, {3, 0x08, false}, {3, 0x01, false}, {4, 0x08, false},
                        {4, 0x01, false}, {3, 0x20, true},  {4, 0x20, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(QStringLiteral("ID3v2.%1, flags 0x%2")
                         .arg(row.version)
                         .arg(int(row.flags), 2, 16, QChar(u'0'))
                         .toStdString());
        QByteArray tag =
            id3v2Tag(row.version, {id3v2Frame(row.version, "TIT2", id3Latin1TextBody("Old"))}, 6);
        tag[5] = row.flags;
        ASSERT_TRUE(writeMp3WithTag(path(), tag));
        const QByteArray before = readBytes(path());
        auto file = open();
        ASSERT_TRUE(file);
        file->setTags({.title = QStringLiteral("A title longer than the old tag")},
                      TagField::Title);
        const Outcome saved = SaveBatch::saveOne(*file);
        EXPECT_EQ(saved.ok(), row.writable) << saved.reason.toStdString();
        if (row.writable) {
            EXPECT_EQ(open()->readTags().title, QStringLiteral("A title longer than the old tag"));
        } else {
            EXPECT_TRUE(saved.reason.contains(u"flags")) << saved.reason.toStdString();
            EXPECT_EQ(readBytes(path()), before);
        }
        EXPECT_EQ(QDir(fDir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("song.mp3")});
    }
}

// A custom-tag frame whose encoding byte names no encoding (a damaged tag):
// its text is kept as TagLib reads it and written back under a real
// encoding, never under the stored byte, which would write no text at all.
TEST(MP3CustomTagFrame, AnEncodingByteThatNamesNoneIsWrittenBackAsUtf16) {
    const char fields[] = "\x32\0T\0r\0\0\0a\0b";
    std::unique_ptr<CustomTagFrame> read(
        CustomTagFrame::fromFields(TagLib::ByteVector(fields, sizeof fields - 1)));
    ASSERT_FALSE(read->text().isEmpty());
    const TagLib::ByteVector rendered = read->renderAs(3);
    ASSERT_GT(rendered.size(), 10u);
    EXPECT_EQ(rendered[10], char(TagLib::String::UTF16));
    std::unique_ptr<CustomTagFrame> again(CustomTagFrame::fromFields(rendered.mid(10)));
    EXPECT_EQ(again->text(), read->text());
    EXPECT_EQ(again->description(), read->description());
}
