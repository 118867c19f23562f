#include "media/FlacFile.h"

#include "media/AudioFigures.h"
#include "media/CheckedLayout.h"
#include "media/FileIO.h"
#include "media/FileStretch.h"
#include "media/QuickPrint.h"
#include "system/Durable.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <memory>
#include <optional>

#include <taglib/flacfile.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Room left for later edits when the metadata has to move anyway.
constexpr uint64_t kNewPadding = 4096;
constexpr size_t kMaxBlocks = 4096;
constexpr uint64_t kMaxBlockLength = (1u << 24) - 1;
// The start and the end of the audio stand for all of it where a save does
// not move it (4 KiB each, as for MP3: a write of the metadata that strayed
// would show there, and any shift or cut of the audio).
constexpr uint64_t kAudioEdge = 4 << 10;
// A picture block's first bytes: its type, media type, description, sizes
// and the image's length and first bytes, as a rule.
constexpr uint64_t kPictureHead = 256;
// Read at once at the start: the signature, the block headers, the stream
// information and, as a rule, the comment and the first picture's head.
constexpr size_t kMetadataHead = 4096;

QByteArray readBytes(int fd, uint64_t at, uint64_t length) {
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    if (!FileIO::readAt(fd, bytes.data(), size_t(length), at)) return {};
    return bytes;
}

QByteArray blockHeader(quint8 type, bool last, uint64_t length) {
    QByteArray h(4, '\0');
    h[0] = char(type | (last ? 0x80 : 0));
    h[1] = char(length >> 16);
    h[2] = char(length >> 8);
    h[3] = char(length);
    return h;
}

// Whether the body of a picture block of `length` bytes that starts with
// `head` lies at `at`.
bool pictureBlockAt(const FileStretch& file, uint64_t at, uint64_t length, const QByteArray& head) {
    const QByteArray bytes = file.bytes(at - 4, 4 + uint64_t(head.size()));
    return bytes.size() == 4 + head.size() && (quint8(bytes[0]) & 0x7F) == FlacFile::kPicture &&
           bytes.mid(1, 3) == blockHeader(FlacFile::kPicture, false, length).mid(1) &&
           QByteArrayView(bytes).sliced(4) == head;
}

QByteArray edgePrint(int fd, uint64_t from, uint64_t size) {
    return from > size ? QByteArray() : QuickPrint::ofEnds(fd, from, size - from, kAudioEdge);
}

// A metadata block of the file as saved. A picture the file keeps has no
// body until the save is known to move it.
struct PlannedBlock {
    quint8 type = 0;
    QByteArray body;
    uint64_t length = 0;
    int stored = -1; // the file's picture, where it was opened
};

// The blocks laid out so that every picture stays where it lies: the
// leading blocks first, as they are; each picture at its place among
// `storedAt`, the file's picture blocks as opened; the comment in the first
// gap it fits, where it was or in the padding after the pictures; padding
// filling the rest of each gap. Empty when a picture is new or out of order, or the comment
// fits no gap: then the pictures move.
std::optional<std::vector<PlannedBlock>>
aroundPictures(const std::vector<PlannedBlock>& leading, const PlannedBlock& comment,
               const std::vector<PlannedBlock>& pictures,
               const std::vector<const FlacFile::Layout::Block*>& storedAt, uint64_t metadataAt,
               uint64_t audioAt) {
    std::vector<PlannedBlock> blocks = leading;
    uint64_t at = metadataAt;
    for (const PlannedBlock& block : leading)
        at += 4 + block.length;
    bool commentPlaced = false;
    auto fill = [&](uint64_t end) {
        if (end < at) return false;
        const uint64_t needed = 4 + comment.length;
        if (!commentPlaced && (end - at == needed || (end - at >= needed + 4 &&
                                                      end - at - needed - 4 <= kMaxBlockLength))) {
            blocks.push_back(comment);
            at += needed;
            commentPlaced = true;
        }
        if (at == end) return true;
        if (end - at < 4 || end - at - 4 > kMaxBlockLength) return false;
        const uint64_t padding = end - at - 4;
        blocks.push_back({FlacFile::kPadding, QByteArray(qsizetype(padding), '\0'), padding});
        at = end;
        return true;
    };
    for (const PlannedBlock& picture : pictures) {
        if (picture.stored < 0 || size_t(picture.stored) >= storedAt.size() ||
            !fill(storedAt[size_t(picture.stored)]->at - 4))
            return std::nullopt;
        blocks.push_back(picture);
        at += 4 + picture.length;
    }
    if (!fill(audioAt) || !commentPlaced) return std::nullopt;
    return blocks;
}

