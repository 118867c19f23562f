#include "media/MusicFileFactory.h"

#include "media/FlacFile.h"
#include "media/M4AFile.h"
#include "media/MP3File.h"
#include "media/OggFile.h"

#include <QFileInfo>

namespace {

using Opener = std::shared_ptr<MusicFile> (*)(const QString&);

std::shared_ptr<MusicFile> openMP3(const QString& path) {
    return MP3File::newMP3FileWithPath(path);
}
std::shared_ptr<MusicFile> openMPEG4(const QString& path) {
    return M4AFile::newM4AFileWithPath(path);
}
std::shared_ptr<MusicFile> openFLAC(const QString& path) {
    return FlacFile::newFlacFileWithPath(path);
}
// Vorbis, Opus or Ogg FLAC, told apart by the stream's first packet.
std::shared_ptr<MusicFile> openOgg(const QString& path) {
    return OggFile::newOggFileWithPath(path);
}

// The reader of each kind of MusicExtensions.h: audio books and ".mp4"
// audio hold the same atoms as ".m4a".
struct Kind {
    const char16_t* extension;
    Opener open;
};
constexpr Kind kKinds[] = {
    {u"mp3", openMP3},   {u"m4a", openMPEG4}, {u"m4p", openMPEG4},
    {u"m4b", openMPEG4}, {u"mp4", openMPEG4}, {u"flac", openFLAC},
    {u"ogg", openOgg},   {u"oga", openOgg},   {u"opus", openOgg},
};

const Kind* kindOf(const QString& path) {
    if (!MusicFile::isMusicFileName(path)) return nullptr;
    const QString ext = QFileInfo(path).suffix();
    for (const Kind& kind : kKinds)
        if (ext.compare(QStringView(kind.extension), Qt::CaseInsensitive) == 0) return &kind;
    return nullptr;
}

} // namespace

std::shared_ptr<MusicFile> MusicFileFactory::newMusicFileWithPath(const QString& path) {
    const Kind* kind = kindOf(path);
    std::shared_ptr<MusicFile> file = kind ? kind->open(path) : nullptr;
    if (file) file->getAllInterestingTags();
    return file;
}
