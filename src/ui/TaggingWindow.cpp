#include "ui/TaggingWindow.h"

#include "art/AlbumArt.h"
#include "art/CoverScaling.h"
#include "docs/DocumentBase.h"
#include "system/SaveSteps.h"
#include "ui/AlbumArtIcon.h"
#include "ui/CoverArtPanel.h"
#include "ui/LegendPanel.h"
#include "ui/SearchSheet.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
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
    // Menus are checked as they open; shortcuts need the state between.
    fMenuTimer.setInterval(250);
    connect(&fMenuTimer, &QTimer::timeout, this, [this] {
        validateMenus();
        judgeEdited();
    });
    fMenuTimer.start();
}

void TaggingWindow::watchDocument() {
    connect(baseDocument(), &DocumentBase::closedAfterSave, this, [this] {
        fCloseConfirmed = true;
        closeProgressSheet();
        close();
    });
}

QVBoxLayout* TaggingWindow::buildCoverColumn(QWidget* central) {
    auto* cover = new QVBoxLayout;
    fCoverView = new AlbumArtIcon(central);
    fCoverView->setFixedSize(120, 120);
    fCoverSize = new QLabel(QStringLiteral("(none)"), central);
    fCoverSize->setAlignment(Qt::AlignCenter);
    auto* editCover = new QPushButton(tr("Edit..."), central);
    editCover->setObjectName(QStringLiteral("editCoverButton"));
    cover->addWidget(fCoverView);
    cover->addWidget(fCoverSize);
    cover->addWidget(editCover);
    connect(editCover, &QPushButton::clicked, this, &TaggingWindow::showCoverArtPanel);
    AlbumArt* art = baseDocument()->albumArt();
    connect(fCoverView, &AlbumArtIcon::imageDropped, this,
            [art](const QImage& image) { art->imageDropped(image); });
    connect(fCoverView, &AlbumArtIcon::fileDropped, this,
            [art](const QString& path) { art->fileDropped(path); });
    // Candidates are added on workers; the view follows on this thread.
    connect(art, &AlbumArt::changed, this, &TaggingWindow::syncCover, Qt::QueuedConnection);
    return cover;
}

QHBoxLayout* TaggingWindow::buildButtonRow(QWidget* central, const QList<QPushButton*>& extra) {
    auto* buttons = new QHBoxLayout;
    fLegendButton = new QPushButton(tr("Legend"), central);
    fLegendButton->setCheckable(true);
    fLegendButton->setObjectName(QStringLiteral("legendButton"));
    auto* searchButton = new QPushButton(tr("Search..."), central);
    auto* lookupButton = new QPushButton(tr("Look Up"), central);
    lookupButton->setObjectName(QStringLiteral("lookupButton"));
    buttons->addWidget(fLegendButton);
    buttons->addStretch();
    for (QPushButton* button : extra)
        buttons->addWidget(button);
    buttons->addWidget(searchButton);
    buttons->addWidget(lookupButton);
    connect(searchButton, &QPushButton::clicked, this, &TaggingWindow::showSearchPanel);
    connect(lookupButton, &QPushButton::clicked, this, &TaggingWindow::mainLookup);

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
    if (!fProgress) fProgress = new ProgressSheet(this);
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
}

void TaggingWindow::setEdited(bool edited) {
    fDocumentEdited = edited;
    if (!edited) fFieldEdited = false;
    judgeEdited();
}

void TaggingWindow::judgeEdited() {
    // A worker may be changing the records the letters are decided from.
    if (!baseDocument()->isIdle()) {
        if (fDocumentEdited) setWindowModified(true);
        return;
    }
    setWindowModified(fDocumentEdited && (fFieldEdited || saveWouldChange()));
}

void TaggingWindow::closeEvent(QCloseEvent* event) {
    DocumentBase* doc = baseDocument();
    // Closing during a save stops it as a signal would: the file and the
    // rename step in progress finish, the folder is left consistent, and the
    // window goes once the save has ended. Other busy states cannot close.
    if (!doc->isIdle()) {
        event->ignore();
        if (doc->busyState() == BusyState::Saving && !fCloseWhenSaveStops) {
            fCloseWhenSaveStops = true;
            SaveSteps::requestStop(0);
            const auto closeNow = [this] {
                // A stop the window asked for must not stop the next save.
                if (SaveSteps::stopSignal() == 0) SaveSteps::clearStop();
                fCloseConfirmed = true;
                close();
            };
            connect(doc, &DocumentBase::jobFinished, this, closeNow, Qt::SingleShotConnection);
        }
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
