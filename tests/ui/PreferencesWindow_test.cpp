#include "ui/PreferencesWindow.h"

#include "app/Preferences.h"
#include "prefs/PrefsModel.h"
#include "ui/TrovixController.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

class PrefsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings store(QStringLiteral("Trovix"), QStringLiteral("Trovix"));
        for (const QString& key : PrefsModel::keys())
            store.remove(key);
        store.sync();
        fController->doPreferences();
        fWindow = fController->preferencesWindow();
        ASSERT_NE(fWindow, nullptr);
    }
    void TearDown() override {
        for (QMessageBox* box : fWindow->findChildren<QMessageBox*>())
            box->done(0);
        fWindow->hide();
    }

    QCheckBox* box(const char* key) const {
        return qobject_cast<QCheckBox*>(fWindow->control(QString::fromLatin1(key)));
    }
    QLineEdit* field(const char* key) const {
        return qobject_cast<QLineEdit*>(fWindow->control(QString::fromLatin1(key)));
    }
    QString example(const char* key) const {
        return fWindow->example(QString::fromLatin1(key))->text();
    }
    QString stored(const char* key) const { return Prefs::stringValue(QString::fromLatin1(key)); }
    // The alert the window shows now, if any.
    QMessageBox* alert() const {
        QTest::qWait(20);
        for (QMessageBox* b : fWindow->findChildren<QMessageBox*>())
            if (b->isVisible()) return b;
        return nullptr;
    }
    // Sorted: the desktop's style orders the buttons by their roles.
    static QStringList buttonTexts(QMessageBox* b) {
        QStringList texts;
        for (QAbstractButton* button : b->buttons())
            texts << button->text();
        texts.sort();
        return texts;
    }
    static void press(QMessageBox* b, const QString& text) {
        for (QAbstractButton* button : b->buttons())
            if (button->text() == text) button->click();
    }

    TrovixController* fController = TrovixController::instance();
    PreferencesWindow* fWindow = nullptr;
};

} // namespace

TEST_F(PrefsWindowTest, FivePanesOpeningOnFileNamesAndReloadingFromTheStoreAtEveryOpening) {
    EXPECT_EQ(fWindow->toolbar()->objectName(), QStringLiteral("mainToolbar"));
    QStringList labels;
    for (QAction* a : fWindow->paneActions())
        labels << a->text();
    EXPECT_EQ(labels,
              (QStringList{"File Names", "Folder Names", "Song Titles", "Cover Art", "General"}));
    EXPECT_EQ(fWindow->currentPane(), QStringLiteral("FileNames"));

    // Every setting of the store sits on a control, and every web source
    // under the Advanced heading of the General pane.
    for (const QString& key : PrefsModel::keys())
        EXPECT_NE(fWindow->control(key), nullptr) << key.toStdString();
    QWidget* general = fWindow->findChild<QWidget*>(QStringLiteral("GeneralPane"));
    ASSERT_NE(general, nullptr);
    EXPECT_NE(general->findChild<QLabel*>(QStringLiteral("advancedHeading")), nullptr);
    EXPECT_TRUE(
        general->isAncestorOf(fWindow->control(QString::fromLatin1(AllMusicGuide::kBaseURLKey))));
    EXPECT_TRUE(general->isAncestorOf(fWindow->control(QString::fromLatin1(FreeDB::kSearchKey))));

    fWindow->paneActions().at(4)->trigger();
    EXPECT_EQ(fWindow->currentPane(), QStringLiteral("General"));
    field(Prefs::kCoverFileName)->setText(QStringLiteral("edited, never saved"));
    fWindow->cancelButton()->click();
    EXPECT_FALSE(fWindow->isVisible());
    Prefs::setValue(QString::fromLatin1(Prefs::kCoverFileName), QStringLiteral("folder"));

    fController->doPreferences();
    EXPECT_EQ(fController->preferencesWindow(), fWindow);
    EXPECT_EQ(fWindow->currentPane(), QStringLiteral("FileNames"));
    EXPECT_EQ(field(Prefs::kCoverFileName)->text(), QStringLiteral("folder"));
}

