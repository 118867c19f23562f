#include "ui/DropIcon.h"

#include "ui/AppCommands.h"

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
    for (const QString& path : paths)
        AppCommands::instance()->openDropped(path, cleanUp);
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
    // Painted as vectors in the palette's colours: sharp at any scale, and
    // as readable on a dark desktop as on a light one.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QColor base = pal.color(QPalette::Base);
    const QColor text = pal.color(QPalette::Text);
    const QColor highlight = pal.color(QPalette::Highlight);
    const QRectF area = QRectF(rect()).adjusted(12, 12, -12, -12);
    QPainterPath frame;
    frame.addRoundedRect(area, 14, 14);
    QColor tint = highlight;
    tint.setAlphaF(0.18f);
    p.fillPath(frame, base);
    if (fHighlight) p.fillPath(frame, tint);
    QColor edge = fHighlight ? highlight : text;
    if (!fHighlight) edge.setAlphaF(0.45f);
    p.setPen(QPen(edge, fHighlight ? 4 : 2, Qt::DashLine));
    p.drawPath(frame);

    // A simple album: a disc in the text colour with a label in the
    // highlight colour.
    const QPointF c = area.center() - QPointF(0, 14);
    const double r = qMin(area.width(), area.height()) * 0.25;
    QColor disc = text;
    disc.setAlphaF(0.8f);
    p.setPen(QPen(text, 1.5));
    p.setBrush(disc);
    p.drawEllipse(c, r, r);
    p.setBrush(highlight);
    p.drawEllipse(c, r * 0.38, r * 0.38);
    p.setBrush(base);
    p.drawEllipse(c, r * 0.08, r * 0.08);

    p.setPen(text);
    p.drawText(QRectF(area.left(), c.y() + r + 6, area.width(), 24), Qt::AlignCenter,
               tr("Drop album folders here"));
}
