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
    return new CustomTagFrame(parsed.description(), text, parsed.textEncoding());
}

String CustomTagFrame::text() const {
    const TagLib::StringList values = fieldList();
    return values.size() >= 2 ? values[1] : String();
}

TagLib::ByteVector CustomTagFrame::renderAs(int version) {
    header()->setVersion(unsigned(version));
    return render();
}
