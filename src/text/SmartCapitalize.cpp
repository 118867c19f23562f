#include "text/SmartCapitalize.h"

#include "system/Resources.h"

#include <QFile>

#include <mutex>

namespace {

// Filled once, read-only afterwards, so readers need no lock.
QStringList sLowerArray;
std::once_flag sLowerArrayOnce;

constexpr qsizetype kMaxLineBytes = 127;

bool isSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool isLower(char16_t c) { return c >= u'a' && c <= u'z'; }
bool isUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }
bool isLetter(char16_t c) { return isLower(c) || isUpper(c); }
bool isAlnum(char16_t c) { return isLetter(c) || (c >= u'0' && c <= u'9'); }
char16_t toUpper(char16_t c) { return isLower(c) ? char16_t(c - 0x20) : c; }
char16_t toLower(char16_t c) { return isUpper(c) ? char16_t(c + 0x20) : c; }

// Case-insensitive for ASCII letters only, like every other class here.
bool equalsIgnoringAsciiCase(QStringView a, QStringView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (toLower(a[i].unicode()) != toLower(b[i].unicode())) return false;
    return true;
}

bool isExcluded(QStringView token) {
    bool found = false;
    for (const QString& word : sLowerArray)
        if (equalsIgnoringAsciiCase(token, word)) found = true;
    return found;
}

bool isByteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

} // namespace

QStringList readSmartCapExclusionList(const QString& path) {
    QStringList words;
    if (path.isEmpty()) return words;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return words;
    const QByteArray data = file.readAll();
    qsizetype pos = 0;
    while (pos < data.size()) {
        // A line ends after its line feed or after 127 bytes, whichever
        // comes first; the rest of a longer line reads as a line of its own.
        qsizetype end = pos;
        while (end < data.size() && end - pos < kMaxLineBytes && data[end] != '\n') ++end;
        if (end < data.size() && end - pos < kMaxLineBytes) ++end; // take the line feed
        const QByteArrayView line(data.constData() + pos, end - pos);
        pos = end;
        if (line.startsWith('#')) continue;
        qsizetype a = 0;
        while (a < line.size() && isByteSpace(line[a])) ++a;
        qsizetype b = a;
        while (b < line.size() && !isByteSpace(line[b])) ++b;
        if (b > a) words.append(QString::fromUtf8(line.sliced(a, b - a)));
    }
    return words;
}

void InitSmartCapitalize() {
    std::call_once(sLowerArrayOnce, [] {
        sLowerArray =
            readSmartCapExclusionList(resourcePath(QStringLiteral("SmartCapExclusionList.txt")));
    });
}

void setSmartCapExclusionListForTesting(const QStringList& words) {
    InitSmartCapitalize();
    sLowerArray = words;
}

QString SmartCapitalizeIf(bool smart, const QString& text) {
    return smart ? SmartCapitalize(text) : text;
}

QString SmartCapitalize(const QString& text) {
    if (text.isEmpty()) return QStringLiteral("");
    InitSmartCapitalize();

    const qsizetype n = text.size();
    const char16_t* in = reinterpret_cast<const char16_t*>(text.utf16());

    bool allCapitals = true;
    for (qsizetype i = 0; i < n && allCapitals; ++i)
        if (isLower(in[i])) allCapitals = false;

    // Words after the last plain space are last words and always capitalized.
    const qsizetype lastSpace = text.lastIndexOf(QLatin1Char(' '));

    QString result(n, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    bool wordStart = true;
    bool phraseStart = true;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (wordStart && !phraseStart && i <= lastSpace) {
            if (c >= 0x100) {
                out[i] = c;
                wordStart = false;
                continue;
            }
            if (c == u'(' || c == u'[' || c == u'{') {
                phraseStart = true; // the word after a bracket is a first word
            } else {
                wordStart = false;
            }
            if (!isLetter(c)) {
                out[i] = c;
                continue;
            }
            // The token keeps attached punctuation, so "of," is not "of".
            qsizetype end = i;
            while (end < n && !isSpace(in[end])) ++end;
            out[i] = isExcluded(QStringView(in + i, end - i)) ? toLower(c) : toUpper(c);
        } else if (wordStart) {
            out[i] = toUpper(c);
            wordStart = false;
            phraseStart = false;
        } else if (isLetter(c)) {
            out[i] = allCapitals ? toLower(c) : c;
        } else {
            out[i] = c;
            if (isSpace(c)) wordStart = true;
        }
    }
    return result;
}

QString SqueezeString(const QString& text) {
    if (text.isEmpty()) return QStringLiteral("");
    QString result;
    result.reserve(text.size());
    bool capitalizeNext = true;
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c >= 0x100) {
            result.append(qc);
        } else if (isSpace(c)) {
            capitalizeNext = true;
        } else if (isAlnum(c)) {
            result.append(QChar(capitalizeNext ? toUpper(c) : c));
            capitalizeNext = false;
        }
    }
    return result;
}

QString RemoveLeadingArticle(const QString& text) {
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n && isSpace(text[start].unicode())) ++start;
    qsizetype end = start;
    while (end < n && !isSpace(text[end].unicode())) ++end;
    const QStringView word = QStringView(text).sliced(start, end - start);
    if (!equalsIgnoringAsciiCase(word, u"the") && !equalsIgnoringAsciiCase(word, u"a") &&
        !equalsIgnoringAsciiCase(word, u"an"))
        return text;
    qsizetype rest = end;
    while (rest < n && isSpace(text[rest].unicode())) ++rest;
    if (rest >= n) return text;
    return text.sliced(rest);
}
