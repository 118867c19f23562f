// The entry point of the codec module the command line opens on first use
// (PictureCodecs::get): the codec over Qt Gui, apart from the program.
#include "pictures/QtPictureCodec.h"

extern "C" __attribute__((visibility("default"))) const PictureCodec* trovix_picture_codec() {
    return &QtPictureCodec::instance();
}
