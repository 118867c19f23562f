#pragma once

#include "web/sources/MusicSource.h"

#include <QHash>
#include <QIcon>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QString>

class QPainter;
class QPalette;
class QRect;

// The process-wide pictures of the hit tables and the legend: the icon of
// each registered music source and of the hits made from the folder, and the
// relevance bar. Sources that ask for it have their icon fetched from their
// "/favicon.ico" at start-up; until a fetch succeeds, and when it fails, the
// bundled pictures (shipped, or drawn here from the source's badge) stand in.
class SourceIcons : public QObject {
    Q_OBJECT
public:
    // The hits made from the folder itself.
    enum Local { FileNames, Tags, kLocalCount };

    static SourceIcons* instance();

    // Loads the bundled pictures and, when `fetch` is set, starts fetching
    // the site icons on a background thread from the base addresses
    // configured for the sources. Safe to call more than once.
    static void InitIcons(bool fetch = true);

    // The icons (any thread): a local kind, or a source by its name (null
    // for a source without an icon).
    QImage icon(Local kind) const;
    QImage icon(const QString& sourceName) const;
    // The bundled picture by its resource name: "File Name Icon.jpg",
    // "Tags Icon.jpg", or a registered source's icon name (its shipped
    // picture, else its badge), 16 x 16. Null for an unknown name.
    static QImage bundledImage(const QString& name);

    // The icon for a hit's result key: "#FILES:", "#TAG:", or the prefix of a
    // source that has an icon; a null image for any other key or none.
    QImage iconForKey(const QString& resultKey) const;
    // The same as the tables and the legend draw it: a badge painted as
    // vectors at any size, or the shipped or fetched picture.
    QIcon decorationForKey(const QString& resultKey) const;
    QIcon decoration(Local kind) const;
    QIcon decorationFor(const QString& sourceName) const;

    // A hit's relevance bar (score 0..100) in its cell, in the palette's
    // highlight colour.
    static void paintRelevance(QPainter* painter, const QRect& cell, int score,
                               const QPalette& palette);

    // Installs a fetched icon (main thread); a picture that does not decode
    // leaves the bundled one.
    void setFetchedIcon(const QString& sourceName, const QByteArray& bytes);

signals:
    // An icon changed: views showing icons redraw.
    void iconsChanged();

protected:
    // Runs the fetcher's calls (QueuedCall): a queued functor's slot object
    // would be released by the fetching thread after the main thread ran it.
    void customEvent(QEvent* event) override;

private:
    SourceIcons();
    static QImage drawBadge(const MusicSource::Badge& badge);
    // The source name of a result key, or the local kind's resource name.
    static QString nameForKey(const QString& resultKey);

    mutable QMutex fMutex;
    QImage fLocal[kLocalCount];
    QHash<QString, QImage> fSites; // by source name
    // Drawn badges that no shipped or fetched picture replaced, by source
    // name or local resource name.
    QHash<QString, MusicSource::Badge> fBadges;
};
