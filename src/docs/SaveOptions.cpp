#include "docs/SaveOptions.h"

#include "app/Preferences.h"
#include "app/PrefsOptions.h"

SaveOptions SaveOptions::fromPrefs() {
    SaveOptions o;
    o.tagVersion = Prefs::intValue(Prefs::kTagVersion);
    o.renameTracks = Prefs::boolValue(Prefs::kRenameTracks);
    o.renameFolder = Prefs::boolValue(Prefs::kRenameAlbums);
    o.backup = Prefs::boolValue(Prefs::kBackup);
    o.naming = Prefs::namingOptions();
    o.cover = Prefs::coverOptions();
    o.homePage = Prefs::stringValue(Prefs::kHomePageURL);
    return o;
}
