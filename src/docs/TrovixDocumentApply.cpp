// Applying a chosen album to the album fields and the track records.

#include "docs/TrovixDocument.h"

#include "app/Preferences.h"
#include "prefs/PrefsOptions.h"
#include "art/AlbumArt.h"
#include "docs/DocumentHost.h"
#include "model/AlbumDetailsArray.h"
#include "model/TitleMatcher.h"
#include "text/SmartCapitalize.h"

#include <vector>

namespace {

bool smartCapitalization() {
    return Prefs::boolValue(Prefs::kSmartCapitalization);
}

QString capitalizedIf(bool smart, const QString& text) {
    return smart ? SmartCapitalize(text) : text;
}

// A track's artist when it is not the album's (case aside); null otherwise.
QString ownCredit(const QString& artist, const QString& albumArtist, bool smart) {
    if (artist.isEmpty() || artist.compare(albumArtist, Qt::CaseInsensitive) == 0) return {};
    return capitalizedIf(smart, artist);
}

// The first present value, else the empty string.
QString firstOf(const QString& a, const QString& b) {
    if (!a.isNull()) return a;
    if (!b.isNull()) return b;
    return QString(u""_qs);
}

} // namespace

void TrovixDocument::setAlbumHits(const std::shared_ptr<AlbumInfoArray>& hits) {
    fHitTable.setAlbumArray(hits);
    fHitTable.selectRow(-1);
    notifyHitsChanged();
}

void TrovixDocument::handleHitClick(int row) {
    if (refuseWhileBusy()) return;
    recordEdit(QStringLiteral("Apply Album"), [&] {
        fHitTable.selectRow(row);
        if (fHitTable.albumArray() && row >= 0)
            selectAlbumDetailsViaClick(row, fHitTable.hitAt(row));
    });
}

void TrovixDocument::forceSelectOfAlbum(int row) {
    if (row < 0) {
        fHitTable.selectRow(-1);
        notifyHitsChanged();
        return;
    }
    handleHitClick(row);
}

void TrovixDocument::selectAlbumDetailsViaClick(int row, const AlbumInfoPtr& hit) {
    if (!hit || !hit->albumDetails()) return;
    recordEdit(QStringLiteral("Apply Album"), [&] {
        fCurrentAlbumDetails = hit->albumDetails()->copy();
        if (fHitTable.addAlbumDetails(fCurrentAlbumDetails, row)) notifyHitsChanged();
        // A compilation is tagged as one: each track with its own artist,
        // the various-artists templates and flags.
        if (fCurrentAlbumDetails->isCompilation()) fVariousArtists = true;
        applyAlbumInfo(*hit);
        tracksChanged(true);
    });
}

bool TrovixDocument::sortHits(const QString& column) {
    if (!fHitTable.sortByColumn(column)) return false;
    notifyHitsChanged();
    return true;
}

MatchDistance::Folder TrovixDocument::matchFolder() const {
    assertOwner();
    return MatchDistance::Folder::fromTracks(fSongs, fAlbumDetailsFromTags.get(),
                                             fAlbumDetailsFromFiles.get());
}

AlbumDetailsPtr TrovixDocument::albumDetails(bool appendCurrent) const {
    const std::shared_ptr<AlbumDetailsArray> discs = fBoxSet.albumDetailsArray();
    if (!discs || discs->isEmpty()) return fCurrentAlbumDetails;
    QList<AlbumDetailsPtr> parts = discs->array();
    if (appendCurrent && fCurrentAlbumDetails) parts.append(fCurrentAlbumDetails);
    // Each album of the set is a disc of it, numbered by its place unless
    // its source numbers its own.
    AlbumDetailsPtr joined;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const AlbumDetailsPtr disc = parts[i]->copy();
        disc->setDiscWhereUnset(int(i + 1), int(parts.size()));
        if (joined)
            joined->appendTitlesFrom(*disc);
        else
            joined = disc;
    }
    return joined;
}

