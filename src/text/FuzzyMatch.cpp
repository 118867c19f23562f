#include "text/FuzzyMatch.h"

#include "text/Unistr.h"

#include <algorithm>
#include <cstddef>

int GCsubstr(const char16_t* s1, const char16_t* e1, const char16_t* s2, const char16_t* e2) {
    int total = 0;
    // The right-hand remainder recurses; the left-hand one loops.
    for (;;) {
        const std::ptrdiff_t len1 = e1 - s1;
        const std::ptrdiff_t len2 = e2 - s2;
        if (len1 <= 0 || len2 <= 0) return total;
        if (len1 == 1 && len2 == 1) return total;

        // Offsets rather than pointers: a long run may push the limits
        // before the buffer start.
        std::ptrdiff_t best = 0, bestI = 0, bestJ = 0;
        std::ptrdiff_t limit1 = len1, limit2 = len2;
        for (std::ptrdiff_t i = 0; i < limit1; ++i) {
            const char16_t* a = s1 + i;
            for (std::ptrdiff_t j = 0; j < limit2; ++j) {
                const char16_t* b = s2 + j;
                if (*a != *b) continue;
                // Runs end at a's terminator; b's terminator ends them too,
                // since it never equals a non-zero unit.
                std::ptrdiff_t k = 1;
                while (a[k] != 0 && a[k] == b[k])
                    ++k;
                if (k > best) {
                    best = k;
                    bestI = i;
                    bestJ = j;
                    limit1 = len1 - k;
                    limit2 = len2 - k;
                }
            }
        }
        if (best == 0) return total;

        total += int(best) + GCsubstr(s1 + bestI + best, e1, s2 + bestJ + best, e2);
        e1 = s1 + bestI;
        e2 = s2 + bestJ;
    }
}

int FuzzyCompare(const QString& a, const QString& b) {
    const qsizetype lenA = a.size();
    const qsizetype lenB = b.size();
    if (lenA == 0 || lenB == 0) return 0;
    // QString keeps its units zero-terminated, so the comparison runs on
    // them in place.
    const char16_t* ua = unicodeString(a);
    const char16_t* ub = unicodeString(b);
    if (lenA == 1 && lenB == 1 && ua[0] == ub[0]) return 100;
    long long common = GCsubstr(ua, ua + lenA, ub, ub + lenB);
    // Runs are measured past the range ends, so on repetitive text the same
    // units can be counted twice ("cabbaa" / "aabbbaa" counts 9). No two
    // texts share more units than the shorter one holds, and only identical
    // texts may score 100.
    common = std::min<long long>(common, std::min(lenA, lenB));
    const int score = int(common * 200 / (lenA + lenB));
    return score == 100 && a != b ? 99 : score;
}

bool IsNumeric(const QString& text) {
    // ASCII digits, perhaps spaces after them, at the end of the text or
    // before a line feed that ends it (where "[ ]*[0-9]+[ ]*$" matches). By
    // hand: the expression's first match compiled it, a millisecond of
    // every opening.
    qsizetype end = text.size();
    if (end > 0 && text[end - 1] == u'\n') --end;
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return end > 0 && text[end - 1] >= u'0' && text[end - 1] <= u'9';
}
