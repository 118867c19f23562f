#pragma once

#include "system/AlertHost.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

class AudioTrackArray;
class PrefsView;

// The preferences window without widgets: the values being edited, one per
// key, moved between the store (load, save) and the window's controls
// (populate, depopulate); which controls are enabled; the naming examples
// rendered on three sample tracks; and the checks OK runs before it saves.
// Edits live here until OK: nothing reaches the store before.
class PrefsModel {
public:
    enum class Kind { Flag, Number, Text };
    // What OK finds about the track-name templates.
    enum class Check { Pass, InvalidTemplate, PossibleDuplicates };
    struct TemplateCheck {
        Check outcome = Check::Pass;
        QString nameTemplate; // the template the alert quotes
        Alert alert() const;  // none for Pass
    };

    explicit PrefsModel(PrefsView* view = nullptr) : fView(view) {}

    // Every key the window edits: the settings, then each web source's
    // on/off and base-address keys.
    static QStringList keys();
    static Kind kindOf(const QString& key);
    // The templates that have an example line, in window order.
    static QStringList exampleKeys();
    // The sample album of the examples: track 5 "Im Himmel gibst kein Bier",
    // an empty placeholder, and track 9 "i love A Good polka", whose names
    // are shown.
    static AudioTrackArray sampleTracks();

    QVariant field(const QString& key) const { return fFields.value(key); }
    bool flag(const QString& key) const { return fFields.value(key).toBool(); }
    int number(const QString& key) const { return fFields.value(key).toInt(); }
    QString text(const QString& key) const { return fFields.value(key).toString(); }
    // Stores an edited value in the key's kind; non-numeric text is 0.
    void setField(const QString& key, const QVariant& value);

    // The window's operations.
    void load();
    void populate();
    void depopulate();
    void save();
    void enableItems();
    void updateExamples();
    // Opening the window: load, populate, enableItems, updateExamples.
    void open();
    void actionCheckBox();
    void actionTextChanged();
    // Saves, broadcasts "Prefs Changed" and closes, unless a template check
    // stops it with an alert.
    void actionOK();
    void actionCancel();
    // Every field to its default; nothing is stored until OK.
    void actionRestoreDefaults();

    // The enabling rules over the current fields: key -> enabled, for the
    // controls that can be disabled.
    QHash<QString, bool> enabledItems() const;
    // The examples of the current fields; also sets the two uniqueness
    // results of the track-name templates.
    QHash<QString, QString> renderExamples();
    // The check OK runs, on the uniqueness of the last renderExamples.
    TemplateCheck checkTemplates() const;

private:
    void commit();

    PrefsView* fView;
    QVariantMap fFields;
    int fTrackUniqueness = 0;
    int fvTrackUniqueness = 0;
};
