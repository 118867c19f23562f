// Applying a chosen album to the album fields and the track records.

#include "docs/AlbumApplier.h"

#include "app/Preferences.h"
#include "docs/FolderContext.h"
#include "docs/FolderState.h"
#include "model/AlbumDetailsArray.h"
#include "model/TitleMatcher.h"
#include "prefs/PrefsOptions.h"
#include "text/SmartCapitalize.h"

#include <vector>

namespace {

bool smartCapitalization() {
    return Prefs::boolValue(Prefs::kSmartCapitalization);
}

// A track's artist when it is not the album's (case aside); null otherwise.
QString ownCredit(const QString& artist, const QString& albumArtist, bool smart) {
    if (artist.isEmpty() || artist.compare(albumArtist, Qt::CaseInsensitive) == 0) return {};
    return SmartCapitalizeIf(smart, artist);
}

// The first present value, else the empty string.
QString firstOf(const QString& a, const QString& b) {
    if (!a.isNull()) return a;
    if (!b.isNull()) return b;
    return QString(u""_qs);
}

} // namespace

void AlbumApplier::setAlbumHits(const std::shared_ptr<AlbumInfoArray>& hits) {
    st().hitTable.setAlbumArray(hits);
    st().hitTable.selectRow(-1);
    fContext.notifyHitsChanged();
}

void AlbumApplier::handleHitClick(int row) {
    if (fContext.busy()) return;
    fContext.recordEdit(QStringLiteral("Apply Album"), [&] {
        st().hitTable.selectRow(row);
        if (st().hitTable.albumArray() && row >= 0)
            selectAlbumDetailsViaClick(row, st().hitTable.hitAt(row));
    });
}

void AlbumApplier::forceSelectOfAlbum(int row) {
    if (row < 0) {
        st().hitTable.selectRow(-1);
        fContext.notifyHitsChanged();
        return;
    }
    handleHitClick(row);
}

void AlbumApplier::selectAlbumDetailsViaClick(int row, const AlbumInfoPtr& hit) {
    if (!hit || !hit->albumDetails()) return;
    fContext.recordEdit(QStringLiteral("Apply Album"), [&] {
        st().currentAlbumDetails = hit->albumDetails()->copy();
        if (st().hitTable.addAlbumDetails(st().currentAlbumDetails, row))
            fContext.notifyHitsChanged();
        // A compilation is tagged as one: each track with its own artist,
        // the various-artists templates and flags.
        if (st().currentAlbumDetails->isCompilation()) st().variousArtists = true;
        applyAlbumInfo(*hit);
        tracksChanged(true);
    });
}

bool AlbumApplier::sortHits(const QString& column) {
    if (!st().hitTable.sortByColumn(column)) return false;
    fContext.notifyHitsChanged();
    return true;
}

void AlbumApplier::indexTracks() {
    const AudioTrackArray& songs = st().songs;
    for (qsizetype i = 0; i < songs.count(); ++i)
        songs.at(i)->setRow(uint32_t(i));
    fContext.notifyTracksChanged();
    fContext.markEdited();
}

void AlbumApplier::tracksChanged(bool reorder) {
    applyAlbumDetails(true, reorder);
    indexTracks();
}

MatchDistance::Folder AlbumApplier::matchFolder() const {
    return MatchDistance::Folder::fromTracks(st().songs, st().detailsFromTags.get(),
                                             st().detailsFromFiles.get());
}

AlbumDetailsPtr AlbumApplier::albumDetails(bool appendCurrent) const {
    const std::shared_ptr<AlbumDetailsArray> discs = st().boxSet.albumDetailsArray();
    if (!discs || discs->isEmpty()) return st().currentAlbumDetails;
    QList<AlbumDetailsPtr> parts = discs->array();
    if (appendCurrent && st().currentAlbumDetails) parts.append(st().currentAlbumDetails);
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

void AlbumApplier::applyAlbumInfo(const AlbumInfo& hit) {
    const AlbumDetailsPtr details = albumDetails(true);
    if (!details || st().lockAlbumInfo) return;
    const bool smart = smartCapitalization();
    TagValues& fields = st().albumFields;
    // A hit credited to no artist leaves the field as it is.
    const QString artist = firstOf(hit.artist(), details->artist());
    if (!artist.isEmpty()) fields.artist = SmartCapitalizeIf(smart, artist);
    // The album's identifiers come with a hit of a source that gives
    // them; the hit of another leaves the files' own.
    TagFields ids;
    const TagValues albumTags = details->albumTags(&ids);
    fields.assign(TagValues{}, TagValues::kAlbumIds);
    fields.assign(albumTags, ids & TagValues::kAlbumIds);
    fields.album = SmartCapitalizeIf(smart, firstOf(hit.album(), details->album()));
    fields.genre = firstOf(hit.genre(), details->genre());
    fields.year = firstOf(hit.year(), details->year());
    fContext.markEdited();
}

void AlbumApplier::applyAlbumDetails(bool appendCurrent, bool reorder) {
    qsizetype n = st().songs.count();
    const AlbumDetailsPtr details = albumDetails(appendCurrent);
    if (!details) return;
    const int t = details->numTracks();
    if (reorder) {
        QList<AudioTrackRef> records;
        for (const AudioTrackRef& track : st().songs)
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
                reordered.add(
                    std::make_shared<AudioTrack>(AudioTrack::initPlaceholder(fContext.folder())));
            }
        }
        for (qsizetype j = 0; j < n; ++j)
            if (!used[j]) reordered.add(records[j]);
        st().songs = reordered;
    }

    // The naming the file names use too, read again when the settings change.
    const NamingOptions& naming = fContext.naming();
    const bool smart = smartCapitalization();
    for (int i = 0; i < t && i < st().songs.count(); ++i) {
        AudioTrack& track = *st().songs.at(i);
        const QString artist = details->artistAtIndex(i);
        if (!applyTitleToNewTitle(details->titleAtIndex(i), artist, track, naming, smart))
            track.setNewArtist(ownCredit(artist, details->artist(), smart));
        TagFields given;
        const TagValues tags = details->tagsAtIndex(i, &given);
        track.setHitTags(tags, given);
    }
    for (qsizetype p = t; p < n && p < st().songs.count(); ++p) {
        const AudioTrackRef track = st().songs.at(p);
        if (!track->isPlaceholder()) track->clearNewTitle();
        track->setHitTags({}, {});
    }
    fContext.notifyTracksChanged();
    fContext.markEdited();
}

