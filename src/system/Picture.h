#pragma once

#include <QMetaType>
#include <QSize>

#include <memory>

// A decoded picture as the core holds it: its size and an opaque handle on
// its pixels, which only the picture codec (system/PictureCodec.h) reads.
// The core never links the image library itself; a null picture is one
// that did not decode, or could not for want of the codec. Cheap to copy:
// copies share the pixels, which never change.
class Picture {
public:
    Picture() = default;
    Picture(std::shared_ptr<const void> pixels, QSize size)
        : fPixels(std::move(pixels)), fSize(fPixels ? size : QSize()) {}

    bool isNull() const { return !fPixels; }
    QSize size() const { return fSize; }
    int width() const { return fSize.width(); }
    int height() const { return fSize.height(); }
    const std::shared_ptr<const void>& pixels() const { return fPixels; }
    // The same pixels, not merely equal ones: what a QVariant holding a
    // picture compares.
    bool operator==(const Picture&) const = default;

private:
    std::shared_ptr<const void> fPixels;
    QSize fSize;
};

Q_DECLARE_METATYPE(Picture)
