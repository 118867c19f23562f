// Feeds arbitrary bytes, as the fetcher hands a page over (one character per
// byte), to every All Music Guide page parser: album search, song search
// rows, track pages and album pages.
#include "WebParseChecks.h"

#include "model/TrackInfoArray.h"
#include "web/WebHelpers.h"
#include "web/sources/allmusic/AllMusicGuide.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString page = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));

    AlbumInfoArray albums;
    AllMusicGuide::parseAlbumSearchPage(albums, page, std::nullopt, nullptr);
    WebParseChecks::hits(albums);

    Window first{0, page.size()};
    QString title, sql;
    AllMusicGuide::parseFuzzySongSearchResults(page, first, &title, &sql);
    WebParseChecks::field(title);
    WebParseChecks::key(sql);

    // The song walks stop when a row does not parse; a window that does not
    // move would be a hang.
    for (int kind = 0; kind < 2; ++kind) {
        Window w{0, page.size()};
        std::shared_ptr<TrackInfo> old;
        for (;;) {
            const qsizetype before = w.location;
            auto hit = kind == 0 ? AllMusicGuide::TrackInfoFromSongSearchResults(page, title, w)
                                 : AllMusicGuide::TrackInfoFromTrackPage(page, title, w, old.get());
            if (!hit) break;
            if (w.location <= before) std::abort();
            WebParseChecks::hit(*hit);
            old = hit;
        }
    }

    const auto details =
        AllMusicGuide::AlbumDetailsFromAMGAlbumDescription(page, QStringLiteral("#AMG:1"));
    WebParseChecks::details(details.get());
    return 0;
}
