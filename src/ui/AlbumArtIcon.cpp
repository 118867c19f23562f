#include "ui/AlbumArtIcon.h"

#include "art/CoverScaling.h"
#include "pictures/QtPictureCodec.h"

#include <QDragEnterEvent>
#include <QFutureWatcher>
#include <QMimeData>
#include <QPainter>
#include <QPromise>
#include <QThreadPool>
#include <QUrl>

#include <memory>

AlbumArtIcon::AlbumArtIcon(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
    setMinimumSize(64, 64);
    setToolTip(QStringLiteral("(No image)"));
}

void AlbumArtIcon::setPicture(const QImage& picture, const QString& toolTip) {
    fPicture = picture;
    if (!toolTip.isNull()) setToolTip(toolTip);
    update();
}

void AlbumArtIcon::showCandidate(const std::optional<AlbumArtDict>& candidate) {
    const quint64 request = ++fRequest;
    const QString toolTip = toolTipForCandidate(candidate ? &*candidate : nullptr);
    if (!candidate || !candidate->hasImage() ||
        candidate->dict().contains(AlbumArtDict::kImageKey)) {
        setPicture(candidate ? QtPictureCodec::toImage(candidate->image()) : QImage(), toolTip);
        return;
    }
    auto promise = std::make_shared<QPromise<QImage>>();
    auto* watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, request, toolTip] {
        if (request == fRequest) setPicture(watcher->result(), toolTip);
        watcher->deleteLater();
    });
    watcher->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, copy = *candidate] {
        promise->addResult(QtPictureCodec::toImage(copy.image()));
        promise->finish();
    });
}

bool AlbumArtIcon::acceptsDrag(const QMimeData* data) {
    return data && (data->hasImage() || data->hasUrls());
}

void AlbumArtIcon::dragEnterEvent(QDragEnterEvent* event) {
    if (!acceptsDrag(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setHighlight(true);
}

void AlbumArtIcon::dragLeaveEvent(QDragLeaveEvent*) { setHighlight(false); }

void AlbumArtIcon::dropEvent(QDropEvent* event) {
    setHighlight(false);
    const QMimeData* data = event->mimeData();
    if (data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull()) {
            event->acceptProposedAction();
            emit imageDropped(image);
            return;
        }
    }
    // Only the first file counts; a web address alone is refused.
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        event->acceptProposedAction();
        emit fileDropped(url.toLocalFile());
        return;
    }
    event->ignore();
}

void AlbumArtIcon::setHighlight(bool on) {
    if (fHighlight == on) return;
    fHighlight = on;
    update();
}

QRect AlbumArtIcon::drawnArea() const {
    const QRect area = rect().adjusted(3, 3, -3, -3);
    if (fPicture.isNull()) return area;
    QSize size = fPicture.size();
    size.scale(area.size(), Qt::KeepAspectRatio);
    QRect drawn(QPoint(0, 0), size);
    drawn.moveCenter(area.center());
    return drawn;
}

void AlbumArtIcon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect area = drawnArea();
    if (fPicture.isNull()) {
        p.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DashLine));
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    } else {
        p.drawImage(area, fPicture);
    }
    if (fHighlight) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 5));
        p.setBrush(Qt::NoBrush);
        p.drawRect(area.adjusted(2, 2, -3, -3));
    }
}
