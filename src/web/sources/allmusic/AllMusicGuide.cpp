#include "web/sources/allmusic/AllMusicGuide.h"

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

SiteThrottle gThrottle("AMG", 2.5);

constexpr int kAttempts = 3;
constexpr int kSearchTimeLimit = 30;
constexpr int kFurtherSongPageTimeLimit = 100;
constexpr int kAlbumPageTimeLimit = 10;

constexpr const char* kURLDump = "/tmp/Trovix_AMG_%d.txt";
constexpr const char* kAlbumSearchDump = "/tmp/Trovix_AMG_AlbumSearchResults_%d.htm";
constexpr const char* kFuzzySongDump = "/tmp/Trovix_AMG_FuzzySongSearchResults_%d.htm";
constexpr const char* kExactSongDump = "/tmp/Trovix_AMG_ExactSongSearchResults_%d.htm";
constexpr const char* kAlbumPageDump = "/tmp/Trovix_AMG_AlbumDescription_%d.htm";

const QString kInterpreting = QStringLiteral("Interpreting All Music Guide results...");

using Cut = std::optional<QString>;

QString trimmedField(const QString& text) {
    return WebField(SourceSupport::trimSpacesTabs(text));
}

// A fetch as the site has always been asked: up to three attempts under the
// site's throttle, the page taken whatever its status. No progress object
// reaches the fetch, so a cancel is noticed once the page is in.
SourceFetcher::Response fetchPage(const QString& url, int timeLimitSecs, const char* urlDump,
                                  const char* pageDump) {
    SourceFetcher::Request request;
    request.url = url;
    request.source = AllMusicGuide().name();
    request.timeLimitSecs = timeLimitSecs;
    request.attempts = kAttempts;
    request.throttle = AllMusicGuide::throttle().get();
    request.urlDump = urlDump;
    request.pageDump = pageDump;
    request.anyAnswer = true;
    return SourceFetcher::fetch(request, nullptr);
}

void setKeyAndCompare(AlbumInfo& hit, const QString& albumId, const QString& artist,
                      const QString& album) {
    hit.setResultKey(AllMusicGuide::kKeyPrefix + albumId);
    hit.setIADBCompareString(SourceSupport::compareString(artist, album));
}

} // namespace

SiteThrottle& AllMusicGuide::throttle() {
    return gThrottle;
}

QList<MusicSource::Preference> AllMusicGuide::preferences() const {
    // Off unless turned on: the pages in the layout parsed here are gone,
    // and a search would send the terms over plain HTTP for nothing.
    return {{QString::fromLatin1(kSearchKey), QStringLiteral("NO")},
            {QString::fromLatin1(kBaseURLKey), QStringLiteral("http://www.allmusic.com")}};
}

QString AllMusicGuide::lookupString(const QString& base, const QString& text, const char* option) {
    if (text.isNull()) return QString();
    return base + QStringLiteral("/cg/amg.dll?SQL=") +
           EscapeForURLQuiet(SqueezeString(RemoveLeadingArticle(text))) + QStringLiteral("&OPT1=") +
           QString::fromLatin1(option) + QStringLiteral("&Submit=Go&P=amg");
}

QString AllMusicGuide::browseURL(PageSubject subject, const QString& text,
                                 const SourceOptions& options) const {
    static const char* const kKinds[] = {"1", "2", "3"}; // by PageSubject
    return lookupString(options.baseURL(baseURLKey()), text, kKinds[int(subject)]);
}

// Album search -----------------------------------------------------------

void AllMusicGuide::search(AlbumInfoArray& hits, const QString& searchText,
                           const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                           ProgressIndicator* progress) const {
    QString artist, album;
    if (!DecomposeSearchString(searchText, &artist, &album)) return;
    const QString url = lookupString(options.baseURL(baseURLKey()), album, "2");
    if (url.isNull()) {
        TROVIX_WEB_LOG() << "AMG::albumLookupString returned NIL";
        return;
    }
    const SourceFetcher::Response fetched =
        fetchPage(url, kSearchTimeLimit, kURLDump, kAlbumSearchDump);
    const std::optional<QString>& page = fetched.body;
    if (!page) {
        TROVIX_WEB_LOG() << "GrabWebPage 1 (" << fetched.finalURL << ") returned NIL";
        return;
    }
    if (progress && progress->cancelled()) return;
    parseAlbumSearchPage(hits, *page, weights, progress);
}

