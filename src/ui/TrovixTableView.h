#pragma once

#include <QTableView>

class FolderStatusDelegate;
class FileWithIconDelegate;
class TrackListModel;
class TrovixDocument;

// The track table: Delete and Backspace remove the selected rows, cut,
// copy and paste move records through the system clipboard under the
// private ".AudioTrack2" type, rows are dragged between rows, and a header
// click sorts by file name or old title. F2 and Enter edit the current row's
// new title; Tab leaves the table.
class TrovixTableView : public QTableView {
    Q_OBJECT
public:
    explicit TrovixTableView(TrovixDocument* doc, QWidget* parent = nullptr);

    TrackListModel* trackModel() const { return fModel; }
    FolderStatusDelegate* statusDelegate() const { return fStatusDelegate; }
    FileWithIconDelegate* fileDelegate() const { return fFileDelegate; }

    // Mirrors the document: rows, columns (the artist column) and selection.
    void reloadTracks();

    void clear();
    void copy();
    void cut();
    void paste();
    bool canPaste() const;
    // Takes the text of a cell being typed in.
    void commitEdit();
    // Opens the editor of the current row's new title (F2, Enter).
    void editNewTitle();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void applyColumnDelegates();
    void applySizes();
    void selectDocumentRows();
    void pushSelection();

    TrovixDocument* fDoc;
    TrackListModel* fModel;
    FolderStatusDelegate* fStatusDelegate;
    FileWithIconDelegate* fFileDelegate;
    bool fSyncing = false;
};
