#include "ui/TaggingWindow.h"

#include "app/RecentDocuments.h"
#include "art/AlbumArt.h"
#include "art/CoverScaling.h"
#include "docs/DocumentBase.h"
#include "pictures/QtPictureCodec.h"
#include "system/SaveSteps.h"
#include "ui/AlbumArtIcon.h"
#include "ui/AppMenus.h"
#include "ui/CoverArtPanel.h"
#include "ui/LegendPanel.h"
#include "ui/SearchSheet.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// What a worker gets when it asks for a sheet that only the GUI thread could
// make: progress it reports goes nowhere.
class NoProgress : public ProgressIndicator {
public:
    void NotifyBeginInd(const QString&, bool) override {}
    void NotifyBeginDet(const QString&, int, int, bool) override {}
    void NotifyBump(int) override {}
    void NotifyAnimate() override {}
    bool cancelled() override { return false; }
};

} // namespace

TaggingWindow::TaggingWindow(QWidget* parent) : DocumentWindow(parent), fAlerts(this) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Untitled") + QStringLiteral("[*]"));
    fSaveAction = new QAction(QIcon::fromTheme(QStringLiteral("document-save")), tr("&Save"), this);
    fSaveAction->setShortcut(AppMenus::kSaveKeys);
    connect(fSaveAction, &QAction::triggered, this, [this] { baseDocument()->saveDocument(); });
    fLookUpAction =
        new QAction(QIcon::fromTheme(QStringLiteral("edit-find")), tr("&Look Up"), this);
    fLookUpAction->setShortcut(kLookUpShortcut);
    connect(fLookUpAction, &QAction::triggered, this, [this] { mainLookup(); });
    fCancelAction =
        new QAction(QIcon::fromTheme(QStringLiteral("process-stop")), tr("Cancel"), this);
    fCancelAction->setEnabled(false);
    connect(fCancelAction, &QAction::triggered, this, [this] {
        if (fProgress) fProgress->cancel();
    });
    // Menus are checked as they open; shortcuts need the state between.
    fMenuTimer.setInterval(250);
    connect(&fMenuTimer, &QTimer::timeout, this, &TaggingWindow::validateMenus);
    fMenuTimer.start();
}

void TaggingWindow::watchDocument() {
    connect(baseDocument(), &DocumentBase::closedAfterSave, this, [this] {
        fCloseConfirmed = true;
        closeProgressSheet();
        close();
    });
    // Idle again: the records are the document's to read.
    connect(baseDocument(), &DocumentBase::jobFinished, this, &TaggingWindow::judgeEdited);
}

void TaggingWindow::validateSharedActions() {
    const bool idle = baseDocument()->commandsEnabled();
    fSaveAction->setEnabled(idle);
    fLookUpAction->setEnabled(idle);
    fCancelAction->setEnabled(!idle && fProgress &&
                              fProgress->cancelButton()->isEnabled());
    for (QPushButton* button : {fSaveButton, fSearchButton, fLookUpButton})
        if (button) button->setEnabled(idle);
}

