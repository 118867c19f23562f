#pragma once

#include "ui/HitsTableView.h"

class FileTagDocument;
class SongHitsModel;

// The song hits table of a single-file window: a click on a row, or a key
// that moves the selection, fills the fields from that hit; a header click
// sorts the hits. The "status" column shows what choosing the hit would
// change in the file.
class TrackHitsTableView : public HitsTableView {
    Q_OBJECT
public:
    explicit TrackHitsTableView(FileTagDocument* doc, QWidget* parent = nullptr);

    SongHitsModel* hitsModel() const { return fModel; }

private:
    TrackHitsTableView(FileTagDocument* doc, SongHitsModel* model, QWidget* parent);
    SongHitsModel* fModel;
};
