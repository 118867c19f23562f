#include "media/OggFile.h"

#include "media/FileIO.h"
#include "media/OggPage.h"
#include "system/Durable.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

const QByteArray kVorbisId("\x01vorbis", 7);
const QByteArray kVorbisComment("\x03vorbis", 7);
const QByteArray kOpusId("OpusHead");
const QByteArray kOpusComment("OpusTags");
const QByteArray kFlacId("\x7f"
                         "FLAC",
                         5);

bool isValidByTagLib(const QByteArray& path, OggFile::Codec codec, int32_t* bitrate,
                     uint32_t* seconds) {
    auto take = [&](auto& file) {
        if (!file.isOpen() || !file.isValid()) return false;
        if (const auto* audio = file.audioProperties()) {
            *bitrate = audio->bitrate();
            *seconds = uint32_t(qMax(0, audio->lengthInSeconds()));
        }
        return true;
    };
    const auto style = TagLib::AudioProperties::Average;
    switch (codec) {
    case OggFile::Codec::Vorbis: {
        TagLib::Ogg::Vorbis::File file(path.constData(), true, style);
        return take(file);
    }
    case OggFile::Codec::Opus: {
        TagLib::Ogg::Opus::File file(path.constData(), true, style);
        return take(file);
    }
    case OggFile::Codec::Flac: {
        TagLib::Ogg::FLAC::File file(path.constData(), true, style);
        return take(file);
    }
    }
    return false;
}

// Adds a page's packet structure and content to an audio print; its
// sequence number counts from the first page after the headers, so a page
// numbered wrongly on the new file changes the print.
void addToPrint(QCryptographicHash& hash, const OggPage& page, quint32 headerPages) {
    char granule[8];
    memcpy(granule, &page.granule, 8);
    hash.addData(QByteArrayView(granule, 8));
    char sequence[4];
    const quint32 relative = page.sequence - headerPages;
    memcpy(sequence, &relative, 4);
    hash.addData(QByteArrayView(sequence, 4));
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(&page.flags), 1));
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
    while (h->packets.size() < wanted) {
        uint64_t length = 0;
        if (OggPage::readAt(fd, at, h->size, &page, &length) != OggPage::Read::Ok)
            return QStringLiteral("an Ogg page of its headers is damaged");
        if (h->pages == 0) {
            if (!(page.flags & OggPage::kFirst)) return QStringLiteral("its stream has no start");
            h->serial = page.serial;
        } else if (page.serial != h->serial) {
            return QStringLiteral("its headers are mixed with another stream");
        }
        if (page.sequence != h->pages)
            h->notWritable = QStringLiteral("its header pages are out of order");
        ++h->pages;
        at += length;
        qsizetype from = 0;
        for (qsizetype i = 0; i < page.lacing.size(); ++i) {
            const int v = quint8(page.lacing[i]);
            if (h->packets.size() >= wanted) {
                h->notWritable = QStringLiteral("its audio starts on a header page");
                break;
            }
            packet.append(page.body.constData() + from, v);
            from += v;
            if (packet.size() > OggPage::kMaxPacket) return QStringLiteral("a header is too large");
            if (v == 255) continue;
            h->packets.push_back(packet);
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
    }
    if (!packet.isEmpty()) h->notWritable = QStringLiteral("its audio starts on a header page");
    h->audioAt = at;
    return {};
}

bool OggFile::commentOf(const Headers& h, VorbisComment* comment) {
    const QByteArray& packet = h.packets[1];
    switch (h.codec) {
    case Codec::Vorbis:
        return packet.startsWith(kVorbisComment) && comment->parse(packet.mid(7));
    case Codec::Opus:
        return packet.startsWith(kOpusComment) && comment->parse(packet.mid(8));
    case Codec::Flac:
        // A FLAC metadata block: the comment must come first.
        return packet.size() >= 4 && (quint8(packet[0]) & 0x7F) == 4 &&
               comment->parse(packet.mid(4));
    }
    return false;
}

std::shared_ptr<OggFile> OggFile::newOggFileWithPath(const QString& path) {
    std::shared_ptr<OggFile> file(new OggFile(path));
    if (!file->open()) return nullptr;
    return file;
}

