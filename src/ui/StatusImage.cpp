#include "ui/StatusImage.h"

#include "docs/FileTagDocument.h"
#include "ui/StatusIcons.h"

#include <QPainter>

StatusImage::StatusImage(FileTagDocument* doc, QWidget* parent) : QWidget(parent), fDoc(doc) {
    setObjectName(QStringLiteral("statusImage"));
    setFixedSize(sizeHint());
}

QSize StatusImage::sizeHint() const { return {5 * StatusIcons::kSize + 4, StatusIcons::kSize + 2}; }

void StatusImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::array<StatusIcons::Color, 5> colors;
    colors.fill(StatusIcons::Gray);
    // Nothing to compare before the file was read.
    if (fDoc->song()) colors = StatusIcons::colorsOf(fDoc->fileStatus());
    StatusIcons::paintRow(&painter, rect().adjusted(2, 0, 0, 0), colors);
}
