#pragma once

#include <QTableView>

class TrovixDocument;

// The album hits table: a click on a row, or a key that moves the selection,
// applies that hit at once; a header click sorts the hits.
class AlbumHitsTableView : public QTableView {
    Q_OBJECT
public:
    explicit AlbumHitsTableView(TrovixDocument* doc, QWidget* parent = nullptr);

    // Mirrors the document's hits and selected row.
    void reloadHits();
    int selectedRow() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TrovixDocument* fDoc;
    class HitsModel* fModel;
};
