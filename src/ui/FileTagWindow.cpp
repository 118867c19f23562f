#include "ui/FileTagWindow.h"

#include "art/AlbumArt.h"
#include "art/CoverScaling.h"
#include "ui/AlbumArtIcon.h"
#include "ui/AppMenus.h"
#include "ui/CoverArtPanel.h"
#include "ui/LegendPanel.h"
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

    layout->addLayout(buildButtonRow(central, {}));
    setCentralWidget(central);

    buildMenus();
    watchDocument();
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
    track->setMaximumWidth(50);
    count->setMaximumWidth(50);
    year->setMaximumWidth(80);

    form->addWidget(new QLabel(tr("Title:"), central), 0, 0);
    form->addWidget(title, 0, 1);
    auto* trackRow = new QHBoxLayout;
    trackRow->addWidget(new QLabel(tr("Track:"), central));
    trackRow->addWidget(track);
    trackRow->addWidget(new QLabel(tr("of"), central));
    trackRow->addWidget(count);
    form->addLayout(trackRow, 0, 2, 1, 2);
    form->addWidget(new QLabel(tr("Artist:"), central), 1, 0);
    form->addWidget(artist, 1, 1, 1, 3);
    form->addWidget(new QLabel(tr("Album:"), central), 2, 0);
    form->addWidget(album, 2, 1, 1, 3);
    form->addWidget(new QLabel(tr("Genre:"), central), 3, 0);
    form->addWidget(genre, 3, 1);
    form->addWidget(new QLabel(tr("Year:"), central), 3, 2);
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
        connect(edit, &QLineEdit::textEdited, this, [this, setter = setter](const QString& text) {
            fieldEdited();
            (fDoc.get()->*setter)(text);
        });
        leaveUndoKeysToWindow(edit);
    }

    top->addLayout(buildCoverColumn(central));
    static_cast<QVBoxLayout*>(central->layout())->addLayout(top);
}

void FileTagWindow::buildMenus() {
    auto* menus = new AppMenus(menuBar(), this);
    QMenu* file = menus->fileMenu();
    fDocumentActions.append(
        file->addAction(tr("Save"), QKeySequence::Save, this, [this] { fDoc->saveDocument(); }));

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    fUndoAction = edit->addAction(tr("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), this, [this] {
        fDoc->undo();
        reloadTracks();
    });
    fRedoAction =
        edit->addAction(tr("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this, [this] {
            fDoc->redo();
            reloadTracks();
        });
    connect(&fDoc->undoStack(), &QUndoStack::indexChanged, this, &FileTagWindow::validateMenus);

    QMenu* song = menuBar()->addMenu(tr("&Song"));
    fDocumentActions.append(
        song->addAction(tr("Look Up"), kLookUpShortcut, this, &FileTagWindow::mainLookup));
    fDocumentActions.append(
        song->addAction(tr("Search..."), kSearchShortcut, this, &TaggingWindow::showSearchPanel));
    fNextCoverAction =
        song->addAction(tr("Next Cover"), kNextCoverShortcut, this, &TaggingWindow::showNextCover);
    song->addSeparator();
    fDocumentActions.append(song->addAction(tr("Use Old Title"), this, [this] {
        fDoc->copyOldTitlesToNew(false);
        reloadTracks();
    }));
    fDocumentActions.append(song->addAction(tr("Restore Original Info"), this, [this] {
        fDoc->restoreOrigAlbumInfo();
        reloadTracks();
    }));

    QMenu* web = menuBar()->addMenu(tr("&Web"));
    for (int i = 0; i < 4; ++i) {
        const auto command = FileTagDocument::LookUpCommand(i);
        fLookUpActions.append(
            web->addAction(QString(), this, [this, command] { fDoc->lookUp(command); }));
    }
    menus->addHelpMenu();
    for (QMenu* menu : {file, edit, song, web})
        connect(menu, &QMenu::aboutToShow, this, &FileTagWindow::validateMenus);
    validateMenus();
}

void FileTagWindow::validateMenus() {
    static const char* const kPlainTitles[] = {
        "Look up artist on All Music Guide", "Look up album on All Music Guide",
        "Look up old title on All Music Guide", "Look up new title on All Music Guide"};
    for (int i = 0; i < fLookUpActions.size(); ++i) {
        const FileTagDocument::CommandState state =
            fDoc->validateLookUp(FileTagDocument::LookUpCommand(i));
        fLookUpActions[i]->setEnabled(state.enabled);
        fLookUpActions[i]->setText(state.enabled ? state.title : tr(kPlainTitles[i]));
    }
    const bool idle = fDoc->commandsEnabled();
    for (QAction* a : fDocumentActions)
        a->setEnabled(idle);
    fNextCoverAction->setEnabled(idle && nextCoverEnabled());
    const QUndoStack& undo = fDoc->undoStack();
    fUndoAction->setEnabled(idle && undo.canUndo());
    fUndoAction->setText(undo.canUndo() ? tr("Undo %1").arg(undo.undoText()) : tr("Undo"));
    fRedoAction->setEnabled(idle && undo.canRedo());
    fRedoAction->setText(undo.canRedo() ? tr("Redo %1").arg(undo.redoText()) : tr("Redo"));
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

bool FileTagWindow::saveWouldChange() const {
    if (!fDoc->song()) return false;
    for (StatusIcons::Color color : StatusIcons::colorsOf(fDoc->fileStatus()))
        if (color == StatusIcons::Red) return true;
    return false;
}

void FileTagWindow::mainLookup() {
    fDoc->mainLookup();
}

void FileTagWindow::sheetLookup() {
    fDoc->sheetLookup();
}
