#include "model/NameTemplate.h"

#include "model/NamingOptions.h"
#include "system/FileSystemParams.h"
#include "tags/TextNumbers.h"
#include "text/SmartCapitalize.h"
#include "text/StringUtils.h"

#include <QList>

#include <algorithm>

namespace NameTemplate {
namespace {

constexpr int kTitleTagLimit = 255;
// What one code of a template usually expands to, in characters.
constexpr int kTypicalPiece = 32;

bool isTitleTag(int kind) {
    return kind == 2 || kind == 3;
}
bool isDiskName(int kind) {
    return kind == NamingOptions::kFolderName || kind == NamingOptions::kFileName;
}

// Length of the character at `i` in 16-bit units (`step`) and its cost: its
// UTF-8 byte count, or 1 per unit when counting characters.
qsizetype costAt(const QString& s, qsizetype i, bool countBytes, qsizetype* step) {
    const char16_t u = s.at(i).unicode();
    const bool pair = QChar::isHighSurrogate(u) && i + 1 < s.size() && s.at(i + 1).isLowSurrogate();
    *step = pair ? 2 : 1;
    if (!countBytes) return *step;
    if (pair) return 4;
    return u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
}

qsizetype costOf(const QString& s, bool countBytes) {
    if (!countBytes) return s.size();
    qsizetype total = 0, step = 0;
    for (qsizetype i = 0; i < s.size(); i += step)
        total += costAt(s, i, countBytes, &step);
    return total;
}

// Where a shortenable value landed in the result.
struct Piece {
    qsizetype start;
    qsizetype length;
};

// Cuts whole characters from the end of the piece until `excess` is covered
// or the piece is gone; answers what was removed. Walks back from the end,
// so a huge piece costs no memory beyond itself.
qsizetype cutPiece(QString& out, const Piece& piece, qsizetype excess, bool countBytes) {
    const qsizetype end = piece.start + piece.length;
    qsizetype cut = end;
    qsizetype removed = 0;
    qsizetype step = 0;
    while (cut > piece.start && removed < excess) {
        qsizetype begin = cut - 1;
        if (begin > piece.start && out.at(begin).isLowSurrogate() &&
            out.at(begin - 1).isHighSurrogate())
            --begin;
        removed += costAt(out, begin, countBytes, &step);
        cut = begin;
    }
    out.remove(cut, end - cut);
    return removed;
}

QString squeezed(const QString& s) {
    return SqueezeString(s);
}

void removeOmitChars(QString& name, const QString& omitChars) {
    // A slash can never be part of a name, whatever the user omits, nor a
    // control or bidirectional override (NUL among them): a tag may hold them.
    const QString omit = omitChars + QLatin1Char('/');
    name.removeIf([&omit](QChar c) { return omit.contains(c) || isUnsafeChar(c); });
    // A leading dot would hide the file or folder.
    qsizetype dots = 0;
    while (dots < name.size() && name.at(dots) == u'.')
        ++dots;
    name.remove(0, dots);
}

} // namespace

int lengthLimit(int which, const QString& folder, const QString& extension) {
    const int kind = which & NamingOptions::kKindMask;
    if (isTitleTag(kind)) return kTitleTagLimit;
    // The probe measures names followed by a four-character ".XXX".
    const int whole = FileSystemParams::getFileSystemParams()->maxFileNameLength(folder) + 4;
    if (kind == NamingOptions::kFolderName || extension.isEmpty()) return whole;
    return std::max(0, whole - 1 - int(costOf(extension, true)));
}

QString expand(const NameSubject& track, const std::optional<AlbumNameFacts>& album, int which,
               const QString& nameTemplate, int limit, int* unique, const QString& extension,
               const QString& omitChars) {
    const int kind = which & NamingOptions::kKindMask;
    const bool folder = kind == NamingOptions::kFolderName;
    const bool countBytes = isDiskName(kind);

    QString out = QString(u""_qs);
    // Most names fit: growing one character at a time would reallocate.
    out.reserve(nameTemplate.size() + 4 * kTypicalPiece);
    QList<Piece> pieces; // newest first
    int level = 0;
    auto shortenable = [&](const QString& value) {
        pieces.prepend(Piece{out.size(), value.size()});
        out += value;
    };
    auto atLeast = [&level](int u) { level = std::max(level, u); };

    const qsizetype n = nameTemplate.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = nameTemplate.at(i);
        if (c != QLatin1Char('%')) {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 >= n) { // a trailing percent stays
            out += c;
            ++i;
            continue;
        }
        const QChar code = nameTemplate.at(i + 1);
        switch (code.unicode()) {
        case u'A':
            shortenable((folder ? track.folderArtist : track.artist));
            break;
        case u'a':
            shortenable(squeezed((folder ? track.folderArtist : track.artist)));
            break;
        case u'T':
            shortenable(folder ? track.album : track.title);
            atLeast(1);
            break;
        case u't':
            shortenable(squeezed(folder ? track.album : track.title));
            atLeast(1);
            break;
        case u'L':
            shortenable(track.album);
            atLeast(1);
            break;
        case u'l':
            shortenable(squeezed(track.album));
            atLeast(1);
            break;
        case u'Y':
        case u'y':
            out += YearText(track.year);
            break;
        case u'G':
        case u'g':
            out += track.genre;
            break;
        case u'N':
        case u'n':
            // A file's number has two digits at least, as "%02u" gives,
            // without parsing a format for every file named.
            if (folder)
                out += code;
            else
                out += QString::number(unsigned(track.row + 1)).rightJustified(2, u'0');
            atLeast(2);
            break;
        case u'B':
            if (folder && album) {
                const int summary = album->bitrate;
                out += summary == -1  ? QStringLiteral("VBR")
                       : summary == 0 ? QStringLiteral("MBR")
                                      : QString::number(summary);
            } else {
                out += QString::number(track.bitrate);
            }
            break;
        case u'b':
            if (folder && album) {
                const int summary = album->bitrate;
                if (summary == -1)
                    out += QStringLiteral("(VBR)");
                else if (summary == 0)
                    out += QStringLiteral("(MBR)");
            } else {
                out += QStringLiteral("%b");
            }
            break;
        case u'I':
        case u'i':
            if (folder && album) {
                if (album->tracksMissing)
                    out += code == u'I' ? QStringLiteral("(INC)") : QStringLiteral("(inc)");
            } else {
                out += code;
            }
            break;
        case u'%':
            out += c;
            break;
        default:
            // Not a code: the percent is text, and so is the next character.
            out += c;
            ++i;
            continue;
        }
        i += 2;
    }

