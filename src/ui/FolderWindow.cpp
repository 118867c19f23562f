#include "ui/FolderWindow.h"

#include "art/AlbumArt.h"
#include "art/CoverScaling.h"
#include "ui/AlbumArtIcon.h"
#include "ui/AlbumHitsTableView.h"
#include "ui/AppMenus.h"
#include "ui/BoxSetSheet.h"
#include "ui/CoverArtPanel.h"
#include "ui/FolderStatusDelegate.h"
#include "ui/LegendPanel.h"
#include "ui/Mnemonics.h"
#include "ui/ProgressSheet.h"
#include "ui/SearchSheet.h"
#include "ui/TrovixTableView.h"

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

FolderWindow::FolderWindow(QWidget* parent)
    : TaggingWindow(parent), fDoc(std::make_unique<TrovixDocument>(this)) {
    setObjectName(QStringLiteral("folderWindow"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    buildFields(central);

    fAlbumHitsTableView = new AlbumHitsTableView(fDoc.get(), central);
    fTrackListTableView = new TrovixTableView(fDoc.get(), central);
    auto* splitter = new QSplitter(Qt::Vertical, central);
    splitter->addWidget(fAlbumHitsTableView);
    splitter->addWidget(fTrackListTableView);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter, 1);

    auto* boxSetButton = new QPushButton(tr("&Box Set…"), central);
    connect(boxSetButton, &QPushButton::clicked, this, &FolderWindow::showMultiCDPanel);
    layout->addLayout(buildButtonRow(central, {boxSetButton}, tr("&Save")));
    setCentralWidget(central);

    buildMenus();
    watchDocument();
    // Fields, boxes, hits, tracks, then the buttons left to right.
    QWidget* order[] = {fOldArtistTextField,
                        fOldAlbumTextField,
                        fOldGenreTextField,
                        fOldYearTextField,
                        fLockAlbumInfoButton,
                        fVariousArtistsBtn,
                        fReverseArtistTitleBtn,
                        findChild<QPushButton*>(QStringLiteral("editCoverButton")),
                        fAlbumHitsTableView,
                        fTrackListTableView,
                        legendButton(),
                        boxSetButton,
                        findChild<QPushButton*>(QStringLiteral("lookupButton")),
                        saveButton()};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    resize(980, 680);
}

FolderWindow::~FolderWindow() {
    // The document's worker may still report to this host while it ends.
    fDoc.reset();
}

void FolderWindow::buildFields(QWidget* central) {
    auto* top = new QHBoxLayout;
    auto* form = new QGridLayout;
    fOldArtistTextField = new QLineEdit(central);
    fOldAlbumTextField = new QLineEdit(central);
    fOldGenreTextField = new QLineEdit(central);
    fOldYearTextField = new QLineEdit(central);
    fOldArtistTextField->setObjectName(QStringLiteral("artistField"));
    fOldAlbumTextField->setObjectName(QStringLiteral("albumField"));
    fOldGenreTextField->setObjectName(QStringLiteral("genreField"));
    fOldYearTextField->setObjectName(QStringLiteral("yearField"));
    fOldYearTextField->setMaximumWidth(8 * fontMetrics().averageCharWidth());
    // Mnemonics stay clear of the menus' (File, Edit, Album, Web, Help).
    const auto label = [central](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, central);
        l->setBuddy(buddy);
        return l;
    };
    form->addWidget(label(tr("A&rtist:"), fOldArtistTextField), 0, 0);
    form->addWidget(fOldArtistTextField, 0, 1, 1, 3);
    form->addWidget(label(tr("Albu&m:"), fOldAlbumTextField), 1, 0);
    form->addWidget(fOldAlbumTextField, 1, 1, 1, 3);
    form->addWidget(label(tr("&Genre:"), fOldGenreTextField), 2, 0);
    form->addWidget(fOldGenreTextField, 2, 1);
    form->addWidget(label(tr("&Year:"), fOldYearTextField), 2, 2);
    form->addWidget(fOldYearTextField, 2, 3);

    fLockAlbumInfoButton = new QCheckBox(tr("Loc&k album info"), central);
    fVariousArtistsBtn = new QCheckBox(tr("&Various artists"), central);
    fReverseArtistTitleBtn = new QCheckBox(tr("&Title first, then artist"), central);
    fReverseArtistTitleBtn->setEnabled(false);
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(fLockAlbumInfoButton);
    boxes->addWidget(fVariousArtistsBtn);
    boxes->addWidget(fReverseArtistTitleBtn);
    boxes->addStretch();
    form->addLayout(boxes, 3, 1, 1, 3);
    top->addLayout(form, 1);

    top->addLayout(buildCoverColumn(central));
    static_cast<QVBoxLayout*>(central->layout())->addLayout(top);

    connect(fOldArtistTextField, &QLineEdit::textEdited, this,
            [this](const QString& text) { fDoc->setAlbumField(TagField::Artist, text); });
    connect(fOldAlbumTextField, &QLineEdit::textEdited, this,
            [this](const QString& text) { fDoc->setAlbumField(TagField::Album, text); });
    connect(fOldGenreTextField, &QLineEdit::textEdited, this,
            [this](const QString& text) { fDoc->setAlbumField(TagField::Genre, text); });
    connect(fOldYearTextField, &QLineEdit::textEdited, this,
            [this](const QString& text) { fDoc->setAlbumField(TagField::Year, text); });
    for (QLineEdit* field :
         {fOldArtistTextField, fOldAlbumTextField, fOldGenreTextField, fOldYearTextField})
        leaveUndoKeysToWindow(field);
    connect(fLockAlbumInfoButton, &QCheckBox::toggled, this,
            [this](bool on) { fDoc->setLockAlbumInfo(on); });
    connect(fVariousArtistsBtn, &QCheckBox::clicked, this, [this](bool on) {
        fDoc->setVariousArtists(on);
        fDoc->applier().variousArtistsClicked();
        reloadTracks();
    });
    connect(fReverseArtistTitleBtn, &QCheckBox::clicked, this, [this](bool on) {
        fDoc->setReverseArtistTitle(on);
        fDoc->applier().reverseArtistAndTitleClicked();
        reloadTracks();
    });
}

