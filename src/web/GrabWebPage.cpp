#include "web/GrabWebPage.h"

#include "app/AppVersion.h"

#include "system/Log.h"
#include "system/ProgressIndicator.h"
#include "web/CurlLibrary.h"
#include "web/DownHosts.h"
#include "web/LookupDeadline.h"
#include "web/WebThrottle.h"

#include <QByteArray>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <utility>

namespace {

constexpr long kReadSize = 65536;
constexpr int kPollMs = 100;
constexpr int kDefaultProxyPort = 80;
// A host that does not open a connection in this time counts as down.
constexpr long kConnectLimitMs = 10000;

// Only after FetchWebPage has found the library opened.
const CurlLibrary& api() {
    return *CurlLibrary::get();
}

struct ProxySetting {
    QByteArray raw; // as written in the environment, credentials included
    QString host;
    int port = 0;
};

// libcurl reads only the lower-case name for plain HTTP (a CGI program may
// get HTTP_PROXY from a request header), so we do the same.
ProxySetting proxyFromEnvironment() {
    ProxySetting setting;
    setting.raw = qgetenv("http_proxy").trimmed();
    if (setting.raw.isEmpty()) return setting;
    QByteArray withScheme = setting.raw;
    if (!withScheme.contains("://")) withScheme.prepend("http://");
    const QUrl url(QString::fromUtf8(withScheme));
    if (url.isValid() && !url.host().isEmpty()) {
        setting.host = url.host();
        setting.port = url.port(0);
    }
    return setting;
}

class ThrottleHold {
public:
    explicit ThrottleHold(WebThrottle* throttle) : fThrottle(throttle) {
        if (fThrottle) fThrottle->lock();
    }
    ~ThrottleHold() {
        if (fThrottle) fThrottle->unlock();
    }
    ThrottleHold(const ThrottleHold&) = delete;
    ThrottleHold& operator=(const ThrottleHold&) = delete;

private:
    WebThrottle* fThrottle;
};

// What the callbacks of one transfer share with the polling loop; all of it
// runs on the fetching thread, inside curl_multi_perform.
struct Transfer {
    CURL* easy = nullptr;
    ProgressIndicator* progress = nullptr;
    QByteArray buffer;
    qsizetype maxBytes = 0;
    bool haveBuffer = false;
    bool connected = false;
    bool cancelledInRead = false;
    bool tooLarge = false;
    bool done = false;
    CURLcode result = CURLE_OK;
};

size_t onData(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    t->connected = true;
    if (!t->haveBuffer) {
        t->haveBuffer = true;
        // One allocation when the server tells the size; a lying server
        // costs at most the cap.
        curl_off_t expected = -1;
        if (api().easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected) == CURLE_OK &&
            expected > 0) {
            if (expected > t->maxBytes) {
                t->tooLarge = true;
                return 0;
            }
            t->buffer.reserve(static_cast<qsizetype>(expected));
        }
    }
    if (qsizetype(bytes) > t->maxBytes - t->buffer.size()) {
        t->tooLarge = true;
        return 0; // aborts the transfer
    }
    if (t->progress) {
        t->progress->NotifyAnimate();
        if (t->progress->cancelled()) {
            TROVIX_WEB_LOG() << "GrabWebPage error 9";
            t->cancelledInRead = true;
            return 0; // aborts the transfer; this read is not counted
        }
    }
    t->buffer.append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

size_t onHeader(char*, size_t size, size_t count, void* user) {
    static_cast<Transfer*>(user)->connected = true;
    return size * count;
}

#if LIBCURL_VERSION_NUM >= 0x075000
// Called once the connection (and any TLS handshake) is up, before the request.
int onConnected(void* user, char*, char*, int, int) {
    static_cast<Transfer*>(user)->connected = true;
    return CURL_PREREQFUNC_OK;
}
#endif

void perform(CURLM* multi, Transfer& t) {
    int running = 0;
    api().multi_perform(multi, &running);
    int left = 0;
    while (CURLMsg* msg = api().multi_info_read(multi, &left)) {
        if (msg->msg == CURLMSG_DONE) {
            t.done = true;
            t.result = msg->data.result;
        }
    }
}

void waitAWhile(CURLM* multi) {
    // Wakes early when the socket has something for us.
    api().multi_poll(multi, nullptr, 0, kPollMs, nullptr);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Only web pages: a GET request cannot be made for anything else.
bool validURL(const QByteArray& url) {
    CURLU* parsed = api().url();
    if (!parsed) return false;
    bool ok = api().url_set(parsed, CURLUPART_URL, url.constData(), 0) == CURLUE_OK;
    char* scheme = nullptr;
    if (ok && api().url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK) {
        ok = qstrcmp(scheme, "http") == 0 || qstrcmp(scheme, "https") == 0;
        api().free(scheme);
    } else {
        ok = false;
    }
    api().url_cleanup(parsed);
    return ok;
}

} // namespace

QString GetHTTPProxy(int& port) {
    const ProxySetting setting = proxyFromEnvironment();
    if (setting.host.isEmpty()) return QString();
    if (setting.port > 0) port = setting.port;
    return setting.host;
}

std::optional<QString> GrabWebPage(QString& url, ProgressIndicator* progress, int timeLimitSecs,
                                   WebThrottle* throttle) {
    PageFetch fetch = FetchWebPage(url, progress, timeLimitSecs, throttle);
    if (!fetch.body) return std::nullopt;
    // Decoded once, the bytes let go of before the caller gets the text.
    const QByteArray bytes = std::exchange(*fetch.body, QByteArray());
    return QString::fromLatin1(bytes);
}

PageFetch FetchWebPage(QString& url, ProgressIndicator* progress, int timeLimitSecs,
                       WebThrottle* throttle, const FetchOptions& options) {
    PageFetch fetch;
    int proxyPort = kDefaultProxyPort;
    const QString proxyHost = GetHTTPProxy(proxyPort);
    const QByteArray proxyRaw = proxyHost.isNull() ? QByteArray() : qgetenv("http_proxy").trimmed();

    if (url.isEmpty()) return fetch;
    if (DownHosts::isDown(url)) {
        TROVIX_WEB_LOG() << "GrabWebPage: " << DownHosts::hostKey(url) << " is down, skipped";
        fetch.outcome = PageFetch::Outcome::NoConnection;
        return fetch;
    }
    if (LookupDeadline::passed()) {
        TROVIX_WEB_LOG() << "GrabWebPage: the look-up's time is up, not fetched: " << url;
        fetch.outcome = PageFetch::Outcome::TimedOut;
        return fetch;
    }

    if (!CurlLibrary::get(&fetch.error)) return fetch;
    ThrottleHold hold(throttle);

    const QByteArray address = url.toUtf8();
    CURL* easy = api().easy_init();
    if (!easy || !validURL(address) ||
        api().easy_setopt(easy, CURLOPT_URL, address.constData()) != CURLE_OK ||
        api().easy_setopt(easy, CURLOPT_HTTPGET, 1L) != CURLE_OK) {
        TROVIX_WEB_LOG() << "GrabWebPage error 1";
        if (easy) api().easy_cleanup(easy);
        return fetch;
    }
    CURLM* multi = api().multi_init();
    if (!multi) {
        TROVIX_WEB_LOG() << "GrabWebPage error 2";
        api().easy_cleanup(easy);
        return fetch;
    }

    Transfer t;
    t.easy = easy;
    t.progress = progress;
    t.maxBytes = std::max<qsizetype>(0, options.maxBytes);
    api().easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    api().easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    api().easy_setopt(easy, CURLOPT_BUFFERSIZE, kReadSize);
    const QByteArray userAgent =
        options.userAgent.isEmpty() ? AppVersion::userAgent() : options.userAgent;
    api().easy_setopt(easy, CURLOPT_USERAGENT, userAgent.constData());
    curl_slist* headers = nullptr;
    for (const QByteArray& line : options.headers)
        headers = api().slist_append(headers, line.constData());
    if (headers) api().easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    api().easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectLimitMs);
    api().easy_setopt(easy, CURLOPT_WRITEFUNCTION, onData);
    api().easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    api().easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    api().easy_setopt(easy, CURLOPT_HEADERDATA, &t);
#if LIBCURL_VERSION_NUM >= 0x075000
    api().easy_setopt(easy, CURLOPT_PREREQFUNCTION, onConnected);
    api().easy_setopt(easy, CURLOPT_PREREQDATA, &t);
#endif
#if LIBCURL_VERSION_NUM >= 0x075500
    // Pages only: a redirect must not lead to files or other protocols.
    api().easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    api().easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#endif

