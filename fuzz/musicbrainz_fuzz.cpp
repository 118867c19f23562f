// Feeds arbitrary bytes to the MusicBrainz answer parsers as a search answer
// and as a release (whole, and its first disc): neither may crash, and what
// they accept must be clean and within the limits.
#include "WebParseChecks.h"

#include "web/sources/musicbrainz/MusicBrainzParser.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const MusicBrainzParser::SearchResult search = MusicBrainzParser::parseSearch(json);
    for (const AlbumInfoPtr& hit : search.hits)
        WebParseChecks::hit(*hit);
    for (int disc : {0, 1})
        WebParseChecks::details(MusicBrainzParser::parseRelease(json, disc).details.get());
    return 0;
}