// The bitrate and length of a plain FLAC file (the stream at its start, no
// ID3v1 tag at its end, no empty block TagLib refuses) as TagLib's reading
// gives them, from the stream information block; false for any other file,
// which TagLib itself reads.
bool readPlainAudio(const FileStretch& file, const FlacFile::Layout& layout, int32_t* bitrate,
                    uint32_t* seconds) {
    constexpr uint64_t kId3v1 = 128;
    if (layout.metadataAt != 4 || layout.size < kId3v1 + 3) return false;
    for (const FlacFile::Layout::Block& block : layout.blocks)
        if (block.length == 0 && block.type != FlacFile::kPadding &&
            block.type != FlacFile::kSeekTable)
            return false;
    char tag[3];
    if (!file.readAt(tag, 3, layout.size - kId3v1) || QByteArrayView(tag, 3) == "TAG") return false;
    const QByteArray info = file.bytes(layout.blocks.front().at, 18);
    if (info.size() != 18) return false;
    const quint32 flags = qFromBigEndian<quint32>(info.constData() + 10);
    const quint32 sampleRate = flags >> 12;
    const quint64 frames =
        (quint64(flags & 0xF) << 32) | qFromBigEndian<quint32>(info.constData() + 14);
    int lengthMs = 0, rate = 0;
    if (frames > 0 && sampleRate > 0) {
        const double length = double(frames) * 1000.0 / sampleRate;
        lengthMs = roundedAudioFigure(length);
        rate = roundedAudioFigure(double(layout.size - layout.audioAt) * 8.0 / length);
    }
    *bitrate = rate;
    *seconds = uint32_t(qMax(0, lengthMs / 1000));
    return true;
}

} // namespace

QString FlacFile::readLayout(int fd, Layout* layout) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return QStringLiteral("it cannot be read");
    return readLayout(FileStretch(fd, uint64_t(st.st_size), 0, kMetadataHead), layout);
}

QString FlacFile::readLayout(const FileStretch& file, Layout* layout) {
    *layout = Layout();
    layout->size = file.size();
    const uint64_t size = layout->size;
    uint64_t at = 0;
    char head[10];
    // An ID3v2 tag some programs put in front is kept as it is.
    if (size >= 10 && file.readAt(head, 10, 0) && QByteArray(head, 3) == "ID3") {
        uint64_t tagSize = 0;
        for (int i = 6; i < 10; ++i)
            tagSize = (tagSize << 7) | (quint8(head[i]) & 0x7F);
        at = 10 + tagSize + ((head[5] & 0x10) ? 10 : 0);
    }
    if (size < at + 4 || !file.readAt(head, 4, at) || QByteArray(head, 4) != "fLaC")
        return QStringLiteral("it is not a FLAC stream");
    at += 4;
    layout->metadataAt = at;
    // Headers past the first bytes (after a large picture, say) are read a
    // stretch at a time, not four bytes each (see FileStretch).
    for (bool last = false; !last;) {
        if (size - at < 4 || !file.readAt(head, 4, at))
            return QStringLiteral("its metadata ends early");
        last = head[0] & 0x80;
        Layout::Block block;
        block.type = quint8(head[0] & 0x7F);
        block.length =
            (uint64_t(quint8(head[1])) << 16) | (uint64_t(quint8(head[2])) << 8) | quint8(head[3]);
        block.at = at + 4;
        if (block.type == 127) return QStringLiteral("a metadata block is damaged");
        if (size - block.at < block.length)
            return QStringLiteral("a metadata block runs past the end of the file");
        if (layout->blocks.empty() && (block.type != kStreamInfo || block.length != 34))
            return QStringLiteral("its stream information block is damaged");
        if (layout->blocks.size() == kMaxBlocks)
            return QStringLiteral("it has too many metadata blocks");
        layout->blocks.push_back(block);
        at = block.at + block.length;
    }
    layout->audioAt = at;
    // The audio starts with a frame's sync code.
    if (size - at < 2 || !file.readAt(head, 2, at) || quint8(head[0]) != 0xFF ||
        (quint8(head[1]) & 0xFE) != 0xF8)
        return QStringLiteral("no audio frame follows its metadata");
    return {};
}