    // The plain-HTTP proxy; libcurl still skips it for no_proxy hosts and
    // finds https_proxy by itself for secure pages.
    if (!proxyHost.isNull() && address.startsWith("http:")) {
        if (api().easy_setopt(easy, CURLOPT_PROXY, proxyRaw.constData()) != CURLE_OK)
            TROVIX_WEB_LOG() << "set proxy host failed";
        else if (api().easy_setopt(easy, CURLOPT_PROXYPORT, static_cast<long>(proxyPort)) !=
                 CURLE_OK)
            TROVIX_WEB_LOG() << "set proxy port failed";
    }
    if (api().easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) != CURLE_OK ||
        api().easy_setopt(easy, CURLOPT_MAXREDIRS, 20L) != CURLE_OK)
        TROVIX_WEB_LOG() << "set redirect failed";

    if (api().multi_add_handle(multi, easy) != CURLM_OK) {
        TROVIX_WEB_LOG() << "GrabWebPage error 3";
        api().multi_cleanup(multi);
        api().easy_cleanup(easy);
        api().slist_free_all(headers);
        return fetch;
    }

    bool keepData = true;
    bool connectErrorLogged = false;
    const auto connectStart = std::chrono::steady_clock::now();
    // Wait for the connection. A transfer that failed before connecting
    // (refused, unknown host, no route, no connection within the connect
    // limit) ends at once: waiting longer cannot bring the host back.
    for (;;) {
        perform(multi, t);
        const bool open = t.connected || (t.done && t.result == CURLE_OK);
        if (t.done && !open && !connectErrorLogged) {
            fetch.error = QString::fromUtf8(api().easy_strerror(t.result));
            TROVIX_WEB_LOG() << "GrabWebPage: " << fetch.error;
            TROVIX_WEB_LOG() << "GrabWebPage error 5";
            connectErrorLogged = true;
            fetch.outcome = PageFetch::Outcome::NoConnection;
            DownHosts::markDown(url);
            keepData = false;
            break;
        }
        if (t.cancelledInRead) break;
        waitAWhile(multi);
        if (progress) {
            progress->NotifyAnimate();
            if (progress->cancelled()) {
                TROVIX_WEB_LOG() << "GrabWebPage error 4";
                fetch.outcome = PageFetch::Outcome::Cancelled;
                keepData = false;
                break;
            }
        }
        if ((timeLimitSecs > 0 && secondsSince(connectStart) > timeLimitSecs) ||
            LookupDeadline::passed()) {
            TROVIX_WEB_LOG() << "GrabWebPage error 5";
            fetch.outcome = PageFetch::Outcome::TimedOut;
            keepData = false;
            break;
        }
        if (open) break;
    }

    // Read. The limit counts from the moment the connection opened and only
    // in passes where nothing was ready.
    if (keepData && !t.cancelledInRead) {
        const auto readStart = std::chrono::steady_clock::now();
        for (;;) {
            if (progress && progress->cancelled()) {
                TROVIX_WEB_LOG() << "GrabWebPage error 6";
                fetch.outcome = PageFetch::Outcome::Cancelled;
                break;
            }
            if (t.done) {
                if (t.tooLarge) {
                    TROVIX_WEB_LOG()
                        << "GrabWebPage: answer too large (over " << t.maxBytes << " bytes)";
                    fetch.outcome = PageFetch::Outcome::TooLarge;
                    keepData = false;
                } else if (t.result != CURLE_OK) {
                    fetch.error = QString::fromUtf8(api().easy_strerror(t.result));
                    TROVIX_WEB_LOG() << "GrabWebPage error 10 (" << fetch.error << ")";
                    fetch.outcome = t.result == CURLE_OPERATION_TIMEDOUT
                                        ? PageFetch::Outcome::TimedOut
                                        : PageFetch::Outcome::Failed;
                } else {
                    fetch.outcome = PageFetch::Outcome::Complete;
                }
                break;
            }
            const qsizetype before = t.buffer.size();
            const bool hadBuffer = t.haveBuffer;
            perform(multi, t);
            if (t.cancelledInRead) break;
            if (LookupDeadline::passed() && !t.done) {
                TROVIX_WEB_LOG() << "GrabWebPage error 8 (the look-up's time is up)";
                fetch.outcome = PageFetch::Outcome::TimedOut;
                break;
            }
            const bool gotData = t.buffer.size() != before || t.haveBuffer != hadBuffer;
            if (!gotData && !t.done) {
                if (progress && progress->cancelled()) {
                    TROVIX_WEB_LOG() << "GrabWebPage error 7";
                    fetch.outcome = PageFetch::Outcome::Cancelled;
                    break;
                }
                if (timeLimitSecs > 0 && secondsSince(readStart) > timeLimitSecs) {
                    TROVIX_WEB_LOG() << "GrabWebPage error 8";
                    fetch.outcome = PageFetch::Outcome::TimedOut;
                    break;
                }
                waitAWhile(multi);
            }
            if (progress) progress->NotifyAnimate();
        }
    }

    if (t.cancelledInRead) fetch.outcome = PageFetch::Outcome::Cancelled;
    char* finalURL = nullptr;
    api().easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &finalURL);
    url = finalURL ? QString::fromUtf8(finalURL) : QString();
    api().easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &fetch.status);
    api().multi_remove_handle(multi, easy);
    api().easy_cleanup(easy);
    api().multi_cleanup(multi);
    api().slist_free_all(headers);

    if (keepData && t.haveBuffer) fetch.body = std::move(t.buffer);
    return fetch;
}
