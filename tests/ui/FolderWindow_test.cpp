#include "ui/FolderWindow.h"

#include "app/Preferences.h"
#include "app/RecentDocuments.h"
#include "docs/FolderTagThread.h"
#include "support/AlbumFolderFixture.h"
#include "support/LoopbackAlbumWeb.h"
#include "system/QueuedCall.h"
#include "system/SaveSteps.h"
#include "system/ThreadHandover.h"
#include "ui/AlbumArtIcon.h"
#include "ui/AlbumHitsTableView.h"
#include "ui/BoxSetSheet.h"
#include "ui/CoverArtPanel.h"
#include "ui/FileWithIconDelegate.h"
#include "ui/FolderStatusDelegate.h"
#include "ui/HitsModel.h"
#include "ui/LegendPanel.h"
#include "ui/Mnemonics.h"
#include "ui/ProgressSheet.h"
#include "ui/ThemeColors.h"
#include "ui/TrackListModel.h"
#include "ui/TrovixTableView.h"
#include "web/sources/allmusic/AllMusicGuide.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// A folder window over a real album folder, looked up against a loopback
// site that knows one album.
class FolderWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoopbackAlbumWeb::enableOnlyAMG();
        // Renaming off: a save writes tags only, and a window is edited
        // only by what the test does.
        Prefs::setValue(QString::fromLatin1(Prefs::kRenameTracks), false);
        Prefs::setValue(QString::fromLatin1(Prefs::kRenameAlbums), false);
        ASSERT_TRUE(fFolder.isValid());
        ASSERT_TRUE(fFolder.setFolderName(QStringLiteral("Demo Album")));
        const QStringList titles{"One", "Two", "Three", "Four", "Five"};
        for (int i = 0; i < titles.size(); ++i)
            ASSERT_TRUE(
                fFolder.add({QStringLiteral("%1.mp3").arg(i + 1), titles[i],
                             QStringLiteral("The Band"), QStringLiteral("Demo"), i + 1, 5,
                             QStringLiteral("2001"), QStringLiteral("Rock"), std::nullopt}));
        fWeb.addAlbum({QStringLiteral("#AMG:r1"),
                       QStringLiteral("The Band"),
                       QStringLiteral("Demo"),
                       QStringLiteral("2001"),
                       QStringLiteral("Rock"),
                       {"Uno", "Dos", "Tres", "Cuatro", "Cinco"}});
        fWindow = new FolderWindow;
        fWindow->document()->setSources(fWeb.sources());
        fWindow->show();
    }
    void TearDown() override {
        closeAlerts();
        delete fWindow;
    }

    void open() {
        fWindow->setDocumentPath({fFolder.path(), false});
        fWindow->document()->waitUntilIdle();
        QCoreApplication::processEvents();
    }
    // The window-modal alert boxes on the window.
    QList<QMessageBox*> alerts() const { return fWindow->findChildren<QMessageBox*>(); }
    void closeAlerts() {
        for (QMessageBox* box : alerts())
            box->done(0);
        QCoreApplication::processEvents();
    }
    // Chooses the site's hit, as a click would.
    void applyWebHit() {
        const HitTable& hits = fWindow->document()->hitTable();
        for (int r = 0; r < hits.count(); ++r)
            if (hits.hitAt(r)->resultKey().startsWith(QLatin1String("#AMG:")))
                fWindow->document()->applier().handleHitClick(r);
        fWindow->reloadTracks();
    }
    QStringList column(const QString& id) const {
        TrackListModel* model = fWindow->trackTable()->trackModel();
        QStringList values;
        for (int r = 0; r < model->rowCount(); ++r)
            values.append(model->index(r, model->columnOf(id)).data().toString());
        return values;
    }

    AlbumFolderFixture fFolder;
    LoopbackAlbumWeb fWeb;
    FolderWindow* fWindow = nullptr;
};

} // namespace