void AllMusicGuide::parseAlbumSearchPage(AlbumInfoArray& hits, const QString& page,
                                         const std::optional<ScoreWeights>& weights,
                                         ProgressIndicator* progress) {
    if (progress) progress->NotifyBeginDet(kInterpreting, 0, int(page.size()), true);

    Window window{0, page.size()};
    qsizetype bumped = 0;
    int rows = 0;
    for (;;) {
        if (progress) progress->NotifyBump(int(window.location - bumped));
        bumped = window.location;
        auto hit = AlbumInfoFromAMGAlbumSearchResults(page, window);
        if (!hit) break;
        hits.addSorted(hit, weights, 0);
        ++rows;
    }
    if (rows == 0) TROVIX_LOG() << "Why did I get nothing back from this?";
}

std::shared_ptr<AlbumInfo> AllMusicGuide::AlbumInfoFromAMGAlbumSearchResults(const QString& page,
                                                                             Window& window) {
    const Cut row = cutBetween(page, window, "<td class=\"sorted-cell\">",
                               "<div class=\"bar\" style=\"", "</tr>");
    if (!row) return nullptr;
    Window w{0, row->size()};
    const Cut bar = cutBetween(*row, w, "width:", nullptr, "px");
    if (!bar) return nullptr;
    const Cut year = cutBetween(*row, w, "<td class=\"cell\"", ">", "</TD>");
    if (!year) return nullptr;
    const Cut artist = cutBetween(*row, w, "<td class=\"cell\"", ">", "</TD>");
    if (!artist || !cutBetween(*row, w, "<td class=\"cell\"", nullptr, ">")) return nullptr;
    const Cut albumId = cutBetween(*row, w, "<a href=\"/cg/amg.dll", "sql=", "\">");
    if (!albumId || !SourceSupport::isPlainReference(*albumId)) return nullptr;
    const Cut album = cutBetween(*row, w, nullptr, nullptr, "<");
    if (!album || !cutBetween(*row, w, "<td class=\"cell\"", ">", "</td>")) return nullptr;
    const Cut genre = cutBetween(*row, w, "<td class=\"cell\"", ">", "</a>");
    if (!genre) return nullptr;

    const QString artistText = WebFieldFromHTML(*artist);
    const QString albumText = WebFieldFromHTML(*album);
    auto hit = AlbumInfo::AlbumInfoFromScratch(artistText, albumText, WebFieldFromHTML(*year),
                                               WebFieldFromHTML(*genre));
    setKeyAndCompare(*hit, *albumId, artistText, albumText);
    return hit;
}

// Song search ------------------------------------------------------------

void AllMusicGuide::searchSongs(TrackInfoArray& hits, const QString& searchText,
                                const std::optional<ScoreWeights>& weights,
                                const SourceOptions& options, ProgressIndicator* progress) const {
    QString artist, title;
    if (!DecomposeSearchString(searchText, &artist, &title)) return;
    const QString url = lookupString(options.baseURL(baseURLKey()), title, "3");
    if (url.isNull()) {
        TROVIX_WEB_LOG() << "AMG::songLookupString returned NIL";
        return;
    }
    const SourceFetcher::Response fetched =
        fetchPage(url, kSearchTimeLimit, kURLDump, kFuzzySongDump);
    const std::optional<QString>& first = fetched.body;
    if (!first) {
        TROVIX_WEB_LOG() << "GrabWebPage 1 (" << fetched.finalURL << ") returned NIL";
        return;
    }
    // Follow-up pages go to the server that answered, whatever the base.
    const QString host = SourceSupport::hostOf(fetched.finalURL);
    if (progress && progress->cancelled()) return;
    if (progress) progress->NotifyBeginInd(kInterpreting, true);

    Window window{0, first->size()};
    QString songTitle, songSQL;
    if (parseFuzzySongSearchResults(*first, window, &songTitle, &songSQL) == 0) return;

    QString sql = songSQL;
    // A "Next page" that leads back to a page already read would loop for
    // good, and a server can make up new ones for ever: a page read before
    // ends the walk, and so does the page limit.
    QSet<QString> visited;
    for (int pages = 0; pages < WebLimits::kMaxResultPages; ++pages) {
        visited.insert(sql);
        const QString pageURL =
            QStringLiteral("http://") + host + QStringLiteral("/cg/amg.dll?p=amg&sql=") + sql;
        const SourceFetcher::Response fetchedPage =
            fetchPage(pageURL, kFurtherSongPageTimeLimit, kURLDump, kExactSongDump);
        const std::optional<QString>& page = fetchedPage.body;
        if (!page) {
            TROVIX_WEB_LOG() << "GrabWebPage 2 (" << fetchedPage.finalURL << ") returned NIL";
            return;
        }
        if (progress && progress->cancelled()) return;

        Window pageWindow{0, page->size()};
        const Cut content = cutBetween(*page, pageWindow, "<div id=\"tabcontent_0\">", nullptr,
                                       "<!--End Center Content-->");
        if (!content) return;
        const qsizetype lt = content->indexOf(QLatin1Char('<'));
        if (lt < 0) return;
        const QString text = content->mid(lt + 1);
        int kind;
        if (text.startsWith(QLatin1String("div id=\"songearchresults\">"), Qt::CaseInsensitive))
            kind = 1; // a list of recordings
        else if (text.startsWith(QLatin1String("div id=\"trackpage\">"), Qt::CaseInsensitive))
            kind = 2; // a track page: the song on several albums
        else
            return;

        Window w{0, text.size()};
        std::shared_ptr<TrackInfo> old;
        for (;;) {
            auto hit = kind == 1 ? TrackInfoFromSongSearchResults(text, songTitle, w)
                                 : TrackInfoFromTrackPage(text, songTitle, w, old.get());
            if (!hit) break;
            hits.addSorted(hit, weights, 0);
            old = hit;
        }
        const Cut next = cutBetween(text, w, "<div class=\"PagingRow\">", "sql=", "\">Next page");
        if (!next || visited.contains(*next) || !SourceSupport::isPlainReference(*next)) return;
        sql = *next;
    }
    TROVIX_WEB_LOG() << "AMG song search: stopped after " << WebLimits::kMaxResultPages << " pages";
}

