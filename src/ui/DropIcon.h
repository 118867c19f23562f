#pragma once

#include <QWidget>

// The drop window's target: accepts dragged files and folders when at least
// one of them exists, highlights itself while such a drag hovers, and opens
// each existing item on drop (Alt held: clean-up-only mode).
class DropIcon : public QWidget {
    Q_OBJECT
public:
    explicit DropIcon(QWidget* parent = nullptr);

    bool highlighted() const { return fHighlight; }
    QSize sizeHint() const override { return {220, 180}; }

    // The local files named by a drag that exist.
    static QStringList existingPaths(const class QMimeData* data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setHighlight(bool on);

    bool fHighlight = false;
};
