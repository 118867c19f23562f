#include "web/sources/googlemusic/GoogleMusic.h"

#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackInfoArray.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "text/SearchString.h"
#include "text/SmartCapitalize.h"
#include "web/WebHelpers.h"
#include "web/WebLimits.h"
#include "web/WebThrottle.h"
#include "web/sources/FieldText.h"
#include "web/sources/SourceFetcher.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/SourceSupport.h"

#include <QSet>

namespace {

SiteThrottle gGoogleThrottle("Google", 2.5);

constexpr int kGoogleAttempts = 3;
constexpr int kGoogleSearchTimeLimit = 30;
constexpr int kGoogleAlbumPageTimeLimit = 10;

constexpr const char* kGoogleURLDump = "/tmp/Trovix_Google_%d.txt";
constexpr const char* kGoogleAlbumSearchDump = "/tmp/Trovix_GOOG_AlbumSearchResults_%d.htm";
constexpr const char* kSongSearchDump = "/tmp/Trovix_Google_SongSearch_%d.htm";
constexpr const char* kGoogleAlbumPageDump = "/tmp/Trovix_Google_%d.htm";

const QString kGoogleInterpreting = QStringLiteral("Interpreting Google Music results...");

using Cut = std::optional<QString>;

Cut cutAll(const QString& source, const char* start, const char* inner, const char* end) {
    Window whole{0, source.size()};
    return cutBetween(source, whole, start, inner, end);
}

// A fetch as the site has always been asked: up to three attempts under the
// site's throttle, the page taken whatever its status. No progress object
// reaches the fetch, so a cancel is noticed once the page is in.
SourceFetcher::Response fetchGooglePage(const QString& url, int timeLimitSecs, const char* urlDump,
                                        const char* pageDump) {
    SourceFetcher::Request request;
    request.url = url;
    request.source = GoogleMusic().name();
    request.timeLimitSecs = timeLimitSecs;
    request.attempts = kGoogleAttempts;
    request.throttle = GoogleMusic::throttle().get();
    request.urlDump = urlDump;
    request.pageDump = pageDump;
    request.anyAnswer = true;
    return SourceFetcher::fetch(request, nullptr);
}

std::shared_ptr<AlbumInfo> makeAlbumHit(const QString& artist, const QString& album,
                                        const QString& reference, const Cut& image) {
    const QString artistText = WebFieldFromHTML(artist);
    const QString albumText = WebFieldFromHTML(album);
    auto hit = AlbumInfo::AlbumInfoFromScratch(artistText, albumText, QStringLiteral(""),
                                               QStringLiteral(""));
    hit->setResultKey(GoogleMusic::kKeyPrefix + reference);
    hit->setIADBCompareString(SourceSupport::compareString(artistText, albumText));
    if (image) hit->setAlbumCoverURL(*image);
    return hit;
}

} // namespace

SiteThrottle& GoogleMusic::throttle() {
    return gGoogleThrottle;
}

QList<MusicSource::Preference> GoogleMusic::preferences() const {
    // Off unless turned on: the pages in the layout parsed here are gone,
    // and a search would send the terms over plain HTTP for nothing.
    return {{QString::fromLatin1(kSearchKey), QStringLiteral("NO")},
            {QString::fromLatin1(kBaseURLKey), QStringLiteral("http://www.google.com")}};
}

QString GoogleMusic::lookupString(const QString& base, const QString& text, const char* resource) {
    if (text.isNull()) return QString();
    return base + QStringLiteral("/musicsearch?q=") +
           EscapeForURLQuiet(RemoveLeadingArticle(text)) + QStringLiteral("&res=") +
           QString::fromLatin1(resource);
}

QString GoogleMusic::browseURL(PageSubject subject, const QString& text,
                               const SourceOptions& options) const {
    static const char* const kKinds[] = {"artist", "album", "song"}; // by PageSubject
    return lookupString(options.baseURL(baseURLKey()), text, kKinds[int(subject)]);
}