void FolderWindow::buildMenus() {
    auto* menus = new AppMenus(menuBar(), this);
    QMenu* file = menus->fileMenu();
    menus->addFileAction(saveAction());
    fUndoAction = menus->addEditAction(tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), [this] {
        fTrackListTableView->commitEdit();
        fDoc->undo();
        reloadTracks();
    });
    fRedoAction =
        menus->addEditAction(tr("&Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] {
            fTrackListTableView->commitEdit();
            fDoc->redo();
            reloadTracks();
        });
    connect(&fDoc->undoStack(), &EditHistory::indexChanged, this, &FolderWindow::validateMenus);
    // An undo can take the last change back.
    connect(&fDoc->undoStack(), &EditHistory::indexChanged, this, [this] { judgeEdited(); });
    menus->addEditSeparator();
    fCutAction =
        menus->addEditAction(tr("Cu&t"), QKeySequence::Cut, [this] { fTrackListTableView->cut(); });
    fCopyAction = menus->addEditAction(tr("&Copy"), QKeySequence::Copy,
                                       [this] { fTrackListTableView->copy(); });
    fPasteAction = menus->addEditAction(tr("&Paste"), QKeySequence::Paste,
                                        [this] { fTrackListTableView->paste(); });
    fDeleteAction =
        menus->addEditAction(tr("&Delete"), {}, [this] { fTrackListTableView->clear(); });
    fSelectAllAction = menus->addEditAction(tr("Select &All"), QKeySequence::SelectAll,
                                            [this] { fTrackListTableView->selectAll(); });
    // The table handles its own keys; the menu's shortcuts would clash.
    for (QAction* a : {fCutAction, fCopyAction, fPasteAction, fSelectAllAction})
        a->setShortcutContext(Qt::WidgetShortcut);
    QMenu* edit = menus->editMenu();

    QMenu* album = menuBar()->addMenu(tr("&Album"));
    album->addAction(lookUpAction());
    fDocumentActions.append(
        album->addAction(tr("&Search…"), kSearchShortcut, this, &TaggingWindow::showSearchPanel));
    fNextCoverAction = album->addAction(tr("&Next Cover"), kNextCoverShortcut, this,
                                        &TaggingWindow::showNextCover);
    fDocumentActions.append(
        album->addAction(tr("&Box Set…"), this, &FolderWindow::showMultiCDPanel));
    album->addSeparator();
    fDocumentActions.append(album->addAction(tr("Restore All Original &Titles"), this, [this] {
        fDoc->applier().restoreAllOriginalTitles();
        reloadTracks();
    }));
    fDocumentActions.append(album->addAction(tr("&Restore Original Title"), this, [this] {
        fDoc->applier().restoreOneOriginalTitle();
        reloadTracks();
    }));
    fDocumentActions.append(album->addAction(tr("Restore Original Album &Info"), this, [this] {
        fDoc->applier().restoreOrigAlbumInfo();
        syncFieldsFromDocument();
        reloadTracks();
    }));

    fLookUpMenu = menuBar()->addMenu(tr("&Web"));
    fPageLookUps = PageLookUp::all();
    for (int i = 0; i < fPageLookUps.size(); ++i) {
        const PageLookUp command = fPageLookUps[i];
        if (i > 0 && fPageLookUps[i - 1].site != command.site) fLookUpMenu->addSeparator();
        QAction* action = fLookUpMenu->addAction(
            QString(), this, [this, command] { fDoc->pageLookUps().lookUp(command); });
        fLookUpActions.append(action);
    }
    menus->addHelpMenu();
    buildToolBar(menus->openAction());
    for (QMenu* menu : {file, edit, album, fLookUpMenu})
        connect(menu, &QMenu::aboutToShow, this, &FolderWindow::validateMenus);
    validateMenus();
}

