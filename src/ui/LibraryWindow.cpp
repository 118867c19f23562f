#include "ui/LibraryWindow.h"

#include "library/LibraryRun.h"
#include "model/AlbumInfoArray.h"
#include "ui/AppCommands.h"
#include "ui/FolderWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

LibraryWindow::LibraryWindow(const QString& root, const QString& statePath, QWidget* parent)
    : QMainWindow(parent), fRoot(root) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Library: %1").arg(root));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* bar = new QHBoxLayout;
    fLookUp = new QPushButton(tr("Look Up"), central);
    fSave = new QPushButton(tr("Save Sure Ones"), central);
    fSave->setToolTip(tr("Saves the folders whose best web hit lies within a distance of %1 "
                         "and whose save asks nothing; the others wait for review.")
                          .arg(LibraryRun::kDefaultMaxDistance, 0, 'f', 2));
    fFilter = new QComboBox(central);
    fFilter->addItem(tr("All"));
    for (int s = 0; s <= int(LibraryRecord::Status::Failed); ++s)
        fFilter->addItem(LibraryRecord::statusName(LibraryRecord::Status(s)), s);
    fProgress = new QLabel(central);
    bar->addWidget(fLookUp);
    bar->addWidget(fSave);
    bar->addStretch();
    bar->addWidget(fProgress);
    bar->addWidget(new QLabel(tr("Show:"), central));
    bar->addWidget(fFilter);
    layout->addLayout(bar);

    fTable = new QTableView(central);
    fTable->setModel(&fModel);
    fTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    fTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fTable->verticalHeader()->hide();
    fTable->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(fTable);
    setCentralWidget(central);
    resize(900, 500);

    connect(fLookUp, &QPushButton::clicked, this, [this] { startRun(false); });
    connect(fSave, &QPushButton::clicked, this, [this] { startRun(true); });
    connect(fFilter, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QVariant status = fFilter->itemData(index);
        fModel.setFilter(status.isValid() ? std::optional(LibraryRecord::Status(status.toInt()))
                                          : std::nullopt);
    });
    connect(fTable, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { openRow(index.row()); });

    if (!fState.open(statePath.isNull() ? LibraryState::defaultPath() : statePath)) {
        fLookUp->setEnabled(false);
        fSave->setEnabled(false);
        fProgress->setText(fState.errorText());
        return;
    }
    reload();
}

LibraryWindow::~LibraryWindow() = default;

void LibraryWindow::chooseAndShow(QWidget* parent) {
    const QString root = QFileDialog::getExistingDirectory(parent, tr("Open Library"));
    if (root.isEmpty()) return;
    auto* window = new LibraryWindow(root);
    window->show();
}

void LibraryWindow::reload() {
    fModel.setRecords(fState.under(fRoot));
}

void LibraryWindow::showProgress(int done, int total, int saved, int queued, int failed) {
    fProgress->setText(tr("%1 of %2 done: %3 saved, %4 queued, %5 failed")
                           .arg(done)
                           .arg(total)
                           .arg(saved)
                           .arg(queued)
                           .arg(failed));
}

void LibraryWindow::startRun(bool save) {
    if (fRunning) return;
    fRunning = true;
    fLookUp->setEnabled(false);
    fSave->setEnabled(false);
    LibraryRun::Options options;
    options.save = save;
    LibraryRun run(fState, options);
    connect(&run, &LibraryRun::entryFinished, this,
            [this](const LibraryRecord& record) { fModel.update(record); });
    connect(&run, &LibraryRun::progressed, this, [this](const LibraryRun::Counts& c) {
        showProgress(c.done, c.total, c.saved, c.queued, c.failed);
    });
    connect(&run, &LibraryRun::hitsFound, this,
            [this](const QString& folder, const std::shared_ptr<AlbumInfoArray>& hits) {
                fHits.insert(folder, hits);
            });
    LibraryRun::clearStop();
    // The run keeps the window live through an event loop of its own.
    const LibraryRun::End end = run.run(fRoot);
    if (end == LibraryRun::End::StateFailed)
        QMessageBox::warning(this, tr("Library"), fState.errorText());
    fRunning = false;
    fLookUp->setEnabled(true);
    fSave->setEnabled(true);
    reload();
    emit runFinished();
    if (fCloseAfterRun) close();
}

void LibraryWindow::openRow(int row) {
    const LibraryRecord* record = fModel.recordAt(row);
    if (!record) return;
    AppCommands* controller = AppCommands::instance();
    for (const QJsonValue& value : record->albums) {
        const QJsonObject album = value.toObject();
        const QString folder = album.value("folder").toString();
        const std::shared_ptr<AlbumInfoArray> hits = fHits.value(folder);
        const int best = album.value("best").toInt(0) - 1;
        if (hits && record->status != LibraryRecord::Status::Saved) {
            // Opened without a look-up; the hits of the run are put in once
            // the files are read.
            connect(
                controller, &AppCommands::documentOpened, this,
                [hits, best](DocumentWindow* window) {
                    auto* folderWindow = dynamic_cast<FolderWindow*>(window);
                    if (!folderWindow) return;
                    TrovixDocument* doc = folderWindow->document();
                    QObject::connect(
                        doc, &DocumentBase::jobFinished, doc,
                        [doc, hits, best] {
                            doc->applier().setAlbumHits(hits->copy());
                            doc->applier().forceSelectOfAlbum(best);
                        },
                        Qt::SingleShotConnection);
                },
                Qt::SingleShotConnection);
            controller->openDropped(folder, true);
        } else {
            controller->openDropped(folder, false);
        }
    }
}

void LibraryWindow::closeEvent(QCloseEvent* event) {
    if (fRunning) {
        // The folders in work finish first.
        LibraryRun::requestStop();
        fCloseAfterRun = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
