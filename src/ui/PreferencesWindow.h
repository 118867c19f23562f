#pragma once

#include "prefs/PrefsModel.h"
#include "prefs/PrefsView.h"
#include "ui/SheetAlertHost.h"

#include <QDialog>
#include <QHash>

class QAction;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolBar;

// The preferences window: a toolbar of five panes ("File Names", "Folder
// Names", "Song Titles", "Cover Art", "General"), one control per setting,
// a live example under each naming template, and OK, Cancel and Restore
// Defaults. Every decision is the model's; the window only shows it.
class PreferencesWindow : public QDialog, public PrefsView {
    Q_OBJECT
public:
    explicit PreferencesWindow(QWidget* parent = nullptr);

    // Loads from the store, shows the "File Names" pane and brings the
    // window to the front.
    void showWindow();

    // PrefsView.
    void showValue(const QString& key, const QVariant& value) override;
    QVariant editedValue(const QString& key) const override;
    void enableControl(const QString& key, bool enabled) override;
    void showExample(const QString& templateKey, const QString& text) override;
    void closeWindow() override;
    void showAlert(const Alert& alert, std::function<void(int)> response = {}) override;

    // Parts, for tests and screenshots.
    QToolBar* toolbar() const { return fToolbar; }
    QList<QAction*> paneActions() const { return fPaneActions; }
    // The pane shown now: "FileNames", "FolderNames", "SongTitles",
    // "CoverArt" or "General".
    QString currentPane() const;
    void showPane(int index);
    QWidget* control(const QString& key) const { return fControls.value(key); }
    QLabel* example(const QString& templateKey) const { return fExamples.value(templateKey); }
    QList<QLabel*> coverCaptions() const { return fCoverCaptions; }
    QPushButton* okButton() const { return fOK; }
    QPushButton* cancelButton() const { return fCancel; }
    QPushButton* restoreDefaultsButton() const { return fRestore; }

protected:
    // Escape and the close box cancel.
    void reject() override;

private:
    QWidget* buildFileNamesPane();
    QWidget* buildFolderNamesPane();
    QWidget* buildSongTitlesPane();
    QWidget* buildCoverArtPane();
    QWidget* buildGeneralPane();

    QCheckBox* addCheckBox(QGridLayout* grid, const char* key, const QString& label);
    // A template field with its example line below it.
    QLineEdit* addTemplate(QGridLayout* grid, const char* key, const QString& label);
    QLineEdit* addField(QGridLayout* grid, const char* key, const QString& label);
    void watch(QWidget* control);

    PrefsModel fModel{this};
    SheetAlertHost fAlerts{this};
    QToolBar* fToolbar;
    QStackedWidget* fPanes;
    QList<QAction*> fPaneActions;
    QHash<QString, QWidget*> fControls;
    QHash<QString, QLabel*> fExamples;
    QList<QLabel*> fCoverCaptions;
    QPushButton* fOK;
    QPushButton* fCancel;
    QPushButton* fRestore;
    bool fPopulating = false;
};
