#pragma once

#include <QHash>
#include <QMutex>
#include <QString>

#include <functional>

// Measures, once per file system, the longest base name that can really be
// created in a folder (with a four-character ".XXX" suffix behind it), and
// caches the answer for the rest of the run. Generated names are cut to fit
// it. The limit belongs to the file system, so one measurement serves every
// folder on its device: a library of a thousand folders is probed once, not
// a thousand times with ten files each.
class FileSystemParams {
public:
    // Creates a file named by n letters "T" plus ".XXX" in the folder: 0 when
    // it could be made, else the errno. Replaceable so tests can simulate
    // short-name and full file systems.
    using CreateTest = std::function<int(int length, const QString& folder)>;

    struct FolderRecord {
        int maxFileNameLength = 0;
    };

    // The process-wide service, made at start-up.
    static FileSystemParams* newFileSystemParams();
    static FileSystemParams* getFileSystemParams();

    explicit FileSystemParams(CreateTest test = {});

    // The cached record for a folder, probing on the first request.
    FolderRecord getFileSystemParams(const QString& folderPath);
    int maxFileNameLength(const QString& folderPath) {
        return getFileSystemParams(folderPath).maxFileNameLength;
    }

    // The bisection itself, uncached. Only "name too long" shortens the
    // answer: any other failure (a full disk, no permission) says nothing
    // about names, so the file system's own limit stands and the save meets
    // the real error.
    // `measured`, when given, tells whether a name was really created (else
    // the answer is the file system's declared limit).
    int getMaxFileNameLength(const QString& folderPath, bool* measured = nullptr);
    // 0 when the name fits, else the errno of the failed creation.
    int canGenerateTempFile(int length, const QString& folderPath);

    // The real test: creates the file exclusively (never through a link)
    // and removes it at once.
    static int createTempFileTest(int length, const QString& folderPath);

    static inline const QString kBogusPath = QStringLiteral("Bogus");

private:
    QHash<QString, FolderRecord> fSpecDict;
    QHash<quint64, FolderRecord> fByDevice; // measured answers only
    QMutex fLock;
    CreateTest fCreateTest;
};
