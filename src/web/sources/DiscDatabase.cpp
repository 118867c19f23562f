#include "web/sources/DiscDatabase.h"

#include "model/AlbumDetails.h"
#include "text/StringUtils.h"
#include "web/WebHelpers.h"
#include "web/sources/FieldText.h"
#include "web/sources/SourceFetcher.h"

#include <QStringList>

#include <optional>

namespace {

// One line value of a disc record: the text from `from` to the next line
// feed. `next` becomes the position behind the line feed, or -1 when the
// value ran to the end of the record without one. A carriage return in front
// of the line feed is not part of the value.
QString lineValue(const QString& record, qsizetype from, qsizetype* next) {
    const qsizetype lf = record.indexOf(QLatin1Char('\n'), from);
    QString value = lf < 0 ? record.mid(from) : record.mid(from, lf - from);
    if (value.endsWith(QLatin1Char('\r'))) value.chop(1);
    *next = lf < 0 ? -1 : lf + 1;
    return value;
}

} // namespace

QString DiscDatabase::prepareSearchText(const QString& searchText) {
    return stringWithString(EscapeForURLQuiet(searchText), QStringLiteral("()[]\\{}<>\""));
}

SourceFetcher::Response DiscDatabase::fetchPage(const QString& source, const QString& url,
                                                int timeLimitSecs, const char* urlDump,
                                                const char* pageDump, ProgressIndicator* progress) {
    SourceFetcher::Request request;
    request.url = url;
    request.source = source;
    request.timeLimitSecs = timeLimitSecs;
    request.urlDump = urlDump;
    request.pageDump = pageDump;
    request.anyAnswer = true;
    return SourceFetcher::fetch(request, progress);
}

std::shared_ptr<AlbumDetails> DiscDatabase::fetchDiscRecord(const QString& source,
                                                            const QString& address,
                                                            const QString& key, const char* urlDump,
                                                            const char* pageDump,
                                                            ProgressIndicator* progress) {
    const SourceFetcher::Response fetched =
        fetchPage(source, address, kDiscRecordTimeLimitSecs, urlDump, pageDump, progress);
    if (!fetched.body) return nullptr;
    return AlbumDetailsFromDiscRecord(*fetched.body, key);
}

std::shared_ptr<AlbumDetails> DiscDatabase::AlbumDetailsFromDiscRecord(const QString& page,
                                                                       const QString& key) {
    // The record is read as the fetcher gave it, one character per byte; the
    // markers and line feeds are ASCII, so no UTF-8 sequence is cut apart.
    QString title; // the joined disc title
    bool haveTitle = false;
    std::optional<QString> year, genre;
    QStringList titles;

    // A long disc title is continued over several lines.
    const QString titleKey = QStringLiteral("DTITLE=");
    qsizetype pos = 0;
    for (;;) {
        const qsizetype at = page.indexOf(titleKey, pos);
        if (at < 0) break;
        qsizetype next;
        const QString value = lineValue(page, at + titleKey.size(), &next);
        if (next < 0) {
            pos = -1;
            break;
        }
        title += value;
        haveTitle = true;
        pos = next;
    }
    if (haveTitle && pos >= 0) {
        // Year, genre and titles each continue behind the line of the
        // previous one; a value without a line feed is the last thing read.
        const auto readField = [&page, &pos](const QString& fieldKey) -> std::optional<QString> {
            const qsizetype at = page.indexOf(fieldKey, pos);
            if (at < 0) return std::nullopt;
            return lineValue(page, at + fieldKey.size(), &pos);
        };
        year = readField(QStringLiteral("DYEAR="));
        if (pos >= 0) genre = readField(QStringLiteral("DGENRE="));
        for (int n = 0; n < 100 && pos >= 0; ++n) {
            const std::optional<QString> value = readField(QStringLiteral("TITLE%1=").arg(n));
            if (!value) break;
            titles << *value;
        }
    }

    // Records are served in UTF-8 today and are kept whatever their script,
    // also when a long title was split inside a character (the record as a
    // whole is then not valid UTF-8, but its joined values are). Only older
    // records whose values are not all UTF-8 must fit the legacy character
    // set, or they would reach the tags garbled.
    if (!IsLatin1BytesValidUtf8(page) && !FitsMacRoman(page)) {
        bool allUtf8 = IsLatin1BytesValidUtf8(title) &&
                       IsLatin1BytesValidUtf8(year.value_or(QString())) &&
                       IsLatin1BytesValidUtf8(genre.value_or(QString()));
        for (const QString& t : titles)
            allUtf8 = allUtf8 && IsLatin1BytesValidUtf8(t);
        if (!allUtf8) return nullptr;
    }

    auto details = std::make_shared<AlbumDetails>();
    details->setResultKey(key);
    if (haveTitle) {
        const QString text = WebField(title);
        const qsizetype split = text.indexOf(QStringLiteral(" / "));
        if (split < 0) {
            details->setArtist(text);
        } else {
            details->setArtist(text.left(split));
            details->setAlbum(text.mid(split + 3));
        }
    }
    if (year) details->setYear(WebField(*year));
    if (genre) details->setGenre(WebField(*genre));
    for (const QString& t : titles)
        details->addTitle(WebField(t), QString());
    return details;
}
