#include "docs/FolderRecovery.h"

#include "save/SaveBatch.h"
#include "system/FolderHandle.h"
#include "system/FolderLock.h"
#include "system/Log.h"

#include <QFileInfo>

#include <algorithm>

FolderRecovery::Result FolderRecovery::run(const QString& folder, RenameJournal::Scope scope) {
    Result result;
    result.folder = folder;
    FolderLock lock;
    // A folder being saved right now is that save's business.
    if (!lock.tryLock(folder).ok()) return result;
    // Opened once, by its real path and never through a link in its place:
    // everything below acts through this descriptor.
    const QString path = QFileInfo(folder).canonicalFilePath();
    FolderHandle handle;
    if (path.isEmpty() || !handle.open(path)) {
        TROVIX_LOG() << "No recovery in" << folder << ": it cannot be opened";
        return result;
    }
    // Everything a save leaves behind (journals, temporary copies) has a
    // name of its own: a folder without one, nearly every folder, is read
    // once here instead of once for each kind.
    const std::vector<QByteArray> names = handle.names();
    if (std::none_of(names.begin(), names.end(), [](const QByteArray& name) {
            return FolderHandle::isLeftBySave(name);
        })) return result;
    const RecoveryReport tags = SaveBatch::recover(handle);
    const RenameJournal::Recovery renames = RenameJournal::finish(handle, path, scope);
    if (renames.folder != path) result.folder = renames.folder;
    result.names = renames.names;
    result.alert = alertFor(tags, renames);
    return result;
}

namespace {

// The first few items of a list, and how many more: a journal may name
// thousands of files, and an alert is read by a person.
QString listed(const QStringList& items, const QString& separator) {
    constexpr qsizetype kShown = 10;
    QString text = items.mid(0, kShown).join(separator);
    if (items.size() > kShown) text += QStringLiteral(" (and %1 more)").arg(items.size() - kShown);
    return text;
}

} // namespace

std::optional<Alert> FolderRecovery::alertFor(const RecoveryReport& tags,
                                              const RenameJournal::Recovery& renames) {
    if (tags.restored.isEmpty() && tags.refused.isEmpty() && !renames.found) return std::nullopt;
    QStringList parts;
    const bool finished = renames.found && !(renames.refused && renames.moved.isEmpty());
    if (!tags.restored.isEmpty() || finished)
        parts << QStringLiteral("An earlier save of this folder was interrupted.");
    if (!tags.restored.isEmpty())
        parts << QStringLiteral("Restored: %1.").arg(listed(tags.restored, QStringLiteral(", ")));
    if (finished)
        parts << (renames.moved.isEmpty() ? QStringLiteral("Its renames were already complete.")
                                          : QStringLiteral("Its renames were finished: %1.")
                                                .arg(listed(renames.moved, QStringLiteral(", "))));
    if (!renames.problems.isEmpty())
        parts << QStringLiteral("Not finished: %1")
                     .arg(listed(renames.problems, QStringLiteral(" ")));
    if (!tags.refused.isEmpty()) parts << listed(tags.refused, QStringLiteral(" "));
    const bool refused = !tags.refused.isEmpty() || renames.refused;
    return Alert{refused ? kRefusedTitle : kFinishedTitle,
                 parts.join(QLatin1Char(' ')),
                 {QStringLiteral("OK")}};
}
