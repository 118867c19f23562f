#pragma once

#include "system/Outcome.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

class Atom;

// The chunks of every track of a parsed movie, as its sample tables
// describe them: where each starts in the file and how many bytes it holds.
// A save must leave every chunk offset pointing at the same bytes; the
// fingerprint checks that without reading the audio.
class ChunkMap {
public:
    struct Chunk {
        uint64_t offset = 0;
        uint64_t length = 0; // 0 when the sample tables do not say
        bool operator==(const Chunk&) const = default;
    };

    // From trak/mdia/minf/stbl of `moov` (as parsed: "stco" or "co64",
    // "stsc", "stsz" or "stz2"), tracks in order.
    explicit ChunkMap(const Atom* moov);

    const std::vector<Chunk>& chunks() const { return fChunks; }
    // Why the tables do not agree with each other; null when they do.
    QString problem() const { return fProblem; }

    // A hash of the lengths and of the first and last 16 bytes of up to
    // `limit` chunks (all when there are no more, else spread evenly from
    // the first to the last), read from `fd`. Failed, with no hash, when a
    // chunk cannot be read.
    struct Fingerprint {
        QByteArray print;
        Outcome outcome;
    };
    Fingerprint fingerprint(int fd, size_t limit) const;
    // The same of the chunk that starts first in the file and the one that
    // ends last: where a write next to the audio would reach it first.
    Fingerprint fingerprintOutermost(int fd) const;

private:
    void addTable(const Atom* stbl);
    Fingerprint fingerprintOf(int fd, const std::vector<size_t>& picked) const;

    std::vector<Chunk> fChunks;
    QString fProblem;
};