TEST_F(FolderWindowTest, OpeningFillsTheTables) {
    open();
    EXPECT_EQ(fWindow->windowTitle(), QStringLiteral("Demo Album[*]"));
    EXPECT_EQ(fWindow->trackTable()->trackModel()->rowCount(), 5);
    EXPECT_EQ(column(QStringLiteral("oldFileTitle")),
              (QStringList{"One", "Two", "Three", "Four", "Five"}));
    EXPECT_EQ(column(QStringLiteral("newTrack")), (QStringList{"1/5", "2/5", "3/5", "4/5", "5/5"}));
    EXPECT_EQ(fWindow->artistField()->text(), QStringLiteral("The Band"));
    EXPECT_EQ(fWindow->albumField()->text(), QStringLiteral("Demo"));
    // The web hit and the two pseudo-hits; the best is selected and applied.
    EXPECT_EQ(fWindow->hitsTable()->model()->rowCount(), 3);
    EXPECT_EQ(fWindow->hitsTable()->selectedRow(), 0);
    EXPECT_TRUE(alerts().isEmpty());
    EXPECT_FALSE(fWindow->currentProgressSheet());
}

TEST_F(FolderWindowTest, ClickingAHitAppliesIt) {
    open();
    AlbumHitsTableView* hits = fWindow->hitsTable();
    auto rowOf = [&](const QString& prefix) {
        for (int r = 0; r < hits->model()->rowCount(); ++r)
            if (hits->model()->index(r, 0).data(Qt::ToolTipRole).toString().startsWith(prefix))
                return r;
        return -1;
    };
    const int webRow = rowOf(QStringLiteral("#AMG:"));
    const int tagRow = rowOf(QStringLiteral("#TAG:"));
    ASSERT_GE(webRow, 0);
    ASSERT_GE(tagRow, 0);
    const QRect cell = hits->visualRect(hits->model()->index(webRow, 1));
    QTest::mouseClick(hits->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(fWindow->document()->hitTable().selectedRow(), webRow);
    EXPECT_EQ(column(QStringLiteral("newFile")),
              (QStringList{"Uno", "Dos", "Tres", "Cuatro", "Cinco"}));

    // A key that moves the selection applies the hit it lands on.
    hits->setFocus();
    hits->setCurrentIndex(hits->model()->index(webRow, 1));
    const bool down = tagRow > webRow;
    for (int i = 0; i < std::abs(tagRow - webRow); ++i)
        QTest::keyClick(hits, down ? Qt::Key_Down : Qt::Key_Up);
    EXPECT_EQ(fWindow->document()->hitTable().selectedRow(), tagRow);
    EXPECT_EQ(column(QStringLiteral("newFile")),
              (QStringList{"One", "Two", "Three", "Four", "Five"}));
}

TEST_F(FolderWindowTest, VariousArtistsInsertsTheArtistColumnBeforeNewFile) {
    open();
    TrackListModel* model = fWindow->trackTable()->trackModel();
    EXPECT_EQ(model->columnOf(QStringLiteral("artist")), -1);
    EXPECT_FALSE(fWindow->reverseButton()->isEnabled());
    fWindow->variousArtistsButton()->click();
    const int artist = model->columnOf(QStringLiteral("artist"));
    ASSERT_GE(artist, 0);
    EXPECT_EQ(artist + 1, model->columnOf(QStringLiteral("newFile")));
    EXPECT_TRUE(fWindow->reverseButton()->isEnabled());
    fWindow->variousArtistsButton()->click();
    EXPECT_EQ(model->columnOf(QStringLiteral("artist")), -1);
}

TEST_F(FolderWindowTest, DeleteRemovesTheSelectedRows) {
    open();
    TrovixTableView* table = fWindow->trackTable();
    table->setFocus();
    table->selectionModel()->select(table->model()->index(1, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->selectionModel()->select(table->model()->index(3, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_EQ(column(QStringLiteral("oldFileTitle")), (QStringList{"One", "Three", "Five"}));
    table->selectRow(0);
    QTest::keyClick(table, Qt::Key_Backspace);
    EXPECT_EQ(column(QStringLiteral("oldFileTitle")), (QStringList{"Three", "Five"}));
}

TEST_F(FolderWindowTest, CopyAndPasteGoThroughTheClipboard) {
    open();
    TrovixTableView* table = fWindow->trackTable();
    table->selectRow(0);
    table->copy();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasFormat(TrovixDocument::kTracksType));
    EXPECT_TRUE(TrovixDocument::kTracksType.endsWith(QLatin1String(".AudioTrack2")));
    // The copied file is already listed: pasting it would tag it twice.
    table->paste();
    EXPECT_EQ(table->model()->rowCount(), 5);
    EXPECT_EQ(column(QStringLiteral("newTrack")).last(), QStringLiteral("5/5"));
    EXPECT_EQ(fWindow->statusBar()->currentMessage(),
              QStringLiteral("Not pasted: “1.mp3” already in this album."));
    // Cut and paste moves it to the end.
    table->cut();
    table->paste();
    EXPECT_EQ(column(QStringLiteral("oldFileTitle")).last(), QStringLiteral("One"));
    EXPECT_EQ(fWindow->document()->tracks().selectedTracks(), (QList<qsizetype>{4}));
}

TEST_F(FolderWindowTest, DraggingRowsBetweenRowsReorders) {
    struct Row {
        int dropRow; // -1: past the end
        QStringList order;
    };
    const Row rows[] = {{4, {"One", "Three", "Two", "Four", "Five"}},
                        {-1, {"One", "Three", "Five", "Two", "Four"}}};
    Prefs::setValue(QString::fromLatin1(AllMusicGuide::kSearchKey), false); // keep the file order
    open();
    closeAlerts();
    for (const Row& row : rows) {
        fWindow->document()->applier().restoreAllOriginalTitles();
        // Back to the folder's order.
        fWindow->document()->tracks().didClickTableColumn(QStringLiteral("oldFileName"));
        fWindow->reloadTracks();
        TrackListModel* model = fWindow->trackTable()->trackModel();
        std::unique_ptr<QMimeData> data(model->mimeData({model->index(3, 0), model->index(1, 0)}));
        EXPECT_TRUE(data->hasFormat(TrovixDocument::kTrackRowsType));
        // Onto a row is refused.
        EXPECT_FALSE(
            model->canDropMimeData(data.get(), Qt::CopyAction, -1, -1, model->index(2, 0)));
        ASSERT_TRUE(model->dropMimeData(data.get(), Qt::CopyAction, row.dropRow, 0, {}));
        EXPECT_EQ(column(QStringLiteral("oldFileTitle")), row.order);
    }
}

TEST_F(FolderWindowTest, RowsDraggedFromAnotherWindowAreRefused) {
    Prefs::setValue(QString::fromLatin1(AllMusicGuide::kSearchKey), false); // keep the file order
    open();
    FolderWindow other;
    other.setDocumentPath({fFolder.path(), false});
    other.document()->waitUntilIdle();
    QCoreApplication::processEvents();
    TrackListModel* source = fWindow->trackTable()->trackModel();
    TrackListModel* target = other.trackTable()->trackModel();
    std::unique_ptr<QMimeData> data(source->mimeData({source->index(1, 0), source->index(3, 0)}));
    EXPECT_FALSE(target->canDropMimeData(data.get(), Qt::CopyAction, 0, 0, {}));
    EXPECT_FALSE(target->dropMimeData(data.get(), Qt::CopyAction, 0, 0, {}));
    EXPECT_EQ(other.document()->trackArray().at(0)->getOldTitle(), QStringLiteral("One"));
    // Rows that came from no table at all are refused too.
    QMimeData bare;
    bare.setData(TrovixDocument::kTrackRowsType, TrackListModel::encodeRows({1}));
    EXPECT_FALSE(source->canDropMimeData(&bare, Qt::CopyAction, 0, 0, {}));
    EXPECT_TRUE(source->canDropMimeData(data.get(), Qt::CopyAction, 0, 0, {}));

    // The box-set lists keep to their own window the same way.
    fWindow->showMultiCDPanel();
    other.showMultiCDPanel();
    QAbstractItemModel* boxSource = fWindow->boxSetSheet()->listView()->model();
    QAbstractItemModel* boxTarget = other.boxSetSheet()->listView()->model();
    std::unique_ptr<QMimeData> boxRows(boxSource->mimeData({boxSource->index(0, 0)}));
    EXPECT_FALSE(boxTarget->canDropMimeData(boxRows.get(), Qt::CopyAction, 0, 0, {}));
    EXPECT_TRUE(boxSource->canDropMimeData(boxRows.get(), Qt::CopyAction, 0, 0, {}));
    fWindow->boxSetSheet()->accept();
    other.boxSetSheet()->accept();
}

TEST_F(FolderWindowTest, UndoKeysInAFieldStepThroughTheWholeWindowsEdits) {
    open();
    closeAlerts();
    fWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow));
    QLineEdit* field = fWindow->genreField();
    field->setFocus();
    const QString before = field->text();
    QTest::keyClicks(field, QStringLiteral("xy"));
    fWindow->trackTable()->selectRow(1);
    fWindow->trackTable()->clear();
    ASSERT_EQ(fWindow->trackTable()->model()->rowCount(), 4);

    // One history: the row comes back first, then the typing goes.
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(fWindow->trackTable()->model()->rowCount(), 5);
    EXPECT_EQ(field->text(), before + QStringLiteral("xy"));
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), before);
    EXPECT_EQ(fWindow->document()->albumField(TagField::Genre), before);
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(fWindow->document()->albumField(TagField::Genre), before + QStringLiteral("xy"));
    EXPECT_EQ(field->text(), before + QStringLiteral("xy"));
}

