#pragma once

#include "web/GrabWebPage.h"

#include <QString>

#include <optional>

class ProgressIndicator;
class WebThrottle;

// The one fetch loop of the sources that run through it: attempts, the
// site's throttle, cancel, the log line of a failed request and the numbered
// debug copies of every request and page live here, not in each site.
class SourceFetcher {
public:
    struct Request {
        QString url;
        // The source's name, which starts the one line in words a failed
        // request costs ("MusicBrainz: could not connect: ...").
        QString source;
        int timeLimitSecs = 30;
        // Attempts while the fetch times out or breaks off after connecting,
        // or the server answers 5xx (other than a busy answer, which
        // `busyRetries` governs); never past the look-up's end or after an
        // answer too large.
        int attempts = 1;
        WebThrottle* throttle = nullptr;
        FetchOptions options;
        const char* urlDump = nullptr; // debug-copy patterns, "/tmp/Trovix_X_%d.txt"
        const char* pageDump = nullptr;
        // A 503 or 429 answer is asked again after 1, 2, 4... seconds, up
        // to `busyWaitLimitSecs` of waiting in all, and only while the wait
        // ends before the look-up does.
        bool busyRetries = false;
        double busyFirstWaitSecs = 1.0;
        double busyWaitLimitSecs = 31.0;
        // The page as the fetcher hands it over, whatever the status, also
        // the part read before a time-out or a cancel, for the sites whose
        // parsers read error pages as they always have. Such a site logs its
        // own failures.
        bool anyAnswer = false;
    };

    struct Response {
        std::optional<QString> body; // only a complete 2xx answer, unless anyAnswer
        QString finalURL;            // the address after redirects
        long status = 0;
        PageFetch::Outcome outcome = PageFetch::Outcome::Failed;
        bool cancelled = false;
    };

    static Response fetch(const Request& request, ProgressIndicator* progress);

private:
    static Response fetchAnyAnswer(const Request& request, ProgressIndicator* progress);
    // Says in words why the request failed, unless its host was already
    // found down in this look-up (and said so then).
    static void reportFailure(const Request& request, const PageFetch& page, bool hostWasDown);
    // Sleeps in short slices; false when the user cancelled meanwhile.
    static bool waitUnlessCancelled(double seconds, ProgressIndicator* progress);
};
