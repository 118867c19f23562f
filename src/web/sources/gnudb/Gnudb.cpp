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

constexpr const char* kGnudbURLDump = "/tmp/Trovix_GnuDB_%d.txt";
constexpr const char* kGnudbPageDump = "/tmp/Trovix_GnuDB_%d.htm";

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
        name(), url, DiscDatabase::kSearchTimeLimitSecs, kGnudbURLDump, kGnudbPageDump, progress);
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
    const QStringView text(page);
    // An entry runs from its album link to the next one, and every field is
    // looked for inside it: a label an entry lacks stays empty instead of
    // being taken from a later entry, and the page is read once, whatever
    // it lacks.
    qsizetype start = text.indexOf(albumLink, 0, Qt::CaseInsensitive);
    qsizetype bumped = 0;
    while (start >= 0) {
        if (progress) {
            progress->NotifyBump(int(start - bumped));
            bumped = start;
            if (progress->cancelled()) break;
        }
        const qsizetype next =
            text.indexOf(albumLink, start + albumLink.size(), Qt::CaseInsensitive);
        Window entry{start, (next < 0 ? page.size() : next) - start};
        start = next;

        const auto artist = ExtractDoublyDelimitedString(
            page, &entry, albumLink, QStringLiteral("<b>"), QStringLiteral(" / "));
        if (!artist || artist->isEmpty()) continue;
        const auto album =
            ExtractDoublyDelimitedString(page, &entry, none, none, QStringLiteral("</b>"));
        if (!album || album->isEmpty()) continue;
        const QString year = ExtractDoublyDelimitedString(page, &entry, QStringLiteral("year: "),
                                                          none, QStringLiteral(","))
                                 .value_or(QStringLiteral(""));
        const QString genre = ExtractDoublyDelimitedString(page, &entry, QStringLiteral("genre: "),
                                                           none, QStringLiteral("<br>"))
                                  .value_or(QStringLiteral(""));
        const auto category =
            ExtractDoublyDelimitedString(page, &entry, recordLink, none, QStringLiteral("/"));
        if (!category || !SourceSupport::isDiscCategory(*category)) continue;
        const auto identifier =
            ExtractDoublyDelimitedString(page, &entry, none, none, QStringLiteral("\""));
        if (!identifier || identifier->isEmpty() || identifier->startsWith(QLatin1Char(' ')))
            continue;
        const auto discId = SourceSupport::readHex(*identifier);
        if (!discId) continue;

        const QString artistText = WebField(*artist);
        const QString albumText = WebField(*album);
        auto hit =
            AlbumInfo::AlbumInfoFromScratch(artistText, albumText, WebField(year), WebField(genre));
        hit->setResultKey(kKeyPrefix + SourceSupport::discKey(*category, *discId));
        hit->setIADBCompareString(SourceSupport::compareString(artistText, albumText));
        hits.addSorted(hit, weights, 0);
    }
    if (progress) progress->NotifyBump(int(page.size() - bumped));
}

std::shared_ptr<AlbumDetails> Gnudb::details(const QString& key, const SourceOptions& options,
                                             ProgressIndicator* progress) const {
    if (!key.startsWith(kKeyPrefix) || !SourceSupport::isDiscKey(key.mid(kKeyPrefix.size())))
        return nullptr;
    const QString url = EscapeForURLQuiet(options.baseURL(baseURLKey()) +
                                          QStringLiteral("/gnudb/") + key.mid(kKeyPrefix.size()));
    return DiscDatabase::fetchDiscRecord(name(), url, key, kGnudbURLDump, kGnudbPageDump, progress);
}

void Gnudb::searchSongs(TrackInfoArray&, const QString&, const std::optional<ScoreWeights>&,
                        const SourceOptions&, ProgressIndicator*) const {
    TROVIX_LOG() << "Here I am";
}
