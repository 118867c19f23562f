#include "media/Id3FrameFactory.h"

using TagLib::ByteVector;

Id3FrameFactory* Id3FrameFactory::instance() {
    static Id3FrameFactory factory;
    return &factory;
}

bool Id3FrameFactory::updateFrame(FrameHeader* header) const {
    const ByteVector id = header->frameID();
    switch (header->version()) {
    case 2: {
        // ID3v2.2 date frames become their ID3v2.3 names, not TDRC, so the
        // year reads and converts like any ID3v2.3 year.
        static const char* const dates[][2] = {
            {"TYE", "TYER"}, {"TDA", "TDAT"}, {"TIM", "TIME"}, {"TRD", "TRDA"}};
        for (const auto& pair : dates) {
            if (id == pair[0]) {
                header->setFrameID(pair[1]);
                return true;
            }
        }
        return FrameFactory::updateFrame(header);
    }
    case 3:
        // A TTRX frame is a user-text frame, which TagLib would split as a
        // plain text frame; it is rebuilt from the raw bytes.
        if (id == "TTRX") header->setFrameID(kRawCustomTagID);
        // TagLib would merge a TDRC of an ID3v2.3 tag with TDAT, taking TDAT
        // for a raw frame; keeping TDRC raw keeps that from happening.
        else if (id == "TDRC")
            header->setFrameID(kRawRecordingTimeID);
        return true;
    default:
        if (id == "TTRX") {
            header->setFrameID(kRawCustomTagID);
            return true;
        }
        return FrameFactory::updateFrame(header);
    }
}
