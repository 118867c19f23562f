#pragma once

#include "media/Id3Fields.h"

#include <taglib/textidentificationframe.h>

// The program's custom-tag frame: identifier "TTRX" with the layout of a
// user-text frame (encoding byte, description, NUL, text). TagLib renders the
// user-text layout for any identifier; only the name differs from TXXX.
class CustomTagFrame : public TagLib::ID3v2::UserTextIdentificationFrame {
public:
    static inline const char* const kFrameID = Id3Fields::kCustom;

    CustomTagFrame(const TagLib::String& description, const TagLib::String& text,
                   TagLib::String::Type encoding);
    // From the field bytes of a TTRX frame as stored in a file.
    static CustomTagFrame* fromFields(const TagLib::ByteVector& fields);

    TagLib::String text() const;
    // The whole frame, header included, as ID3v2.`version` (3 or 4) stores it.
    TagLib::ByteVector renderAs(int version);
};