TEST_F(PrefsWindowTest, CheckBoxesEnableTheirFieldsAndDisabledFieldsKeepTheirText) {
    struct Row {
        QList<std::pair<const char*, bool>> boxes;
        QList<std::pair<const char*, bool>> enabled;
    };
    const Row rows[] = {
        {{{Prefs::kRenameTracks, false},
          {Prefs::kVARenameTracks, true},
          {Prefs::kSFRenameTracks, true}},
         {{Prefs::kTrackFileNameFormat, false},
          {Prefs::kVARenameTracks, false},
          {Prefs::kSFRenameTracks, false},
          {Prefs::kVATrackFileNameFormat, false},
          {Prefs::kSFTrackFileNameFormat, false}}},
        {{{Prefs::kRenameTracks, true},
          {Prefs::kVARenameTracks, false},
          {Prefs::kSFRenameTracks, true}},
         {{Prefs::kTrackFileNameFormat, true},
          {Prefs::kVARenameTracks, true},
          {Prefs::kVATrackFileNameFormat, false},
          {Prefs::kSFTrackFileNameFormat, true}}},
        {{{Prefs::kRenameAlbums, true}, {Prefs::kVARenameAlbums, false}},
         {{Prefs::kAlbumFolderNameFormat, true},
          {Prefs::kVARenameAlbums, true},
          {Prefs::kVAAlbumFolderNameFormat, false}}},
        {{{Prefs::kRenameAlbums, false}, {Prefs::kVARenameAlbums, true}},
         {{Prefs::kAlbumFolderNameFormat, false},
          {Prefs::kVARenameAlbums, false},
          {Prefs::kVAAlbumFolderNameFormat, false}}},
        {{{Prefs::kRenameAlbums, true}, {Prefs::kVARenameAlbums, true}},
         {{Prefs::kVAAlbumFolderNameFormat, true}}},
        {{{Prefs::kVARenameTitles, true}, {Prefs::kSFRenameTitles, false}},
         {{Prefs::kVATitleTagFormat, true}, {Prefs::kSFTitleTagFormat, false}}},
        {{{Prefs::kVARenameTitles, false}, {Prefs::kSFRenameTitles, true}},
         {{Prefs::kVATitleTagFormat, false}, {Prefs::kSFTitleTagFormat, true}}},
        {{{Prefs::kSaveCoverToFile, false}, {Prefs::kResizeCover, true}},
         {{Prefs::kCoverFileName, false},
          {Prefs::kResizePixels, true},
          {Prefs::kResizeOption, true}}},
        {{{Prefs::kSaveCoverToFile, true}, {Prefs::kResizeCover, false}},
         {{Prefs::kCoverFileName, true},
          {Prefs::kResizePixels, false},
          {Prefs::kResizeOption, false}}},
    };
    for (const Row& row : rows) {
        fWindow->showWindow();
        QString trail;
        for (const auto& [key, on] : row.boxes) {
            box(key)->setChecked(on);
            trail += QStringLiteral("%1=%2 ").arg(QString::fromLatin1(key)).arg(on);
        }
        for (const auto& [key, on] : row.enabled)
            EXPECT_EQ(fWindow->control(QString::fromLatin1(key))->isEnabled(), on)
                << trail.toStdString() << "-> " << key;
    }
    // The cover captions go grey with their field; disabled fields keep text.
    box(Prefs::kSaveCoverToFile)->setChecked(false);
    for (QLabel* label : fWindow->coverCaptions())
        EXPECT_FALSE(label->isEnabled());
    box(Prefs::kRenameTracks)->setChecked(false);
    EXPECT_EQ(field(Prefs::kTrackFileNameFormat)->text(), QStringLiteral("%N-%T"));
}

