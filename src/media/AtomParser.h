#pragma once

#include "media/Atom.h"
#include "media/SavePlan.h"
#include "system/Outcome.h"

#include <QString>

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class ChunkMap;

// An MPEG-4 file as a tree of atoms. The file is read under an exclusive
// lock, and only the atom headers and "moov" are read, never the audio; the
// tree is changed in memory and written back either in place, rewriting
// only the bytes of "moov" and using a "free" atom inside it as padding, or
// as a complete new file written beside the old one and renamed over it
// (planSave decides, SaveBatch writes).
//
// A file whose atom sizes do not add up is read but never written: a size
// of 0 inside a container, children that over- or under-fill their parent,
// a track without its media, media information or sample table, or chunk
// offsets outside the audio data. Writing such a file moves the audio
// without moving the offsets that point at it.
//
// Atom pointers handed out by find() stay valid until a whole-file rewrite,
// after which the new file is parsed again.

class AtomParser {
public:
    // The file as parsed; see MusicFile::openedState.
    const struct stat& openedState() const { return fStat; }
    void takeOpenedState(const struct stat& st) { fStat = st; }
    // A parser with the outcome of parsing; the parser is null when the
    // file cannot be parsed as an MPEG-4 file.
    struct Parsed {
        std::unique_ptr<AtomParser> parser;
        Outcome outcome;
    };
    // Opens, maps and parses.
    static Parsed newAtomParser(const QString& path);
    // The tree as parsed or last saved, copied without reading the file:
    // changes to either leave the other alone.
    std::unique_ptr<AtomParser> copyAsOpened() const;
    ~AtomParser();
    AtomParser(const AtomParser&) = delete;
    AtomParser& operator=(const AtomParser&) = delete;

    QString path() const { return fPath; }
    const std::vector<Atom::Ptr>& atoms() const { return fAtoms; }
    Atom* find(uint32_t type) const;
    // Null when the tree may be written, else why not (permissions and
    // changes on disk are checked when writing).
    QString whyNotWritable() const;

    // The save of the tree: in place when the new "moov" fits the old one's
    // space, else a whole new file. Its check re-parses the written file
    // and compares the bytes the chunk offsets point at.
    SavePlan planSave();
    // Moves every chunk offset that points past the old "moov" by `delta`,
    // in every "stco" and "co64". False, changing nothing, when a 32-bit
    // offset would pass 4 GiB. undoStcoFixUp() restores the tables.
    bool fixUpStcoAtom(uint64_t oldMoovEnd, int64_t delta);
    void undoStcoFixUp();

    void refreshAfterRename(const QString& newPath) { fPath = newPath; }

    // An atom's contents, read from the file when they were left there
    // (see Atom::contentsInFile); empty when the file changed since it was
    // parsed or cannot be read.
    QByteArray readInFile(const Atom& atom) const;
    // Whether its contents are `bytes`, compared where they lie in the file
    // without reading them whole; false too when they cannot be read.
    bool inFileHolds(const Atom& atom, const QByteArray& bytes) const;

    // Diagnostic dumps to standard output.
    void print() const;
    void printNew() const;

    // For tests: make the new file of a whole-file rewrite fail with "no
    // space" after that many bytes (-1: off).
    static void setFailNewFileAfter(int64_t bytes);

private:
    // The file opened for reading, when it is still the one parsed; -1
    // when it is not, or cannot be opened.
    int openUnchanged() const;
    explicit AtomParser(const QString& path) : fPath(path) {}
    // Lends the contents of every atom that left them in the file to the
    // tree, for laying out a new "moov": a view of `moov` (the movie
    // header's bytes, read from `moovAt`) where they lie inside, else read
    // from `fd` (checked to be the file parsed). Each atom is added to
    // `lent`, and must leave them in the file again
    // (Atom::leaveContentsInFile) or take bytes of its own before `moov`
    // goes. False when some could not be read.
    bool lendInFile(int fd, const QByteArray& moov, uint64_t moovAt, std::vector<Atom*>& lent);
    Outcome openAndParse();
    void closeFile();
    Atom* moovAtom() const;
    Atom* paddingCarrier(bool create);
    QString checkLayout(const QByteArray& moovBytes);
    void saveFinished(bool saved, bool rewritten);

    QString fPath;
    int fFileDescr = -1;
    uint64_t fFileLen = 0;
    std::vector<Atom::Ptr> fAtoms;
    struct stat fStat {};   // as parsed or as last written by us
    QString fLayoutProblem; // why the sizes do not add up; null when they do
    // The chunks as parsed: in-place saves move no chunk, so they hold
    // until the file is parsed again.
    std::shared_ptr<const ChunkMap> fChunks;
    std::vector<std::pair<Atom*, QByteArray>> fSavedChunkTables;
};