TEST_F(FolderWindowTest, ProgressSheetCancelEndsALookUpWithStatus2) {
    // The opening's look-up: the scanned tracks are listed meanwhile.
    fWeb.setSlow(true);
    fWindow->setDocumentPath({fFolder.path(), false});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            ProgressSheet* sheet = fWindow->currentProgressSheet();
            return sheet && sheet->isVisible() && sheet->cancelButton()->isEnabled() &&
                   sheet->caption().contains(QLatin1String("All Music Guide"));
        },
        10000));
    ProgressSheet* sheet = fWindow->currentProgressSheet();
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    // Named after the album, not "Untitled"; the tracks stay listed.
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Demo Album"));
    EXPECT_EQ(fWindow->trackTable()->model()->rowCount(), 5);
    EXPECT_FALSE(fWindow->document()->isIdle());
    fWindow->validateMenus();
    EXPECT_TRUE(fWindow->cancelAction()->isEnabled());

    QTest::keyClick(sheet, Qt::Key_Escape); // Escape presses Cancel
    EXPECT_EQ(sheet->caption(), QStringLiteral("Cancelling..."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return fWindow->document()->isIdle(); }, 8000));
    EXPECT_EQ(fWindow->document()->worker()->status(), 2);
    EXPECT_FALSE(fWindow->currentProgressSheet());
    EXPECT_TRUE(alerts().isEmpty()); // a cancel shows no alert
}

