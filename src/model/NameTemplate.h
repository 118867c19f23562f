#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// What a template names: one track's values.
struct NameSubject {
    QString artist;
    // The artist of folder names: the custom tag's various-artist text when
    // it has one, else the artist.
    QString folderArtist;
    QString album;
    QString title; // the new title
    QString year;
    QString genre;
    uint32_t row = 0;
    int32_t bitrate = 0;
};

// What folder names take from the whole album (%B, %b, %I, %i).
struct AlbumNameFacts {
    // -1 when no track has a bit rate, 0 when they differ, else the common one.
    int bitrate = -1;
    bool tracksMissing = false;
};

// The naming templates that make folder names, file names and title tags
// from a track record: "%A-%Y-%T%b%I" and the like. A "%" and the letter
// after it is a code; anything else is copied.
//
// Names that go to the disk (folder and file names) are measured in the
// bytes the file system stores, since a Linux limit counts bytes, and are
// only ever cut between whole characters; title tags count characters.
namespace NameTemplate {

// The longest result, extension not counted: 255 for title tags, else what
// the folder's file system allows for a whole name, less a dot and
// `extension` for a file name that carries one. Folder names carry none.
int lengthLimit(int which, const QString& folder, const QString& extension = QStringLiteral("XXX"));

// Expands `nameTemplate` for the track. `album` feeds the album-wide codes
// of folder names (%B, %b, %I, %i); `limit` <= 0 means no limit. The
// uniqueness level goes to `unique` when given. Pieces that may be shortened
// (artist, title, album) are cut newest first until the result fits. Names on
// disk lose the characters in `omitChars`, and always slashes, controls (NUL
// among them), bidirectional overrides and leading dots.
QString expand(const NameSubject& track, const std::optional<AlbumNameFacts>& album, int which,
               const QString& nameTemplate, int limit, int* unique, const QString& extension,
               const QString& omitChars = QString());

// A base name that names nothing: empty, or dots only ("", ".", ".."). A
// file would turn hidden or lose its type, a folder would be no folder.
bool givesNoName(const QString& base);

// Cuts `text` to at most `limit` bytes (file-system names) or characters,
// never inside a character.
QString truncated(const QString& text, int limit, bool countBytes);

// The k-th candidate for a free file name: the name itself for k <= 1, then
// "base 2.ext", "base 3.ext", ... with the base cut so it stays within
// `limit` bytes.
QString numberedName(const QString& name, int k, int limit);

} // namespace NameTemplate
