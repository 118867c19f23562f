#pragma once

#include <QString>

#include <functional>
#include <optional>

// The small text tools the web sources build their requests and parsers from.

// URL escaping with UTF-8 (RFC 2396): every character that may not stand in a
// URL becomes "%XX" per UTF-8 byte; reserved characters (";/?:@&=+$,") and
// unreserved ones (letters, digits, "-_.!~*'()") are kept. A null text gives
// a null text. Logs that it is being deprecated at every call.
QString EscapeForURL(const QString& text);
// The same escaping without the log line; what the sources use.
QString EscapeForURLQuiet(const QString& text);

// Hands a URL to the user's default browser. The GUI installs an opener
// (QDesktopServices::openUrl); without one, "xdg-open" runs detached. Tests
// install a recorder. Logs that it is being deprecated at every call.
void OpenURLInBrowser(const QString& url);
// The same without the log line; what the sources' look-up commands use.
void OpenURLInBrowserQuiet(const QString& url);

using URLOpener = std::function<void(const QString& url)>;
// Installs the opener for the whole process; an empty function restores the
// default. Returns the previous one.
URLOpener SetURLOpener(URLOpener opener);

// Removes every "<...>" stretch (from a "<" to the first ">" behind it; a "<"
// with no ">" behind it ends the removal and stays). No entity is decoded.
QString stringByRemovingTagsOnly(const QString& text);
// The same, then decodes "&amp;", "&gt;", "&lt;" and "&nbsp;" in that order.
// Nothing else is touched.
QString stringByRemovingHTMLTags(const QString& text);

// A (location, length) stretch of a source text, in UTF-16 units.
struct Window {
    qsizetype location = 0;
    qsizetype length = 0;
};

// Cuts a piece out of a page between markers and moves the window past it, so
// a parser can walk a page by calling it again and again with one window.
// Markers are plain text matched ignoring case; a null marker is "not given"
// (an empty one is never found). A null window means the whole source, and
// nothing is written back.
//   start: the first occurrence inside the window anchors the field (the
//          window then starts behind it); missing -> none, window unchanged.
//   end:   the first occurrence behind the start closes the field; the window
//          then starts behind it. Missing -> none, window starts behind the
//          start marker. Not given: the field runs to the end of the source.
//   inner: the field starts behind its last occurrence before the end
//          marker; missing -> none (the window has already moved).
std::optional<QString> ExtractDoublyDelimitedString(const QString& source, Window* window,
                                                    const QString& start, const QString& inner,
                                                    const QString& end);
// The same with Latin-1 markers, a null pointer for a marker not given.
std::optional<QString> cutBetween(const QString& source, Window& window, const char* start,
                                  const char* inner, const char* end);
