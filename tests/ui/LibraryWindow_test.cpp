#include "app/Preferences.h"
#include "support/LibraryFixture.h"
#include "ui/FolderWindow.h"
#include "ui/LibraryWindow.h"
#include "ui/TrovixController.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(LibraryWindow, LooksUpFiltersAndOpensAFolderWithItsHits) {
    for (const MusicSource* source : MusicSources::all())
        Prefs::setValue(source->enabledKey(), false);
    QTemporaryDir dir;
    const QString root = dir.path() + "/Library";
    const FixtureRelease first = FixtureRelease::generated(11, 3, "Anna Ray", "First Light");
    const FixtureRelease second = FixtureRelease::generated(12, 2, "Bo Kettle", "Harbor Songs");
    ASSERT_TRUE(writeAlbumFolder(root + "/Anna Ray/First Light", first));
    ASSERT_TRUE(writeAlbumFolder(root + "/Bo Kettle - Harbor Songs", second));

    auto* window = new LibraryWindow(root, dir.path() + "/state/library.sqlite");
    window->show();
    QSignalSpy finished(window, &LibraryWindow::runFinished);
    window->lookUpButton()->click();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    QAbstractItemModel* model = window->table()->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, LibraryTableModel::kFolder).data().toString(), "First Light");
    EXPECT_EQ(model->index(0, LibraryTableModel::kStatus).data().toString(), "looked up");

    window->filter()->setCurrentIndex(window->filter()->findText("failed"));
    EXPECT_EQ(model->rowCount(), 0);
    window->filter()->setCurrentIndex(window->filter()->findText("looked up"));
    EXPECT_EQ(model->rowCount(), 2);

    // The folder's own window opens with the tracks the run read.
    TrovixController* controller = TrovixController::instance();
    controller->setOpenDelayMs(0);
    QSignalSpy opened(controller, &TrovixController::documentOpened);
    window->openRow(1);
    ASSERT_EQ(opened.count(), 1);
    auto* folderWindow = dynamic_cast<FolderWindow*>(opened[0][0].value<DocumentWindow*>());
    ASSERT_NE(folderWindow, nullptr);
    QSignalSpy idle(folderWindow->document(), &DocumentBase::jobFinished);
    ASSERT_TRUE(idle.wait(20000));
    EXPECT_EQ(folderWindow->document()->trackArray().count(), 2);
    // Applying the run's hit left edits a close would ask about.
    delete folderWindow;
    window->close();
    controller->setOpenDelayMs(1000);
}
