#pragma once

#include "system/Outcome.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <vector>

// How many of the first `n` bytes of a[] and b[] agree from their start, and
// from their end, compared a block at a time.
qsizetype commonStart(const char* a, const char* b, qsizetype n);
qsizetype commonEnd(const char* a, const char* b, qsizetype n);

// Bytes of a file that an in-place save overwrites.
struct SaveRegion {
    uint64_t offset = 0;
    QByteArray bytes; // the new bytes
    QByteArray old;   // what they replace, as far as the old file reached
};

// One file's save, decided before anything is written. SaveBatch carries
// out the plans of a folder together, so that their rollback copies share
// one journal and their writes one sync.
struct SavePlan {
    enum class Kind {
        Nothing, // the file holds these tags already
        InPlace, // `regions` are overwritten; the audio stays where it is
        Rewrite, // a complete new file replaces the old one
        Refused, // never written; `reason` says why
    };
    Kind kind = Kind::Nothing;
    QString reason;
    // The file written: through a symbolic link, the file it names.
    QString target;
    // The file as planned; it must still be exactly so when it is written.
    struct stat seen {};

    // In place: what is written, and the size of the file afterwards.
    std::vector<SaveRegion> regions;
    uint64_t newSize = 0;
    // Adds the parts of `now` that differ from `old` (as long, or shorter
    // where the old file ended) at `offset`, one region per changed span
    // (spans with less than 4 KiB of equal bytes between them are one), so
    // the journal and the write carry only changed bytes. Arrays handed over
    // (moved) are cut down where they are, not copied.
    void addChangedBytes(uint64_t offset, QByteArray old, QByteArray now);

    // Rewrite: writes the complete new file to `out`, reading the old one
    // from `in`.
    std::function<Outcome(int in, int out)> writeNew;
    // What writeNew tells when the system refused a read or a write.
    static Outcome notWritten(int error);

    // Bytes the plan holds besides its regions (a rewrite's new tag or
    // movie header), so that a batch can keep what it holds bounded.
    qsizetype heldBytes = 0;

    // Checks a written file (the target, or the new copy before it replaces
    // the target) without reading all of it: null when it is sound, else
    // what is wrong.
    std::function<QString(const QString& path)> verify;

    // Told once the batch is over: saved, or left with its old content.
    std::function<void(bool saved)> finish;

    static SavePlan refused(const QString& reason) {
        SavePlan plan;
        plan.kind = Kind::Refused;
        plan.reason = reason;
        return plan;
    }
};