void TaggingWindow::buildToolBar(QAction* open) {
    QToolBar* bar = addToolBar(tr("Main Tool Bar"));
    bar->setObjectName(QStringLiteral("mainToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonFollowStyle);
    bar->setMovable(false);
    bar->addAction(open);
    bar->addAction(fSaveAction);
    bar->addSeparator();
    bar->addAction(fLookUpAction);
    bar->addAction(fCancelAction);
}

QVBoxLayout* TaggingWindow::buildCoverColumn(QWidget* central) {
    auto* cover = new QVBoxLayout;
    fCoverView = new AlbumArtIcon(central);
    fCoverView->setFixedSize(120, 120);
    fCoverView->setAccessibleName(tr("Cover"));
    fCoverView->setAccessibleDescription(tr("Drop a picture or an image file here"));
    fCoverSize = new QLabel(QStringLiteral("(none)"), central);
    fCoverSize->setAlignment(Qt::AlignCenter);
    auto* editCover = new QPushButton(tr("Ed&it Cover…"), central);
    editCover->setObjectName(QStringLiteral("editCoverButton"));
    cover->addWidget(fCoverView);
    cover->addWidget(fCoverSize);
    cover->addWidget(editCover);
    connect(editCover, &QPushButton::clicked, this, &TaggingWindow::showCoverArtPanel);
    AlbumArt* art = baseDocument()->albumArt();
    connect(fCoverView, &AlbumArtIcon::imageDropped, this,
            [art](const QImage& image) { art->imageDropped(QtPictureCodec::fromImage(image)); });
    connect(fCoverView, &AlbumArtIcon::fileDropped, this,
            [art](const QString& path) { art->fileDropped(path); });
    // Candidates are added on workers; the view follows on this thread.
    connect(art, &AlbumArt::changed, this, &TaggingWindow::syncCover, Qt::QueuedConnection);
    return cover;
}

QHBoxLayout* TaggingWindow::buildButtonRow(QWidget* central, const QList<QPushButton*>& extra,
                                           const QString& saveText) {
    auto* buttons = new QHBoxLayout;
    fLegendButton = new QPushButton(tr("Lege&nd"), central);
    fLegendButton->setCheckable(true);
    fLegendButton->setObjectName(QStringLiteral("legendButton"));
    fSearchButton = new QPushButton(tr("Sear&ch…"), central);
    fLookUpButton = new QPushButton(tr("Look &Up"), central);
    fLookUpButton->setObjectName(QStringLiteral("lookupButton"));
    fSaveButton = new QPushButton(saveText, central);
    fSaveButton->setObjectName(QStringLiteral("saveButton"));
    buttons->addWidget(fLegendButton);
    buttons->addStretch();
    for (QPushButton* button : extra)
        buttons->addWidget(button);
    buttons->addWidget(fSearchButton);
    buttons->addWidget(fLookUpButton);
    buttons->addWidget(fSaveButton);
    connect(fSearchButton, &QPushButton::clicked, this, &TaggingWindow::showSearchPanel);
    connect(fLookUpButton, &QPushButton::clicked, this, &TaggingWindow::mainLookup);
    connect(fSaveButton, &QPushButton::clicked, fSaveAction, &QAction::trigger);

    fLegendPanel = new LegendPanel;
    fLegendDrawer = new QDockWidget(tr("Legend"), this);
    fLegendDrawer->setObjectName(QStringLiteral("legendDrawer"));
    fLegendDrawer->setWidget(fLegendPanel);
    fLegendDrawer->setFeatures(QDockWidget::DockWidgetClosable);
    addDockWidget(Qt::RightDockWidgetArea, fLegendDrawer);
    fLegendDrawer->hide();
    connect(fLegendButton, &QPushButton::toggled, this, &TaggingWindow::showLegend);
    // Closing the panel itself turns the button off.
    connect(fLegendDrawer, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible && isVisible() && fLegendButton->isChecked()) fLegendButton->setChecked(false);
    });
    return buttons;
}

void TaggingWindow::showSearchPanel() {
    DocumentBase* doc = baseDocument();
    if (!doc->commandsEnabled()) return;
    if (!fSearchPanel) {
        fSearchPanel = new SearchSheet(this);
        connect(fSearchPanel, &QDialog::accepted, this, [this] {
            baseDocument()->setSearchTerms(fSearchPanel->termsField()->text());
            sheetLookup();
        });
    }
    fSearchPanel->termsField()->setText(doc->searchTerms());
    fSearchPanel->termsField()->selectAll();
    fSearchPanel->open();
}

void TaggingWindow::showCoverArtPanel() {
    if (!fCoverPanel) fCoverPanel = new CoverArtPanel(baseDocument()->albumArt(), this);
    fCoverPanel->sync();
    fCoverPanel->open();
}

void TaggingWindow::syncCover() {
    AlbumArt* art = baseDocument()->albumArt();
    fCoverView->showCandidate(art->shownCandidate());
    fCoverSize->setText(art->windowSizeText());
}

void TaggingWindow::showNextCover() {
    if (!nextCoverEnabled()) return;
    baseDocument()->albumArt()->next();
    syncCover();
}

bool TaggingWindow::nextCoverEnabled() const {
    return baseDocument()->commandsEnabled() && baseDocument()->albumArt()->nextEnabled();
}

void TaggingWindow::showLegend(bool on) {
    fLegendDrawer->setVisible(on);
    if (fLegendButton->isChecked() != on) fLegendButton->setChecked(on);
}

