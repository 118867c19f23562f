#include "media/MusicFile.h"

#include "media/FlacFile.h"
#include "media/M4AFile.h"
#include "media/MP3File.h"
#include "media/MusicExtensions.h"
#include "media/OggFile.h"
#include "media/SaveBatch.h"
#include "model/TextNumbers.h"

#include "system/Log.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

namespace {

// The one list of kinds, shared with the file-manager menu rule.
bool isMusicExtension(const QString& ext) {
    for (const char* const* known = kTrovixMusicExtensions; *known; ++known)
        if (ext.compare(QLatin1String(*known), Qt::CaseInsensitive) == 0) return true;
    return false;
}

using Opener = std::shared_ptr<MusicFile> (*)(const QString&);

std::shared_ptr<MusicFile> openMP3(const QString& path) {
    return MP3File::newMP3FileWithPath(path);
}
std::shared_ptr<MusicFile> openMPEG4(const QString& path) {
    return M4AFile::newM4AFileWithPath(path);
}
std::shared_ptr<MusicFile> openFLAC(const QString& path) {
    return FlacFile::newFlacFileWithPath(path);
}
// Vorbis, Opus or Ogg FLAC, told apart by the stream's first packet.
std::shared_ptr<MusicFile> openOgg(const QString& path) {
    return OggFile::newOggFileWithPath(path);
}

// The reader of each kind of MusicExtensions.h: audio books and ".mp4"
// audio hold the same atoms as ".m4a".
struct Kind {
    const char16_t* extension;
    Opener open;
};
constexpr Kind kKinds[] = {
    {u"mp3", openMP3},   {u"m4a", openMPEG4}, {u"m4p", openMPEG4},
    {u"m4b", openMPEG4}, {u"mp4", openMPEG4}, {u"flac", openFLAC},
    {u"ogg", openOgg},   {u"oga", openOgg},   {u"opus", openOgg},
};

const Kind* kindOf(const QString& path) {
    const QString ext = QFileInfo(path).suffix();
    if (!isMusicExtension(ext)) return nullptr;
    for (const Kind& kind : kKinds)
        if (ext.compare(QStringView(kind.extension), Qt::CaseInsensitive) == 0) return &kind;
    return nullptr;
}

} // namespace

std::shared_ptr<MusicFile> MusicFile::newMusicFileWithPath(const QString& path) {
    const Kind* kind = kindOf(path);
    std::shared_ptr<MusicFile> file = kind ? kind->open(path) : nullptr;
    if (file) file->getAllInterestingTags();
    return file;
}

bool MusicFile::isMusicFileName(const QString& path) {
    return kindOf(path) != nullptr;
}

bool MusicFile::commitTags() {
    SaveBatch batch(QFileInfo(fPath).absolutePath());
    batch.add(this);
    return batch.commit().front().ok();
}

SavePlan MusicFile::planSave() {
    return SavePlan::refused(QStringLiteral("Files of this kind cannot be saved."));
}

QString MusicFile::extension() const { return QFileInfo(fPath).suffix(); }

void MusicFile::getAllInterestingTags() {
    fTitle = readTitle();
    fArtist = readArtist();
    fAlbum = readAlbum();
    // A text without a year in it (a lone byte-order mark, say) is no year;
    // a date stays as stored.
    const QString year = readYearStr();
    fYear = year.isNull() || !YearText(year).isEmpty() ? year : QString(u""_qs);
    fGenre = readGenre();
    fTrackStr = readTrackStr();
    fLongTrackStr = readLongTrackStr();
    fMaxTrackStr = readMaxTrackStr();
    fCustomTag = readCustomTag();
    fHasImage = readHasImage();
    fTrackNum = readTrackNum();
    fMaxTracks = readMaxTracks();
    fBitrate = readBitrate();
    fDurationSecs = readDuration();
}

QImage MusicFile::getImage() const {
    return QImage::fromData(getImageData());
}

QByteArray MusicFile::imageFormatOf(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xD8\xFF")) return QByteArrayLiteral("jpeg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n")) return QByteArrayLiteral("png");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) return QByteArrayLiteral("gif");
    if (bytes.startsWith("BM")) return QByteArrayLiteral("bmp");
    return {};
}

void MusicFile::setTrackNum(int n, int m) {
    fTrackStr = QString::number(n);
    if (m < 1) {
        fLongTrackStr = QString::number(n);
        fMaxTrackStr = QString(u""_qs);
    } else {
        fLongTrackStr = QStringLiteral("%1/%2").arg(n).arg(m);
        fMaxTrackStr = QString::number(m);
    }
}

void MusicFile::setLongTrackStr(const QString& text) {
    const qsizetype slash = text.indexOf(u'/');
    fLongTrackStr = text;
    if (slash < 0) {
        fTrackStr = text;
        fMaxTrackStr = QString(u""_qs);
    } else {
        fTrackStr = text.left(slash);
        fMaxTrackStr = text.mid(slash + 1);
    }
}

void MusicFile::tagTitle(const QString& s) { setTitle(s); writeTitle(s); }
void MusicFile::tagArtist(const QString& s) { setArtist(s); writeArtist(s); }
void MusicFile::tagAlbum(const QString& s) { setAlbum(s); writeAlbum(s); }
void MusicFile::tagYearNum(int year) { setYearNum(year); writeYearNum(year); }
// A text that is no year (a lone byte-order mark, say) writes no year.
void MusicFile::tagYearStr(const QString& s) {
    const QString year = YearText(s);
    setYearStr(year);
    writeYearStr(year);
}
void MusicFile::tagGenre(const QString& s) { setGenre(s); writeGenre(s); }
void MusicFile::tagTrackNum(int n, int m) { setTrackNum(n, m); writeTrackNum(n, m); }
void MusicFile::tagTrackStr(const QString& s) { setLongTrackStr(s); writeTrackStr(s); }
void MusicFile::tagCustomTag(const std::optional<CustomTag>& tag) { setCustomTag(tag); writeCustomTag(tag); }
void MusicFile::tagImage(const QImage& image) {
    if (image.isNull()) {
        tagImageData({});
        return;
    }
    const QByteArray format = imageFormat();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (format == "jpeg") writer.setQuality(90);
    if (!writer.write(image)) {
        // The old cover stays rather than vanish for a picture we cannot store.
        TROVIX_LOG() << "Cover for" << fPath << "not encoded:" << writer.errorString();
        return;
    }
    tagImageData(bytes, format);
}

void MusicFile::tagImageData(const QByteArray& bytes, const QByteArray& format) {
    const QByteArray kind = format.isEmpty() ? imageFormatOf(bytes) : format;
    if (!bytes.isEmpty() && kind.isEmpty()) {
        // Bytes of no format we can name are stored as a picture we can.
        const QImage image = QImage::fromData(bytes);
        if (image.isNull())
            TROVIX_LOG() << "Cover for" << fPath << "is no picture; the old one stays";
        else
            tagImage(image);
        return;
    }
    fHasImage = !bytes.isEmpty();
    fNeedsUpdate = true;
    writeImageData(bytes, kind);
}
