#include "media/VorbisCommentFile.h"

#include "media/FileIO.h"
#include "system/Log.h"
#include "tags/TextNumbers.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QRandomGenerator>
#include <QtEndian>

#include <taglib/flacpicture.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

enum PictureType : quint32 { kOther = 0, kFrontCover = 3 };

quint32 pictureType(const QByteArray& body) {
    return body.size() >= 4 ? qFromBigEndian<quint32>(body.constData()) : quint32(-1);
}

// The comment fields each tag field is kept in.
struct TextName {
    TagField field;
    QStringView name;
};
constexpr TextName kTextNames[] = {
    {TagField::Title, u"TITLE"},
    {TagField::Artist, u"ARTIST"},
    {TagField::AlbumArtist, u"ALBUMARTIST"},
    {TagField::Album, u"ALBUM"},
    {TagField::Genre, u"GENRE"},
    {TagField::Year, u"DATE"},
};
// A number, its count and the older spelling of the count; a number field
// may also hold "n/m".
struct PairNames {
    TagField number;
    TagField count;
    QStringView numberName;
    QStringView countName;
    QStringView olderCountName;
};
constexpr PairNames kPairNames[] = {
    {TagField::Track, TagField::TrackCount, u"TRACKNUMBER", u"TRACKTOTAL", u"TOTALTRACKS"},
    {TagField::Disc, TagField::DiscCount, u"DISCNUMBER", u"DISCTOTAL", u"TOTALDISCS"},
};

// The fields kept one value to a comment field, several values in as many
// fields of one name: the MusicBrainz identifiers under the names the
// common taggers and media servers use, where MUSICBRAINZ_TRACKID holds the
// recording and MUSICBRAINZ_RELEASETRACKID the track on the release.
constexpr TextName kListNames[] = {
    {TagField::MBReleaseId, u"MUSICBRAINZ_ALBUMID"},
    {TagField::MBReleaseGroupId, u"MUSICBRAINZ_RELEASEGROUPID"},
    {TagField::MBReleaseTrackId, u"MUSICBRAINZ_RELEASETRACKID"},
    {TagField::MBRecordingId, u"MUSICBRAINZ_TRACKID"},
    {TagField::MBArtistId, u"MUSICBRAINZ_ARTISTID"},
    {TagField::MBAlbumArtistId, u"MUSICBRAINZ_ALBUMARTISTID"},
};

// The length of a picture block's image, by the bounds TagLib's parser
// checks (in 64 bits, where it wraps at 32); -1 for a block it refuses.
// `head` is the start of a block of `size` bytes; kNeedMore when the
// answer lies beyond it.
constexpr qint64 kNeedMore = -2;
qint64 pictureDataLength(QByteArrayView head, qint64 size) {
    auto at = [&head](qint64 pos) { return qint64(qFromBigEndian<quint32>(head.data() + pos)); };
    if (size < 32) return -1;
    if (head.size() < 8) return kNeedMore;
    qint64 pos = 4;
    const qint64 mimeLength = at(pos);
    pos += 4;
    if (pos + mimeLength + 24 > size) return -1;
    pos += mimeLength;
    if (head.size() < pos + 4) return kNeedMore;
    const qint64 descriptionLength = at(pos);
    pos += 4;
    if (pos + descriptionLength + 20 > size) return -1;
    pos += descriptionLength + 16;
    if (head.size() < pos + 4) return kNeedMore;
    const qint64 dataLength = at(pos);
    pos += 4;
    return pos + dataLength > size ? -1 : dataLength;
}

// The size a base64 field decodes to, when it is plain base64 (letters,
// digits, "+" and "/" in groups of four, "=" padding only at the end);
// -1 for anything else, which only decoding it whole tells.
qint64 plainBase64Size(const QByteArray& text) {
    const qsizetype n = text.size();
    if (n % 4 != 0) return -1;
    qsizetype pads = 0;
    while (pads < 2 && pads < n && text.at(n - 1 - pads) == '=')
        ++pads;
    // Sixteen bytes a step, as a cover's field is long.
    using Bytes = quint8 __attribute__((vector_size(16)));
    Bytes bad{};
    const char* p = text.constData();
    const qsizetype body = n - pads;
    qsizetype i = 0;
    for (; i + 16 <= body; i += 16) {
        Bytes c;
        memcpy(&c, p + i, 16);
        const Bytes ok = Bytes((c - 'A') < 26) | Bytes((c - 'a') < 26) | Bytes((c - '0') < 10) |
                         Bytes(c == '+') | Bytes(c == '/');
        bad |= ~ok;
    }
    quint64 halves[2];
    memcpy(halves, &bad, 16);
    bool plain = (halves[0] | halves[1]) == 0;
    for (; i < body; ++i) {
        const char c = p[i];
        plain &= (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '+' || c == '/';
    }
    return plain ? n / 4 * 3 - pads : -1;
}

// Whether a base64 field holds a front cover or other picture with an
// image, decoding no more of it than its block's header; -1 when only
// decoding it whole tells.
int encodedCover(const QByteArray& text) {
    const qint64 size = plainBase64Size(text);
    if (size < 0) return -1;
    for (qsizetype chars = 64;; chars *= 2) {
        const QByteArray head = QByteArray::fromBase64(text.left(chars));
        const qint64 length = pictureDataLength(head, size);
        if (length != kNeedMore) {
            const quint32 type = pictureType(head);
            return (type == kFrontCover || type == kOther) && length > 0;
        }
        if (chars >= text.size()) return -1;
    }
}

// Decodes base64 picture fields onto `pictures` and empties `encoded`.
void decodeInto(std::vector<QByteArray>& encoded, std::vector<QByteArray>& pictures) {
    for (const QByteArray& field : encoded) {
        // As the field's text: bytes that are not UTF-8 read as one
        // replacement character each, which decoding then skips.
        const QByteArray body = QByteArray::fromBase64(QString::fromUtf8(field).toLatin1());
        TagLib::FLAC::Picture picture;
        // A field that is no picture block is dropped rather than kept
        // half-understood.
        if (picture.parse(TagLib::ByteVector(body.constData(), unsigned(body.size()))))
            pictures.push_back(body);
    }
    encoded.clear();
}

} // namespace

