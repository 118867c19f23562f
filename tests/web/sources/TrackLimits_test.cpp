// Titles are matched to files at a cost of both counts, so no source hands
// over an album of more tracks than WebLimits allows: page parsers keep the
// first ones, MusicBrainz refuses the release.
#include "model/AlbumDetails.h"
#include "web/WebLimits.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainzParser.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int kRows = WebLimits::kMaxTracks + 50;

QString amgAlbumPage() {
    QString page = QStringLiteral(
        "<div><table><tr><td class=\"passive\">Title <img src=\"/i/spacer.gif\"></td>"
        "<td class=\"passive\">Time <img src=\"/i/spacer.gif\"></td></tr></table></div>"
        "</td></tr>\n");
    for (int n = 1; n <= kRows; ++n)
        page += QStringLiteral("<tr class=\"visible\" id=\"trlink\" onclick=\"z('%1')\"><td>x</td>"
                               "<td>p</td><td>%1</td><td></td><td>Song %1</td><td>4:15</td></tr>\n")
                    .arg(n);
    return page;
}

QString googleAlbumPage() {
    QString page = QStringLiteral("Artist: <font size=-1>A</font> Tracks <table>\n");
    for (int n = 1; n <= kRows; ++n)
        page += QStringLiteral("<tr><td>%1.</td><td><a href=/s>Song %1</a></td></tr>\n").arg(n);
    return page + QStringLiteral("</table>");
}

// Two media, each within the per-medium limit, more than an album's in all.
QByteArray musicBrainzBox() {
    QByteArray medium = "{\"tracks\":[";
    for (int n = 0; n < WebLimits::kMaxTracks / 2 + 1; ++n)
        medium += QByteArray(n ? "," : "") + "{\"title\":\"Song\"}";
    medium += "]}";
    return "{\"id\":\"5e1e0000-0000-4000-8000-000000000001\",\"title\":\"Box\",\"media\":[" +
           medium + "," + medium + "]}";
}

TEST(TrackLimits, NoSourceHandsOverMoreTracksThanAnAlbumMayHold) {
    struct Row {
        const char* source;
        std::function<std::shared_ptr<AlbumDetails>()> details;
        int tracks; // -1: refused
    } rows[] = {
        {"All Music Guide",
         [] {
             return AllMusicGuide::AlbumDetailsFromAMGAlbumDescription(amgAlbumPage(),
                                                                       QStringLiteral("#AMG:1"));
         },
         WebLimits::kMaxTracks},
        {"Google Music",
         [] {
             return GoogleMusic::AlbumDetailsFromGOOGHtml(googleAlbumPage(),
                                                          QStringLiteral("#GOOG:a"));
         },
         WebLimits::kMaxTracks},
        {"MusicBrainz", [] { return MusicBrainzParser::parseRelease(musicBrainzBox(), 0).details; },
         -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        const std::shared_ptr<AlbumDetails> details = row.details();
        ASSERT_EQ(bool(details), row.tracks >= 0);
        if (details) {
            EXPECT_EQ(details->numTracks(), row.tracks);
            EXPECT_EQ(details->titleAtIndex(0), QStringLiteral("Song 1"));
        }
    }
}

} // namespace
