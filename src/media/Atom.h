#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// A four-character atom type as a big-endian number: atomType("moov").
constexpr uint32_t atomType(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

// The type as text for messages, "?" for bytes that are not printable.
QString fourcc(uint32_t type);

namespace AtomTypes {
inline constexpr uint32_t kMoov = atomType("moov");
inline constexpr uint32_t kMoof = atomType("moof");
inline constexpr uint32_t kMvex = atomType("mvex");
inline constexpr uint32_t kTrak = atomType("trak");
inline constexpr uint32_t kMdia = atomType("mdia");
inline constexpr uint32_t kMinf = atomType("minf");
inline constexpr uint32_t kStbl = atomType("stbl");
inline constexpr uint32_t kUdta = atomType("udta");
inline constexpr uint32_t kMeta = atomType("meta");
inline constexpr uint32_t kHdlr = atomType("hdlr");
inline constexpr uint32_t kIlst = atomType("ilst");
inline constexpr uint32_t kData = atomType("data");
inline constexpr uint32_t kMdat = atomType("mdat");
inline constexpr uint32_t kMvhd = atomType("mvhd");
inline constexpr uint32_t kStco = atomType("stco");
inline constexpr uint32_t kStsc = atomType("stsc");
inline constexpr uint32_t kStsz = atomType("stsz");
inline constexpr uint32_t kStz2 = atomType("stz2");
inline constexpr uint32_t kCo64 = atomType("co64");
inline constexpr uint32_t kFree = atomType("free");
inline constexpr uint32_t kSkip = atomType("skip");
inline constexpr uint32_t kName = atomType("\xA9nam");
inline constexpr uint32_t kArtist = atomType("\xA9"
                                             "ART");
inline constexpr uint32_t kAlbum = atomType("\xA9"
                                            "alb");
inline constexpr uint32_t kDay = atomType("\xA9"
                                          "day");
inline constexpr uint32_t kGen = atomType("\xA9gen");
inline constexpr uint32_t kAlbumArtist = atomType("aART");
inline constexpr uint32_t kGnre = atomType("gnre");
inline constexpr uint32_t kTrkn = atomType("trkn");
inline constexpr uint32_t kDisk = atomType("disk");
inline constexpr uint32_t kCpil = atomType("cpil");
inline constexpr uint32_t kCovr = atomType("covr");
// A freeform item: "mean" (its owner), "name", then one "data" per value.
inline constexpr uint32_t kFreeform = atomType("----");
inline constexpr uint32_t kMean = atomType("mean");
inline constexpr uint32_t kItemName = atomType("name");
} // namespace AtomTypes

// The bytes read from one file for parsing: `available` bytes that stood at
// `baseOffset` in the file. Only "moov" is read whole; of any other
// top-level atom only its header is read.
struct AtomParseContext {
    const uint8_t* base = nullptr;
    uint64_t baseOffset = 0;
    uint64_t available = 0;
    size_t atomCount = 0;
    QString error; // why the parse stopped, for the log
};

// One atom of an MPEG-4 file. Only the atoms on the way to the metadata and
// to the chunk offsets are parsed into children; other leaves inside "moov"
// keep a copy of their payload, and top-level leaves ("mdat", "ftyp", ...)
// only remember where they lie, so the audio is never read.
class Atom {
public:
    using Ptr = std::shared_ptr<Atom>;

    // A new, empty atom of that type, not yet in any file.
    explicit Atom(uint32_t type);
    virtual ~Atom() = default;
    Atom& operator=(const Atom&) = delete;
    // The atom and everything below it, as a tree of its own.
    Ptr deepCopy() const;

    uint32_t type() const { return fType; }
    QString typeName() const;
    int level() const { return fLevel; }
    const std::vector<Ptr>& children() const { return fChildren; }
    void addChild(Ptr child);
    bool markedForDeletion() const { return fMarkedForDeletion; }
    void markForDeletion() { fMarkedForDeletion = true; }
    // Empty while the contents are left in the file.
    const QByteArray& contents() const { return fContents; }
    // Contents left in the file are loaded with it too, as read there or as
    // a view of bytes the caller keeps until leaveContentsInFile.
    void setContents(const QByteArray& bytes) {
        fContents = bytes;
        fContentsInFile = false;
    }
    // Contents left in the file, not held in memory (a large sample table,
    // a picture): contentsSize() bytes at contentsAt(). A save lends them
    // to the atom while it lays the movie header out again.
    bool contentsInFile() const { return fContentsInFile; }
    uint64_t contentsAt() const { return fContentsAt; }
    uint64_t contentsSize() const {
        return fContentsInFile ? fContentsLength : uint64_t(fContents.size());
    }
    // Lets loaded contents go again: they lie in the file at `at`.
    void leaveContentsInFile(uint64_t at) {
        fContentsLength = uint64_t(fContents.size());
        fContentsAt = at;
        fContents = QByteArray();
        fContentsInFile = true;
    }
    bool isProgramMade() const { return !fHasOriginal; }
    uint64_t originalOffset() const { return fOriginalOffset; }
    uint64_t originalLen() const { return fOriginalLen; }
    bool hasLargeHeader() const { return fLargeHeader; }
    // Its size field reads 0: "to the end of the file".
    bool sizeReadsZero() const { return fSizeReadsZero; }
    // For "mdat" and other top-level leaves: where the payload lies.
    uint64_t dataOffset() const { return fDataOffset; }
    uint64_t dataLen() const { return fDataLen; }

    // Depth first, the atom before its children; atoms marked for deletion
    // and their subtrees are skipped, since a change written there is lost.
    Atom* find(uint32_t type);
    // Only the direct children.
    Atom* findChild(uint32_t type) const;

    // The value holder (a DataAtom): a "data" atom's child, or an item's
    // first "data" atom's.
    Atom* data() const;
    // Whether this atom is a value holder itself.
    virtual bool holdsValue() const { return false; }
    // The value of the holder below this atom; a holder overrides them.
    virtual QString stringValue() const;
    virtual int ushortArrayValue(int index) const;
    virtual QByteArray image() const;
    virtual void setStringValue(const QString& text);
    virtual void setUShortArrayValue(int index, uint16_t value);
    virtual void setImage(const QByteArray& bytes, uint32_t typeWord);

    virtual uint64_t dataSize() const;
    virtual uint64_t atomSize() const;
    virtual uint64_t minDataSize() const;
    // "free" and "skip" atoms, and atoms marked for deletion, count 0.
    virtual uint64_t minAtomSize() const;

    // Appends the atom to `out`. "free" and "skip" atoms are left out except
    // `carrier`, which is written `padding` bytes long (nothing when 0).
    // False when the atom cannot be written (a size past 32 bits in a
    // 32-bit header, or an opaque atom that has no bytes in memory).
    virtual bool dumpAtom(QByteArray& out, const Atom* carrier, uint64_t padding) const;
    // The atom written into exactly `size` bytes, the padding going to
    // `carrier`; empty when that cannot be done.
    QByteArray buildModifiedAtom(uint64_t size, const Atom* carrier) const;

    void print(int indent, QString& out) const;
    // What print says of the atom itself.
    virtual QString headline() const;

protected:
    friend class AtomReader;

    // For deepCopy: the atom alone, its children still shared.
    Atom(const Atom&) = default;
    virtual Ptr copyAlone() const { return Ptr(new Atom(*this)); }

    bool isPadding() const { return fType == AtomTypes::kFree || fType == AtomTypes::kSkip; }
    int headerLen() const { return fLargeHeader ? 16 : 8; }

    int fLevel = 0;
    std::vector<Ptr> fChildren;
    bool fMarkedForDeletion = false;
    uint64_t fDataOffset = 0;
    uint64_t fDataLen = 0;
    uint32_t fType = 0;
    QByteArray fContents;
    bool fContentsInFile = false;
    uint64_t fContentsAt = 0;
    uint64_t fContentsLength = 0;
    bool fHasOriginal = false;
    bool fOpaque = false;      // payload left in the file, not copied
    bool fLargeHeader = false; // stored with a 64-bit size; kept that way
    bool fSizeReadsZero = false;
    uint64_t fOriginalOffset = 0;
    uint64_t fOriginalLen = 0;
};