void TrovixDocument::applyAlbumInfo(const AlbumInfo& hit) {
    const AlbumDetailsPtr details = albumDetails(true);
    if (!details || fLockAlbumInfo) return;
    const bool smart = smartCapitalization();
    {
        assertOwner();
        // A hit credited to no artist leaves the field as it is.
        const QString artist = firstOf(hit.artist(), details->artist());
        if (!artist.isEmpty()) fAlbumFields.artist = capitalizedIf(smart, artist);
        // The album's identifiers come with a hit of a source that gives
        // them; the hit of another leaves the files' own.
        TagFields ids;
        const TagValues albumTags = details->albumTags(&ids);
        fAlbumFields.assign(TagValues{}, TagValues::kAlbumIds);
        fAlbumFields.assign(albumTags, ids & TagValues::kAlbumIds);
        fAlbumFields.album = capitalizedIf(smart, firstOf(hit.album(), details->album()));
        fAlbumFields.genre = firstOf(hit.genre(), details->genre());
        fAlbumFields.year = firstOf(hit.year(), details->year());
    }
    markEdited();
}

void TrovixDocument::applyAlbumDetails(bool appendCurrent, bool reorder) {
    qsizetype n = fSongs.count();
    const AlbumDetailsPtr details = albumDetails(appendCurrent);
    if (!details) return;
    const int t = details->numTracks();
    assertOwner();
    if (reorder) {
        QList<AudioTrackRef> records;
        for (const AudioTrackRef& track : fSongs)
            if (!track->isPlaceholder()) records.append(track);
        n = records.size();

        std::vector<TitleMatcher::Record> matched;
        matched.reserve(size_t(n));
        for (const AudioTrackRef& record : records)
            matched.push_back(
                {record->getOldTitle(), record->getTrackNum(), record->getDurationSecs()});
        std::vector<TitleMatcher::Title> titles;
        titles.reserve(size_t(t));
        for (int i = 0; i < t; ++i)
            titles.push_back({details->titleAtIndex(i), details->lengthAtIndex(i)});
        const std::vector<qsizetype> assigned = TitleMatcher::assign(matched, titles);

        AudioTrackArray reordered;
        std::vector<bool> used(n, false);
        for (int i = 0; i < t; ++i) {
            if (assigned[i] >= 0) {
                reordered.add(records[assigned[i]]);
                used[assigned[i]] = true;
            } else {
                reordered.add(std::make_shared<AudioTrack>(AudioTrack::initPlaceholder(fDocPath)));
            }
        }
        for (qsizetype j = 0; j < n; ++j)
            if (!used[j]) reordered.add(records[j]);
        fSongs = reordered;
    }

    // The naming the file names use too, read again when the settings change.
    const NamingOptions& naming = fNaming;
    const bool smart = smartCapitalization();
    for (int i = 0; i < t && i < fSongs.count(); ++i) {
        AudioTrack& track = *fSongs.at(i);
        const QString artist = details->artistAtIndex(i);
        if (!applyTitleToNewTitle(details->titleAtIndex(i), artist, track, naming, smart))
            track.setNewArtist(ownCredit(artist, details->artist(), smart));
        TagFields given;
        const TagValues tags = details->tagsAtIndex(i, &given);
        track.setHitTags(tags, given);
    }
    for (qsizetype p = t; p < n && p < fSongs.count(); ++p) {
        const AudioTrackRef track = fSongs.at(p);
        if (!track->isPlaceholder()) track->clearNewTitle();
        track->setHitTags({}, {});
    }
    notifyTracksChanged();
    markEdited();
}

