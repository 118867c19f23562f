#include "media/Mp3Audio.h"

#include "media/AudioFigures.h"
#include "media/FileStretch.h"

#include <QByteArray>

#include <taglib/tbytevector.h>
#include <taglib/xingheader.h>

#include <algorithm>

namespace {

// Layer III bit rates (MPEG-1; MPEG-2 and 2.5) and sample rates (MPEG-1, 2, 2.5).
constexpr int kBitrates[2][16] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
constexpr int kSampleRates[3][4] = {
    {44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}, {11025, 12000, 8000, 0}};

// A stretch of the file read once; what lies outside it is read from the
// file, clipped at its end, so answers never depend on the stretch.
class ReadWindow {
public:
    ReadWindow(const FileStretch& file, int64_t at, int64_t n)
        : fSize(int64_t(file.size())),
          fStretch(file, uint64_t(std::max<int64_t>(at, 0)),
                   size_t(std::max<int64_t>(0, n + std::min<int64_t>(at, 0)))) {}

    QByteArray bytes(int64_t at, int64_t n) const {
        if (at < 0 || at >= fSize || n <= 0) return {};
        return fStretch.bytes(uint64_t(at), uint64_t(std::min(n, fSize - at)));
    }
    // Mp3Layout::frameAt, from the stretch where it holds both headers.
    bool frameAt(int64_t at) const {
        const QByteArray h = bytes(at, 4);
        if (h.size() < 4) return false;
        const int64_t length = Mp3Layout::frameLength(reinterpret_cast<const uint8_t*>(h.data()));
        if (length < 0) return false;
        const QByteArray next = bytes(at + length, 4);
        return next.size() == 4 &&
               Mp3Layout::sameStream(reinterpret_cast<const uint8_t*>(h.data()),
                                     reinterpret_cast<const uint8_t*>(next.data()));
    }

private:
    int64_t fSize;
    FileStretch fStretch;
};

// TagLib's search for the last frame: backwards from `position`, the first
// frame sync whose header is valid and followed by another like it.
int64_t lastFrameBefore(const ReadWindow& window, int64_t position) {
    constexpr int64_t kBlock = 4096;
    uint8_t later = 0; // the byte after the one looked at
    while (position > 0) {
        const int64_t n = std::min(position, kBlock);
        position -= n;
        const QByteArray block = window.bytes(position, n);
        if (block.size() != n) return -1;
        for (qsizetype i = block.size() - 1; i >= 0; --i) {
            const uint8_t b = uint8_t(block[i]);
            if (Mp3Layout::frameSync(b, later) && window.frameAt(position + i)) return position + i;
            later = b;
        }
    }
    return -1;
}

// The length of the Layer III frame whose header this is; -1 when it is
// none (no sync, a reserved field, another layer).
int64_t layer3FrameLength(const QByteArray& h) {
    if (h.size() < 4 || !Mp3Layout::frameSync(uint8_t(h[0]), uint8_t(h[1]))) return -1;
    const int versionBits = (uint8_t(h[1]) >> 3) & 0x03;
    if (versionBits == 1 || ((uint8_t(h[1]) >> 1) & 0x03) != 1) return -1;
    const bool mpeg1 = versionBits == 3;
    const int version = mpeg1 ? 0 : versionBits == 2 ? 1 : 2;
    const int bitrate = kBitrates[mpeg1 ? 0 : 1][(uint8_t(h[2]) >> 4) & 0x0F];
    const int sampleRate = kSampleRates[version][(uint8_t(h[2]) >> 2) & 0x03];
    if (bitrate == 0 || sampleRate == 0) return -1;
    return int64_t(mpeg1 ? 1152 : 576) * bitrate * 125 / sampleRate +
           ((uint8_t(h[2]) & 0x02) ? 1 : 0);
}

} // namespace

std::optional<Mp3Audio> Mp3Audio::read(const FileStretch& file, const Mp3Layout& layout) {
    const int64_t size = layout.size;
    Mp3Audio audio;
    audio.firstFrame = layout.tagEnd();
    // Two reads serve nearly every file: the first frames and the end.
    const ReadWindow head(file, audio.firstFrame, 4096);
    if (!head.frameAt(audio.firstFrame)) return std::nullopt;
    const int64_t end = layout.v1At >= 0 ? layout.v1At : size;
    const int64_t searchFrom = layout.v1At >= 0 ? layout.v1At - 1 : size;
    const ReadWindow tail(file, searchFrom - 4096, 8192);
    // TagLib starts its search for the last frame before an APEv2 tag too;
    // files with one are left to it.
    if (tail.bytes(end - 32, 8) == "APETAGEX") return std::nullopt;

    const QByteArray h = head.bytes(audio.firstFrame, 4);
    const int64_t frameLength = layer3FrameLength(h);
    if (frameLength < 0) return std::nullopt; // Layer III only
    const int versionBits = (uint8_t(h[1]) >> 3) & 0x03;
    const bool mpeg1 = versionBits == 3;
    const int bitrate = kBitrates[mpeg1 ? 0 : 1][(uint8_t(h[2]) >> 4) & 0x0F];
    const int version = mpeg1 ? 0 : versionBits == 2 ? 1 : 2;
    const int sampleRate = kSampleRates[version][(uint8_t(h[2]) >> 2) & 0x03];
    const int samples = mpeg1 ? 1152 : 576;

    const QByteArray frame = head.bytes(audio.firstFrame, std::max<int64_t>(frameLength, 40));
    if (frame.size() >= 40) {
        const bool mono = ((uint8_t(h[3]) >> 6) & 0x3) == 0x3;
        const qsizetype xingAt = mpeg1 ? (mono ? 21 : 36) : (mono ? 13 : 21);
        audio.vbr = frame.mid(xingAt, 4) == "Xing" || frame.mid(36, 4) == "VBRI";
    }
    const QByteArray first = frame.left(qsizetype(frameLength));
    const TagLib::MPEG::XingHeader xing(
        TagLib::ByteVector(first.constData(), unsigned(first.size())));
    if (xing.isValid()) {
        const double length = samples * 1000.0 / sampleRate * xing.totalFrames();
        audio.lengthMs = roundedAudioFigure(length);
        audio.bitrate = roundedAudioFigure(xing.totalSize() * 8.0 / length);
        return audio;
    }
    audio.bitrate = bitrate;
    // TagLib takes the frame after the last one it finds followed by a
    // frame like it (whose header it then reads without that check) for the
    // last frame.
    const int64_t found = lastFrameBefore(tail, searchFrom);
    if (found < 0) return audio;
    const int64_t foundLength = layer3FrameLength(tail.bytes(found, 4));
    if (foundLength < 0) return std::nullopt;
    const int64_t last = found + foundLength;
    const int64_t lastLength = std::max<int64_t>(0, layer3FrameLength(tail.bytes(last, 4)));
    const int64_t streamLength = last - audio.firstFrame + lastLength;
    if (streamLength > 0) audio.lengthMs = roundedAudioFigure(double(streamLength) * 8.0 / bitrate);
    return audio;
}
