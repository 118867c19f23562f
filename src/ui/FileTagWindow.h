#pragma once

#include "docs/FileTagDocument.h"
#include "ui/TaggingWindow.h"

#include <memory>

class AlbumArtIcon;
class CoverArtPanel;
class LegendPanel;
class QAction;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class SearchSheet;
class StatusImage;
class TrackHitsTableView;

// The window of one music file: the seven fields to write, the status row,
// the song hits and the cover. It shows the single-file document and
// forwards what the user does to it; every decision is the document's.
class FileTagWindow : public TaggingWindow {
    Q_OBJECT
public:
    explicit FileTagWindow(QWidget* parent = nullptr);
    ~FileTagWindow() override;

    FileTagDocument* document() const { return fDoc.get(); }
    DocumentBase* baseDocument() const override { return fDoc.get(); }

    void setDocumentPath(const DropActionDict& request) override;
    bool isFolderWindow() const override { return false; }
    QString documentPath() const override { return fDoc->docPath(); }

    // DocumentHost.
    void reloadTracks() override;
    void reloadHits() override;

    // Commands.
    void mainLookup() override;
    void validateMenus() override;

    // Parts, for tests and screenshots. Field names: "title", "track",
    // "count", "artist", "album", "genre", "year".
    QLineEdit* field(const QString& name) const;
    QString fieldText(const QString& name) const;
    TrackHitsTableView* hitsTable() const { return fHitTable; }
    StatusImage* statusImage() const { return fStatusImage; }
    QList<QAction*> lookUpActions() const { return fLookUpActions; }

protected:
    void sheetLookup() override;

private:
    void buildFields(QWidget* central);
    void buildMenus();
    void syncFieldsFromDocument();

    std::unique_ptr<FileTagDocument> fDoc;
    QList<QPair<QString, QLineEdit*>> fFields;
    StatusImage* fStatusImage;
    TrackHitsTableView* fHitTable;
    QList<QAction*> fLookUpActions;
    QList<PageLookUp> fPageLookUps; // one for each of fLookUpActions
    QMenu* fWebMenu = nullptr;
    QList<QAction*> fDocumentActions;
    QAction* fNextCoverAction = nullptr;
    QAction* fUndoAction = nullptr;
    QAction* fRedoAction = nullptr;
};
