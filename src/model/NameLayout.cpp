#include "model/NameLayout.h"

#include "model/TextNumbers.h"
#include "text/FuzzyMatch.h"
#include "text/StringUtils.h"

#include <algorithm>

NameLayout NameLayout::forParts(int partCount, int numberPosition) {
    NameLayout layout;
    layout.fParts = std::clamp(partCount, 1, 4);
    const int n = numberPosition;
    auto set = [&layout, n](int artist, int album, int title) {
        layout.fNumber = n;
        layout.fArtist = artist;
        layout.fAlbum = album;
        layout.fTitle = title;
    };
    switch (layout.fParts) {
    case 1:
        set(kNone, kNone, 0);
        layout.fNumber = kNone; // one part cannot hold a number and a title
        break;
    case 2:
        if (n == kNone) set(0, kNone, 1);
        else if (n == 0) set(kNone, kNone, 1);
        else if (n == 1) set(kNone, kNone, 0);
        else set(kNone, kNone, kNone);
        break;
    case 3:
        if (n == kNone) set(0, 1, 2);
        else if (n == 0) set(kNone, 1, 2);
        else if (n == 1) set(kNone, 0, 2);
        else if (n == 2) set(kNone, 0, 1);
        else set(kNone, kNone, kNone);
        break;
    default:
        if (n == kNone) set(0, 1, 2);
        else if (n == 0) set(1, 2, 3);
        else if (n == 1) set(0, 2, 3);
        else if (n == 2) set(0, 1, 3);
        else set(0, 1, 2);
        break;
    }
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
    if (withParts[1] > withParts[2]) partCount = 1;
    else if (withParts[2] > withParts[3]) partCount = 2;
    else if (withParts[3] > withParts[4]) partCount = 3;
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
