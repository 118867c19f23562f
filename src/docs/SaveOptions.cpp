#include "docs/SaveOptions.h"

#include "app/Preferences.h"

SaveOptions SaveOptions::fromPrefs() {
    SaveOptions o;
    o.tagVersion = Prefs::intValue(Prefs::kTagVersion);
    o.renameTracks = Prefs::boolValue(Prefs::kRenameTracks);
    o.renameFolder = Prefs::boolValue(Prefs::kRenameAlbums);
    o.backup = Prefs::boolValue(Prefs::kBackup);
    o.embedCover = Prefs::boolValue(Prefs::kEmbedCoverInTags);
    o.saveCoverToFile = Prefs::boolValue(Prefs::kSaveCoverToFile);
    o.coverFileName = Prefs::stringValue(Prefs::kCoverFileName);
    return o;
}
