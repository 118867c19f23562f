#include "media/DataAtom.h"

#include <QtEndian>

#include <cstring>

DataAtom::DataAtom(const uint8_t* payload, uint64_t length, int level)
    : Atom(qFromBigEndian<uint32_t>(payload)) {
    fLevel = level;
    fHasOriginal = true;
    fLang = qFromBigEndian<uint32_t>(payload + 4);
    fContents = QByteArray(reinterpret_cast<const char*>(payload + 8), qsizetype(length - 8));
}

DataAtom::DataAtom(const uint8_t* head, uint64_t length, int level, uint64_t valueAt)
    : Atom(qFromBigEndian<uint32_t>(head)) {
    fLevel = level;
    fHasOriginal = true;
    fLang = qFromBigEndian<uint32_t>(head + 4);
    fContentsInFile = true;
    fContentsAt = valueAt;
    fContentsLength = length - 8;
}

DataAtom::DataAtom(uint32_t typeWord, const QByteArray& value) : Atom(typeWord) {
    fContents = value;
}

std::shared_ptr<DataAtom> DataAtom::newDataAtomWithString(const QString& text) {
    return std::make_shared<DataAtom>(kUtf8, text.toUtf8());
}

std::shared_ptr<DataAtom> DataAtom::newDataAtomWithUShorts(const uint16_t* values, int count) {
    QByteArray bytes(qsizetype(count) * 2, '\0');
    for (int i = 0; i < count; ++i)
        qToBigEndian(values[i], reinterpret_cast<uchar*>(bytes.data() + 2 * i));
    return std::make_shared<DataAtom>(kBinary, bytes);
}

std::shared_ptr<DataAtom> DataAtom::newDataAtomWithUChars(const uint8_t* bytes, int count) {
    return std::make_shared<DataAtom>(kBinary,
                                      QByteArray(reinterpret_cast<const char*>(bytes), count));
}

QString DataAtom::stringValue() const {
    // Up to the first NUL, as a terminated C string would read.
    const qsizetype len = qsizetype(qstrnlen(fContents.constData(), size_t(fContents.size())));
    return QString::fromUtf8(fContents.constData(), len);
}

void DataAtom::setStringValue(const QString& text) {
    setContents(text.toUtf8());
    fModified = true;
}

int DataAtom::ushortArrayValue(int index) const {
    if (index < 0 || qsizetype(index) * 2 + 2 > fContents.size()) return 0;
    return qFromBigEndian<uint16_t>(fContents.constData() + 2 * index);
}

void DataAtom::setUShortArrayValue(int index, uint16_t value) {
    if (index < 0 || fContentsInFile) return;
    const qsizetype need = (qsizetype(index) + 1) * 2;
    if (fContents.size() < need) fContents.append(need - fContents.size(), '\0');
    qToBigEndian(value, reinterpret_cast<uchar*>(fContents.data() + 2 * index));
    fModified = true;
}

void DataAtom::setImage(const QByteArray& bytes, uint32_t typeWord) {
    setContents(bytes);
    fType = typeWord;
    fModified = true;
}

bool DataAtom::dumpAtom(QByteArray& out, const Atom*, uint64_t) const {
    if (fMarkedForDeletion) return true;
    if (fContentsInFile) return false; // its bytes were never read: nothing is written
    uchar words[8];
    qToBigEndian(fType, words);
    qToBigEndian(fLang, words + 4);
    out.append(reinterpret_cast<const char*>(words), 8);
    out.append(fContents);
    return true;
}

Atom::Ptr DataAtom::itemHolding(std::shared_ptr<DataAtom> value, uint32_t itemType) {
    auto data = std::make_shared<Atom>(AtomTypes::kData);
    data->addChild(std::move(value));
    auto item = std::make_shared<Atom>(itemType);
    item->addChild(std::move(data));
    return item;
}

Atom::Ptr DataAtom::newItem(uint32_t itemType, const QString& text) {
    return itemHolding(newDataAtomWithString(text), itemType);
}

Atom::Ptr DataAtom::newItem(uint32_t itemType, const uint16_t* values, int count) {
    return itemHolding(newDataAtomWithUShorts(values, count), itemType);
}

Atom::Ptr DataAtom::newImageItem(uint32_t itemType, const QByteArray& bytes, uint32_t typeWord) {
    return itemHolding(std::make_shared<DataAtom>(typeWord, bytes), itemType);
}
