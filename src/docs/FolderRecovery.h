#pragma once

#include "save/RenameJournal.h"
#include "save/RollbackJournal.h"
#include "system/AlertHost.h"

#include <QHash>
#include <QString>

#include <optional>

// What opening a folder (or a file in it) does about a save that was
// interrupted there: under the folder's lock, puts back torn in-place writes,
// removes leftover copies and finishes the renames, acting only inside the
// folder, then tells the user what it did and what it refused.
class FolderRecovery {
public:
    static inline const QString kFinishedTitle = QStringLiteral("Interrupted Save Finished");
    // The title of an alert saying that recovery left something undone; the
    // command line exits with 1 when it shows one.
    static inline const QString kRefusedTitle = QStringLiteral("Interrupted Save Not Finished");

    struct Result {
        QString folder; // where the folder is now
        // A file of the plan by an old or temporary name → its name now.
        QHash<QString, QString> names;
        std::optional<Alert> alert;
    };

    static Result run(const QString& folder, RenameJournal::Scope scope);
    // The alert for what was restored and finished; none when there was
    // nothing to do.
    static std::optional<Alert> alertFor(const RecoveryReport& tags,
                                         const RenameJournal::Recovery& renames);
};
