// Feeds arbitrary bytes to the FLAC and Ogg readers as a file ("OggS" at the
// start makes it an Ogg file, anything else a FLAC file) and saves whatever
// they accept after changing a few tags: neither step may crash, and a save
// must leave a file the readers accept again. The same bytes go to the
// Vorbis comment parser, whose output must parse back to itself.
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "media/VorbisComment.h"
#include "save/SaveBatch.h"
#include "system/Picture.h"

#include "ScratchFolder.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    VorbisComment comment;
    if (comment.parse(bytes)) {
        VorbisComment again;
        if (!again.parse(comment.render()) || again.render() != comment.render()) std::abort();
    }

    const bool ogg = bytes.startsWith("OggS");
    const QString path =
        scratchFolder() + (ogg ? QStringLiteral("/input.ogg") : QStringLiteral("/input.flac"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(bytes);
    }
    if (auto file = MusicFileFactory::newMusicFileWithPath(path)) {
        TagValues tags{.title = QStringLiteral("Fuzzed title")};
        tags.setTrack(int(size % 30), 30);
        file->setTags(tags, TagField::Title | TagField::Track | TagField::TrackCount);
        if (size % 3 == 0) file->tagImage(Picture());
        if (size % 5 == 0)
            file->setTags({.album = QString(int(size % 4000), u'a')}, TagField::Album);
        if (SaveBatch::saveOne(*file).ok() && !MusicFileFactory::newMusicFileWithPath(path))
            std::abort();
    }
    return 0;
}
