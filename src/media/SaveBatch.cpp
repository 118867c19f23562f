#include "media/SaveBatch.h"

#include "media/MusicFile.h"

SaveBatch::SaveBatch(const QString& folder) : fFolder(folder) {}

SaveBatch::~SaveBatch() = default;

void SaveBatch::add(MusicFile* file) {
    fFiles.push_back(file);
}

std::vector<FileSaveOutcome> SaveBatch::commit(const std::function<bool()>& stop,
                                               const std::function<void(int)>& progress) {
    std::vector<FileSaveOutcome> outcomes;
    outcomes.reserve(fFiles.size());
    for (size_t i = 0; i < fFiles.size(); ++i) {
        if (stop && stop()) {
            outcomes.push_back({FileSaveOutcome::Code::Stopped, QString()});
            continue;
        }
        MusicFile* file = fFiles[i];
        if (file->commitTags())
            outcomes.push_back({FileSaveOutcome::Code::Saved, QString()});
        else
            outcomes.push_back({FileSaveOutcome::Code::Failed, file->lastError()});
        if (progress) progress(int(i));
    }
    return outcomes;
}

QStringList SaveBatch::recover(const QString&) {
    return {};
}
