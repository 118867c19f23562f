#pragma once

#include "ui/HitsTableView.h"

class TrovixDocument;

// The album hits table: a click on a row, or a key that moves the selection,
// applies that hit at once; a header click sorts the hits.
class AlbumHitsTableView : public HitsTableView {
    Q_OBJECT
public:
    explicit AlbumHitsTableView(TrovixDocument* doc, QWidget* parent = nullptr);
};
