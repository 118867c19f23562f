#pragma once

// What every page parser must hold to, whatever the page: text fields clean
// and capped as they enter, keys without line structure, albums within the
// track limit. A breach aborts, so the fuzzer reports it.

#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackInfo.h"
#include "text/StringUtils.h"
#include "web/WebLimits.h"

#include <QString>

#include <algorithm>
#include <cstdlib>

namespace WebParseChecks {

// A disc number may follow a capped album title: " (Disc 100)".
constexpr qsizetype kSlack = 16;

inline void field(const QString& text) {
    if (text.size() > WebLimits::kMaxFieldChars + kSlack ||
        std::any_of(text.cbegin(), text.cend(), isUnsafeChar))
        std::abort();
}

inline void key(const QString& text) {
    if (text.contains(u'\t') || text.contains(u'\n') || text.contains(u'\r')) std::abort();
}

inline void hit(const AlbumInfo& h) {
    for (const QString& text : {h.artist(), h.album(), h.year(), h.genre()})
        field(text);
    key(h.resultKey());
    if (const auto* track = dynamic_cast<const TrackInfo*>(&h)) field(track->title());
}

inline void hits(const AlbumInfoArray& list) {
    for (const AlbumInfoPtr& h : list.array())
        hit(*h);
}

inline void details(const AlbumDetails* d) {
    if (!d) return;
    for (const QString& text : {d->artist(), d->album(), d->year(), d->genre()})
        field(text);
    key(d->resultKey());
    if (d->numTracks() > WebLimits::kMaxTracks) std::abort();
    for (int i = 0; i < d->numTracks(); ++i) {
        field(d->titleAtIndex(i));
        field(d->artistAtIndex(i));
    }
}

} // namespace WebParseChecks
