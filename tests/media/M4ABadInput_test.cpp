#include "media/M4AFile.h"
#include "media/MusicFileFactory.h"
#include "pictures/QtPictureCodec.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/M4aChecks.h"
#include "support/OutcomeChecks.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The offset of the size word of the first atom of that type.
qint64 atomAt(const QByteArray& bytes, const char* type) {
    return bytes.indexOf(type) - 4;
}

void setSize(QByteArray& bytes, const char* type, quint32 size) {
    qToBigEndian(size, bytes.data() + atomAt(bytes, type));
}

struct BadCase {
    const char* name;
    std::function<QByteArray()> build;
};

QByteArray withSize(const char* type, quint32 size) {
    QByteArray b = buildM4a({});
    setSize(b, type, size);
    return b;
}

QByteArray nested(int depth) {
    // "moov" inside "moov" ... is a leaf below the top, however deep.
    QByteArray inner;
    for (int i = 0; i < depth; ++i) {
        QByteArray box(8, '\0');
        qToBigEndian<quint32>(quint32(inner.size() + 8), box.data());
        memcpy(box.data() + 4, i % 2 ? "moov" : "udta", 4);
        inner = box + inner;
    }
    return inner;
}

const std::vector<BadCase>& badCases() {
    static const std::vector<BadCase> cases = {
        {"empty file", [] { return QByteArray(); }},
        {"seven bytes",
         [] {
             return QByteArray("\0\0\0\x08"
                               "ft",
                               6);
         }},
        {"not MPEG-4 at all", [] { return QByteArray("ID3\x03\0\0\0\0\0\0 some mp3", 18); }},
        {"cut inside ftyp", [] { return buildM4a({}).left(20); }},
        {"cut inside moov", [] { return buildM4a({}).left(600); }},
        {"cut inside mdat", [] { return buildM4a({}).chopped(100); }},
        {"cut inside mdat after moov", [] { return buildM4a({.moovAfterMdat = true}).left(2000); }},
        {"no moov", [] { return buildM4a({}).left(atomAt(buildM4a({}), "moov")); }},
        {"size 0 inside moov", [] { return withSize("mvhd", 0); }},
        {"size 1 with a small 64-bit size", [] { return withSize("mvhd", 1); }},
        {"size 7", [] { return withSize("tkhd", 7); }},
        {"size 7 at the top", [] { return withSize("ftyp", 7); }},
        {"huge size", [] { return withSize("moov", 0xFFFFFFF0u); }},
        {"child overruns its parent",
         [] {
             QByteArray b = buildM4a({});
             const qint64 at = atomAt(b, "ilst");
             qToBigEndian(qFromBigEndian<quint32>(b.constData() + at) + 40, b.data() + at);
             return b;
         }},
        {"children do not fill their parent",
         [] {
             QByteArray b = buildM4a({});
             const qint64 at = atomAt(b, "stsc");
             qToBigEndian(qFromBigEndian<quint32>(b.constData() + at) - 4, b.data() + at);
             return b;
         }},
        {"stco lists more chunks than it holds",
         [] {
             QByteArray b = buildM4a({});
             qToBigEndian<quint32>(1000, b.data() + atomAt(b, "stco") + 12);
             return b;
         }},
        {"data atom shorter than 8 bytes",
         [] {
             QByteArray b = buildM4a({});
             // The "data" atom of "©day" is 20 bytes; the size 12 leaves
             // it a 4-byte payload, too short for type and locale words.
             const qint64 day = atomAt(b, "\xA9"
                                          "day");
             const qint64 data = day + 8;
             qToBigEndian<quint32>(12, b.data() + data);
             return b;
         }},
        {"64-bit size past the end",
         [] {
             QByteArray b = buildM4a({});
             const qint64 at = atomAt(b, "mdat");
             QByteArray wide(16, '\0');
             qToBigEndian<quint32>(1, wide.data());
             memcpy(wide.data() + 4, "mdat", 4);
             qToBigEndian<quint64>(0xFFFFFFFFFFull, wide.data() + 8);
             return b.left(at) + wide + b.mid(at + 8);
         }},
    };
    return cases;
}

} // namespace

TEST(M4ABadInput, MalformedFilesAreRefusedAndLeftAlone) {
    QTemporaryDir dir;
    for (const BadCase& c : badCases()) {
        SCOPED_TRACE(c.name);
        const QString p = dir.filePath(QStringLiteral("bad.m4a"));
        const QByteArray bytes = c.build();
        ASSERT_TRUE(writeBytes(p, bytes));
        EXPECT_EQ(M4AFile::newM4AFileWithPath(p), nullptr);
        EXPECT_EQ(MusicFileFactory::newMusicFileWithPath(p), nullptr);
        EXPECT_EQ(readBytes(p), bytes);
    }
}

namespace {

// Adds `by` to the size of the first atom of that type.
QByteArray resized(QByteArray bytes, const char* type, int by) {
    const qint64 at = atomAt(bytes, type);
    qToBigEndian(quint32(qint64(qFromBigEndian<quint32>(bytes.constData() + at)) + by),
                 bytes.data() + at);
    return bytes;
}

} // namespace

