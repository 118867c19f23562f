// Feeds arbitrary bytes, as the fetcher hands a page over, to the Google
// Music page parsers: album lists, the single-album answer, song rows and
// album pages.
#include "WebParseChecks.h"

#include "web/WebHelpers.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString page = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString base = QStringLiteral("http://www.google.com");

    AlbumInfoArray albums;
    GoogleMusic::parseAlbumSearchPage(albums, page, base, std::nullopt, nullptr);
    WebParseChecks::hits(albums);

    Window w{0, page.size()};
    for (;;) {
        const qsizetype before = w.location;
        auto hit = GoogleMusic::TrackInfoWithGOOGHtml(page, w);
        if (w.location == GoogleMusic::kNotFound) break;
        if (w.location <= before) std::abort();
        if (hit) WebParseChecks::hit(*hit);
    }

    WebParseChecks::details(
        GoogleMusic::AlbumDetailsFromGOOGHtml(page, QStringLiteral("#GOOG:a")).get());
    return 0;
}
