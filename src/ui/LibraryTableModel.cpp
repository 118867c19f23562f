#include "ui/LibraryTableModel.h"

#include <QColor>
#include <QFileInfo>
#include <QJsonObject>

namespace {

QColor statusColor(LibraryRecord::Status status) {
    switch (status) {
    case LibraryRecord::Status::Saved:
        return QColor(0, 128, 0);
    case LibraryRecord::Status::Queued:
        return QColor(176, 112, 0);
    case LibraryRecord::Status::Failed:
        return QColor(Qt::red);
    default:
        return QColor(Qt::black);
    }
}

QString partsTip(const QJsonArray& parts) {
    QStringList lines;
    for (const QJsonValue& value : parts) {
        const QJsonObject p = value.toObject();
        lines << QStringLiteral("%1 %2: %3")
                     .arg(p.value("name").toString(),
                          QString::number(p.value("share").toDouble(), 'f', 2),
                          p.value("why").toString());
    }
    return lines.join(u'\n');
}

bool sameEntry(const LibraryRecord& a, const LibraryRecord& b) {
    if (a.path == b.path) return true;
    for (const QJsonValue& x : a.albums)
        for (const QJsonValue& y : b.albums)
            if (x.toObject().value("folder") == y.toObject().value("folder")) return true;
    return false;
}

} // namespace

LibraryTableModel::LibraryTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void LibraryTableModel::setRecords(const QList<LibraryRecord>& records) {
    beginResetModel();
    fRecords = records;
    refilter();
    endResetModel();
}

void LibraryTableModel::update(const LibraryRecord& record) {
    beginResetModel();
    const auto it = std::find_if(fRecords.begin(), fRecords.end(),
                                 [&](const LibraryRecord& r) { return sameEntry(r, record); });
    if (it != fRecords.end())
        *it = record;
    else
        fRecords << record;
    refilter();
    endResetModel();
}

void LibraryTableModel::setFilter(std::optional<LibraryRecord::Status> status) {
    beginResetModel();
    fFilter = status;
    refilter();
    endResetModel();
}

void LibraryTableModel::refilter() {
    fShown.clear();
    for (int i = 0; i < fRecords.size(); ++i)
        if (!fFilter || fRecords[i].status == *fFilter) fShown << i;
}

const LibraryRecord* LibraryTableModel::recordAt(int row) const {
    return row >= 0 && row < fShown.size() ? &fRecords[fShown[row]] : nullptr;
}

int LibraryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(fShown.size());
}

int LibraryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant LibraryTableModel::data(const QModelIndex& index, int role) const {
    const LibraryRecord* r = recordAt(index.row());
    if (!r) return {};
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case kFolder:
            return QFileInfo(r->path).fileName();
        case kStatus:
            return LibraryRecord::statusName(r->status);
        case kBestHit:
            return r->bestHit;
        case kDistance:
            return r->distance ? QString::number(*r->distance, 'f', 2) : QString();
        case kChanges:
            return r->reason.isEmpty() ? r->changes : r->reason;
        }
    } else if (role == Qt::ToolTipRole) {
        switch (index.column()) {
        case kFolder:
            return r->path;
        case kDistance:
            return partsTip(r->parts);
        case kChanges:
            return r->reason.isEmpty() ? r->changes : r->reason;
        }
    } else if (role == Qt::ForegroundRole && index.column() == kStatus) {
        return statusColor(r->status);
    } else if (role == Qt::TextAlignmentRole && index.column() == kDistance) {
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant LibraryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kTitles[] = {"Folder", "Status", "Best Hit", "Distance",
                                          "What Would Change"};
    return section >= 0 && section < kColumnCount ? tr(kTitles[section]) : QVariant();
}