int AllMusicGuide::parseFuzzySongSearchResults(const QString& page, Window& window, QString* title,
                                               QString* songSQL) {
    const Cut sql = cutBetween(page, window, "<td class=\"cell\"><a href=\"", "sql=", "\">");
    if (!sql || !SourceSupport::isPlainReference(*sql)) return 0;
    const Cut name = cutBetween(page, window, nullptr, nullptr, "</a");
    if (!name) return 0;
    const Cut number = cutBetween(page, window, "<td class=\"cell\">", nullptr, "</td>");
    if (!number) return 0;
    if (title) *title = WebField(*name);
    if (songSQL) *songSQL = *sql;
    return SourceSupport::intValue(*number);
}

std::shared_ptr<TrackInfo> AllMusicGuide::TrackInfoFromSongSearchResults(const QString& page,
                                                                         const QString& title,
                                                                         Window& window) {
    Window w = window;
    const Cut artist = cutBetween(page, w, "<td class=\"sorted-cell\"", ">", "</td>");
    if (!artist) return nullptr;
    for (int skip = 0; skip < 2; ++skip)
        if (!cutBetween(page, w, "<td class=\"cell", ">", "</td>")) return nullptr;
    const Cut albumCell = cutBetween(page, w, "<td class=\"cell", nullptr, "</td>");
    if (!albumCell) return nullptr;
    Window inCell{0, albumCell->size()};
    const Cut albumId = cutBetween(*albumCell, inCell, "<a href=\"", "sql=", "\">");
    if (!albumId || !SourceSupport::isPlainReference(*albumId)) return nullptr;
    const Cut album = cutBetween(*albumCell, inCell, nullptr, nullptr, "</a>");
    if (!album || !cutBetween(page, w, "<td class=\"cell", ">", "</td>")) return nullptr;
    const Cut year = cutBetween(page, w, "<td class=\"cell", ">", "</td>");
    if (!year) return nullptr;
    const QString genre =
        cutBetween(page, w, "<td class=\"cell", ">", "</a></td>").value_or(QStringLiteral(""));

    const QString artistText = WebField(*artist);
    const QString albumText = WebField(*album);
    auto hit =
        TrackInfo::TrackInfoFromScratch(artistText, albumText, title, WebField(*year),
                                        WebField(genre), QStringLiteral(""), QStringLiteral(""));
    setKeyAndCompare(*hit, *albumId, artistText, albumText);
    window = w;
    return hit;
}

std::shared_ptr<TrackInfo> AllMusicGuide::TrackInfoFromTrackPage(const QString& page,
                                                                 const QString& title,
                                                                 Window& window,
                                                                 const TrackInfo* old) {
    Window w = window;
    const Cut artist = cutBetween(page, w, "class=\"subtitle\">", nullptr, "</a>");
    if (!artist || !cutBetween(page, w, "<td class=\"content\">", nullptr, "</td>")) return nullptr;
    const Cut year = cutBetween(page, w, "<td class=\"sorted-cell\">", nullptr, "</td>");
    if (!year) return nullptr;
    const Cut albumId = cutBetween(page, w, "<a href=\"", "sql=", "\">");
    if (!albumId || !SourceSupport::isPlainReference(*albumId)) return nullptr;
    const Cut album = cutBetween(page, w, nullptr, nullptr, "</a>");
    if (!album) return nullptr;

    const QString artistText = WebField(*artist);
    const QString albumText = WebField(*album);
    std::shared_ptr<TrackInfo> hit;
    if (old)
        hit = std::static_pointer_cast<TrackInfo>(old->copy());
    else
        hit = TrackInfo::TrackInfoFromScratch(artistText, albumText, title, WebField(*year),
                                              QStringLiteral(""), QStringLiteral(""),
                                              QStringLiteral(""));
    setKeyAndCompare(*hit, *albumId, artistText, albumText);
    window = w;
    return hit;
}