// Album search -----------------------------------------------------------

void GoogleMusic::search(AlbumInfoArray& hits, const QString& searchText,
                         const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                         ProgressIndicator* progress) const {
    QString artist, album;
    if (!DecomposeSearchString(searchText, &artist, &album)) return;
    const QString base = options.baseURL(baseURLKey());
    const QString url = lookupString(base, album, "album");
    if (url.isNull()) {
        TROVIX_WEB_LOG() << "GOOG::albumLookupString returned NIL";
        return;
    }
    const SourceFetcher::Response fetched =
        fetchGooglePage(url, kGoogleSearchTimeLimit, kGoogleURLDump, kGoogleAlbumSearchDump);
    const std::optional<QString>& page = fetched.body;
    if (!page) {
        TROVIX_WEB_LOG() << "GrabWebPage 1 (" << fetched.finalURL << ") returned NIL";
        return;
    }
    if (progress && progress->cancelled()) return;
    parseAlbumSearchPage(hits, *page, base, weights, progress);
}

void GoogleMusic::parseAlbumSearchPage(AlbumInfoArray& hits, const QString& page,
                                       const QString& base,
                                       const std::optional<ScoreWeights>& weights,
                                       ProgressIndicator* progress) {
    if (progress) progress->NotifyBeginDet(kGoogleInterpreting, 0, int(page.size()), true);

    Window window{0, page.size()};
    qsizetype bumped = 0;
    int found = 0;
    for (;;) {
        if (progress) progress->NotifyBump(int(window.location - bumped));
        bumped = window.location;
        auto hit = AlbumInfoFromGOOGHtml_multiple(page, window);
        if (!hit) break;
        hits.addSorted(hit, weights, 0);
        ++found;
    }
    if (found == 0) {
        // No list: the site went straight to the one album it found.
        if (auto hit = AlbumInfoFromGOOGHtml_single(page, base)) hits.addSorted(hit, weights, 0);
    }
}

std::shared_ptr<AlbumInfo> GoogleMusic::AlbumInfoFromGOOGHtml_multiple(const QString& page,
                                                                       Window& window) {
    const Cut reference = cutBetween(page, window, "<a href=\"/musicl?", nullptr, "\">");
    if (!reference || !SourceSupport::isPlainReference(*reference)) return nullptr;
    const Cut cell = cutBetween(page, window, nullptr, nullptr, "</td>");
    if (!cell) return nullptr;
    const Cut image = cutAll(*cell, "<img src=", nullptr, " ");
    Cut album, artist;
    if (image) {
        // The picture links to the album; its text link follows.
        if (!cutBetween(page, window, "<a href=\"/musicl?", nullptr, "\">")) return nullptr;
        album = cutBetween(page, window, nullptr, nullptr, "</a>");
        artist = cutBetween(page, window, "By: ", nullptr, "</font>");
    } else {
        Window inCell{0, cell->size()};
        album = cutBetween(*cell, inCell, nullptr, nullptr, "</a>");
        artist = cutBetween(*cell, inCell, "By: ", nullptr, "</font>");
    }
    if (!album || !artist) return nullptr;
    return makeAlbumHit(*artist, *album, *reference, image);
}

std::shared_ptr<AlbumInfo> GoogleMusic::AlbumInfoFromGOOGHtml_single(const QString& page,
                                                                     const QString& base) {
    Window window{0, page.size()};
    const QString referenceMarker = QStringLiteral("href=\"") + base + QStringLiteral("/search?");
    const Cut reference = ExtractDoublyDelimitedString(page, &window, referenceMarker, QString(),
                                                       QStringLiteral("&sid="));
    if (!reference || !SourceSupport::isPlainReference(*reference)) return nullptr;
    Window imageWindow = window;
    const Cut image = cutBetween(page, imageWindow, "<img src=", nullptr, " ");
    const Cut artist = cutBetween(page, window, "Artist:", "size=-1>", "</font>");
    if (!artist) return nullptr;
    Cut album = cutBetween(page, window, "Album:", "size=-1>", "</font>");
    if (!album) return nullptr;
    const qsizetype nbsp = album->indexOf(QLatin1String("&nbsp;"));
    if (nbsp >= 0) album = album->left(nbsp);
    return makeAlbumHit(*artist, *album, *reference, image);
}

