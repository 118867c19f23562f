#pragma once

#include "system/Picture.h"

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QString>

// What a save does with the shown cover, decided on the main thread when the
// save starts: the bytes to embed for each picture format the files take,
// and the cover file beside the music. A value: the worker applies it to its
// own file objects without asking the cover-art object or the preferences.
class CoverToStore {
public:
    // Nothing shown: the tags keep whatever picture they hold.
    bool isEmpty() const { return !fEmbed && fFilePath.isNull(); }

    void setEmbedded(const QByteArray& fileFormat, const QByteArray& bytes,
                     const QByteArray& format);
    // The cover file at `path`: `jpeg` stored as it is when not empty, else
    // `image` encoded as a JPEG.
    void setFile(const QString& path, const QByteArray& jpeg, const Picture& image);

    // Writes the cover file when there is one and it does not already hold
    // the picture; false when it could not be written.
    bool writeFile() const;
    bool hasFile() const { return !fFilePath.isNull(); }

    // Changes the tags of one file (a MusicFile or a record) in memory:
    // embeds the picture unless the file holds exactly these bytes; with the
    // cover file written and embedding off, the embedded picture goes.
    template <typename File>
    void applyTo(File& file, const QByteArray& fileFormat, bool fileWritten) const {
        if (fEmbed) {
            const auto it = fEmbedded.constFind(fileFormat);
            if (it != fEmbedded.constEnd() && !it->first.isEmpty() &&
                !file.holdsImageData(it->first))
                file.tagImageData(it->first, it->second);
        } else if (fileWritten) {
            file.tagImage(Picture());
        }
    }

private:
    bool fEmbed = false;
    // file's own picture format -> (bytes, their format)
    QHash<QByteArray, QPair<QByteArray, QByteArray>> fEmbedded;
    QString fFilePath;
    QByteArray fFileJpeg;
    Picture fFileImage;
};
