#include "docs/SaveOptions.h"

#include "app/Preferences.h"
#include "prefs/PrefsOptions.h"
#include "media/MP3File.h"

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

std::shared_ptr<MusicFile> SaveOptions::openTagged(const QString& path, const struct stat* opened,
                                                   const TagValues& tags, TagFields fields) const {
    std::shared_ptr<MusicFile> music = MusicFile::newMusicFileWithPath(path);
    if (!music) return nullptr;
    if (opened) music->takeOpenedState(*opened);
    if (auto* mp3 = dynamic_cast<MP3File*>(music.get())) {
        mp3->setTagVersion(tagVersion);
        mp3->setHomePage(homePage);
    }
    music->setTags(tags, fields);
    return music;
}
