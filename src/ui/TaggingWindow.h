#pragma once

#include "docs/DocumentHost.h"
#include "ui/DocumentWindow.h"
#include "ui/ProgressSheet.h"
#include "ui/SheetAlertHost.h"

#include <QKeySequence>
#include <QPointer>
#include <QTimer>

class AlbumArtIcon;
class CoverArtPanel;
class DocumentBase;
class LegendPanel;
class QDockWidget;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QAction;
class QVBoxLayout;
class SearchSheet;

// What the folder and single-file windows share: as their document's host,
// alerts as window-modal sheets, the progress sheet (also for workers), the
// title and edited mark (edited whenever a save would write something), and
// the closing rules (a running look-up or opening is cancelled first and a
// save stopped as a signal would, then the window closes; unsaved changes
// are confirmed; "Save" closes once the save has ended); and the cover view,
// the legend, the search sheet, the tool bar and the row of buttons.
class TaggingWindow : public DocumentWindow, public DocumentHost {
    Q_OBJECT
public:
    explicit TaggingWindow(QWidget* parent = nullptr);

    // The document this window shows.
    virtual DocumentBase* baseDocument() const = 0;

    // DocumentHost.
    void showAlert(const Alert& alert, std::function<void(int)> response = {}) override;
    ProgressIndicator* progressSheet() override;
    void closeProgressSheet() override;
    void syncWindowTitle() override;
    void setEdited(bool edited) override;

    ProgressSheet* currentProgressSheet() const { return fProgress; }
    // Closing waits for the running job to end (cancelled or stopped).
    bool closePending() const { return fCloseWhenJobEnds; }

    // Commands.
    virtual void mainLookup() = 0;
    // Brings the menu commands' enabling up to date; runs while the window
    // is open too, so shortcuts follow the busy state.
    virtual void validateMenus() = 0;
    // The next cover candidate on the window's picture.
    void showNextCover();
    // The search sheet: the terms for editing, then a look-up with them.
    void showSearchPanel();
    // The cover-art panel as a sheet on this window.
    void showCoverArtPanel();
    // The window's picture and size text follow the candidates.
    void syncCover();
    // The legend beside the window, opened and closed by the legend button.
    void showLegend(bool on);
    bool legendShown() const;

    // Parts, for tests and screenshots.
    QAction* saveAction() const { return fSaveAction; }
    QAction* lookUpAction() const { return fLookUpAction; }
    QAction* cancelAction() const { return fCancelAction; }
    QPushButton* saveButton() const { return fSaveButton; }
    AlbumArtIcon* coverView() const { return fCoverView; }
    QLabel* coverSizeLabel() const { return fCoverSize; }
    CoverArtPanel* coverArtPanel() const { return fCoverPanel; }
    QPushButton* legendButton() const { return fLegendButton; }
    LegendPanel* legendPanel() const { return fLegendPanel; }
    SearchSheet* searchSheet() const { return fSearchPanel; }

protected:
    static inline const QKeySequence kLookUpShortcut{Qt::CTRL | Qt::Key_L};
    static inline const QKeySequence kSearchShortcut{Qt::CTRL | Qt::Key_F};
    static inline const QKeySequence kNextCoverShortcut{Qt::CTRL | Qt::Key_BracketRight};

    bool nextCoverEnabled() const;
    // Call once the document exists: a save-then-close closes the window.
    void watchDocument();
    // The edited mark: whether a save would write something; kept as it is
    // while a job may be changing the records.
    void judgeEdited();
    // Save, Look Up and Cancel follow the busy state (windows call it from
    // validateMenus).
    void validateSharedActions();
    // The tool bar: Open, Save, Look Up and Cancel.
    void buildToolBar(QAction* open);
    // The look-up the search sheet's OK starts, after the terms were set.
    virtual void sheetLookup() = 0;
    // The cover column for the top of the window: picture (taking dropped
    // images), size text and Edit button.
    QVBoxLayout* buildCoverColumn(QWidget* central);
    // The bottom row: Legend, then `extra`, Search…, Look Up and Save
    // (titled `saveText`, whose mnemonic must not clash with the window's
    // menus); and the legend panel the Legend button opens.
    QHBoxLayout* buildButtonRow(QWidget* central, const QList<QPushButton*>& extra,
                                const QString& saveText);
    void closeEvent(QCloseEvent* event) override;
    // A field's own undo would change its text behind the document's back:
    // Ctrl+Z and Ctrl+Shift+Z in `field` reach the window's Undo and Redo.
    void leaveUndoKeysToWindow(QWidget* field);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Cancels the running look-up or opening, or stops the running save;
    // the window closes once the job has ended.
    void closeAfterJob();

    QAction* fSaveAction;
    QAction* fLookUpAction;
    QAction* fCancelAction;
    QPushButton* fSaveButton = nullptr;
    QPushButton* fSearchButton = nullptr;
    QPushButton* fLookUpButton = nullptr;
    AlbumArtIcon* fCoverView = nullptr;
    QLabel* fCoverSize = nullptr;
    CoverArtPanel* fCoverPanel = nullptr;
    QPushButton* fLegendButton = nullptr;
    QDockWidget* fLegendDrawer = nullptr;
    LegendPanel* fLegendPanel = nullptr;
    SearchSheet* fSearchPanel = nullptr;
    SheetAlertHost fAlerts;
    QPointer<ProgressSheet> fProgress;
    // The path the title last showed, so Open Recent follows a rename.
    QString fShownPath;

    bool fCloseConfirmed = false;
    // Closing cancelled or stopped the running job; the window goes when it
    // ends.
    bool fCloseWhenJobEnds = false;
    QTimer fMenuTimer;
};
