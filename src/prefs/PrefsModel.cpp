#include "prefs/PrefsModel.h"

#include "app/Preferences.h"
#include "prefs/PrefsOptions.h"
#include "prefs/PrefsView.h"
#include "prefs/WebSourcePrefs.h"
#include "model/AudioTrack.h"
#include "model/AudioTrackArray.h"
#include "text/SmartCapitalize.h"
#include "web/WebLimits.h"

#include <memory>

namespace {

// The sources' own keys follow these (WebSourcePref).
constexpr const char* kWindowKeys[] = {Prefs::kSmartCapitalization, Prefs::kBackup,
                                       Prefs::kMaxEntriesToFetch,   Prefs::kOmitChars,
                                       Prefs::kTagVersion,          Prefs::kTitleTagFormat,
                                       Prefs::kVARenameTitles,      Prefs::kVATitleTagFormat,
                                       Prefs::kSFRenameTitles,      Prefs::kSFTitleTagFormat,
                                       Prefs::kRenameAlbums,        Prefs::kAlbumFolderNameFormat,
                                       Prefs::kVARenameAlbums,      Prefs::kVAAlbumFolderNameFormat,
                                       Prefs::kRenameTracks,        Prefs::kTrackFileNameFormat,
                                       Prefs::kVARenameTracks,      Prefs::kVATrackFileNameFormat,
                                       Prefs::kSFRenameTracks,      Prefs::kSFTrackFileNameFormat,
                                       Prefs::kSearchForCoverArt,   Prefs::kSaveCoverToFile,
                                       Prefs::kEmbedCoverInTags,    Prefs::kCoverFileName,
                                       Prefs::kResizeCover,         Prefs::kResizePixels,
                                       Prefs::kResizeOption,        Prefs::kLookupTimeLimit,
                                       Prefs::kWriteDebugFiles};

// Each example: the template key, what it names, and the extension.
struct Example {
    const char* key;
    int which;
    bool withExtension;
};

constexpr Example kExamples[] = {
    {Prefs::kTrackFileNameFormat, AudioTrack::kFileName, true},
    {Prefs::kVATrackFileNameFormat, AudioTrack::kFileName | AudioTrack::kVariousArtists, true},
    {Prefs::kSFTrackFileNameFormat, AudioTrack::kFileName | AudioTrack::kSingleFile, true},
    {Prefs::kAlbumFolderNameFormat, AudioTrack::kFolderName, false},
    {Prefs::kVAAlbumFolderNameFormat, AudioTrack::kFolderName | AudioTrack::kVariousArtists, false},
    {Prefs::kTitleTagFormat, AudioTrack::kTitleTag, false},
    {Prefs::kVATitleTagFormat, AudioTrack::kTitleTag | AudioTrack::kVariousArtists, false},
    {Prefs::kSFTitleTagFormat, AudioTrack::kTitleTag | AudioTrack::kSingleFile, false},
};

// The numbers whose 0 stands for the default.
int withDefault(const QString& key, int n) {
    if (n != 0) return n;
    if (key == QLatin1String(Prefs::kMaxEntriesToFetch)) return 10;
    if (key == QLatin1String(Prefs::kResizePixels)) return 160;
    if (key == QLatin1String(Prefs::kLookupTimeLimit)) return WebLimits::kDefaultLookupSecs;
    return n;
}

QVariant normalized(PrefsModel::Kind kind, const QVariant& v) {
    switch (kind) {
    case PrefsModel::Kind::Flag:
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString().trimmed().toLower();
            return s == u"yes" || s == u"true" || s == u"1";
        }
        return v.toBool();
    case PrefsModel::Kind::Number:
        return v.toString().trimmed().toInt();
    case PrefsModel::Kind::Text:
        break;
    }
    return v.toString();
}

AudioTrackRef sampleTrack(const QString& title, int track, int bitrate) {
    auto t = std::make_shared<AudioTrack>(AudioTrack::initPlaceholder(QStringLiteral("Bogus")));
    const QString band = QStringLiteral("polka pete and the accordions");
    t->setFileName(QStringLiteral("Bogus"));
    TagValues tags{.title = title,
                   .artist = band,
                   .album = QStringLiteral("Polkas to go!"),
                   .year = QStringLiteral("1999"),
                   .genre = QStringLiteral("Polka")};
    tags.setTrack(track, 11);
    t->setTags(tags, TagValues::kAll);
    t->setBitrate(bitrate);
    t->updateSong(title, band, track);
    return t;
}

QString capitalized(const QString& s) {
    return s.isNull() ? s : SmartCapitalize(s);
}

} // namespace

