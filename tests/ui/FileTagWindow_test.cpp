// The single-file window over its document: fields, song hits, the status
// row and the save checks, against song searches on a loopback server.
#include "ui/FileTagWindow.h"

#include "app/Preferences.h"
#include "media/MusicFile.h"
#include "media/MusicFileFactory.h"
#include "save/SaveBatch.h"
#include "support/LoopbackSongWeb.h"
#include "support/Mp3Fixture.h"
#include "support/SourceTestKit.h"
#include "ui/RelevanceDelegate.h"
#include "ui/SongHitsModel.h"
#include "ui/StatusImage.h"
#include "ui/TrackHitsTableView.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

class FileTagWindowTest : public SourceTest {
protected:
    void SetUp() override {
        SourceTest::SetUp();
        setBase(AllMusicGuide::kBaseURLKey, fWeb.baseUrl());
        setBase(GoogleMusic::kBaseURLKey, fWeb.baseUrl());
        for (const char* key : {AllMusicGuide::kSearchKey, GoogleMusic::kSearchKey})
            Prefs::setOverride(QString::fromLatin1(key), true);
        for (const char* key : {Prefs::kSearchForCoverArt, Prefs::kBackup, Prefs::kRenameTracks,
                                Prefs::kSmartCapitalization})
            Prefs::setOverride(QString::fromLatin1(key), false);
        fWeb.addAlbum({LoopbackSongWeb::Site::AMG,
                       "a1",
                       "The Band",
                       "The Album",
                       "2001",
                       "Rock",
                       {"One", "Song Two", "Three"}});

        fPath = fDir.filePath(QStringLiteral("song.mp3"));
        ASSERT_TRUE(writeSilentMp3(fPath));
        auto file = MusicFileFactory::newMusicFileWithPath(fPath);
        ASSERT_TRUE(file);
        file->setTags({.artist = QStringLiteral("The Band")}, TagField::Artist);
        file->setTags({.title = QStringLiteral("Song Two")}, TagField::Title);
        ASSERT_TRUE(SaveBatch::saveOne(*file).ok());

        fWindow = new FileTagWindow;
        fWindow->show();
        fWindow->setDocumentPath({fPath, false});
        fWindow->document()->waitUntilIdle();
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        for (QMessageBox* box : alerts())
            box->done(0);
        QCoreApplication::processEvents();
        delete fWindow;
        SourceTest::TearDown();
    }
    QList<QMessageBox*> alerts() const { return fWindow->findChildren<QMessageBox*>(); }
    int rowOf(const QString& keyPrefix) const {
        SongHitsModel* model = fWindow->hitsTable()->hitsModel();
        for (int r = 0; r < model->rowCount(); ++r)
            if (model->index(r, 0).data(Qt::ToolTipRole).toString().startsWith(keyPrefix)) return r;
        return -1;
    }

    LoopbackSongWeb fWeb{QStringLiteral("Song Two")};
    QTemporaryDir fDir;
    QString fPath;
    FileTagWindow* fWindow = nullptr;
};

} // namespace

TEST_F(FileTagWindowTest, OpeningShowsTheTagsAndTheSongHitsWithoutApplyingOne) {
    EXPECT_EQ(fWindow->windowTitle(), QStringLiteral("song.mp3[*]"));
    EXPECT_EQ(fWindow->fieldText(QStringLiteral("title")), QStringLiteral("Song Two"));
    EXPECT_EQ(fWindow->fieldText(QStringLiteral("artist")), QStringLiteral("The Band"));
    EXPECT_TRUE(fWindow->fieldText(QStringLiteral("album")).isEmpty());
    const int web = rowOf(QStringLiteral("#AMG:"));
    ASSERT_GE(web, 0);
    EXPECT_EQ(fWindow->hitsTable()->selectedRow(), 0);
    SongHitsModel* model = fWindow->hitsTable()->hitsModel();
    const auto cell = [&](int row, const char* column) {
        return model->index(row, int(SongHitsModel::kColumns.indexOf(QLatin1String(column))))
            .data()
            .toString();
    };
    EXPECT_EQ(cell(web, "album"), QStringLiteral("The Album"));
    EXPECT_EQ(cell(web, "track"), QStringLiteral("2/3"));
    // The relevance bar's length.
    EXPECT_GT(model->index(web, 0).data(RelevanceDelegate::kScoreRole).toInt(), 0);
    EXPECT_TRUE(alerts().isEmpty());
    EXPECT_FALSE(fWindow->currentProgressSheet());
}

