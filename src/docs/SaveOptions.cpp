#include "docs/SaveOptions.h"

#include "app/Preferences.h"
#include "art/CoverToStore.h"
#include "media/MusicFile.h"
#include "prefs/PrefsOptions.h"

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

SaveRequest SaveOptions::request(SaveRequest::Scope scope, const QString& folder) const {
    SaveRequest r;
    r.scope = scope;
    r.folder = folder;
    r.backup = backup;
    r.tagVersion = tagVersion;
    r.homePage = homePage;
    r.renameTracks = renameTracks;
    r.renameFolder = renameFolder;
    return r;
}

void SaveOptions::setCover(SaveRequest& request, const CoverToStore& cover) {
    request.writeCoverFile = nullptr;
    request.applyCover = nullptr;
    if (cover.isEmpty()) return;
    const auto shared = std::make_shared<const CoverToStore>(cover);
    if (cover.hasFile()) request.writeCoverFile = [shared] { return shared->writeFile(); };
    request.applyCover = [shared](MusicFile& file, const QByteArray& format, bool fileWritten) {
        shared->applyTo(file, format, fileWritten);
    };
}
