#pragma once

#include <QString>

#include <cstddef>

// 16-bit string helpers over QString's own zero-terminated UTF-16 storage.
// The pointer stays valid while the QString it came from is alive and
// unchanged.
inline const char16_t* unicodeString(const QString& s) {
    return reinterpret_cast<const char16_t*>(s.utf16());
}

inline std::size_t unistrlen(const char16_t* s) {
    std::size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

inline const char16_t* unistrchr(const char16_t* s, char16_t unit) {
    for (; *s != 0; ++s)
        if (*s == unit) return s;
    return nullptr;
}
