#pragma once

#include <QTableView>

class FileTagDocument;
class SongHitsModel;

// The song hits table of a single-file window: a click on a row, or a key
// that moves the selection, fills the fields from that hit; a header click
// sorts the hits. The "status" column shows what choosing the hit would
// change in the file.
class TrackHitsTableView : public QTableView {
    Q_OBJECT
public:
    explicit TrackHitsTableView(FileTagDocument* doc, QWidget* parent = nullptr);

    // Mirrors the document's hits and selected row.
    void reloadHits();
    int selectedRow() const;
    SongHitsModel* hitsModel() const { return fModel; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    FileTagDocument* fDoc;
    SongHitsModel* fModel;
};
