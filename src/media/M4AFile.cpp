#include "media/M4AFile.h"

#include "media/DataAtom.h"
#include "system/Log.h"
#include "system/PictureCodec.h"
#include "tags/TextNumbers.h"

#include <QStringList>
#include <QtEndian>

#include <taglib/id3v1genres.h>

#include <algorithm>

using namespace AtomTypes;

namespace {

// The ID3v1 genre names in genre-number order, as the tag library has them.
const QStringList& genres() {
    static const QStringList gGenres = [] {
        QStringList list;
        for (const TagLib::String& name : TagLib::ID3v1::genreList())
            list << QString::fromStdString(name.to8Bit(true));
        return list;
    }();
    return gGenres;
}

// An iTunes metadata handler: version and flags, predefined, "mdir",
// "appl" and eight reserved bytes, an empty name.
QByteArray metadataHandler() {
    static const char bytes[] = "\0\0\0\0"
                                "\0\0\0\0"
                                "mdir"
                                "appl"
                                "\0\0\0\0"
                                "\0\0\0\0"
                                "\0";
    return QByteArray(bytes, 25);
}

// A track whose media handler is "vide": moov/trak/mdia/hdlr holds version
// and flags, a predefined word, then the handler type.
bool hasVideoTrack(const AtomParser& parser) {
    constexpr uint32_t kVide = atomType("vide");
    for (const auto& top : parser.atoms()) {
        if (top->type() != kMoov) continue;
        for (const auto& trak : top->children()) {
            Atom* mdia = trak->type() == kTrak ? trak->findChild(kMdia) : nullptr;
            Atom* hdlr = mdia ? mdia->findChild(kHdlr) : nullptr;
            if (!hdlr) continue;
            const QByteArray& p = hdlr->contents();
            if (p.size() >= 12 && qFromBigEndian<uint32_t>(p.constData() + 8) == kVide) return true;
        }
    }
    return false;
}

uint16_t clampU16(int v) {
    return uint16_t(std::clamp(v, 0, 0xFFFF));
}

} // namespace

std::shared_ptr<M4AFile> M4AFile::newM4AFileWithPath(const QString& path) {
    std::shared_ptr<M4AFile> file(new M4AFile(path));
    file->fAtomParser = AtomParser::newAtomParser(path).parser;
    if (!file->fAtomParser) return nullptr;
    file->fHasVideo = hasVideoTrack(*file->fAtomParser);
    file->getAllInterestingTags();
    return file;
}

std::shared_ptr<MusicFile> M4AFile::copyAsOpened() const {
    if (!fAtomParser) return nullptr;
    return std::shared_ptr<M4AFile>(new M4AFile(*this));
}

QString M4AFile::whyNotWritable() const {
    if (!fHasVideo) return QString();
    return QStringLiteral("The file holds a video track; only audio files are written.");
}

SavePlan M4AFile::planSave() {
    const QString why = whyNotWritable();
    if (!why.isNull()) return SavePlan::refused(why);
    if (!fAtomParser) return SavePlan::refused(QStringLiteral("The file is not open."));
    return fAtomParser->planSave();
}

void M4AFile::refreshAfterRename(const QString& newPath) {
    MusicFile::refreshAfterRename(newPath);
    if (fAtomParser) fAtomParser->refreshAfterRename(newPath);
}

Atom* M4AFile::item(uint32_t type) const {
    Atom* list = const_cast<M4AFile*>(this)->ilst(false);
    return list ? list->findChild(type) : nullptr;
}

// moov/udta/meta/ilst; with `create`, whatever is missing on the way is
// added, the "meta" with the handler readers look for.
Atom* M4AFile::ilst(bool create) {
    if (!fAtomParser) return nullptr;
    Atom* moov = nullptr;
    for (auto& a : fAtomParser->atoms())
        if (a->type() == kMoov && !a->markedForDeletion()) {
            moov = a.get();
            break;
        }
    if (!moov) return nullptr;
    auto child = [create](Atom* parent, uint32_t type, auto&& make) -> Atom* {
        if (Atom* hit = parent->findChild(type)) return hit;
        if (!create) return nullptr;
        Atom::Ptr made = make();
        Atom* raw = made.get();
        parent->addChild(std::move(made));
        return raw;
    };
    Atom* udta = child(moov, kUdta, [] { return std::make_shared<Atom>(kUdta); });
    if (!udta) return nullptr;
    Atom* meta = child(udta, kMeta, [] {
        auto meta = std::make_shared<Atom>(kMeta);
        meta->setContents(QByteArray(4, '\0'));
        auto handler = std::make_shared<Atom>(kHdlr);
        handler->setContents(metadataHandler());
        meta->addChild(std::move(handler));
        return meta;
    });
    if (!meta) return nullptr;
    return child(meta, kIlst, [] { return std::make_shared<Atom>(kIlst); });
}