// Closing (or quitting) during a look-up cancels it, then closes as usual.
TEST_F(FolderWindowTest, ClosingDuringALookUpCancelsItAndCloses) {
    open();
    fWeb.setSlow(true);
    fWindow->mainLookup();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fWindow->currentProgressSheet() != nullptr; }, 5000));
    QPointer<FolderWindow> window = fWindow;
    fWindow->close();
    EXPECT_TRUE(window->closePending());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window || !window->isVisible(); }, 8000));
    if (!window) fWindow = new FolderWindow; // for TearDown
}

TEST_F(FolderWindowTest, LookUpMenuTitlesFollowTheFields) {
    open();
    fWindow->validateMenus();
    const QList<QAction*> actions = fWindow->lookUpActions();
    ASSERT_EQ(actions.size(), 12);
    EXPECT_TRUE(actions[0]->isEnabled());
    // Every title has its own mnemonic; iconText() is the title without it.
    QSet<QChar> mnemonics;
    for (QAction* a : actions)
        mnemonics.insert(Mnemonics::of(a->text()));
    EXPECT_EQ(mnemonics.size(), 12);
    EXPECT_FALSE(mnemonics.contains(QChar()));
    EXPECT_EQ(actions[0]->iconText(), QStringLiteral("Look up The Band on All Music Guide"));
    EXPECT_EQ(actions[5]->iconText(), QStringLiteral("Look up Demo on Google Music"));
    // No track selected: the song look-ups are off.
    fWindow->trackTable()->clearSelection();
    fWindow->validateMenus();
    EXPECT_FALSE(actions[2]->isEnabled());
    applyWebHit();
    fWindow->trackTable()->selectRow(1);
    fWindow->validateMenus();
    EXPECT_EQ(actions[10]->iconText(), QStringLiteral("Look up Two on Amazon Music"));
    EXPECT_EQ(actions[11]->iconText(), QStringLiteral("Look up Dos on Amazon Music"));
    // A name with "&" shows it, not a mnemonic.
    fWindow->document()->setAlbumField(TagField::Artist, QStringLiteral("Sun & Moon"));
    fWindow->validateMenus();
    EXPECT_EQ(actions[0]->iconText(), QStringLiteral("Look up Sun & Moon on All Music Guide"));
    // A new title that differs from the old only in case: no new-song look-up.
    fWindow->document()->applier().restoreAllOriginalTitles();
    fWindow->validateMenus();
    EXPECT_FALSE(actions[11]->isEnabled());
}

