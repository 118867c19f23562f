#pragma once

#include "media/Mp3Layout.h"
#include "media/MusicFile.h"

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <vector>

namespace TagLib::ID3v2 {
class Tag;
class UniqueFileIdentifierFrame;
class UserTextIdentificationFrame;
} // namespace TagLib::ID3v2
namespace TagLib::ID3v1 {
class Tag;
}

// A picture frame of the file's ID3v2 tag that TagLib was not shown: where
// the whole frame lies in the file and its text encoding.
struct Id3HeldPicture {
    int64_t at = 0;
    int64_t length = 0; // with the 10-byte frame header
    int encoding = 0;
};

// An MP3 file's ID3 tags. Opening reads the ID3v2 frames into a tag object
// of our own and closes the file again, so a folder of files holds no file
// handles; a save writes that tag back as ID3v2.3 or ID3v2.4 ("TagVersion"
// 2 or 3), with an ID3v1 tag at the end, rendering the bytes itself: in
// place when the frames fit the old tag's space, else as a new copy of the
// file that replaces it (see SaveBatch). A file whose tag could not be read
// in full, or whose tag header is not understood, is read but not written.
//
// Opening a plain tag (see Id3FieldReader) keeps only the frames a record
// reads and where the cover lies; the whole tag is read through TagLib when
// something is first written, and only if the file is still the one opened.
// Its picture frames TagLib is not shown: a save copies them from the old
// tag behind the frames TagLib renders, unless a new cover is set (or
// TagLib would write their text otherwise), when they are read in as well.
class MP3File : public MusicFile {
public:
    // How opening reads the ID3v2 tag: the frame reader where it can, or
    // always all of it through TagLib.
    enum class Reading { Fast, Whole };
    // Null when the path is not a regular file TagLib can read as MPEG audio.
    // Tags are read by getAllInterestingTags (newMusicFileWithPath does it).
    static std::shared_ptr<MP3File> newMP3FileWithPath(const QString& path,
                                                       Reading reading = Reading::Fast);
    ~MP3File() override;

    SavePlan planSave() override;
    // The "TagVersion" value a save writes with (3, the default, writes
    // ID3v2.4; anything else ID3v2.3), read once when the save started.
    void setTagVersion(int version) { fTagVersion = version; }
    // The address the custom tag's description names ("HomePageURL").
    void setHomePage(const QString& url) { fHomePage = url; }
    bool openedState(struct stat* st) const override {
        *st = fStat;
        return true;
    }
    void takeOpenedState(const struct stat& st) override { fStat = st; }
    // Of a file opened by the frame reader and not written to since; its
    // copy reads the whole tag when first written, as the original would.
    std::shared_ptr<MusicFile> copyAsOpened() const override;
    void refreshAfterRename(const QString& newPath) override;

    // Diagnostics over the whole ID3v2 tag (read first when it is not yet).
    int readNumFrames();
    QString readFrameID(int index);
    // Text of the first frame with that identifier; empty when there is none.
    QString readFrameWithID(const QString& id);

    // The custom-tag frame's description starts with this, then a tab and
    // the home-page address.
    static inline const char* const kCustomTagDescription = "WHAT_IS_THIS?";

protected:
    TagValues readTagValues() override;
    int32_t readBitrate() override { return fAudioBitrate; }
    uint32_t readDuration() override { return fAudioSeconds; }
    QByteArray readImage() const override;
    bool readHasImage() const override;
    qint64 storedImageSize() const override;
    std::optional<bool> storedImageEquals(const QByteArray& bytes) const override;

    void writeTagValues(const TagValues& values, TagFields fields) override;
    void writeImageData(const QByteArray& bytes, const QByteArray& format) override;

private:
    explicit MP3File(const QString& path);
    // Everything but the frames the reader kept, which only opening reads.
    MP3File(const MP3File& opened);
    bool open(Reading reading);
    // Opening without TagLib: nullopt when the file is not plain enough
    // (see Id3FieldReader, Mp3Audio), else whether it opened.
    std::optional<bool> openFast();
    // Reads the whole ID3v2 tag in place of the frames opening kept; a file
    // changed since it was opened is not read and never written.
    //
    // The picture frames of a plain tag stay out of it (see
    // Id3HeldPicture): a save that leaves them alone copies their bytes.
    void loadTag();
    // Puts the picture frames held back by loadTag into the tag, read from
    // the file, which must still be the one opened.
    void loadPictures();
    // The cover's bytes from the file, where opening found its frame.
    QByteArray readCoverFromFile() const;
    // The file opened for reading, when it is still the one opened; -1
    // when it is not, or cannot be opened.
    int openUnchanged() const;

    // The ID3v1 values: what the file held, then what was last written, so a
    // field removed from the ID3v2 tag does not come back from the old ID3v1.
    struct V1Values {
        QString title, artist, album, year, genre, track;
    };
    static V1Values v1Values(const TagLib::ID3v1::Tag& v1);

    QString frameText(const char* id) const;
    // The ID3v1 value standing in for a field the ID3v2 tag lacks.
    QString v1Value(TagField field) const;
    void setV1Value(TagField field, const QString& text);
    void writeCustomTag(const std::optional<CustomTag>& tag);
    // The user text frame of that description (case ignored) and the unique
    // file identifier of that owner; null when the tag has none.
    TagLib::ID3v2::UserTextIdentificationFrame* userText(const char* description) const;
    TagLib::ID3v2::UniqueFileIdentifierFrame* fileId(const char* owner) const;
    void setTextFrame(const char* id, const QString& text);

    void convertToV23();
    void convertToV24();
    // The ID3v1 tag of the values in memory; `old`, the file's 128 bytes
    // (empty without one), gives what the values do not.
    QByteArray renderV1(const QByteArray& old);
    // all: with the custom tag and the identifiers, which ID3v1 cannot hold.
    TagValues readValues(bool all);

    std::unique_ptr<TagLib::ID3v2::Tag> fID3Tags;
    // False while fID3Tags holds only the frames a record reads.
    bool fTagLoaded = true;
    int64_t fCoverAt = -1; // the cover frame's body in the file, while not loaded
    int64_t fCoverLength = 0;
    int64_t fCoverPictureAt = 0; // where in the body the picture's bytes start
    // Picture frames the whole tag was read without, in file order; the
    // cover (fCoverAt) is one of them.
    std::vector<Id3HeldPicture> fHeldPictures;
    // Every picture frame of a tag opened by the frame reader, in file
    // order (encodings not known): reading the whole tag leaves their
    // bytes out.
    std::vector<Id3HeldPicture> fPictureFrames;
    V1Values fV1;
    int fReadVersion = 0; // major version of the ID3v2 tag read; 0 without one
    int32_t fAudioBitrate = 0;
    uint32_t fAudioSeconds = 0;
    // The file as read or last written: a save first checks that nobody
    // else changed it since.
    struct stat fStat {};
    Mp3Layout fLayout;
    QString fNotWritable; // why the file must not be written; null when it may
    int fTagVersion = 3;
    QString fHomePage = QStringLiteral("https://trovix.app");
};
