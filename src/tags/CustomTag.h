#pragma once

#include <QString>
#include <QVariantMap>

// The program's own tag: remembers inside a music file the search that found
// its album and the hit that was chosen, so a reopened folder can go straight
// back to it. A null QString stands for an absent value.
class CustomTag {
public:
    static inline const QString kSearchTermsKey = QStringLiteral("searchTerms");
    static inline const QString kKeyKey = QStringLiteral("freeDBSpec");
    static inline const QString kVariousArtistKey = QStringLiteral("variousArtist");
    static inline const QString kReverseKey = QStringLiteral("revArtAlb");

    CustomTag() = default;
    explicit CustomTag(const QVariantMap& dict) : fDict(dict) {}

    // Reads the text form back: pairs of key, tab, value, line feed, with
    // white space skipped before each key; a blank value reads as empty, and
    // unknown keys and every line after the first of a key are ignored.
    static CustomTag fromString(const QString& text);

    QString savedSearchTerms() const { return stringFor(kSearchTermsKey); }
    QString resultKey() const { return stringFor(kKeyKey); }
    QString variousArtist() const { return stringFor(kVariousArtistKey); }
    // Setters ignore a null value, and a value holding a tab, line feed or
    // carriage return, which would add lines to the stored form: the old
    // value stays.
    void setSavedSearchTerms(const QString& v) { setString(kSearchTermsKey, v); }
    void setResultKey(const QString& v) { setString(kKeyKey, v); }
    void setVariousArtist(const QString& v) { setString(kVariousArtistKey, v); }

    void setReverseArtistAlbum(bool flag) { fDict.insert(kReverseKey, flag ? 1 : 0); }
    bool reverseArtistAlbum() const { return fDict.value(kReverseKey).toInt() != 0; }

    // The stored form: searchTerms, freeDBSpec, variousArtist lines when
    // present, and the revArtAlb line always.
    QString customTagToString() const;

    const QVariantMap& dict() const { return fDict; }
    QString description() const;

    static QString stringWithStringObject(const QString& value, const QString& key);
    static QString stringWithBoolObject(bool flag, const QString& key);

    bool operator==(const CustomTag& other) const { return fDict == other.fDict; }

private:
    QString stringFor(const QString& key) const;
    void setString(const QString& key, const QString& v);

    QVariantMap fDict;
};
