#include "docs/TrackTableModel.h"

#include "model/AudioTrack.h"

namespace TrackTableModel {

QStringList columns(bool variousArtists) {
    QStringList list{kStatus, kOldFileName, kOldFileTitle, kNewTrack, kNewFile, kBitrate, kTime};
    if (variousArtists) list.insert(list.indexOf(kNewFile), kArtist);
    return list;
}

bool isEditable(const QString& column) {
    return column == kNewFile || column == kArtist;
}

// Joined by hand, not through arg(): every row of a table and every track a
// save or a plan compares asks for one.
QString newTrackString(qsizetype row, qsizetype count) {
    return QString::number(row + 1) + u'/' + QString::number(count);
}

namespace {

bool differs(const QString& oldValue, const QString& newValue) {
    return QString::compare(oldValue, newValue, Qt::CaseInsensitive) != 0;
}

} // namespace

Cell cellValue(const AudioTrack& track, qsizetype row, qsizetype count, const QString& column) {
    Cell cell;
    const bool placeholder = track.isPlaceholder();
    bool changed = false;
    if (column == kOldFileTitle) {
        cell.text = placeholder ? AudioTrack::kMissingTrackTitle : track.getOldTitle();
        changed = differs(track.getOldTitle(), track.getNewTitle());
    } else if (column == kNewTrack) {
        cell.text = newTrackString(row, count);
        changed = differs(track.tags().longTrack(), cell.text);
    } else if (column == kNewFile) {
        cell.text = track.getNewTitle();
        changed = differs(track.getOldTitle(), track.getNewTitle());
    } else if (column == kArtist) {
        cell.text = placeholder && !track.hasNewArtist() ? AudioTrack::kMissingTrackTitle
                                                         : track.getNewArtist();
        changed = differs(track.tags().artist, track.getNewArtist());
    } else if (column == kBitrate) {
        const int rate = track.getBitrate();
        cell.text = rate < 0 ? QStringLiteral("VBR") : QString::number(rate);
    } else if (column == kTime) {
        if (track.getBitrate() < 0) {
            cell.text = QStringLiteral("--:--");
        } else {
            const uint32_t secs = track.getDurationSecs();
            cell.text = QStringLiteral("%1:%2").arg(secs / 60).arg(secs % 60, 2, 10, QChar(u'0'));
        }
    }
    if (placeholder || !track.okToTag() || (column == kNewFile && !track.hasNewTitle()))
        cell.color = CellColor::Grey;
    else if (changed)
        cell.color = CellColor::Red;
    return cell;
}

} // namespace TrackTableModel