void M4AFile::addItem(Atom::Ptr newItem) {
    if (Atom* list = ilst(true)) list->addChild(std::move(newItem));
}

// An empty value removes the item, as an MP3 frame is removed: readers
// show an empty item as a value.
void M4AFile::setText(uint32_t type, const QString& text) {
    Atom* existing = item(type);
    if (text.isEmpty()) {
        if (existing) existing->markForDeletion();
        return;
    }
    if (existing && existing->data()) {
        existing->setStringValue(text);
        return;
    }
    if (existing) existing->markForDeletion(); // an item without a value
    addItem(DataAtom::newItem(type, text));
}

namespace {

// The items that hold a field as text.
struct TextItem {
    TagField field;
    uint32_t type;
};
constexpr TextItem kTextItems[] = {
    {TagField::Title, kName},  {TagField::Artist, kArtist}, {TagField::AlbumArtist, kAlbumArtist},
    {TagField::Album, kAlbum}, {TagField::Year, kDay},
};

// The items that hold a number and its count as 16-bit values 1 and 2.
struct PairItem {
    TagField number;
    TagField count;
    uint32_t type;
};
constexpr PairItem kPairItems[] = {
    {TagField::Track, TagField::TrackCount, kTrkn},
    {TagField::Disc, TagField::DiscCount, kDisk},
};

// The fields held in freeform items owned by "com.apple.iTunes", under the
// names the common taggers and media servers use: "----:com.apple.iTunes:
// MusicBrainz Album Id" and so on, where "MusicBrainz Track Id" holds the
// recording and "MusicBrainz Release Track Id" the track on the release.
// Several values are several "data" atoms of one item.
struct FreeformItem {
    TagField field;
    const char* name;
};
constexpr FreeformItem kFreeformItems[] = {
    {TagField::MBReleaseId, "MusicBrainz Album Id"},
    {TagField::MBReleaseGroupId, "MusicBrainz Release Group Id"},
    {TagField::MBReleaseTrackId, "MusicBrainz Release Track Id"},
    {TagField::MBRecordingId, "MusicBrainz Track Id"},
    {TagField::MBArtistId, "MusicBrainz Artist Id"},
    {TagField::MBAlbumArtistId, "MusicBrainz Album Artist Id"},
};
constexpr char kFreeformOwner[] = "com.apple.iTunes";

// A "mean" or "name" atom: version and flags, then the text.
Atom::Ptr labelAtom(uint32_t type, const QByteArray& text) {
    auto atom = std::make_shared<Atom>(type);
    atom->setContents(QByteArray(4, '\0') + text);
    return atom;
}

QByteArray labelOf(const Atom& item, uint32_t type) {
    const Atom* label = item.findChild(type);
    return label && label->contents().size() >= 4 ? label->contents().mid(4) : QByteArray();
}

} // namespace

