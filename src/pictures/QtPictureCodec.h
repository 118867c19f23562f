#pragma once

#include "system/PictureCodec.h"

#include <QImage>

// The picture codec over QImage, QImageReader and QImageWriter. Programs
// that link Qt Gui anyway (the desktop program, tests, benches) install it
// at start; the command line opens it as a module (PictureModule.cpp).
class QtPictureCodec final : public PictureCodec {
public:
    static const QtPictureCodec& instance();

    // Between the core's pictures and Qt's, for code that draws or makes
    // them. Only pictures this codec made hold a QImage.
    static Picture fromImage(const QImage& image);
    static QImage toImage(const Picture& picture);

    Picture fromData(const QByteArray& bytes) const override;
    Picture decode(const QByteArray& bytes, const QByteArray& format,
                   QByteArray* readFormat) const override;
    Picture decodeFile(const QString& path) const override;
    bool probeFile(const QString& path, QSize* size) const override;
    QSize headerSize(const QByteArray& bytes, const QByteArray& format) const override;
    Picture normalized(const Picture& picture) const override;
    Picture scaled(const Picture& picture, QSize size) const override;
    QByteArray encode(const Picture& picture, const QByteArray& format, int quality,
                      QString* error) const override;
    QList<QByteArray> readableFormats() const override;
};
