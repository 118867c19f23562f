#include "docs/FileTagSnapshot.h"

bool FileTagSnapshot::sameEdits(const FileTagSnapshot& other) const {
    if (song != other.song) return false;
    if (record && other.record &&
        (record->getNewTitle() != other.record->getNewTitle() ||
         record->hasNewTitle() != other.record->hasNewTitle() ||
         record->getNewArtist() != other.record->getNewArtist()))
        return false;
    return fields == other.fields;
}
