// Feeds arbitrary bytes to the atom parser as a file, and saves whatever it
// accepts after changing a few tags: neither step may crash, and a save
// must leave a file the parser accepts again.
#include "media/AtomParser.h"
#include "media/M4AFile.h"
#include "save/SaveBatch.h"
#include "system/Picture.h"

#include "ScratchFolder.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path = scratchFolder() + QStringLiteral("/input.m4a");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    if (auto file = M4AFile::newM4AFileWithPath(path)) {
        TagValues tags{.title = QStringLiteral("Fuzzed title"),
                       .genre = size % 2 ? QStringLiteral("Rock") : QStringLiteral("Not a genre")};
        tags.setTrack(int(size % 30), 30);
        file->setTags(tags,
                      TagField::Title | TagField::Genre | TagField::Track | TagField::TrackCount);
        if (size % 3 == 0) file->tagImage(Picture());
        if (SaveBatch::saveOne(*file).ok() && !AtomParser::newAtomParser(path).parser) std::abort();
    }
    return 0;
}
