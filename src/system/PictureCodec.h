#pragma once

#include "system/Picture.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Everything done with a picture's pixels: decoding, scaling, encoding.
// Implemented over Qt's image classes in src/pictures, apart from the core,
// whose programs then need not map Qt Gui and the thirty libraries behind
// it at every start: the desktop program, the tests and the benches link
// it and install it; the command line opens it as a module on first use.
// Every operation is safe to call from any thread.
class PictureCodec {
public:
    virtual ~PictureCodec() = default;

    // Bytes as a file or tag stores them, the format guessed from them,
    // as they are (no turn, the resolution they state). Null when they do
    // not decode.
    virtual Picture fromData(const QByteArray& bytes) const = 0;
    // Stored bytes decoded with a bound on the memory a hostile picture can
    // make the reader allocate, turned as the picture says and at one pixel
    // per unit. `format` (may be empty) names the reader to try first; the
    // format read lands in *readFormat when given.
    virtual Picture decode(const QByteArray& bytes, const QByteArray& format,
                           QByteArray* readFormat = nullptr) const = 0;
    // The same for an image file.
    virtual Picture decodeFile(const QString& path) const = 0;
    // Whether the file is a picture the codec reads, and its size once
    // turned: from the header when it states it, else from the pixels.
    virtual bool probeFile(const QString& path, QSize* size) const = 0;
    // The size the header of stored bytes states; invalid when it does not.
    virtual QSize headerSize(const QByteArray& bytes, const QByteArray& format) const = 0;
    // One pixel per unit, whatever resolution or device ratio it states.
    virtual Picture normalized(const Picture& picture) const = 0;
    // Resampled by area averaging to `size`; null when it cannot be made.
    virtual Picture scaled(const Picture& picture, QSize size) const = 0;
    // The picture encoded as `format` ("jpeg", "png", ...) at `quality`
    // (-1: the writer's default). Empty, with why in *error, on failure.
    virtual QByteArray encode(const Picture& picture, const QByteArray& format, int quality,
                              QString* error) const = 0;
    // The file-name extensions of the formats it reads, lower case.
    virtual QList<QByteArray> readableFormats() const = 0;
};

namespace PictureCodecs {

// The process's codec: the one installed, else the module opened on the
// first call. Null when there is none, with why in *why.
const PictureCodec* get(QString* why = nullptr);
// A program that links the codec hands it over before any picture is used.
void install(const PictureCodec* codec);

// Opens the module at `path` and takes its codec; null with why in *why
// when it cannot be opened or is not one. Never closed again.
const PictureCodec* openModule(const QString& path, QString* why);

// The name the module's entry point is exported under, a function taking
// nothing and returning the codec.
inline constexpr const char* kEntryPoint = "trovix_picture_codec";
// The module's file name.
inline constexpr const char* kModuleName = "trovix_pictures.so";

} // namespace PictureCodecs

// The codec's operations for the core, each answering as for a picture that
// does not decode when there is no codec: null pictures, invalid sizes, no
// bytes (with the reason in *error), no formats.
namespace Pictures {

Picture fromData(const QByteArray& bytes);
Picture decode(const QByteArray& bytes, const QByteArray& format, QByteArray* readFormat = nullptr);
Picture decodeFile(const QString& path);
bool probeFile(const QString& path, QSize* size);
QSize headerSize(const QByteArray& bytes, const QByteArray& format);
Picture normalized(const Picture& picture);
Picture scaled(const Picture& picture, QSize size);
QByteArray encode(const Picture& picture, const QByteArray& format, int quality,
                  QString* error = nullptr);
QList<QByteArray> readableFormats();
// Why a picture did not decode, for the log: the missing codec when there is
// none, else `otherwise`.
QString whyNotDecoded(const QString& otherwise);

} // namespace Pictures
