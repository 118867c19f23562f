#include "model/TrackDetails.h"

#include "model/AudioTrack.h"
#include "model/NameLayout.h"
#include "tags/TextNumbers.h"
#include "text/SmartCapitalize.h"

std::shared_ptr<AlbumDetails> TrackDetails::copy() const {
    return std::make_shared<TrackDetails>(*this);
}

std::shared_ptr<TrackDetails> TrackDetails::TrackDetailsFromTag(const AudioTrack& track,
                                                                const CustomTag* customTag,
                                                                bool smartCap) {
    auto record = std::make_shared<TrackDetails>();
    record->setResultKey(kTagKey);
    auto capitalized = [smartCap](const QString& text) {
        return smartCap && !text.isNull() ? SmartCapitalize(text) : text;
    };

    if (customTag && !customTag->variousArtist().isEmpty())
        record->setArtist(customTag->variousArtist());
    else
        record->setArtist(capitalized(track.tags().artist));
    record->setAlbum(capitalized(track.tags().album));
    record->setGenre(capitalized(track.tags().genre));
    record->setYear(track.tags().year);
    record->addTitle(capitalized(track.getOldTitle()), record->artist());
    if (!track.tags().track.isEmpty()) record->setTrack(track.tags().track);
    if (!track.tags().trackCount.isEmpty()) record->setMaxTrack(track.tags().trackCount);
    if (!track.tags().longTrack().isEmpty()) record->setLongTrack(track.tags().longTrack());
    return record;
}

std::shared_ptr<TrackDetails> TrackDetails::TrackDetailsFromFile(const AudioTrack& track) {
    return TrackDetailsFromName(track.getDisplayName(), track.getFolder());
}

std::shared_ptr<TrackDetails> TrackDetails::TrackDetailsFromName(const QString& displayName,
                                                                 const QString& folder) {
    auto record = std::make_shared<TrackDetails>();
    record->setResultKey(kFilesKey);
    const QString name =
        NameLayout::baseName(displayName.isNull() ? QStringLiteral("") : displayName);

    const QStringList words = NameLayout::words(name);
    if (NameLayout::isWordLayout(words)) {
        record->addTitle(words.mid(1).join(u' '), QString());
        if (const int number = IntValue(words[0]); number > 0) {
            record->setTrack(QString::number(number));
            record->setLongTrack(QString::number(number));
        }
    } else if (const QStringList parts = NameLayout::parts(name); parts.size() > 1) {
        const NameLayout layout =
            NameLayout::forParts(int(parts.size()), NameLayout::numberPosition(parts));
        if (layout.fits(parts)) {
            if (const int number = layout.numberOf(parts); number > 0) {
                record->addTitle(layout.partAt(parts, layout.title()),
                                 layout.partAt(parts, layout.artist()));
                record->setTrack(QString::number(number));
            }
            record->setArtist(layout.partAt(parts, layout.artist()));
            record->setAlbum(layout.partAt(parts, layout.album()));
        }
    }
    record->setArtistAlbumFromFolderPath(folder);
    return record;
}
