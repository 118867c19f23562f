#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

// Pictures of one colour, for the cover and picture-tag tests.

QImage picture(int width, int height, QColor colour = Qt::darkCyan);

// The image saved as PNG.
QByteArray pngBytes(const QImage& image);

// An 8 by 8 picture of that colour saved as PNG.
QByteArray pngBytes(QColor colour);
