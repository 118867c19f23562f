#include "media/VorbisCommentFile.h"

#include "media/FileIO.h"
#include "system/Log.h"
#include "system/PictureCodec.h"
#include "tags/TextNumbers.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtEndian>

#include <taglib/flacpicture.h>

#include <algorithm>
#include <array>
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
// answer lies beyond it. `dataAt`, when given, learns where in the block
// the image starts.
constexpr qint64 kNeedMore = -2;
qint64 pictureDataLength(QByteArrayView head, qint64 size, qint64* dataAt = nullptr) {
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
    if (pos + dataLength > size) return -1;
    if (dataAt) *dataAt = pos;
    return dataLength;
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

// Plain base64 (see plainBase64Size) decoded four letters a step: three
// times as fast as QByteArray::fromBase64, which checks each letter again.
QByteArray decodePlainBase64(const QByteArray& text, qint64 size) {
    static const std::array<quint8, 256> kValues = [] {
        std::array<quint8, 256> values{};
        const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (quint8 i = 0; i < 64; ++i)
            values[quint8(letters[i])] = i;
        return values;
    }();
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    const auto* in = reinterpret_cast<const quint8*>(text.constData());
    char* to = out.data();
    const auto group = [&in] {
        return quint32(kValues[in[0]]) << 18 | quint32(kValues[in[1]]) << 12 |
               quint32(kValues[in[2]]) << 6 | kValues[in[3]];
    };
    for (qint64 whole = size / 3; whole > 0; --whole, in += 4, to += 3) {
        const quint32 v = group();
        to[0] = char(v >> 16);
        to[1] = char(v >> 8);
        to[2] = char(v);
    }
    // The padded group: "=" reads as zero bits.
    if (const qint64 rest = size % 3) {
        const quint32 v = quint32(kValues[in[0]]) << 18 | quint32(kValues[in[1]]) << 12 |
                          (rest == 2 ? quint32(kValues[in[2]]) << 6 : 0);
        to[0] = char(v >> 16);
        if (rest == 2) to[1] = char(v >> 8);
    }
    return out;
}

// Whether TagLib's parser takes a picture block.
bool parsesAsPicture(const QByteArray& body) {
    TagLib::FLAC::Picture picture;
    return picture.parse(TagLib::ByteVector(body.constData(), unsigned(body.size())));
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
    if (std::none_of(fPictures.begin(), fPictures.end(),
                     [](const Picture& p) { return p.type == kFrontCover || p.type == kOther; }))
        return {};
    std::vector<QByteArray> bodies;
    QString why;
    if (!pictureBodies(&bodies, &why)) {
        TROVIX_LOG() << "Cover not read:" << why;
        return {};
    }
    for (quint32 type : {kFrontCover, kOther}) {
        for (const QByteArray& body : bodies) {
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

// From what opening found, as opening every file asks it.
bool VorbisCommentFile::readHasImage() const {
    return std::any_of(fPictures.begin(), fPictures.end(), [](const Picture& p) {
        return (p.type == kFrontCover || p.type == kOther) && p.hasImage;
    });
}

// Pictures.

// The picture readImage picks, by the lengths opening read.
const VorbisCommentFile::Picture* VorbisCommentFile::imagePicture() const {
    for (quint32 type : {kFrontCover, kOther})
        for (const Picture& p : fPictures)
            if (p.type == type && p.imageLength > 0) return &p;
    return nullptr;
}

qint64 VorbisCommentFile::storedImageSize() const {
    const Picture* picture = imagePicture();
    return picture ? picture->imageLength : 0;
}

bool VorbisCommentFile::storedPicture(int index, QByteArrayView head, qint64 length,
                                      Picture* picture) {
    qint64 dataAt = -1;
    const qint64 data = pictureDataLength(head, length, &dataAt);
    if (data == kNeedMore) return false;
    picture->stored = index;
    picture->type = head.size() >= 4 ? qFromBigEndian<quint32>(head.data()) : quint32(-1);
    picture->hasImage = data > 0;
    picture->imageLength = data;
    picture->imageAt = data >= 0 ? dataAt : -1;
    return true;
}

VorbisCommentFile::Picture VorbisCommentFile::heldPicture(const QByteArray& body) {
    Picture picture;
    storedPicture(-1, body, body.size(), &picture);
    picture.body = body;
    return picture;
}

bool VorbisCommentFile::storedField(int index, const QByteArray& field, Picture* picture) {
    const qint64 size = plainBase64Size(field);
    // Plain base64 within bounds tells all from its first groups; anything
    // else only decoding it whole tells.
    for (qsizetype chars = 64; size >= 0; chars *= 2) {
        const QByteArray head = QByteArray::fromBase64(field.left(chars));
        if (storedPicture(index, head, size, picture)) {
            if (pictureDataLength(head, size) >= 0) return true;
            break;
        }
        if (chars >= field.size()) break;
    }
    const QByteArray body = fieldBody(field);
    if (body.isNull()) return false;
    *picture = heldPicture(body);
    picture->stored = index;
    picture->body = QByteArray();
    return true;
}

QByteArray VorbisCommentFile::fieldBody(const QByteArray& field) {
    // As the field's text: bytes that are not UTF-8 read as one replacement
    // character each, which decoding then skips. ASCII, as base64 is, reads
    // as itself: a cover's text is decoded as it stands, not converted twice.
    QByteArray body;
    if (const qint64 size = plainBase64Size(field); size >= 0) {
        body = decodePlainBase64(field, size);
    } else {
        char bits = 0;
        for (const char c : field)
            bits |= c;
        body = QByteArray::fromBase64((bits & 0x80) == 0 ? field
                                                         : QString::fromUtf8(field).toLatin1());
    }
    return parsesAsPicture(body) ? body : QByteArray();
}

bool VorbisCommentFile::pictureBodies(std::vector<QByteArray>* bodies, QString* why) const {
    std::vector<QByteArray> stored;
    const bool read = std::any_of(fPictures.begin(), fPictures.end(),
                                  [](const Picture& p) { return p.stored >= 0; });
    if (read && !readStoredPictures(&stored, why)) return false;
    bodies->clear();
    for (const Picture& p : fPictures) {
        if (p.stored < 0) {
            bodies->push_back(p.body);
            continue;
        }
        // A block that no longer reads as the one opened is never used.
        Picture now;
        if (size_t(p.stored) >= stored.size() ||
            !storedPicture(p.stored, stored[size_t(p.stored)], stored[size_t(p.stored)].size(),
                           &now) ||
            now.type != p.type || now.hasImage != p.hasImage) {
            *why = picturesUnreadable();
            return false;
        }
        bodies->push_back(std::move(stored[size_t(p.stored)]));
    }
    return true;
}

int VorbisCommentFile::openAsOpened(QString* why) const {
    const int fd = FileIO::openAsOpened(QFile::encodeName(fPath), fOpened);
    if (fd >= 0) return fd;
    *why = QStringLiteral("“%1” was changed by another program since it was opened, and its "
                          "pictures cannot be read again; open it again.")
               .arg(QFileInfo(fPath).fileName());
    return -1;
}

QString VorbisCommentFile::picturesUnreadable() const {
    return QStringLiteral("The pictures of “%1” could not be read again.")
        .arg(QFileInfo(fPath).fileName());
}

void VorbisCommentFile::picturesSaved() {
    for (size_t i = 0; i < fPictures.size(); ++i) {
        fPictures[i].stored = int(i);
        fPictures[i].body = QByteArray();
    }
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
    // The pictures kept stay where the file keeps them.
    std::erase_if(fPictures,
                  [](const Picture& p) { return p.type == kFrontCover || p.type == kOther; });
    fNeedsUpdate = true;
    if (bytes.isEmpty()) return;

    // The size from the picture's header; the bytes are not decoded.
    const QSize size = Pictures::headerSize(bytes, format);
    TagLib::FLAC::Picture picture;
    picture.setType(TagLib::FLAC::Picture::FrontCover);
    picture.setMimeType(TagLib::String("image/" + format.toStdString()));
    picture.setDescription("Album Cover");
    picture.setWidth(qMax(0, size.width()));
    picture.setHeight(qMax(0, size.height()));
    picture.setColorDepth(24);
    picture.setData(TagLib::ByteVector(bytes.constData(), unsigned(bytes.size())));
    const TagLib::ByteVector body = picture.render();
    fPictures.push_back(heldPicture(QByteArray(body.data(), qsizetype(body.size()))));
}

QByteArray VorbisCommentFile::renderWithPictureFields(const std::vector<QByteArray>& fields) const {
    VorbisComment comment = fComment;
    comment.remove(kPictureField);
    return comment.render(kPictureField, fields);
}

// Saving.

SavePlan VorbisCommentFile::startPlan() const {
    if (!fNeedsUpdate) return SavePlan();
    if (!fNotWritable.isNull()) return SavePlan::refused(fNotWritable);
    const QString name = QFileInfo(fPath).fileName();
    SavePlan plan;
    const QString target = FileIO::saveTarget(fPath, &plan.seen);
    const QByteArray native = QFile::encodeName(target);
    if (target.isEmpty())
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
