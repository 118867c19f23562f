#include "model/NameLayout.h"

#include "tags/TextNumbers.h"
#include "text/FuzzyMatch.h"
#include "text/StringUtils.h"

#include <algorithm>

namespace {

struct Roles {
    int artist, album, title;
};

constexpr int N = NameLayout::kNone;

// Roles by part count (2 to 4) and number position (none, 0, 1, 2, 3). A
// number beyond the title leaves no title position: no name fits those.
constexpr Roles kRoles[3][5] = {
    {{0, N, 1}, {N, N, 1}, {N, N, 0}, {N, N, N}, {N, N, N}},
    {{0, 1, 2}, {N, 1, 2}, {N, 0, 2}, {N, 0, 1}, {N, N, N}},
    {{0, 1, 2}, {1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {0, 1, 2}},
};

} // namespace

NameLayout NameLayout::forParts(int partCount, int numberPosition) {
    NameLayout layout;
    layout.fParts = std::clamp(partCount, 1, 4);
    if (layout.fParts == 1) {
        layout.fTitle = 0; // one part cannot hold a number and a title
        return layout;
    }
    const int column = numberPosition >= 0 && numberPosition <= 3 ? numberPosition + 1 : 0;
    const Roles& roles = kRoles[layout.fParts - 2][column];
    layout.fNumber = column == 0 ? kNone : numberPosition;
    layout.fArtist = roles.artist;
    layout.fAlbum = roles.album;
    layout.fTitle = roles.title;
    return layout;
}

NameLayout NameLayout::choose(const QList<QStringList>& splitNames) {
    int withParts[5] = {0, 0, 0, 0, 0};
    int numericAt[4] = {0, 0, 0, 0};
    int best = 0;
    int number = kNone;
    for (const QStringList& parts : splitNames) {
        if (parts.size() >= 1 && parts.size() <= 4) ++withParts[parts.size()];
        for (int pos = 0; pos < 4 && pos < parts.size(); ++pos) {
            if (!IsNumeric(parts[pos])) continue;
            if (++numericAt[pos] > best) {
                best = numericAt[pos];
                number = pos;
            }
        }
    }
    int partCount = 4;
    if (withParts[1] > withParts[2])
        partCount = 1;
    else if (withParts[2] > withParts[3])
        partCount = 2;
    else if (withParts[3] > withParts[4])
        partCount = 3;
    return forParts(partCount, number);
}

int NameLayout::numberPosition(const QStringList& parts) {
    for (int pos = 0; pos < 4 && pos < parts.size(); ++pos)
        if (IsNumeric(parts[pos])) return pos;
    return kNone;
}

QString NameLayout::baseName(const QString& displayName) {
    const qsizetype dot = displayName.lastIndexOf(u'.');
    const qsizetype slash = displayName.lastIndexOf(u'/');
    // "Vol. 2" is part of a title, not an extension.
    if (dot <= 0 || dot < slash || dot == displayName.size() - 1 ||
        displayName.indexOf(u' ', dot) >= 0)
        return displayName;
    return displayName.left(dot);
}

bool NameLayout::isWordLayout(const QStringList& words) {
    return words.size() >= 2 && IsNumeric(words[0]);
}

bool NameLayout::fits(const QStringList& parts) const {
    if (fTitle == kNone) return false;
    const int needed = std::max({fNumber, fArtist, fAlbum, fTitle}) + 1;
    return parts.size() >= needed;
}

QString NameLayout::partAt(const QStringList& parts, int position) const {
    if (position == kNone || position >= parts.size()) return QString();
    if (position == fParts - 1) return joinSeparatedStrings(parts, QStringLiteral("-"), position);
    return parts[position];
}

int NameLayout::numberOf(const QStringList& parts) const {
    if (!hasNumber() || fNumber >= parts.size()) return 0;
    return IntValue(parts[fNumber]);
}
