#include "media/MP3File.h"

#include "media/BigEndian.h"
#include "media/CustomTagFrame.h"
#include "media/FileIO.h"
#include "media/FileStretch.h"
#include "media/Id3FieldReader.h"
#include "media/Id3FrameFactory.h"
#include "media/Id3PinnedLayout.h"
#include "media/Id3TagScreen.h"
#include "media/Mp3Audio.h"
#include "media/PatchedFileStream.h"
#include "media/QuickPrint.h"
#include "system/Durable.h"
#include "system/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/unknownframe.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using TagLib::ByteVector;
namespace ID3v2 = TagLib::ID3v2;

namespace {

// TagLib keeps a string as UTF-16 code units in a wide string; they are
// copied as they are. A string with a surrogate (or a unit out of range)
// goes through TagLib's UTF-8, which decides what a broken pair becomes, and
// a NUL ends the text either way.
QString toQt(const TagLib::String& s) {
    const wchar_t* units = s.toCWString();
    const qsizetype size = qsizetype(s.size());
    QString text(size, Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < size; ++i) {
        const auto unit = quint32(units[i]);
        if (unit == 0) {
            text.truncate(i);
            return text;
        }
        if (unit >= 0xD800 && (unit <= 0xDFFF || unit > 0xFFFF))
            return QString::fromUtf8(s.toCString(true));
        to[i] = char16_t(unit);
    }
    return text;
}

TagLib::String toTL(const QString& s) {
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

bool isLatin1(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 0xFF) return false;
    return true;
}

// Single-byte whenever ISO-8859-1 holds the text, so readers that know only
// single-byte frames keep working; anything else as UTF-16.
TagLib::String::Type encodingFor(const QString& s) {
    return isLatin1(s) ? TagLib::String::Latin1 : TagLib::String::UTF16;
}

QByteArray localPath(const QString& path) {
    return QFile::encodeName(path);
}

// The leading decimal number of a text the way "%d" reads it: white space,
// an optional sign, digits. *end receives the index after the number.
std::optional<long long> leadingNumber(const QString& s, qsizetype* end = nullptr) {
    qsizetype i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
    const qsizetype digits = i;
    long long value = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        if (value < 1000000000000LL) value = value * 10 + (s[i].unicode() - u'0');
        ++i;
    }
    if (i == digits) return std::nullopt;
    if (end) *end = i;
    return negative ? -value : value;
}

int numberOr(const QString& s, int fallback) {
    const auto n = leadingNumber(s);
    if (!n || *n > INT32_MAX || *n < INT32_MIN) return fallback;
    return int(*n);
}

// A tag's frame list owns its frames: a FrameList copy that outlives the
// tag's own list (which detaches when a frame is removed) would delete them.
// Loops that change a tag walk a plain copy of the pointers instead.
std::vector<ID3v2::Frame*> snapshot(const ID3v2::FrameList& frames) {
    return std::vector<ID3v2::Frame*>(frames.begin(), frames.end());
}

// Rebuilds a frame TagLib kept raw (see Id3FrameFactory) from its field
// bytes, wrapped in a frame header TagLib's own text parsers understand.
ByteVector wrapFields(const char* id, const ByteVector& fields) {
    ByteVector frame(id);
    frame.append(ID3v2::SynchData::fromUInt(fields.size()));
    frame.append(ByteVector(2, '\0'));
    frame.append(fields);
    return frame;
}

void rebuildRawFrames(ID3v2::Tag& tag) {
    const std::vector<ID3v2::Frame*> custom =
        snapshot(tag.frameList(Id3FrameFactory::kRawCustomTagID));
    for (ID3v2::Frame* frame : custom) {
        if (auto* raw = dynamic_cast<ID3v2::UnknownFrame*>(frame))
            tag.addFrame(CustomTagFrame::fromFields(raw->data()));
        tag.removeFrame(frame);
    }
    const std::vector<ID3v2::Frame*> times =
        snapshot(tag.frameList(Id3FrameFactory::kRawRecordingTimeID));
    for (ID3v2::Frame* frame : times) {
        if (auto* raw = dynamic_cast<ID3v2::UnknownFrame*>(frame))
            tag.addFrame(new ID3v2::TextIdentificationFrame(wrapFields("TDRC", raw->data())));
        tag.removeFrame(frame);
    }
}

// Moves every frame of one tag into another (the other's own frames are
// dropped), and back again when it goes out of scope: our tag object keeps
// its frames between saves while a TagLib file renders them.
class FrameLoan {
public:
    FrameLoan(ID3v2::Tag& owner, ID3v2::Tag& borrower) : fOwner(owner), fBorrower(borrower) {
        const std::vector<ID3v2::Frame*> theirs = snapshot(borrower.frameList());
        for (ID3v2::Frame* frame : theirs)
            borrower.removeFrame(frame, true);
        move(fOwner, fBorrower);
    }
    ~FrameLoan() { move(fBorrower, fOwner); }
    FrameLoan(const FrameLoan&) = delete;
    FrameLoan& operator=(const FrameLoan&) = delete;

private:
    static void move(ID3v2::Tag& from, ID3v2::Tag& to) {
        const std::vector<ID3v2::Frame*> frames = snapshot(from.frameList());
        for (ID3v2::Frame* frame : frames) {
            from.removeFrame(frame, false);
            to.addFrame(frame);
        }
    }
    ID3v2::Tag& fOwner;
    ID3v2::Tag& fBorrower;
};

// A Xing header (not its constant-bit-rate twin "Info") or a VBRI header in
// the first audio frame marks a variable-bit-rate file.
bool firstFrameMarksVbr(TagLib::MPEG::File& file) {
    const long offset = file.firstFrameOffset();
    if (offset < 0) return false;
    file.seek(offset);
    const ByteVector head = file.readBlock(40);
    if (head.size() < 40 || quint8(head[0]) != 0xFF || (quint8(head[1]) & 0xE0) != 0xE0)
        return false;
    const bool mpeg1 = ((quint8(head[1]) >> 3) & 0x3) == 0x3;
    const bool mono = ((quint8(head[3]) >> 6) & 0x3) == 0x3;
    const unsigned xingAt = mpeg1 ? (mono ? 21 : 36) : (mono ? 13 : 21);
    return head.mid(xingAt, 4) == "Xing" || head.mid(36, 4) == "VBRI";
}

