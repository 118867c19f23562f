#include "model/NamingOptions.h"

#include "model/AudioTrack.h"

QString NamingOptions::templateFor(int which) const {
    const bool various = which & AudioTrack::kVariousArtists;
    const bool single = which & AudioTrack::kSingleFile;
    switch (which & AudioTrack::kKindMask) {
    case AudioTrack::kFolderName:
        return various && vaFolders ? folderVA : folder;
    case AudioTrack::kFileName:
        return various && vaFiles ? fileVA : single && sfFiles ? fileSF : file;
    case 2:
    case AudioTrack::kTitleTag:
        return various && vaTitles ? titleVA : single && sfTitles ? titleSF : title;
    default:
        return QString();
    }
}
