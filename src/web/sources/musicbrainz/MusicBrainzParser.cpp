#include "web/sources/musicbrainz/MusicBrainzParser.h"

#include "model/AlbumDetails.h"
#include "web/sources/FieldText.h"
#include "web/sources/SourceSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {

std::optional<QJsonObject> parseObject(const QByteArray& json, QString* error) {
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not JSON: ") + parseError.errorString();
        return std::nullopt;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    return doc.object();
}

// An optional array field: absent is empty, any other type is an error.
std::optional<QJsonArray> arrayField(const QJsonObject& object, const QString& name, int limit,
                                     QString* error) {
    const QJsonValue value = object.value(name);
    if (value.isUndefined() || value.isNull()) return QJsonArray();
    if (!value.isArray()) {
        *error = QStringLiteral("\"%1\" is not an array").arg(name);
        return std::nullopt;
    }
    if (value.toArray().size() > limit) {
        *error = QStringLiteral("\"%1\" holds more than %2 entries").arg(name).arg(limit);
        return std::nullopt;
    }
    return value.toArray();
}

QString yearOfDate(const QString& date) {
    return CleanWebText(date.left(4));
}

// A text member, cleaned as every field from the web is.
QString textField(const QJsonObject& object, const QString& name) {
    return CleanWebText(object.value(name).toString());
}

// The name with the highest count; the first of equals.
QString topGenre(const QJsonArray& genres) {
    QString best;
    int bestCount = -1;
    for (const QJsonValue& entry : genres) {
        const QJsonObject genre = entry.toObject();
        const QString name = genre.value(QStringLiteral("name")).toString();
        const int count = genre.value(QStringLiteral("count")).toInt();
        if (!name.isEmpty() && count > bestCount) {
            best = CleanWebText(name);
            bestCount = count;
        }
    }
    return best;
}

QString discTitle(const QString& title, int disc) {
    return QStringLiteral("%1 (Disc %2)").arg(title).arg(disc);
}

// An identifier in its own shape only (36 hex digits and hyphens); any other
// text is no identifier, so nothing else reaches a key or a tag.
QString idOf(const QJsonObject& object) {
    // "\\z", not "$": "$" also matches before a final newline.
    static const QRegularExpression shape(QStringLiteral("^[0-9a-fA-F-]{36}\\z"));
    const QString id = object.value(QStringLiteral("id")).toString();
    return shape.match(id).hasMatch() ? id : QString();
}

} // namespace

QString MusicBrainzParser::artistCredit(const QJsonArray& credits) {
    // No credit is no artist, not an empty one: the field keeps its value.
    if (credits.isEmpty()) return QString();
    QString text(u""_qs);
    for (const QJsonValue& entry : credits) {
        const QJsonObject credit = entry.toObject();
        QString name = credit.value(QStringLiteral("name")).toString();
        if (name.isEmpty())
            name = credit.value(QStringLiteral("artist"))
                       .toObject()
                       .value(QStringLiteral("name"))
                       .toString();
        text += name + credit.value(QStringLiteral("joinphrase")).toString();
        if (text.size() > WebLimits::kMaxFieldChars) break;
    }
    return CleanWebText(text);
}

QString MusicBrainzParser::artistIds(const QJsonArray& credits) {
    QStringList ids;
    for (const QJsonValue& entry : credits) {
        const QString id = idOf(entry.toObject().value(QStringLiteral("artist")).toObject());
        if (!id.isEmpty() && !ids.contains(id)) ids << id;
    }
    return TagValues::joinedValues(ids);
}

bool MusicBrainzParser::isVariousArtists(const QJsonArray& credits) {
    for (const QJsonValue& entry : credits)
        if (idOf(entry.toObject().value(QStringLiteral("artist")).toObject()) == kVariousArtistsId)
            return true;
    return false;
}

QString MusicBrainzParser::makeKey(const QString& releaseId, int disc) {
    return kKeyPrefix + releaseId + (disc > 0 ? QStringLiteral("/%1").arg(disc) : QString());
}