TEST(M4ABadInput, FilesWhoseSizesDoNotAddUpAreReadButNeverWritten) {
    // Players decode these files, since they look for the chunks where the
    // offsets say; a save that trusted the sizes would move the audio and
    // not the offsets (a whole-file rewrite), or write the tree it misread.
    struct Row {
        const char* name;
        std::function<QByteArray()> build;
    };
    const Row rows[] = {
        {"a faststart file whose moov size reads 0",
         [] {
             QByteArray b = buildM4a({});
             setSize(b, "moov", 0);
             return b;
         }},
        {"edts 8 bytes too large", [] { return resized(buildM4a({.editList = true}), "edts", 8); }},
        {"the media hdlr 8 bytes too large", [] { return resized(buildM4a({}), "hdlr", 8); }},
        {"a chunk offset outside the audio",
         [] {
             QByteArray b = buildM4a({});
             qToBigEndian<quint32>(8, b.data() + atomAt(b, "stco") + 16);
             return b;
         }},
    };
    QTemporaryDir dir;
    for (const Row& row : rows) {
        for (bool grow : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (grow ? ", tags grown" : ", tags in place"));
            const QString p = dir.filePath(QStringLiteral("lying.m4a"));
            const QByteArray bytes = row.build();
            ASSERT_TRUE(writeBytes(p, bytes));
            auto file = M4AFile::newM4AFileWithPath(p);
            ASSERT_TRUE(file);
            EXPECT_EQ(file->readTags().title, QStringLiteral("Fixture Title"));
            file->setTags({.title = grow ? QString(3000, u'x') : QStringLiteral("Short")},
                          TagField::Title);
            const Outcome saved = SaveBatch::saveOne(*file);
            EXPECT_FALSE(saved.ok());
            EXPECT_TRUE(saved.reason.contains(QStringLiteral("do not add up")))
                << saved.reason.toStdString();
            EXPECT_EQ(readBytes(p), bytes);
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                      QStringList{QStringLiteral("lying.m4a")});
        }
    }
}

TEST(M4ABadInput, AnEditListAndAMoovAtTheEndWithSizeZeroAreSound) {
    for (const QByteArray& bytes : {buildM4a({.editList = true}), [] {
                                        QByteArray b = buildM4a({.moovAfterMdat = true});
                                        setSize(b, "moov", 0);
                                        return b;
                                    }()}) {
        QTemporaryDir dir;
        const QString p = dir.filePath(QStringLiteral("fine.m4a"));
        ASSERT_TRUE(writeBytes(p, bytes));
        auto file = M4AFile::newM4AFileWithPath(p);
        ASSERT_TRUE(file);
        file->setTags({.title = QString(3000, u'x')}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        EXPECT_TRUE(sameAudio(bytes, readBytes(p)));
        EXPECT_EQ(readWithTagLib(p).title, QString(3000, u'x'));
    }
}

TEST(M4ABadInput, DeepNestingIsHarmless) {
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("deep.m4a"));
    QByteArray bytes = buildM4a({});
    // A deeply nested box inside moov: never descended, kept as bytes.
    const QByteArray deep = nested(20000);
    const qint64 moov = atomAt(bytes, "moov");
    const quint32 moovSize = qFromBigEndian<quint32>(bytes.constData() + moov);
    bytes = buildM4a({.moovAfterMdat = true});
    const qint64 at = atomAt(bytes, "moov");
    qToBigEndian<quint32>(moovSize + quint32(deep.size()), bytes.data() + at);
    bytes += deep;
    ASSERT_TRUE(writeBytes(p, bytes));
    auto file = M4AFile::newM4AFileWithPath(p);
    ASSERT_TRUE(file);
    file->setTags({.title = QStringLiteral("Deep")}, TagField::Title);
    ASSERT_TRUE(SaveBatch::saveOne(*file).ok());
    EXPECT_TRUE(sameAudio(bytes, readBytes(p)));
}

TEST(M4ABadInput, FoldersAndOtherNonFilesAreRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("x.m4a")));
    EXPECT_EQ(M4AFile::newM4AFileWithPath(dir.filePath(QStringLiteral("x.m4a"))), nullptr);
    EXPECT_EQ(M4AFile::newM4AFileWithPath(dir.filePath(QStringLiteral("missing.m4a"))), nullptr);
    const QString fifo = dir.filePath(QStringLiteral("pipe.m4a"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(M4AFile::newM4AFileWithPath(fifo), nullptr); // and does not hang
}

TEST(M4ABadInput, PermissionsAreRespected) {
    // Root ignores permissions; the checks then run as "nobody".
    struct AsNobody {
        bool switched = ::geteuid() == 0 && ::seteuid(65534) == 0;
        ~AsNobody() {
            if (switched && ::seteuid(0) != 0) std::abort();
        }
    };
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString p = dir.filePath(QStringLiteral("a.m4a"));
    const QString secret = dir.filePath(QStringLiteral("secret.m4a"));
    ASSERT_TRUE(writeM4a(p));
    ASSERT_TRUE(writeM4a(secret));
    const QByteArray before = readBytes(p);
    ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(secret).constData(), 0), 0);
    {
        AsNobody guard;
        if (::geteuid() == 0) GTEST_SKIP() << "could not drop root";
        EXPECT_EQ(M4AFile::newM4AFileWithPath(secret), nullptr);
        auto file = M4AFile::newM4AFileWithPath(p);
        ASSERT_TRUE(file);
        file->setTags({.title = QStringLiteral("x")}, TagField::Title);
        // Also the whole-file path.
        file->tagImage(QtPictureCodec::fromImage(QImage(30, 30, QImage::Format_RGB32)));
        const Outcome saved = SaveBatch::saveOne(*file);
        EXPECT_FALSE(saved.ok());
        EXPECT_TRUE(saved.reason.contains(QStringLiteral("permission")));
    }
    EXPECT_EQ(readBytes(p), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}
