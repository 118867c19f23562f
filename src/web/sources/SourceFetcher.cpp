#include "web/sources/SourceFetcher.h"

#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "web/DebugFiles.h"
#include "web/DownHosts.h"
#include "web/LookupDeadline.h"

#include <chrono>
#include <thread>
#include <utility>

namespace {

bool busy(long status) {
    return status == 503 || status == 429;
}

// Whether a wait of this long ends after the look-up's time is up.
bool outlastsLookup(double seconds) {
    using namespace std::chrono;
    const auto end = LookupDeadline::end();
    return end &&
           steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds)) >=
               *end;
}

// The text the parsers read, one character per byte; the bytes are let go
// of as soon as it is made.
std::optional<QString> pageText(std::optional<QByteArray>& bytes) {
    if (!bytes) return std::nullopt;
    const QByteArray taken = std::exchange(*bytes, QByteArray());
    bytes.reset();
    return QString::fromLatin1(taken);
}

} // namespace

void SourceFetcher::reportFailure(const Request& request, const PageFetch& page, bool hostWasDown) {
    QString words;
    switch (page.outcome) {
    case PageFetch::Outcome::Cancelled:
        return;
    case PageFetch::Outcome::NoConnection:
        if (hostWasDown) return;
        words = QStringLiteral("could not connect: ") + page.error;
        break;
    case PageFetch::Outcome::TimedOut:
        words = QStringLiteral("no answer within %1 s").arg(request.timeLimitSecs);
        break;
    case PageFetch::Outcome::TooLarge:
        words = QStringLiteral("the answer was too large");
        break;
    case PageFetch::Outcome::Complete:
    case PageFetch::Outcome::Failed:
        if (page.status == 503 || page.status == 429)
            words = QStringLiteral("the server is busy (%1)").arg(page.status);
        else if (page.status >= 300)
            words = QStringLiteral("the server answered %1").arg(page.status);
        else
            words = QStringLiteral("the transfer failed: ") +
                    (page.error.isEmpty() ? QStringLiteral("no answer") : page.error);
        break;
    }
    const QString source =
        request.source.isEmpty() ? DownHosts::hostKey(request.url) : request.source;
    TROVIX_LOG() << source + QStringLiteral(": ") + words;
}

bool SourceFetcher::waitUnlessCancelled(double seconds, ProgressIndicator* progress) {
    using namespace std::chrono;
    const auto end =
        steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));
    while (steady_clock::now() < end) {
        if (progress) {
            progress->NotifyAnimate();
            if (progress->cancelled()) return false;
        }
        std::this_thread::sleep_for(milliseconds(100));
    }
    return !(progress && progress->cancelled());
}

SourceFetcher::Response SourceFetcher::fetchAnyAnswer(const Request& request,
                                                      ProgressIndicator* progress) {
    // Each attempt asks for the address the previous one ended at.
    Response response;
    response.finalURL = request.url;
    for (int attempt = 0; attempt < request.attempts && !response.finalURL.isEmpty(); ++attempt) {
        const bool hostWasDown = DownHosts::isDown(response.finalURL);
        PageFetch page = FetchWebPage(response.finalURL, progress, request.timeLimitSecs,
                                      request.throttle, request.options);
        // These sites read error pages themselves; only no answer at all is
        // said here.
        if (page.outcome == PageFetch::Outcome::NoConnection)
            reportFailure(request, page, hostWasDown);
        response.body = pageText(page.body);
        response.status = page.status;
        response.outcome = page.outcome;
        response.cancelled = page.outcome == PageFetch::Outcome::Cancelled;
        // Only a slow or failing server may answer a second time; a host
        // that is unreachable or a cancelled fetch will not.
        const bool serverError = page.status >= 500;
        if (response.body && !serverError) break;
        if (!serverError && page.outcome != PageFetch::Outcome::TimedOut &&
            page.outcome != PageFetch::Outcome::Failed)
            break;
    }
    if (response.body && !response.body->isEmpty() && request.pageDump)
        WriteDebugFile(request.pageDump, *response.body);
    return response;
}

SourceFetcher::Response SourceFetcher::fetch(const Request& request, ProgressIndicator* progress) {
    if (request.urlDump) WriteDebugFile(request.urlDump, request.url);
    if (request.anyAnswer) return fetchAnyAnswer(request, progress);
    Response response;
    int attemptsLeft = request.attempts;
    double nextWait = request.busyFirstWaitSecs;
    double waited = 0;
    for (;;) {
        QString url = request.url;
        const bool hostWasDown = DownHosts::isDown(url);
        PageFetch page =
            FetchWebPage(url, progress, request.timeLimitSecs, request.throttle, request.options);
        response.finalURL = url;
        response.status = page.status;
        response.outcome = page.outcome;
        if (page.outcome == PageFetch::Outcome::Cancelled || (progress && progress->cancelled())) {
            response.cancelled = true;
            return response;
        }
        if (page.body && request.pageDump) WriteDebugFile(request.pageDump, *page.body);
        if (page.outcome == PageFetch::Outcome::Complete && page.status >= 200 &&
            page.status < 300) {
            response.body = pageText(page.body);
            return response;
        }
        if (request.busyRetries && busy(page.status)) {
            if (waited + nextWait > request.busyWaitLimitSecs || outlastsLookup(nextWait)) {
                TROVIX_WEB_LOG() << "server still busy, giving up: " << request.url;
                reportFailure(request, page, hostWasDown);
                return response;
            }
            TROVIX_WEB_LOG() << "server busy (" << page.status << "), waiting " << nextWait
                             << " s: " << request.url;
            if (!waitUnlessCancelled(nextWait, progress)) {
                response.cancelled = true;
                return response;
            }
            waited += nextWait;
            nextWait *= 2;
            continue;
        }
        // A host that never connected stays down; a server that did but
        // timed out, broke off or failed may answer the next time.
        const bool retryable = (page.outcome == PageFetch::Outcome::TimedOut ||
                                page.outcome == PageFetch::Outcome::Failed || page.status >= 500) &&
                               page.outcome != PageFetch::Outcome::TooLarge &&
                               !LookupDeadline::passed();
        if (!retryable || --attemptsLeft <= 0) {
            TROVIX_WEB_LOG() << "request failed (status " << page.status << "): " << request.url;
            reportFailure(request, page, hostWasDown);
            return response;
        }
    }
}