Alert PrefsModel::TemplateCheck::alert() const {
    switch (outcome) {
    case Check::Pass:
        break;
    case Check::InvalidTemplate:
        return {QStringLiteral("Invalid Track Name Template"),
                QStringLiteral("The Track Name Template \"%1\" will not produce a unique name for "
                               "each track. It is best to include a %N in the template.")
                    .arg(nameTemplate),
                {QStringLiteral("OK")}};
    case Check::PossibleDuplicates:
        return {QStringLiteral("Possible Duplicate Track Names"),
                QStringLiteral("The Track Name Template \"%1\" will only produce a unique name for "
                               "each track if the song titles are all unique. It is best to "
                               "include a %N in the template.")
                    .arg(nameTemplate),
                {QStringLiteral("Try again"), QStringLiteral("OK")}};
    }
    return {};
}

QStringList PrefsModel::keys() {
    QStringList keys;
    for (const char* key : kWindowKeys)
        keys << QString::fromLatin1(key);
    for (const WebSourcePref& source : WebSourcePref::all()) {
        if (!source.searchKey.isNull() && !keys.contains(source.searchKey))
            keys << source.searchKey;
        keys << source.baseKey;
    }
    return keys;
}

PrefsModel::Kind PrefsModel::kindOf(const QString& key) {
    const QVariant def = Prefs::defaultValue(key);
    if (def.typeId() == QMetaType::Int) return Kind::Number;
    const QString s = def.toString();
    if (s == QLatin1String("YES") || s == QLatin1String("NO")) return Kind::Flag;
    return Kind::Text;
}

QStringList PrefsModel::exampleKeys() {
    QStringList keys;
    for (const Example& e : kExamples)
        keys << QString::fromLatin1(e.key);
    return keys;
}

AudioTrackArray PrefsModel::sampleTracks() {
    AudioTrackArray list;
    list.add(sampleTrack(QStringLiteral("Im Himmel gibst kein Bier"), 5, 192));
    list.add(std::make_shared<AudioTrack>(AudioTrack::initPlaceholder(QString())));
    list.add(sampleTrack(QStringLiteral("i love A Good polka"), 9, 224));
    return list;
}

void PrefsModel::setField(const QString& key, const QVariant& value) {
    fFields.insert(key, normalized(kindOf(key), value));
}

void PrefsModel::load() {
    for (const QString& key : keys()) {
        setField(key, Prefs::value(key));
        if (kindOf(key) == Kind::Number) fFields.insert(key, withDefault(key, number(key)));
    }
}

void PrefsModel::populate() {
    if (!fView) return;
    for (const QString& key : keys())
        fView->showValue(key, fFields.value(key));
}

void PrefsModel::depopulate() {
    if (!fView) return;
    for (const QString& key : keys())
        setField(key, fView->editedValue(key));
}

void PrefsModel::save() {
    for (const QString& key : keys()) {
        QVariant v = fFields.value(key);
        if (kindOf(key) == Kind::Number) v = withDefault(key, v.toInt());
        Prefs::setValue(key, v);
    }
}

QHash<QString, bool> PrefsModel::enabledItems() const {
    auto on = [this](const char* key) { return flag(QString::fromLatin1(key)); };
    const bool albums = on(Prefs::kRenameAlbums);
    const bool tracks = on(Prefs::kRenameTracks);
    const bool resize = on(Prefs::kResizeCover);
    QHash<QString, bool> enabled;
    auto set = [&enabled](const char* key, bool value) {
        enabled.insert(QString::fromLatin1(key), value);
    };
    set(Prefs::kAlbumFolderNameFormat, albums);
    set(Prefs::kVARenameAlbums, albums);
    set(Prefs::kVAAlbumFolderNameFormat, albums && on(Prefs::kVARenameAlbums));
    set(Prefs::kTrackFileNameFormat, tracks);
    set(Prefs::kVARenameTracks, tracks);
    set(Prefs::kSFRenameTracks, tracks);
    set(Prefs::kVATrackFileNameFormat, tracks && on(Prefs::kVARenameTracks));
    set(Prefs::kSFTrackFileNameFormat, tracks && on(Prefs::kSFRenameTracks));
    set(Prefs::kVATitleTagFormat, on(Prefs::kVARenameTitles));
    set(Prefs::kSFTitleTagFormat, on(Prefs::kSFRenameTitles));
    set(Prefs::kCoverFileName, on(Prefs::kSaveCoverToFile));
    set(Prefs::kResizePixels, resize);
    set(Prefs::kResizeOption, resize);
    return enabled;
}

