#include "plugin/SelectionRule.h"

#include "media/MusicExtensions.h"

#include <string.h>
#include <strings.h>

int trovixIsMusicFileName(const char* name) {
    if (!name) return 0;
    const char* base = strrchr(name, '/');
    base = base ? base + 1 : name;
    const char* dot = strrchr(base, '.');
    if (!dot || dot[1] == '\0') return 0;
    for (const char* const* ext = kTrovixMusicExtensions; *ext; ++ext)
        if (strcasecmp(dot + 1, *ext) == 0) return 1;
    return 0;
}

int trovixSelectionIsTaggable(const TrovixSelectionItem* items, size_t count) {
    if (!items || count == 0) return 0;
    for (size_t i = 0; i < count; ++i)
        if (!items[i].isFolder && !trovixIsMusicFileName(items[i].name)) return 0;
    return 1;
}
