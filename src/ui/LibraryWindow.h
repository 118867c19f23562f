#pragma once

#include "library/LibraryState.h"
#include "ui/LibraryTableModel.h"

#include <QHash>
#include <QMainWindow>

#include <memory>

class AlbumInfoArray;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

// A whole music library in one window: its album folders with their status,
// best hit, match distance and what a save would change, filtered by status.
// "Look Up" runs a plan over the library, "Save Sure Ones" a save with the
// default distance; a double-click opens the folder's own window with the
// hits this window's run fetched (or looks it up there when it has none).
// The state is the one `trovix-cli library` keeps.
class LibraryWindow : public QMainWindow {
    Q_OBJECT
public:
    // `statePath` null: the shared state file.
    explicit LibraryWindow(const QString& root, const QString& statePath = QString(),
                           QWidget* parent = nullptr);
    ~LibraryWindow() override;

    // File › Open Library…: asks for the library's folder and shows its window.
    static void chooseAndShow(QWidget* parent);

    // Parts, for tests.
    QTableView* table() const { return fTable; }
    QComboBox* filter() const { return fFilter; }
    QPushButton* lookUpButton() const { return fLookUp; }
    QPushButton* saveButton() const { return fSave; }
    bool running() const { return fRunning; }
    // Opens the folder windows of the entry at a table row.
    void openRow(int row);

signals:
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void startRun(bool save);
    void reload();
    void showProgress(int done, int total, int saved, int queued, int failed);

    QString fRoot;
    LibraryState fState;
    LibraryTableModel fModel;
    QTableView* fTable = nullptr;
    QComboBox* fFilter = nullptr;
    QPushButton* fLookUp = nullptr;
    QPushButton* fSave = nullptr;
    QLabel* fProgress = nullptr;
    bool fRunning = false;
    bool fCloseAfterRun = false;
    // The hits the last run found, by album folder.
    QHash<QString, std::shared_ptr<AlbumInfoArray>> fHits;
};
