#include "app/Preferences.h"

#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        QSettings s(QStringLiteral("Trovix"), QStringLiteral("Trovix"));
        s.clear();
        s.sync();
        Prefs::clearOverrides();
        Prefs::initializeDefaults();
    }
};

TEST_F(PreferencesTest, FreshStoreYieldsTheDefaults) {
    EXPECT_TRUE(Prefs::boolValue(Prefs::kSmartCapitalization));
    EXPECT_FALSE(Prefs::boolValue(Prefs::kBackup));
    EXPECT_EQ(Prefs::intValue(Prefs::kTagVersion), 3);
    EXPECT_EQ(Prefs::stringValue(Prefs::kOmitChars), QStringLiteral("*?:/\\&"));
    EXPECT_EQ(Prefs::stringValue(Prefs::kAlbumFolderNameFormat), QStringLiteral("%A-%Y-%T%b%I"));
    EXPECT_EQ(Prefs::stringValue(Prefs::kCoverFileName), QStringLiteral("Cover Art"));
    EXPECT_TRUE(Prefs::boolValue(Prefs::kEmbedCoverInTags));
    EXPECT_FALSE(Prefs::boolValue(Prefs::kSaveCoverToFile));
    EXPECT_EQ(Prefs::maxEntriesToFetch(), 10);
    EXPECT_EQ(Prefs::resizePixels(), 160);
}

TEST_F(PreferencesTest, StoredZeroReadsAsDefaultForTheTwoCounts) {
    Prefs::setValue(Prefs::kMaxEntriesToFetch, 0);
    Prefs::setValue(Prefs::kResizePixels, 0);
    EXPECT_EQ(Prefs::maxEntriesToFetch(), 10);
    EXPECT_EQ(Prefs::resizePixels(), 160);
    Prefs::setValue(Prefs::kMaxEntriesToFetch, 3);
    EXPECT_EQ(Prefs::maxEntriesToFetch(), 3);
}

TEST_F(PreferencesTest, LegacyCoverSaveMethodMigrates) {
    struct Row {
        int legacy;
        bool toFile;
        bool embed;
    };
    for (const Row& row : {Row{0, true, false}, Row{1, false, true}, Row{7, false, true}}) {
        reset();
        Prefs::setValue(Prefs::kCoverSaveMethod, row.legacy);
        Prefs::initializeDefaults();
        EXPECT_EQ(Prefs::boolValue(Prefs::kSaveCoverToFile), row.toFile) << row.legacy;
        EXPECT_EQ(Prefs::boolValue(Prefs::kEmbedCoverInTags), row.embed) << row.legacy;
    }
}

TEST_F(PreferencesTest, StoreWithNewCoverKeysIsNotMigrated) {
    Prefs::setValue(Prefs::kCoverSaveMethod, 0);
    Prefs::setValue(Prefs::kEmbedCoverInTags, true);
    Prefs::initializeDefaults();
    EXPECT_FALSE(Prefs::boolValue(Prefs::kSaveCoverToFile));
    EXPECT_TRUE(Prefs::boolValue(Prefs::kEmbedCoverInTags));
}

TEST_F(PreferencesTest, OverridesWinButAreNeverStored) {
    Prefs::setOverride(Prefs::kTagVersion, 2);
    EXPECT_EQ(Prefs::intValue(Prefs::kTagVersion), 2);
    QSettings s(QStringLiteral("Trovix"), QStringLiteral("Trovix"));
    EXPECT_FALSE(s.contains(Prefs::kTagVersion));
    Prefs::clearOverrides();
    EXPECT_EQ(Prefs::intValue(Prefs::kTagVersion), 3);
}

TEST_F(PreferencesTest, ChangeIsBroadcast) {
    QSignalSpy spy(PrefsNotifier::instance(), &PrefsNotifier::prefsChanged);
    Prefs::postPrefsChanged();
    EXPECT_EQ(spy.count(), 1);
}

} // namespace
