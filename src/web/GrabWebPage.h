#pragma once

#include "web/WebLimits.h"

#include <QByteArray>
#include <QByteArrayList>
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
//           (which never lasts more than 10 s: see FetchWebPage) and, once
//           reading, to the passes in which no data is ready
//           (counted from the moment the connection opened): a page that keeps
//           delivering is read to its end. Give a limit or a progress object
//           through which the user can cancel, else a silent server waits
//           forever.
// throttle  optional; held for the whole fetch and released on every path.
//
// Returns the body with each byte decoded as the ISO 8859-1 character of the
// same code, whatever the page declares, or none when no data came. After a
// cancellation, a time-out or a failed read the part read so far comes back
// as if whole; an answer larger than a page may be (WebLimits) comes back as
// none. The HTTP status is not examined: error pages come back too.
// Every failure is logged ("GrabWebPage error 1" to "10").
std::optional<QString> GrabWebPage(QString& url, ProgressIndicator* progress, int timeLimitSecs,
                                   WebThrottle* throttle);

// How one fetch ended, for callers that retry or give up: a host that never
// opened a connection is not worth a second attempt, a time-out or a server
// error (5xx) may be; an answer past the size cap is not.
struct PageFetch {
    enum class Outcome { Complete, NoConnection, TimedOut, Cancelled, Failed, TooLarge };
    // The bytes as they came (decoded nowhere), in the cases GrabWebPage
    // returns a body.
    std::optional<QByteArray> body;
    Outcome outcome = Outcome::Failed;
    long status = 0; // the final HTTP status; 0 when no answer came
    QString error;   // libcurl's words for a transfer that failed
};

// Extra request settings; empty ones leave the defaults.
struct FetchOptions {
    QByteArray userAgent;   // default "Trovix/<version>"
    QByteArrayList headers; // "Name: value" lines
    // Reading stops past this many bytes (or at a larger announced length)
    // and the fetch ends as TooLarge, without a body.
    qsizetype maxBytes = WebLimits::kMaxPageBytes;
};

// GrabWebPage with the outcome and status. A connection that is refused, fails
// to resolve or does not open within 10 seconds ends the fetch at once
// ("GrabWebPage error 5") and marks its host down for the calling thread's
// look-up (DownHosts); a host already marked down is not tried again. Once the
// calling thread's look-up has run out of time (LookupDeadline) nothing is
// fetched, and a fetch under way ends as TimedOut with the part read so far.
PageFetch FetchWebPage(QString& url, ProgressIndicator* progress, int timeLimitSecs,
                       WebThrottle* throttle, const FetchOptions& options = {});

// The HTTP proxy from the environment (http_proxy), as libcurl itself uses
// it: the host, or a null text when none is set. Writes its port to `port`
// when one is given and non-zero, else leaves `port` as it was. Read afresh
// at every call.
QString GetHTTPProxy(int& port);
