#pragma once

#include "model/AlbumDetails.h"
#include "model/RecordArray.h"

// One details record per disc of a box set, in disc order.
class AlbumDetailsArray : public RecordArray<AlbumDetails> {
public:
    // The box set as one album: a copy of the first disc with the titles of
    // every further disc appended in order; null for an empty list.
    AlbumDetailsPtr joinedDiscs() const;

protected:
    const char* className() const override { return "AlbumDetailsArray"; }
};
