// How fast the naming templates expand: the track table asks for every
// row's new file name each time it redraws its status column.
#include "prefs/PrefsOptions.h"
#include "model/AudioTrack.h"
#include "model/AudioTrackArray.h"
#include "model/NameTemplate.h"
#include "system/FileSystemParams.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QCoreApplication app(argc, argv);

    constexpr int kTracks = 500;
    AudioTrackArray list;
    for (int i = 0; i < kTracks; ++i) {
        auto t =
            std::make_shared<AudioTrack>(AudioTrack::initPlaceholder(FileSystemParams::kBogusPath));
        t->setFileName(QStringLiteral("%1.mp3").arg(i));
        t->setTags({.artist = QStringLiteral("Some Artist With A Name"),
                    .album = QStringLiteral("An Album: The Long Version?"),
                    .year = QStringLiteral("1999")},
                   TagField::Artist | TagField::Album | TagField::Year);
        t->setNewTitle(QStringLiteral("Track number %1 of a rather long album").arg(i));
        t->setRow(uint32_t(i));
        t->setBitrate(i % 7 ? 192 : 128);
        list.add(t);
    }

    auto run = [&](const char* what, int rounds, auto&& body) {
        QElapsedTimer timer;
        timer.start();
        qsizetype chars = 0;
        for (int r = 0; r < rounds; ++r)
            for (const AudioTrackRef& t : list)
                chars += body(*t).size();
        const double us = double(timer.nsecsElapsed()) / 1000.0 / (double(rounds) * kTracks);
        std::printf("%-40s %8.2f us per name (%lld chars)\n", what, us,
                    static_cast<long long>(chars));
    };

    const NamingOptions naming = Prefs::namingOptions();
    run("file name, options read each time", 4,
        [](const AudioTrack& t) { return t.getNewFileName(Prefs::namingOptions(), 0); });
    run("file name, options read once", 4,
        [&naming](const AudioTrack& t) { return t.getNewFileName(naming, 0); });
    run("file name, template given", 4, [&naming](const AudioTrack& t) {
        return t.getAlbumOrTrackName(naming, std::nullopt, AudioTrack::kFileName,
                                     QStringLiteral("%N-%A-%T"), nullptr, QStringLiteral("mp3"));
    });
    run("folder name over the whole list", 1, [&list, &naming](const AudioTrack& t) {
        return t.getNewFolderName(naming, list.albumNameFacts(), 0);
    });
    run("expansion alone, cut to 20 bytes", 4, [](const AudioTrack& t) {
        return NameTemplate::expand(t.nameSubject(), std::nullopt, AudioTrack::kTitleTag,
                                    QStringLiteral("%N-%A-%T-%L"), 20, nullptr, QString());
    });
    return 0;
}
