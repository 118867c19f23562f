#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// One page of an Ogg stream: its header fields, lacing values and body.
struct OggPage {
    static constexpr quint8 kContinued = 0x01;
    static constexpr quint8 kFirst = 0x02;
    static constexpr quint8 kLast = 0x04;
    // The largest header packets (pictures included) the program handles.
    static constexpr qsizetype kMaxPacket = 64 << 20;

    quint8 flags = 0;
    uint64_t granule = 0;
    quint32 serial = 0;
    quint32 sequence = 0;
    QByteArray lacing;
    QByteArray body;
    quint32 crc = 0; // the checksum as read; render() computes its own

    enum class Read { Ok, End, Damaged };
    // The page at `offset` of a file of `size` bytes; End exactly at the end
    // of the file, Damaged when the page is cut short, has no capture
    // pattern or its checksum does not match. *length gets its size.
    static Read readAt(int fd, uint64_t offset, uint64_t size, OggPage* page, uint64_t* length);
    // With the checksum computed.
    QByteArray render() const;

    // Pages for packets that follow one another, each starting on a new
    // page and the last ending its page: lacing values at most 255 a page.
    static std::vector<OggPage> paginate(const std::vector<QByteArray>& packets, quint32 serial,
                                         quint32 firstSequence, quint8 firstFlags);

    static quint32 checksum(const char* data, qsizetype size);
    // The checksum of data following bytes whose checksum is `crc`.
    static quint32 checksum(quint32 crc, const char* data, qsizetype size);
};