bool TaggingWindow::legendShown() const {
    return fLegendDrawer->isVisible();
}

void TaggingWindow::showAlert(const Alert& alert, std::function<void(int)> response) {
    fAlerts.showAlert(alert, std::move(response));
}

ProgressIndicator* TaggingWindow::progressSheet() {
    if (QThread::currentThread() != thread()) {
        if (fProgress) return fProgress;
        static NoProgress none;
        return &none;
    }
    if (!fProgress) {
        fProgress = new ProgressSheet(this);
        // Named after the document, which has its path by now.
        fProgress->setWindowTitle(baseDocument()->displayName());
    }
    return fProgress;
}

void TaggingWindow::closeProgressSheet() {
    if (!fProgress) return;
    fProgress->closeSheet();
    fProgress->deleteLater();
    fProgress = nullptr;
}

void TaggingWindow::syncWindowTitle() {
    const QString name = baseDocument()->displayName();
    setWindowTitle((name.isEmpty() ? tr("Untitled") : name) + QStringLiteral("[*]"));
    if (fProgress && !name.isEmpty()) fProgress->setWindowTitle(name);
    // A save that renamed the folder (or the file): Open Recent names it anew.
    const QString path = documentPath();
    if (!fShownPath.isEmpty() && !path.isEmpty() && path != fShownPath)
        RecentDocuments::rename(fShownPath, path);
    if (!path.isEmpty()) fShownPath = path;
}

void TaggingWindow::setEdited(bool) {
    // The mark says whether a save would write something, whatever was done.
    judgeEdited();
}

void TaggingWindow::judgeEdited() {
    // A worker may be changing the records a save would be planned from.
    if (!baseDocument()->isIdle()) return;
    setWindowModified(baseDocument()->saveWouldWrite());
}

void TaggingWindow::closeEvent(QCloseEvent* event) {
    DocumentBase* doc = baseDocument();
    if (doc->jobRunning() || !doc->isIdle()) {
        event->ignore();
        closeAfterJob();
        return;
    }
    if (isWindowModified() && !fCloseConfirmed) {
        event->ignore();
        QMessageBox* box = SheetAlertHost::makeAlertBox(
            this,
            {tr("Unsaved Changes"),
             tr("Do you want to save the changes you made in \"%1\"?").arg(doc->displayName()),
             {tr("Save"), tr("Cancel"), tr("Don't Save")}},
            [this](int button) {
                if (button == 0) {
                    // The window goes once the save has ended (closedAfterSave).
                    endEditing();
                    baseDocument()->saveDocumentWithDelegate();
                } else if (button == 2) {
                    fCloseConfirmed = true;
                    close();
                }
            });
        box->open();
        return;
    }
    if (!doc->requestClose()) {
        event->ignore();
        return;
    }
    closeProgressSheet();
    event->accept();
}

void TaggingWindow::closeAfterJob() {
    if (fCloseWhenJobEnds) return;
    fCloseWhenJobEnds = true;
    DocumentBase* doc = baseDocument();
    // A save stops as a signal would stop it: the file and the rename step in
    // progress finish and the folder is left consistent; its edits are
    // written, so the window goes without asking. A look-up or opening is
    // cancelled as its Cancel button would; what the user edited before it
    // is still asked about.
    const bool saving = doc->busyState() == BusyState::Saving;
    if (saving)
        SaveSteps::requestStop(0);
    else if (fProgress)
        fProgress->cancelForGood();
    connect(
        doc, &DocumentBase::jobFinished, this,
        [this, saving] {
            // A stop the window asked for must not stop the next save.
            if (saving && SaveSteps::stopSignal() == 0) SaveSteps::clearStop();
            fCloseWhenJobEnds = false;
            if (saving) fCloseConfirmed = true;
            close();
        },
        Qt::SingleShotConnection);
}

void TaggingWindow::leaveUndoKeysToWindow(QWidget* field) {
    field->installEventFilter(this);
}

bool TaggingWindow::eventFilter(QObject* watched, QEvent* event) {
    // Left unclaimed, the keys reach the window's shortcuts.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) return true;
    }
    return DocumentWindow::eventFilter(watched, event);
}
