#include "ui/StatusImage.h"

#include "docs/FileTagDocument.h"
#include "ui/StatusIcons.h"

#include <QPainter>

StatusImage::StatusImage(FileTagDocument* doc, QWidget* parent) : QWidget(parent), fDoc(doc) {
    setObjectName(QStringLiteral("statusImage"));
    setFixedSize(sizeHint());
}

QSize StatusImage::sizeHint() const {
    return {5 * StatusIcons::kSize + 4, StatusIcons::kSize + 2};
}

void StatusImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::array<StatusIcons::Color, 5> colors;
    colors.fill(StatusIcons::Gray);
    // Nothing to compare before the file was read.
    if (fDoc->song()) colors = StatusIcons::colorsOf(fDoc->fileStatus());
    // The letters in words, for screen readers and as the tool tip.
    const QString words = StatusIcons::accessibleText(colors);
    if (toolTip() != words) {
        setToolTip(words);
        setAccessibleDescription(words);
    }
    StatusIcons::paintRow(&painter, rect().adjusted(2, 0, 0, 0), colors, palette());
}
