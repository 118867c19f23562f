#include "media/VorbisCommentFile.h"

#include "media/FileIO.h"
#include "model/TextNumbers.h"
#include "system/Log.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRandomGenerator>
#include <QtEndian>

#include <taglib/flacpicture.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString kTrackNumber = QStringLiteral("TRACKNUMBER");
const QString kTrackTotal = QStringLiteral("TRACKTOTAL");
const QString kTotalTracks = QStringLiteral("TOTALTRACKS");
const QString kPictureField = QStringLiteral("METADATA_BLOCK_PICTURE");

enum PictureType : quint32 { kOther = 0, kFrontCover = 3 };

uint32_t unsignedOf(const QString& s) {
    return uint32_t(qMax(0, IntValue(s)));
}

quint32 pictureType(const QByteArray& body) {
    return body.size() >= 4 ? qFromBigEndian<quint32>(body.constData()) : quint32(-1);
}

} // namespace

// Reading.

QString VorbisCommentFile::readYearStr() {
    // A full date ("2004-05-01") reads as its year.
    return YearText(fComment.value(QStringLiteral("DATE")));
}

int VorbisCommentFile::readYearNum() {
    return IntValue(readYearStr());
}

QString VorbisCommentFile::countField() const {
    for (const QString& name : {kTrackTotal, kTotalTracks}) {
        const QString count = fComment.value(name);
        if (!count.isEmpty()) return count;
    }
    const QString track = trackField();
    const qsizetype slash = track.indexOf(u'/');
    return slash < 0 ? QString() : track.mid(slash + 1);
}

QString VorbisCommentFile::readTrackStr() {
    const QString track = trackField();
    const qsizetype slash = track.indexOf(u'/');
    return slash < 0 ? track : track.left(slash);
}

QString VorbisCommentFile::readMaxTrackStr() {
    const QString count = countField();
    if (!count.isNull()) return count;
    return trackField().isNull() ? QString() : QString(u""_qs);
}

QString VorbisCommentFile::readLongTrackStr() {
    const QString track = readTrackStr();
    const QString count = countField();
    if (track.isNull() || count.isEmpty()) return track;
    return track + u'/' + count;
}

uint32_t VorbisCommentFile::readTrackNum() {
    return unsignedOf(readTrackStr());
}

uint32_t VorbisCommentFile::readMaxTracks() {
    return unsignedOf(countField());
}

std::optional<CustomTag> VorbisCommentFile::readCustomTag() {
    const QString text = fComment.value(kCustomTagField);
    if (text.isEmpty()) return std::nullopt;
    return CustomTag::fromString(text);
}

QByteArray VorbisCommentFile::readImage() const {
    for (quint32 type : {kFrontCover, kOther}) {
        for (const QByteArray& body : fPictures) {
            if (pictureType(body) != type) continue;
            TagLib::FLAC::Picture picture;
            if (!picture.parse(TagLib::ByteVector(body.constData(), unsigned(body.size()))))
                continue;
            const TagLib::ByteVector data = picture.data();
            if (data.isEmpty()) continue;
            return QByteArray(data.data(), qsizetype(data.size()));
        }
    }
    return {};
}

// Writing: every writer changes the tags in memory only.

void VorbisCommentFile::setField(const QString& name, const QString& value) {
    fComment.set(name, value);
    fNeedsUpdate = true;
}

void VorbisCommentFile::writeTrackNum(int n, int m) {
    setField(kTrackNumber, QString::number(n));
    // The count goes under each name the file already uses, so players that
    // read either find it and none contradicts the other; TRACKTOTAL when
    // there is none.
    const QString count = m > 0 ? QString::number(m) : QString();
    const bool total = !fComment.value(kTotalTracks).isNull();
    if (!total || !fComment.value(kTrackTotal).isNull()) setField(kTrackTotal, count);
    if (total) setField(kTotalTracks, count);
}

void VorbisCommentFile::writeTrackStr(const QString& s) {
    int n = 0, count = 0;
    qsizetype end = 0;
    const bool hasNumber = ScanLeadingInt(s, 0, n, &end);
    if (hasNumber && end < s.size() && s[end] == u'/') ScanLeadingInt(s, end + 1, count);
    writeTrackNum(qMax(0, n), qMax(0, count));
}

void VorbisCommentFile::writeCustomTag(const std::optional<CustomTag>& tag) {
    setField(kCustomTagField, tag ? tag->customTagToString() : QString());
}

void VorbisCommentFile::writeImageData(const QByteArray& bytes, const QByteArray& format) {
    std::erase_if(fPictures, [](const QByteArray& body) {
        const quint32 type = pictureType(body);
        return type == kFrontCover || type == kOther;
    });
    fNeedsUpdate = true;
    if (bytes.isEmpty()) return;

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The size from the picture's header; the bytes are not decoded.
    const QSize size = QImageReader(&buffer, format).size();
    TagLib::FLAC::Picture picture;
    picture.setType(TagLib::FLAC::Picture::FrontCover);
    picture.setMimeType(TagLib::String("image/" + format.toStdString()));
    picture.setDescription("Album Cover");
    picture.setWidth(qMax(0, size.width()));
    picture.setHeight(qMax(0, size.height()));
    picture.setColorDepth(24);
    picture.setData(TagLib::ByteVector(bytes.constData(), unsigned(bytes.size())));
    const TagLib::ByteVector body = picture.render();
    fPictures.emplace_back(body.data(), qsizetype(body.size()));
}

VorbisComment VorbisCommentFile::commentWithPictures() const {
    VorbisComment comment = fComment;
    comment.remove(kPictureField);
    for (const QByteArray& body : fPictures)
        comment.add(kPictureField, QString::fromLatin1(body.toBase64()));
    return comment;
}

void VorbisCommentFile::takePicturesFromComment() {
    for (const QString& field : fComment.values(kPictureField)) {
        const QByteArray body = QByteArray::fromBase64(field.toLatin1());
        TagLib::FLAC::Picture picture;
        // A field that is no picture block is dropped rather than kept
        // half-understood.
        if (picture.parse(TagLib::ByteVector(body.constData(), unsigned(body.size()))))
            fPictures.push_back(body);
    }
    fComment.remove(kPictureField);
}

// Saving.

SavePlan VorbisCommentFile::startPlan() const {
    if (!fNeedsUpdate) return SavePlan();
    if (!fNotWritable.isNull()) return SavePlan::refused(fNotWritable);
    const QString name = QFileInfo(fPath).fileName();
    // A link is followed: the file it points to is written, the link stays.
    const QFileInfo info(fPath);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray native = QFile::encodeName(target);
    SavePlan plan;
    if (target.isEmpty() || ::stat(native.constData(), &plan.seen) != 0)
        return SavePlan::refused(QStringLiteral("The file “%1” could not be found.").arg(name));
    if (!S_ISREG(plan.seen.st_mode))
        return SavePlan::refused(QStringLiteral("“%1” is no longer an ordinary file.").arg(name));
    if (::access(native.constData(), W_OK) != 0)
        return SavePlan::refused(
            QStringLiteral("You do not have permission to change “%1”.").arg(name));
    if (!FileIO::sameFile(plan.seen, fOpened))
        return SavePlan::refused(QStringLiteral("“%1” was changed by another program since it "
                                                "was opened; open it again before saving.")
                                     .arg(name));
    plan.target = target;
    return plan;
}