// Song search ------------------------------------------------------------

void GoogleMusic::searchSongs(TrackInfoArray& hits, const QString& searchText,
                              const std::optional<ScoreWeights>& weights,
                              const SourceOptions& options, ProgressIndicator* progress) const {
    QString artist, title;
    if (!DecomposeSearchString(searchText, &artist, &title)) return;
    const QString base = options.baseURL(baseURLKey());
    QString url = lookupString(base, title, "song");
    if (url.isNull()) {
        TROVIX_WEB_LOG() << "GOOG::songLookupString returned NIL";
        return;
    }

    int songCount = 0;
    // A "Next" link back to a page already read would loop for good, and a
    // server can make up new ones for ever: a page read before ends the walk,
    // and so does the page limit.
    QSet<QString> visited{url.mid(base.size())};
    // Only the first request is written down, as the site always did.
    const char* urlDump = kGoogleURLDump;
    for (int pages = 0;; ++pages) {
        if (pages == WebLimits::kMaxResultPages) {
            TROVIX_WEB_LOG() << "Google song search: stopped after " << pages << " pages";
            break;
        }
        const SourceFetcher::Response fetched =
            fetchGooglePage(url, kGoogleSearchTimeLimit, urlDump, kSongSearchDump);
        urlDump = nullptr;
        url = fetched.finalURL;
        const std::optional<QString>& page = fetched.body;
        if (!page) {
            TROVIX_WEB_LOG() << "GrabWebPage 1 (" << url << ") returned NIL";
            break;
        }
        const QString host = SourceSupport::hostOf(url);
        if (progress && progress->cancelled()) break;

        // "... of about <b>123</b> songs"
        songCount =
            SourceSupport::intValue(cutAll(*page, nullptr, ">", " songs").value_or(QString()));
        if (progress) progress->NotifyBeginDet(kGoogleInterpreting, 0, songCount, true);

        Window pageWindow{0, page->size()};
        const Cut list =
            cutBetween(*page, pageWindow, "<p class=g>", nullptr, "<div id=navbar class=n>");
        if (!list) break;
        Window w{0, list->size()};
        for (;;) {
            auto hit = TrackInfoWithGOOGHtml(*list, w);
            if (progress) progress->NotifyBump(1);
            if (w.location == kNotFound) break;
            if (hit) hits.addSorted(hit, weights, 0);
        }

        const Cut link = cutBetween(*page, pageWindow, nullptr, "<a href=", "Next</a>");
        if (!link) break;
        const Cut path = cutAll(*link, nullptr, nullptr, "><img");
        if (!path || !SourceSupport::isPlainReference(*path)) break;
        if (visited.contains(*path)) break;
        visited.insert(*path);
        url = QStringLiteral("http://") + host + *path;
    }
    if (progress) progress->NotifyBump(songCount);
}

