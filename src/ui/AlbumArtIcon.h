#pragma once

#include "art/AlbumArtDict.h"

#include <QImage>
#include <QWidget>

#include <optional>

class QMimeData;

// A cover-art picture view, in the document window and in the cover-art
// panel. Accepts pictures and picture files dragged onto it (a web address
// highlights but is refused on drop), frames itself in grey while a usable
// drag hovers, and tells what was dropped through its signals.
class AlbumArtIcon : public QWidget {
    Q_OBJECT
public:
    explicit AlbumArtIcon(QWidget* parent = nullptr);

    // Shows a picture (null: none). A null tool tip keeps the current one.
    void setPicture(const QImage& picture, const QString& toolTip);
    // Shows a cover-art candidate (none: no picture). One whose pixels are
    // not in memory yet (an image file) is decoded on a pool thread, so the
    // window never waits for a big photo; a later call supersedes it.
    void showCandidate(const std::optional<AlbumArtDict>& candidate);
    QImage picture() const { return fPicture; }
    bool highlighted() const { return fHighlight; }
    // Where the picture is drawn: scaled to fit, centred.
    QRect drawnArea() const;

    QSize sizeHint() const override { return {160, 160}; }

    // Whether a drag offers anything the view takes: a picture, file names
    // or a web address.
    static bool acceptsDrag(const QMimeData* data);

signals:
    // A picture, or the first of the dropped files.
    void imageDropped(const QImage& image);
    void fileDropped(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setHighlight(bool on);

    QImage fPicture;
    bool fHighlight = false;
    quint64 fRequest = 0; // the latest showCandidate
};
