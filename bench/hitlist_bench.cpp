// Prints how long ranking search hits and building the names record take.
#include "app/Preferences.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv) {
    QTemporaryDir configHome; // never touch the user's settings
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QCoreApplication app(argc, argv);

    const ScoreWeights weights = {
        AlbumInfo::scoreWeightEntry(AlbumInfo::kCompareStringKey,
                                    QStringLiteral("The Beatles / Abbey Road"), 88),
        AlbumInfo::scoreWeightEntry(AlbumInfo::kGenreKey, QStringLiteral("Rock"), 6),
        AlbumInfo::scoreWeightEntry(AlbumInfo::kYearKey, QStringLiteral("1969"), 6),
    };
    const int offered = 20000;
    QElapsedTimer timer;
    timer.start();
    AlbumInfoArray list;
    int added = 0;
    for (int i = 0; i < offered; ++i) {
        auto hit = AlbumInfo::AlbumInfoFromScratch(
            QStringLiteral("Artist %1").arg(i), QStringLiteral("Album Road %1").arg(i % 97),
            QString::number(1950 + i % 60), QStringLiteral("Rock"));
        hit->setIADBCompareString(QStringLiteral("%1 / %2").arg(hit->artist(), hit->album()));
        hit->setResultKey(QStringLiteral("#AMG:%1").arg(i));
        added += list.addSorted(hit, weights, 0) ? 1 : 0;
    }
    const qint64 rankNs = timer.nsecsElapsed();
    std::printf("addSorted: %d hits offered, %d accepted, %.2f us per hit\n", offered, added,
                rankNs / 1000.0 / offered);

    timer.restart();
    for (const AlbumInfoPtr& hit : list)
        hit->calcAlbumScore(weights);
    std::printf("calcAlbumScore alone: %.2f us per hit\n",
                timer.nsecsElapsed() / 1000.0 / list.count());
    timer.restart();
    int limit = 0;
    for (int i = 0; i < 1000; ++i)
        limit += Prefs::maxEntriesToFetch();
    std::printf("reading MaxEntriesToFetch: %.2f us per read (limit %d)\n",
                timer.nsecsElapsed() / 1000.0 / 1000, limit / 1000);

    for (int n : {20, 200, 2000}) {
        QStringList names;
        for (int i = 1; i <= n; ++i)
            names << QStringLiteral("Band-Album-%1-Title number %1-part.mp3")
                         .arg(i, 2, 10, QChar(u'0'));
        timer.restart();
        const int rounds = 20000 / n;
        int titles = 0;
        for (int r = 0; r < rounds; ++r)
            titles +=
                AlbumDetails::AlbumDetailsFromNames(names, QStringLiteral("/m/Band/1999-Album"))
                    ->numTracks();
        std::printf("AlbumDetailsFromNames: %d names, %.1f us per record (%d titles)\n", n,
                    timer.nsecsElapsed() / 1000.0 / rounds, titles / rounds);
    }
    return 0;
}
