#pragma once

#include <QString>

#include <optional>

class ProgressIndicator;
class WebThrottle;

// Fetches one page with GET over HTTP/1.1 (or HTTPS), blocking the calling
// worker thread; never call it on the main thread.
//
// url       in: the page; out: the final address after redirects, once the
//           transfer was started. A null or empty URL returns none at once
//           without touching the throttle.
// progress  optional; animated at every 0.1 s poll and every read, and asked
//           whether the user cancelled.
// timeLimitSecs  0 or less: no limit. Applies to the wait for the connection
//           and, once reading, to the passes in which no data is ready
//           (counted from the moment the connection opened): a page that keeps
//           delivering is read to its end. Give a limit or a progress object
//           through which the user can cancel, else a dead host waits forever.
// throttle  optional; held for the whole fetch and released on every path.
//
// Returns the body with each byte decoded as the ISO 8859-1 character of the
// same code, whatever the page declares, or none when no data came. After a
// cancellation, a time-out or a failed read the part read so far comes back
// as if whole. The HTTP status is not examined: error pages come back too.
// Every failure is logged ("GrabWebPage error 1" to "10").
std::optional<QString> GrabWebPage(QString& url, ProgressIndicator* progress, int timeLimitSecs,
                                   WebThrottle* throttle);

// The HTTP proxy from the environment (http_proxy), as libcurl itself uses
// it: the host, or a null text when none is set. Writes its port to `port`
// when one is given and non-zero, else leaves `port` as it was. Read afresh
// at every call.
QString GetHTTPProxy(int& port);
