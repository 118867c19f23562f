#include "system/PictureCodec.h"

#include "system/DynamicSymbols.h"
#include "system/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <atomic>

#include <dlfcn.h>

namespace {

std::atomic<const PictureCodec*> gInstalled{nullptr};

struct Loaded {
    const PictureCodec* codec = nullptr;
    QString error; // null when the codec is usable
};

// Beside the program (the build tree and an installed tree alike), then in
// the build tree and under the install prefix this program was built for.
QStringList moduleCandidates() {
    const QString name = QString::fromLatin1(PictureCodecs::kModuleName);
    QStringList paths;
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    if (!program.isEmpty()) paths << QFileInfo(program).absolutePath() + u'/' + name;
#ifdef TROVIX_BUILD_MODULE_DIR
    paths << QStringLiteral(TROVIX_BUILD_MODULE_DIR "/") + name;
#endif
#ifdef TROVIX_INSTALL_MODULE_DIR
    paths << QStringLiteral(TROVIX_INSTALL_MODULE_DIR "/") + name;
#endif
    return paths;
}

Loaded load() {
    Loaded loaded;
    QStringList tried;
    for (const QString& path : moduleCandidates()) {
        if (!QFileInfo::exists(path)) {
            tried << path;
            continue;
        }
        QString why;
        loaded.codec = PictureCodecs::openModule(path, &why);
        if (loaded.codec) return loaded;
        loaded.error = why;
        return loaded;
    }
    loaded.error =
        QStringLiteral("pictures cannot be read or written: %1 is in none of %2")
            .arg(QString::fromLatin1(PictureCodecs::kModuleName), tried.join(QStringLiteral(", ")));
    return loaded;
}

} // namespace

namespace PictureCodecs {

const PictureCodec* get(QString* why) {
    if (const PictureCodec* codec = gInstalled.load(std::memory_order_acquire)) return codec;
    static const Loaded loaded = [] {
        Loaded result = load();
        if (!result.error.isNull()) TROVIX_LOG() << result.error;
        return result;
    }();
    if (!loaded.codec && why) *why = loaded.error;
    return loaded.codec;
}

void install(const PictureCodec* codec) {
    gInstalled.store(codec, std::memory_order_release);
}

const PictureCodec* openModule(const QString& path, QString* why) {
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        if (why)
            *why = QStringLiteral("pictures cannot be read or written: %1")
                       .arg(QString::fromLocal8Bit(error ? error : "unknown error"));
        return nullptr;
    }
    const PictureCodec* (*entry)() = nullptr;
    const PictureCodec* codec =
        DynamicSymbols::resolve(handle, kEntryPoint, entry) ? entry() : nullptr;
    // An unusable module stays open: harmless, and never retried.
    if (!codec && why)
        *why = QStringLiteral("pictures cannot be read or written: %1 is not a picture codec")
                   .arg(path);
    return codec;
}

} // namespace PictureCodecs

namespace Pictures {

Picture fromData(const QByteArray& bytes) {
    const PictureCodec* codec = PictureCodecs::get();
    return codec ? codec->fromData(bytes) : Picture();
}

Picture decode(const QByteArray& bytes, const QByteArray& format, QByteArray* readFormat) {
    const PictureCodec* codec = PictureCodecs::get();
    return codec ? codec->decode(bytes, format, readFormat) : Picture();
}

Picture decodeFile(const QString& path) {
    const PictureCodec* codec = PictureCodecs::get();
    return codec ? codec->decodeFile(path) : Picture();
}

bool probeFile(const QString& path, QSize* size) {
    const PictureCodec* codec = PictureCodecs::get();
    return codec && codec->probeFile(path, size);
}

QSize headerSize(const QByteArray& bytes, const QByteArray& format) {
    const PictureCodec* codec = PictureCodecs::get();
    return codec ? codec->headerSize(bytes, format) : QSize();
}

Picture normalized(const Picture& picture) {
    const PictureCodec* codec = PictureCodecs::get();
    return codec && !picture.isNull() ? codec->normalized(picture) : picture;
}

Picture scaled(const Picture& picture, QSize size) {
    const PictureCodec* codec = PictureCodecs::get();
    return codec ? codec->scaled(picture, size) : Picture();
}

QByteArray encode(const Picture& picture, const QByteArray& format, int quality, QString* error) {
    QString why;
    const PictureCodec* codec = PictureCodecs::get(&why);
    if (!codec) {
        if (error) *error = why;
        return {};
    }
    return codec->encode(picture, format, quality, error);
}

QList<QByteArray> readableFormats() {
    const PictureCodec* codec = PictureCodecs::get();
    return codec ? codec->readableFormats() : QList<QByteArray>();
}

QString whyNotDecoded(const QString& otherwise) {
    QString noCodec;
    PictureCodecs::get(&noCodec);
    return noCodec.isNull() ? otherwise : noCodec;
}

} // namespace Pictures
