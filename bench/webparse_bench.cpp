// Prints how long the page parsers take on hostile pages: gnudb search pages
// whose entries carry no "year:" or "genre:" labels, and an All Music Guide
// album page of 100,000 track rows. Best of three runs each.
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/gnudb/Gnudb.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

template <typename Run> double bestOfThree(Run run) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

QString unlabelledGnudbPage(qsizetype bytes) {
    QString page = QStringLiteral("<html><body>\n");
    for (int n = 0; page.size() < bytes; ++n)
        page += QStringLiteral("<a href=\"http://db/cd/rock%1\"><b>Artist %1 / Album %1</b></a>"
                               "<br>\n<a href=\"http://db/gnudb/rock/%2\">Details</a><br>\n")
                    .arg(n)
                    .arg(n, 8, 16, QLatin1Char('0'));
    return page + QStringLiteral("</body></html>");
}

QString hugeAlbumPage(int rows) {
    QString page = QStringLiteral(
        "<div><table><tr><td class=\"passive\">Title <img src=\"/i/spacer.gif\"></td>"
        "<td class=\"passive\">Time <img "
        "src=\"/i/spacer.gif\"></td></tr></table></div></td></tr>\n");
    for (int n = 0; n < rows; ++n)
        page += QStringLiteral("<tr class=\"visible\" id=\"trlink\" onclick=\"z('%1')\"><td>x</td>"
                               "<td>p</td><td>%1</td><td></td><td>Song %1</td><td>4:15</td></tr>\n")
                    .arg(n);
    return page;
}

} // namespace

int main() {
    for (const qsizetype kb : {512, 1024, 2048, 8192}) {
        const QString page = unlabelledGnudbPage(kb * 1024);
        int hits = 0;
        const double seconds = bestOfThree([&] {
            AlbumInfoArray list; // ten kept, as a look-up keeps them
            Gnudb::parseSearchPage(list, page, QStringLiteral("http://db"), std::nullopt, nullptr);
            hits = int(list.count());
        });
        std::printf("gnudb search page without labels, %5lld KB: %7.3f s (%d hits kept)\n",
                    static_cast<long long>(kb), seconds, hits);
    }
    const QString album = hugeAlbumPage(100000);
    int tracks = 0;
    const double seconds = bestOfThree([&] {
        tracks = AllMusicGuide::AlbumDetailsFromAMGAlbumDescription(album, QStringLiteral("#AMG:1"))
                     ->numTracks();
    });
    std::printf("All Music Guide album page of 100,000 rows: %7.3f s (%d tracks kept)\n", seconds,
                tracks);
    return 0;
}
