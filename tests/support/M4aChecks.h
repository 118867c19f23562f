#pragma once

#include "support/M4aFixture.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>
#include <taglib/mp4file.h>

// Checks shared by the MPEG-4 tests: what TagLib's own reader sees, and
// whether the audio of a saved file is still the audio of the original.
struct TagLibView {
    bool valid = false;
    QString title, artist, album, year, genre;
    int track = 0;
    int trackCount = 0;
    QByteArray cover;
    int coverFormat = -1;
    int lengthSecs = 0;
};

inline TagLibView readWithTagLib(const QString& path) {
    TagLibView v;
    TagLib::MP4::File f(QFile::encodeName(path).constData());
    if (!f.isValid() || !f.tag()) return v;
    v.valid = true;
    auto text = [&](const char* key) {
        const TagLib::MP4::Item item = f.tag()->item(key);
        if (!item.isValid()) return QString();
        const TagLib::StringList list = item.toStringList();
        return list.isEmpty() ? QString() : QString::fromStdString(list.front().to8Bit(true));
    };
    v.title = text("\251nam");
    v.artist = text("\251ART");
    v.album = text("\251alb");
    v.year = text("\251day");
    v.genre = QString::fromStdString(f.tag()->genre().to8Bit(true));
    const TagLib::MP4::Item trkn = f.tag()->item("trkn");
    if (trkn.isValid()) {
        v.track = trkn.toIntPair().first;
        v.trackCount = trkn.toIntPair().second;
    }
    const TagLib::MP4::Item covr = f.tag()->item("covr");
    if (covr.isValid() && !covr.toCoverArtList().isEmpty()) {
        const TagLib::MP4::CoverArt art = covr.toCoverArtList().front();
        v.cover = QByteArray(art.data().data(), int(art.data().size()));
        v.coverFormat = int(art.format());
    }
    if (f.audioProperties()) v.lengthSecs = f.audioProperties()->lengthInSeconds();
    return v;
}

// The audio payload is byte for byte the same, and every chunk offset of the
// saved file points at the bytes its counterpart pointed at before.
inline ::testing::AssertionResult sameAudio(const QByteArray& before, const QByteArray& after) {
    qint64 ob = 0, lb = 0, oa = 0, la = 0;
    if (!findMdatPayload(before, ob, lb) || !findMdatPayload(after, oa, la))
        return ::testing::AssertionFailure() << "no mdat";
    if (before.mid(ob, lb) != after.mid(oa, la))
        return ::testing::AssertionFailure() << "the audio payload changed";
    const std::vector<quint64> cb = chunkOffsets(before);
    const std::vector<quint64> ca = chunkOffsets(after);
    if (cb.size() != ca.size())
        return ::testing::AssertionFailure() << cb.size() << " chunks became " << ca.size();
    for (size_t i = 0; i < cb.size(); ++i) {
        const QByteArray was = before.mid(qint64(cb[i]), 16);
        const QByteArray now = after.mid(qint64(ca[i]), 16);
        if (was.isEmpty() || was != now)
            return ::testing::AssertionFailure() << "chunk " << i << " moved from " << cb[i]
                                                 << " to " << ca[i] << " but points elsewhere";
    }
    return ::testing::AssertionSuccess();
}
