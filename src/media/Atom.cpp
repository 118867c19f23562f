#include "media/Atom.h"

#include "media/BigEndian.h"

#include <QtEndian>

using namespace AtomTypes;

namespace {

void putBe32(QByteArray& out, qsizetype at, uint32_t v) {
    qToBigEndian(v, reinterpret_cast<uchar*>(out.data() + at));
}

void putBe64(QByteArray& out, qsizetype at, uint64_t v) {
    qToBigEndian(v, reinterpret_cast<uchar*>(out.data() + at));
}

} // namespace

QString fourcc(uint32_t type) {
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint8_t c = uint8_t(type >> shift);
        s += (c >= 0x20 && c < 0x7F) || c == 0xA9 ? QChar(c) : QChar(u'?');
    }
    return s;
}

Atom::Atom(uint32_t type) : fType(type) {}

Atom::Ptr Atom::deepCopy() const {
    Ptr copy = copyAlone();
    for (Ptr& child : copy->fChildren)
        child = child->deepCopy();
    return copy;
}

QString Atom::typeName() const {
    return fourcc(fType);
}

void Atom::addChild(Ptr child) {
    struct Leveller {
        static void set(Atom& a, int level) {
            a.fLevel = level;
            for (auto& c : a.fChildren)
                set(*c, level + 1);
        }
    };
    Leveller::set(*child, fLevel + 1);
    fChildren.push_back(std::move(child));
}

Atom* Atom::find(uint32_t type) {
    if (fMarkedForDeletion) return nullptr;
    if (fType == type) return this;
    for (auto& c : fChildren)
        if (Atom* hit = c->find(type)) return hit;
    return nullptr;
}

Atom* Atom::findChild(uint32_t type) const {
    for (auto& c : fChildren)
        if (!c->fMarkedForDeletion && c->fType == type) return c.get();
    return nullptr;
}

Atom* Atom::data() const {
    if (fType == kData) {
        for (auto& c : fChildren)
            if (c->holdsValue()) return c.get();
        return nullptr;
    }
    const Atom* dataAtom = findChild(kData);
    return dataAtom ? dataAtom->data() : nullptr;
}

QString Atom::stringValue() const {
    const Atom* d = data();
    return d ? d->stringValue() : QString();
}

int Atom::ushortArrayValue(int index) const {
    const Atom* d = data();
    return d ? d->ushortArrayValue(index) : 0;
}

QByteArray Atom::image() const {
    const Atom* d = data();
    return d ? d->image() : QByteArray();
}

void Atom::setStringValue(const QString& text) {
    if (Atom* d = data()) d->setStringValue(text);
}

void Atom::setUShortArrayValue(int index, uint16_t value) {
    if (Atom* d = data()) d->setUShortArrayValue(index, value);
}

void Atom::setImage(const QByteArray& bytes, uint32_t typeWord) {
    if (Atom* d = data()) d->setImage(bytes, typeWord);
}

uint64_t Atom::dataSize() const {
    if (fOpaque) return fDataLen;
    uint64_t size = contentsSize();
    for (auto& c : fChildren)
        if (!c->fMarkedForDeletion) size += c->atomSize();
    return size;
}

uint64_t Atom::atomSize() const {
    return dataSize() + uint64_t(headerLen());
}

uint64_t Atom::minDataSize() const {
    if (fOpaque) return fDataLen;
    uint64_t size = contentsSize();
    for (auto& c : fChildren)
        size += c->minAtomSize();
    return size;
}

uint64_t Atom::minAtomSize() const {
    if (fMarkedForDeletion || isPadding()) return 0;
    return minDataSize() + uint64_t(headerLen());
}

bool Atom::dumpAtom(QByteArray& out, const Atom* carrier, uint64_t padding) const {
    if (fMarkedForDeletion) return true;
    if (isPadding()) {
        if (this != carrier || padding == 0) return true;
        if (padding < 8 || padding > 0xFFFFFFFFu) return false;
        appendBe32(out, uint32_t(padding));
        appendBe32(out, kFree);
        out.append(qsizetype(padding - 8), '\0');
        return true;
    }
    if (fOpaque || fContentsInFile) return false;
    const qsizetype start = out.size();
    out.append(headerLen(), '\0');
    putBe32(out, start + 4, fType);
    out.append(fContents);
    for (auto& c : fChildren)
        if (!c->dumpAtom(out, carrier, padding)) return false;
    const uint64_t written = uint64_t(out.size() - start);
    if (fLargeHeader) {
        putBe32(out, start, 1);
        putBe64(out, start + 8, written);
    } else {
        if (written > 0xFFFFFFFFu) return false;
        putBe32(out, start, uint32_t(written));
    }
    return true;
}

QByteArray Atom::buildModifiedAtom(uint64_t size, const Atom* carrier) const {
    const uint64_t minSize = minAtomSize();
    if (size < minSize) return {};
    const uint64_t padding = size - minSize;
    if (padding != 0 && (!carrier || padding < 8)) return {};
    QByteArray out;
    out.reserve(qsizetype(size));
    if (!dumpAtom(out, carrier, padding) || uint64_t(out.size()) != size) return {};
    return out;
}

QString Atom::headline() const {
    return QStringLiteral("'%1' %2 bytes").arg(typeName()).arg(atomSize());
}

void Atom::print(int indent, QString& out) const {
    out += QStringLiteral(". ").repeated(indent);
    out += headline();
    if (fMarkedForDeletion) out += QStringLiteral(" (deleted)");
    if (!fHasOriginal) out += QStringLiteral(" (new)");
    out += u'\n';
    for (auto& c : fChildren)
        c->print(indent + 1, out);
}
