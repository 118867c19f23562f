#pragma once
/* Whether the file managers offer "Tag with Trovix™...": every selected item
 * must be a folder or a music file. Plain C, so the GNOME Files extension
 * needs no C++ runtime. */
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    const char* name; /* base name or path; the text after the last '/' counts */
    int isFolder;
} TrovixSelectionItem;

/* True when the name ends in ".EXT" for a music extension, case ignored. */
int trovixIsMusicFileName(const char* name);

/* True when the selection is not empty and every item is a folder or a music
 * file; one unsupported item withdraws the command. */
int trovixSelectionIsTaggable(const TrovixSelectionItem* items, size_t count);

#ifdef __cplusplus
}
#endif