bool frameIdAt(const QByteArray& tag, qsizetype at, qsizetype end) {
    if (at < 0 || at + 4 > end) return false;
    return std::all_of(tag.constData() + at, tag.constData() + at + 4,
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// A tag without its picture frames, and where they lay in it.
struct PicturesAside {
    QByteArray tag; // the other frames moved up; the rest of the tag reads as zeros
    std::vector<Id3HeldPicture> pictures;
};

// Sets the picture frames of a plain ID3v2.3 or ID3v2.4 tag aside, walking
// it as TagLib does; nullopt when the tag is not plain (header or frame
// flags, a size TagLib could read another way, bytes behind the frames that
// are not zeros, a picture whose text encoding is not one ID3 defines).
std::optional<PicturesAside> setPicturesAside(const QByteArray& tag) {
    if (tag.size() < 10 || !tag.startsWith("ID3")) return std::nullopt;
    const int major = uint8_t(tag[3]);
    if ((major != 3 && major != 4) || tag[5] != 0) return std::nullopt;
    int64_t tagSize = 0;
    for (int i = 6; i < 10; ++i) {
        if (uint8_t(tag[i]) >= 0x80) return std::nullopt;
        tagSize = (tagSize << 7) | uint8_t(tag[i]);
    }
    if (10 + tagSize != tag.size()) return std::nullopt;
    const qsizetype end = tag.size();
    PicturesAside aside;
    aside.tag.append(tag.constData(), 10);
    qsizetype pos = 10;
    while (pos - 10 < tagSize - 10) {
        if (tag[pos] == 0) break;
        if (!frameIdAt(tag, pos, end) || tag[pos + 8] || tag[pos + 9]) return std::nullopt;
        int64_t size = be32(tag, pos + 4);
        if (major == 4) {
            for (int i = 4; i < 8; ++i)
                if (uint8_t(tag[pos + i]) >= 0x80) return std::nullopt;
            size = ID3v2::SynchData::toUInt(ByteVector(tag.constData() + pos + 4, 4));
            if (size > 127 && !frameIdAt(tag, pos + 10 + qsizetype(size), end) &&
                frameIdAt(tag, pos + 10 + qsizetype(be32(tag, pos + 4)), end))
                return std::nullopt;
        }
        if (size == 0 || pos + 10 + size > end) return std::nullopt;
        if (QByteArrayView(tag.constData() + pos, 4) == "APIC") {
            const int encoding = uint8_t(tag[pos + 10]);
            if (encoding > 3) return std::nullopt;
            aside.pictures.push_back({pos, 10 + size, encoding});
        } else {
            aside.tag.append(tag.constData() + pos, qsizetype(10 + size));
        }
        pos += qsizetype(10 + size);
    }
    if (std::any_of(tag.constData() + pos, tag.constData() + end, [](char c) { return c != 0; }))
        return std::nullopt;
    return aside;
}

// The stored tag at the start of the file, `length` bytes, with zeros for
// the bodies of `pictures` (in the order they lie) past their first byte,
// the text encoding: those are not read.
QByteArray tagAroundPictures(int fd, int64_t length, const std::vector<Id3HeldPicture>& pictures) {
    QByteArray tag(qsizetype(length), Qt::Uninitialized);
    int64_t at = 0;
    auto readTo = [&](int64_t end) {
        if (end < at || end > length ||
            !FileIO::readAt(fd, tag.data() + at, size_t(end - at), uint64_t(at)))
            return false;
        at = end;
        return true;
    };
    for (const Id3HeldPicture& p : pictures) {
        if (p.length < 11 || !readTo(p.at + 11) || p.at + p.length > length) return {};
        std::memset(tag.data() + at, 0, size_t(p.length - 11));
        at = p.at + p.length;
    }
    return readTo(length) ? tag : QByteArray();
}

// An MP3 file opened for TagLib through its screened ID3v2 tag (see
// Id3TagScreen), with where its parts lie.
struct OpenedMp3 {
    int fd = -1;
    struct stat st {};
    Mp3Layout layout;
    QStringList skipped; // frames TagLib was not shown
    // With picturesAside: the picture frames TagLib was not shown.
    std::vector<Id3HeldPicture> pictures;
    bool agrees = true; // TagLib found the tags where the layout says
    std::unique_ptr<PatchedFileStream> stream;
    std::unique_ptr<TagLib::MPEG::File> file;

    OpenedMp3() = default;
    OpenedMp3(const OpenedMp3&) = delete;
    OpenedMp3& operator=(const OpenedMp3&) = delete;
    ~OpenedMp3() {
        file.reset();
        stream.reset();
        if (fd >= 0) ::close(fd);
    }

    // picturesAside: a plain tag at the start is shown without its picture
    // frames (see setPicturesAside), which `pictures` names. `known`: the
    // picture frames the frame reader found there, whose bytes past the
    // first (the text encoding) need not be read for that.
    bool open(const QByteArray& path, bool readProperties, bool picturesAside = false,
              const std::vector<Id3HeldPicture>& known = {}) {
        // Non-blocking, so that a FIFO named like a music file cannot hang us
        // (the flag changes nothing for a regular file's reads).
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
        layout = Mp3Layout::read(FileStretch(fd, uint64_t(st.st_size), 0, Mp3Layout::kStartBytes));
        QByteArray patch;
        int64_t patchLength = 0; // the stored tag's, which the patch stands for
        if (layout.tagAt >= 0) {
            const int64_t length = std::min(layout.tagLength, layout.size - layout.tagAt);
            patchLength = length;
            if (picturesAside && layout.tagAt == 0 && !known.empty() &&
                setAsideUnread(length, known, patch))
                return openTagLib(path, readProperties, patch, patchLength, true);
            QByteArray raw(qsizetype(length), Qt::Uninitialized);
            if (!FileIO::readAt(fd, raw.data(), size_t(length), uint64_t(layout.tagAt)))
                return false;
            Id3TagScreen::Result screened = Id3TagScreen::screen(raw);
            patch = screened.tag;
            skipped = screened.skipped;
            if (picturesAside && layout.tagAt == 0 && screened.skipped.isEmpty() &&
                screened.emptied.isEmpty()) {
                if (std::optional<PicturesAside> aside = setPicturesAside(raw);
                    aside && !aside->pictures.empty()) {
                    patch = std::move(aside->tag);
                    pictures = std::move(aside->pictures);
                    return openTagLib(path, readProperties, patch, patchLength, true);
                }
            }
        }
        return openTagLib(path, readProperties, patch, patchLength, false);
    }

private:
    // The tag read without the known pictures' bytes and set aside as
    // setPicturesAside does the whole tag; false (nothing kept) when it
    // is not plain, or its pictures are not the ones known: it is then
    // read whole.
    bool setAsideUnread(int64_t length, const std::vector<Id3HeldPicture>& known,
                        QByteArray& patch) {
        const QByteArray raw = tagAroundPictures(fd, length, known);
        if (raw.isNull()) return false;
        const Id3TagScreen::Result screened = Id3TagScreen::screen(raw);
        if (!screened.skipped.isEmpty() || !screened.emptied.isEmpty()) return false;
        std::optional<PicturesAside> aside = setPicturesAside(raw);
        if (!aside || aside->pictures.size() != known.size() ||
            !std::equal(known.begin(), known.end(), aside->pictures.begin(),
                        [](const Id3HeldPicture& a, const Id3HeldPicture& b) {
                            return a.at == b.at && a.length == b.length;
                        }))
            return false;
        patch = std::move(aside->tag);
        pictures = std::move(aside->pictures);
        return true;
    }

    // plain: the patch is a plain tag (see setPicturesAside), whose zeros
    // after the frames TagLib need not be given.
    bool openTagLib(const QByteArray& path, bool readProperties, const QByteArray& patch,
                    int64_t patchLength, bool plain) {
        stream = std::make_unique<PatchedFileStream>(fd, path, uint64_t(layout.size),
                                                     uint64_t(std::max<int64_t>(layout.tagAt, 0)),
                                                     patch, uint64_t(patchLength));
        if (plain) stream->trimZeros();
        file =
            std::make_unique<TagLib::MPEG::File>(stream.get(), Id3FrameFactory::instance(),
                                                 readProperties, TagLib::AudioProperties::Average);
        if (!file->isOpen() || !file->isValid()) return false;
        const long firstFrame = file->firstFrameOffset();
        if (firstFrame < 0) return false;
        layout.setFirstFrame(firstFrame);
        // TagLib makes an empty tag in memory when the file has none.
        agrees = file->hasID3v2Tag() == (layout.tagAt >= 0) &&
                 (!file->hasID3v2Tag() ||
                  int64_t(file->ID3v2Tag()->header()->completeTagSize()) == layout.tagLength) &&
                 file->hasID3v1Tag() == (layout.v1At >= 0) &&
                 file->hasAPETag() == (layout.apeAt >= 0);
        return true;
    }
};

// The audio's length and a print of its first and last `edge` bytes: a
// save that moved or damaged it shows, without reading it all again.
QByteArray audioPrint(int fd, int64_t from, int64_t length, int64_t edge) {
    if (length < 0 || from < 0) return {};
    return QuickPrint::ofEnds(fd, uint64_t(from), uint64_t(length), uint64_t(edge));
}

QByteArray readBytes(int fd, int64_t at, int64_t length) {
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    if (!FileIO::readAt(fd, bytes.data(), size_t(length), uint64_t(at))) return {};
    return bytes;
}

// Copies [from, from + length) of `in` to the end of `out`.
bool copyRange(int in, int out, int64_t from, int64_t length) {
    QByteArray buffer(qsizetype(std::min<int64_t>(length, 1 << 20)), Qt::Uninitialized);
    while (length > 0) {
        const int64_t n = std::min<int64_t>(length, buffer.size());
        if (!FileIO::readAt(in, buffer.data(), size_t(n), uint64_t(from)) ||
            !Durable::writeAll(out, buffer.constData(), size_t(n)))
            return false;
        from += n;
        length -= n;
    }
    return true;
}

// A frame copied from the old tag under a new frame header.
struct CopiedFrame {
    QByteArray header;
    QByteArrayView body;
};

// A complete tag of `length` bytes: the header TagLib rendered, the frames,
// the copied frames, zeros for padding.
// Built in one buffer: the tag holds the cover, and every extra copy of it
// is paid once per file saved.
QByteArray tagBytes(QByteArrayView rendered, QByteArrayView frames,
                    const std::vector<CopiedFrame>& copied, int64_t length) {
    QByteArray tag(qsizetype(length), Qt::Uninitialized);
    std::memcpy(tag.data(), rendered.data(), 10);
    std::memcpy(tag.data() + 10, frames.data(), size_t(frames.size()));
    qsizetype at = 10 + frames.size();
    for (const CopiedFrame& frame : copied) {
        std::memcpy(tag.data() + at, frame.header.constData(), size_t(frame.header.size()));
        at += frame.header.size();
        std::memcpy(tag.data() + at, frame.body.data(), size_t(frame.body.size()));
        at += frame.body.size();
    }
    std::memset(tag.data() + at, 0, size_t(tag.size() - at));
    const ByteVector size = ID3v2::SynchData::fromUInt(unsigned(length - 10));
    std::copy(size.begin(), size.end(), tag.begin() + 6);
    return tag;
}

// Pictures this large are kept where they lie when a save can manage it.
constexpr qsizetype kPinnedPictures = 4096;

// The tag of `length` bytes laid out around pictures that keep their place
// (see Id3PinnedLayout), the program's own frame `own` taking up the room
// in front of them; null when that cannot be done.
QByteArray pinnedTag(QByteArrayView rendered, QByteArrayView frames,
                     const std::vector<CopiedFrame>& pictures, qsizetype picturesAt,
                     const CustomTagFrame* own, int version, int64_t length) {
    std::vector<QByteArray> split = Id3PinnedLayout::splitFrames(frames, version);
    if (split.empty()) return {};
    // The own frame, when the tag holds it once, leaves the list: it takes
    // up whatever room the others leave.
    const auto isOwn = [](const QByteArray& f) { return f.startsWith(CustomTagFrame::kFrameID); };
    QByteArray ownBytes;
    if (own && std::count_if(split.begin(), split.end(), isOwn) == 1) {
        const auto ownAt = std::find_if(split.begin(), split.end(), isOwn);
        ownBytes = *ownAt;
        split.erase(ownAt);
    } else {
        own = nullptr;
    }

    Id3PinnedLayout::Input in;
    in.version = version;
    in.picturesAt = picturesAt;
    for (const CopiedFrame& p : pictures) {
        in.pictures.push_back(p.header);
        in.pictures.push_back(p.body);
    }
    Id3PinnedLayout::orderBySignificance(split);
    in.frames = std::move(split);
    in.tagLength = qsizetype(length);
    if (own) {
        in.fillerMin = ownBytes.size();
        // Line feeds after its text: its reader skips white space after the
        // last entry. One byte a character, or two in UTF-16.
        auto renderings = std::make_shared<std::map<qsizetype, QByteArray>>();
        renderings->emplace(ownBytes.size(), ownBytes);
        in.filler = [own, version, renderings,
                     min = ownBytes.size()](qsizetype size) -> QByteArray {
            if (const auto it = renderings->find(size); it != renderings->end()) return it->second;
            QByteArray& out = (*renderings)[size];
            for (const qsizetype perChar : {1, 2}) {
                const qsizetype extra = size - min;
                if (extra < 0 || extra % perChar != 0) continue;
                CustomTagFrame padded(
                    own->description(),
                    own->text() + TagLib::String(std::string(size_t(extra / perChar), '\n')),
                    own->textEncoding());
                const ByteVector bytes = padded.renderAs(version);
                if (qsizetype(bytes.size()) == size) return out = QByteArray(bytes.data(), size);
            }
            return {};
        };
        // Rendered again, it must be the frame TagLib rendered in the tag.
        CustomTagFrame again(own->description(), own->text(), own->textEncoding());
        if (again.renderAs(version) != ByteVector(ownBytes.constData(), unsigned(ownBytes.size())))
            return {};
    }
    in.lead = rendered.first(10);
    QByteArray tag = Id3PinnedLayout::frameArea(in);
    if (tag.isNull()) return {};
    const ByteVector size = ID3v2::SynchData::fromUInt(unsigned(length - 10));
    std::copy(size.begin(), size.end(), tag.begin() + 6);
    return tag;
}

// Why a file opened this way must not be written; null when it may.
QString notWritableReason(const OpenedMp3& mp3) {
    const Mp3Layout& layout = mp3.layout;
    const uint8_t defined = layout.tagMajor == 2 ? 0x80 : layout.tagMajor == 3 ? 0xE0 : 0xF0;
    if (!mp3.skipped.isEmpty())
        return QStringLiteral("Its ID3v2 tag holds frames that were not read (%1); saving "
                              "would lose them, so it was left as it was.")
            .arg(mp3.skipped.join(QStringLiteral(", ")));
    if (layout.tagAt >= 0 && (layout.tagFlags & ~defined))
        // TagLib takes 0x10 for a footer in any version and would cut 10
        // bytes after the tag.
        return QStringLiteral("Its ID3v2.%1 tag header has flags that version does not "
                              "define (0x%2): the tag is not understood, so the file was "
                              "left as it was.")
            .arg(layout.tagMajor)
            .arg(layout.tagFlags, 2, 16, QChar(u'0'));
    if (!mp3.agrees)
        return QStringLiteral("Its tags are not where TagLib finds them, so it was left as "
                              "it was.");
    return {};
}

// Blocks TagLib read up to this size may stay with the frames that share
// them; a larger one holds mostly what the frames do not need.
constexpr uint64_t kSharedBlock = 64 * 1024;

// Moves the frames TagLib read into our tag. TagLib's frames share the
// block the whole tag was read in (a cover, or its zeros when set aside,
// and the padding): a frame kept, or the tag's key for its identifier,
// would keep that block as long as the file object lives. When that block
// is large (`largestBlock`), each frame but a picture, which is that long
// itself, is replaced by one read from its own bytes, when that one renders
// the same.
void takeFrames(ID3v2::Tag& from, ID3v2::Tag& to, uint64_t largestBlock) {
    ID3v2::Header header;
    header.setMajorVersion(from.header()->majorVersion());
    const bool detach = largestBlock > kSharedBlock;
    const std::vector<ID3v2::Frame*> frames = snapshot(from.frameList());
    for (ID3v2::Frame* frame : frames) {
        from.removeFrame(frame, false);
        if (detach && frame->frameID() != "APIC") {
            const ByteVector rendered = frame->render();
            ID3v2::Frame* own = Id3FrameFactory::instance()->createFrame(
                ByteVector(rendered.data(), rendered.size()), &header);
            if (own && own->frameID() == frame->frameID() && own->render() == rendered)
                std::swap(own, frame);
            delete own;
        }
        to.addFrame(frame);
    }
    rebuildRawFrames(to);
}

// The frames the frame reader kept, made by the factory TagLib reads with,
// so that they read as TagLib's own would. False when one is refused.
bool addFrames(const Id3FieldReader::Fields& fields, ID3v2::Tag& to) {
    ID3v2::Header header;
    header.setMajorVersion(unsigned(fields.version));
    for (const Id3FieldReader::Frame& f : fields.frames) {
        const unsigned size = unsigned(f.body.size());
        ByteVector bytes(f.id.constData(), 4);
        bytes.append(fields.version == 4 ? ID3v2::SynchData::fromUInt(size)
                                         : ByteVector::fromUInt(size));
        bytes.append(ByteVector(2, '\0'));
        bytes.append(ByteVector(f.body.constData(), size));
        ID3v2::Frame* frame = Id3FrameFactory::instance()->createFrame(bytes, &header);
        if (!frame) return false;
        to.addFrame(frame);
    }
    rebuildRawFrames(to);
    return true;
}

// TagLib's ID3v1 reader over the tag's 128 bytes.
struct Id3v1Bytes : TagLib::ID3v1::Tag {
    explicit Id3v1Bytes(const QByteArray& bytes) {
        parse(ByteVector(bytes.constData(), unsigned(bytes.size())));
    }
};

void dropFrames(ID3v2::Tag& tag) {
    const std::vector<ID3v2::Frame*> frames = snapshot(tag.frameList());
    for (ID3v2::Frame* frame : frames)
        tag.removeFrame(frame, true);
}

} // namespace

std::shared_ptr<MP3File> MP3File::newMP3FileWithPath(const QString& path, Reading reading) {
    std::shared_ptr<MP3File> file(new MP3File(path));
    if (!file->open(reading)) return nullptr;
    return file;
}

MP3File::MP3File(const QString& path) : MusicFile(path), fID3Tags(new ID3v2::Tag) {}

MP3File::MP3File(const MP3File& opened)
    : MusicFile(opened), fID3Tags(new ID3v2::Tag), fTagLoaded(opened.fTagLoaded),
      fCoverAt(opened.fCoverAt), fCoverLength(opened.fCoverLength),
      fCoverPictureAt(opened.fCoverPictureAt), fHeldPictures(opened.fHeldPictures),
      fPictureFrames(opened.fPictureFrames), fV1(opened.fV1), fReadVersion(opened.fReadVersion),
      fAudioBitrate(opened.fAudioBitrate), fAudioSeconds(opened.fAudioSeconds), fStat(opened.fStat),
      fLayout(opened.fLayout), fNotWritable(opened.fNotWritable), fTagVersion(opened.fTagVersion),
      fHomePage(opened.fHomePage) {}

std::shared_ptr<MusicFile> MP3File::copyAsOpened() const {
    // A tag read whole, or changed in memory, is not copied: TagLib's frames
    // have no copy of their own.
    if (fTagLoaded || fNeedsUpdate) return nullptr;
    return std::shared_ptr<MP3File>(new MP3File(*this));
}

MP3File::~MP3File() = default;

MP3File::V1Values MP3File::v1Values(const TagLib::ID3v1::Tag& v1) {
    V1Values values;
    values.title = toQt(v1.title());
    values.artist = toQt(v1.artist());
    values.album = toQt(v1.album());
    values.genre = toQt(v1.genre());
    if (v1.year() > 0) values.year = QString::number(v1.year());
    if (v1.track() > 0) values.track = QString::number(v1.track());
    return values;
}

std::optional<bool> MP3File::openFast() {
    // Non-blocking, so that a FIFO named like a music file cannot hang us
    // (the flag changes nothing for a regular file's reads).
    const int fd = ::open(localPath(fPath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    const FileIO::ClosedAtExit closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // One read of the start serves the three readers (and all of a short
    // file); what lies elsewhere each reads from the file.
    const FileStretch file(fd, uint64_t(st.st_size), 0, Mp3Layout::kStartBytes);
    Mp3Layout layout = Mp3Layout::read(file);
    const std::optional<Id3FieldReader::Fields> fields = Id3FieldReader::read(file, layout);
    if (!fields) return std::nullopt;
    const std::optional<Mp3Audio> audio = Mp3Audio::read(file, layout);
    if (!audio) return std::nullopt;
    if (layout.v1At >= 0) {
        const QByteArray v1 = file.bytes(uint64_t(layout.v1At), 128);
        if (v1.size() != 128) return std::nullopt;
        fV1 = v1Values(Id3v1Bytes(v1));
    }
    if (!addFrames(*fields, *fID3Tags)) {
        dropFrames(*fID3Tags);
        fV1 = {};
        return std::nullopt;
    }
    layout.setFirstFrame(audio->firstFrame);
    fStat = st;
    fLayout = layout;
    fReadVersion = fields->version;
    fTagLoaded = false;
    fCoverAt = fields->coverAt;
    fCoverLength = fields->coverLength;
    fCoverPictureAt = fields->coverPictureAt;
    fPictureFrames.clear();
    for (const Id3FieldReader::Fields::Span& p : fields->pictures)
        fPictureFrames.push_back({p.at, p.length, 0});
    fAudioBitrate = audio->vbr ? -audio->bitrate : audio->bitrate;
    fAudioSeconds = uint32_t(std::max(0, audio->lengthMs / 1000));
    return true;
}

bool MP3File::open(Reading reading) {
    if (reading == Reading::Fast)
        if (const std::optional<bool> opened = openFast()) return *opened;
    // TagLib opens a directory for reading without complaint.
    if (!QFileInfo(fPath).isFile()) return false;
    OpenedMp3 mp3;
    if (!mp3.open(localPath(fPath), true)) return false;
    TagLib::MPEG::File& file = *mp3.file;
    fStat = mp3.st;
    fLayout = mp3.layout;

    if (ID3v2::Tag* tag = file.ID3v2Tag(false)) {
        fReadVersion = int(tag->header()->majorVersion());
        takeFrames(*tag, *fID3Tags, mp3.stream->largestBlock());
    }
    if (TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(false)) fV1 = v1Values(*v1);
    if (const TagLib::MPEG::Properties* audio = file.audioProperties()) {
        // TagLib's figures of a forged header can come out negative: unknown,
        // as the frame reader has them.
        fAudioBitrate = qMax(0, audio->bitrate());
        fAudioSeconds = uint32_t(qMax(0, audio->lengthInSeconds()));
        if (firstFrameMarksVbr(file)) fAudioBitrate = -fAudioBitrate;
    }

    // Read for display all the same; only writing would lose or break things.
    fNotWritable = notWritableReason(mp3);
    if (!fNotWritable.isNull()) TROVIX_LOG() << "Not writable:" << fPath << "-" << fNotWritable;
    return true;
}

namespace {

QString changedSinceOpened(const QString& path) {
    return QStringLiteral("“%1” was changed by another program since it was "
                          "opened; open it again before saving.")
        .arg(QFileInfo(path).fileName());
}

} // namespace

void MP3File::loadTag() {
    if (fTagLoaded) return;
    fTagLoaded = true;
    dropFrames(*fID3Tags);
    OpenedMp3 mp3;
    // Only a file opened by the frame reader is known to be plain; its
    // pictures, which nothing but a new cover changes, TagLib does not read.
    // The frames the frame reader found serve this one read.
    const std::vector<Id3HeldPicture> known = std::exchange(fPictureFrames, {});
    if (!mp3.open(localPath(fPath), false, true, known) || !FileIO::sameFile(mp3.st, fStat)) {
        fNotWritable = changedSinceOpened(fPath);
        TROVIX_LOG() << "Not writable:" << fPath << "-" << fNotWritable;
        return;
    }
    if (ID3v2::Tag* tag = mp3.file->ID3v2Tag(false))
        takeFrames(*tag, *fID3Tags, mp3.stream->largestBlock());
    fLayout = mp3.layout; // a save lays the file out as TagLib reads it
    fHeldPictures = std::move(mp3.pictures);
    fNotWritable = notWritableReason(mp3);
    if (!fNotWritable.isNull()) TROVIX_LOG() << "Not writable:" << fPath << "-" << fNotWritable;
}

void MP3File::loadPictures() {
    if (fHeldPictures.empty()) return;
    const std::vector<Id3HeldPicture> held = std::exchange(fHeldPictures, {});
    // A picture that cannot be read again would be lost by a save.
    auto refuse = [this](const QString& why) {
        fNotWritable = why;
        TROVIX_LOG() << "Not writable:" << fPath << "-" << fNotWritable;
    };
    const int fd = FileIO::openAsOpened(localPath(fPath), fStat);
    if (fd < 0) return refuse(changedSinceOpened(fPath));
    const FileIO::ClosedAtExit closer{fd};
    ID3v2::Header header;
    header.setMajorVersion(unsigned(fReadVersion));
    for (const Id3HeldPicture& picture : held) {
        const QByteArray bytes = readBytes(fd, picture.at, picture.length);
        ID3v2::Frame* frame =
            bytes.size() == picture.length && bytes.startsWith("APIC")
                ? Id3FrameFactory::instance()->createFrame(
                      ByteVector(bytes.constData(), unsigned(bytes.size())), &header)
                : nullptr;
        if (!frame)
            return refuse(QStringLiteral("The pictures of “%1” could not be read again.")
                              .arg(QFileInfo(fPath).fileName()));
        fID3Tags->addFrame(frame);
    }
}

int MP3File::openUnchanged() const {
    const int fd = FileIO::openAsOpened(localPath(fPath), fStat);
    if (fd < 0) TROVIX_LOG() << "Cover not read, the file changed since it was opened:" << fPath;
    return fd;
}

QByteArray MP3File::readCoverFromFile() const {
    if (fCoverAt < 0) return {};
    const FileIO::ClosedAtExit file{openUnchanged()};
    if (file.fd < 0) return {};
    // Where opening found the picture's bytes, which a save that keeps the
    // frame leaves where they start in it.
    return readBytes(file.fd, fCoverAt + fCoverPictureAt, fCoverLength - fCoverPictureAt);
}

std::optional<bool> MP3File::storedImageEquals(const QByteArray& bytes) const {
    if (fTagLoaded && fHeldPictures.empty()) return std::nullopt; // in memory
    if (fCoverAt < 0) return bytes.isEmpty();
    if (bytes.size() != fCoverLength - fCoverPictureAt) return false;
    const FileIO::ClosedAtExit file{openUnchanged()};
    return file.fd >= 0 && FileIO::holdsAt(file.fd, bytes, uint64_t(fCoverAt + fCoverPictureAt));
}

// Reading.

QString MP3File::frameText(const char* id) const {
    const ID3v2::FrameList& frames = fID3Tags->frameList(id);
    if (frames.isEmpty()) return QString();
    return toQt(frames.front()->toString());
}

QString MP3File::v1Value(TagField field) const {
    switch (field) {
    case TagField::Title:
        return fV1.title;
    case TagField::Artist:
        return fV1.artist;
    case TagField::Album:
        return fV1.album;
    case TagField::Genre:
        return fV1.genre;
    case TagField::Year:
        return fV1.year;
    case TagField::Track:
        return fV1.track;
    default:
        return QString();
    }
}

void MP3File::setV1Value(TagField field, const QString& text) {
    switch (field) {
    case TagField::Title:
        fV1.title = text;
        break;
    case TagField::Artist:
        fV1.artist = text;
        break;
    case TagField::Album:
        fV1.album = text;
        break;
    case TagField::Genre:
        fV1.genre = text;
        break;
    case TagField::Year:
        fV1.year = text;
        break;
    case TagField::Track:
        fV1.track = text;
        break;
    default:
        break;
    }
}

namespace {

// The tag's frames with their IDs, in the tag's order, for reading every
// field at once: TagLib's look-up by ID makes a key and searches the tag's
// map each time, twenty times a file.
class FramesById {
public:
    explicit FramesById(const ID3v2::Tag& tag) {
        const ID3v2::FrameList& frames = tag.frameList();
        fFrames.reserve(frames.size());
        for (ID3v2::Frame* frame : frames)
            if (const ByteVector id = frame->frameID(); id.size() == 4)
                fFrames.push_back({code(id.data()), frame});
    }

    // The first frame of that ID; null when there is none.
    const ID3v2::Frame* first(const char* id) const {
        const quint32 wanted = code(id);
        for (const auto& [frameId, frame] : fFrames)
            if (frameId == wanted) return frame;
        return nullptr;
    }

    // The first frame of that ID and type that `matches`.
    template <typename Frame, typename Match>
    const Frame* find(const char* id, const Match& matches) const {
        const quint32 wanted = code(id);
        for (const auto& [frameId, frame] : fFrames)
            if (frameId == wanted)
                if (const auto* typed = dynamic_cast<const Frame*>(frame); typed && matches(*typed))
                    return typed;
        return nullptr;
    }

private:
    static quint32 code(const char* id) {
        return quint32(uchar(id[0])) << 24 | quint32(uchar(id[1])) << 16 |
               quint32(uchar(id[2])) << 8 | quint32(uchar(id[3]));
    }

    std::vector<std::pair<quint32, const ID3v2::Frame*>> fFrames;
};

} // namespace

TagValues MP3File::readTagValues() {
    return readValues(true);
}

TagValues MP3File::readValues(bool all) {
    const FramesById frames(*fID3Tags);
    const auto textOr = [&frames](const char* id, const QString& v1) {
        if (const ID3v2::Frame* frame = frames.first(id)) return toQt(frame->toString());
        return v1.isNull() ? QString(u""_qs) : v1;
    };
    TagValues values;
    for (const Id3Fields::Text& t : Id3Fields::kTexts)
        values.setText(t.field, textOr(t.frame, v1Value(t.field)));
    // TagLib names a genre stored by its ID3v1 number ("(17)").
    if (frames.first("TCON")) values.genre = toQt(fID3Tags->genre());
    for (const Id3Fields::Pair& p : Id3Fields::kPairs) {
        const auto [number, count] = TagValues::splitPair(textOr(p.frame, v1Value(p.number)));
        values.setText(p.number, number);
        values.setText(p.count, count);
    }
    const ID3v2::Frame* recorded = frames.first(Id3Fields::kRecorded);
    const bool hasYear = frames.first(Id3Fields::kYear) != nullptr;
    values.year = recorded && (fReadVersion == 4 || !hasYear) ? toQt(recorded->toString())
                                                              : textOr(Id3Fields::kYear, fV1.year);
    if (!all) return values;
    const auto* custom =
        dynamic_cast<const CustomTagFrame*>(frames.first(CustomTagFrame::kFrameID));
    if (custom && !custom->text().isEmpty())
        values.custom = CustomTag::fromString(toQt(custom->text()));
    for (const Id3Fields::UserText& u : Id3Fields::kUserTexts) {
        const auto described = [&u](const ID3v2::UserTextIdentificationFrame& text) {
            return toQt(text.description())
                       .compare(QLatin1String(u.description), Qt::CaseInsensitive) == 0;
        };
        if (const auto* text =
                frames.find<ID3v2::UserTextIdentificationFrame>(Id3Fields::kUserText, described)) {
            // The first field is the description; several values follow it.
            QStringList parts;
            const TagLib::StringList fields = text->fieldList();
            for (auto it = std::next(fields.begin()); it != fields.end(); ++it)
                parts += TagValues::valuesOf(toQt(*it));
            values.setText(u.field, TagValues::joinedValues(parts));
        }
    }
    for (const Id3Fields::FileId& f : Id3Fields::kFileIds) {
        const auto owned = [&f](const ID3v2::UniqueFileIdentifierFrame& id) {
            return id.owner() == f.owner;
        };
        if (const auto* id =
                frames.find<ID3v2::UniqueFileIdentifierFrame>(Id3Fields::kFileId, owned))
            values.setText(f.field, QString::fromLatin1(id->identifier().data(),
                                                        qsizetype(id->identifier().size())));
    }
    return values;
}

ID3v2::UserTextIdentificationFrame* MP3File::userText(const char* description) const {
    for (ID3v2::Frame* frame : fID3Tags->frameList(Id3Fields::kUserText)) {
        auto* text = dynamic_cast<ID3v2::UserTextIdentificationFrame*>(frame);
        if (text &&
            toQt(text->description()).compare(QLatin1String(description), Qt::CaseInsensitive) == 0)
            return text;
    }
    return nullptr;
}

ID3v2::UniqueFileIdentifierFrame* MP3File::fileId(const char* owner) const {
    for (ID3v2::Frame* frame : fID3Tags->frameList(Id3Fields::kFileId)) {
        auto* id = dynamic_cast<ID3v2::UniqueFileIdentifierFrame*>(frame);
        if (id && id->owner() == owner) return id;
    }
    return nullptr;
}

namespace {

// The front cover, else the first picture of type "other"; null when none
// holds bytes.
const ID3v2::AttachedPictureFrame* coverFrame(const ID3v2::Tag& tag) {
    const ID3v2::FrameList& frames = tag.frameList("APIC");
    for (auto type :
         {ID3v2::AttachedPictureFrame::FrontCover, ID3v2::AttachedPictureFrame::Other}) {
        for (ID3v2::Frame* frame : frames) {
            auto* picture = dynamic_cast<ID3v2::AttachedPictureFrame*>(frame);
            if (picture && picture->type() == type && !picture->picture().isEmpty()) return picture;
        }
    }
    return nullptr;
}

} // namespace

QByteArray MP3File::readImage() const {
    if (!fTagLoaded || !fHeldPictures.empty()) return readCoverFromFile();
    const ID3v2::AttachedPictureFrame* picture = coverFrame(*fID3Tags);
    if (!picture) return {};
    const ByteVector bytes = picture->picture();
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

bool MP3File::readHasImage() const {
    if (!fTagLoaded || !fHeldPictures.empty()) return fCoverAt >= 0;
    return coverFrame(*fID3Tags) != nullptr;
}

qint64 MP3File::storedImageSize() const {
    if (!fTagLoaded || !fHeldPictures.empty())
        return fCoverAt >= 0 ? fCoverLength - fCoverPictureAt : 0;
    const ID3v2::AttachedPictureFrame* picture = coverFrame(*fID3Tags);
    return picture ? qint64(picture->picture().size()) : 0;
}

int MP3File::readNumFrames() {
    loadTag();
    loadPictures();
    return int(fID3Tags->frameList().size());
}

QString MP3File::readFrameID(int index) {
    loadTag();
    loadPictures();
    const ID3v2::FrameList& frames = fID3Tags->frameList();
    if (index < 0 || index >= int(frames.size())) return QString();
    const ByteVector id = frames[unsigned(index)]->frameID();
    return QString::fromLatin1(id.data(), qsizetype(id.size()));
}

QString MP3File::readFrameWithID(const QString& id) {
    loadTag();
    loadPictures();
    const QByteArray key = id.toLatin1();
    const QString text = frameText(key.constData());
    return text.isNull() ? QString(u""_qs) : text;
}

// Writing: every writer changes the in-memory tag only.

void MP3File::setTextFrame(const char* id, const QString& text) {
    loadTag();
    fID3Tags->removeFrames(id);
    if (!text.isEmpty()) {
        auto* frame = new ID3v2::TextIdentificationFrame(id, encodingFor(text));
        frame->setText(toTL(text));
        fID3Tags->addFrame(frame);
    }
    fNeedsUpdate = true;
}

void MP3File::writeTagValues(const TagValues& values, TagFields fields) {
    for (const Id3Fields::Text& t : Id3Fields::kTexts) {
        if (!fields.testFlag(t.field)) continue;
        setTextFrame(t.frame, values.text(t.field));
        setV1Value(t.field, values.text(t.field));
    }
    for (const Id3Fields::Pair& p : Id3Fields::kPairs) {
        if (!fields.testAnyFlags(p.number | p.count)) continue;
        // Numbers above 255 are kept: the frame is text and has no such limit.
        const QString number = values.text(p.number);
        const QString count = values.text(p.count);
        const QString text = count.isEmpty() ? number : number + u'/' + count;
        setTextFrame(p.frame, text);
        setV1Value(p.number, text);
    }
    if (fields.testFlag(TagField::Year)) {
        loadTag();
        fID3Tags->removeFrames(Id3Fields::kRecorded);
        setTextFrame(Id3Fields::kYear, values.year);
        fV1.year = values.year;
    }
    if (fields.testFlag(TagField::Custom)) writeCustomTag(values.custom);
    for (const Id3Fields::UserText& u : Id3Fields::kUserTexts) {
        if (!fields.testFlag(u.field)) continue;
        loadTag();
        while (auto* old = userText(u.description))
            fID3Tags->removeFrame(old);
        TagLib::StringList list;
        for (const QString& value : TagValues::valuesOf(values.text(u.field)))
            list.append(toTL(value));
        if (!list.isEmpty())
            fID3Tags->addFrame(new ID3v2::UserTextIdentificationFrame(
                u.description, list, encodingFor(values.text(u.field))));
        fNeedsUpdate = true;
    }
    for (const Id3Fields::FileId& f : Id3Fields::kFileIds) {
        if (!fields.testFlag(f.field)) continue;
        loadTag();
        while (auto* old = fileId(f.owner))
            fID3Tags->removeFrame(old);
        const QByteArray id = values.text(f.field).toLatin1();
        if (!id.isEmpty())
            fID3Tags->addFrame(new ID3v2::UniqueFileIdentifierFrame(
                f.owner, ByteVector(id.constData(), unsigned(id.size()))));
        fNeedsUpdate = true;
    }
}

void MP3File::writeCustomTag(const std::optional<CustomTag>& tag) {
    loadTag();
    fID3Tags->removeFrames(CustomTagFrame::kFrameID);
    fNeedsUpdate = true;
    if (!tag) return;
    const QString text = tag->customTagToString();
    const QString description = QString::fromLatin1(kCustomTagDescription) + u'\t' + fHomePage;
    const auto encoding =
        isLatin1(text) && isLatin1(description) ? TagLib::String::Latin1 : TagLib::String::UTF16;
    fID3Tags->addFrame(new CustomTagFrame(toTL(description), toTL(text), encoding));
}

void MP3File::writeImageData(const QByteArray& bytes, const QByteArray& format) {
    loadTag();
    loadPictures();
    const std::vector<ID3v2::Frame*> frames = snapshot(fID3Tags->frameList("APIC"));
    for (ID3v2::Frame* frame : frames) {
        auto* picture = dynamic_cast<ID3v2::AttachedPictureFrame*>(frame);
        if (picture && (picture->type() == ID3v2::AttachedPictureFrame::FrontCover ||
                        picture->type() == ID3v2::AttachedPictureFrame::Other))
            fID3Tags->removeFrame(frame);
    }
    fNeedsUpdate = true;
    if (bytes.isEmpty()) return;
    auto* picture = new ID3v2::AttachedPictureFrame;
    picture->setTextEncoding(TagLib::String::Latin1);
    picture->setMimeType(TagLib::String("image/") + TagLib::String(format.constData()));
    picture->setType(ID3v2::AttachedPictureFrame::FrontCover);
    picture->setDescription("Album Cover");
    picture->setPicture(ByteVector(bytes.constData(), unsigned(bytes.size())));
    fID3Tags->addFrame(picture);
}

// Version conversions.

void MP3File::convertToV23() {
    // A tag that carries its year only as recording time would lose it with
    // TDRC; its year moves to TYER first.
    const ID3v2::FrameList& recorded = fID3Tags->frameList("TDRC");
    if (fID3Tags->frameList("TYER").isEmpty() && !recorded.isEmpty()) {
        const int year = numberOr(toQt(recorded.front()->toString()), -1);
        if (year >= 1 && year <= 9999) setTextFrame("TYER", QString::asprintf("%4.4d", year));
    }
    // Frames ID3v2.3 does not know.
    for (const char* id : {"EQU2", "RVA2", "TMCL", "TIPL", "TDOR", "TDRC"})
        fID3Tags->removeFrames(id);
    // ID3v2.3 keeps one text per frame: several identifiers share it.
    for (const Id3Fields::UserText& u : Id3Fields::kUserTexts) {
        auto* text = userText(u.description);
        if (!text || text->fieldList().size() <= 2) continue;
        TagLib::StringList values = text->fieldList();
        values.erase(values.begin());
        text->setText(values.toString(toTL(QString(QChar(TagValues::kValueSeparator)))));
    }
}

void MP3File::convertToV24() {
    if (!fID3Tags->frameList("TDRC").isEmpty()) return;
    auto take = [this](const char* id) {
        const ID3v2::FrameList& frames = fID3Tags->frameList(id);
        int value = -1;
        if (!frames.isEmpty()) value = numberOr(toQt(frames.front()->toString()), -1);
        fID3Tags->removeFrames(id);
        return value;
    };
    fID3Tags->removeFrames("TRDA");
    const int year = take("TYER");
    const int date = take("TDAT"); // DDMM
    const int time = take("TIME"); // HHMM
    if (year < 1 || year > 9999) return;

    QString stamp = QString::asprintf("%4.4d", year);
    if (date >= 1 && date <= 9999) {
        stamp += QString::asprintf("-%2.2d-%2.2d", date % 100, date / 100);
        if (time >= 0 && time <= 9999)
            stamp += QString::asprintf("T%2.2d:%2.2d:00", time / 100, time % 100);
    }
    auto* recorded = new ID3v2::TextIdentificationFrame("TDRC", TagLib::String::Latin1);
    recorded->setText(toTL(stamp));
    fID3Tags->addFrame(recorded);
    auto* yearFrame = new ID3v2::TextIdentificationFrame("TYER", TagLib::String::Latin1);
    yearFrame->setText(toTL(QString::asprintf("%4.4d", year)));
    fID3Tags->addFrame(yearFrame);
}

// Saving.

namespace {

// TagLib's genre number for a name, 255 for none, remembered: its own
// look-up compares the name with every genre it knows, on every call.
unsigned v1GenreNumber(const QString& name) {
    thread_local QHash<QString, unsigned> known;
    const auto it = known.constFind(name);
    if (it != known.constEnd()) return *it;
    const unsigned number = unsigned(TagLib::ID3v1::genreIndex(toTL(name)));
    known.insert(name, number);
    return number;
}

} // namespace

QByteArray MP3File::renderV1(const QByteArray& old) {
    const TagValues values = readValues(false);
    TagLib::ID3v1::Tag v1;
    v1.setTitle(toTL(values.title));
    v1.setArtist(toTL(values.artist));
    v1.setAlbum(toTL(values.album));
    v1.setYear(unsigned(qBound(0, numberOr(values.year, 0), 9999)));
    v1.setGenreNumber(v1GenreNumber(values.genre));
    const int track = values.trackNumber();
    v1.setTrack(track <= 255 ? unsigned(track) : 0); // one byte in ID3v1.1
    const ByteVector bytes = v1.render();
    QByteArray out(bytes.data(), qsizetype(bytes.size()));
    // The comment, which no record holds, keeps the old tag's bytes; so do
    // the last two of an ID3v1.0 comment while no track number needs them.
    constexpr qsizetype kComment = 97, kTrackGap = 125;
    if (out.size() == 128 && old.size() == 128 && old.startsWith("TAG")) {
        out.replace(kComment, kTrackGap - kComment, old.mid(kComment, kTrackGap - kComment));
        if (out[kTrackGap + 1] == 0 && old[kTrackGap] != 0)
            out.replace(kTrackGap, 2, old.mid(kTrackGap, 2));
    }
    return out;
}

SavePlan MP3File::planSave() {
    SavePlan plan;
    plan.finish = [](bool) {};
    if (!fNeedsUpdate) return plan;
    loadTag();
    const int version = fTagVersion == 3 ? 4 : 3;
    // TagLib writes a picture's UTF-8 or UTF-16BE text as UTF-16 in
    // ID3v2.3; such a picture is not copied as it is.
    if (version == 3 && std::any_of(fHeldPictures.begin(), fHeldPictures.end(),
                                    [](const Id3HeldPicture& p) { return p.encoding >= 2; }))
        loadPictures();
    if (version == 4)
        convertToV24();
    else
        convertToV23();
    if (!fNotWritable.isNull()) return SavePlan::refused(fNotWritable);

    const QString name = QFileInfo(fPath).fileName();
    struct stat st {};
    const QString target = FileIO::saveTarget(fPath, &st);
    const QByteArray native = localPath(target);
    if (target.isEmpty())
        return SavePlan::refused(QStringLiteral("The file “%1” could not be found.").arg(name));
    if (!S_ISREG(st.st_mode))
        return SavePlan::refused(QStringLiteral("“%1” is no longer an ordinary file.").arg(name));
    if (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) != 0)
        return SavePlan::refused(
            QStringLiteral("You do not have permission to change “%1”.").arg(name));
    const QString changed = QStringLiteral("“%1” was changed by another program since it was "
                                           "opened; open it again before saving.")
                                .arg(name);
    if (!FileIO::sameFile(st, fStat)) return SavePlan::refused(changed);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return SavePlan::refused(FileIO::whyNotOpened(errno));
    const FileIO::ClosedAtExit closer{fd};
    if (::fstat(fd, &plan.seen) != 0 || !FileIO::sameFile(plan.seen, fStat))
        return SavePlan::refused(changed);
    plan.target = target;

    // TagLib renders the frames; with no size in the tag's header yet, it
    // adds its smallest padding, 1024 bytes, which is taken off again.
    fID3Tags->header()->setTagSize(0);
    const ByteVector renderedTag = fID3Tags->render(version == 4 ? ID3v2::v4 : ID3v2::v3);
    const QByteArrayView rendered(renderedTag.data(), qsizetype(renderedTag.size()));
    if (rendered.size() < 10)
        return SavePlan::refused(
            QStringLiteral("The tags of “%1” could not be laid out.").arg(name));
    constexpr qsizetype kPadding = 1024;
    QByteArrayView frames = rendered.sliced(10);
    if (frames.size() >= kPadding &&
        std::all_of(frames.end() - kPadding, frames.end(), [](char c) { return c == 0; }))
        frames.chop(kPadding);
    // Pictures TagLib renders go behind every other frame (for ID3v2.3 it
    // puts the frames it converts, such as TCON, last): where a later save,
    // which copies them, puts them too. It then finds them in place, and a
    // save that changes nothing writes nothing.
    QByteArray picturesLast;
    if (!fID3Tags->frameList("APIC").isEmpty()) {
        std::vector<QByteArray> split = Id3PinnedLayout::splitFrames(frames, version);
        std::stable_partition(split.begin(), split.end(),
                              [](const QByteArray& f) { return !f.startsWith("APIC"); });
        for (const QByteArray& frame : split)
            picturesLast += frame;
        if (picturesLast.size() == frames.size()) frames = picturesLast;
    }
    const Mp3Layout old = fLayout;
    const QByteArray oldV1 = old.v1At >= 0 ? readBytes(fd, old.v1At, 128) : QByteArray();
    const QByteArray v1 = renderV1(oldV1);
    const bool hadTag = old.tagAt >= 0;

    // The pictures TagLib was not shown follow its frames as the file holds
    // them, each under a frame header of the version written.
    qsizetype picturesSize = 0;
    for (const Id3HeldPicture& p : fHeldPictures)
        picturesSize += qsizetype(p.length);
    const qsizetype content = frames.size() + picturesSize;

    // Kept as they are: junk before the tag, the audio (from behind the
    // tag, so with whatever lies between it and the first frame). Dropped:
    // further ID3v2 tags right behind the first (TagLib reads them as its
    // padding), APEv2 and ID3v2 tags at the end, whose stale values some
    // players prefer.
    const int64_t junk = hadTag ? old.tagAt : 0;
    const int64_t audioFrom = old.tagEnd();
    const int64_t audioTo = old.trailAt;
    const int64_t audioLength = audioTo - old.firstFrame;

    // In place when the tag is at the start and the frames fit its
    // space with no more padding than TagLib would keep; else a new file
    // with the tag at the start, where every reader looks. An emptied tag
    // is left out.
    const int64_t keepPadding = std::clamp<int64_t>(old.size / 100, 1024, 1 << 20);
    const int64_t padding = old.tagLength - 10 - content;
    const bool tagInPlace = hadTag && old.tagAt == 0 && padding >= 0 && padding <= keepPadding;
    const bool inPlace = content == 0 ? !hadTag : tagInPlace;
    const bool picturesInOneRun =
        !fHeldPictures.empty() &&
        std::adjacent_find(fHeldPictures.begin(), fHeldPictures.end(),
                           [](const Id3HeldPicture& a, const Id3HeldPicture& b) {
                               return a.at + a.length != b.at;
                           }) == fHeldPictures.end();

    // The stored tag, which the new one is compared with. Pictures written
    // in place may keep their place: most of the tag, and the same in both.
    // Their bytes are then not read: both tags hold zeros there, and the
    // comparison finds nothing to write. Should they move after all, the
    // tag is read whole.
    QByteArray oldTag;
    bool picturesUnread = false;
    std::vector<CopiedFrame> pictures;
    std::vector<Id3HeldPicture> picturesWritten;
    const auto readPictures = [&](bool leaveUnread) {
        picturesUnread = leaveUnread;
        oldTag = leaveUnread ? tagAroundPictures(fd, old.tagLength, fHeldPictures)
                             : readBytes(fd, old.tagAt, old.tagLength);
        pictures.clear();
        picturesWritten.clear();
        qsizetype at = 10 + frames.size();
        for (const Id3HeldPicture& p : fHeldPictures) {
            if (old.tagAt != 0 || oldTag.size() != old.tagLength ||
                p.at + p.length > oldTag.size() ||
                QByteArrayView(oldTag.constData() + p.at, 4) != "APIC")
                return false;
            const unsigned body = unsigned(p.length - 10);
            const ByteVector size =
                version == 4 ? ID3v2::SynchData::fromUInt(body) : ByteVector::fromUInt(body);
            picturesWritten.push_back({at, p.length, p.encoding});
            QByteArray header("APIC", 4);
            header.append(size.data(), 4);
            header.append(2, '\0');
            pictures.push_back(
                {header, QByteArrayView(oldTag.constData() + p.at + 10, qsizetype(body))});
            at += qsizetype(p.length);
        }
        return true;
    };
    if (!fHeldPictures.empty() && !readPictures(inPlace && picturesInOneRun))
        return SavePlan::refused(QStringLiteral("“%1” could not be read.").arg(name));

    // Frames before the pictures that changed length would move them: the
    // frames are then laid out around them instead, so that a new title
    // changes a few hundred bytes of the file, not all of its cover.
    QByteArray tag;
    if (inPlace && hadTag && picturesInOneRun && picturesSize >= kPinnedPictures &&
        picturesWritten.front().at != fHeldPictures.front().at) {
        const ID3v2::FrameList& own = fID3Tags->frameList(CustomTagFrame::kFrameID);
        tag =
            pinnedTag(rendered, frames, pictures, qsizetype(fHeldPictures.front().at),
                      own.size() == 1 ? dynamic_cast<const CustomTagFrame*>(own.front()) : nullptr,
                      version, old.tagLength);
        if (!tag.isNull())
            for (size_t i = 0; i < picturesWritten.size(); ++i)
                picturesWritten[i].at = fHeldPictures[i].at;
    }
    // Else (or when they cannot be) the frames, then the pictures.
    if (tag.isNull() && content != 0) {
        if (picturesUnread && picturesWritten.front().at != fHeldPictures.front().at &&
            !readPictures(false))
            return SavePlan::refused(QStringLiteral("“%1” could not be read.").arg(name));
        tag =
            tagBytes(rendered, frames, pictures, inPlace ? old.tagLength : 10 + content + kPadding);
    }

    struct Expected {
        int64_t size, tagAt, tagLength, firstFrame;
    } expected{};
    if (inPlace) {
        if (hadTag) {
            QByteArray was =
                oldTag.isNull() ? readBytes(fd, old.tagAt, old.tagLength) : std::move(oldTag);
            if (was.size() != tag.size())
                return SavePlan::refused(QStringLiteral("“%1” could not be read.").arg(name));
            // The new tag is screened as TagLib will read it before anything
            // is written: the check afterwards does not parse it again.
            if (!tag.isEmpty() && !Id3TagScreen::screen(tag).skipped.isEmpty())
                return SavePlan::refused(
                    QStringLiteral("The tags of “%1” could not be laid out for writing.")
                        .arg(name));
            plan.addChangedBytes(uint64_t(old.tagAt), std::move(was), std::move(tag));
            // What was not read is the same in both, so nothing written
            // reaches it; were it otherwise, zeros would replace a picture.
            const auto touchesUnread = [this](const SaveRegion& r) {
                return std::any_of(fHeldPictures.begin(), fHeldPictures.end(),
                                   [&r](const Id3HeldPicture& p) {
                                       return int64_t(r.offset) < p.at + p.length &&
                                              p.at + 11 < int64_t(r.offset) + r.bytes.size();
                                   });
            };
            if (picturesUnread &&
                std::any_of(plan.regions.begin(), plan.regions.end(), touchesUnread))
                return SavePlan::refused(
                    QStringLiteral("The tags of “%1” could not be laid out for writing.")
                        .arg(name));
        }
        // The tags at the end become one ID3v1 tag.
        if (old.trailAt == old.v1At) {
            plan.addChangedBytes(uint64_t(old.v1At), oldV1, v1);
        } else {
            const QByteArray was = readBytes(fd, old.trailAt, old.size - old.trailAt);
            if (was.size() != old.size - old.trailAt)
                return SavePlan::refused(QStringLiteral("“%1” could not be read.").arg(name));
            plan.regions.push_back({uint64_t(old.trailAt), v1, was});
        }
        plan.newSize = uint64_t(old.trailAt) + 128;
        plan.kind = plan.regions.empty() ? SavePlan::Kind::Nothing : SavePlan::Kind::InPlace;
        expected = {int64_t(plan.newSize), old.tagAt, hadTag ? old.tagLength : 0, old.firstFrame};
    } else {
        plan.kind = SavePlan::Kind::Rewrite;
        plan.newSize = uint64_t(tag.size() + junk + (audioTo - audioFrom) + 128);
        plan.heldBytes = tag.size();
        expected = {int64_t(plan.newSize), tag.isEmpty() ? -1 : 0, tag.size(),
                    tag.size() + junk + (old.firstFrame - audioFrom)};
        plan.writeNew = [junk, audioFrom, audioTo, tag, v1](int in, int out) {
            const bool ok = Durable::writeAll(out, tag.constData(), size_t(tag.size())) &&
                            copyRange(in, out, 0, junk) &&
                            copyRange(in, out, audioFrom, audioTo - audioFrom) &&
                            Durable::writeAll(out, v1.constData(), size_t(v1.size()));
            return ok ? Outcome::done() : SavePlan::notWritten(errno);
        };
    }

    // An in-place write changes only the tags at the start and the end,
    // which the check reads back whole: of the audio, which it must not
    // reach, a smaller piece at each end is enough to show it was left alone.
    const bool regionsClearOfAudio =
        std::all_of(plan.regions.begin(), plan.regions.end(), [&old](const SaveRegion& r) {
            return int64_t(r.offset) + r.bytes.size() <= old.firstFrame ||
                   int64_t(r.offset) >= old.trailAt;
        });
    if (!regionsClearOfAudio)
        return SavePlan::refused(
            QStringLiteral("The tags of “%1” could not be laid out for writing.").arg(name));
    const int64_t edge = plan.kind == SavePlan::Kind::InPlace ? 4 * 1024 : 64 * 1024;
    const QByteArray print = audioPrint(fd, old.firstFrame, audioLength, edge);
    if (print.isEmpty())
        return SavePlan::refused(
            QStringLiteral("“%1” could not be read: %2.").arg(name, Durable::errnoText(errno)));

    auto written = std::make_shared<Mp3Layout>();
    // What the written file must be: its tags where they were written, its
    // audio as it was.
    auto check = [expected, audioLength, print, edge](int fd, const Mp3Layout& l) -> QString {
        if (l.size != expected.size)
            return QStringLiteral("it holds %1 bytes instead of %2").arg(l.size).arg(expected.size);
        if (l.tagAt != expected.tagAt || (l.tagAt >= 0 && l.tagLength != expected.tagLength))
            return QStringLiteral("its ID3v2 tag does not read back where it was written");
        if (l.v1At != expected.size - 128 || l.trailAt != l.v1At)
            return QStringLiteral("its tags at the end are not one ID3v1 tag");
        if (l.firstFrame != expected.firstFrame)
            return QStringLiteral("its audio no longer starts right after the tag");
        if (audioPrint(fd, l.firstFrame, audioLength, edge) != print)
            return QStringLiteral("its audio changed");
        return {};
    };
    if (plan.kind == SavePlan::Kind::InPlace) {
        // Only the changed bytes were written, and nothing between the tag
        // and the audio: they are read back, and the tag (with its cover)
        // is not parsed again (it was screened when planned).
        plan.verify = [check, written, regions = plan.regions,
                       firstFrame = old.firstFrame](const QString& path) -> QString {
            const int fd = ::open(localPath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (fd < 0)
                return QStringLiteral("it could not be opened: %1").arg(Durable::errnoText(errno));
            const FileIO::ClosedAtExit closer{fd};
            struct stat st {};
            if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
                return QStringLiteral("it is no longer an ordinary file");
            for (const SaveRegion& r : regions)
                if (!FileIO::holdsAt(fd, r.bytes, r.offset))
                    return QStringLiteral("its tags do not read back as written");
            Mp3Layout l =
                Mp3Layout::read(FileStretch(fd, uint64_t(st.st_size), 0, Mp3Layout::kStartBytes));
            l.setFirstFrame(firstFrame);
            const QString why = check(fd, l);
            if (why.isNull()) *written = l;
            return why;
        };
    } else {
        plan.verify = [check, written](const QString& path) -> QString {
            OpenedMp3 now;
            if (!now.open(localPath(path), false) || !now.agrees)
                return QStringLiteral("it does not read as MPEG audio");
            if (!now.skipped.isEmpty())
                return QStringLiteral("its ID3v2 tag does not read back where it was written");
            const QString why = check(now.fd, now.layout);
            if (why.isNull()) *written = now.layout;
            return why;
        };
    }
    // Where the cover's frame will lie, when it is one of the pictures copied.
    int64_t coverAt = -1;
    for (size_t i = 0; i < fHeldPictures.size(); ++i)
        if (fHeldPictures[i].at + 10 == fCoverAt) coverAt = picturesWritten[i].at + 10;
    plan.finish = [this, version, written, coverAt,
                   picturesWritten = std::move(picturesWritten)](bool saved) {
        if (!saved) return;
        fNeedsUpdate = false;
        fReadVersion = version;
        if (!fHeldPictures.empty()) {
            fHeldPictures = picturesWritten;
            fCoverAt = coverAt;
        }
        if (written->size > 0) fLayout = *written;
        ::stat(localPath(fPath).constData(), &fStat);
    };
    return plan;
}

void MP3File::refreshAfterRename(const QString& newPath) {
    fPath = newPath;
}