bool AlbumApplier::applyTitleToNewTitle(const QString& title, const QString& artist,
                                        AudioTrack& track, const NamingOptions& naming,
                                        bool smart) {
    auto expandTitle = [&](int which) {
        const QString expanded = track.getAlbumOrTrackName(naming, std::nullopt, which);
        // A record without a folder expands to nothing; it keeps the title.
        if (!expanded.isNull()) track.setNewTitle(expanded);
    };
    if (!st().variousArtists) {
        track.setNewTitle(SmartCapitalizeIf(smart, title));
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
                track.setNewTitle(SmartCapitalizeIf(smart, title));
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
    if (st().reverseArtistTitle) {
        track.setNewTitle(first);
        track.setNewArtist(second);
    } else {
        track.setNewTitle(second);
        track.setNewArtist(first);
    }
    expandTitle(AudioTrack::kVariousArtists | AudioTrack::kTitleTag);
    return true;
}

void AlbumApplier::copyOldTitlesToNew(bool onlyBlank, bool onlySelected) {
    fContext.recordEdit(QStringLiteral("Restore Titles"), [&] {
        const QString tagArtist = st().infoFromTags ? st().infoFromTags->artist() : QString();
        const NamingOptions& naming = fContext.naming();
        const bool smart = smartCapitalization();
        for (qsizetype i = 0; i < st().songs.count(); ++i) {
            const AudioTrackRef track = st().songs.at(i);
            if (onlySelected && !st().trackSelected(i)) continue;
            if (onlyBlank && track->hasNewTitle()) continue;
            // A placeholder has no title of its own to restore.
            if (track->isPlaceholder()) continue;
            // Each record gets back its own title and artist, whatever its
            // position now: the list may have been reordered since it was
            // read.
            if (!applyTitleToNewTitle(track->getOldTitle(), track->tags().artist, *track, naming,
                                      smart))
                track->setNewArtist(st().variousArtists
                                        ? track->tags().artist
                                        : ownCredit(track->tags().artist, tagArtist, false));
        }
    });
    fContext.notifyTracksChanged();
    fContext.markEdited();
}

void AlbumApplier::restoreOneOriginalTitle() {
    if (fContext.busy()) return;
    copyOldTitlesToNew(false, true);
}

void AlbumApplier::restoreOrigAlbumInfo() {
    fContext.recordEdit(QStringLiteral("Restore Album Info"), [&] {
        const AlbumInfoPtr hit = st().infoFromTags;
        auto orEmpty = [](const QString& s) { return s.isNull() ? QString(u""_qs) : s; };
        st().albumFields.artist = orEmpty(hit ? hit->artist() : QString());
        st().albumFields.album = orEmpty(hit ? hit->album() : QString());
        st().albumFields.year = orEmpty(hit ? hit->year() : QString());
        st().albumFields.genre = orEmpty(hit ? hit->genre() : QString());
    });
    fContext.resetCovers();
    fContext.notifyTracksChanged();
}

void AlbumApplier::variousArtistsClicked() {
    // The view shows the "artist" column and enables the reverse box from
    // variousArtists(); a selected hit is applied again in the new mode.
    // Out of it, an artist that is the album's is no credit of its own.
    if (!st().variousArtists)
        for (const AudioTrackRef& track : st().songs)
            if (ownCredit(track->getNewArtist(), st().albumFields.artist, false).isNull())
                track->clearNewArtist();
    fContext.notifyTracksChanged();
    if (st().hitTable.selectedRow() >= 0) handleHitClick(st().hitTable.selectedRow());
}

void AlbumApplier::reverseArtistAndTitleClicked() {
    if (st().hitTable.selectedRow() >= 0) handleHitClick(st().hitTable.selectedRow());
}

AlbumDetailsPtr AlbumApplier::currentAlbumDetails() const {
    return st().currentAlbumDetails;
}

AlbumInfoPtr AlbumApplier::albumInfoFromTags() const {
    return st().infoFromTags;
}

AlbumInfoPtr AlbumApplier::albumInfoFromFiles() const {
    return st().infoFromFiles;
}

FolderState& AlbumApplier::st() {
    return fContext.state();
}

const FolderState& AlbumApplier::st() const {
    return fContext.state();
}
