#include "cli/LibraryCommand.h"

#include "cli/CliOptions.h"
#include "cli/StopSignals.h"
#include "library/LibraryRun.h"
#include "library/LibraryState.h"
#include "model/MatchDistance.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

void onStopSignal(int sig) {
    LibraryRun::requestStop(sig);
}

QByteArray jsonLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QString distanceText(const std::optional<double>& d) {
    return d ? QString::number(*d, 'f', 2) : QStringLiteral("-");
}

// The largest parts of a stored distance, as MatchDistance::summary words them.
QString partsText(const QJsonArray& parts) {
    QList<QJsonObject> sorted;
    for (const QJsonValue& p : parts)
        if (p.toObject().value("share").toDouble() > 0) sorted << p.toObject();
    std::stable_sort(sorted.begin(), sorted.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return a.value("share").toDouble() > b.value("share").toDouble();
    });
    QStringList words;
    for (const QJsonObject& p : sorted.mid(0, 3))
        words << QStringLiteral("%1 %2 (%3)")
                     .arg(p.value("name").toString(),
                          QString::number(p.value("share").toDouble(), 'f', 2),
                          p.value("why").toString());
    return words.join(QStringLiteral(", "));
}

void printRecord(const LibraryRecord& r, QTextStream& out) {
    out << "[" << LibraryRecord::statusName(r.status) << "] " << r.path << "\n";
    if (!r.bestHit.isNull()) {
        out << "  best hit: " << r.bestHit << ", distance " << distanceText(r.distance);
        const QString parts = partsText(r.parts);
        if (!parts.isEmpty()) out << ": " << parts;
        out << "\n";
    } else if (r.status != LibraryRecord::Status::Failed) {
        out << "  no web hit\n";
    }
    if (!r.changes.isEmpty() && r.status != LibraryRecord::Status::Failed)
        out << "  "
            << (r.status == LibraryRecord::Status::Saved ? "changed: " : "a save would change: ")
            << r.changes << "\n";
    if (!r.reason.isEmpty()) out << "  " << r.reason << "\n";
}

