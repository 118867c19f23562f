#include "web/sources/Gnudb.h"

#include "app/Preferences.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackInfoArray.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "web/DebugFiles.h"
#include "web/GrabWebPage.h"
#include "web/WebHelpers.h"
#include "web/sources/FieldText.h"
#include "web/sources/FreeDB.h"
#include "web/sources/SourceSupport.h"

namespace {

constexpr const char* kURLDump = "/tmp/Trovix_GnuDB_%d.txt";
constexpr const char* kPageDump = "/tmp/Trovix_GnuDB_%d.htm";

} // namespace

void Gnudb::addAlbumHitsFromGNUDB(AlbumInfoArray& hits, const QString& searchText,
                                  const std::optional<ScoreWeights>& weights,
                                  ProgressIndicator* progress) {
    const QString base = SourceSupport::baseURL(Prefs::kGnudbBaseURL);
    QString url = base + QStringLiteral("/search/") + FreeDB::prepareSearchText(searchText);
    WriteDebugFile(kURLDump, url);

    const std::optional<QString> fetched =
        GrabWebPage(url, progress, FreeDB::kSearchTimeLimitSecs, nullptr);
    if (!fetched || fetched->isEmpty())
        return;
    const QString& page = *fetched;
    WriteDebugFile(kPageDump, page);
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
            if (progress->cancelled())
                break;
        }
        // Every field is searched forward from the window, so a result that
        // lacks an optional label takes it from a later one.
        const auto artist =
            ExtractDoublyDelimitedString(page, &window, albumLink, QStringLiteral("<b>"), QStringLiteral(" / "));
        if (!artist)
            break;
        if (artist->isEmpty())
            continue;
        const auto album = ExtractDoublyDelimitedString(page, &window, none, none, QStringLiteral("</b>"));
        if (!album || album->isEmpty())
            continue;
        const QString year =
            ExtractDoublyDelimitedString(page, &window, QStringLiteral("year: "), none, QStringLiteral(","))
                .value_or(QStringLiteral(""));
        const QString genre =
            ExtractDoublyDelimitedString(page, &window, QStringLiteral("genre: "), none, QStringLiteral("<br>"))
                .value_or(QStringLiteral(""));
        const auto category = ExtractDoublyDelimitedString(page, &window, recordLink, none, QStringLiteral("/"));
        if (!category || category->isEmpty())
            continue;
        const auto identifier = ExtractDoublyDelimitedString(page, &window, none, none, QStringLiteral("\""));
        if (!identifier || identifier->isEmpty() || identifier->startsWith(QLatin1Char(' ')))
            continue;
        const auto discId = SourceSupport::readHex(*identifier);
        if (!discId)
            continue;

        const QString artistText = RepairUtf8Field(*artist);
        const QString albumText = RepairUtf8Field(*album);
        auto hit = AlbumInfo::AlbumInfoFromScratch(artistText, albumText, RepairUtf8Field(year),
                                                   RepairUtf8Field(genre));
        hit->setIADBKey(kKeyPrefix + SourceSupport::discKey(*category, *discId));
        hit->setIADBCompareString(SourceSupport::compareString(artistText, albumText));
        hits.addSorted(hit, weights, 0);
    }
    if (progress)
        progress->NotifyBump(int(page.size() - bumped));
}

std::shared_ptr<AlbumDetails> Gnudb::AlbumDetailsWithGNUDBKey(const QString& key,
                                                             ProgressIndicator* progress) {
    if (!key.startsWith(kKeyPrefix))
        return nullptr;
    const QString url = EscapeForURLQuiet(SourceSupport::baseURL(Prefs::kGnudbBaseURL) +
                                          QStringLiteral("/gnudb/") + key.mid(kKeyPrefix.size()));
    return FreeDB::fetchDiscRecord(url, key, kURLDump, kPageDump, progress);
}

void Gnudb::addTrackHitsFromGNUDB(TrackInfoArray&, const QString&,
                                  const std::optional<ScoreWeights>&, ProgressIndicator*) {
    TROVIX_LOG() << "Here I am";
}
