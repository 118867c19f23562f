#include "ui/FileTagWindow.h"

#include "art/AlbumArt.h"
#include "art/CoverScaling.h"
#include "ui/AlbumArtIcon.h"
#include "ui/AppMenus.h"
#include "ui/CoverArtPanel.h"
#include "ui/LegendPanel.h"
#include "ui/Mnemonics.h"
#include "ui/SearchSheet.h"
#include "ui/StatusIcons.h"
#include "ui/StatusImage.h"
#include "ui/TrackHitsTableView.h"

#include <QAction>
#include <QDockWidget>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

FileTagWindow::FileTagWindow(QWidget* parent)
    : TaggingWindow(parent), fDoc(std::make_unique<FileTagDocument>(this)) {
    setObjectName(QStringLiteral("fileTagWindow"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    buildFields(central);

    fHitTable = new TrackHitsTableView(fDoc.get(), central);
    layout->addWidget(fHitTable, 1);

    // "Sa&ve": S opens the Song menu here.
    layout->addLayout(buildButtonRow(central, {}, tr("Sa&ve")));
    setCentralWidget(central);

    buildMenus();
    watchDocument();
    QList<QWidget*> order;
    for (const auto& [name, edit] : fFields)
        order << edit;
    order << findChild<QPushButton*>(QStringLiteral("editCoverButton")) << fHitTable
          << legendButton() << findChild<QPushButton*>(QStringLiteral("lookupButton"))
          << saveButton();
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    resize(860, 520);
}

FileTagWindow::~FileTagWindow() {
    // The document's worker may still report to this host while it ends.
    fDoc.reset();
}

void FileTagWindow::buildFields(QWidget* central) {
    auto* top = new QHBoxLayout;
    auto* form = new QGridLayout;
    auto makeField = [&](const char* name) {
        auto* edit = new QLineEdit(central);
        edit->setObjectName(QString::fromLatin1(name) + QStringLiteral("Field"));
        fFields.append({QString::fromLatin1(name), edit});
        return edit;
    };
    QLineEdit* title = makeField("title");
    QLineEdit* track = makeField("track");
    QLineEdit* count = makeField("count");
    QLineEdit* artist = makeField("artist");
    QLineEdit* album = makeField("album");
    QLineEdit* genre = makeField("genre");
    QLineEdit* year = makeField("year");
    const int em = fontMetrics().averageCharWidth();
    track->setMaximumWidth(6 * em);
    count->setMaximumWidth(6 * em);
    year->setMaximumWidth(8 * em);
    // Mnemonics stay clear of the menus' (File, Edit, Song, Web, Help).
    const auto label = [central](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, central);
        l->setBuddy(buddy);
        return l;
    };
    form->addWidget(label(tr("&Title:"), title), 0, 0);
    form->addWidget(title, 0, 1);
    auto* trackRow = new QHBoxLayout;
    trackRow->addWidget(label(tr("Trac&k:"), track));
    trackRow->addWidget(track);
    trackRow->addWidget(label(tr("&of"), count));
    trackRow->addWidget(count);
    form->addLayout(trackRow, 0, 2, 1, 2);
    form->addWidget(label(tr("A&rtist:"), artist), 1, 0);
    form->addWidget(artist, 1, 1, 1, 3);
    form->addWidget(label(tr("Albu&m:"), album), 2, 0);
    form->addWidget(album, 2, 1, 1, 3);
    form->addWidget(label(tr("&Genre:"), genre), 3, 0);
    form->addWidget(genre, 3, 1);
    form->addWidget(label(tr("&Year:"), year), 3, 2);
    form->addWidget(year, 3, 3);
    fStatusImage = new StatusImage(fDoc.get(), central);
    form->addWidget(new QLabel(tr("Status:"), central), 4, 0);
    form->addWidget(fStatusImage, 4, 1, Qt::AlignLeft);
    top->addLayout(form, 1);

    const std::pair<QLineEdit*, void (FileTagDocument::*)(const QString&)> setters[] = {
        {title, &FileTagDocument::setTitleField}, {track, &FileTagDocument::setTrackField},
        {count, &FileTagDocument::setCountField}, {artist, &FileTagDocument::setArtistField},
        {album, &FileTagDocument::setAlbumField}, {genre, &FileTagDocument::setGenreField},
        {year, &FileTagDocument::setYearField}};
    for (const auto& [edit, setter] : setters) {
        connect(edit, &QLineEdit::textEdited, this,
                [this, setter = setter](const QString& text) { (fDoc.get()->*setter)(text); });
        leaveUndoKeysToWindow(edit);
    }

    top->addLayout(buildCoverColumn(central));
    static_cast<QVBoxLayout*>(central->layout())->addLayout(top);
}

void FileTagWindow::buildMenus() {
    auto* menus = new AppMenus(menuBar(), this);
    QMenu* file = menus->fileMenu();
    menus->addFileAction(saveAction());
    fUndoAction = menus->addEditAction(tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), [this] {
        fDoc->undo();
        reloadTracks();
    });
    fRedoAction =
        menus->addEditAction(tr("&Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] {
            fDoc->redo();
            reloadTracks();
        });
    connect(&fDoc->undoStack(), &EditHistory::indexChanged, this, &FileTagWindow::validateMenus);
    // An undo can take the last change back.
    connect(&fDoc->undoStack(), &EditHistory::indexChanged, this, [this] { judgeEdited(); });
    QMenu* edit = menus->editMenu();

    QMenu* song = menuBar()->addMenu(tr("&Song"));
    song->addAction(lookUpAction());
    fDocumentActions.append(
        song->addAction(tr("&Search…"), kSearchShortcut, this, &TaggingWindow::showSearchPanel));
    fNextCoverAction =
        song->addAction(tr("&Next Cover"), kNextCoverShortcut, this, &TaggingWindow::showNextCover);
    song->addSeparator();
    fDocumentActions.append(song->addAction(tr("Use &Old Title"), this, [this] {
        fDoc->copyOldTitlesToNew(false);
        reloadTracks();
    }));
    fDocumentActions.append(song->addAction(tr("&Restore Original Info"), this, [this] {
        fDoc->restoreOrigAlbumInfo();
        reloadTracks();
    }));

    fWebMenu = menuBar()->addMenu(tr("&Web"));
    fPageLookUps = PageLookUp::ofFirstSite();
    for (const PageLookUp& command : fPageLookUps)
        fLookUpActions.append(
            fWebMenu->addAction(QString(), this, [this, command] { fDoc->lookUp(command); }));
    menus->addHelpMenu();
    buildToolBar(menus->openAction());
    for (QMenu* menu : {file, edit, song, fWebMenu})
        connect(menu, &QMenu::aboutToShow, this, &FileTagWindow::validateMenus);
    validateMenus();
}

