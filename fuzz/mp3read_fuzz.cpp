// Feeds arbitrary bytes to the MP3 reader as a file, read both ways: the
// fast reader (our own frame walk and audio figures) and TagLib's whole
// read. Neither may crash or read out of bounds, and where both open the
// file, the record and the cover must be the same.
#include "media/MP3File.h"

#include "ScratchFolder.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

namespace {

QStringList record(MP3File& f) {
    f.getAllInterestingTags();
    auto shown = [](const QString& s) { return s.isNull() ? QStringLiteral("(null)") : s + u'.'; };
    const TagValues& tags = f.readTags();
    const auto& custom = tags.custom;
    return {shown(tags.title),
            shown(tags.artist),
            shown(tags.album),
            shown(tags.year),
            shown(tags.genre),
            shown(tags.longTrack()),
            custom ? custom->customTagToString() : QStringLiteral("(none)"),
            QString::number(f.hasImage()),
            QString::fromLatin1(f.getImageData().toHex()),
            QString::number(f.getBitrate()),
            QString::number(f.getDurationSecs())};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path = scratchFolder() + QStringLiteral("/input.mp3");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    auto fast = MP3File::newMP3FileWithPath(path, MP3File::Reading::Fast);
    auto whole = MP3File::newMP3FileWithPath(path, MP3File::Reading::Whole);
    if (!fast != !whole) std::abort();
    if (fast && record(*fast) != record(*whole)) std::abort();
    // Reading the whole tag after a fast opening gives the same frames.
    if (fast && fast->readNumFrames() != whole->readNumFrames()) std::abort();
    return 0;
}
