#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

struct Mp3FixtureOptions {
    int frames = 40;
    bool xingVbr = false;
    bool vbri = false;
    int bitrateKbps = 128;
};

// Writes an MPEG-1 Layer III 44.1 kHz stereo file of silent frames and no
// tags (a Xing header marking VBR, or a VBRI header, in the first frame when
// asked). False on I/O failure. The frames' unused main-data bytes carry a
// pattern, so moved or damaged audio shows in a byte comparison.
bool writeSilentMp3(const QString& path, const Mp3FixtureOptions& options = {});

// The bytes writeSilentMp3 writes.
QByteArray silentMp3Bytes(const Mp3FixtureOptions& options = {});

// The audio of an MP3 file: its bytes without a leading ID3v2 tag and a
// trailing ID3v1 tag. Empty when the file cannot be read.
QByteArray mp3AudioPayload(const QString& path);

// Raw ID3v2 building blocks for files the program did not write itself.
// version is the minor number: 3 for ID3v2.3, 4 for ID3v2.4.
QByteArray id3v2Frame(int version, const QByteArray& id, const QByteArray& body);
QByteArray id3v2Tag(int version, const QList<QByteArray>& frames, int padding = 0);
// A text frame body: encoding byte 0 (ISO-8859-1) and the text.
QByteArray id3Latin1TextBody(const QByteArray& text);
// The same, short enough for the frame lists the tests spell out.
QByteArray latin1(const char* text);

// An APEv2 tag (header, items, footer), as some programs append to MP3 files.
QByteArray apeV2Tag(const QList<QPair<QByteArray, QByteArray>>& items);

// Writes tag bytes followed by a silent MP3 stream.
bool writeMp3WithTag(const QString& path, const QByteArray& tag,
                     const Mp3FixtureOptions& options = {});

// The frames of a file's leading ID3v2 tag exactly as stored, for checks
// that do not go through TagLib. Unsynchronised or compressed tags are not
// understood.
struct RawId3Frame {
    QByteArray id;
    QByteArray body;
};
struct RawId3Tag {
    int version = 0; // minor number; 0 when the file has no ID3v2 tag
    QList<RawId3Frame> frames;
    QList<QByteArray> ids() const;
    // The body of the first frame with that identifier; null when none.
    QByteArray body(const QByteArray& id) const;
};
RawId3Tag readRawId3v2(const QString& path);