// Reading.

TagValues VorbisCommentFile::readTagValues() {
    TagValues values;
    for (const TextName& t : kTextNames)
        values.setText(t.field, fComment.value(t.name.toString()));
    // A full date ("2004-05-01") reads as its year.
    values.year = YearText(values.year);
    for (const PairNames& p : kPairNames) {
        const auto [number, countInNumber] =
            TagValues::splitPair(fComment.value(p.numberName.toString()));
        QString count;
        for (const QStringView name : {p.countName, p.olderCountName}) {
            count = fComment.value(name.toString());
            if (!count.isEmpty()) break;
        }
        if (count.isEmpty()) count = countInNumber;
        values.setText(p.number, number);
        values.setText(p.count, count);
    }
    for (const TextName& t : kListNames) {
        QStringList parts;
        for (const QString& value : fComment.values(t.name.toString()))
            parts += TagValues::valuesOf(value);
        values.setText(t.field, TagValues::joinedValues(parts));
    }
    const QString custom = fComment.value(kCustomTagField);
    if (!custom.isEmpty()) values.custom = CustomTag::fromString(custom);
    return values;
}

QByteArray VorbisCommentFile::readImage() const {
    decodePictures();
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

// Without copying the pictures, as opening every file asks it.
bool VorbisCommentFile::readHasImage() const {
    const std::lock_guard lock(fDecodeLock);
    for (const QByteArray& text : fEncodedPictures) {
        const int cover = encodedCover(text);
        if (cover < 0) {
            decodeInto(fEncodedPictures, fPictures);
            break;
        }
        if (cover) return true;
    }
    for (const QByteArray& body : fPictures) {
        const quint32 type = pictureType(body);
        if ((type == kFrontCover || type == kOther) && pictureDataLength(body, body.size()) > 0)
            return true;
    }
    return false;
}

// Writing: every writer changes the tags in memory only.

void VorbisCommentFile::setField(const QString& name, const QString& value) {
    fComment.set(name, value);
    fNeedsUpdate = true;
}

void VorbisCommentFile::writeTagValues(const TagValues& values, TagFields fields) {
    for (const TextName& t : kTextNames)
        if (fields.testFlag(t.field)) setField(t.name.toString(), values.text(t.field));
    for (const PairNames& p : kPairNames) {
        if (!fields.testAnyFlags(p.number | p.count)) continue;
        setField(p.numberName.toString(), values.text(p.number));
        // The count goes under each name the file already uses, so players
        // that read either find it and none contradicts the other; the
        // newer name when there is none.
        const QString count = values.text(p.count);
        const QString newer = p.countName.toString();
        const QString older = p.olderCountName.toString();
        const bool hasOlder = !fComment.value(older).isNull();
        if (!hasOlder || !fComment.value(newer).isNull()) setField(newer, count);
        if (hasOlder) setField(older, count);
    }
    if (fields.testFlag(TagField::Custom))
        setField(kCustomTagField, values.custom ? values.custom->customTagToString() : QString());
    for (const TextName& t : kListNames) {
        if (!fields.testFlag(t.field)) continue;
        const QString name = t.name.toString();
        const QStringList list = TagValues::valuesOf(values.text(t.field));
        if (fComment.values(name) == std::vector<QString>(list.begin(), list.end())) continue;
        fComment.remove(name);
        for (const QString& value : list)
            fComment.add(name, value);
        fNeedsUpdate = true;
    }
}

void VorbisCommentFile::writeImageData(const QByteArray& bytes, const QByteArray& format) {
    decodePictures();
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
    decodePictures();
    VorbisComment comment = fComment;
    comment.remove(kPictureField);
    for (const QByteArray& body : fPictures)
        comment.add(kPictureField, QString::fromLatin1(body.toBase64()));
    return comment;
}

void VorbisCommentFile::decodePictures() const {
    const std::lock_guard lock(fDecodeLock);
    decodeInto(fEncodedPictures, fPictures);
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
