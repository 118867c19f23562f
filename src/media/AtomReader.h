#pragma once

#include "media/Atom.h"

// Reads the atom tree of an MPEG-4 file from the bytes read for it; the
// "data" atoms of items become DataAtoms.
class AtomReader {
public:
    // Parses the atom at `offset` with `max` bytes of space; null (with the
    // reason in the context) when the bytes do not form a sound atom.
    static Atom::Ptr read(AtomParseContext& ctx, uint64_t offset, uint64_t max, int level,
                          uint32_t parentType);
};
