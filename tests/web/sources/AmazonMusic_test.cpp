#include "web/sources/amazon/AmazonMusic.h"

#include "app/Preferences.h"
#include "prefs/PrefsOptions.h"
#include "web/WebHelpers.h"
#include "web/sources/SourceOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class AmazonMusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        Prefs::initializeDefaults();
        // A trailing slash in the setting does not double the path's.
        Prefs::setOverride(AmazonMusic::kBaseURLKey, QStringLiteral("http://shop.example/"));
        fPrevious = SetURLOpener([this](const QString& url) { opened.push_back(url); });
    }
    void TearDown() override {
        SetURLOpener(fPrevious);
        Prefs::clearOverrides();
    }
    std::vector<QString> opened;
    // As the look-up reads it when clicked.
    static QString base() {
        return Prefs::sourceOptions().baseURL(QString::fromLatin1(AmazonMusic::kBaseURLKey));
    }

private:
    URLOpener fPrevious;
};

TEST_F(AmazonMusicTest, BuildsSearchAddressesWithTheTextEscapedAsGiven) {
    EXPECT_EQ(AmazonMusic::albumLookupString(base(), QStringLiteral("The Wall")),
              QStringLiteral("http://shop.example/exec/obidos/search-handle-url/"
                             "ix=music-album&field-keywords=The%20Wall"));
    // A song is looked up through the album search.
    EXPECT_EQ(AmazonMusic::songLookupString(base(), QString::fromUtf8("Caf\xC3\xA9 & Co")),
              QStringLiteral("http://shop.example/exec/obidos/search-handle-url/"
                             "ix=music-album&field-keywords=Caf%C3%A9%20&%20Co"));
}

TEST_F(AmazonMusicTest, LookUpsOpenTheBrowserAndKeepTheArticle) {
    const SourceOptions options = Prefs::sourceOptions();
    const AmazonMusic amazon;
    using S = MusicSource::PageSubject;
    for (const auto& [subject, text] :
         {std::pair{S::Artist, "The Beatles"}, std::pair{S::Album, "Abbey Road"},
          std::pair{S::Song, "A Day"}})
        OpenURLInBrowserQuiet(amazon.browseURL(subject, QString::fromUtf8(text), options));
    const QString base = QStringLiteral("http://shop.example/exec/obidos/search-handle-url/");
    EXPECT_EQ(opened, (std::vector<QString>{
                          base + QStringLiteral("ix=music-artist&field-keywords=The%20Beatles"),
                          base + QStringLiteral("ix=music-album&field-keywords=Abbey%20Road"),
                          base + QStringLiteral("ix=music-album&field-keywords=A%20Day"),
                      }));
}

} // namespace
