#include "media/MusicFile.h"

#include "media/M4AFile.h"
#include "media/MP3File.h"
#include "model/TextNumbers.h"

#include <QFileInfo>

namespace {

using Opener = std::shared_ptr<MusicFile> (*)(const QString&);

std::shared_ptr<MusicFile> openMP3(const QString& path) {
    return MP3File::newMP3FileWithPath(path);
}
std::shared_ptr<MusicFile> openMPEG4(const QString& path) {
    return M4AFile::newM4AFileWithPath(path);
}

// The one list of the kinds of file the program opens, by extension: audio
// books and ".mp4" audio hold the same atoms as ".m4a".
struct Kind {
    const char16_t* extension;
    Opener open;
};
constexpr Kind kKinds[] = {
    {u"mp3", openMP3},   {u"m4a", openMPEG4}, {u"m4p", openMPEG4},
    {u"m4b", openMPEG4}, {u"mp4", openMPEG4},
};

const Kind* kindOf(const QString& path) {
    const QString ext = QFileInfo(path).suffix();
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
void MusicFile::tagImage(const QImage& image) { setImage(image); writeImage(image); }
