#pragma once

#include <taglib/id3v2framefactory.h>

#include <type_traits>

// The frame factory MP3File reads with. TagLib's own factory turns an
// ID3v2.3 tag into ID3v2.4 frames as it reads (TYER becomes TDRC, TDAT and
// TIME are dropped); we keep every frame as the file stores it, because
// a save converts between the versions itself. Frames that TagLib would
// parse the wrong way are renamed to a lower-case identifier, which no file
// can contain, so they arrive as raw UnknownFrames for MP3File to rebuild.
class Id3FrameFactory : public TagLib::ID3v2::FrameFactory {
public:
    static Id3FrameFactory* instance();

    // Raw identifiers of the renamed frames.
    static inline const char* const kRawCustomTagID = "ttrx";     // "TTRX", laid out like TXXX
    static inline const char* const kRawRecordingTimeID = "tdrc"; // "TDRC" in an ID3v2.3 tag

private:
    // TagLib's frame header type is protected within Frame and only the base
    // factory, a friend, may name it; its type is taken from the base's own
    // updateFrame.
    template <typename> struct ArgumentOf;
    template <typename R, typename C, typename A> struct ArgumentOf<R (C::*)(A) const> {
        using type = A;
    };
    struct Base : TagLib::ID3v2::FrameFactory {
        using UpdateFrame = decltype(&Base::updateFrame);
    };
    using FrameHeader = std::remove_pointer_t<ArgumentOf<Base::UpdateFrame>::type>;

protected:
    bool updateFrame(FrameHeader* header) const override;
};
