#include "ui/DropIcon.h"

#include "ui/TrovixController.h"

#include <QDragEnterEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

DropIcon::DropIcon(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    setToolTip(tr("Drop an album folder or a music file here"));
}

QStringList DropIcon::existingPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (QFileInfo::exists(path)) paths.append(path);
    }
    return paths;
}

void DropIcon::dragEnterEvent(QDragEnterEvent* event) {
    if (existingPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setHighlight(true);
}

void DropIcon::dragMoveEvent(QDragMoveEvent* event) {
    if (fHighlight) event->acceptProposedAction();
}

void DropIcon::dragLeaveEvent(QDragLeaveEvent*) { setHighlight(false); }

void DropIcon::dropEvent(QDropEvent* event) {
    setHighlight(false);
    const QStringList paths = existingPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    // Alt stands for the Option key of other desktops.
    const bool cleanUp = event->modifiers() & Qt::AltModifier;
    event->acceptProposedAction();
    for (const QString& path : paths) TrovixController::instance()->openDropped(path, cleanUp);
    if (QWidget* w = window()) {
        w->raise();
        w->activateWindow();
    }
}

void DropIcon::setHighlight(bool on) {
    if (fHighlight == on) return;
    fHighlight = on;
    update();
}

void DropIcon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(12, 12, -12, -12);
    QPainterPath frame;
    frame.addRoundedRect(area, 14, 14);
    p.fillPath(frame, fHighlight ? QColor(0xd6, 0xe6, 0xfb) : palette().color(QPalette::Base));
    QPen pen(fHighlight ? QColor(0x2f, 0x6f, 0xd0) : QColor(0x99, 0x99, 0x99), fHighlight ? 4 : 2,
             Qt::DashLine);
    p.setPen(pen);
    p.drawPath(frame);

    // A simple album: a disc with a label.
    const QPointF c = area.center() - QPointF(0, 14);
    const double r = qMin(area.width(), area.height()) * 0.25;
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.5));
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawEllipse(c, r, r);
    p.setBrush(QColor(0xe0, 0x8a, 0x2c));
    p.drawEllipse(c, r * 0.38, r * 0.38);
    p.setBrush(palette().color(QPalette::Base));
    p.drawEllipse(c, r * 0.08, r * 0.08);

    p.setPen(palette().color(QPalette::Text));
    p.drawText(QRectF(area.left(), c.y() + r + 6, area.width(), 24), Qt::AlignCenter,
               tr("Drop album folders here"));
}
