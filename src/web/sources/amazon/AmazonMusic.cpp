#include "web/sources/amazon/AmazonMusic.h"

#include "web/WebHelpers.h"
#include "web/sources/SourceOptions.h"

namespace {

QString searchAddress(const QString& base, const char* index, const QString& text) {
    return base +
           QStringLiteral("/exec/obidos/search-handle-url/ix=%1&field-keywords=")
               .arg(QLatin1String(index)) +
           EscapeForURLQuiet(text);
}

} // namespace

QList<MusicSource::Preference> AmazonMusic::preferences() const {
    return {{baseURLKey(), QStringLiteral("http://www.amazon.com")}};
}

QString AmazonMusic::browseURL(PageSubject subject, const QString& text,
                               const SourceOptions& options) const {
    if (text.isNull()) return QString();
    const QString base = options.baseURL(baseURLKey());
    return subject == PageSubject::Artist ? artistLookupString(base, text)
                                          : albumLookupString(base, text);
}

QString AmazonMusic::artistLookupString(const QString& base, const QString& artist) {
    return searchAddress(base, "music-artist", artist);
}

QString AmazonMusic::albumLookupString(const QString& base, const QString& album) {
    return searchAddress(base, "music-album", album);
}

QString AmazonMusic::songLookupString(const QString& base, const QString& song) {
    return albumLookupString(base, song);
}
