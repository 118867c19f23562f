// The track table and the box-set list as the document's data: cell values,
// edits, the clipboard and row drags.

#include "docs/TrovixDocument.h"

#include "docs/DocumentHost.h"
#include "docs/RowMove.h"

#include <QDataStream>
#include <QDir>
#include <QIODevice>
#include <QSet>

#include <algorithm>

qsizetype TrovixDocument::numberOfRows() const {
    assertOwner();
    return fSongs.count();
}

QStringList TrovixDocument::trackColumns() const {
    assertOwner();
    const bool ownArtists = std::any_of(fSongs.array().begin(), fSongs.array().end(),
                                        [](const AudioTrackRef& t) { return t->hasNewArtist(); });
    return TrackTableModel::columns(fVariousArtists || ownArtists);
}

TrackTagPlan TrovixDocument::tagPlan() const {
    assertOwner();
    return TrackTagPlan(fAlbumFields, fVariousArtists, fSongs);
}

TrackTableModel::Cell TrovixDocument::cellValue(qsizetype row, const QString& column) {
    assertOwner();
    const AudioTrackRef track = fSongs.at(row);
    if (!track) return {};
    track->setRow(uint32_t(row));
    // A track without a credit of its own shows the album's artist, which
    // the save gives it.
    if (column == TrackTableModel::kArtist && !fVariousArtists && !track->hasNewArtist()) {
        AudioTrack shown = *track;
        shown.setNewArtist(fAlbumFields.artist);
        return TrackTableModel::cellValue(shown, row, fSongs.count(), column);
    }
    return TrackTableModel::cellValue(*track, row, fSongs.count(), column);
}

bool TrovixDocument::shouldEditTableColumn(qsizetype, const QString& column) {
    if (refuseWhileBusy() || !TrackTableModel::isEditable(column)) return false;
    notifyTracksChanged();
    fHoldTypingMonitor = true;
    return true;
}

void TrovixDocument::setObjectValue(qsizetype row, const QString& column, const QString& value) {
    const AudioTrackRef track = fSongs.at(row);
    if (track && isIdle()) {
        recordEdit(QStringLiteral("Typing"), [&] {
            assertOwner();
            if (column == TrackTableModel::kNewFile)
                track->setNewTitle(value);
            else if (column == TrackTableModel::kArtist)
                track->setNewArtist(value);
        });
        if (TrackTableModel::isEditable(column)) markEdited();
    }
    endCellEditing();
}

void TrovixDocument::endCellEditing() {
    fHoldTypingMonitor = false;
    notifyTracksChanged();
}

void TrovixDocument::didClickTableColumn(const QString& column) {
    if (refuseWhileBusy()) return;
    AudioTrackArray::Comparison order = nullptr;
    if (column == TrackTableModel::kOldFileName)
        order = &AudioTrack::compareFileName;
    else if (column == TrackTableModel::kOldFileTitle)
        order = &AudioTrack::compareOldFileTitle;
    else
        return;
    recordEdit(QStringLiteral("Sort"), [&] {
        fSongs.sortUsingSelector(order);
        tracksChanged(false);
    });
    notifyTracksChanged();
}

QString TrovixDocument::getNewTrack(qsizetype row) const {
    return TrackTableModel::newTrackString(row, numberOfRows());
}

void TrovixDocument::indexTracks() {
    {
        assertOwner();
        for (qsizetype i = 0; i < fSongs.count(); ++i)
            fSongs.at(i)->setRow(uint32_t(i));
    }
    notifyTracksChanged();
    markEdited();
}

void TrovixDocument::tracksChanged(bool reorder) {
    applyAlbumDetails(true, reorder);
    indexTracks();
}

void TrovixDocument::setSelectedTracks(QList<qsizetype> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const qsizetype count = numberOfRows();
    rows.removeIf([count](qsizetype r) { return r < 0 || r >= count; });
    fSelectedTracks = rows;
}

AudioTrackRef TrovixDocument::firstSelectedTrack() const {
    return fSelectedTracks.isEmpty() ? nullptr : fSongs.at(fSelectedTracks.first());
}

void TrovixDocument::clearTracks() {
    if (refuseWhileBusy()) return;
    recordEdit(QStringLiteral("Delete"), [&] {
        qsizetype removed = 0;
        for (qsizetype row : fSelectedTracks) {
            fSongs.removeObjectAtIndex(row - removed);
            ++removed;
        }
        fSelectedTracks.clear();
        tracksChanged(false);
    });
    notifyTracksChanged();
}

QByteArray TrovixDocument::encodeTracks(const QList<AudioTrackRef>& tracks) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << qint32(tracks.size());
    for (const AudioTrackRef& track : tracks)
        track->encode(out);
    return data;
}

