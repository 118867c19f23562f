#include "media/MusicFile.h"

#include "media/M4AFile.h"
#include "media/MP3File.h"
#include "media/SaveBatch.h"

#include <QFileInfo>

std::shared_ptr<MusicFile> MusicFile::newMusicFileWithPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    std::shared_ptr<MusicFile> file;
    // The concrete readers register here as they arrive.
    if (ext == u"mp3") file = MP3File::newMP3FileWithPath(path);
    if (ext == u"m4a" || ext == u"m4p") file = M4AFile::newM4AFileWithPath(path);
    if (file) file->getAllInterestingTags();
    return file;
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
    fYear = readYearStr();
    fGenre = readGenre();
    fTrackStr = readTrackStr();
    fLongTrackStr = readLongTrackStr();
    fMaxTrackStr = readMaxTrackStr();
    fCustomTag = readCustomTag();
    fImageData = readImage();
    fImage = QImage();
    fTrackNum = readTrackNum();
    fMaxTracks = readMaxTracks();
    fBitrate = readBitrate();
    fDurationSecs = readDuration();
}

QImage MusicFile::getImage() const {
    if (fImage.isNull() && !fImageData.isEmpty()) fImage = QImage::fromData(fImageData);
    return fImage;
}

void MusicFile::setImage(const QImage& image) {
    fImage = image;
    fImageData.clear();
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
void MusicFile::tagImage(const QImage& image) { setImage(image); writeImage(image); }
