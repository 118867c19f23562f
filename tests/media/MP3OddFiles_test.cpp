// MP3 files as other programs leave them (issue 21): saved by us, then read
// back the way another tag reader reads them.
#include "app/Preferences.h"
#include "media/MP3File.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"
#include "support/FileBytes.h"
#include "support/Mp3Fixture.h"
#include "support/OutcomeChecks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <taglib/apetag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

// An ID3v2.4 tag with a footer, as appended at the end of a file.
QByteArray appendedTag(const QList<QByteArray>& frames) {
    QByteArray tag = id3v2Tag(4, frames);
    tag[5] = 0x10;
    QByteArray footer = tag.left(10);
    footer.replace(0, 3, "3DI");
    return tag + footer;
}

QByteArray v1TitleTag(const char* title) {
    QByteArray v1(128, '\0');
    v1.replace(0, 3, "TAG");
    v1.replace(3, qstrlen(title), title);
    return v1;
}

// What TagLib's own reader sees in a file.
struct OtherReader {
    QString title, artist, genre, comment;
    unsigned year = 0;
    QString frame(const char* id) const { return frames.value(QString::fromLatin1(id)); }
    QMap<QString, QString> frames;
    bool ape = false;

    explicit OtherReader(const QString& path) {
        TagLib::MPEG::File f(QFile::encodeName(path).constData());
        ape = f.hasAPETag();
        TagLib::ID3v2::Tag* tag = f.ID3v2Tag();
        if (!tag) return;
        auto qt = [](const TagLib::String& s) { return QString::fromStdString(s.to8Bit(true)); };
        title = qt(tag->title());
        artist = qt(tag->artist());
        genre = qt(tag->genre());
        comment = qt(tag->comment());
        year = tag->year();
        for (auto* frame : tag->frameList())
            frames.insert(QString::fromLatin1(frame->frameID().data(), 4), qt(frame->toString()));
    }
};

class MP3OddFilesTest : public ::testing::Test {
protected:
    void TearDown() override { Prefs::clearOverrides(); }
    QString path() const { return fDir.filePath(QStringLiteral("song.mp3")); }
    std::shared_ptr<MP3File> open() {
        return std::dynamic_pointer_cast<MP3File>(MusicFileFactory::newMusicFileWithPath(path()));
    }
    QTemporaryDir fDir;
};

} // namespace

TEST_F(MP3OddFilesTest, AnEmptyFrameIsSkippedAndTheFramesAfterItAreKept) {
    const QByteArray comment = QByteArray("\0eng\0A comment", 14);
    for (int version : {3, 4}) {
        for (int emptyAt : {0, 2}) {
            SCOPED_TRACE(
                QStringLiteral("ID3v2.%1, empty frame %2").arg(version).arg(emptyAt).toStdString());
            QList<QByteArray> frames = {id3v2Frame(version, "TCOM", latin1("Composer")),
                                        id3v2Frame(version, "TCON", latin1("Rock")),
                                        id3v2Frame(version, "TYER", latin1("1999")),
                                        id3v2Frame(version, "COMM", comment)};
            frames.insert(emptyAt, id3v2Frame(version, "TIT2", QByteArray()));
            ASSERT_TRUE(writeMp3WithTag(path(), id3v2Tag(version, frames, 64)));
            const QByteArray audio = mp3AudioPayload(path());
            auto file = open();
            ASSERT_TRUE(file);
            EXPECT_EQ(file->readTags().genre, QStringLiteral("Rock"));
            EXPECT_EQ(file->readTags().year, QStringLiteral("1999"));
            file->setTags({.title = QStringLiteral("New title")}, TagField::Title);
            ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));

            const OtherReader other(path());
            EXPECT_EQ(other.title, QStringLiteral("New title"));
            EXPECT_EQ(other.frame("TCOM"), QStringLiteral("Composer"));
            EXPECT_EQ(other.genre, QStringLiteral("Rock"));
            EXPECT_EQ(other.year, 1999u);
            EXPECT_EQ(other.comment, QStringLiteral("A comment"));
            EXPECT_EQ(mp3AudioPayload(path()), audio);
        }
    }
}