std::optional<MusicBrainzParser::KeyParts> MusicBrainzParser::splitKey(const QString& key) {
    static const QRegularExpression shape(
        QStringLiteral("^#MB:([0-9a-fA-F-]{36})(?:/([1-9][0-9]{0,2}))?\\z"));
    const QRegularExpressionMatch match = shape.match(key);
    if (!match.hasMatch()) return std::nullopt;
    return KeyParts{match.captured(1).toLower(),
                    match.captured(2).isEmpty() ? 0 : match.captured(2).toInt()};
}

MusicBrainzParser::SearchResult MusicBrainzParser::parseSearch(const QByteArray& json) {
    SearchResult result;
    const std::optional<QJsonObject> root = parseObject(json, &result.error);
    if (!root) return result;
    const std::optional<QJsonArray> releases =
        arrayField(*root, QStringLiteral("releases"), kMaxReleases, &result.error);
    if (!releases) return result;
    for (const QJsonValue& entry : *releases) {
        if (!entry.isObject()) {
            result.error = QStringLiteral("a release is not an object");
            result.hits.clear();
            return result;
        }
        const QJsonObject release = entry.toObject();
        const QString id = release.value(QStringLiteral("id")).toString();
        const QString title = textField(release, QStringLiteral("title"));
        if (!splitKey(makeKey(id, 0)) || title.isEmpty()) continue;
        const std::optional<QJsonArray> credits =
            arrayField(release, QStringLiteral("artist-credit"), kMaxTracks, &result.error);
        const std::optional<QJsonArray> media =
            arrayField(release, QStringLiteral("media"), kMaxMedia, &result.error);
        if (!credits || !media) {
            result.hits.clear();
            return result;
        }
        const QString artist = artistCredit(*credits);
        QString date = release.value(QStringLiteral("date")).toString();
        if (date.isEmpty())
            date = release.value(QStringLiteral("release-group"))
                       .toObject()
                       .value(QStringLiteral("first-release-date"))
                       .toString();
        // A release of several media gives one hit per medium, so a folder
        // of one disc matches its own.
        const int discs = int(media->size());
        const int last = discs > 1 ? discs : 0;
        for (int disc = discs > 1 ? 1 : 0; disc <= last; ++disc) {
            const QString album = disc > 0 ? discTitle(title, disc) : title;
            auto hit = AlbumInfo::AlbumInfoFromScratch(artist, album, yearOfDate(date), QString());
            hit->setResultKey(makeKey(id, disc));
            hit->setIADBCompareString(SourceSupport::compareString(artist, album));
            const QJsonObject medium = media->at(disc > 0 ? disc - 1 : 0).toObject();
            int count = medium.value(QStringLiteral("track-count")).toInt();
            if (discs == 0) count = release.value(QStringLiteral("track-count")).toInt();
            if (count > 0 && count <= kMaxTracks) hit->setTrackCount(count);
            result.hits.append(hit);
        }
    }
    return result;
}