bool OggFile::open() {
    const QByteArray native = QFile::encodeName(fPath);
    Fd f{::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (f.fd < 0 || ::fstat(f.fd, &fOpened) != 0 || !S_ISREG(fOpened.st_mode)) return false;
    if (!readHeaders(f.fd, &fHeaders).isNull() || !commentOf(fHeaders, &fComment)) return false;
    if (!isValidByTagLib(native, fHeaders.codec, &fAudioBitrate, &fAudioSeconds)) return false;
    takePicturesFromComment();
    fNotWritable = fHeaders.notWritable.isNull()
                       ? QString()
                       : QStringLiteral("“%1” was not written: %2.")
                             .arg(QFileInfo(fPath).fileName(), fHeaders.notWritable);
    return true;
}

SavePlan OggFile::planSave() {
    SavePlan plan = startPlan();
    if (plan.kind == SavePlan::Kind::Refused || !fNeedsUpdate) return plan;

    const QByteArray comment = commentWithPictures().render();
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
    for (const OggPage& page : pages)
        headerBytes += page.render();

    // Header pages as the file holds them already: nothing to write.
    if (pages.size() == fHeaders.pages && uint64_t(headerBytes.size()) == fHeaders.audioAt) {
        Fd f{::open(QFile::encodeName(plan.target).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
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
    plan.writeNew = [old, headerBytes, shift, audioPrint](int in, int out, QString* why) {
        if (!Durable::writeAll(out, headerBytes.constData(), size_t(headerBytes.size())))
            return false;
        QCryptographicHash hash(QCryptographicHash::Sha1);
        QByteArray buffer;
        OggPage page;
        uint64_t at = old.audioAt;
        for (;;) {
            uint64_t length = 0;
            const OggPage::Read read = OggPage::readAt(in, at, old.size, &page, &length);
            if (read == OggPage::Read::End) break;
            if (read == OggPage::Read::Damaged || page.serial != old.serial) {
                *why = read == OggPage::Read::Damaged
                           ? QStringLiteral("An Ogg page of its audio is damaged.")
                           : QStringLiteral("It holds more than one stream.");
                return false;
            }
            addToPrint(hash, page, quint32(old.pages));
            page.sequence = quint32(qint64(page.sequence) + shift);
            buffer += page.render();
            at += length;
            if (buffer.size() >= (1 << 20)) {
                if (!Durable::writeAll(out, buffer.constData(), size_t(buffer.size())))
                    return false;
                buffer.clear();
            }
        }
        if (!Durable::writeAll(out, buffer.constData(), size_t(buffer.size()))) return false;
        *audioPrint = hash.result();
        return true;
    };
    plan.verify = [headerBytes, packets, audioPrint](const QString& path) -> QString {
        Fd v{::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)};
        if (v.fd < 0) return QStringLiteral("it cannot be opened");
        Headers now;
        const QString why = readHeaders(v.fd, &now);
        if (!why.isNull()) return why;
        if (now.packets != packets || now.audioAt != uint64_t(headerBytes.size()))
            return QStringLiteral("its headers do not read back as written");
        QCryptographicHash hash(QCryptographicHash::Sha1);
        OggPage page;
        for (uint64_t at = now.audioAt;;) {
            uint64_t length = 0;
            const OggPage::Read read = OggPage::readAt(v.fd, at, now.size, &page, &length);
            if (read == OggPage::Read::End) break;
            if (read == OggPage::Read::Damaged)
                return QStringLiteral("an Ogg page of its audio does not read back");
            addToPrint(hash, page, quint32(now.pages));
            at += length;
        }
        if (hash.result() != *audioPrint) return QStringLiteral("its audio changed");
        return {};
    };
    plan.finish = [this](bool saved) {
        if (!saved) return;
        fNeedsUpdate = false;
        Fd again{::open(QFile::encodeName(fPath).constData(), O_RDONLY | O_CLOEXEC)};
        if (again.fd >= 0 && ::fstat(again.fd, &fOpened) == 0) readHeaders(again.fd, &fHeaders);
    };
    return plan;
}
