#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// Builds small MPEG-4 audio files that TagLib's own reader accepts: ftyp,
// moov (mvhd, one or more trak with a full sample table, udta/meta/hdlr/ilst)
// and mdat, whose chunk offsets really point into mdat.
struct M4aFixtureOptions {
    bool moovAfterMdat = false;
    int freePadding = 1024; // 0: no free atom in moov
    bool co64 = false;
    int tracks = 1;
    bool lastTrackIsVideo = false; // its media handler is "vide"
    bool withMetadata = true;      // udta/meta/hdlr/ilst present
    int mdatBytes = 4096;
    bool largeSizeMdat = false;
    int durationSecs = 30;
    bool editList = false; // trak/edts/elst before "mdia"
    // The items written when withMetadata is set; a null text leaves the
    // item out, a track of 0 leaves "trkn" out, a genre of 0 leaves "gnre" out.
    QString title = QStringLiteral("Fixture Title");
    QString artist = QStringLiteral("Fixture Artist");
    QString album = QStringLiteral("Fixture Album");
    QString year = QStringLiteral("2001");
    QString freeGenre = QString(); // "©gen"
    int genreIndex = 18;           // "gnre": 1 + ID3v1 number (18: Rock)
    int trackNum = 1;
    int trackCount = 10;
    QByteArray cover = QByteArray(); // "covr" bytes; empty: none
    int coverType = 14;              // 13 JPEG, 14 PNG
};

QByteArray buildM4a(const M4aFixtureOptions& options = {});
bool writeM4a(const QString& path, const M4aFixtureOptions& options = {});

// The bytes at which the fixture's audio payload starts and its length, found
// by walking the top-level atoms of `file`; false when there is no mdat.
bool findMdatPayload(const QByteArray& file, qint64& offset, qint64& length);

// Every chunk offset of every "stco" and "co64" in moov/trak/mdia/minf/stbl,
// read by a walker of its own (not the parser under test).
std::vector<quint64> chunkOffsets(const QByteArray& file);
