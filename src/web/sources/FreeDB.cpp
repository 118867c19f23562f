#include "web/sources/FreeDB.h"

#include "app/Preferences.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "system/ProgressIndicator.h"
#include "text/StringUtils.h"
#include "web/DebugFiles.h"
#include "web/GrabWebPage.h"
#include "web/WebHelpers.h"
#include "web/sources/FieldText.h"
#include "web/sources/SourceSupport.h"

namespace {

constexpr const char* kURLDump = "/tmp/Trovix_FreeDB_%d.txt";
constexpr const char* kPageDump = "/tmp/Trovix_FreeDB_%d.htm";

// One line value of a disc record: the text from `from` to the next line
// feed. `next` becomes the position behind the line feed, or -1 when the
// value ran to the end of the record without one. A carriage return in front
// of the line feed is not part of the value.
QString lineValue(const QString& record, qsizetype from, qsizetype* next) {
    const qsizetype lf = record.indexOf(QLatin1Char('\n'), from);
    QString value = lf < 0 ? record.mid(from) : record.mid(from, lf - from);
    if (value.endsWith(QLatin1Char('\r')))
        value.chop(1);
    *next = lf < 0 ? -1 : lf + 1;
    return value;
}

} // namespace

QString FreeDB::prepareSearchText(const QString& searchText) {
    return stringWithString(EscapeForURLQuiet(searchText), QStringLiteral("()[]\\{}<>\""));
}

QString FreeDB::removeTagsOnly(const QString& text) {
    QString out;
    qsizetype from = 0;
    for (;;) {
        const qsizetype lt = text.indexOf(QLatin1Char('<'), from);
        if (lt < 0)
            break;
        const qsizetype gt = text.indexOf(QLatin1Char('>'), lt + 1);
        if (gt < 0)
            break;
        out += QStringView(text).mid(from, lt - from);
        from = gt + 1;
    }
    out += QStringView(text).mid(from);
    return out;
}

void FreeDB::addAlbumHitsFromFreeDB(AlbumInfoArray& hits, const QString& searchText,
                                    const std::optional<ScoreWeights>& weights,
                                    ProgressIndicator* progress) {
    const QString base = SourceSupport::baseURL(Prefs::kFreeDBBaseURL);
    QString url = base + QStringLiteral("/freedb_search.php?words=") +
                  prepareSearchText(searchText) +
                  QStringLiteral("&allfields=NO&fields=artist&fields=title&allcats=YES&grouping=none");
    WriteDebugFile(kURLDump, url);

    const std::optional<QString> fetched = GrabWebPage(url, progress, kSearchTimeLimitSecs, nullptr);
    if (!fetched || fetched->isEmpty())
        return;
    const QString& page = *fetched;
    WriteDebugFile(kPageDump, page);
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
            if (progress->cancelled())
                break;
        }
        const std::optional<QString> cut =
            ExtractDoublyDelimitedString(page, &window, linkMarker, QString(), QStringLiteral("</a>"));
        if (!cut)
            break;

        // The cut: category, "&id=", identifier, `">`, link text.
        Window inCut{0, cut->size()};
        const auto category =
            ExtractDoublyDelimitedString(*cut, &inCut, QString(), QString(), QStringLiteral("&id="));
        if (!category)
            continue;
        const auto identifier =
            ExtractDoublyDelimitedString(*cut, &inCut, QString(), QString(), QStringLiteral("\">"));
        if (!identifier || identifier->startsWith(QLatin1Char(' ')))
            continue;
        const auto discId = SourceSupport::readHex(*identifier);
        if (!discId)
            continue;
        QString text = removeTagsOnly(cut->mid(inCut.location));
        if (text.isEmpty())
            continue;

        // A later entry of the same disc shows only a number: it stands for
        // the text of the entry before it.
        if (auto digits = SourceSupport::firstDigitRun(text))
            lastDigits = digits;
        if (lastDigits && text == *lastDigits)
            text = previousText;

        QString artist = text;
        QString album = QStringLiteral("");
        const qsizetype slash = text.indexOf(QLatin1Char('/'));
        if (slash >= 0) {
            artist = text.left(slash);
            artist.chop(1);
            album = text.mid(slash + 1).mid(1);
        }
        artist = RepairUtf8Field(artist);
        album = RepairUtf8Field(album);
        auto hit = AlbumInfo::AlbumInfoFromScratch(artist, album, QStringLiteral(""),
                                                   QStringLiteral(""));
        hit->setIADBKey(SourceSupport::discKey(*category, *discId));
        hit->setIADBCompareString(SourceSupport::compareString(artist, album));
        hits.addSorted(hit, weights, 0);
        previousText = text;
    }
    if (progress)
        progress->NotifyBump(int(page.size() - bumped));
}

