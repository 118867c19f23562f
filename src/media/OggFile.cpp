#include "media/OggFile.h"

#include "media/AudioFigures.h"
#include "media/CheckedLayout.h"
#include "media/FileIO.h"
#include "media/OggPage.h"
#include "media/QuickPrint.h"
#include "system/Durable.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <memory>
#include <optional>

#include <taglib/oggflacfile.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QByteArray kVorbisId("\x01vorbis", 7);
const QByteArray kVorbisComment("\x03vorbis", 7);
const QByteArray kOpusId("OpusHead");
const QByteArray kOpusComment("OpusTags");
const QByteArray kFlacId("\x7f"
                         "FLAC",
                         5);

// Ogg FLAC streams are rare: TagLib reads them.
bool oggFlacByTagLib(const QByteArray& path, int32_t* bitrate, uint32_t* seconds) {
    TagLib::Ogg::FLAC::File file(path.constData(), true, TagLib::AudioProperties::Average);
    if (!file.isOpen() || !file.isValid()) return false;
    if (const auto* audio = file.audioProperties()) {
        *bitrate = audio->bitrate();
        *seconds = uint32_t(qMax(0, audio->lengthInSeconds()));
    }
    return true;
}

// A little-endian number, bytes past the end of the packet read as zero
// (as TagLib reads a short header).
quint64 littleEndian(const QByteArray& bytes, qsizetype at, int width) {
    quint64 value = 0;
    for (int i = 0; i < width && at + i < bytes.size(); ++i)
        value |= quint64(quint8(bytes[at + i])) << (8 * i);
    return value;
}

// The granule position of the page starting at the last "OggS" in the
// file, which TagLib takes for the stream's end; false when that page's
// header is cut short or has no lacing values.
bool lastGranule(int fd, uint64_t size, int64_t* granule) {
    constexpr uint64_t kChunk = 16 << 10;
    constexpr uint64_t kHeader = 27;
    QByteArray chunk;
    for (uint64_t end = size; end >= 4;) {
        const uint64_t from = end > kChunk ? end - kChunk : 0;
        chunk.resize(qsizetype(end - from));
        if (!FileIO::readAt(fd, chunk.data(), size_t(chunk.size()), from)) return false;
        if (const qsizetype found = chunk.lastIndexOf("OggS"); found >= 0) {
            const uint64_t at = from + uint64_t(found);
            char head[kHeader];
            if (size - at < kHeader || !FileIO::readAt(fd, head, kHeader, at)) return false;
            const uint64_t segments = quint8(head[26]);
            if (segments == 0 || size - at - kHeader < segments) return false;
            *granule = qFromLittleEndian<qint64>(head + 6);
            return true;
        }
        if (from == 0) break;
        end = from + 3; // a capture pattern across the edge of two chunks
    }
    return false;
}

// The bitrate and length of a Vorbis or Opus stream as TagLib's average
// reading gives them: from the granule positions of the first and the
// last page, and the bytes of the file but its header packets.
void readAudio(int fd, const OggFile::Headers& h, int32_t* bitrate, uint32_t* seconds) {
    int64_t end = 0;
    const bool ends = lastGranule(fd, h.size, &end);
    const int64_t start = h.firstGranule;
    const QByteArray& id = h.packets[0];
    // A header packet that TagLib cannot reach, past a page that ends the
    // stream or is empty, counts as empty.
    auto audioBytes = [&h](size_t headerPackets) {
        int64_t bytes = int64_t(h.size);
        for (size_t i = 0; i < headerPackets; ++i)
            if (h.oddPage > h.endPages[i]) bytes -= h.packets[i].size();
        return bytes;
    };
    int lengthMs = 0, rate = 0;
    if (h.codec == OggFile::Codec::Vorbis) {
        if (id.size() < 28) return;
        const int sampleRate = int(quint32(littleEndian(id, 12, 4)));
        const int nominal = int(quint32(littleEndian(id, 20, 4)));
        if (ends && start >= 0 && end >= 0 && sampleRate > 0 && end - start > 0) {
            const double length = double(end - start) * 1000.0 / sampleRate;
            lengthMs = roundedAudioFigure(length);
            rate = roundedAudioFigure(double(audioBytes(3)) * 8.0 / length);
        }
        if (rate == 0 && nominal > 0) rate = int(nominal / 1000.0 + 0.5);
    } else {
        const int64_t preSkip = int64_t(littleEndian(id, 10, 2));
        if (ends && start >= 0 && end >= 0 && end - start > preSkip) {
            const double length = double(end - start - preSkip) * 1000.0 / 48000.0;
            lengthMs = roundedAudioFigure(length);
            rate = roundedAudioFigure(double(audioBytes(2)) * 8.0 / length);
        }
    }
    *bitrate = rate;
    *seconds = uint32_t(qMax(0, lengthMs / 1000));
}

