#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

// One page of an Ogg stream: its header fields, lacing values and body.
struct OggPage {
    static constexpr quint8 kContinued = 0x01;
    static constexpr quint8 kFirst = 0x02;
    static constexpr quint8 kLast = 0x04;
    static constexpr qsizetype kHeaderSize = 27; // before the lacing values
    // The largest header packets (pictures included) the program handles.
    static constexpr qsizetype kMaxPacket = 64 << 20;

    quint8 flags = 0;
    uint64_t granule = 0;
    quint32 serial = 0;
    quint32 sequence = 0;
    QByteArray lacing;
    QByteArray body;
    quint32 crc = 0; // the checksum as read; appendTo() computes its own

    enum class Read { Ok, End, Damaged };

    // Reads the pages of a file of `size` bytes through a buffer that grows
    // as they are read one after another, so that a page costs no system
    // call of its own, and a file's few header pages no large read.
    class Reader {
    public:
        Reader(int fd, uint64_t size) : fFd(fd), fSize(size) {}
        // The page at `offset`; End exactly at the end of the file, Damaged
        // when the page is cut short, has no capture pattern or its checksum
        // does not match. *length gets its size.
        Read readAt(uint64_t offset, OggPage* page, uint64_t* length);

    private:
        bool bytesAt(char* data, size_t length, uint64_t offset);

        int fFd;
        uint64_t fSize;
        uint64_t fAt = 0; // where fBuffer's bytes lie in the file
        QByteArray fBuffer;
    };
    // Appends the page to `out`, with the checksum computed.
    void appendTo(QByteArray& out) const;
    qsizetype renderedSize() const { return kHeaderSize + lacing.size() + body.size(); }

    // Pages for packets that follow one another, each starting on a new
    // page and the last ending its page: lacing values at most 255 a page.
    static std::vector<OggPage> paginate(const std::vector<QByteArray>& packets, quint32 serial,
                                         quint32 firstSequence, quint8 firstFlags);

    static quint32 checksum(const char* data, qsizetype size);
    // The checksum of data following bytes whose checksum is `crc`.
    static quint32 checksum(quint32 crc, const char* data, qsizetype size);
};
