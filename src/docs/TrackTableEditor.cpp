// The track table as the folder document's data: cell values, edits, the
// selection, the clipboard and row drags.

#include "docs/TrackTableEditor.h"

#include "docs/AlbumApplier.h"
#include "docs/FolderContext.h"
#include "docs/FolderState.h"
#include "docs/RowMove.h"

#include <QDataStream>
#include <QDir>
#include <QIODevice>
#include <QSet>

#include <algorithm>

qsizetype TrackTableEditor::numberOfRows() const {
    return st().songs.count();
}

QStringList TrackTableEditor::trackColumns() const {
    const bool ownArtists = std::any_of(st().songs.array().begin(), st().songs.array().end(),
                                        [](const AudioTrackRef& t) { return t->hasNewArtist(); });
    return TrackTableModel::columns(st().variousArtists || ownArtists);
}

TrackTableModel::Cell TrackTableEditor::cellValue(qsizetype row, const QString& column) {
    const AudioTrackRef track = st().songs.at(row);
    if (!track) return {};
    track->setRow(uint32_t(row));
    // A track without a credit of its own shows the album's artist, which
    // the save gives it.
    if (column == TrackTableModel::kArtist && !st().variousArtists && !track->hasNewArtist()) {
        AudioTrack shown = *track;
        shown.setNewArtist(st().albumFields.artist);
        return TrackTableModel::cellValue(shown, row, st().songs.count(), column);
    }
    return TrackTableModel::cellValue(*track, row, st().songs.count(), column);
}

bool TrackTableEditor::shouldEditTableColumn(qsizetype, const QString& column) {
    if (fContext.busy() || !TrackTableModel::isEditable(column)) return false;
    fContext.notifyTracksChanged();
    fContext.holdTypingMonitor(true);
    return true;
}

void TrackTableEditor::setObjectValue(qsizetype row, const QString& column, const QString& value) {
    const AudioTrackRef track = st().songs.at(row);
    if (track && !fContext.busy()) {
        fContext.recordEdit(QStringLiteral("Typing"), [&] {
            if (column == TrackTableModel::kNewFile)
                track->setNewTitle(value);
            else if (column == TrackTableModel::kArtist)
                track->setNewArtist(value);
        });
        if (TrackTableModel::isEditable(column)) fContext.markEdited();
    }
    endCellEditing();
}

void TrackTableEditor::endCellEditing() {
    fContext.holdTypingMonitor(false);
    fContext.notifyTracksChanged();
}

void TrackTableEditor::didClickTableColumn(const QString& column) {
    if (fContext.busy()) return;
    AudioTrackArray::Comparison order = nullptr;
    if (column == TrackTableModel::kOldFileName)
        order = &AudioTrack::compareFileName;
    else if (column == TrackTableModel::kOldFileTitle)
        order = &AudioTrack::compareOldFileTitle;
    else
        return;
    fContext.recordEdit(QStringLiteral("Sort"), [&] {
        st().songs.sortUsingSelector(order);
        fApplier.tracksChanged(false);
    });
    fContext.notifyTracksChanged();
}

QString TrackTableEditor::getNewTrack(qsizetype row) const {
    return TrackTableModel::newTrackString(row, numberOfRows());
}

void TrackTableEditor::setSelectedTracks(QList<qsizetype> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const qsizetype count = numberOfRows();
    rows.removeIf([count](qsizetype r) { return r < 0 || r >= count; });
    st().selectedTracks = rows;
}

AudioTrackRef TrackTableEditor::firstSelectedTrack() const {
    return st().selectedTracks.isEmpty() ? nullptr : st().songs.at(st().selectedTracks.first());
}

void TrackTableEditor::clearTracks() {
    if (fContext.busy()) return;
    fContext.recordEdit(QStringLiteral("Delete"), [&] {
        qsizetype removed = 0;
        for (qsizetype row : st().selectedTracks) {
            st().songs.removeObjectAtIndex(row - removed);
            ++removed;
        }
        st().selectedTracks.clear();
        fApplier.tracksChanged(false);
    });
    fContext.notifyTracksChanged();
}

QByteArray TrackTableEditor::encodeTracks(const QList<AudioTrackRef>& tracks) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << qint32(tracks.size());
    for (const AudioTrackRef& track : tracks)
        track->encode(out);
    return data;
}

std::optional<QList<AudioTrack>> TrackTableEditor::decodeTracks(const QByteArray& data) {
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

QByteArray TrackTableEditor::copyTracks() const {
    QList<AudioTrackRef> tracks;
    for (qsizetype row : st().selectedTracks)
        if (const AudioTrackRef track = st().songs.at(row)) tracks.append(track);
    return encodeTracks(tracks);
}

QByteArray TrackTableEditor::cutTracks() {
    if (fContext.busy()) return {};
    const QByteArray data = copyTracks();
    fContext.recordEdit(QStringLiteral("Cut"), [&] { clearTracks(); });
    return data;
}

TrackTableEditor::PasteResult TrackTableEditor::pasteTracks(const QByteArray& data) {
    PasteResult result;
    if (fContext.busy()) return result;
    const std::optional<QList<AudioTrack>> tracks = decodeTracks(data);
    if (!tracks) return result;
    result.readable = true;
    const QString folder = QDir::cleanPath(fContext.folder());
    QSet<QString> listed;
    for (qsizetype i = 0; i < st().songs.count(); ++i)
        listed.insert(st().songs.at(i)->getFileName());
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
    fContext.recordEdit(QStringLiteral("Paste"), [&] {
        st().selectedTracks.clear();
        for (const AudioTrack& track : accepted) {
            st().selectedTracks.append(st().songs.count());
            st().songs.add(std::make_shared<AudioTrack>(track));
        }
        fApplier.tracksChanged(false);
    });
    result.pasted = accepted.size();
    fContext.notifyTracksChanged();
    return result;
}

void TrackTableEditor::acceptTrackDrop(const QList<qsizetype>& rows, qsizetype dropRow) {
    if (fContext.busy()) return;
    fContext.recordEdit(QStringLiteral("Move Rows"), [&] {
        QList<AudioTrackRef> list = st().songs.array();
        const QList<qsizetype> moved = moveRows(list, rows, dropRow);
        AudioTrackArray reordered;
        for (const AudioTrackRef& track : list)
            reordered.add(track);
        { st().songs = reordered; }
        st().selectedTracks = moved;
        fApplier.tracksChanged(false);
    });
    fContext.notifyTracksChanged();
}

FolderState& TrackTableEditor::st() {
    return fContext.state();
}

const FolderState& TrackTableEditor::st() const {
    return fContext.state();
}

QList<qsizetype> TrackTableEditor::selectedTracks() const {
    return st().selectedTracks;
}
