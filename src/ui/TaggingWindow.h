#pragma once

#include "docs/DocumentHost.h"
#include "ui/DocumentWindow.h"
#include "ui/ProgressSheet.h"
#include "ui/SheetAlertHost.h"

#include <QPointer>

class AlbumArtIcon;
class CoverArtPanel;
class DocumentBase;
class LegendPanel;
class QDockWidget;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class SearchSheet;

// What the folder and single-file windows share: as their document's host,
// alerts as window-modal sheets, the progress sheet (also for workers), the
// title and edited mark, and the closing rules (no close while busy; unsaved
// changes are confirmed; "Save" closes once the save has ended); and the
// cover view, the legend, the search sheet and the row of buttons.
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

    ProgressSheet* currentProgressSheet() const { return fNCProgressSheet; }

    // Commands.
    virtual void mainLookup() = 0;
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
    AlbumArtIcon* coverView() const { return fCoverView; }
    QLabel* coverSizeLabel() const { return fCoverSize; }
    CoverArtPanel* coverArtPanel() const { return fCoverPanel; }
    QPushButton* legendButton() const { return fLegendButton; }
    LegendPanel* legendPanel() const { return fLegendPanel; }
    SearchSheet* searchSheet() const { return fSearchPanel; }

protected:
    // Call once the document exists: a save-then-close closes the window.
    void watchDocument();
    // The look-up the search sheet's OK starts, after the terms were set.
    virtual void sheetLookup() = 0;
    // The cover column for the top of the window: picture (taking dropped
    // images), size text and Edit button.
    QVBoxLayout* buildCoverColumn(QWidget* central);
    // The bottom row: Legend, then `extra`, Search... and Look Up; and the
    // legend panel the Legend button opens.
    QHBoxLayout* buildButtonRow(QWidget* central, const QList<QPushButton*>& extra);
    void closeEvent(QCloseEvent* event) override;

private:
    AlbumArtIcon* fCoverView = nullptr;
    QLabel* fCoverSize = nullptr;
    CoverArtPanel* fCoverPanel = nullptr;
    QPushButton* fLegendButton = nullptr;
    QDockWidget* fLegendDrawer = nullptr;
    LegendPanel* fLegendPanel = nullptr;
    SearchSheet* fSearchPanel = nullptr;
    SheetAlertHost fAlerts;
    QPointer<ProgressSheet> fNCProgressSheet;
    bool fCloseConfirmed = false;
};
