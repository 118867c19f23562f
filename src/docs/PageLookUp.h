#pragma once

#include "web/sources/MusicSource.h"

#include <QList>
#include <QString>

// A look-up on a site's own search page, opened in the browser: the Web
// menus list four for each registered site with search pages.
struct PageLookUp {
    enum class What { Artist, Album, OldTitle, NewTitle };

    const MusicSource* site = nullptr;
    What what = What::Artist;

    // Every site with search pages, in the registry's order, four each.
    static QList<PageLookUp> all();
    // The four of the first site with search pages: the song window's menu.
    static QList<PageLookUp> ofFirstSite();

    MusicSource::PageSubject subject() const;
    // "Look up artist on All Music Guide": the menu's words while there is
    // nothing to look up.
    QString plainTitle() const;
    // "Look up The Band on All Music Guide".
    QString titleFor(const QString& text) const;
};
