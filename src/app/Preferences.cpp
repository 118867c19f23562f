#include "app/Preferences.h"

#include <QMutex>
#include <QMutexLocker>
#include <QSettings>

#include <algorithm>
#include <utility>
#include <vector>

namespace Prefs {
namespace {

struct Registry {
    QMutex lock;
    std::vector<std::pair<QString, QVariant>> defaults;
    std::vector<std::pair<QString, QVariant>> added; // by addDefaults, kept across a reset
    QVariantMap overrides;
    bool registered = false;
};

Registry& registry() {
    static Registry r;
    return r;
}

std::vector<std::pair<QString, QVariant>> defaultTable() {
    const QVariant yes = QStringLiteral("YES");
    const QVariant no = QStringLiteral("NO");
    std::vector<std::pair<QString, QVariant>> table{
        {kSmartCapitalization, yes},
        {kBackup, no},
        {kMaxEntriesToFetch, 10},
        {kOmitChars, QStringLiteral("*?:/\\&")},
        {kTagVersion, 3},
        {kTitleTagFormat, QStringLiteral("%T")},
        {kVARenameTitles, no},
        {kVATitleTagFormat, QStringLiteral("%A-%T")},
        {kSFRenameTitles, no},
        {kSFTitleTagFormat, QStringLiteral("%A-%T")},
        {kRenameAlbums, yes},
        {kAlbumFolderNameFormat, QStringLiteral("%A-%Y-%T%b%I")},
        {kVARenameAlbums, no},
        {kVAAlbumFolderNameFormat, QStringLiteral("%Y-%T%b%I")},
        {kRenameTracks, yes},
        {kTrackFileNameFormat, QStringLiteral("%N-%T")},
        {kVARenameTracks, yes},
        {kVATrackFileNameFormat, QStringLiteral("%N-%A-%T")},
        {kSFRenameTracks, yes},
        {kSFTrackFileNameFormat, QStringLiteral("%A-%T")},
        {kSearchForCoverArt, yes},
        {kSaveCoverToFile, no},
        {kEmbedCoverInTags, yes},
        {kCoverFileName, QStringLiteral("Cover Art")},
        {kResizeCover, no},
        {kResizePixels, 160},
        {kResizeOption, 0},
        {kHomePageURL, QStringLiteral("https://trovix.app")},
        {kVersionsURL, QStringLiteral("https://trovix.app/versions.txt")},
        {kWriteDebugFiles, no},
        {kLookupTimeLimit, 60}, // WebLimits::kDefaultLookupSecs, kept by the web folder
    };
    return table;
}

// One store object per thread: building a QSettings per read costs tens of
// microseconds, and a table redraw reads settings for every row. Objects on
// the same file share their data within the process, so every thread sees a
// change at once.
QSettings& store() {
    thread_local QSettings settings(QStringLiteral("Trovix"), QStringLiteral("Trovix"));
    return settings;
}

void ensureRegistered() {
    Registry& r = registry();
    QMutexLocker locker(&r.lock);
    if (!r.registered) {
        r.defaults = defaultTable();
        r.defaults.insert(r.defaults.end(), r.added.begin(), r.added.end());
        r.registered = true;
    }
}

// Whether `text` is `word` (lower-case ASCII) in any case. Only ASCII
// letters lower-case to these words' letters, so this is toLower()'s answer
// without the copies: documents read some settings per track.
bool isWord(QStringView text, QLatin1StringView word) {
    if (text.size() != word.size()) return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if ((c >= u'A' && c <= u'Z' ? c + 32 : c) != char16_t(word[i].unicode())) return false;
    }
    return true;
}

bool toBool(const QVariant& v) {
    if (v.typeId() == QMetaType::QString) {
        const QString text = v.toString();
        const QStringView s = QStringView(text).trimmed();
        return isWord(s, QLatin1StringView("yes")) || isWord(s, QLatin1StringView("true")) ||
               isWord(s, QLatin1StringView("1"));
    }
    return v.toBool();
}

} // namespace

void initializeDefaults() {
    std::vector<std::pair<QString, QVariant>> table = defaultTable();
    QSettings& s = store();
    if (!s.contains(kSaveCoverToFile) && !s.contains(kEmbedCoverInTags) &&
        s.contains(kCoverSaveMethod)) {
        const bool toFile = s.value(kCoverSaveMethod).toInt() == 0;
        for (auto& [key, def] : table) {
            if (key == QLatin1String(kSaveCoverToFile))
                def = toFile ? QStringLiteral("YES") : QStringLiteral("NO");
            else if (key == QLatin1String(kEmbedCoverInTags))
                def = toFile ? QStringLiteral("NO") : QStringLiteral("YES");
        }
    }
    Registry& r = registry();
    QMutexLocker locker(&r.lock);
    r.defaults = std::move(table);
    r.defaults.insert(r.defaults.end(), r.added.begin(), r.added.end());
    r.registered = true;
}

void addDefaults(const std::vector<std::pair<QString, QVariant>>& table) {
    Registry& r = registry();
    QMutexLocker locker(&r.lock);
    for (const auto& entry : table) {
        const auto known = [&entry](const auto& e) { return e.first == entry.first; };
        if (std::any_of(r.added.begin(), r.added.end(), known)) continue;
        r.added.push_back(entry);
        if (r.registered) r.defaults.push_back(entry);
    }
}

QVariant defaultValue(const QString& key) {
    ensureRegistered();
    Registry& r = registry();
    QMutexLocker locker(&r.lock);
    for (const auto& [k, v] : r.defaults)
        if (k == key) return v;
    return {};
}

QStringList allKeys() {
    ensureRegistered();
    Registry& r = registry();
    QMutexLocker locker(&r.lock);
    QStringList keys;
    for (const auto& entry : r.defaults)
        keys << entry.first;
    return keys;
}

QVariant value(const QString& key) {
    {
        Registry& r = registry();
        QMutexLocker locker(&r.lock);
        auto it = r.overrides.constFind(key);
        if (it != r.overrides.constEnd()) return *it;
    }
    // One look in the store, not contains() then value(): documents read
    // settings per track. The store gives back an invalid value only for a
    // missing key or one stored invalid (an empty list is stored so), and
    // either reads as its default.
    const QVariant stored = store().value(key);
    return stored.isValid() ? stored : defaultValue(key);
}

bool boolValue(const QString& key) {
    return toBool(value(key));
}
int intValue(const QString& key) {
    return value(key).toInt();
}
QString stringValue(const QString& key) {
    return value(key).toString();
}

void setValue(const QString& key, const QVariant& v) {
    QSettings& s = store();
    s.setValue(key, v);
    s.sync();
}

void setOverride(const QString& key, const QVariant& v) {
    Registry& r = registry();
    QMutexLocker locker(&r.lock);
    r.overrides.insert(key, v);
}

void clearOverrides() {
    Registry& r = registry();
    QMutexLocker locker(&r.lock);
    r.overrides.clear();
}

int maxEntriesToFetch() {
    const int n = intValue(kMaxEntriesToFetch);
    return n == 0 ? 10 : n;
}

int resizePixels() {
    const int n = intValue(kResizePixels);
    return n == 0 ? 160 : n;
}

void postPrefsChanged() {
    emit PrefsNotifier::instance()->prefsChanged();
}

} // namespace Prefs

PrefsNotifier* PrefsNotifier::instance() {
    static PrefsNotifier* gPrefsNotifier = new PrefsNotifier;
    return gPrefsNotifier;
}

#include "moc_Preferences.cpp"
