#include "library/LibraryRecord.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <iterator>

namespace {

const QString kNames[] = {QStringLiteral("new"),     QStringLiteral("looked up"),
                          QStringLiteral("saved"),   QStringLiteral("queued"),
                          QStringLiteral("skipped"), QStringLiteral("failed")};

} // namespace

QString LibraryRecord::statusName(Status status) {
    return kNames[int(status)];
}

std::optional<LibraryRecord::Status> LibraryRecord::statusFromName(const QString& name) {
    for (int i = 0; i < int(std::size(kNames)); ++i)
        if (kNames[i] == name) return Status(i);
    return std::nullopt;
}

bool LibraryRecord::settled(bool saving) const {
    switch (status) {
    case Status::Saved:
    case Status::Queued:
    case Status::Skipped:
        return true;
    case Status::LookedUp:
        return !saving;
    case Status::New:
    case Status::Failed: // tried again: the reason may be gone
        return false;
    }
    return false;
}

QByteArray LibraryRecord::albumsText() const {
    return !albumsJson.isEmpty() ? albumsJson : QJsonDocument(albums).toJson(QJsonDocument::Compact);
}

QByteArray LibraryRecord::jsonLine() const {
    const QJsonObject rest{{"folder", path},
                           {"status", statusName(status)},
                           {"bestHit", bestHit.isNull() ? QJsonValue() : QJsonValue(bestHit)},
                           {"key", chosenKey.isNull() ? QJsonValue() : QJsonValue(chosenKey)},
                           {"distance", distance ? QJsonValue(*distance) : QJsonValue()},
                           {"parts", parts},
                           {"changes", changes},
                           {"reason", reason.isNull() ? QJsonValue() : QJsonValue(reason)}};
    // The keys come sorted and "albums" sorts first: the albums' text goes in
    // as made, not written out a second time.
    const QByteArray others = QJsonDocument(rest).toJson(QJsonDocument::Compact);
    return "{\"albums\":" + albumsText() + ',' + others.mid(1) + '\n';
}