std::shared_ptr<FlacFile> FlacFile::newFlacFileWithPath(const QString& path) {
    std::shared_ptr<FlacFile> file(new FlacFile(path));
    if (!file->open()) return nullptr;
    return file;
}

std::shared_ptr<MusicFile> FlacFile::copyAsOpened() const {
    return std::shared_ptr<FlacFile>(new FlacFile(*this));
}

bool FlacFile::open() {
    const QByteArray native = QFile::encodeName(fPath);
    const FileIO::ClosedAtExit f{::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (f.fd < 0 || ::fstat(f.fd, &fOpened) != 0 || !S_ISREG(fOpened.st_mode)) return false;
    const FileStretch metadata(f.fd, uint64_t(fOpened.st_size), 0, kMetadataHead);
    if (!readLayout(metadata, &fLayout).isNull()) return false;

    if (!readPlainAudio(metadata, fLayout, &fAudioBitrate, &fAudioSeconds)) {
        TagLib::FLAC::File file(native.constData(), true, TagLib::AudioProperties::Average);
        if (!file.isOpen() || !file.isValid()) return false;
        if (const TagLib::FLAC::Properties* audio = file.audioProperties()) {
            fAudioBitrate = audio->bitrate();
            fAudioSeconds = uint32_t(qMax(0, audio->lengthInSeconds()));
        }
    }

    bool haveComment = false;
    for (const Layout::Block& block : fLayout.blocks) {
        if (block.type == kComment && !haveComment) {
            // A comment that does not parse is damage: the file is refused
            // rather than saved without its tags.
            if (!fComment.parse(metadata.bytes(block.at, block.length))) return false;
            haveComment = true;
        } else if (block.type == kPicture) {
            // Only the block's first bytes are kept, to tell whether it holds an
            // image and to know it again when its bytes are asked for.
            const QByteArray head = metadata.bytes(block.at, std::min(block.length, kPictureHead));
            if (head.size() != qsizetype(std::min(block.length, kPictureHead))) return false;
            const int index = int(fPictureHeads.size());
            Picture picture;
            if (!storedPicture(index, head, qint64(block.length), &picture)) {
                const QByteArray body = metadata.bytes(block.at, block.length);
                if (body.size() != qsizetype(block.length) ||
                    !storedPicture(index, body, qint64(block.length), &picture))
                    return false;
            }
            fPictures.push_back(picture);
            fPictureHeads.push_back(head);
        }
    }
    return true;
}

bool FlacFile::readStoredPictures(std::vector<QByteArray>* bodies, QString* why) const {
    const FileIO::ClosedAtExit f{openAsOpened(why)};
    if (f.fd < 0) return false;
    bodies->clear();
    for (const Layout::Block& block : fLayout.blocks) {
        if (block.type != kPicture) continue;
        // The block as opened: its header, its length and its first bytes.
        const size_t index = bodies->size();
        const bool known = index < fPictureHeads.size() &&
                           pictureBlockAt(FileStretch(f.fd, uint64_t(fOpened.st_size), 0, 0),
                                          block.at, block.length, fPictureHeads[index]);
        const QByteArray body = known ? readBytes(f.fd, block.at, block.length) : QByteArray();
        if (!known || body.size() != qsizetype(block.length)) {
            *why = picturesUnreadable();
            return false;
        }
        bodies->push_back(body);
    }
    if (bodies->size() != fPictureHeads.size()) {
        *why = picturesUnreadable();
        return false;
    }
    return true;
}

// The cover compared where its block lies, once the block still reads as
// opened; the other pictures stay unread.
std::optional<bool> FlacFile::storedImageEquals(const QByteArray& bytes) const {
    const Picture* picture = imagePicture();
    if (!picture || picture->stored < 0 || picture->imageAt < 0 ||
        size_t(picture->stored) >= fPictureHeads.size())
        return std::nullopt;
    const Layout::Block* block = nullptr;
    int index = 0;
    for (const Layout::Block& b : fLayout.blocks)
        if (b.type == kPicture && index++ == picture->stored) block = &b;
    if (!block) return std::nullopt;
    if (bytes.size() != picture->imageLength) return false;
    QString why;
    const FileIO::ClosedAtExit f{openAsOpened(&why)};
    if (f.fd < 0 || !pictureBlockAt(FileStretch(f.fd, uint64_t(fOpened.st_size), 0, 0), block->at,
                                    block->length, fPictureHeads[size_t(picture->stored)]))
        return std::nullopt;
    return FileIO::holdsAt(f.fd, bytes, block->at + uint64_t(picture->imageAt));
}

SavePlan FlacFile::planSave() {
    SavePlan plan = startPlan();
    if (plan.kind == SavePlan::Kind::Refused || !fNeedsUpdate) return plan;
    const QString name = QFileInfo(fPath).fileName();
    const FileIO::ClosedAtExit f{
        ::open(QFile::encodeName(plan.target).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    // The metadata's first bytes, read once: most blocks and the bytes a
    // small tag replaces lie there.
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0)
        return SavePlan::refused(QStringLiteral("“%1” could not be read again.").arg(name));
    const FileStretch head(f.fd, uint64_t(st.st_size), 0, kMetadataHead);
    Layout old;
    if (!readLayout(head, &old).isNull() || old.audioAt != fLayout.audioAt)
        return SavePlan::refused(QStringLiteral("“%1” could not be read again.").arg(name));

    // The blocks the program does not manage keep their order; then the
    // comment, the pictures and the padding, unless the pictures can stay
    // where they lie.
    std::vector<const Layout::Block*> storedAt;
    for (const Layout::Block& block : fLayout.blocks)
        if (block.type == kPicture) storedAt.push_back(&block);
    std::vector<PlannedBlock> leading, pictures;
    for (const Layout::Block& block : old.blocks) {
        if (block.type == kPadding || block.type == kComment || block.type == kPicture) continue;
        const QByteArray body = head.bytes(block.at, block.length);
        if (body.size() != qsizetype(block.length))
            return SavePlan::refused(QStringLiteral("“%1” could not be read again.").arg(name));
        leading.push_back({block.type, body, block.length});
    }
    const QByteArray commentBody = fComment.render();
    const PlannedBlock comment{kComment, commentBody, uint64_t(commentBody.size())};
    for (const Picture& p : fPictures) {
        if (p.stored >= 0 &&
            (size_t(p.stored) >= storedAt.size() || size_t(p.stored) >= fPictureHeads.size()))
            return SavePlan::refused(picturesUnreadable());
        pictures.push_back(
            {kPicture, p.body,
             p.stored < 0 ? uint64_t(p.body.size()) : storedAt[size_t(p.stored)]->length,
             p.stored});
    }
    if (comment.length > kMaxBlockLength ||
        std::any_of(pictures.begin(), pictures.end(),
                    [](const PlannedBlock& b) { return b.length > kMaxBlockLength; }))
        return SavePlan::refused(
            QStringLiteral("A picture or the tags of “%1” are too large for FLAC.").arg(name));

    // Written in place where they lie, the pictures keep their bytes and
    // are not read; else all are read again, and a save that cannot read
    // them would lose them.
    std::vector<PlannedBlock> blocks;
    bool inPlace = true, padded = false, keep = true;
    uint64_t padding = 0;
    if (auto around =
            aroundPictures(leading, comment, pictures, storedAt, old.metadataAt, old.audioAt)) {
        blocks = std::move(*around);
    } else {
        blocks = leading;
        blocks.push_back(comment);
        blocks.insert(blocks.end(), pictures.begin(), pictures.end());
        uint64_t content = 0;
        for (const PlannedBlock& block : blocks)
            content += 4 + block.length;
        const uint64_t room = old.audioAt - old.metadataAt;
        inPlace = content == room || (content + 4 <= room && room - content - 4 <= kMaxBlockLength);
        padding = inPlace ? (content == room ? 0 : room - content - 4) : kNewPadding;
        padded = !inPlace || content != room;
        keep = inPlace;
        for (uint64_t at = old.metadataAt; const PlannedBlock& block : blocks) {
            at += 4;
            if (block.stored >= 0 && storedAt[size_t(block.stored)]->at != at) keep = false;
            at += block.length;
        }
    }
    if (keep) {
        // Every picture block still starts as opened, those dropped too: the
        // file is known to be the one opened as far as its pictures tell.
        bool known = storedAt.size() == fPictureHeads.size();
        for (size_t i = 0; known && i < storedAt.size(); ++i)
            known = pictureBlockAt(head, storedAt[i]->at, storedAt[i]->length, fPictureHeads[i]);
        if (!known) return SavePlan::refused(picturesUnreadable());
    } else {
        std::vector<QByteArray> bodies;
        QString why;
        if (!pictureBodies(&bodies, &why)) return SavePlan::refused(why);
        for (size_t i = 0, p = 0; i < blocks.size(); ++i) {
            if (blocks[i].type != kPicture) continue;
            blocks[i].body = std::move(bodies[p++]);
            blocks[i].stored = -1;
        }
    }

    // The new metadata as the pieces written: all of it, or the bytes
    // around the pictures kept.
    // Each piece is sized first and filled once: growing it as blocks were
    // added copied the pictures again, file after file.
    std::vector<qsizetype> pieceSizes(1, 0);
    for (const PlannedBlock& block : blocks) {
        pieceSizes.back() += 4;
        if (block.stored < 0)
            pieceSizes.back() += block.body.size();
        else
            pieceSizes.push_back(0);
    }
    if (padded) pieceSizes.back() += 4 + qsizetype(padding);
    std::vector<std::pair<uint64_t, QByteArray>> pieces(1, {0, QByteArray()});
    pieces.back().second.reserve(pieceSizes.front());
    for (size_t i = 0; i < blocks.size(); ++i) {
        const bool last = !padded && i + 1 == blocks.size();
        pieces.back().second += blockHeader(blocks[i].type, last, blocks[i].length);
        if (blocks[i].stored < 0) {
            pieces.back().second += blocks[i].body;
            continue;
        }
        const uint64_t end = pieces.back().first + uint64_t(pieces.back().second.size());
        pieces.emplace_back(end + blocks[i].length, QByteArray());
        pieces.back().second.reserve(pieceSizes[pieces.size() - 1]);
    }
    if (padded) {
        pieces.back().second += blockHeader(kPadding, true, padding);
        pieces.back().second.append(qsizetype(padding), '\0');
    }
    const QByteArray metadata = pieces.size() == 1 ? pieces.front().second : QByteArray();
    const uint64_t audioLength = old.size - old.audioAt;
    const uint64_t newAudioAt =
        old.metadataAt + pieces.back().first + uint64_t(pieces.back().second.size());
    auto audioHash = std::make_shared<QByteArray>();
    if (inPlace) {
        // Without the old bytes the rollback copy could not undo a torn write.
        for (auto& [at, bytes] : pieces) {
            QByteArray was = head.bytes(old.metadataAt + at, uint64_t(bytes.size()));
            if (was.size() != bytes.size())
                return SavePlan::refused(QStringLiteral("“%1” could not be read again.").arg(name));
            plan.addChangedBytes(old.metadataAt + at, std::move(was), bytes);
        }
        if (plan.regions.empty())
            plan.kind = SavePlan::Kind::Nothing;
        else
            plan.kind = SavePlan::Kind::InPlace;
        plan.newSize = old.size;
        *audioHash = edgePrint(f.fd, old.audioAt, old.size);
    } else {
        plan.kind = SavePlan::Kind::Rewrite;
        plan.newSize = newAudioAt + audioLength;
        plan.heldBytes = metadata.size();
        const uint64_t metadataAt = old.metadataAt, audioAt = old.audioAt;
        plan.writeNew = [metadataAt, audioAt, metadata, audioHash](int in, int out) {
            // The bytes before the metadata ("fLaC", perhaps an ID3v2 tag),
            // the new metadata, then the audio, hashed as it is copied.
            const QByteArray front = readBytes(in, 0, metadataAt);
            if (front.size() != qsizetype(metadataAt) ||
                !Durable::writeAll(out, front.constData(), size_t(front.size())) ||
                !Durable::writeAll(out, metadata.constData(), size_t(metadata.size())))
                return SavePlan::notWritten(errno);
            QuickPrint hash;
            QByteArray buffer(1 << 20, Qt::Uninitialized);
            for (uint64_t at = audioAt;;) {
                const ssize_t n = ::pread(in, buffer.data(), size_t(buffer.size()), off_t(at));
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) return SavePlan::notWritten(errno);
                if (n == 0) break;
                hash.addData(buffer.constData(), size_t(n));
                if (!Durable::writeAll(out, buffer.constData(), size_t(n)))
                    return SavePlan::notWritten(errno);
                at += uint64_t(n);
            }
            *audioHash = hash.result();
            return Outcome::done();
        };
    }
    auto readBack = std::make_shared<std::optional<CheckedLayout<Layout>>>();
    plan.verify = [inPlace, pieces, newAudioAt, audioLength, audioHash, readBack,
                   metadataAt = old.metadataAt](const QString& path) -> QString {
        const FileIO::ClosedAtExit v{
            ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)};
        struct stat seen {};
        Layout now;
        if (v.fd < 0) return QStringLiteral("it cannot be opened");
        if (::fstat(v.fd, &seen) != 0) return QStringLiteral("it cannot be read");
        const FileStretch head(v.fd, uint64_t(seen.st_size), 0, kMetadataHead);
        const QString why = readLayout(head, &now);
        if (!why.isNull()) return why;
        if (now.audioAt != newAudioAt || now.size - now.audioAt != audioLength)
            return QStringLiteral("its audio is not where it was written");
        for (const auto& [at, bytes] : pieces)
            if (head.bytes(metadataAt + at, uint64_t(bytes.size())) != bytes)
                return QStringLiteral("its metadata does not read back as written");
        QByteArray print;
        if (inPlace) {
            print = edgePrint(v.fd, now.audioAt, now.size);
        } else {
            QuickPrint hash;
            QByteArray buffer(1 << 20, Qt::Uninitialized);
            for (uint64_t at = now.audioAt; at < now.size;) {
                const uint64_t n = std::min<uint64_t>(now.size - at, uint64_t(buffer.size()));
                if (!FileIO::readAt(v.fd, buffer.data(), size_t(n), at))
                    return QStringLiteral("it cannot be read");
                hash.addData(buffer.constData(), size_t(n));
                at += n;
            }
            print = hash.result();
        }
        if (print.isEmpty() || print != *audioHash) return QStringLiteral("its audio changed");
        readBack->emplace(CheckedLayout<Layout>{seen, std::move(now)});
        return {};
    };
    plan.finish = [this, readBack](bool saved) {
        if (!saved) return;
        fNeedsUpdate = false;
        const bool read =
            takeCheckedLayout(*readBack, fPath, &fOpened, &fLayout,
                              [](int fd, Layout* layout) { return readLayout(fd, layout); });
        // The file keeps the pictures just written, in order; known again
        // by their first bytes.
        std::vector<QByteArray> heads;
        for (const Picture& p : fPictures)
            heads.push_back(p.stored < 0 ? p.body.left(qsizetype(kPictureHead))
                            : size_t(p.stored) < fPictureHeads.size()
                                ? fPictureHeads[size_t(p.stored)]
                                : QByteArray());
        const auto stored =
            std::count_if(fLayout.blocks.begin(), fLayout.blocks.end(),
                          [](const Layout::Block& b) { return b.type == kPicture; });
        if (read && size_t(stored) == fPictures.size()) {
            fPictureHeads = std::move(heads);
            picturesSaved();
        } else {
            // A picture block no longer known is never read as one opened.
            fPictureHeads.clear();
        }
    };
    return plan;
}