std::shared_ptr<AlbumDetails> FreeDB::AlbumDetailsWithFreeDBKey(const QString& key,
                                                               ProgressIndicator* progress) {
    if (key.isEmpty())
        return nullptr;
    const QString url = EscapeForURLQuiet(SourceSupport::baseURL(Prefs::kFreeDBBaseURL) +
                                          QStringLiteral("/freedb/") + key);
    return fetchDiscRecord(url, key, kURLDump, kPageDump, progress);
}

std::shared_ptr<AlbumDetails> FreeDB::fetchDiscRecord(const QString& address, const QString& key,
                                                      const char* urlDump, const char* pageDump,
                                                      ProgressIndicator* progress) {
    QString url = address;
    WriteDebugFile(urlDump, url);
    const std::optional<QString> page = GrabWebPage(url, progress, kDiscRecordTimeLimitSecs, nullptr);
    if (!page)
        return nullptr;
    WriteDebugFile(pageDump, *page);
    return AlbumDetailsFromDiscRecord(*page, key);
}

std::shared_ptr<AlbumDetails> FreeDB::AlbumDetailsFromDiscRecord(const QString& page,
                                                                const QString& key) {
    // Records are served in UTF-8 today; a valid UTF-8 record is read as
    // such whatever its script. Only older records that are not valid UTF-8
    // must fit the legacy character set, or they would reach the tags
    // garbled.
    QString record;
    if (IsLatin1BytesValidUtf8(page))
        record = QString::fromUtf8(page.toLatin1());
    else if (FitsMacRoman(page))
        record = page;
    else
        return nullptr;

    auto details = std::make_shared<AlbumDetails>();
    details->setIADBKey(key);

    // A long disc title is continued over several lines.
    const QString titleKey = QStringLiteral("DTITLE=");
    QString title;
    bool haveTitle = false;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype at = record.indexOf(titleKey, pos);
        if (at < 0)
            break;
        qsizetype next;
        const QString value = lineValue(record, at + titleKey.size(), &next);
        if (next < 0) {
            pos = -1;
            break;
        }
        title += value;
        haveTitle = true;
        pos = next;
    }
    if (haveTitle) {
        const qsizetype split = title.indexOf(QStringLiteral(" / "));
        if (split < 0) {
            details->setArtist(title);
        } else {
            details->setArtist(title.left(split));
            details->setAlbum(title.mid(split + 3));
        }
    }
    if (!haveTitle || pos < 0)
        return details;

    // Year, genre and titles each continue behind the line of the previous
    // one; a value without a line feed is the last thing read.
    const auto readField = [&record, &pos](const QString& fieldKey, QString* value) {
        const qsizetype at = record.indexOf(fieldKey, pos);
        if (at < 0)
            return false;
        *value = lineValue(record, at + fieldKey.size(), &pos);
        return true;
    };
    QString value;
    if (readField(QStringLiteral("DYEAR="), &value))
        details->setYear(value);
    if (pos < 0)
        return details;
    if (readField(QStringLiteral("DGENRE="), &value))
        details->setGenre(value);
    for (int n = 0; n < 100 && pos >= 0; ++n) {
        if (!readField(QStringLiteral("TITLE%1=").arg(n), &value))
            break;
        details->addTitle(value, QString());
    }
    return details;
}
