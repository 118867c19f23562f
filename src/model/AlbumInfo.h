#pragma once

#include "system/Picture.h"
#include <QList>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class AlbumDetails;

// A score weight list: entries with "key" (the hit's dictionary key to
// compare), "scoreValue" (the user's text) and "scoreWeight" (an integer; the
// weights of a list add up to 100). No list at all (nullopt) is not the same
// as an empty one.
using ScoreWeights = QList<QVariantMap>;

// One album hit of a search. Every property is an entry of `fDict` under a
// fixed key; an unset property is absent and reads as null. Setters ignore a
// null value, and nothing removes an entry.
class AlbumInfo {
public:
    static inline const QString kArtistKey = QStringLiteral("artist");
    static inline const QString kAlbumKey = QStringLiteral("album");
    static inline const QString kYearKey = QStringLiteral("year");
    static inline const QString kGenreKey = QStringLiteral("genre");
    static inline const QString kAlbumCoverURLKey = QStringLiteral("albumCoverURL");
    static inline const QString kIADBKeyKey = QStringLiteral("resultKey");
    static inline const QString kCompareStringKey = QStringLiteral("IADBSearchString");
    static inline const QString kCoverArtKey = QStringLiteral("coverArt");
    static inline const QString kCoverArtLocationKey = QStringLiteral("coverArtLocation");
    static inline const QString kCoverArtDataKey = QStringLiteral("coverArtData");
    static inline const QString kScoreKey = QStringLiteral("score");
    static inline const QString kAlbumDetailsKey = QStringLiteral("albumDetails");
    // The number of tracks on the hit's medium, when the search tells it.
    static inline const QString kTrackCountKey = QStringLiteral("trackCount");

    static inline const QString kWeightKeyKey = QStringLiteral("key");
    static inline const QString kWeightValueKey = QStringLiteral("scoreValue");
    static inline const QString kWeightWeightKey = QStringLiteral("scoreWeight");

    // Result keys of the two hits made from the folder itself.
    static inline const QString kTagKey = QStringLiteral("#TAG:");
    static inline const QString kFilesKey = QStringLiteral("#FILES:");

    AlbumInfo() = default;
    virtual ~AlbumInfo() = default;
    AlbumInfo(const AlbumInfo&) = default;
    AlbumInfo& operator=(const AlbumInfo&) = default;

    // A new record of the same class sharing the same values.
    virtual std::shared_ptr<AlbumInfo> copy() const;

    static std::shared_ptr<AlbumInfo> AlbumInfoFromScratch(const QString& artist,
                                                           const QString& album,
                                                           const QString& year,
                                                           const QString& genre);
    // The hit that stands for fetched details, carrying them.
    static std::shared_ptr<AlbumInfo> fromDetails(const AlbumDetails& details);
    static QVariantMap scoreWeightEntry(const QString& key, const QString& value, int weight);

    QString artist() const { return stringFor(kArtistKey); }
    QString album() const { return stringFor(kAlbumKey); }
    QString year() const { return stringFor(kYearKey); }
    QString genre() const { return stringFor(kGenreKey); }
    QString albumCoverURL() const { return stringFor(kAlbumCoverURLKey); }
    QString resultKey() const { return stringFor(kIADBKeyKey); }
    QString iadbCompareString() const { return stringFor(kCompareStringKey); }
    Picture coverArt() const;
    QString coverArtLocation() const { return stringFor(kCoverArtLocationKey); }
    // The cover's bytes as a file stored them, when it came from one: a save
    // can write them back without re-encoding.
    QByteArray coverArtData() const { return fDict.value(kCoverArtDataKey).toByteArray(); }
    int totalScore() const { return fDict.value(kScoreKey).toInt(); }
    int trackCount() const { return fDict.value(kTrackCountKey).toInt(); }
    void setTrackCount(int count) { fDict.insert(kTrackCountKey, count); }
    std::shared_ptr<AlbumDetails> albumDetails() const;

    void setArtist(const QString& v) { setString(kArtistKey, v); }
    void setAlbum(const QString& v) { setString(kAlbumKey, v); }
    void setYear(const QString& v) { setString(kYearKey, v); }
    void setGenre(const QString& v) { setString(kGenreKey, v); }
    void setAlbumCoverURL(const QString& v) { setString(kAlbumCoverURLKey, v); }
    void setResultKey(const QString& v) { setString(kIADBKeyKey, v); }
    void setIADBCompareString(const QString& v) { setString(kCompareStringKey, v); }
    void setCoverArt(const Picture& image);
    void setCoverArtLocation(const QString& v) { setString(kCoverArtLocationKey, v); }
    void setCoverArtData(const QByteArray& bytes) {
        if (!bytes.isEmpty()) fDict.insert(kCoverArtDataKey, bytes);
    }
    void setTotalScore(int score) { fDict.insert(kScoreKey, score); }
    void setAlbumDetails(const std::shared_ptr<AlbumDetails>& details);

    const QVariantMap& dict() const { return fDict; }
    QVariantMap& dict() { return fDict; }

    // Sets `totalScore` to the weighted fuzzy likeness of this hit's values to
    // the user's; no list leaves the score alone.
    void calcAlbumScore(const std::optional<ScoreWeights>& weights);

    // Column sorts: negative when this hit comes first. A hit lacking the
    // compared value is the same as any other.
    int compareIDs(const AlbumInfo& other) const;
    int compareArtist(const AlbumInfo& other) const;
    int compareAlbum(const AlbumInfo& other) const;
    int compareGenre(const AlbumInfo& other) const;
    int compareYear(const AlbumInfo& other) const;
    int compareScores(const AlbumInfo& other) const;

    QString description() const;
    virtual const char* className() const { return "AlbumInfo"; }

protected:
    // The album's fields of the details, and the text a search compares.
    void setAlbumFieldsOf(const AlbumDetails& details);
    QString stringFor(const QString& key) const;
    void setString(const QString& key, const QString& value);
    static int compareText(const QString& a, const QString& b);

    QVariantMap fDict;
};

using AlbumInfoPtr = std::shared_ptr<AlbumInfo>;
