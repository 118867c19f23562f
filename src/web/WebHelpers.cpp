#include "web/WebHelpers.h"

#include "system/Log.h"

#include <QProcess>
#include <QStringView>
#include <QUrl>

#include <algorithm>
#include <mutex>

namespace {

std::mutex gOpenerMutex;
URLOpener gURLOpener;

void defaultOpener(const QString& url) {
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {url}))
        TROVIX_LOG() << "could not start xdg-open for" << url;
}

// CF-style search: an empty needle is never found.
qsizetype findIn(QStringView hay, const QString& needle) {
    if (needle.isEmpty()) return -1;
    return hay.indexOf(needle, 0, Qt::CaseInsensitive);
}

qsizetype findLastIn(QStringView hay, const QString& needle) {
    if (needle.isEmpty() || needle.size() > hay.size()) return -1;
    return hay.lastIndexOf(needle, hay.size() - needle.size(), Qt::CaseInsensitive);
}

} // namespace

QString EscapeForURLQuiet(const QString& text) {
    if (text.isNull()) return QString();
    // QUrl keeps letters, digits and "-._~"; add the rest of RFC 2396's
    // unreserved marks and its reserved set. "~" is unreserved there too.
    static const QByteArray keep = QByteArrayLiteral("!*'();/?:@&=+$,");
    return QString::fromLatin1(QUrl::toPercentEncoding(text, keep));
}

QString EscapeForURL(const QString& text) {
    TROVIX_LOG() << "EscapeForURL is being deprecated";
    return EscapeForURLQuiet(text);
}

URLOpener SetURLOpener(URLOpener opener) {
    std::lock_guard<std::mutex> guard(gOpenerMutex);
    URLOpener previous = std::move(gURLOpener);
    gURLOpener = std::move(opener);
    return previous;
}

void OpenURLInBrowserQuiet(const QString& url) {
    URLOpener opener;
    {
        std::lock_guard<std::mutex> guard(gOpenerMutex);
        opener = gURLOpener;
    }
    if (opener)
        opener(url);
    else
        defaultOpener(url);
}

void OpenURLInBrowser(const QString& url) {
    TROVIX_LOG() << "OpenURLInBrowser is being deprecated";
    OpenURLInBrowserQuiet(url);
}

QString stringByRemovingTagsOnly(const QString& text) {
    // Removing the first tag and searching again from the start is the same
    // as walking forward once: nothing before a removed "<" holds another.
    if (text.isNull()) return QString();
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype lt = text.indexOf(QLatin1Char('<'), from);
        if (lt < 0) break;
        const qsizetype gt = text.indexOf(QLatin1Char('>'), lt + 1);
        if (gt < 0) break;
        out.append(QStringView(text).mid(from, lt - from));
        from = gt + 1;
    }
    out.append(QStringView(text).mid(from));
    return out;
}

QString stringByRemovingHTMLTags(const QString& text) {
    QString out = stringByRemovingTagsOnly(text);
    if (out.isNull()) return out;
    out.replace(QLatin1String("&amp;"), QLatin1String("&"));
    out.replace(QLatin1String("&gt;"), QLatin1String(">"));
    out.replace(QLatin1String("&lt;"), QLatin1String("<"));
    out.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    return out;
}

std::optional<QString> ExtractDoublyDelimitedString(const QString& source, Window* window,
                                                    const QString& start, const QString& inner,
                                                    const QString& end) {
    const qsizetype size = source.size();
    Window local{0, size};
    Window& w = window ? *window : local;
    // A window from a stale parse must not reach outside the source.
    w.location = std::clamp<qsizetype>(w.location, 0, size);
    w.length = std::clamp<qsizetype>(w.length, 0, size - w.location);
    const QStringView src(source);
    const qsizetype windowEnd = w.location + w.length;

    qsizetype p = w.location;
    if (!start.isNull()) {
        const qsizetype at = findIn(src.mid(w.location, w.length), start);
        if (at < 0) return std::nullopt;
        p = w.location + at + start.size();
    }
    w = Window{p, windowEnd - p};

    qsizetype q = size;
    qsizetype q2 = size;
    if (!end.isNull()) {
        const qsizetype at = findIn(src.mid(w.location, w.length), end);
        if (at < 0) return std::nullopt;
        q = w.location + at;
        q2 = q + end.size();
    }
    w = Window{q2, std::max<qsizetype>(0, windowEnd - q2)};

    if (!inner.isNull()) {
        const qsizetype at = findLastIn(src.mid(p, q - p), inner);
        if (at < 0) return std::nullopt;
        p = p + at + inner.size();
    }
    return source.mid(p, q - p);
}

std::optional<QString> cutBetween(const QString& source, Window& window, const char* start,
                                  const char* inner, const char* end) {
    return ExtractDoublyDelimitedString(
        source, &window, start ? QString::fromLatin1(start) : QString(),
        inner ? QString::fromLatin1(inner) : QString(), end ? QString::fromLatin1(end) : QString());
}