TEST_F(PrefsWindowTest, ExamplesNameTheThirdSampleTrackAfterSmartCapitalization) {
    struct Row {
        const char* key;
        const char* smart;
        const char* plain;
    };
    // Track 9 of a list with a placeholder and two bit rates: (MBR)(INC).
    const Row rows[] = {
        {Prefs::kTrackFileNameFormat, "09-I Love a Good Polka.mp3", "09-i love A Good polka.mp3"},
        {Prefs::kVATrackFileNameFormat, "09-Polka Pete and the Accordions-I Love a Good Polka.mp3",
         "09-polka pete and the accordions-i love A Good polka.mp3"},
        {Prefs::kSFTrackFileNameFormat, "Polka Pete and the Accordions-I Love a Good Polka.mp3",
         "polka pete and the accordions-i love A Good polka.mp3"},
        {Prefs::kAlbumFolderNameFormat,
         "Polka Pete and the Accordions-1999-Polkas to Go!(MBR)(INC)",
         "polka pete and the accordions-1999-Polkas to go!(MBR)(INC)"},
        {Prefs::kVAAlbumFolderNameFormat, "1999-Polkas to Go!(MBR)(INC)",
         "1999-Polkas to go!(MBR)(INC)"},
        {Prefs::kTitleTagFormat, "I Love a Good Polka", "i love A Good polka"},
        {Prefs::kVATitleTagFormat, "Polka Pete and the Accordions-I Love a Good Polka",
         "polka pete and the accordions-i love A Good polka"},
        {Prefs::kSFTitleTagFormat, "Polka Pete and the Accordions-I Love a Good Polka",
         "polka pete and the accordions-i love A Good polka"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(example(row.key), QString::fromUtf8(row.smart)) << row.key;
    box(Prefs::kSmartCapitalization)->setChecked(false);
    for (const Row& row : rows)
        EXPECT_EQ(example(row.key), QString::fromUtf8(row.plain)) << row.key;

    // Typing in a template renders it at once, whatever its rename box says.
    box(Prefs::kRenameTracks)->setChecked(false);
    field(Prefs::kTrackFileNameFormat)->setText(QStringLiteral("%Y %n - %t"));
    EXPECT_EQ(example(Prefs::kTrackFileNameFormat),
              QStringLiteral("1999 09 - ILoveAGoodPolka.mp3"));

    // The omitted characters being typed count before OK, on disk names only.
    field(Prefs::kOmitChars)->clear();
    QTest::keyClicks(field(Prefs::kOmitChars), "ol");
    EXPECT_EQ(example(Prefs::kTrackFileNameFormat), QStringLiteral("1999 09 - ILveAGdPka.mp3"));
    EXPECT_EQ(example(Prefs::kTitleTagFormat), QStringLiteral("i love A Good polka"));
    EXPECT_EQ(stored(Prefs::kOmitChars), QStringLiteral("*?:/\\&"));
}

TEST_F(PrefsWindowTest, OkChecksTheTrackNameTemplatesInOrderBeforeSaving) {
    struct Row {
        const char* fileTemplate;
        bool renameTracks;
        bool vaRename;
        const char* vaTemplate;
        const char* title; // empty: saved at once
        const char* quoted;
    };
    const Row rows[] = {
        {"%T", true, true, "%N-%A-%T", "Possible Duplicate Track Names", "%T"},
        {"%A", true, true, "%N-%A-%T", "Invalid Track Name Template", "%A"},
        {"%T", true, true, "%Y", "Possible Duplicate Track Names", "%T"},
        {"%N-%T", true, true, "%Y", "Invalid Track Name Template", "%Y"},
        {"%N-%T", true, true, "%A-%T", "Possible Duplicate Track Names", "%A-%T"},
        {"%N-%T", true, false, "%Y", "", ""},
        {"%A", false, true, "%A", "", ""},
    };
    for (const Row& row : rows) {
        const std::string trail = std::string(row.fileTemplate) + " / " + row.vaTemplate;
        QSettings(QStringLiteral("Trovix"), QStringLiteral("Trovix"))
            .remove(QString::fromLatin1(Prefs::kTrackFileNameFormat));
        fWindow->showWindow();
        QSignalSpy changed(PrefsNotifier::instance(), &PrefsNotifier::prefsChanged);
        box(Prefs::kRenameTracks)->setChecked(row.renameTracks);
        box(Prefs::kVARenameTracks)->setChecked(row.vaRename);
        field(Prefs::kTrackFileNameFormat)->setText(QString::fromLatin1(row.fileTemplate));
        field(Prefs::kVATrackFileNameFormat)->setText(QString::fromLatin1(row.vaTemplate));
        fWindow->okButton()->click();
        QMessageBox* shown = alert();
        if (!*row.title) {
            EXPECT_EQ(shown, nullptr) << trail;
            EXPECT_FALSE(fWindow->isVisible()) << trail;
            EXPECT_EQ(stored(Prefs::kTrackFileNameFormat), QString::fromLatin1(row.fileTemplate));
            EXPECT_EQ(changed.count(), 1) << trail;
            continue;
        }
        ASSERT_NE(shown, nullptr) << trail;
        EXPECT_EQ(shown->windowTitle(), QString::fromLatin1(row.title)) << trail;
        EXPECT_TRUE(shown->informativeText().startsWith(
            QStringLiteral("The Track Name Template \"%1\" will ").arg(row.quoted)))
            << trail << ": " << shown->informativeText().toStdString();
        EXPECT_TRUE(shown->informativeText().endsWith(
            QStringLiteral("It is best to include a %N in the template.")));
        const bool duplicates = QString::fromLatin1(row.title).startsWith(u"Possible");
        const QStringList expected =
            duplicates ? QStringList{"OK", "Try again"} : QStringList{"OK"};
        EXPECT_EQ(buttonTexts(shown), expected) << trail;
        press(shown, duplicates ? QStringLiteral("Try again") : QStringLiteral("OK"));
        QTest::qWait(20);
        EXPECT_TRUE(fWindow->isVisible()) << trail;
        EXPECT_EQ(stored(Prefs::kTrackFileNameFormat), QStringLiteral("%N-%T")) << trail;
        EXPECT_EQ(changed.count(), 0) << trail;
    }

    // "OK" on the duplicate-names alert saves; 0 and text in the number
    // fields are saved as their defaults.
    fWindow->showWindow();
    box(Prefs::kRenameTracks)->setChecked(true);
    field(Prefs::kTrackFileNameFormat)->setText(QStringLiteral("%T"));
    field(Prefs::kMaxEntriesToFetch)->setText(QStringLiteral("0"));
    field(Prefs::kResizePixels)->setText(QStringLiteral("big"));
    fWindow->okButton()->click();
    QMessageBox* shown = alert();
    ASSERT_NE(shown, nullptr);
    press(shown, QStringLiteral("OK"));
    QTest::qWait(20);
    EXPECT_FALSE(fWindow->isVisible());
    EXPECT_EQ(stored(Prefs::kTrackFileNameFormat), QStringLiteral("%T"));
    EXPECT_EQ(Prefs::intValue(QString::fromLatin1(Prefs::kMaxEntriesToFetch)), 10);
    EXPECT_EQ(Prefs::intValue(QString::fromLatin1(Prefs::kResizePixels)), 160);
}

TEST_F(PrefsWindowTest, RestoreDefaultsShowsEveryDefaultAndStoresNothingUntilOk) {
    Prefs::setValue(QString::fromLatin1(Prefs::kRenameTracks), false);
    Prefs::setValue(QString::fromLatin1(Prefs::kTrackFileNameFormat), QStringLiteral("%T"));
    Prefs::setValue(QString::fromLatin1(Prefs::kOmitChars), QString());
    Prefs::setValue(QString::fromLatin1(Prefs::kTagVersion), 2);
    Prefs::setValue(QString::fromLatin1(Prefs::kResizePixels), 300);
    Prefs::setValue(QString::fromLatin1(Prefs::kResizeOption), 2);
    Prefs::setValue(QString::fromLatin1(AllMusicGuide::kBaseURLKey),
                    QStringLiteral("http://127.0.0.1:9"));
    fWindow->showWindow();
    EXPECT_FALSE(field(Prefs::kTrackFileNameFormat)->isEnabled());
    auto* tagVersion =
        qobject_cast<QComboBox*>(fWindow->control(QString::fromLatin1(Prefs::kTagVersion)));
    EXPECT_EQ(tagVersion->currentIndex(), 0);

    fWindow->restoreDefaultsButton()->click();
    PrefsModel defaults;
    for (const QString& key : PrefsModel::keys())
        defaults.setField(key, Prefs::defaultValue(key));
    for (const QString& key : PrefsModel::keys())
        EXPECT_EQ(fWindow->editedValue(key).toString(), defaults.field(key).toString())
            << key.toStdString();
    EXPECT_TRUE(field(Prefs::kTrackFileNameFormat)->isEnabled());
    EXPECT_EQ(example(Prefs::kTrackFileNameFormat), QStringLiteral("09-I Love a Good Polka.mp3"));
    EXPECT_EQ(stored(Prefs::kTrackFileNameFormat), QStringLiteral("%T"));

    fWindow->cancelButton()->click();
    EXPECT_EQ(stored(Prefs::kOmitChars), QString());
    fWindow->showWindow();
    fWindow->restoreDefaultsButton()->click();
    fWindow->okButton()->click();
    EXPECT_FALSE(fWindow->isVisible());
    EXPECT_EQ(stored(Prefs::kOmitChars), QStringLiteral("*?:/\\&"));
    EXPECT_EQ(Prefs::intValue(QString::fromLatin1(Prefs::kTagVersion)), 3);
    EXPECT_EQ(Prefs::intValue(QString::fromLatin1(Prefs::kResizePixels)), 160);
    EXPECT_EQ(Prefs::intValue(QString::fromLatin1(Prefs::kResizeOption)), 0);
    EXPECT_TRUE(Prefs::boolValue(QString::fromLatin1(Prefs::kRenameTracks)));
    EXPECT_EQ(stored(AllMusicGuide::kBaseURLKey), QStringLiteral("http://www.allmusic.com"));
}