void PrefsModel::enableItems() {
    if (!fView) return;
    const QHash<QString, bool> enabled = enabledItems();
    for (auto it = enabled.cbegin(); it != enabled.cend(); ++it)
        fView->enableControl(it.key(), it.value());
}

QHash<QString, QString> PrefsModel::renderExamples() {
    AudioTrackArray samples = sampleTracks();
    if (flag(QString::fromLatin1(Prefs::kSmartCapitalization))) {
        AudioTrackArray copies;
        for (const AudioTrackRef& t : samples) {
            auto c = std::make_shared<AudioTrack>(*t);
            TagValues tags = c->tags();
            tags.album = capitalized(tags.album);
            tags.title = capitalized(c->getOldTitle());
            tags.artist = capitalized(tags.artist);
            c->setTags(tags, TagField::Album | TagField::Title | TagField::Artist);
            if (c->hasNewTitle()) c->setNewTitle(SmartCapitalize(c->getNewTitle()));
            if (c->hasNewArtist()) c->setNewArtist(SmartCapitalize(c->getNewArtist()));
            copies.add(c);
        }
        samples = copies;
    }
    const AudioTrackRef shown = samples.at(2);
    const QString mp3 = QStringLiteral("mp3");
    // The edited characters, not the stored ones; empty omits none. The
    // templates are the edited ones too, passed one by one.
    NamingOptions naming = Prefs::namingOptions();
    naming.omitChars = text(QString::fromLatin1(Prefs::kOmitChars));
    QHash<QString, QString> examples;
    const AlbumNameFacts album = samples.albumNameFacts();
    for (const Example& e : kExamples) {
        const QString key = QString::fromLatin1(e.key);
        int* unique = key == QLatin1String(Prefs::kTrackFileNameFormat)     ? &fTrackUniqueness
                      : key == QLatin1String(Prefs::kVATrackFileNameFormat) ? &fvTrackUniqueness
                                                                            : nullptr;
        examples.insert(key, shown->getAlbumOrTrackName(naming, album, e.which, text(key),
                                                        unique, e.withExtension ? mp3 : QString()));
    }
    return examples;
}

void PrefsModel::updateExamples() {
    depopulate();
    const QHash<QString, QString> examples = renderExamples();
    if (!fView) return;
    for (auto it = examples.cbegin(); it != examples.cend(); ++it)
        fView->showExample(it.key(), it.value());
}

PrefsModel::TemplateCheck PrefsModel::checkTemplates() const {
    auto verdict = [](int uniqueness, const QString& tmpl) -> TemplateCheck {
        if (uniqueness == 0) return {Check::InvalidTemplate, tmpl};
        if (uniqueness == 1) return {Check::PossibleDuplicates, tmpl};
        return {};
    };
    // The various-artists template is looked at only once the plain one is
    // sound.
    if (flag(QString::fromLatin1(Prefs::kRenameTracks))) {
        const TemplateCheck plain =
            verdict(fTrackUniqueness, text(QString::fromLatin1(Prefs::kTrackFileNameFormat)));
        if (plain.outcome != Check::Pass) return plain;
        if (flag(QString::fromLatin1(Prefs::kVARenameTracks)))
            return verdict(fvTrackUniqueness,
                           text(QString::fromLatin1(Prefs::kVATrackFileNameFormat)));
    }
    return {};
}

void PrefsModel::open() {
    load();
    populate();
    enableItems();
    updateExamples();
}

void PrefsModel::actionCheckBox() {
    depopulate();
    enableItems();
    updateExamples();
}

void PrefsModel::actionTextChanged() {
    updateExamples();
}

void PrefsModel::actionOK() {
    depopulate();
    renderExamples();
    const TemplateCheck check = checkTemplates();
    if (check.outcome == Check::Pass) {
        commit();
        return;
    }
    const bool mayGoOn = check.outcome == Check::PossibleDuplicates;
    auto response = [this, mayGoOn](int button) {
        if (mayGoOn && button == 1) commit();
    };
    if (fView) fView->showAlert(check.alert(), response);
}

void PrefsModel::commit() {
    save();
    Prefs::postPrefsChanged();
    if (fView) fView->closeWindow();
}

void PrefsModel::actionCancel() {
    load();
    populate();
    if (fView) fView->closeWindow();
}

void PrefsModel::actionRestoreDefaults() {
    for (const QString& key : keys())
        setField(key, Prefs::defaultValue(key));
    populate();
    enableItems();
    updateExamples();
}
