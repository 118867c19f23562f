#include "cli/TextOutput.h"

#include "text/StringUtils.h"

#include <QTextStream>

#include <algorithm>

namespace {

// Text from tags and the web as the terminal may show it: a control or a
// bidirectional mark would move the cursor, ring the bell, start an escape
// sequence or reorder the line, so each is written out as "\xHH" or "\uHHHH".
QString printable(const QString& text) {
    const auto hidden = [](QChar c) {
        return isUnsafeChar(c) || c == u'\u200E' || c == u'\u200F' || c == u'\u061C';
    };
    if (std::none_of(text.cbegin(), text.cend(), hidden)) return text;
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (!hidden(c))
            out += c;
        else
            out += QString::asprintf(c.unicode() < 0x100 ? "\\x%02X" : "\\u%04X", c.unicode());
    }
    return out;
}

// Columns padded to their widest cell; the last column is not padded.
void printTable(const QList<QStringList>& rows, QTextStream& out,
                const QList<QStringList>& shown = {}) {
    if (rows.isEmpty()) return;
    QList<int> widths(rows[0].size(), 0);
    for (const QStringList& r : rows)
        for (int c = 0; c < r.size() && c < widths.size(); ++c)
            widths[c] = qMax(widths[c], int(r[c].size()));
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList& r = rows[i];
        // `shown` replaces a cell's text (escape sequences) without changing its width.
        const QStringList& text = i < shown.size() && !shown[i].isEmpty() ? shown[i] : r;
        QString line = QStringLiteral(" ");
        for (int c = 0; c < r.size(); ++c) {
            line += QLatin1Char(' ') + text[c];
            if (c + 1 < r.size()) line += QString(widths[c] - r[c].size(), QLatin1Char(' '));
        }
        out << line << "\n";
    }
}

QString letter(const QString& name, StatusColor c, bool colour) {
    if (colour) {
        const char* code = c == Red ? "\x1b[31m" : c == Green ? "\x1b[32m" : "\x1b[90m";
        return QString::fromLatin1(code) + name + QStringLiteral("\x1b[0m");
    }
    return name + (c == Red ? QLatin1Char('!') : c == Green ? QLatin1Char('=') : QLatin1Char('-'));
}

QString quoted(const QString& s) {
    return s.isEmpty() ? QStringLiteral("-") : printable(s);
}

} // namespace

