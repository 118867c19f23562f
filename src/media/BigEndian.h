#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cstdint>

// Numbers as MPEG-4 atoms and ID3v2 frame headers store them, most
// significant byte first. Reads take the bytes as there: callers check the
// length first.
inline uint32_t be32(const void* p) {
    return qFromBigEndian<uint32_t>(p);
}
inline uint64_t be64(const void* p) {
    return qFromBigEndian<uint64_t>(p);
}
inline uint32_t be32(const QByteArray& bytes, qsizetype at) {
    return be32(bytes.constData() + at);
}
inline void appendBe32(QByteArray& out, uint32_t v) {
    uchar b[4];
    qToBigEndian(v, b);
    out.append(reinterpret_cast<const char*>(b), 4);
}