// Adds a page's packet structure and content to an audio print; its
// sequence number counts from the first page after the headers, so a page
// numbered wrongly on the new file changes the print.
void addToPrint(QuickPrint& hash, const OggPage& page, quint32 headerPages) {
    char granule[8];
    memcpy(granule, &page.granule, 8);
    hash.addData(granule, 8);
    char sequence[4];
    const quint32 relative = page.sequence - headerPages;
    memcpy(sequence, &relative, 4);
    hash.addData(sequence, 4);
    hash.addData(reinterpret_cast<const char*>(&page.flags), 1);
    hash.addData(page.lacing);
    hash.addData(page.body);
}

} // namespace

QString OggFile::readHeaders(int fd, Headers* h) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return QStringLiteral("it cannot be read");
    *h = Headers();
    h->size = uint64_t(st.st_size);
    uint64_t at = 0;
    size_t wanted = 1;
    QByteArray packet;
    OggPage page;
    OggPage::Reader pages(fd, h->size);
    while (h->packets.size() < wanted) {
        uint64_t length = 0;
        if (pages.readAt(at, &page, &length) != OggPage::Read::Ok)
            return QStringLiteral("an Ogg page of its headers is damaged");
        if (h->pages == 0) {
            if (!(page.flags & OggPage::kFirst)) return QStringLiteral("its stream has no start");
            h->serial = page.serial;
        } else if (page.serial != h->serial) {
            return QStringLiteral("its headers are mixed with another stream");
        }
        if (page.sequence != h->pages)
            h->notWritable = QStringLiteral("its header pages are out of order");
        if (h->pages == 0) h->firstGranule = int64_t(page.granule);
        h->checksums.push_back(page.crc);
        if (h->oddPage == ~uint64_t(0) && ((page.flags & OggPage::kLast) || page.lacing.isEmpty()))
            h->oddPage = h->pages;
        ++h->pages;
        at += length;
        // A packet's bytes on the page are taken in one piece.
        qsizetype from = 0, runFrom = 0;
        auto takeRun = [&] {
            packet.append(page.body.constData() + runFrom, from - runFrom);
            runFrom = from;
            return packet.size() <= OggPage::kMaxPacket;
        };
        for (qsizetype i = 0; i < page.lacing.size(); ++i) {
            const int v = quint8(page.lacing[i]);
            if (h->packets.size() >= wanted) {
                h->notWritable = QStringLiteral("its audio starts on a header page");
                break;
            }
            from += v;
            if (v == 255) continue;
            if (!takeRun()) return QStringLiteral("a header is too large");
            h->packets.push_back(packet);
            h->endPages.push_back(h->pages - 1);
            packet.clear();
            if (h->packets.size() == 1) {
                const QByteArray& id = h->packets[0];
                if (id.startsWith(kVorbisId)) {
                    h->codec = Codec::Vorbis;
                    wanted = 3;
                } else if (id.startsWith(kOpusId)) {
                    h->codec = Codec::Opus;
                    wanted = 2;
                } else if (id.startsWith(kFlacId) && id.size() >= 9) {
                    h->codec = Codec::Flac;
                    wanted = 1 + ((quint8(id[7]) << 8) | quint8(id[8]));
                    // Without a count, where the headers end is a guess.
                    if (wanted == 1) return QStringLiteral("its header count is unknown");
                } else {
                    return QStringLiteral("it is not Vorbis, Opus or FLAC");
                }
            }
        }
        if (!takeRun()) return QStringLiteral("a header is too large");
    }
    if (!packet.isEmpty()) h->notWritable = QStringLiteral("its audio starts on a header page");
    h->audioAt = at;
    return {};
}

