#pragma once

#include "docs/TrackTableModel.h"
#include "model/AudioTrack.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class AlbumApplier;
class FolderContext;
struct FolderState;

// The folder document's track table: cell values and edits, the track
// selection, and the records' clipboard and drags. Owned by the document;
// every change is an undoable edit of its state.
class TrackTableEditor {
public:
    TrackTableEditor(FolderContext& context, AlbumApplier& applier)
        : fContext(context), fApplier(applier) {}

    qsizetype numberOfRows() const;
    // The artist column shows in various-artists mode and whenever a track
    // is credited apart from the album.
    QStringList trackColumns() const;
    TrackTableModel::Cell cellValue(qsizetype row, const QString& column);
    // The user starts editing a cell: the typing monitor holds off meanwhile.
    bool shouldEditTableColumn(qsizetype row, const QString& column);
    void setObjectValue(qsizetype row, const QString& column, const QString& value);
    // An edit was abandoned without a value.
    void endCellEditing();
    void didClickTableColumn(const QString& column);
    QString getNewTrack(qsizetype row) const;

    // The track selection, ascending rows; the view mirrors it.
    QList<qsizetype> selectedTracks() const;
    void setSelectedTracks(QList<qsizetype> rows);
    AudioTrackRef firstSelectedTrack() const;

    // Track edits: delete, cut, copy, paste of records, row drags.
    void clearTracks();
    QByteArray copyTracks() const;
    QByteArray cutTracks();
    // What a paste did. Records whose file is already listed, or that
    // belong to another folder, are refused: each file is tagged once, and
    // a save here must never rename a file of another folder.
    struct PasteResult {
        bool readable = false; // false for content that cannot be read
        qsizetype pasted = 0;
        QString refusal; // a line for the status area; null when none was refused
    };
    // Appends the records of a ".AudioTrack2" clipboard content and selects
    // them.
    PasteResult pasteTracks(const QByteArray& data);
    static QByteArray encodeTracks(const QList<AudioTrackRef>& tracks);
    static std::optional<QList<AudioTrack>> decodeTracks(const QByteArray& data);
    // Drops are taken between rows only.
    static bool validateDrop(bool ontoRow) { return !ontoRow; }
    void acceptTrackDrop(const QList<qsizetype>& rows, qsizetype dropRow);

private:
    FolderState& st();
    const FolderState& st() const;

    FolderContext& fContext;
    AlbumApplier& fApplier;
};
