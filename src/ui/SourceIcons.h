#pragma once

#include <QColor>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QString>

// The process-wide pictures of the hit tables and the legend: the icon of
// each source, and the relevance bar. The site icons are fetched from each
// site's "/favicon.ico" at start-up; until a fetch succeeds, and when it
// fails, the bundled pictures (drawn here) stand in.
class SourceIcons : public QObject {
    Q_OBJECT
public:
    enum Source { AMG, Google, Gnudb, FileNames, Tags, MusicBrainz, kSourceCount };

    static SourceIcons* instance();

    // Loads the bundled pictures and, when `fetch` is set, starts fetching
    // the three site icons on a background thread from the base addresses
    // configured for the sources. Safe to call more than once.
    static void InitIcons(bool fetch = true);

    // The icon of a source (any thread).
    QImage icon(Source source) const;
    // The bundled picture by its resource name: "AMG Icon.ico",
    // "Google Icon.ico", "Gnudb Icon.jpg", "File Name Icon.jpg",
    // "Tags Icon.jpg", "Relevance.tif", and the shipped "MusicBrainzIcon.png".
    // Null for an unknown name.
    static QImage bundledImage(const QString& name);

    // The icon for a hit's result key, by prefix: "#FILES:", "#TAG:",
    // "#AMG:", "#GOOG:", "#GNU:", "#MB:"; a null image for any other key or
    // none.
    QImage iconForKey(const QString& iadbKey) const;
    // The text colour shown with a hit: always black.
    static QColor colorForKey(const QString&) { return Qt::black; }

    // The relevance bar for a score of 0..100 in a column of this width: the
    // column width by 14 inset by 2 on each side, its width scaled by the
    // score, cut from the relevance picture (never stretched). Height 10.
    static QImage relevanceImage(int score, int columnWidth);

    // Installs a fetched icon (main thread); a picture that does not decode
    // leaves the bundled one.
    void setFetchedIcon(Source source, const QByteArray& bytes);

signals:
    // An icon changed: views showing icons redraw.
    void iconsChanged();

private:
    SourceIcons();
    static QImage drawBadge(const QString& text, QColor background, QColor foreground);

    mutable QMutex fMutex;
    QImage fIcons[kSourceCount];
};
