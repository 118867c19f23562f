#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Real FLAC, Ogg Vorbis, Opus and Ogg FLAC files made with the reference
// encoders from a short tone, for the tag round trips.
enum class XiphKind { Flac, Vorbis, Opus, OggFlac };

struct XiphFixtureOptions {
    // "NAME=value" comment fields the encoder writes.
    QList<QByteArray> comments;
    // FLAC: the padding block's length (none when negative).
    int padding = 1024;
    // PNG pictures by type: PICTURE blocks in FLAC, METADATA_BLOCK_PICTURE
    // fields in Ogg.
    QList<QPair<int, QByteArray>> pictures;
};

bool writeXiphFile(const QString& path, XiphKind kind, const XiphFixtureOptions& options = {});

// A FLAC picture block body of that type holding `data`.
QByteArray flacPictureBody(int type, const QByteArray& data);

// The audio as the decoders see it, read with libogg or by walking the FLAC
// metadata blocks: the FLAC frames' bytes, or every Ogg packet after the
// headers with its length, granule position and end flag. Empty when the
// file cannot be read or its pages are out of sequence.
QByteArray xiphAudio(const QString& path, XiphKind kind);
