#include "text/StringUtils.h"

#include <QSet>
#include <QStringView>

#include <algorithm>

QString orEmpty(const QString& text) {
    return text.isNull() ? QString(u""_qs) : text;
}

QString stringWithString(const QString& text, const QString& removingCharacters) {
    if (text.isNull() || removingCharacters.isEmpty()) return text;
    // Whole code points, so a surrogate pair in the set removes only that
    // character.
    QSet<char32_t> remove;
    for (const char32_t c : QStringView(removingCharacters).toUcs4()) remove.insert(c);

    QString result;
    result.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        qsizetype width = 1;
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            width = 2;
        }
        if (!remove.contains(c)) result.append(QStringView(text).sliced(i, width));
        i += width;
    }
    if (result.size() == text.size()) return text;
    return result;
}

QString joinSeparatedStrings(const QStringList& list, const QString& delimiter, int startingAt) {
    if (startingAt < 0 || startingAt >= list.size()) return QString();
    QString result = list[startingAt];
    for (qsizetype i = startingAt + 1; i < list.size(); ++i) {
        result += delimiter;
        result += list[i];
    }
    return result;
}

bool isUnsafeChar(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F) || (u >= 0x202A && u <= 0x202E) ||
           (u >= 0x2066 && u <= 0x2069);
}

QString withoutUnsafeChars(const QString& text) {
    if (text.isNull()) return text;
    const auto unsafeAt = std::find_if(text.cbegin(), text.cend(), isUnsafeChar);
    if (unsafeAt == text.cend()) return text;
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c >= u'\t' && c <= u'\r')
            out += u' ';
        else if (!isUnsafeChar(c))
            out += c;
    }
    return out;
}