Atom* M4AFile::freeform(const char* name) const {
    Atom* list = const_cast<M4AFile*>(this)->ilst(false);
    if (!list) return nullptr;
    for (const auto& child : list->children()) {
        if (child->markedForDeletion() || child->type() != kFreeform) continue;
        if (labelOf(*child, kMean) == kFreeformOwner &&
            QString::fromUtf8(labelOf(*child, kItemName))
                    .compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return child.get();
    }
    return nullptr;
}

void M4AFile::setFreeform(const char* name, const QString& text) {
    const QStringList values = TagValues::valuesOf(text);
    Atom* existing = freeform(name);
    if (existing) {
        QStringList old;
        for (const auto& child : existing->children())
            if (child->type() == kData && child->data()) old << child->data()->stringValue();
        if (old == values) return;
        existing->markForDeletion();
    }
    if (values.isEmpty()) return;
    auto item = std::make_shared<Atom>(kFreeform);
    item->addChild(labelAtom(kMean, kFreeformOwner));
    item->addChild(labelAtom(kItemName, name));
    for (const QString& value : values) {
        auto data = std::make_shared<Atom>(kData);
        data->addChild(DataAtom::newDataAtomWithString(value));
        item->addChild(std::move(data));
    }
    addItem(std::move(item));
}

TagValues M4AFile::readTagValues() {
    TagValues values;
    for (const TextItem& t : kTextItems) {
        Atom* a = item(t.type);
        values.setText(t.field, a ? a->stringValue() : QString());
    }
    values.genre = readGenre();
    for (const PairItem& p : kPairItems) {
        if (Atom* a = item(p.type)) {
            values.setText(p.number, QString::number(a->ushortArrayValue(1)));
            values.setText(p.count, QString::number(a->ushortArrayValue(2)));
        }
    }
    for (const FreeformItem& f : kFreeformItems) {
        const Atom* item = freeform(f.name);
        if (!item) continue;
        QStringList parts;
        for (const auto& child : item->children())
            if (child->type() == kData && child->data())
                parts += TagValues::valuesOf(child->data()->stringValue());
        values.setText(f.field, TagValues::joinedValues(parts));
    }
    return values;
}

QString M4AFile::readGenre() {
    if (Atom* gnre = item(kGnre)) {
        const int index = gnre->ushortArrayValue(0);
        if (index >= 1 && index <= genres().size()) return genres().at(index - 1);
    }
    Atom* gen = item(kGen);
    return gen ? gen->stringValue() : QString();
}

QByteArray M4AFile::readImage() const {
    Atom* a = item(kCovr);
    const auto* value = a ? static_cast<const DataAtom*>(a->data()) : nullptr;
    if (!value) return {};
    return value->contentsInFile() ? fAtomParser->readInFile(*value) : value->image();
}

bool M4AFile::readHasImage() const {
    Atom* a = item(kCovr);
    const auto* value = a ? static_cast<const DataAtom*>(a->data()) : nullptr;
    return value && value->contentsSize() > 0;
}

qint64 M4AFile::storedImageSize() const {
    Atom* a = item(kCovr);
    const auto* value = a ? static_cast<const DataAtom*>(a->data()) : nullptr;
    return value ? qint64(value->contentsSize()) : -1;
}

std::optional<bool> M4AFile::storedImageEquals(const QByteArray& bytes) const {
    Atom* a = item(kCovr);
    const auto* value = a ? static_cast<const DataAtom*>(a->data()) : nullptr;
    if (!value || !value->contentsInFile()) return std::nullopt;
    return fAtomParser->inFileHolds(*value, bytes);
}

bool M4AFile::movieTimes(double& timeScale, double& duration) const {
    Atom* moov = fAtomParser ? fAtomParser->find(kMoov) : nullptr;
    Atom* mvhd = moov ? moov->findChild(kMvhd) : nullptr;
    if (!mvhd) return false;
    const QByteArray& p = mvhd->contents();
    if (p.size() >= 32 && p[0] == 1) { // version 1: 64-bit times
        timeScale = qFromBigEndian<uint32_t>(p.constData() + 20);
        duration = double(qFromBigEndian<uint64_t>(p.constData() + 24));
    } else if (p.size() >= 20) {
        timeScale = qFromBigEndian<uint32_t>(p.constData() + 12);
        duration = qFromBigEndian<uint32_t>(p.constData() + 16);
    } else {
        return false;
    }
    return timeScale > 0;
}

bool M4AFile::mediaDataSize(uint64_t& size) const {
    if (!fAtomParser) return false;
    for (auto& a : fAtomParser->atoms())
        if (a->type() == kMdat) {
            size = a->dataLen();
            return true;
        }
    return false;
}

uint32_t M4AFile::readDuration() {
    double timeScale = 0, duration = 0;
    uint64_t mdat = 0;
    if (!movieTimes(timeScale, duration) || !mediaDataSize(mdat)) return 0;
    return uint32_t(std::min((duration + timeScale * 0.5) / timeScale, 4294967295.0));
}

int32_t M4AFile::readBitrate() {
    double timeScale = 0, duration = 0;
    uint64_t mdat = 0;
    if (!movieTimes(timeScale, duration) || !mediaDataSize(mdat) || duration <= 0) return 0;
    const double kbits = double(mdat) * 8.0 / (duration / timeScale) * (1.0 / 1024.0) + 0.5;
    return int32_t(std::min(kbits, 2147483647.0));
}

void M4AFile::writeTagValues(const TagValues& values, TagFields fields) {
    for (const TextItem& t : kTextItems)
        if (fields.testFlag(t.field) && t.field != TagField::Year)
            setText(t.type, values.text(t.field));
    if (fields.testFlag(TagField::Year)) writeYear(values.year);
    if (fields.testFlag(TagField::Genre)) writeGenre(values.genre);
    for (const PairItem& p : kPairItems)
        if (fields.testAnyFlags(p.number | p.count))
            writePair(p.type, values.text(p.number), values.text(p.count));
    for (const FreeformItem& f : kFreeformItems)
        if (fields.testFlag(f.field)) setFreeform(f.name, values.text(f.field));
}

void M4AFile::writeYear(const QString& s) {
    // A full date of that same year stays: the year is all the program edits.
    Atom* day = item(kDay);
    if (!s.isEmpty() && day && day->data() && YearText(day->stringValue()) == s) return;
    setText(kDay, s);
}

void M4AFile::writeGenre(const QString& name) {
    Atom* gnre = item(kGnre);
    Atom* gen = item(kGen);
    if (name.isEmpty()) {
        if (gnre) gnre->markForDeletion();
        if (gen) gen->markForDeletion();
        return;
    }
    const int index = int(genres().indexOf(name)) + 1;
    if (index == 0) {
        if (gen && gen->data()) {
            gen->setStringValue(name);
            // A standard genre left beside it would be read first.
            if (gnre) gnre->markForDeletion();
            return;
        }
        if (gen) gen->markForDeletion();
        if (gnre) gnre->markForDeletion();
        addItem(DataAtom::newItem(kGen, name));
        return;
    }
    if (gnre && gnre->data()) {
        gnre->setUShortArrayValue(0, uint16_t(index));
        return;
    }
    if (gnre) gnre->markForDeletion();
    if (gen) gen->markForDeletion();
    const uint16_t value = uint16_t(index);
    addItem(DataAtom::newItem(kGnre, &value, 1));
}

void M4AFile::writePair(uint32_t type, const QString& number, const QString& count) {
    Atom* pair = item(type);
    if (number.isEmpty() && count.isEmpty()) {
        if (pair) pair->markForDeletion();
        return;
    }
    const uint16_t n = clampU16(IntValue(number));
    const uint16_t m = clampU16(IntValue(count));
    if (pair && pair->data()) {
        pair->setUShortArrayValue(1, n);
        pair->setUShortArrayValue(2, m);
        return;
    }
    if (pair) pair->markForDeletion();
    const uint16_t values[4] = {0, n, m, 0};
    addItem(DataAtom::newItem(type, values, 4));
}

void M4AFile::writeImageData(const QByteArray& bytes, const QByteArray& format) {
    Atom* covr = item(kCovr);
    if (bytes.isEmpty()) {
        if (covr) covr->markForDeletion();
        return;
    }
    // The item's type word names JPEG or PNG; anything else becomes a PNG.
    QByteArray stored = bytes;
    uint32_t typeWord = DataAtom::kJpeg;
    if (format != "jpeg") {
        typeWord = DataAtom::kPng;
        if (format != "png") {
            const Picture image = Pictures::fromData(bytes);
            stored = image.isNull() ? QByteArray() : Pictures::encode(image, "png", -1);
            if (stored.isEmpty()) {
                TROVIX_LOG() << "Could not store the cover of" << fPath << "as PNG";
                return;
            }
        }
    }
    if (covr && covr->data()) {
        covr->setImage(stored, typeWord);
        return;
    }
    if (covr) covr->markForDeletion();
    addItem(DataAtom::newImageItem(kCovr, stored, typeWord));
}