bool TrovixDocument::applyTitleToNewTitle(const QString& title, const QString& artist,
                                          AudioTrack& track, const NamingOptions& naming,
                                          bool smart) {
    auto expandTitle = [&](int which) {
        const QString expanded = track.getAlbumOrTrackName(naming, std::nullopt, which);
        // A record without a folder expands to nothing; it keeps the title.
        if (!expanded.isNull()) track.setNewTitle(expanded);
    };
    if (!fVariousArtists) {
        track.setNewTitle(capitalizedIf(smart, title));
        expandTitle(AudioTrack::kTitleTag);
        return false;
    }

    QString first, second;
    if (!artist.isEmpty()) {
        first = artist;
        second = title;
    } else {
        static const QString kSeparators[] = {QStringLiteral(" / "), QStringLiteral(" - "),
                                              QStringLiteral("/"), QStringLiteral("-")};
        bool found = false;
        for (const QString& separator : kSeparators) {
            const qsizetype at = title.indexOf(separator);
            if (at < 0) continue;
            first = title.left(at);
            second = title.mid(at + separator.size());
            found = true;
            break;
        }
        if (!found) {
            const qsizetype open = title.indexOf(QStringLiteral(" ("));
            const qsizetype close = open < 0 ? -1 : title.indexOf(u')', open + 2);
            if (close < 0) {
                track.setNewTitle(capitalizedIf(smart, title));
                expandTitle(AudioTrack::kTitleTag);
                return false;
            }
            first = title.left(open);
            second = title.mid(open + 2, close - open - 2);
        }
    }
    if (smart) {
        first = SmartCapitalize(first);
        second = SmartCapitalize(second);
    }
    if (fReverseArtistTitle) {
        track.setNewTitle(first);
        track.setNewArtist(second);
    } else {
        track.setNewTitle(second);
        track.setNewArtist(first);
    }
    expandTitle(AudioTrack::kVariousArtists | AudioTrack::kTitleTag);
    return true;
}

void TrovixDocument::copyOldTitlesToNew(bool onlyBlank, bool onlySelected) {
    recordEdit(QStringLiteral("Restore Titles"), [&] {
        assertOwner();
        const QString tagArtist = fAlbumInfoFromTags ? fAlbumInfoFromTags->artist() : QString();
        const NamingOptions& naming = fNaming;
        const bool smart = smartCapitalization();
        for (qsizetype i = 0; i < fSongs.count(); ++i) {
            const AudioTrackRef track = fSongs.at(i);
            if (onlySelected && !trackSelected(i)) continue;
            if (onlyBlank && track->hasNewTitle()) continue;
            // A placeholder has no title of its own to restore.
            if (track->isPlaceholder()) continue;
            // Each record gets back its own title and artist, whatever its
            // position now: the list may have been reordered since it was
            // read.
            if (!applyTitleToNewTitle(track->getOldTitle(), track->tags().artist, *track, naming,
                                      smart))
                track->setNewArtist(fVariousArtists ? track->tags().artist
                                                    : ownCredit(track->tags().artist, tagArtist,
                                                                false));
        }
    });
    notifyTracksChanged();
    markEdited();
}

void TrovixDocument::restoreOneOriginalTitle() {
    if (refuseWhileBusy()) return;
    copyOldTitlesToNew(false, true);
}

void TrovixDocument::restoreOrigAlbumInfo() {
    recordEdit(QStringLiteral("Restore Album Info"), [&] {
        assertOwner();
        const AlbumInfoPtr hit = fAlbumInfoFromTags;
        auto orEmpty = [](const QString& s) { return s.isNull() ? QString(u""_qs) : s; };
        fAlbumFields.artist = orEmpty(hit ? hit->artist() : QString());
        fAlbumFields.album = orEmpty(hit ? hit->album() : QString());
        fAlbumFields.year = orEmpty(hit ? hit->year() : QString());
        fAlbumFields.genre = orEmpty(hit ? hit->genre() : QString());
    });
    fAlbumArtObj->reset();
    notifyTracksChanged();
}

void TrovixDocument::variousArtistsClicked() {
    // The view shows the "artist" column and enables the reverse box from
    // variousArtists(); a selected hit is applied again in the new mode.
    // Out of it, an artist that is the album's is no credit of its own.
    if (!fVariousArtists)
        for (const AudioTrackRef& track : fSongs)
            if (ownCredit(track->getNewArtist(), fAlbumFields.artist, false).isNull())
                track->clearNewArtist();
    notifyTracksChanged();
    if (fHitTable.selectedRow() >= 0) handleHitClick(fHitTable.selectedRow());
}

void TrovixDocument::reverseArtistAndTitleClicked() {
    if (fHitTable.selectedRow() >= 0) handleHitClick(fHitTable.selectedRow());
}
