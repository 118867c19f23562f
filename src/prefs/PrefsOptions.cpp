#include "prefs/PrefsOptions.h"

#include "app/Preferences.h"
#include "model/AlbumInfoArray.h"
#include "web/WebLimits.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"

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
    o.files = boolValue(kRenameTracks);
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

SourceOptions sourceOptions() {
    SourceOptions options;
    for (const MusicSource* source : MusicSources::all())
        for (const MusicSource::Preference& pref : source->preferences())
            options.values.insert(pref.key, value(pref.key));
    // A negative setting means the default, as the hit list reads it; sent
    // as it is, it would ask a site for "limit=-3".
    const int maxEntries = maxEntriesToFetch();
    options.maxEntries = maxEntries > 0 ? maxEntries : AlbumInfoArray::kDefaultMaxEntries;
    options.searchCovers = boolValue(QString::fromLatin1(kSearchForCoverArt));
    const int timeLimit = intValue(QString::fromLatin1(kLookupTimeLimit));
    options.lookupTimeLimitSecs = timeLimit > 0 ? timeLimit : WebLimits::kDefaultLookupSecs;
    options.homePage = stringValue(QString::fromLatin1(kHomePageURL));
    return options;
}

} // namespace Prefs
