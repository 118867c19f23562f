#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <utility>
#include <vector>

// Every user setting lives in the per-user store (QSettings, organisation and
// application "Trovix") and is read by key at the moment of use: there is no
// cached settings object, so a change made anywhere is seen at the next read.
namespace Prefs {

inline constexpr const char* kSmartCapitalization = "SmartCapitalization";
inline constexpr const char* kBackup = "Backup";
inline constexpr const char* kMaxEntriesToFetch = "MaxEntriesToFetch";
inline constexpr const char* kOmitChars = "OmitChars";
inline constexpr const char* kTagVersion = "TagVersion";
inline constexpr const char* kTitleTagFormat = "TitleTagFormat";
inline constexpr const char* kVARenameTitles = "VA-RenameTitles";
inline constexpr const char* kVATitleTagFormat = "VA-TitleTagFormat";
inline constexpr const char* kSFRenameTitles = "SF-RenameTitles";
inline constexpr const char* kSFTitleTagFormat = "SF-TitleTagFormat";
inline constexpr const char* kRenameAlbums = "RenameAlbums";
inline constexpr const char* kAlbumFolderNameFormat = "AlbumFolderNameFormat";
inline constexpr const char* kVARenameAlbums = "VA-RenameAlbums";
inline constexpr const char* kVAAlbumFolderNameFormat = "VA-AlbumFolderNameFormat";
inline constexpr const char* kRenameTracks = "RenameTracks";
inline constexpr const char* kTrackFileNameFormat = "TrackFileNameFormat";
inline constexpr const char* kVARenameTracks = "VA-RenameTracks";
inline constexpr const char* kVATrackFileNameFormat = "VA-TrackFileNameFormat";
inline constexpr const char* kSFRenameTracks = "SF-RenameTracks";
inline constexpr const char* kSFTrackFileNameFormat = "SF-TrackFileNameFormat";
inline constexpr const char* kSearchForCoverArt = "SearchForCoverArt";
inline constexpr const char* kSaveCoverToFile = "SaveCoverToFile";
inline constexpr const char* kEmbedCoverInTags = "EmbedCoverInTags";
inline constexpr const char* kCoverFileName = "CoverFileName";
inline constexpr const char* kResizeCover = "ResizeCover";
inline constexpr const char* kResizePixels = "ResizePixels";
inline constexpr const char* kResizeOption = "ResizeOption";
inline constexpr const char* kLastVersionCheck = "LastVersionCheck";
inline constexpr const char* kNeverCheck = "NeverCheck";
inline constexpr const char* kCoverSaveMethod = "CoverSaveMethod";
inline constexpr const char* kMainWindowPos = "MainWindowPos";
// Debug copies of web requests and pages (the command line's --verbose does
// the same for one run).
inline constexpr const char* kWriteDebugFiles = "WriteDebugFiles";
// The seconds one look-up may take in all, searches, details and covers;
// 0 or less means the default.
inline constexpr const char* kLookupTimeLimit = "LookupTimeLimit";

// Where the browser look-ups and the home page live (scheme and host); tests
// point them at a loopback server. Each music source registers its own keys
// (MusicSource::preferences, through addDefaults): they are in this table too.
inline constexpr const char* kHomePageURL = "HomePageURL";
inline constexpr const char* kVersionsURL = "VersionsURL";

// Runs once at start-up before any document opens: migrates the legacy
// "CoverSaveMethod" and registers the defaults.
void initializeDefaults();

// Defaults a floor above brings (the sites' own keys), after the program's
// own; a key added twice keeps its first default.
void addDefaults(const std::vector<std::pair<QString, QVariant>>& table);

// The registered default of a key (invalid when the key has none).
QVariant defaultValue(const QString& key);
// Every key that has a registered default, in table order.
QStringList allKeys();

QVariant value(const QString& key);
bool boolValue(const QString& key);
int intValue(const QString& key);
QString stringValue(const QString& key);

// Stores a value in the user's store.
void setValue(const QString& key, const QVariant& value);
// A value for this process only, never stored (the command line's --set).
void setOverride(const QString& key, const QVariant& value);
void clearOverrides();

// The two integer keys whose stored 0 means "the default".
int maxEntriesToFetch();
int resizePixels();

// Tells every open document that settings changed ("Prefs Changed").
void postPrefsChanged();

} // namespace Prefs

// The process-wide object that carries the "Prefs Changed" broadcast.
class PrefsNotifier : public QObject {
    Q_OBJECT
public:
    static PrefsNotifier* instance();
signals:
    void prefsChanged();
};