TEST_F(FolderWindowTest, LegendButtonOpensAndClosesTheLegend) {
    EXPECT_FALSE(fWindow->legendShown());
    fWindow->legendButton()->click();
    EXPECT_TRUE(fWindow->legendShown());
    EXPECT_TRUE(fWindow->legendPanel()->isVisible());
    fWindow->legendButton()->click();
    EXPECT_FALSE(fWindow->legendShown());
}

TEST_F(FolderWindowTest, BoxSetSheetListsAlbumsWithItsCaption) {
    open();
    fWindow->showMultiCDPanel();
    BoxSetSheet* sheet = fWindow->boxSetSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    ASSERT_EQ(sheet->listView()->model()->rowCount(), 1);
    EXPECT_EQ(sheet->listView()->model()->index(0, 0).data().toString(),
              QStringLiteral("The Band / Demo"));
    sheet->accept();
    EXPECT_EQ(sheet->rubric()->text(),
              QStringLiteral("There are currently 5 tracks from 1 CD in the Box Set list."));
    EXPECT_EQ(sheet->rubric()->palette().color(QPalette::WindowText),
              BoxSetSheet::rubricColor(sheet->palette()));

    fWindow->showMultiCDPanel();
    sheet->listView()->selectionModel()->select(sheet->listView()->model()->index(0, 0),
                                                QItemSelectionModel::Select);
    QTest::keyClick(sheet->listView(), Qt::Key_Delete);
    EXPECT_EQ(sheet->listView()->model()->rowCount(), 1);
    sheet->accept();
}

// A new title changed only in case is still a change a save would write:
// the window is edited and Ctrl+W asks; Escape answers Cancel.
TEST_F(FolderWindowTest, ACaseOnlyTitleEditIsAskedAboutOnClose) {
    open();
    closeAlerts();
    fWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow));
    ASSERT_FALSE(fWindow->isWindowModified());
    TrovixTableView* table = fWindow->trackTable();
    table->setFocus();
    table->setCurrentIndex(table->model()->index(0, 0)); // any cell of the row
    QTest::keyClick(table, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("One"));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("ONE"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor commits queued
    EXPECT_EQ(column(QStringLiteral("newFile")).value(0).toStdString(), "ONE");
    EXPECT_TRUE(fWindow->isWindowModified());

    QTest::keyClick(fWindow, Qt::Key_W, Qt::ControlModifier);
    ASSERT_EQ(alerts().size(), 1);
    QMessageBox* box = alerts().first();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Unsaved Changes"));
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    const std::pair<const char*, QMessageBox::ButtonRole> roles[] = {
        {"Save", QMessageBox::AcceptRole},
        {"Cancel", QMessageBox::RejectRole},
        {"Don't Save", QMessageBox::DestructiveRole}};
    for (const auto& [text, role] : roles) {
        QAbstractButton* button = nullptr;
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QLatin1String(text)) button = b;
        ASSERT_NE(button, nullptr) << text;
        EXPECT_EQ(box->buttonRole(button), role) << text;
    }
    EXPECT_EQ(box->defaultButton()->text(), QStringLiteral("Save"));
    QTest::keyClick(box, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_TRUE(fWindow->isVisible());
    EXPECT_TRUE(fWindow->isWindowModified());
    // Undone, nothing is left to write.
    fWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow));
    QTest::keyClick(fWindow, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_FALSE(fWindow->isWindowModified());
}

