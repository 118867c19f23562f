#include "docs/MatchExplanations.h"

#include "docs/TrovixDocument.h"

namespace MatchExplanations {

QString hitTip(const TrovixDocument& doc, int row) {
    const AlbumInfoPtr hit = doc.hitTable().hitAt(row);
    if (!hit) return QString();
    const std::optional<MatchDistance> d =
        MatchDistance::compute(doc.applier().matchFolder(), *hit);
    return d ? QStringLiteral("Distance ") + d->summary(3) : QString();
}

QString trackTip(const TrovixDocument& doc, qsizetype row) {
    const AlbumDetailsPtr details = doc.applier().albumDetails(true);
    const AudioTrackRef track = doc.trackArray().at(row);
    if (!details || !track || row >= details->numTracks()) return QString();
    // Applying the album put each title's file at the title's row.
    MatchDistance::Track pair;
    pair.hitSecs = details->lengthAtIndex(row).has_value()
                       ? std::optional<int>((*details->lengthAtIndex(row) + 500) / 1000)
                       : std::nullopt;
    if (!track->isPlaceholder()) {
        // The folder lists the files without the placeholders.
        int file = 0;
        for (qsizetype i = 0; i < row; ++i)
            file += !doc.trackArray().at(i)->isPlaceholder();
        const MatchDistance::Folder folder = doc.applier().matchFolder();
        pair.file = file;
        pair.fileSecs = int(folder.files[size_t(file)].durationSecs);
        pair.titleLikeness =
            MatchDistance::likeness(folder.files[size_t(file)].title, details->titleAtIndex(row));
    }
    return pair.explanation();
}

} // namespace MatchExplanations
