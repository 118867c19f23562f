#pragma once

#include "docs/TrovixDocument.h"
#include "ui/TaggingWindow.h"

#include <memory>

class AlbumArtIcon;
class AlbumHitsTableView;
class BoxSetSheet;
class CoverArtPanel;
class LegendPanel;
class QAction;
class QCheckBox;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class SearchSheet;
class TrovixTableView;

// The window of an album folder. It shows the folder document and forwards
// what the user does to it; every decision is the document's.
class FolderWindow : public TaggingWindow {
    Q_OBJECT
public:
    explicit FolderWindow(QWidget* parent = nullptr);
    ~FolderWindow() override;

    TrovixDocument* document() const { return fDoc.get(); }
    DocumentBase* baseDocument() const override { return fDoc.get(); }

    void setDocumentPath(const DropActionDict& request) override;
    bool isFolderWindow() const override { return true; }
    QString documentPath() const override { return fDoc->docPath(); }

    // DocumentHost.
    void reloadTracks() override;
    void reloadHits() override;
    void endEditing() override;

    // Commands.
    void mainLookup() override;
    void showMultiCDPanel();

    // Parts, for tests and screenshots.
    TrovixTableView* trackTable() const { return fTrackListTableView; }
    AlbumHitsTableView* hitsTable() const { return fAlbumHitsTableView; }
    QLineEdit* artistField() const { return fOldArtistTextField; }
    QLineEdit* albumField() const { return fOldAlbumTextField; }
    QLineEdit* genreField() const { return fOldGenreTextField; }
    QLineEdit* yearField() const { return fOldYearTextField; }
    QCheckBox* lockButton() const { return fLockAlbumInfoButton; }
    QCheckBox* variousArtistsButton() const { return fVariousArtistsBtn; }
    QCheckBox* reverseButton() const { return fReverseArtistTitleBtn; }
    BoxSetSheet* boxSetSheet() const { return fMultiCDPanel; }
    QMenu* lookUpMenu() const { return fLookUpMenu; }
    // The twelve look-up commands, in the document's command order.
    QList<QAction*> lookUpActions() const { return fLookUpActions; }
    // Brings every menu command's enabling and title up to date.
    void validateMenus() override;

protected:
    void sheetLookup() override;

private:
    void buildFields(QWidget* central);
    void buildMenus();
    void syncFieldsFromDocument();

    std::unique_ptr<TrovixDocument> fDoc;

    QLineEdit* fOldAlbumTextField;
    QLineEdit* fOldArtistTextField;
    QLineEdit* fOldGenreTextField;
    QLineEdit* fOldYearTextField;
    QCheckBox* fLockAlbumInfoButton;
    QCheckBox* fVariousArtistsBtn;
    QCheckBox* fReverseArtistTitleBtn;
    TrovixTableView* fTrackListTableView;
    AlbumHitsTableView* fAlbumHitsTableView;
    BoxSetSheet* fMultiCDPanel = nullptr;
    QMenu* fLookUpMenu = nullptr;
    QList<QAction*> fLookUpActions;
    QList<PageLookUp> fPageLookUps; // one for each of fLookUpActions
    QList<QAction*> fDocumentActions;
    QAction* fNextCoverAction = nullptr;
    QAction* fUndoAction = nullptr;
    QAction* fRedoAction = nullptr;
    QAction* fCutAction = nullptr;
    QAction* fCopyAction = nullptr;
    QAction* fPasteAction = nullptr;
    QAction* fDeleteAction = nullptr;
    QAction* fSelectAllAction = nullptr;
};