// Album details ----------------------------------------------------------

std::shared_ptr<AlbumDetails>
AllMusicGuide::details(const QString& key, const SourceOptions& options, ProgressIndicator*) const {
    if (!key.startsWith(kKeyPrefix) || !SourceSupport::isPlainReference(key.mid(kKeyPrefix.size())))
        return nullptr;
    const QString url = options.baseURL(baseURLKey()) +
                        QStringLiteral("/cg/amg.dll?p=amg&token=&sql=") +
                        key.mid(kKeyPrefix.size());
    const SourceFetcher::Response fetched =
        fetchPage(url, kAlbumPageTimeLimit, nullptr, kAlbumPageDump);
    const std::optional<QString>& page = fetched.body;
    if (!page) {
        TROVIX_WEB_LOG() << "GrabWebPage 2 (" << fetched.finalURL << ") returned NIL";
        return nullptr;
    }
    return AlbumDetailsFromAMGAlbumDescription(*page, key);
}

std::shared_ptr<AlbumDetails>
AllMusicGuide::AlbumDetailsFromAMGAlbumDescription(const QString& page, const QString& key) {
    auto details = std::make_shared<AlbumDetails>();
    details->setResultKey(key);
    TROVIX_LOG() << "SOMETIMES THIS SCREWS UP IF THERE IS NO IMAGE";

    Window w{0, page.size()};
    if (const Cut cover =
            cutBetween(page, w, "<!--Begin Album Photo-->", "<img src=\"", "\"></td>"))
        details->setAlbumCoverURL(SourceSupport::trimSpacesTabs(*cover));
    if (const Cut artist = cutBetween(page, w, "<span>Artist</span>", ">", "</a>"))
        details->setArtist(trimmedField(*artist));
    if (const Cut album = cutBetween(page, w, "<span>Album</span>", ">", "</td></tr></table>"))
        details->setAlbum(trimmedField(*album));
    const Window beforeDate = w;
    Cut year = cutBetween(page, w, "<span>Recording Date</span>", ">", "</td></tr></table>");
    if (!year) {
        w = beforeDate;
        year = cutBetween(page, w, "<span>Release Date</span>", ">", "</td></tr></table>");
    }
    if (year) details->setYear(trimmedField(*year));
    if (const Cut genre = cutBetween(page, w, "<!--Begin Genre Listing-->", ">", "</a>"))
        details->setGenre(trimmedField(*genre));

    // The header row numbers the columns; data cells start at column 5.
    int titleColumn = -1, performerColumn = -1, timeColumn = -1;
    for (int column = 5;; ++column) {
        const Cut header =
            cutBetween(page, w, "class=\"passive\">", nullptr, " <img src=\"/i/spacer.gif\"");
        if (!header) return details;
        if (*header == QLatin1String("Title"))
            titleColumn = column;
        else if (*header == QLatin1String("Performer"))
            performerColumn = column;
        else if (*header == QLatin1String("Time")) {
            timeColumn = column;
            break;
        }
    }
    if (!cutBetween(page, w, nullptr, nullptr, "</tr></table></div></td></tr>")) return details;

    for (int rows = 0;; ++rows) {
        const Cut row = cutBetween(page, w, "<tr class=\"visible\" id=\"trlink\" onclick=\"z",
                                   nullptr, "</tr>");
        if (!row) break;
        if (rows == WebLimits::kMaxTracks) {
            TROVIX_WEB_LOG() << "AMG album page: only the first " << rows << " tracks are read";
            break;
        }
        Window inRow{0, row->size()};
        QString title, performer;
        for (int column = 1; column < timeColumn; ++column) {
            const Cut cell = cutBetween(*row, inRow, "<td", nullptr, "</td>");
            if (!cell) break;
            if (column == titleColumn)
                title = amgRowString(QStringLiteral("<td") + *cell);
            else if (column == performerColumn)
                performer = amgRowString(QStringLiteral("<td") + *cell);
        }
        if (title.isNull()) break;
        details->addTitle(WebField(title), performerColumn < 0 ? QString() : WebField(performer));
    }
    return details;
}

QString AllMusicGuide::amgRowString(const QString& cell) {
    QString text = stringByRemovingHTMLTags(cell);
    qsizetype b = 0, e = text.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    while (b < e && blank(text[b]))
        ++b;
    while (e > b && blank(text[e - 1]))
        --e;
    text = text.mid(b, e - b);
    text.remove(QStringLiteral(" [#]"));
    return text;
}
