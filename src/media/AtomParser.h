#pragma once

#include "media/Atom.h"

#include <QString>

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

// An MPEG-4 file as a tree of atoms. The file is read under an exclusive
// lock, and only the atom headers and "moov" are read, never the audio; the
// tree is changed in memory and written back either in place, rewriting
// only the bytes of "moov" and using a "free" atom inside it as padding, or
// as a complete new file written beside the old one and renamed over it.
//
// Atom pointers handed out by find() stay valid until a whole-file rewrite,
// after which the new file is parsed again.
class AtomParser {
public:
    enum class WriteResult { Written, DoesNotFit, Failed };

    // Opens, maps and parses; null when the file cannot be parsed as an
    // MPEG-4 file, with the reason in *error.
    static std::unique_ptr<AtomParser> newAtomParser(const QString& path, QString* error = nullptr);
    ~AtomParser();
    AtomParser(const AtomParser&) = delete;
    AtomParser& operator=(const AtomParser&) = delete;

    QString path() const { return fPath; }
    const std::vector<Atom::Ptr>& atoms() const { return fAtoms; }
    Atom* find(uint32_t type) const;
    // Null when the tree may be written, else why not (permissions and
    // changes on disk are checked when writing).
    QString whyNotWritable() const;

    // In place: Written, DoesNotFit (nothing written), or Failed (reason in
    // lastError; nothing written).
    WriteResult rewrite();
    // Moves every chunk offset that points past the old "moov" by `delta`,
    // in every "stco" and "co64". False, changing nothing, when a 32-bit
    // offset would pass 4 GiB. undoStcoFixUp() restores the tables.
    bool fixUpStcoAtom(uint64_t oldMoovEnd, int64_t delta);
    void undoStcoFixUp();
    // Writes the whole file anew beside the old one and renames it over it;
    // then the new file is opened and parsed. False, with the original left
    // untouched, on any failure.
    bool rewriteNew();
    // In place when it fits, else the whole-file rewrite.
    bool save();

    void refreshAfterRename(const QString& newPath) { fPath = newPath; }
    QString lastError() const { return fLastError; }

    // Diagnostic dumps to standard output.
    void print() const;
    void printNew() const;

    // For tests: make the new file of a whole-file rewrite fail with "no
    // space" after that many bytes (-1: off).
    static void setFailNewFileAfter(int64_t bytes);

private:
    explicit AtomParser(const QString& path) : fPath(path) {}
    bool openAndParse(QString* error);
    void closeFile();
    bool mayWrite();
    bool stillUnchanged();
    Atom* moovAtom() const;
    Atom* paddingCarrier(bool create);
    bool writeNewFile(const QString& tempPath, int out, const QByteArray& moovBlock);

    QString fPath;
    int fFileDescr = -1;
    uint64_t fFileLen = 0;
    std::vector<Atom::Ptr> fAtoms;
    struct stat fStat {}; // as parsed or as last written by us
    QString fLastError;
    std::vector<std::pair<Atom*, QByteArray>> fSavedChunkTables;
};
