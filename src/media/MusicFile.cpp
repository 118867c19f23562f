#include "media/MusicFile.h"

#include "media/FlacFile.h"
#include "media/M4AFile.h"
#include "media/MP3File.h"
#include "media/MusicExtensions.h"
#include "media/OggFile.h"

#include "system/Log.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

namespace {
// The one list of kinds, shared with the file-manager menu rule.
bool isMusicExtension(const QString& ext) {
    for (const char* const* known = kTrovixMusicExtensions; *known; ++known)
        if (ext == QLatin1String(*known)) return true;
    return false;
}
} // namespace

std::shared_ptr<MusicFile> MusicFile::newMusicFileWithPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (!isMusicExtension(ext)) return nullptr;
    std::shared_ptr<MusicFile> file;
    // The concrete readers register here as they arrive.
    if (ext == u"mp3") file = MP3File::newMP3FileWithPath(path);
    if (ext == u"m4a" || ext == u"m4p") file = M4AFile::newM4AFileWithPath(path);
    if (ext == u"flac") file = FlacFile::newFlacFileWithPath(path);
    if (ext == u"ogg" || ext == u"oga" || ext == u"opus") file = OggFile::newOggFileWithPath(path);
    if (file) file->getAllInterestingTags();
    return file;
}

QString MusicFile::extension() const { return QFileInfo(fPath).suffix(); }

void MusicFile::getAllInterestingTags() {
    fTitle = readTitle();
    fArtist = readArtist();
    fAlbum = readAlbum();
    fYear = readYearStr();
    fGenre = readGenre();
    fTrackStr = readTrackStr();
    fLongTrackStr = readLongTrackStr();
    fMaxTrackStr = readMaxTrackStr();
    fCustomTag = readCustomTag();
    fHasImage = !readImage().isEmpty();
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
void MusicFile::tagYearStr(const QString& s) { setYearStr(s); writeYearStr(s); }
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
