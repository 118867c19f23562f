#include "web/sources/SourceSupport.h"

#include <QStringList>
#include <QUrl>

#include <climits>
#include <cstdlib>

namespace SourceSupport {

QString hostOf(const QString& url) {
    const QUrl parsed(url);
    QString host = parsed.host(QUrl::FullyEncoded);
    if (host.contains(QLatin1Char(':'))) host = QLatin1Char('[') + host + QLatin1Char(']');
    const int port = parsed.port();
    if (port >= 0) host += QLatin1Char(':') + QString::number(port);
    return host;
}

QString compareString(const QString& artist, const QString& album) {
    return artist + QStringLiteral(" / ") + album;
}

std::optional<std::uint32_t> readHex(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    const char* start = bytes.constData();
    char* end = nullptr;
    const unsigned long long value = std::strtoull(start, &end, 16);
    if (end == start) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

QString discKey(const QString& category, std::uint32_t discId) {
    return category + QLatin1Char('/') + QStringLiteral("%1").arg(discId, 8, 16, QLatin1Char('0'));
}

bool isDiscCategory(const QString& category) {
    static const QStringList known{
        QStringLiteral("blues"), QStringLiteral("classical"), QStringLiteral("country"),
        QStringLiteral("data"),  QStringLiteral("folk"),      QStringLiteral("jazz"),
        QStringLiteral("misc"),  QStringLiteral("newage"),    QStringLiteral("reggae"),
        QStringLiteral("rock"),  QStringLiteral("soundtrack")};
    return known.contains(category);
}

bool isDiscKey(const QString& keyPart) {
    const qsizetype slash = keyPart.indexOf(QLatin1Char('/'));
    if (slash < 0 || keyPart.size() - slash - 1 != 8 || !isDiscCategory(keyPart.left(slash)))
        return false;
    for (qsizetype i = slash + 1; i < keyPart.size(); ++i) {
        const QChar c = keyPart[i];
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
    }
    return true;
}

bool isPlainReference(const QString& reference) {
    constexpr qsizetype kMaxLength = 256;
    if (reference.isEmpty() || reference.size() > kMaxLength) return false;
    for (const QChar c : reference) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u >= 0x7F || u == u'"' || u == u'\'' || u == u'<' || u == u'>' ||
            u == u'\\')
            return false;
    }
    return true;
}

std::optional<QString> firstDigitRun(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && !(text[i] >= u'0' && text[i] <= u'9'))
        ++i;
    if (i == text.size()) return std::nullopt;
    qsizetype j = i;
    while (j < text.size() && text[j] >= u'0' && text[j] <= u'9')
        ++j;
    return text.mid(i, j - i);
}

int intValue(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    const long long value = std::strtoll(bytes.constData(), nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : int(value);
}

QString trimSpacesTabs(const QString& text) {
    if (text.isNull()) return text;
    qsizetype b = 0, e = text.size();
    while (b < e && (text[b] == u' ' || text[b] == u'\t'))
        ++b;
    while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t'))
        --e;
    return text.mid(b, e - b);
}

} // namespace SourceSupport
