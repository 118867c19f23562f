#pragma once

#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/freedb/FreeDB.h"
#include "web/sources/gnudb/Gnudb.h"
#include "web/sources/googlemusic/GoogleMusic.h"
#include "web/sources/musicbrainz/MusicBrainz.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <limits>

// For the benches that time whole processes.

// trovix-cli's arguments that open `folder` as a user does, printing JSON,
// with every web source off.
inline QStringList cliOpenArguments(const QString& folder) {
    QStringList arguments{QStringLiteral("open"), folder, QStringLiteral("--json")};
    for (const char* key : {MusicBrainz::kSearchKey, AllMusicGuide::kSearchKey,
                            GoogleMusic::kSearchKey, Gnudb::kSearchKey, FreeDB::kSearchKey})
        arguments << QStringLiteral("--set") << QStringLiteral("%1=NO").arg(QLatin1String(key));
    return arguments;
}

// Milliseconds of the fastest of `runs` runs of a program, its output
// discarded; negative when a run fails.
inline double bestRunMs(const QString& program, const QStringList& arguments, int runs) {
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < runs; ++r) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        process.start(program, arguments);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0)
            return -1;
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}