// After a save the window shows what is on disk: the letters and the hit
// made from the tags follow the written values.
TEST_F(FolderWindowTest, AfterASaveTheWindowShowsWhatIsOnDisk) {
    open();
    closeAlerts();
    applyWebHit();
    fWindow->document()->setAlbumField(TagField::Genre, QStringLiteral("Jazz"));
    fWindow->document()->setAlbumField(TagField::Year, QStringLiteral("2002"));
    fWindow->document()->saveDocument();
    fWindow->document()->waitUntilIdle();
    QCoreApplication::processEvents();
    ASSERT_TRUE(fWindow->document()->lastSaveSucceeded());
    for (int row = 0; row < 5; ++row) {
        const FolderStatusDelegate::Colors colors =
            fWindow->trackTable()->statusDelegate()->colorsForRow(row);
        for (StatusIcons::Letter letter : {StatusIcons::A, StatusIcons::I, StatusIcons::T})
            EXPECT_EQ(colors[letter], StatusIcons::Green) << row << " " << letter;
    }
    QAbstractItemModel* hits = fWindow->hitsTable()->model();
    int tagRow = -1;
    for (int r = 0; r < hits->rowCount(); ++r)
        if (hits->index(r, 0).data(Qt::ToolTipRole).toString().startsWith(u"#TAG:")) tagRow = r;
    ASSERT_GE(tagRow, 0);
    EXPECT_EQ(hits->index(tagRow, 3).data().toString(), QStringLiteral("2002"));
    EXPECT_EQ(hits->index(tagRow, 4).data().toString(), QStringLiteral("Jazz"));
    EXPECT_FALSE(fWindow->isWindowModified());
}

TEST_F(FolderWindowTest, OpenRecentFollowsAFolderTheSaveRenamed) {
    Prefs::setValue(QString::fromLatin1(Prefs::kRenameAlbums), true);
    RecentDocuments::clear();
    RecentDocuments::add(fFolder.path());
    open();
    closeAlerts();
    fWindow->document()->saveDocument();
    fWindow->document()->waitUntilIdle();
    QCoreApplication::processEvents();
    const QString moved = fWindow->documentPath();
    ASSERT_NE(moved, fFolder.path());
    EXPECT_EQ(RecentDocuments::list(), QStringList{moved});
}

TEST_F(FolderWindowTest, TabGoesThroughFieldsHitsTracksAndSave) {
    open();
    closeAlerts();
    fWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow));
    fWindow->artistField()->setFocus();
    QList<QWidget*> reached{QApplication::focusWidget()};
    for (int i = 0; i < 20 && reached.last() != fWindow->saveButton(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget();
    }
    const QWidget* expected[] = {
        fWindow->artistField(), fWindow->albumField(), fWindow->genreField(), fWindow->yearField(),
        fWindow->hitsTable(),   fWindow->trackTable(), fWindow->saveButton()};
    qsizetype at = -1;
    for (const QWidget* w : expected) {
        const qsizetype found = reached.indexOf(w, at + 1);
        EXPECT_GT(found, at) << w->objectName().toStdString();
        at = qMax(at, found);
    }
}

TEST_F(FolderWindowTest, SavingWithAnEmptyArtistShowsTheMissingFieldSheet) {
    open();
    fWindow->artistField()->clear();
    QTest::keyClicks(fWindow->artistField(), QStringLiteral("x"));
    QTest::keyClick(fWindow->artistField(), Qt::Key_Backspace);
    ASSERT_TRUE(fWindow->document()->albumField(TagField::Artist).isEmpty());
    fWindow->document()->saveDocument();
    ASSERT_EQ(alerts().size(), 1);
    QMessageBox* box = alerts().first();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Missing Field"));
    EXPECT_EQ(box->informativeText(), QStringLiteral("The Artist field must be filled in."));
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons().first()->text(), QStringLiteral("OK"));
}

TEST_F(FolderWindowTest, StatusCellsShowTheDocumentsDecisions) {
    open();
    // The tag hit is applied: titles and album info already right.
    FolderStatusDelegate::Colors colors = fWindow->trackTable()->statusDelegate()->colorsForRow(0);
    EXPECT_EQ(colors[StatusIcons::T], StatusIcons::Green);
    EXPECT_EQ(colors[StatusIcons::I], StatusIcons::Green);
    EXPECT_EQ(colors[StatusIcons::F], StatusIcons::Gray); // renaming is off
    applyWebHit();
    colors = fWindow->trackTable()->statusDelegate()->colorsForRow(0);
    EXPECT_EQ(colors[StatusIcons::T], StatusIcons::Red);
    // The file name is red only when a save would rename the file.
    const AudioTrack& first = *fWindow->document()->trackArray().at(0);
    FileWithIconDelegate* names = fWindow->trackTable()->fileDelegate();
    const QPalette palette = fWindow->trackTable()->palette();
    EXPECT_EQ(names->textColor(first, palette), palette.color(QPalette::Text));
    Prefs::setValue(QString::fromLatin1(Prefs::kRenameTracks), true);
    EXPECT_EQ(names->textColor(first, palette),
              ThemeColors::text(ThemeColors::WillChange, palette));
}