namespace TextOutput {

QString statusLetters(const StatusRow& row, bool colour) {
    return QStringList{
        letter(QStringLiteral("A"), row.A, colour), letter(QStringLiteral("F"), row.F, colour),
        letter(QStringLiteral("I"), row.I, colour), letter(QStringLiteral("T"), row.T, colour),
        letter(QStringLiteral("Num"), row.Num, colour)}
        .join(QLatin1Char(' '));
}

void print(const FolderView& v, QTextStream& out, bool colour) {
    out << "Folder: " << printable(v.folder) << "\n";
    out << "  Artist: " << printable(v.artist) << "\n";
    if (!v.albumArtist.isNull()) out << "  Album artist: " << printable(v.albumArtist) << "\n";
    out << "  Album:  " << printable(v.album) << "\n";
    out << "  Year:   " << printable(v.year) << "\n";
    out << "  Genre:  " << printable(v.genre) << "\n";
    if (v.variousArtists) out << "  Various artists\n";
    out << "\n";

    out << "Tracks";
    if (!colour) out << " (status: X! will change, X= already right, X- untouched)";
    out << ":\n";
    // Track artists show when the tracks do not all get the album's.
    const bool artists = v.variousArtists || !v.albumArtist.isNull();
    QList<QStringList> rows{{"#", "Status", "Old file name", "New file name", "Old title",
                             "New title", artists ? "New artist" : QString(), "Track"}};
    QList<QStringList> shown{{}};
    for (int i = 0; i < v.tracks.size(); ++i) {
        const FolderView::Track& t = v.tracks[i];
        QStringList r{QString::number(i + 1),
                      statusLetters(t.status, false),
                      t.placeholder ? QStringLiteral("(Missing track)") : printable(t.file),
                      quoted(t.newFileName),
                      printable(t.oldTitle),
                      quoted(t.newTitle),
                      artists ? quoted(t.newArtist) : QString(),
                      printable(t.newTrack)};
        QStringList s = r;
        s[1] = statusLetters(t.status, colour);
        rows << r;
        shown << s;
    }
    if (!artists) {
        for (QStringList& r : rows)
            r.removeAt(6);
        for (QStringList& r : shown)
            if (!r.isEmpty()) r.removeAt(6);
    }
    printTable(rows, out, shown);
    out << "\n";

    out << "Hits";
    if (v.hits.isEmpty()) out << ": none";
    out << "\n";
    if (!v.hits.isEmpty()) {
        QList<QStringList> hits{
            {"", "#", "Source", "Key", "Artist", "Album", "Year", "Genre", "Score", "Tracks"}};
        for (int i = 0; i < v.hits.size(); ++i) {
            const FolderView::Hit& h = v.hits[i];
            hits << QStringList{i == v.chosenHit ? QStringLiteral("*") : QString(),
                                QString::number(i + 1),
                                h.source,
                                printable(h.key),
                                quoted(h.artist),
                                quoted(h.album),
                                quoted(h.year),
                                quoted(h.genre),
                                QString::number(h.score),
                                QString::number(h.tracks)};
        }
        printTable(hits, out);
        out << "\nMatch distance (0 the same, 1 nothing alike) and its largest parts:\n";
        for (int i = 0; i < v.hits.size(); ++i) {
            const std::optional<MatchDistance>& d = v.hits[i].distance;
            out << "  " << QString::number(i + 1).rightJustified(2) << "  "
                << (d ? d->summary(3) : QStringLiteral("- (no details)")) << "\n";
        }
    }
    if (!v.alerts.isEmpty()) {
        out << "\n";
        printAlerts(v.alerts, out);
    }
    if (v.saved) out << "\nSaved.\n";
}

void print(const FileView& v, QTextStream& out, bool colour) {
    const auto printFields = [&out](const FileView::Fields& f) {
        out << "  Title:  " << printable(f.title) << "\n";
        out << "  Track:  " << printable(f.track)
            << (f.count.isEmpty() ? QString() : " of " + printable(f.count)) << "\n";
        out << "  Artist: " << printable(f.artist) << "\n";
        out << "  Album:  " << printable(f.album) << "\n";
        out << "  Year:   " << printable(f.year) << "\n";
        out << "  Genre:  " << printable(f.genre) << "\n";
    };
    out << "File: " << printable(v.file) << "\n";
    printFields(v.fields);
    out << "  Status: " << statusLetters(v.status, colour);
    if (!colour) out << "  (X! will change, X= already right, X- untouched)";
    out << "\n  New file name: " << quoted(v.newFileName) << "\n\n";

    out << "Song hits";
    if (v.hits.isEmpty()) out << ": none";
    out << "\n";
    if (!v.hits.isEmpty()) {
        QList<QStringList> rows{{"", "#", "Relevance", "Status", "Source", "Title", "Artist",
                                 "Album", "Year", "Genre", "Track"}};
        QList<QStringList> shown{{}};
        for (int i = 0; i < v.hits.size(); ++i) {
            const FileView::Hit& h = v.hits[i];
            QStringList r{i == v.chosenHit ? QStringLiteral("*") : QString(),
                          QString::number(i + 1),
                          QString::number(h.score),
                          statusLetters(h.status, false),
                          h.source,
                          quoted(h.title),
                          quoted(h.artist),
                          quoted(h.album),
                          quoted(h.year),
                          quoted(h.genre),
                          quoted(h.track)};
            QStringList s = r;
            s[3] = statusLetters(h.status, colour);
            rows << r;
            shown << s;
        }
        printTable(rows, out, shown);
    }
    if (!v.alerts.isEmpty()) {
        out << "\n";
        printAlerts(v.alerts, out);
    }
    if (v.saved) out << "\nSaved.\n";
    if (v.onDisk) {
        out << "\nOn disk: " << printable(v.onDiskPath) << "\n";
        printFields(*v.onDisk);
    }
}

void printAlerts(const QList<Alert>& alerts, QTextStream& out) {
    for (const Alert& a : alerts) {
        out << "Alert: " << printable(a.title) << "\n";
        for (const QString& line : a.message.split(QLatin1Char('\n')))
            out << "  " << printable(line) << "\n";
        out << "  [" << printable(a.buttons.join(QStringLiteral("] ["))) << "]\n";
    }
}

} // namespace TextOutput