QString clockText(qint64 ms) {
    const qint64 secs = (ms + 999) / 1000;
    return secs >= 3600 ? QStringLiteral("%1:%2:%3")
                              .arg(secs / 3600)
                              .arg(secs / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(secs % 60, 2, 10, QLatin1Char('0'))
                        : MatchDistance::clock(int(secs));
}

// One bar on the terminal: folders done of all, how they ended, time left.
void drawBar(const LibraryRun::Counts& c) {
    constexpr int kWidth = 24;
    const int filled = c.total > 0 ? kWidth * c.done / c.total : kWidth;
    const QString left = c.leftMs < 0 ? QStringLiteral("--:--") : clockText(c.leftMs);
    std::fprintf(stderr, "\r\x1b[K[%-*s] %d/%d  saved %d  queued %d  failed %d  %s left", kWidth,
                 QByteArray(filled, '#').constData(), c.done, c.total, c.saved, c.queued, c.failed,
                 qUtf8Printable(left));
    std::fflush(stderr);
}

int runLibrary(const CliOptions& o, LibraryState& state, const QString& root, QTextStream& out,
               QTextStream& err) {
    LibraryRun::Options options;
    options.save = o.libraryAction == CliOptions::LibraryAction::Save;
    if (o.maxDistance) options.maxDistance = *o.maxDistance;
    LibraryRun run(state, options);
    const bool bar = ::isatty(::fileno(stderr));
    QObject::connect(&run, &LibraryRun::entryFinished, [&](const LibraryRecord& r) {
        if (bar) std::fputs("\r\x1b[K", stderr);
        if (o.json)
            out << r.jsonLine();
        else
            printRecord(r, out);
        out.flush();
    });
    if (bar) QObject::connect(&run, &LibraryRun::progressed, &drawBar);

    LibraryRun::clearStop();
    LibraryRun::End end;
    {
        const StopSignals stopAfterFolder(&onStopSignal);
        end = run.run(root);
    }
    if (bar) std::fputs("\n", stderr);
    const LibraryRun::Counts c = run.counts();
    if (!o.json)
        out << c.total << " folders: " << c.saved << " saved, " << c.queued << " queued, "
            << c.failed << " failed, " << c.skipped << " skipped, " << c.lookedUp << " looked up\n";
    switch (end) {
    case LibraryRun::End::StateFailed:
        err << "trovix-cli: " << state.errorText() << "\n";
        return 1;
    case LibraryRun::End::Stopped:
        err << "trovix-cli: stopped by signal " << LibraryRun::stopSignal()
            << "; run the same command again to go on\n";
        return 128 + qMax(1, LibraryRun::stopSignal());
    case LibraryRun::End::Done:
        break;
    }
    return 0;
}

int status(const QList<LibraryRecord>& rows, const QString& root, bool json, QTextStream& out) {
    QList<int> counts(int(LibraryRecord::Status::Failed) + 1, 0);
    for (const LibraryRecord& r : rows)
        ++counts[int(r.status)];
    if (json) {
        QJsonObject byName;
        for (int s = 0; s < counts.size(); ++s)
            byName.insert(LibraryRecord::statusName(LibraryRecord::Status(s)), counts[s]);
        out << jsonLine(
            QJsonObject{{"root", root}, {"folders", int(rows.size())}, {"counts", byName}});
        return 0;
    }
    out << root << ": " << rows.size() << " folders\n";
    for (int s = 0; s < counts.size(); ++s)
        out << "  " << LibraryRecord::statusName(LibraryRecord::Status(s)) << ": " << counts[s]
            << "\n";
    for (const LibraryRecord& r : rows)
        if (r.status == LibraryRecord::Status::Failed)
            out << "  failed: " << r.path << ": " << r.reason << "\n";
    return 0;
}

int review(const QList<LibraryRecord>& rows, bool json, QTextStream& out) {
    for (const LibraryRecord& r : rows) {
        if (r.status != LibraryRecord::Status::Queued) continue;
        if (json) {
            out << r.jsonLine();
            continue;
        }
        out << r.path << "\n  " << r.reason << "\n";
        for (const QJsonValue& value : r.albums) {
            const QJsonObject album = value.toObject();
            if (r.albums.size() > 1 || album.value("folder").toString() != r.path)
                out << "  " << album.value("folder").toString() << " ("
                    << album.value("status").toString() << ")\n";
            for (const QJsonValue& h : album.value("hits").toArray()) {
                const QJsonObject hit = h.toObject();
                const QJsonValue d = hit.value("distance");
                out << "    " << QString::number(hit.value("number").toInt()).rightJustified(2)
                    << "  "
                    << (d.isDouble() ? QString::number(d.toDouble(), 'f', 2)
                                     : QStringLiteral("  - "))
                    << "  " << hit.value("artist").toString() << " / "
                    << hit.value("album").toString() << " (" << hit.value("source").toString()
                    << ", " << hit.value("tracks").toInt() << " tracks)\n";
                const QString why = partsText(hit.value("parts").toArray());
                if (!why.isEmpty()) out << "          " << why << "\n";
            }
        }
    }
    if (!json) out << "Save one with: trovix-cli library ROOT --apply FOLDER --choose N\n";
    return 0;
}

} // namespace

namespace LibraryCommand {

int run(const CliOptions& o, QTextStream& out, QTextStream& err) {
    const QFileInfo info(o.folder);
    if (!info.isDir()) {
        err << "trovix-cli: " << o.folder << ": "
            << (info.exists() ? "not a folder" : "no such folder") << "\n";
        return 1;
    }
    const QString root = QDir::cleanPath(info.absoluteFilePath());
    LibraryState state;
    if (!state.open(LibraryState::defaultPath())) {
        err << "trovix-cli: " << state.errorText() << "\n";
        return 1;
    }
    QString message;
    switch (o.libraryAction) {
    case CliOptions::LibraryAction::Plan:
    case CliOptions::LibraryAction::Save:
        return runLibrary(o, state, root, out, err);
    case CliOptions::LibraryAction::Status:
    case CliOptions::LibraryAction::Review: {
        const QList<LibraryRecord> rows = state.under(root);
        if (!state.errorText().isEmpty()) {
            err << "trovix-cli: " << state.errorText() << "\n";
            return 1;
        }
        return o.libraryAction == CliOptions::LibraryAction::Status
                   ? status(rows, root, o.json, out)
                   : review(rows, o.json, out);
    }
    case CliOptions::LibraryAction::Apply:
        if (!LibraryRun::apply(state, o.libraryFolder, o.choose, &message)) {
            err << "trovix-cli: " << message << "\n";
            return 1;
        }
        break;
    case CliOptions::LibraryAction::Skip:
        if (!LibraryRun::skip(state, o.libraryFolder, &message)) {
            err << "trovix-cli: " << message << "\n";
            return 1;
        }
        break;
    }
    out << message << "\n";
    return 0;
}

} // namespace LibraryCommand
