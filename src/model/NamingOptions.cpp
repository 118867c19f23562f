#include "model/NamingOptions.h"

QString NamingOptions::templateFor(int which) const {
    const bool various = which & kVariousArtists;
    const bool single = which & kSingleFile;
    switch (which & kKindMask) {
    case kFolderName:
        return various && vaFolders ? folderVA : folder;
    case kFileName:
        return various && vaFiles ? fileVA : single && sfFiles ? fileSF : file;
    case 2:
    case kTitleTag:
        return various && vaTitles ? titleVA : single && sfTitles ? titleSF : title;
    default:
        return QString();
    }
}