MusicBrainzParser::ReleaseResult MusicBrainzParser::parseRelease(const QByteArray& json, int disc) {
    ReleaseResult result;
    const std::optional<QJsonObject> root = parseObject(json, &result.error);
    if (!root) return result;
    const QString id = root->value(QStringLiteral("id")).toString();
    const QString title = textField(*root, QStringLiteral("title"));
    if (!splitKey(makeKey(id, 0)) || title.isEmpty()) {
        result.error = QStringLiteral("the release has no id or title");
        return result;
    }
    const std::optional<QJsonArray> credits =
        arrayField(*root, QStringLiteral("artist-credit"), kMaxTracks, &result.error);
    const std::optional<QJsonArray> media =
        arrayField(*root, QStringLiteral("media"), kMaxMedia, &result.error);
    const std::optional<QJsonArray> genres =
        arrayField(*root, QStringLiteral("genres"), kMaxTracks, &result.error);
    if (!credits || !media || !genres) return result;
    const QJsonObject group = root->value(QStringLiteral("release-group")).toObject();
    if (disc > media->size()) {
        result.error = QStringLiteral("the release has no disc %1").arg(disc);
        return result;
    }

    auto details = std::make_shared<AlbumDetails>();
    const bool oneDisc = disc > 0 && media->size() > 1;
    details->setResultKey(makeKey(id, oneDisc ? disc : 0));
    details->setDiscCount(oneDisc ? 1 : std::max(1, int(media->size())));
    const QString releaseArtist = artistCredit(*credits);
    const QString releaseArtistIds = artistIds(*credits);
    details->setArtist(releaseArtist);
    details->setAlbum(oneDisc ? discTitle(title, disc) : title);
    QString date = root->value(QStringLiteral("date")).toString();
    if (date.isEmpty()) date = group.value(QStringLiteral("first-release-date")).toString();
    details->setYear(yearOfDate(date));
    QString genre = topGenre(*genres);
    if (genre.isEmpty()) genre = topGenre(group.value(QStringLiteral("genres")).toArray());
    details->setGenre(genre);
    details->setTitles({});
    // Every identifier is named, so a save of this release replaces those of
    // another one even where this answer lacks one.
    details->setAlbumTags(
        {.mbReleaseId = id, .mbReleaseGroupId = idOf(group), .mbAlbumArtistId = releaseArtistIds},
        TagValues::kAlbumIds);
    details->setCompilation(isVariousArtists(*credits));

    // Tracks carry their disc when the release has several; pregap and
    // data tracks are listed apart from "tracks" and are no files to match.
    const int discCount = int(media->size());
    // Titles are matched to files at a cost of both counts: the whole album
    // is held to the track limit, not just each medium.
    qsizetype trackTotal = 0;
    for (qsizetype m = 0; m < media->size(); ++m) {
        if (oneDisc && m != disc - 1) continue;
        const QJsonObject medium = media->at(m).toObject();
        const std::optional<QJsonArray> tracks =
            arrayField(medium, QStringLiteral("tracks"), kMaxTracks, &result.error);
        if (!tracks) return result;
        const int position = medium.value(QStringLiteral("position")).toInt(int(m) + 1);
        trackTotal += tracks->size();
        if (trackTotal > kMaxTracks) {
            result.error = QStringLiteral("the release holds more than %1 tracks").arg(kMaxTracks);
            return result;
        }
        for (const QJsonValue& entry : *tracks) {
            const QJsonObject track = entry.toObject();
            const QJsonObject recording = track.value(QStringLiteral("recording")).toObject();
            QString trackTitle = textField(track, QStringLiteral("title"));
            if (trackTitle.isEmpty()) trackTitle = textField(recording, QStringLiteral("title"));
            const std::optional<QJsonArray> trackCredits =
                arrayField(track, QStringLiteral("artist-credit"), kMaxTracks, &result.error);
            if (!trackCredits) return result;
            // Only a track artist other than the album's is worth keeping.
            QString trackArtist = artistCredit(*trackCredits);
            if (trackArtist == releaseArtist) trackArtist.clear();
            const QJsonValue length = track.value(QStringLiteral("length"));
            if (length.isDouble() && length.toDouble() > 0 && length.toDouble() < 1e9)
                details->addTitle(trackTitle, trackArtist.isEmpty() ? QString() : trackArtist,
                                  int(length.toDouble()));
            else
                details->addTitle(trackTitle, trackArtist.isEmpty() ? QString() : trackArtist);
            TagValues tags{.mbReleaseTrackId = idOf(track),
                           .mbRecordingId = idOf(recording),
                           .mbArtistId = trackCredits->isEmpty() ? releaseArtistIds
                                                                 : artistIds(*trackCredits)};
            TagFields fields = TagValues::kTrackIds;
            if (discCount > 1) {
                tags.setDisc(position, discCount);
                fields |= TagField::Disc | TagField::DiscCount;
            }
            details->setLastTags(tags, fields);
        }
    }
    result.frontCover = root->value(QStringLiteral("cover-art-archive"))
                            .toObject()
                            .value(QStringLiteral("front"))
                            .toBool();
    result.details = details;
    return result;
}