void FolderWindow::validateMenus() {
    for (int i = 0; i < fLookUpActions.size(); ++i) {
        const PageLookUpCommands::CommandState state =
            fDoc->pageLookUps().validateLookUp(fPageLookUps[i]);
        fLookUpActions[i]->setEnabled(state.enabled);
        // Album and song names show as they are, "&" included.
        fLookUpActions[i]->setText(state.enabled ? Mnemonics::escaped(state.title)
                                                 : fPageLookUps[i].plainTitle());
    }
    Mnemonics::assign(fLookUpMenu);
    const bool idle = fDoc->commandsEnabled();
    for (QAction* a : fDocumentActions)
        a->setEnabled(idle);
    fNextCoverAction->setEnabled(idle && nextCoverEnabled());
    const EditHistory& undo = fDoc->undoStack();
    fUndoAction->setEnabled(idle && undo.canUndo());
    fUndoAction->setText(undo.canUndo() ? tr("&Undo %1").arg(Mnemonics::escaped(undo.undoText()))
                                        : tr("&Undo"));
    fRedoAction->setEnabled(idle && undo.canRedo());
    fRedoAction->setText(undo.canRedo() ? tr("&Redo %1").arg(Mnemonics::escaped(undo.redoText()))
                                        : tr("&Redo"));
    fCutAction->setEnabled(idle);
    fCopyAction->setEnabled(idle);
    fDeleteAction->setEnabled(idle);
    fPasteAction->setEnabled(idle && fTrackListTableView->canPaste());
    fSelectAllAction->setEnabled(idle && fDoc->tracks().numberOfRows() > 0);
    validateSharedActions();
}

void FolderWindow::setDocumentPath(const DropActionDict& request) {
    fDoc->setDocumentPath(request.path, request.cleanUp);
    syncWindowTitle();
}

// DocumentHost ----------------------------------------------------------------

void FolderWindow::reloadTracks() {
    syncFieldsFromDocument();
    fTrackListTableView->reloadTracks();
}

void FolderWindow::reloadHits() {
    fAlbumHitsTableView->reloadHits();
    syncFieldsFromDocument();
}

void FolderWindow::endEditing() {
    fTrackListTableView->commitEdit();
}

void FolderWindow::syncFieldsFromDocument() {
    const std::pair<QLineEdit*, QString> fields[] = {
        {fOldArtistTextField, fDoc->albumField(TagField::Artist)},
        {fOldAlbumTextField, fDoc->albumField(TagField::Album)},
        {fOldGenreTextField, fDoc->albumField(TagField::Genre)},
        {fOldYearTextField, fDoc->albumField(TagField::Year)}};
    for (const auto& [edit, text] : fields)
        if (edit->text() != text) edit->setText(text);
    fLockAlbumInfoButton->setChecked(fDoc->lockAlbumInfo());
    fVariousArtistsBtn->setChecked(fDoc->variousArtists());
    fReverseArtistTitleBtn->setChecked(fDoc->reverseArtistTitle());
    fReverseArtistTitleBtn->setEnabled(fDoc->variousArtists());
}

// Commands ------------------------------------------------------------------

void FolderWindow::mainLookup() {
    fDoc->mainLookup();
}

void FolderWindow::sheetLookup() {
    fDoc->lookupCommon();
}

void FolderWindow::showMultiCDPanel() {
    if (!fDoc->commandsEnabled()) return;
    if (!fMultiCDPanel) fMultiCDPanel = new BoxSetSheet(fDoc.get(), this);
    fDoc->boxSetEditor().showMultiCDPanel();
    fMultiCDPanel->reload();
    fMultiCDPanel->open();
}
