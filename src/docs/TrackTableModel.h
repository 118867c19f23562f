#pragma once

#include <QString>
#include <QStringList>

class AudioTrack;
class AudioTrackArray;

// The track table as data, for any view: the column identifiers and, per
// cell, the text and its colour. The "status" and "oldFileName" cells are
// drawn from the record itself and have no text here.
namespace TrackTableModel {

inline const QString kStatus = QStringLiteral("status");
inline const QString kOldFileName = QStringLiteral("oldFileName");
inline const QString kOldFileTitle = QStringLiteral("oldFileTitle");
inline const QString kNewTrack = QStringLiteral("newTrack");
inline const QString kNewFile = QStringLiteral("newFile");
inline const QString kArtist = QStringLiteral("artist");
inline const QString kBitrate = QStringLiteral("bitrate");
inline const QString kTime = QStringLiteral("time");

// Grey: nothing will be written there (a placeholder, a read-only file, or
// no new title). Red: the value will change. Black: it stays.
enum class CellColor { Black, Grey, Red };

struct Cell {
    QString text;
    CellColor color = CellColor::Black;
};

// The columns shown, in order: "artist" only in various-artists mode, just
// before "newFile".
QStringList columns(bool variousArtists);
bool isEditable(const QString& column);

// "%d/%d": row + 1 of count.
QString newTrackString(qsizetype row, qsizetype count);

// The cell of one record at a row of a list of `count` rows.
Cell cellValue(const AudioTrack& track, qsizetype row, qsizetype count, const QString& column);

} // namespace TrackTableModel