TEST_F(MP3OddFilesTest, ATagThatCannotBeReadInFullIsNotWritten) {
    QByteArray cutOff = id3v2Frame(3, "TPE1", latin1("Artist"));
    cutOff[7] = char(0x7F); // claims more bytes than the tag holds
    struct Row {
        const char* name;
        QByteArray tag;
        bool writable;
    };
    const Row rows[] = {
        {"a frame cut off by the end of the tag",
         id3v2Tag(3, {id3v2Frame(3, "TIT2", latin1("Old")), cutOff}), false},
        {"a frame behind bytes that are no frame",
         id3v2Tag(3, {id3v2Frame(3, "TIT2", latin1("Old")), QByteArray("\x01\x02\x03\x04", 4),
                      id3v2Frame(3, "TPE1", latin1("Artist"))}),
         false},
        {"padding filled with junk",
         id3v2Tag(3, {id3v2Frame(3, "TIT2", latin1("Old")), QByteArray(40, '\xFF')}), true},
        {"an encrypted frame",
         [] {
             QByteArray frame = id3v2Frame(3, "TPE1", QByteArray(1, '\x80') + "secret");
             frame[9] = char(0x40);
             return id3v2Tag(3, {id3v2Frame(3, "TIT2", latin1("Old")), frame});
         }(),
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(writeMp3WithTag(path(), row.tag));
        const QByteArray before = readBytes(path());
        auto file = open();
        ASSERT_TRUE(file);
        EXPECT_EQ(file->readTags().title, QStringLiteral("Old"));
        file->setTags({.title = QStringLiteral("New")}, TagField::Title);
        const Outcome saved = SaveBatch::saveOne(*file);
        EXPECT_EQ(saved.ok(), row.writable) << saved.reason.toStdString();
        if (row.writable) {
            EXPECT_EQ(OtherReader(path()).title, QStringLiteral("New"));
        } else {
            EXPECT_TRUE(saved.reason.contains(u"TPE1")) << saved.reason.toStdString();
            EXPECT_EQ(readBytes(path()), before);
        }
    }
}

TEST_F(MP3OddFilesTest, ATagBehindJunkIsSavedAtTheStart) {
    const QByteArray junk(2047, 'j');
    const QByteArray silent = silentMp3Bytes();
    const QByteArray tag = id3v2Tag(
        3, {id3v2Frame(3, "TIT2", latin1("Old")), id3v2Frame(3, "TPE1", latin1("Artist"))}, 100);
    ASSERT_TRUE(writeBytes(path(), junk + tag + silent + v1TitleTag("Old")));
    auto file = open();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->readTags().title, QStringLiteral("Old"));
    file->setTags({.title = QStringLiteral("New")}, TagField::Title);
    ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));

    const QByteArray after = readBytes(path());
    ASSERT_TRUE(after.startsWith("ID3")); // what readers that look only there see
    // The junk right behind the new tag, then the audio, then ID3v1.
    const qsizetype tagEnd = after.size() - junk.size() - silent.size() - 128;
    EXPECT_EQ(tagEnd, 10 + ((after[6] << 21) | (after[7] << 14) | (after[8] << 7) | after[9]));
    EXPECT_EQ(after.mid(tagEnd, junk.size() + silent.size()), junk + silent);
    EXPECT_EQ(after.count("ID3"), 1);
    EXPECT_EQ(after.right(128).mid(3, 4), QByteArray("New\0", 4));
    const OtherReader other(path());
    EXPECT_EQ(other.title, QStringLiteral("New"));
    EXPECT_EQ(other.artist, QStringLiteral("Artist"));
}

TEST_F(MP3OddFilesTest, StaleTagsBesideTheFirstAreRemoved) {
    // Removing them is what other taggers do by default for APEv2 in MP3;
    // the ID3v1 tag stays and carries the new values.
    const QByteArray silent = silentMp3Bytes();
    const QByteArray room = id3v2Tag(3, {id3v2Frame(3, "TIT2", latin1("First"))}, 300);
    const QByteArray tight = id3v2Tag(3, {id3v2Frame(3, "TIT2", latin1("First"))});
    const QByteArray stale = apeV2Tag({{"Title", "Stale"}, {"Artist", "Stale"}});
    struct Row {
        const char* name;
        QByteArray bytes;
        bool inPlace;
    };
    const Row rows[] = {
        {"a second ID3v2 tag behind the first",
         tight + id3v2Tag(4, {id3v2Frame(4, "TIT2", latin1("Stale"))}) + silent, true},
        {"an APEv2 tag before the ID3v1 tag", tight + silent + stale + v1TitleTag("Stale"), false},
        {"an APEv2 tag at the end", tight + silent + stale, false},
        {"an APEv2 tag, in place", room + silent + stale + v1TitleTag("Stale"), true},
        {"an appended ID3v2 tag",
         tight + silent + appendedTag({id3v2Frame(4, "TIT2", latin1("Stale"))}) +
             v1TitleTag("Stale"),
         false},
        {"an appended ID3v2 tag and an APEv2 tag, in place",
         room + silent + appendedTag({id3v2Frame(4, "TIT2", latin1("Stale"))}) + stale, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(writeBytes(path(), row.bytes));
        const ino_t inode = inodeOf(path());
        auto file = open();
        ASSERT_TRUE(file);
        EXPECT_EQ(file->readTags().title, QStringLiteral("First"));
        file->setTags({.title = QStringLiteral("Fresh title")}, TagField::Title);
        ASSERT_TRUE(isDone(SaveBatch::saveOne(*file)));
        EXPECT_EQ(inodeOf(path()) == inode, row.inPlace);

        const QByteArray after = readBytes(path());
        EXPECT_FALSE(after.contains("Stale"));
        EXPECT_FALSE(after.contains("APETAGEX"));
        EXPECT_EQ(after.count("ID3"), 1);
        EXPECT_EQ(after.count(silent), 1);
        EXPECT_EQ(after.right(128).left(8), QByteArray("TAGFresh"));
        const OtherReader other(path());
        EXPECT_EQ(other.title, QStringLiteral("Fresh title"));
        EXPECT_FALSE(other.ape);
    }
}
