#pragma once

#include "web/sources/MusicSource.h"

#include <QString>

// Amazon is look-up only: the user can open its music search in the browser
// to check what the other sources found. Trovix never sends Amazon a request
// of its own, so it serves no hits and has no search to turn on. The text
// goes in escaped but otherwise as given (an artist's leading article stays).
class AmazonMusic : public MusicSource {
public:
    // The base address preference.
    static constexpr const char* kBaseURLKey = "AmazonBaseURL";
    // What its result keys would start with: no hit carries it, and a site
    // without a prefix would be taken for the owner of bare keys.
    static inline const QString kKeyPrefix = QStringLiteral("#AMZN:");

    QString name() const override { return QStringLiteral("Amazon Music"); }
    QString iconName() const override { return QString(); }
    Badge badge() const override { return {}; }
    QString keyPrefix() const override { return kKeyPrefix; }
    int serves() const override { return 0; }
    QString enabledKey() const override { return QString(); }
    QString baseURLKey() const override { return QString::fromLatin1(kBaseURLKey); }
    QList<Preference> preferences() const override;
    QString searchCaption() const override { return QString(); }
    void search(AlbumInfoArray&, const QString&, const std::optional<ScoreWeights>&,
                const SourceOptions&, ProgressIndicator*) const override {}
    std::shared_ptr<AlbumDetails> details(const QString&, const SourceOptions&,
                                          ProgressIndicator*) const override {
        return nullptr;
    }

    bool hasSearchPages() const override { return true; }
    // Amazon has no song search worth the name: the album search serves.
    QString browseURL(PageSubject subject, const QString& text,
                      const SourceOptions& options) const override;

    // The search addresses for a text on `base` (SourceOptions::baseURL).
    static QString artistLookupString(const QString& base, const QString& artist);
    static QString albumLookupString(const QString& base, const QString& album);
    static QString songLookupString(const QString& base, const QString& song);
};