void FileTagWindow::validateMenus() {
    for (int i = 0; i < fLookUpActions.size(); ++i) {
        const FileTagDocument::CommandState state = fDoc->validateLookUp(fPageLookUps[i]);
        fLookUpActions[i]->setEnabled(state.enabled);
        fLookUpActions[i]->setText(state.enabled ? Mnemonics::escaped(state.title)
                                                 : fPageLookUps[i].plainTitle());
    }
    Mnemonics::assign(fWebMenu);
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
    validateSharedActions();
}

void FileTagWindow::setDocumentPath(const DropActionDict& request) {
    fDoc->setDocumentPath(request.path, request.cleanUp);
    syncWindowTitle();
}

void FileTagWindow::reloadTracks() {
    syncFieldsFromDocument();
    fStatusImage->update();
    fHitTable->viewport()->update();
}

void FileTagWindow::reloadHits() {
    fHitTable->reloadHits();
    syncFieldsFromDocument();
    fStatusImage->update();
}

QLineEdit* FileTagWindow::field(const QString& name) const {
    for (const auto& [fieldName, edit] : fFields)
        if (fieldName == name) return edit;
    return nullptr;
}

QString FileTagWindow::fieldText(const QString& name) const {
    const QLineEdit* edit = field(name);
    return edit ? edit->text() : QString();
}

void FileTagWindow::syncFieldsFromDocument() {
    const std::pair<const char*, QString> values[] = {
        {"title", fDoc->titleField()}, {"track", fDoc->trackField()},
        {"count", fDoc->countField()}, {"artist", fDoc->artistField()},
        {"album", fDoc->albumField()}, {"genre", fDoc->genreField()},
        {"year", fDoc->yearField()}};
    for (const auto& [name, text] : values) {
        QLineEdit* edit = field(QString::fromLatin1(name));
        // Leaves the cursor alone while the user's own text is shown.
        if (edit && edit->text() != text) edit->setText(text);
    }
}

void FileTagWindow::mainLookup() {
    fDoc->mainLookup();
}

void FileTagWindow::sheetLookup() {
    fDoc->sheetLookup();
}
