#pragma once

#include "media/Atom.h"

// The payload of a "data" atom, its only child: a type word (0 binary,
// 1 UTF-8 text, 13 JPEG, 14 PNG, ...), a locale word and the value. The
// type word lives in fType and the value in fContents.
class DataAtom : public Atom {
public:
    enum : uint32_t { kBinary = 0, kUtf8 = 1, kJpeg = 13, kPng = 14 };

    // From a payload of at least 8 bytes.
    DataAtom(const uint8_t* payload, uint64_t length, int level);
    // A value left in the file at `valueAt` (`length` bytes from the payload's
    // 8-byte head, which `head` holds): a folder's pictures are not held in
    // memory (see Atom::contentsInFile). Its bytes are read when asked for,
    // and lent to it by a save.
    DataAtom(const uint8_t* head, uint64_t length, int level, uint64_t valueAt);
    DataAtom(uint32_t typeWord, const QByteArray& value);

    static std::shared_ptr<DataAtom> newDataAtomWithString(const QString& text);
    static std::shared_ptr<DataAtom> newDataAtomWithUShorts(const uint16_t* values, int count);
    static std::shared_ptr<DataAtom> newDataAtomWithUChars(const uint8_t* bytes, int count);
    // An item ("©nam", "covr", ...) holding a "data" atom holding the value.
    static Ptr newItem(uint32_t itemType, const QString& text);
    static Ptr newItem(uint32_t itemType, const uint16_t* values, int count);
    // An item holding a picture; the type word says its format (13 JPEG, 14 PNG).
    static Ptr newImageItem(uint32_t itemType, const QByteArray& bytes, uint32_t typeWord);

    uint32_t typeWord() const { return fType; }
    uint32_t lang() const { return fLang; }
    bool modified() const { return fModified; }
    const QByteArray& value() const { return fContents; }

    bool holdsValue() const override { return true; }
    QString stringValue() const override;
    void setStringValue(const QString& text) override;
    // The big-endian 16-bit value at that index; 0 past the end.
    int ushortArrayValue(int index) const override;
    void setUShortArrayValue(int index, uint16_t value) override;
    QByteArray image() const override { return fContents; }
    void setImage(const QByteArray& bytes, uint32_t typeWord) override;

    uint64_t dataSize() const override { return contentsSize(); }
    uint64_t atomSize() const override { return dataSize() + 8; }
    uint64_t minDataSize() const override { return dataSize(); }
    uint64_t minAtomSize() const override { return fMarkedForDeletion ? 0 : atomSize(); }
    bool dumpAtom(QByteArray& out, const Atom* carrier, uint64_t padding) const override;
    QString headline() const override {
        return QStringLiteral("value of type %1, %2 bytes").arg(typeWord()).arg(atomSize());
    }

private:
    Ptr copyAlone() const override { return Ptr(new DataAtom(*this)); }
    static Ptr itemHolding(std::shared_ptr<DataAtom> value, uint32_t itemType);

    uint32_t fLang = 0;
    bool fModified = false;
};
