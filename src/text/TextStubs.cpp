// Temporary stand-ins until the text helpers land on main.
#include "text/FuzzyMatch.h"
#include "text/SmartCapitalize.h"
#include "text/StringUtils.h"

#include <QRegularExpression>
#include <vector>

namespace {
int gc(const char16_t* a, int s1, int e1, const char16_t* b, int s2, int e2) {
    int total = 0;
    for (;;) {
        if (e1 <= s1 || e2 <= s2) return total;
        if (e1 - s1 == 1 && e2 - s2 == 1) return total;
        int best = 0, bi = 0, bj = 0, L1 = e1, L2 = e2;
        for (int i = s1; i < L1; ++i)
            for (int j = s2; j < L2; ++j)
                if (a[i] == b[j]) {
                    int k = 1;
                    while (a[i + k] != 0 && a[i + k] == b[j + k]) ++k;
                    if (k > best) { best = k; bi = i; bj = j; L1 = e1 - k; L2 = e2 - k; }
                }
        if (best == 0) return total;
        total += best + gc(a, bi + best, e1, b, bj + best, e2);
        e1 = bi;
        e2 = bj;
    }
}
} // namespace

int FuzzyCompare(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) return 0;
    const auto* pa = reinterpret_cast<const char16_t*>(a.utf16());
    const auto* pb = reinterpret_cast<const char16_t*>(b.utf16());
    std::vector<char16_t> x(pa, pa + a.size()), y(pb, pb + b.size());
    x.push_back(0);
    y.push_back(0);
    if (a.size() == 1 && b.size() == 1 && a[0] == b[0]) return 100;
    int common = gc(x.data(), 0, int(a.size()), y.data(), 0, int(b.size()));
    return common * 200 / int(a.size() + b.size());
}

bool IsNumeric(const QString& text) {
    static const QRegularExpression re(QStringLiteral("[ ]*[0-9]+[ ]*$"));
    return re.match(text).hasMatch();
}

QString SmartCapitalize(const QString& text) { return text; }
QString SqueezeString(const QString& text) { return text; }
QString RemoveLeadingArticle(const QString& text) { return text; }

QString stringWithString(const QString& text, const QString& removingCharacters) {
    QString r = text;
    for (QChar c : removingCharacters) r.remove(c);
    return r;
}

QString joinSeparatedStrings(const QStringList& list, const QString& delimiter, int startingAt) {
    return list.mid(startingAt).join(delimiter);
}
