#include "web/sources/freedb/FreeDB.h"

#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "system/ProgressIndicator.h"
#include "web/WebHelpers.h"
#include "web/sources/DiscDatabase.h"
#include "web/sources/FieldText.h"
#include "web/sources/SourceFetcher.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/SourceSupport.h"

#include <optional>

namespace {

constexpr const char* kFreeDBURLDump = "/tmp/Trovix_FreeDB_%d.txt";
constexpr const char* kFreeDBPageDump = "/tmp/Trovix_FreeDB_%d.htm";

} // namespace

QList<MusicSource::Preference> FreeDB::preferences() const {
    // Off unless turned on: the pages in the layout parsed here are gone,
    // and a search would send the terms over plain HTTP for nothing.
    return {{QString::fromLatin1(kSearchKey), QStringLiteral("NO")},
            {QString::fromLatin1(kBaseURLKey), QStringLiteral("http://www.freedb.org")}};
}

void FreeDB::search(AlbumInfoArray& hits, const QString& searchText,
                    const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                    ProgressIndicator* progress) const {
    const QString base = options.baseURL(baseURLKey());
    const QString url =
        base + QStringLiteral("/freedb_search.php?words=") +
        DiscDatabase::prepareSearchText(searchText) +
        QStringLiteral("&allfields=NO&fields=artist&fields=title&allcats=YES&grouping=none");
    const SourceFetcher::Response fetched = DiscDatabase::fetchPage(
        name(), url, DiscDatabase::kSearchTimeLimitSecs, kFreeDBURLDump, kFreeDBPageDump, progress);
    if (!fetched.body || fetched.body->isEmpty()) return;
    parseSearchPage(hits, *fetched.body, base, weights, progress);
}

void FreeDB::parseSearchPage(AlbumInfoArray& hits, const QString& page, const QString& base,
                             const std::optional<ScoreWeights>& weights,
                             ProgressIndicator* progress) {
    if (progress)
        progress->NotifyBeginDet(QStringLiteral("Interpreting FreeDB results..."), 0,
                                 int(page.size()), true);

    const QString linkMarker = base + QStringLiteral("/freedb_search_fmt.php?cat=");
    Window window{0, page.size()};
    qsizetype bumped = 0;
    QString previousText;
    std::optional<QString> lastDigits;
    for (;;) {
        if (progress) {
            progress->NotifyBump(int(window.location - bumped));
            bumped = window.location;
            if (progress->cancelled()) break;
        }
        const std::optional<QString> cut = ExtractDoublyDelimitedString(
            page, &window, linkMarker, QString(), QStringLiteral("</a>"));
        if (!cut) break;

        // The cut: category, "&id=", identifier, `">`, link text.
        Window inCut{0, cut->size()};
        const auto category = ExtractDoublyDelimitedString(*cut, &inCut, QString(), QString(),
                                                           QStringLiteral("&id="));
        if (!category || !SourceSupport::isDiscCategory(*category)) continue;
        const auto identifier =
            ExtractDoublyDelimitedString(*cut, &inCut, QString(), QString(), QStringLiteral("\">"));
        if (!identifier || identifier->startsWith(QLatin1Char(' '))) continue;
        const auto discId = SourceSupport::readHex(*identifier);
        if (!discId) continue;
        QString text = stringByRemovingTagsOnly(cut->mid(inCut.location));
        if (text.isEmpty()) continue;

        // A later entry of the same disc shows only a number: it stands for
        // the text of the entry before it.
        if (auto digits = SourceSupport::firstDigitRun(text)) lastDigits = digits;
        if (lastDigits && text == *lastDigits) text = previousText;

        QString artist = text;
        QString album = QStringLiteral("");
        const qsizetype slash = text.indexOf(QLatin1Char('/'));
        if (slash >= 0) {
            artist = text.left(slash);
            artist.chop(1);
            album = text.mid(slash + 1).mid(1);
        }
        artist = WebField(artist);
        album = WebField(album);
        auto hit =
            AlbumInfo::AlbumInfoFromScratch(artist, album, QStringLiteral(""), QStringLiteral(""));
        hit->setResultKey(SourceSupport::discKey(*category, *discId));
        hit->setIADBCompareString(SourceSupport::compareString(artist, album));
        hits.addSorted(hit, weights, 0);
        previousText = text;
    }
    if (progress) progress->NotifyBump(int(page.size() - bumped));
}

std::shared_ptr<AlbumDetails> FreeDB::details(const QString& key, const SourceOptions& options,
                                              ProgressIndicator* progress) const {
    if (!SourceSupport::isDiscKey(key)) return nullptr;
    const QString url =
        EscapeForURLQuiet(options.baseURL(baseURLKey()) + QStringLiteral("/freedb/") + key);
    return DiscDatabase::fetchDiscRecord(name(), url, key, kFreeDBURLDump, kFreeDBPageDump,
                                         progress);
}
