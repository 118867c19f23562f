#include "web/sources/gnudb/Gnudb.h"

#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackInfoArray.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "web/WebHelpers.h"
#include "web/sources/DiscDatabase.h"
#include "web/sources/FieldText.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/SourceSupport.h"

namespace {

constexpr const char* kURLDump = "/tmp/Trovix_GnuDB_%d.txt";
constexpr const char* kPageDump = "/tmp/Trovix_GnuDB_%d.htm";

} // namespace

QList<MusicSource::Preference> Gnudb::preferences() const {
    return {{QString::fromLatin1(kSearchKey), QStringLiteral("YES")},
            {QString::fromLatin1(kBaseURLKey), QStringLiteral("http://www.gnudb.org")}};
}

void Gnudb::search(AlbumInfoArray& hits, const QString& searchText,
                   const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                   ProgressIndicator* progress) const {
    const QString base = options.baseURL(baseURLKey());
    const QString url =
        base + QStringLiteral("/search/") + DiscDatabase::prepareSearchText(searchText);
    const SourceFetcher::Response fetched = DiscDatabase::fetchPage(
        name(), url, DiscDatabase::kSearchTimeLimitSecs, kURLDump, kPageDump, progress);
    if (!fetched.body || fetched.body->isEmpty()) return;
    parseSearchPage(hits, *fetched.body, base, weights, progress);
}

void Gnudb::parseSearchPage(AlbumInfoArray& hits, const QString& page, const QString& base,
                            const std::optional<ScoreWeights>& weights,
                            ProgressIndicator* progress) {
    if (progress)
        progress->NotifyBeginDet(QStringLiteral("Interpreting GnuDB results..."), 0,
                                 int(page.size()), true);

    const QString albumLink = QStringLiteral("<a href=\"") + base + QStringLiteral("/cd");
    const QString recordLink = QStringLiteral("<a href=\"") + base + QStringLiteral("/gnudb/");
    const QString none;
    Window window{0, page.size()};
    qsizetype bumped = 0;
    for (;;) {
        if (progress) {
            progress->NotifyBump(int(window.location - bumped));
            bumped = window.location;
            if (progress->cancelled()) break;
        }
        // Every field is searched forward from the window, so a result that
        // lacks an optional label takes it from a later one.
        const auto artist = ExtractDoublyDelimitedString(
            page, &window, albumLink, QStringLiteral("<b>"), QStringLiteral(" / "));
        if (!artist) break;
        if (artist->isEmpty()) continue;
        const auto album =
            ExtractDoublyDelimitedString(page, &window, none, none, QStringLiteral("</b>"));
        if (!album || album->isEmpty()) continue;
        const QString year = ExtractDoublyDelimitedString(page, &window, QStringLiteral("year: "),
                                                          none, QStringLiteral(","))
                                 .value_or(QStringLiteral(""));
        const QString genre = ExtractDoublyDelimitedString(page, &window, QStringLiteral("genre: "),
                                                           none, QStringLiteral("<br>"))
                                  .value_or(QStringLiteral(""));
        const auto category =
            ExtractDoublyDelimitedString(page, &window, recordLink, none, QStringLiteral("/"));
        if (!category || category->isEmpty()) continue;
        const auto identifier =
            ExtractDoublyDelimitedString(page, &window, none, none, QStringLiteral("\""));
        if (!identifier || identifier->isEmpty() || identifier->startsWith(QLatin1Char(' ')))
            continue;
        const auto discId = SourceSupport::readHex(*identifier);
        if (!discId) continue;

        const QString artistText = RepairUtf8Field(*artist);
        const QString albumText = RepairUtf8Field(*album);
        auto hit = AlbumInfo::AlbumInfoFromScratch(artistText, albumText, RepairUtf8Field(year),
                                                   RepairUtf8Field(genre));
        hit->setResultKey(kKeyPrefix + SourceSupport::discKey(*category, *discId));
        hit->setIADBCompareString(SourceSupport::compareString(artistText, albumText));
        hits.addSorted(hit, weights, 0);
    }
    if (progress) progress->NotifyBump(int(page.size() - bumped));
}

std::shared_ptr<AlbumDetails> Gnudb::details(const QString& key, const SourceOptions& options,
                                             ProgressIndicator* progress) const {
    if (!key.startsWith(kKeyPrefix)) return nullptr;
    const QString url = EscapeForURLQuiet(options.baseURL(baseURLKey()) +
                                          QStringLiteral("/gnudb/") + key.mid(kKeyPrefix.size()));
    return DiscDatabase::fetchDiscRecord(name(), url, key, kURLDump, kPageDump, progress);
}

void Gnudb::searchSongs(TrackInfoArray&, const QString&, const std::optional<ScoreWeights>&,
                        const SourceOptions&, ProgressIndicator*) const {
    TROVIX_LOG() << "Here I am";
}
