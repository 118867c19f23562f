#include "prefs/PrefsOptions.h"

#include "app/Preferences.h"

namespace Prefs {

NamingOptions namingOptions() {
    NamingOptions o;
    o.folder = stringValue(kAlbumFolderNameFormat);
    o.folderVA = stringValue(kVAAlbumFolderNameFormat);
    o.file = stringValue(kTrackFileNameFormat);
    o.fileVA = stringValue(kVATrackFileNameFormat);
    o.fileSF = stringValue(kSFTrackFileNameFormat);
    o.title = stringValue(kTitleTagFormat);
    o.titleVA = stringValue(kVATitleTagFormat);
    o.titleSF = stringValue(kSFTitleTagFormat);
    o.vaFolders = boolValue(kVARenameAlbums);
    o.vaFiles = boolValue(kVARenameTracks);
    o.sfFiles = boolValue(kSFRenameTracks);
    o.vaTitles = boolValue(kVARenameTitles);
    o.sfTitles = boolValue(kSFRenameTitles);
    o.omitChars = stringValue(kOmitChars);
    return o;
}

CoverOptions coverOptions() {
    CoverOptions o;
    o.search = boolValue(kSearchForCoverArt);
    o.embed = boolValue(kEmbedCoverInTags);
    o.saveToFile = boolValue(kSaveCoverToFile);
    o.fileName = stringValue(kCoverFileName);
    o.resize = boolValue(kResizeCover);
    o.resizePixels = resizePixels();
    o.resizeOption = intValue(kResizeOption);
    return o;
}

bool smartCapitalization() {
    return boolValue(kSmartCapitalization);
}

} // namespace Prefs