bool OggFile::commentOf(const Headers& h, VorbisComment* comment,
                        std::vector<QByteArray>* pictures) {
    const QByteArray& packet = h.packets[1];
    const QStringView pictureField = pictures ? QStringView(kPictureField) : QStringView();
    const QByteArrayView bytes(packet);
    switch (h.codec) {
    case Codec::Vorbis:
        return packet.startsWith(kVorbisComment) &&
               comment->parse(bytes.sliced(7), pictureField, pictures);
    case Codec::Opus:
        return packet.startsWith(kOpusComment) &&
               comment->parse(bytes.sliced(8), pictureField, pictures);
    case Codec::Flac:
        // A FLAC metadata block: the comment must come first.
        return packet.size() >= 4 && (quint8(packet[0]) & 0x7F) == 4 &&
               comment->parse(bytes.sliced(4), pictureField, pictures);
    }
    return false;
}

std::shared_ptr<OggFile> OggFile::newOggFileWithPath(const QString& path) {
    std::shared_ptr<OggFile> file(new OggFile(path));
    if (!file->open()) return nullptr;
    return file;
}

std::shared_ptr<MusicFile> OggFile::copyAsOpened() const {
    return std::shared_ptr<OggFile>(new OggFile(*this));
}

bool OggFile::open() {
    const QByteArray native = QFile::encodeName(fPath);
    const FileIO::ClosedAtExit f{::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (f.fd < 0 || ::fstat(f.fd, &fOpened) != 0 || !S_ISREG(fOpened.st_mode)) return false;
    // The picture fields are looked at and let go: their bytes are read
    // again when asked for.
    std::vector<QByteArray> fields;
    if (!readHeaders(f.fd, &fHeaders).isNull() || !commentOf(fHeaders, &fComment, &fields))
        return false;
    fStoredFields = int(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        Picture picture;
        if (storedField(int(i), fields[i], &picture)) fPictures.push_back(picture);
    }
    fields = {};
    if (fHeaders.codec == Codec::Flac) {
        if (!oggFlacByTagLib(native, &fAudioBitrate, &fAudioSeconds)) return false;
    } else {
        // TagLib refuses a stream whose comment lies past a page that ends
        // the stream or holds no lacing value.
        if (fHeaders.oddPage <= fHeaders.endPages[1]) return false;
        readAudio(f.fd, fHeaders, &fAudioBitrate, &fAudioSeconds);
    }
    dropCommentPacket(fHeaders);
    fNotWritable = fHeaders.notWritable.isNull()
                       ? QString()
                       : QStringLiteral("“%1” was not written: %2.")
                             .arg(QFileInfo(fPath).fileName(), fHeaders.notWritable);
    return true;
}

bool OggFile::readStoredPictures(std::vector<QByteArray>* bodies, QString* why) const {
    std::vector<QByteArray> fields;
    if (!readStoredPictureFields(&fields, why)) return false;
    bodies->clear();
    for (const QByteArray& field : fields)
        bodies->push_back(fieldBody(field));
    return true;
}

namespace {

// The picture fields a thread read last, and of which file object as
// opened: planning a save, which needs them, follows the comparison of the
// file's picture with a new cover, which read them, on the same thread.
struct FieldsRead {
    const OggFile* file = nullptr;
    struct stat opened {};
    std::vector<quint32> checksums;
    std::vector<QByteArray> fields;
};
thread_local FieldsRead tLastFieldsRead;

} // namespace

bool OggFile::readStoredPictureFields(std::vector<QByteArray>* fields, QString* why) const {
    // Read for this file as opened, header page for header page: another
    // program's change since then is refused where the save checks the file.
    FieldsRead& last = tLastFieldsRead;
    if (last.file == this && fStoredFields >= 0 && FileIO::sameFile(last.opened, fOpened) &&
        last.checksums == fHeaders.checksums && last.fields.size() == size_t(fStoredFields)) {
        *fields = last.fields;
        return true;
    }
    last = {};
    const FileIO::ClosedAtExit f{openAsOpened(why)};
    if (f.fd < 0) return false;
    // The header pages as opened, checksum for checksum, and as many
    // picture fields in the comment.
    Headers now;
    VorbisComment comment;
    if (fStoredFields < 0 || !readHeaders(f.fd, &now).isNull() || now.codec != fHeaders.codec ||
        now.checksums != fHeaders.checksums || !commentOf(now, &comment, fields) ||
        fields->size() != size_t(fStoredFields)) {
        *why = picturesUnreadable();
        return false;
    }
    last = {this, fOpened, fHeaders.checksums, *fields};
    return true;
}

void OggFile::dropCommentPacket(Headers& headers) {
    // The comment and its pictures are held already; a save needs only the
    // packet's first byte (an Ogg FLAC block's type).
    headers.packets[1].truncate(1);
    headers.packets[1].squeeze();
}

SavePlan OggFile::planSave() {
    SavePlan plan = startPlan();
    if (plan.kind == SavePlan::Kind::Refused || !fNeedsUpdate) return plan;

    // A save that cannot read the pictures again would lose them. Those the
    // file keeps go back as the fields they are, neither decoded nor encoded
    // again: its header pages are the ones opened, checksum for checksum.
    std::vector<QByteArray> stored, fields;
    QString why;
    if (std::any_of(fPictures.begin(), fPictures.end(),
                    [](const Picture& p) { return p.stored >= 0; }) &&
        !readStoredPictureFields(&stored, &why))
        return SavePlan::refused(why);
    for (const Picture& p : fPictures) {
        if (p.stored < 0)
            fields.push_back(p.body.toBase64());
        else if (size_t(p.stored) < stored.size())
            fields.push_back(stored[size_t(p.stored)]);
        else
            return SavePlan::refused(picturesUnreadable());
    }
    stored = {};
    const QByteArray comment = renderWithPictureFields(fields);
    fields = {};
    QByteArray packet;
    switch (fHeaders.codec) {
    case Codec::Vorbis:
        packet = kVorbisComment + comment + '\x01'; // the framing bit
        break;
    case Codec::Opus:
        packet = kOpusComment + comment;
        break;
    case Codec::Flac: {
        if (comment.size() >= (1 << 24))
            return SavePlan::refused(
                QStringLiteral("The tags of “%1” are too large.").arg(QFileInfo(fPath).fileName()));
        packet = fHeaders.packets[1].left(1);
        packet += char(comment.size() >> 16);
        packet += char(comment.size() >> 8);
        packet += char(comment.size());
        packet += comment;
        break;
    }
    }
    std::vector<QByteArray> packets = fHeaders.packets;
    packets[1] = packet;
    QByteArray headerBytes;
    const std::vector<OggPage> pages =
        OggPage::paginate(packets, fHeaders.serial, 0, OggPage::kFirst);
    qsizetype headerSize = 0;
    for (const OggPage& page : pages)
        headerSize += page.renderedSize();
    headerBytes.reserve(headerSize);
    for (const OggPage& page : pages)
        page.appendTo(headerBytes);

    // Header pages as the file holds them already: nothing to write.
    if (pages.size() == fHeaders.pages && uint64_t(headerBytes.size()) == fHeaders.audioAt) {
        const FileIO::ClosedAtExit f{
            ::open(QFile::encodeName(plan.target).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
        QByteArray was(headerBytes.size(), Qt::Uninitialized);
        if (f.fd >= 0 && FileIO::readAt(f.fd, was.data(), size_t(was.size()), 0) &&
            was == headerBytes) {
            plan.kind = SavePlan::Kind::Nothing;
            plan.finish = [this](bool saved) {
                if (saved) fNeedsUpdate = false;
            };
            return plan;
        }
    }

    plan.kind = SavePlan::Kind::Rewrite;
    plan.heldBytes = headerBytes.size();
    const Headers old = fHeaders;
    const qint64 shift = qint64(pages.size()) - qint64(old.pages);
    auto audioPrint = std::make_shared<QByteArray>();
    plan.writeNew = [old, headerBytes, shift, audioPrint](int in, int out) {
        if (!Durable::writeAll(out, headerBytes.constData(), size_t(headerBytes.size())))
            return SavePlan::notWritten(errno);
        QuickPrint hash;
        constexpr qsizetype kWriteAt = 1 << 20;
        QByteArray buffer;
        buffer.reserve(kWriteAt + (64 << 10) + 512); // and a page at most
        OggPage page;
        OggPage::Reader pages(in, old.size);
        uint64_t at = old.audioAt;
        for (;;) {
            uint64_t length = 0;
            const OggPage::Read read = pages.readAt(at, &page, &length);
            if (read == OggPage::Read::End) break;
            if (read == OggPage::Read::Damaged || page.serial != old.serial) {
                return Outcome::failed(read == OggPage::Read::Damaged
                                           ? QStringLiteral("An Ogg page of its audio is damaged.")
                                           : QStringLiteral("It holds more than one stream."));
            }
            addToPrint(hash, page, quint32(old.pages));
            page.sequence = quint32(qint64(page.sequence) + shift);
            page.appendTo(buffer);
            at += length;
            if (buffer.size() >= kWriteAt) {
                if (!Durable::writeAll(out, buffer.constData(), size_t(buffer.size())))
                    return SavePlan::notWritten(errno);
                buffer.resize(0); // keeps its room
            }
        }
        if (!Durable::writeAll(out, buffer.constData(), size_t(buffer.size())))
            return SavePlan::notWritten(errno);
        *audioPrint = hash.result();
        return Outcome::done();
    };
    auto readBack = std::make_shared<std::optional<CheckedLayout<Headers>>>();
    plan.verify = [headerBytes, packets, audioPrint, readBack](const QString& path) -> QString {
        const FileIO::ClosedAtExit v{
            ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)};
        if (v.fd < 0) return QStringLiteral("it cannot be opened");
        struct stat seen {};
        Headers now;
        if (::fstat(v.fd, &seen) != 0) return QStringLiteral("it cannot be read");
        const QString why = readHeaders(v.fd, &now);
        if (!why.isNull()) return why;
        if (now.packets != packets || now.audioAt != uint64_t(headerBytes.size()))
            return QStringLiteral("its headers do not read back as written");
        QuickPrint hash;
        OggPage page;
        OggPage::Reader pages(v.fd, now.size);
        for (uint64_t at = now.audioAt;;) {
            uint64_t length = 0;
            const OggPage::Read read = pages.readAt(at, &page, &length);
            if (read == OggPage::Read::End) break;
            if (read == OggPage::Read::Damaged)
                return QStringLiteral("an Ogg page of its audio does not read back");
            addToPrint(hash, page, quint32(now.pages));
            at += length;
        }
        const QByteArray print = hash.result();
        if (print.isEmpty() || print != *audioPrint) return QStringLiteral("its audio changed");
        dropCommentPacket(now);
        readBack->emplace(CheckedLayout<Headers>{seen, std::move(now)});
        return {};
    };
    plan.finish = [this, readBack](bool saved) {
        if (!saved) return;
        fNeedsUpdate = false;
        if (takeCheckedLayout(*readBack, fPath, &fOpened, &fHeaders,
                              [](int fd, Headers* headers) { return readHeaders(fd, headers); })) {
            dropCommentPacket(fHeaders);
            // The file keeps the pictures just written, in order.
            picturesSaved();
            fStoredFields = int(fPictures.size());
        } else {
            // Headers half read must never be written back, nor the pictures
            // read from them.
            fStoredFields = -1;
            fNotWritable = QStringLiteral("“%1” could not be read again after it was saved; "
                                          "open it again.")
                               .arg(QFileInfo(fPath).fileName());
        }
    };
    return plan;
}
