#pragma once

#include <QList>

#include <algorithm>

// Moves dragged rows of a list to a drop gap, shared by the track table and
// the box-set list. `rows` are the dragged row numbers; `dropRow` is the gap
// before that row (at or past the end means the end). Returns the positions
// the moved entries now hold, so the view can select them.
template <typename T>
QList<qsizetype> moveRows(QList<T>& list, QList<qsizetype> rows, qsizetype dropRow) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    qsizetype target = dropRow < 0 || dropRow >= list.size() ? list.size() : dropRow;
    QList<T> moved;
    qsizetype removed = 0;
    for (qsizetype r : rows) {
        const qsizetype at = r - removed;
        if (r < 0 || at >= list.size()) continue; // a stale row number moves nothing
        moved.append(list.takeAt(at));
        ++removed;
        if (target > at) --target;
    }
    QList<qsizetype> positions;
    for (qsizetype i = 0; i < moved.size(); ++i) {
        list.insert(target + i, moved[i]);
        positions.append(target + i);
    }
    return positions;
}
