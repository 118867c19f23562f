#include "media/MusicFile.h"

#include "media/MusicExtensions.h"
#include "tags/TextNumbers.h"

#include "system/Log.h"
#include "system/PictureCodec.h"

namespace {

// The one list of kinds, shared with the file-manager menu rule.
bool isMusicExtension(QStringView ext) {
    for (const char* const* known = kTrovixMusicExtensions; *known; ++known)
        if (ext.compare(QLatin1String(*known), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The text after the name's last dot, as QFileInfo::suffix() has it, without
// building one: a library walk asks it of every file, and so does every new
// file name.
QStringView suffixOf(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > path.lastIndexOf(u'/') ? QStringView(path).sliced(dot + 1) : QStringView();
}

} // namespace

bool MusicFile::isMusicFileName(const QString& path) {
    return isMusicExtension(suffixOf(path));
}

SavePlan MusicFile::planSave() {
    return SavePlan::refused(QStringLiteral("Files of this kind cannot be saved."));
}

QString MusicFile::extension() const {
    return suffixOf(fPath).toString();
}

void MusicFile::getAllInterestingTags() {
    fTags = readTagValues();
    // A text without a year in it (a lone byte-order mark, say) is no year;
    // a date stays as stored.
    const QString& year = fTags.year;
    if (!year.isNull() && YearText(year).isEmpty()) fTags.year = QString(u""_qs);
    fHasImage = readHasImage();
    fBitrate = readBitrate();
    fDurationSecs = readDuration();
}

void MusicFile::setTags(const TagValues& values, TagFields fields) {
    fTags.assign(values, fields);
    if (fields & TagField::Year) fTags.year = YearText(values.year);
    if (fields & (TagField::Track | TagField::TrackCount))
        fTags.setTrack(fTags.trackNumber(), fTags.trackCountNumber());
    if (fields & (TagField::Disc | TagField::DiscCount))
        fTags.setDisc(fTags.discNumber(), fTags.discCountNumber());
    writeTagValues(fTags, fields);
}

bool MusicFile::holdsImageData(const QByteArray& bytes) const {
    if (!fHasImage) return bytes.isEmpty();
    // A new cover is seldom the old one's length: the old one stays unread.
    const qint64 size = storedImageSize();
    if (size >= 0 && size != bytes.size()) return false;
    if (const std::optional<bool> same = storedImageEquals(bytes)) return *same;
    return getImageData() == bytes;
}

Picture MusicFile::getImage() const {
    return Pictures::fromData(getImageData());
}

QByteArray MusicFile::imageFormatOf(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xD8\xFF")) return QByteArrayLiteral("jpeg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n")) return QByteArrayLiteral("png");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) return QByteArrayLiteral("gif");
    if (bytes.startsWith("BM")) return QByteArrayLiteral("bmp");
    return {};
}

void MusicFile::tagImage(const Picture& image) {
    if (image.isNull()) {
        tagImageData({});
        return;
    }
    const QByteArray format = imageFormat();
    QString why;
    const QByteArray bytes = Pictures::encode(image, format, format == "jpeg" ? 90 : -1, &why);
    if (bytes.isEmpty()) {
        // The old cover stays rather than vanish for a picture we cannot store.
        TROVIX_LOG() << "Cover for" << fPath << "not encoded:" << why;
        return;
    }
    tagImageData(bytes, format);
}

void MusicFile::tagImageData(const QByteArray& bytes, const QByteArray& format) {
    const QByteArray kind = format.isEmpty() ? imageFormatOf(bytes) : format;
    if (!bytes.isEmpty() && kind.isEmpty()) {
        // Bytes of no format we can name are stored as a picture we can.
        const Picture image = Pictures::fromData(bytes);
        if (image.isNull())
            TROVIX_LOG() << "Cover for" << fPath << "not read ("
                         << Pictures::whyNotDecoded(QStringLiteral("no picture"))
                         << "); the old one stays";
        else
            tagImage(image);
        return;
    }
    fHasImage = !bytes.isEmpty();
    fNeedsUpdate = true;
    writeImageData(bytes, kind);
}
