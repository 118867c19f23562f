#include "media/CustomTagFrame.h"

#include <taglib/id3v2synchdata.h>

using TagLib::ByteVector;
using TagLib::String;

CustomTagFrame::CustomTagFrame(const String& description, const String& text, String::Type encoding)
    : UserTextIdentificationFrame(encoding) {
    header()->setFrameID(kFrameID);
    setDescription(description);
    setText(text);
}

CustomTagFrame* CustomTagFrame::fromFields(const ByteVector& fields) {
    // TagLib keeps an empty description only in a frame named TXXX, so the
    // fields are parsed under that name.
    ByteVector frame("TXXX");
    frame.append(TagLib::ID3v2::SynchData::fromUInt(fields.size()));
    frame.append(ByteVector(2, '\0'));
    frame.append(fields);
    const UserTextIdentificationFrame parsed(frame);
    const TagLib::StringList values = parsed.fieldList();
    const String text = values.size() >= 2 ? values[1] : String();
    // The encoding byte as stored. TagLib keeps any byte as the frame's
    // encoding, and a damaged frame's byte may name none: such a value must
    // not be read as a String::Type, and rendered under it the text would be
    // written as nothing. TagLib has read that text as UTF-16, so it is
    // written back as UTF-16.
    const unsigned stored = fields.size() >= 2 ? uint8_t(fields[0]) : unsigned(String::Latin1);
    const String::Type encoding = stored <= String::UTF16LE ? String::Type(stored) : String::UTF16;
    return new CustomTagFrame(parsed.description(), text, encoding);
}

String CustomTagFrame::text() const {
    const TagLib::StringList values = fieldList();
    return values.size() >= 2 ? values[1] : String();
}

TagLib::ByteVector CustomTagFrame::renderAs(int version) {
    header()->setVersion(unsigned(version));
    return render();
}
