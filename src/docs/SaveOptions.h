#pragma once

#include "art/CoverOptions.h"
#include "model/NamingOptions.h"
#include "save/SaveRequest.h"
#include "tags/TagValues.h"

#include <QString>

class CoverToStore;

// The settings a save uses, read once on the main thread when it starts, so
// a preference changed meanwhile cannot change it halfway.
struct SaveOptions {
    int tagVersion = 3; // "TagVersion": 2 writes ID3v2.3, 3 ID3v2.4
    bool renameTracks = false;
    bool renameFolder = false;
    bool backup = false;
    NamingOptions naming;
    CoverOptions cover;
    QString homePage; // named by the custom tag

    // The fields a save writes from the document; any other field keeps
    // what the file holds.
    static constexpr TagFields kWrittenFields = TagField::Title | TagField::Artist |
                                                TagField::Album | TagField::Year | TagField::Genre |
                                                TagField::Track | TagField::TrackCount;

    static SaveOptions fromPrefs();

    // A request with the options the save worker reads: tag version, home
    // page, renaming, backup.
    SaveRequest request(SaveRequest::Scope scope, const QString& folder) const;
    // Hands the request the cover to store (made on the worker).
    static void setCover(SaveRequest& request, const CoverToStore& cover);
};
