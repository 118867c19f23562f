#include "tags/TextNumbers.h"

#include <climits>

namespace {

bool isScanSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

} // namespace

bool ScanLeadingInt(const QString& text, qsizetype from, int& value, qsizetype* end) {
    value = 0;
    qsizetype i = from < 0 ? 0 : from;
    const qsizetype n = text.size();
    while (i < n && isScanSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    const qsizetype digitsStart = i;
    long long magnitude = 0;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        ++i;
    }
    if (i == digitsStart) return false;
    if (negative)
        value = magnitude > -(long long)INT_MIN ? INT_MIN : int(-magnitude);
    else
        value = magnitude > INT_MAX ? INT_MAX : int(magnitude);
    if (end) *end = i;
    return true;
}

int IntValue(const QString& text) {
    int value = 0;
    ScanLeadingInt(text, 0, value);
    return value;
}

QString YearText(const QString& text) {
    if (text.isNull()) return text;
    const QString t = text.trimmed();
    auto digits = [&t](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i)
            if (t[i] < u'0' || t[i] > u'9') return false;
        return true;
    };
    if (!t.isEmpty() && t.size() <= 4 && digits(0, t.size())) return t;
    if (t.size() >= 7 && digits(0, 4) && t[4] == u'-' && digits(5, 7)) return t.left(4);
    return QString(u""_qs);
}
