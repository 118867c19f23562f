// Feeds arbitrary bytes, as the fetcher hands a page over, to the disc
// database's parsers: the FreeDB and gnudb search pages and the disc record.
// Keys must carry a known category and eight hexadecimal digits.
#include "WebParseChecks.h"

#include "web/sources/DiscDatabase.h"
#include "web/sources/SourceSupport.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString page = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString base = QStringLiteral("http://www.gnudb.org");

    AlbumInfoArray freedb, gnudb;
    FreeDB::parseSearchPage(freedb, page, base, std::nullopt, nullptr);
    Gnudb::parseSearchPage(gnudb, page, base, std::nullopt, nullptr);
    WebParseChecks::hits(freedb);
    WebParseChecks::hits(gnudb);
    for (const AlbumInfoPtr& hit : freedb.array())
        if (!SourceSupport::isDiscKey(hit->resultKey())) std::abort();
    for (const AlbumInfoPtr& hit : gnudb.array())
        if (!SourceSupport::isDiscKey(hit->resultKey().mid(Gnudb::kKeyPrefix.size()))) std::abort();

    WebParseChecks::details(
        DiscDatabase::AlbumDetailsFromDiscRecord(page, QStringLiteral("rock/0a0b0c0d")).get());
    return 0;
}
