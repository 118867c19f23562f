#pragma once

#include "system/Picture.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <memory>

// One cover-art candidate: a picture with where it came from, how that is
// described to the user, its size as shown and its rank. Every property is
// an entry of `fDict`; setters ignore null values and nothing removes an
// entry.
class AlbumArtDict {
public:
    static inline const QString kSourceKey = QStringLiteral("source");
    static inline const QString kSourceDescrKey = QStringLiteral("sourceDescr");
    static inline const QString kSizeDescrKey = QStringLiteral("sizeDescr");
    static inline const QString kImageKey = QStringLiteral("image");
    static inline const QString kImageDataKey = QStringLiteral("imageData");
    static inline const QString kPixelSizeKey = QStringLiteral("pixelSize");
    static inline const QString kLocationKey = QStringLiteral("location");
    static inline const QString kScoreKey = QStringLiteral("score");

    // The source texts.
    static inline const QString kSourceEmpty = QStringLiteral("empty");
    static inline const QString kSourceFile = QStringLiteral("file");
    static inline const QString kSourceDrop = QStringLiteral("drop");
    static inline const QString kSourceURL = QStringLiteral("url");
    static inline const QString kSourceSaved = QStringLiteral("saved");

    AlbumArtDict() = default;
    virtual ~AlbumArtDict() = default;
    AlbumArtDict(const AlbumArtDict&) = default;
    AlbumArtDict& operator=(const AlbumArtDict&) = default;

    std::shared_ptr<AlbumArtDict> copy() const { return std::make_shared<AlbumArtDict>(*this); }

    QString source() const { return stringFor(kSourceKey); }
    QString sourceDescr() const { return stringFor(kSourceDescrKey); }
    QString sizeDescr() const { return stringFor(kSizeDescrKey); }
    // The picture, decoded on each call from what the candidate keeps: the
    // picture itself, its stored bytes, or (from a file) the file. Null when
    // there is none or it does not decode.
    Picture image() const;
    // Whether there is a picture to decode, without decoding it.
    bool hasImage() const;
    // The picture's bytes as stored in tags; empty when not kept.
    QByteArray imageData() const { return fDict.value(kImageDataKey).toByteArray(); }
    // The picture's size in pixels, known without decoding.
    QSize pixelSize() const;
    QString location() const { return stringFor(kLocationKey); }
    int score() const { return fDict.value(kScoreKey).toInt(); }

    void setSource(const QString& v) { setString(kSourceKey, v); }
    void setSourceDescr(const QString& v) { setString(kSourceDescrKey, v); }
    void setSizeDescr(const QString& v) { setString(kSizeDescrKey, v); }
    void setImage(const Picture& image);
    void setImageData(const QByteArray& bytes);
    void setPixelSize(QSize size);
    void setLocation(const QString& v) { setString(kLocationKey, v); }
    void setScore(int score) { fDict.insert(kScoreKey, score); }

    // The words shown for a source: the file's name for "file" (the last
    // component of `location`), fixed texts for the others, "unknown" for
    // anything else.
    static QString describeSource(const QString& source, const QString& location);
    // "W x H" in whole pixels, "(none)" for 0 x 0.
    static QString describeSize(QSize size);

    const QVariantMap& dict() const { return fDict; }
    QString description() const;
    const char* className() const { return "AlbumArtDict"; }

private:
    QString stringFor(const QString& key) const;
    void setString(const QString& key, const QString& value);

    QVariantMap fDict;
};