    // Shorten the newest pieces first; they lie right of the older ones, so
    // cutting one leaves the ranges of the others valid.
    if (limit > 0) {
        qsizetype total = costOf(out, countBytes);
        if (total > limit) {
            qsizetype excess = total - limit;
            for (const Piece& piece : pieces) {
                const qsizetype removed = cutPiece(out, piece, excess, countBytes);
                excess = std::max<qsizetype>(0, excess - removed);
                total -= removed;
                if (total <= limit) break;
            }
            if (total > limit) out = truncated(out, limit, countBytes);
        }
    }

    // Omitted characters never touch the extension: a name that lost the
    // dot or letters of its extension would no longer be seen as music.
    if (isDiskName(kind)) removeOmitChars(out, omitChars);
    if (!extension.isNull()) out += QLatin1Char('.') + extension;

    if (unique) *unique = level;
    return out;
}

bool givesNoName(const QString& base) {
    return std::all_of(base.cbegin(), base.cend(), [](QChar c) { return c == u'.'; });
}

QString truncated(const QString& text, int limit, bool countBytes) {
    qsizetype used = 0, i = 0, step = 0;
    while (i < text.size()) {
        const qsizetype cost = costAt(text, i, countBytes, &step);
        if (used + cost > limit) break;
        used += cost;
        i += step;
    }
    return text.left(i);
}

QString numberedName(const QString& name, int k, int limit) {
    if (k <= 1) return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    const QString suffix = dot < 0 ? QString() : name.mid(dot);
    const QString tag = QStringLiteral(" %1").arg(k);
    const int room = std::max(0, limit - int(tag.size()));
    return truncated(base, room, true) + tag + suffix;
}

} // namespace NameTemplate
