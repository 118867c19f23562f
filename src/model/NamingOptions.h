#pragma once

#include <QString>

// The settings that turn records into names: the templates of each kind and
// variant, the switches that pick the variant, and the characters omitted
// from names on disk. Read once where an operation starts and passed down
// (Prefs::namingOptions); the defaults are the preferences' own.
struct NamingOptions {
    // What a template names: a kind in the low 16 bits, a variant in the top
    // four (AudioTrack passes these on).
    enum : int {
        kFolderName = 0,
        kFileName = 1,
        kTitleTag = 3, // 2 behaves the same
        kKindMask = 0xFFFF,
        kVariousArtists = 0x10000000,
        kSingleFile = 0x20000000,
    };

    QString folder = QStringLiteral("%A-%Y-%T%b%I");
    QString folderVA = QStringLiteral("%Y-%T%b%I");
    QString file = QStringLiteral("%N-%T");
    QString fileVA = QStringLiteral("%N-%A-%T");
    QString fileSF = QStringLiteral("%A-%T");
    QString title = QStringLiteral("%T");
    QString titleVA = QStringLiteral("%A-%T");
    QString titleSF = QStringLiteral("%A-%T");
    bool files = true; // whether a save renames files at all
    bool vaFolders = false;
    bool vaFiles = true;
    bool sfFiles = true;
    bool vaTitles = false;
    bool sfTitles = false;
    QString omitChars = QStringLiteral("*?:/\\&");

    // The template for `which` (kind plus variant flags); null for a kind
    // that has none. Single files have no folder template of their own.
    QString templateFor(int which) const;
};
