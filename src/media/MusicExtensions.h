#pragma once
/* The file-name extensions, lower case, that the music-file factory opens.
 * Plain C: the GNOME Files extension reads the same list, so a new kind is
 * one line here (plus its reader in the factory). The menu files under
 * resources/tools cannot include it: add the kind to the Nemo action's
 * Extensions (a test compares them) and its MIME type to the Dolphin menu. */
#include <stddef.h>

static const char* const kTrovixMusicExtensions[] = {
    "mp3",
    "m4a",
    "m4p",
    "m4b",
    "mp4",
    "flac",
    "ogg",
    "oga",
    "opus",
    NULL,
};
