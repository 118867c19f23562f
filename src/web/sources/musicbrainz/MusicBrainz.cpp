#include "web/sources/musicbrainz/MusicBrainz.h"

#include "app/AppVersion.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "web/WebThrottle.h"
#include "web/sources/SourceFetcher.h"
#include "web/sources/SourceOptions.h"
#include "web/sources/musicbrainz/MusicBrainzParser.h"

#include <QUrl>

namespace {

constexpr int kTimeLimitSecs = 20;
constexpr int kMBAttempts = 2;
constexpr const char* kMBURLDump = "/tmp/Trovix_MB_%d.txt";
constexpr const char* kMBPageDump = "/tmp/Trovix_MB_%d.json";

SourceFetcher::Request request(const QString& url, const SourceOptions& options) {
    SourceFetcher::Request r;
    r.url = url;
    r.source = QStringLiteral("MusicBrainz");
    r.timeLimitSecs = kTimeLimitSecs;
    r.attempts = kMBAttempts;
    r.throttle = MusicBrainz::throttle();
    r.options.userAgent = MusicBrainz::userAgent(options.homePage);
    r.options.headers = {QByteArrayLiteral("Accept: application/json")};
    r.urlDump = kMBURLDump;
    r.pageDump = kMBPageDump;
    r.busyRetries = true;
    return r;
}

} // namespace

QString MusicBrainz::keyPrefix() const {
    return MusicBrainzParser::kKeyPrefix;
}

QList<MusicSource::Preference> MusicBrainz::preferences() const {
    return {{QString::fromLatin1(kSearchKey), QStringLiteral("YES")},
            {QString::fromLatin1(kBaseURLKey), QStringLiteral("https://musicbrainz.org")},
            {QString::fromLatin1(kCoverBaseURLKey), QStringLiteral("https://coverartarchive.org"),
             QStringLiteral("Cover Art Archive")}};
}

WebThrottle* MusicBrainz::throttle() {
    static WebThrottle shared(QStringLiteral("MusicBrainz"), 1.0);
    return &shared;
}

QByteArray MusicBrainz::userAgent(const QString& homePage) {
    return AppVersion::userAgent() + " ( " + homePage.toUtf8() + " )";
}

QString MusicBrainz::escapeLucene(const QString& value) {
    static const QString special = QStringLiteral("+-&|!(){}[]^\"~*?:\\/");
    QString out;
    out.reserve(value.size() * 2);
    for (const QChar c : value) {
        if (special.contains(c)) out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString MusicBrainz::searchQuery(const SearchTerms& terms) {
    QString artist = terms.artist.trimmed();
    QString album = terms.album.trimmed();
    if (!terms.hasFields()) {
        const qsizetype slash = terms.text.indexOf(QStringLiteral(" / "));
        artist = slash < 0 ? QString() : terms.text.left(slash).trimmed();
        album = (slash < 0 ? terms.text : terms.text.mid(slash + 3)).trimmed();
    }
    if (artist.contains(QStringLiteral("various"), Qt::CaseInsensitive)) artist.clear();
    QStringList parts;
    if (!album.isEmpty())
        parts << QStringLiteral("release:(") + escapeLucene(album) + QLatin1Char(')');
    if (!artist.isEmpty())
        parts << QStringLiteral("artist:(") + escapeLucene(artist) + QLatin1Char(')');
    return parts.join(QStringLiteral(" AND "));
}

void MusicBrainz::search(AlbumInfoArray& hits, const QString& terms,
                         const std::optional<ScoreWeights>& weights, const SourceOptions& options,
                         ProgressIndicator* progress) const {
    searchAlbums(hits, SearchTerms(terms), weights, options, progress);
}

void MusicBrainz::searchAlbums(AlbumInfoArray& hits, const SearchTerms& terms,
                               const std::optional<ScoreWeights>& weights,
                               const SourceOptions& options, ProgressIndicator* progress) const {
    const QString query = searchQuery(terms);
    if (query.isEmpty()) return;
    const QString url = options.baseURL(baseURLKey()) + QStringLiteral("/ws/2/release/?query=") +
                        QString::fromLatin1(QUrl::toPercentEncoding(query)) +
                        QStringLiteral("&fmt=json&limit=") + QString::number(options.maxEntries);
    const SourceFetcher::Response response = SourceFetcher::fetch(request(url, options), progress);
    if (!response.body) return;
    const MusicBrainzParser::SearchResult parsed =
        MusicBrainzParser::parseSearch(response.body->toLatin1());
    if (!parsed.error.isNull()) {
        TROVIX_WEB_LOG() << "MusicBrainz search answer unusable: " << parsed.error;
        return;
    }
    for (const AlbumInfoPtr& hit : parsed.hits)
        hits.addSorted(hit, weights, 0);
}

void MusicBrainz::savedSearch(AlbumInfoArray& hits, const QString&, const QString& key,
                              const std::optional<ScoreWeights>& weights,
                              const SourceOptions& options, ProgressIndicator* progress) const {
    const std::shared_ptr<AlbumDetails> album = details(key, options, progress);
    if (!album) return;
    const AlbumInfoPtr hit = AlbumInfo::fromDetails(*album);
    hit->setTrackCount(album->numTracks());
    hits.addSorted(hit, weights, 0);
}

QString MusicBrainz::keyForTags(const TagValues& tags) const {
    const int disc = tags.discCountNumber() > 1 ? tags.discNumber() : 0;
    const QString key = MusicBrainzParser::makeKey(tags.mbReleaseId.trimmed(), disc);
    return MusicBrainzParser::splitKey(key) ? key : QString();
}

std::shared_ptr<AlbumDetails> MusicBrainz::details(const QString& key, const SourceOptions& options,
                                                   ProgressIndicator* progress) const {
    const std::optional<MusicBrainzParser::KeyParts> parts = MusicBrainzParser::splitKey(key);
    if (!parts) return nullptr;
    const QString url = options.baseURL(baseURLKey()) + QStringLiteral("/ws/2/release/") +
                        parts->releaseId +
                        QStringLiteral("?inc=recordings+artist-credits+release-groups+genres+"
                                       "media&fmt=json");
    const SourceFetcher::Response response = SourceFetcher::fetch(request(url, options), progress);
    if (!response.body) return nullptr;
    const MusicBrainzParser::ReleaseResult parsed =
        MusicBrainzParser::parseRelease(response.body->toLatin1(), parts->disc);
    if (!parsed.details) {
        TROVIX_WEB_LOG() << "MusicBrainz release answer unusable: " << parsed.error;
        return nullptr;
    }
    if (parsed.frontCover)
        parsed.details->setAlbumCoverURL(options.baseURL(QString::fromLatin1(kCoverBaseURLKey)) +
                                         QStringLiteral("/release/") + parts->releaseId +
                                         QStringLiteral("/front-500"));
    return parsed.details;
}