std::optional<QList<AudioTrack>> TrovixDocument::decodeTracks(const QByteArray& data) {
    QDataStream in(data);
    qint32 count = 0;
    in >> count;
    // Each coded record takes several bytes; a count beyond that is damage.
    if (in.status() != QDataStream::Ok || count < 0 || count > data.size()) return std::nullopt;
    QList<AudioTrack> tracks;
    for (qint32 i = 0; i < count; ++i) {
        std::optional<AudioTrack> track = AudioTrack::decode(in);
        if (!track) return std::nullopt;
        tracks.append(*track);
    }
    return tracks;
}

QByteArray TrovixDocument::copyTracks() const {
    QList<AudioTrackRef> tracks;
    for (qsizetype row : fSelectedTracks)
        if (const AudioTrackRef track = fSongs.at(row)) tracks.append(track);
    return encodeTracks(tracks);
}

QByteArray TrovixDocument::cutTracks() {
    if (refuseWhileBusy()) return {};
    const QByteArray data = copyTracks();
    recordEdit(QStringLiteral("Cut"), [&] { clearTracks(); });
    return data;
}

TrovixDocument::PasteResult TrovixDocument::pasteTracks(const QByteArray& data) {
    PasteResult result;
    if (refuseWhileBusy()) return result;
    const std::optional<QList<AudioTrack>> tracks = decodeTracks(data);
    if (!tracks) return result;
    result.readable = true;
    const QString folder = QDir::cleanPath(docPath());
    QSet<QString> listed;
    for (qsizetype i = 0; i < fSongs.count(); ++i)
        listed.insert(fSongs.at(i)->getFileName());
    QStringList alreadyListed;
    QStringList elsewhere;
    QList<AudioTrack> accepted;
    for (const AudioTrack& track : *tracks) {
        if (QDir::cleanPath(track.getFolder()) != folder)
            elsewhere.append(track.getFileName());
        else if (listed.contains(track.getFileName()))
            alreadyListed.append(track.getFileName());
        else {
            listed.insert(track.getFileName());
            accepted.append(track);
        }
    }
    auto quoted = [](const QStringList& names) {
        return QStringLiteral("“%1”").arg(names.join(QStringLiteral("”, “")));
    };
    QStringList refusals;
    if (!alreadyListed.isEmpty())
        refusals.append(QStringLiteral("%1 already in this album").arg(quoted(alreadyListed)));
    if (!elsewhere.isEmpty())
        refusals.append(QStringLiteral("%1 from another folder").arg(quoted(elsewhere)));
    if (!refusals.isEmpty())
        result.refusal = QStringLiteral("Not pasted: %1.").arg(refusals.join(QStringLiteral("; ")));
    if (accepted.isEmpty()) return result;
    recordEdit(QStringLiteral("Paste"), [&] {
        fSelectedTracks.clear();
        for (const AudioTrack& track : accepted) {
            fSelectedTracks.append(fSongs.count());
            fSongs.add(std::make_shared<AudioTrack>(track));
        }
        tracksChanged(false);
    });
    result.pasted = accepted.size();
    notifyTracksChanged();
    return result;
}

void TrovixDocument::acceptTrackDrop(const QList<qsizetype>& rows, qsizetype dropRow) {
    if (refuseWhileBusy()) return;
    recordEdit(QStringLiteral("Move Rows"), [&] {
        QList<AudioTrackRef> list = fSongs.array();
        const QList<qsizetype> moved = moveRows(list, rows, dropRow);
        AudioTrackArray reordered;
        for (const AudioTrackRef& track : list)
            reordered.add(track);
        {
            assertOwner();
            fSongs = reordered;
        }
        fSelectedTracks = moved;
        tracksChanged(false);
    });
    notifyTracksChanged();
}

// Box set ----------------------------------------------------------------------

void TrovixDocument::showMultiCDPanel() {
    if (refuseWhileBusy() || !fCurrentAlbumDetails) return;
    fBoxSet.addTrackList(fCurrentAlbumDetails->copy());
    // The box set is not part of an undo step: its edits end the history.
    fUndoStack.clear();
}

void TrovixDocument::multiCDPanelOK() {
    fMultiCDRubric = fBoxSet.caption();
}

void TrovixDocument::removeBoxSetRows(const QList<qsizetype>& rows) {
    if (refuseWhileBusy()) return;
    fBoxSet.clear(rows);
    fUndoStack.clear();
}

void TrovixDocument::acceptBoxSetDrop(const QList<qsizetype>& rows, qsizetype dropRow) {
    if (refuseWhileBusy()) return;
    fBoxSet.acceptDrop(rows, dropRow);
    tracksChanged(true);
    fUndoStack.clear();
}