TEST_F(FolderWindowTest, CoverViewsFollowTheCandidatesAndTakeDrops) {
    open();
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QMimeData data;
    data.setImageData(picture);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(fWindow->coverView(), &enter);
    EXPECT_TRUE(fWindow->coverView()->highlighted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(fWindow->coverView(), &drop);
    EXPECT_FALSE(fWindow->coverView()->highlighted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fWindow->coverView()->picture().isNull(); }, 3000));
    EXPECT_EQ(fWindow->coverView()->picture().size(), QSize(40, 30));
    EXPECT_EQ(fWindow->coverView()->toolTip(), QStringLiteral("Dropped image"));
    EXPECT_EQ(fWindow->coverSizeLabel()->text(), QStringLiteral("40 x 30"));

    fWindow->showCoverArtPanel();
    CoverArtPanel* panel = fWindow->coverArtPanel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    EXPECT_EQ(panel->sourceLabel()->text(), QStringLiteral("Added by user"));
    EXPECT_EQ(panel->sizeLabel()->text(), QStringLiteral("40 x 30"));
    panel->clearButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->paneImage()->picture().isNull(); }, 3000));
    EXPECT_EQ(panel->sourceLabel()->text(), QStringLiteral("No image"));
    EXPECT_EQ(fWindow->coverSizeLabel()->text(), QStringLiteral("(none)"));

    // A web address alone highlights but is refused on drop.
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("http://example.invalid/cover.jpg"))});
    QDropEvent refused(QPointF(5, 5), Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel->paneImage(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(FolderWindowTest, AFolderIsEditedOnlyWhenASaveWouldChangeSomething) {
    // Clean-up only keeps the tags, which are already right: nothing to save.
    FolderWindow cleanUp;
    cleanUp.show();
    cleanUp.setDocumentPath({fFolder.path(), true});
    cleanUp.document()->waitUntilIdle();
    QTest::qWait(400);
    EXPECT_FALSE(cleanUp.isWindowModified());
    // A save would now give the folder its templated name.
    Prefs::setValue(QString::fromLatin1(Prefs::kRenameAlbums), true);
    emit PrefsNotifier::instance()->prefsChanged();
    EXPECT_TRUE(cleanUp.isWindowModified());

    // The site's hit gives new titles: a save would write them.
    open();
    applyWebHit();
    ASSERT_EQ(column(QStringLiteral("newFile")).value(0), QStringLiteral("Uno"));
    QTest::qWait(300);
    EXPECT_TRUE(fWindow->isWindowModified());
    // The status cell says so in words too, not by colour alone.
    TrackListModel* model = fWindow->trackTable()->trackModel();
    const QModelIndex status = model->index(0, model->columnOf(QStringLiteral("status")));
    const QString words = status.data(Qt::AccessibleTextRole).toString();
    EXPECT_TRUE(words.contains(QStringLiteral("Title: will change"))) << words.toStdString();
}

namespace {

// Records the caption each time the sheet is shown.
class ShowRecorder : public QObject {
public:
    QStringList captions;
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The save's workers post their progress to the sheet: such an
        // event was made on another thread.
        ThreadHandover::acquire(QueuedCall::handoverToken());
        if (event->type() == QEvent::Show)
            if (auto* sheet = qobject_cast<ProgressSheet*>(watched)) captions << sheet->caption();
        return false;
    }
};

} // namespace

TEST_F(FolderWindowTest, ASaveShowsItsProgressSheet) {
    open();
    applyWebHit();
    fWindow->document()->saveDocument();
    // Made on the main thread before the worker starts, never a stand-in.
    ProgressSheet* sheet = fWindow->currentProgressSheet();
    ASSERT_TRUE(sheet);
    ShowRecorder shows;
    sheet->installEventFilter(&shows);
    fWindow->document()->waitUntilIdle();
    EXPECT_EQ(shows.captions.value(0), QStringLiteral("Re-tagging files..."));
    EXPECT_TRUE(fWindow->document()->lastSaveSucceeded());
}

TEST_F(FolderWindowTest, SaveFromTheClosePromptStaysOpenWhenACheckStopsIt) {
    open();
    fWindow->artistField()->clear();
    QTest::keyClicks(fWindow->artistField(), QStringLiteral("x"));
    QTest::keyClick(fWindow->artistField(), Qt::Key_Backspace);
    ASSERT_TRUE(fWindow->isWindowModified());
    fWindow->close();
    ASSERT_EQ(alerts().size(), 1);
    alerts().first()->defaultButton()->click(); // Save
    QTest::qWait(400);
    EXPECT_TRUE(fWindow->isVisible());
    QStringList titles;
    for (QMessageBox* box : alerts())
        if (box->isVisible()) titles << box->windowTitle();
    EXPECT_EQ(titles, QStringList{QStringLiteral("Missing Field")});
}

// Opens a 200-file album in the fixture's window and starts saving a new
// artist into it; the save is still running on return.
static void startSavingBigAlbum(FolderWindow* window, AlbumFolderFixture& big) {
    ASSERT_TRUE(big.isValid() && big.setFolderName(QStringLiteral("Big Album")));
    for (int i = 1; i <= 200; ++i)
        ASSERT_TRUE(big.add({QStringLiteral("%1.mp3").arg(i, 3, 10, QLatin1Char('0')),
                             QStringLiteral("Song %1").arg(i), QStringLiteral("The Band"),
                             QStringLiteral("Big"), i, 200, QStringLiteral("2001"),
                             QStringLiteral("Rock"), std::nullopt}));
    window->setDocumentPath({big.path(), true});
    window->document()->waitUntilIdle();
    window->document()->setAlbumField(TagField::Artist, QStringLiteral("Another Band"));
    window->document()->saveDocument();
    ASSERT_FALSE(window->document()->isIdle());
}

TEST_F(FolderWindowTest, SavingTwoHundredFilesWhileTheWindowRepaintsAndScrolls) {
    AlbumFolderFixture big;
    ASSERT_NO_FATAL_FAILURE(startSavingBigAlbum(fWindow, big));
    QScrollBar* bar = fWindow->trackTable()->verticalScrollBar();
    int step = 0;
    while (!fWindow->document()->isIdle()) {
        bar->setValue(step++ % (bar->maximum() + 1));
        fWindow->trackTable()->viewport()->repaint();
        fWindow->repaint();
        QCoreApplication::processEvents();
    }
    fWindow->document()->waitUntilIdle();
    ASSERT_TRUE(fWindow->document()->lastSaveSucceeded());
    const AudioTrackArray& tracks = fWindow->document()->trackArray();
    ASSERT_EQ(tracks.count(), 200);
    for (const AudioTrackRef& t : tracks)
        EXPECT_EQ(t->tags().artist, QStringLiteral("Another Band"));
}

// Closing the window during a save stops it the way Ctrl-C stops the command
// line: the folder is left with no temporary names, the window goes once the
// save has ended, and the next save is not stopped.
TEST_F(FolderWindowTest, ClosingDuringASaveStopsItCleanlyAndThenCloses) {
    AlbumFolderFixture big;
    ASSERT_NO_FATAL_FAILURE(startSavingBigAlbum(fWindow, big));
    DocumentBase* doc = fWindow->document();
    QPointer<FolderWindow> window = fWindow;
    fWindow->close();
    EXPECT_TRUE(window && window->isVisible()); // not before the save has ended
    doc->waitUntilIdle();
    QCoreApplication::processEvents();
    EXPECT_TRUE(!window || !window->isVisible());
    if (!window) fWindow = new FolderWindow; // for TearDown
    EXPECT_FALSE(SaveSteps::stopRequested());
    // Stopped in the tag phase, so the folder keeps its name.
    const QString folder = big.path();
    const QStringList names =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(names.filter(QStringLiteral(".mp3")).size(), 200);
    EXPECT_TRUE(names.filter(QStringLiteral(".trovix")).isEmpty())
        << names.join(u' ').toStdString();
}