TEST_F(FileTagWindowTest, ClickingAHitFillsTheFieldsAndTypingReachesTheDocument) {
    const int web = rowOf(QStringLiteral("#AMG:"));
    ASSERT_GE(web, 0);
    TrackHitsTableView* table = fWindow->hitsTable();
    const QRect cell = table->visualRect(table->model()->index(web, 3));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(fWindow->fieldText(QStringLiteral("album")), QStringLiteral("The Album"));
    EXPECT_EQ(fWindow->fieldText(QStringLiteral("year")), QStringLiteral("2001"));
    EXPECT_EQ(fWindow->fieldText(QStringLiteral("track")), QStringLiteral("2"));
    EXPECT_EQ(fWindow->fieldText(QStringLiteral("count")), QStringLiteral("3"));
    EXPECT_TRUE(fWindow->isWindowModified());

    QLineEdit* title = fWindow->field(QStringLiteral("title"));
    title->selectAll();
    QTest::keyClicks(title, QStringLiteral("New Name"));
    EXPECT_EQ(fWindow->document()->titleField(), QStringLiteral("New Name"));
}

// A title changed only in case is a change a save would write.
TEST_F(FileTagWindowTest, ACaseOnlyChangeMarksTheWindowEdited) {
    EXPECT_FALSE(fWindow->isWindowModified());
    QLineEdit* title = fWindow->field(QStringLiteral("title"));
    title->selectAll();
    QTest::keyClicks(title, QStringLiteral("SONG TWO"));
    EXPECT_TRUE(fWindow->isWindowModified());
}

TEST_F(FileTagWindowTest, SavingWithAnEmptyTitleShowsTheMissingFieldSheet) {
    QLineEdit* title = fWindow->field(QStringLiteral("title"));
    title->selectAll();
    QTest::keyClick(title, Qt::Key_Delete);
    fWindow->document()->saveDocument();
    ASSERT_EQ(alerts().size(), 1);
    QMessageBox* box = alerts().first();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Missing Field"));
    EXPECT_EQ(box->informativeText(), QStringLiteral("The Title field must be filled in."));
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
}

TEST_F(FileTagWindowTest, LookUpCommandsNameTheirSubjects) {
    fWindow->validateMenus();
    const QList<QAction*> actions = fWindow->lookUpActions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_TRUE(actions[0]->isEnabled());
    EXPECT_TRUE(actions[0]->text().contains(QStringLiteral("The Band")));
    // The new title equals the old one: nothing new to look up.
    EXPECT_FALSE(actions[3]->isEnabled());
}

TEST_F(FileTagWindowTest, SavingRenamesTheFileAndTheTitleFollows) {
    Prefs::setOverride(QString::fromLatin1(Prefs::kRenameTracks), true);
    const int web = rowOf(QStringLiteral("#AMG:"));
    ASSERT_GE(web, 0);
    fWindow->document()->handleHitClick(web);
    ASSERT_TRUE(fWindow->isWindowModified());
    fWindow->document()->saveDocument();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fWindow->document()->isIdle(); }, 10000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(alerts().isEmpty());
    const QString renamed = fWindow->document()->docPath();
    EXPECT_NE(QFileInfo(renamed).fileName(), QStringLiteral("song.mp3"));
    EXPECT_TRUE(QFileInfo::exists(renamed));
    EXPECT_FALSE(QFileInfo::exists(fPath));
    EXPECT_EQ(fWindow->windowTitle(), QFileInfo(renamed).fileName() + QStringLiteral("[*]"));
    EXPECT_FALSE(fWindow->isWindowModified());
    auto file = MusicFileFactory::newMusicFileWithPath(renamed);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->readTags().album, QStringLiteral("The Album"));
}

TEST_F(FileTagWindowTest, UndoKeysInAFieldStepThroughTheDocumentsEdits) {
    fWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(fWindow));
    const int web = rowOf(QStringLiteral("#AMG:"));
    ASSERT_GE(web, 0);
    fWindow->document()->handleHitClick(web);
    fWindow->reloadHits();
    ASSERT_EQ(fWindow->fieldText(QStringLiteral("album")), QStringLiteral("The Album"));
    QLineEdit* title = fWindow->field(QStringLiteral("title"));
    title->setFocus();
    title->end(false);
    QTest::keyClicks(title, QStringLiteral("xy"));

    // One history: the typing goes first, then the applied hit.
    QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(title->text(), QStringLiteral("Song Two"));
    EXPECT_EQ(fWindow->document()->titleField(), QStringLiteral("Song Two"));
    EXPECT_EQ(fWindow->fieldText(QStringLiteral("album")), QStringLiteral("The Album"));
    QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(fWindow->fieldText(QStringLiteral("album")).isEmpty());
    QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(fWindow->fieldText(QStringLiteral("album")), QStringLiteral("The Album"));
    QTest::keyClick(title, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(fWindow->document()->titleField(), QStringLiteral("Song Twoxy"));
    EXPECT_EQ(title->text(), QStringLiteral("Song Twoxy"));
}