std::shared_ptr<TrackInfo> GoogleMusic::TrackInfoWithGOOGHtml(const QString& list, Window& window) {
    Window w = window;
    if (!cutBetween(list, w, nullptr, nullptr, "</tr>")) {
        window.location = kNotFound;
        return nullptr;
    }
    const Cut row = cutBetween(list, w, nullptr, nullptr, "</tr>");
    if (!row) {
        window.location = kNotFound;
        return nullptr;
    }
    window = w;

    Window inRow{0, row->size()};
    if (!cutBetween(*row, inRow, nullptr, nullptr, "</td>")) return nullptr;
    Cut songCell = cutBetween(*row, inRow, "<td valign=top>", nullptr, "</td>");
    if (!songCell) return nullptr;
    const Cut image = cutAll(*songCell, "<img src=", nullptr, " border=");
    if (image) {
        // The picture has a cell of its own; the song is in the next one.
        songCell = cutBetween(*row, inRow, nullptr, nullptr, "</td>");
        if (!songCell) return nullptr;
    }
    Window inCell{0, songCell->size()};
    const Cut title = cutBetween(*songCell, inCell, nullptr, nullptr, "</a>");
    if (!title) return nullptr;
    const Cut artist = cutBetween(*songCell, inCell, "By:", ">", "</a>");
    if (!artist) return nullptr;
    const Cut reference = cutBetween(*songCell, inCell, "Album:", "href=/musicl?", ">");
    if (!reference || !SourceSupport::isPlainReference(*reference)) return nullptr;
    const Cut album = cutBetween(*songCell, inCell, nullptr, nullptr, "</a>");
    if (!album) return nullptr;

    const QString artistText = WebFieldFromHTML(*artist);
    const QString albumText = WebFieldFromHTML(*album);
    auto hit = TrackInfo::TrackInfoFromScratch(artistText, albumText, WebFieldFromHTML(*title),
                                               QStringLiteral(""), QStringLiteral(""),
                                               QStringLiteral(""), QStringLiteral(""));
    hit->setResultKey(kKeyPrefix + *reference);
    hit->setIADBCompareString(SourceSupport::compareString(artistText, albumText));
    if (image) hit->setAlbumCoverURL(*image);
    return hit;
}

// Album details ----------------------------------------------------------

std::shared_ptr<AlbumDetails> GoogleMusic::details(const QString& key, const SourceOptions& options,
                                                   ProgressIndicator*) const {
    if (!key.startsWith(kKeyPrefix) || !SourceSupport::isPlainReference(key.mid(kKeyPrefix.size())))
        return nullptr;
    const QString url =
        options.baseURL(baseURLKey()) + QStringLiteral("/musicl?") + key.mid(kKeyPrefix.size());
    const SourceFetcher::Response fetched =
        fetchGooglePage(url, kGoogleAlbumPageTimeLimit, nullptr, kGoogleAlbumPageDump);
    const std::optional<QString>& page = fetched.body;
    if (!page) {
        TROVIX_WEB_LOG() << "GrabWebPage 2 (" << fetched.finalURL << ") returned NIL";
        return nullptr;
    }
    return AlbumDetailsFromGOOGHtml(*page, key);
}

std::shared_ptr<AlbumDetails> GoogleMusic::AlbumDetailsFromGOOGHtml(const QString& page,
                                                                    const QString& key) {
    Window w{0, page.size()};
    const Cut artist = cutBetween(page, w, "Artist:", "size=-1>", "</font>");
    const Cut albumText = cutBetween(page, w, "Album:", "size=-1>", "</font>");
    QString album;
    if (albumText) {
        const qsizetype nbsp = albumText->indexOf(QLatin1String("&nbsp;"));
        if (nbsp >= 0) album = WebField(SourceSupport::trimSpacesTabs(albumText->left(nbsp)));
    }
    const Cut table = cutBetween(page, w, "Tracks", "<table", "</table>");
    if (!table) return nullptr;

    auto details = std::make_shared<AlbumDetails>();
    if (artist) details->setArtist(WebField(SourceSupport::trimSpacesTabs(*artist)));
    details->setAlbum(album);
    details->setYear(QStringLiteral(""));
    details->setGenre(QStringLiteral(""));
    details->setResultKey(key);

    Window inTable{0, table->size()};
    for (int n = 1; n <= WebLimits::kMaxTracks; ++n) {
        const Cut title =
            ExtractDoublyDelimitedString(*table, &inTable, QStringLiteral(">%1.</td>").arg(n),
                                         QStringLiteral(">"), QStringLiteral("</a>"));
        if (!title) break;
        details->addTitle(WebField(SourceSupport::trimSpacesTabs(*title)), QString());
    }
    return details;
}
