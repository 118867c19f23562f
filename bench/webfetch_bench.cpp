// Prints how fast a page comes over the loopback through GrabWebPage and how
// fast the parsers' text tools walk a large page.
#include "support/LoopbackServer.h"
#include "web/GrabWebPage.h"
#include "web/WebHelpers.h"

#include <QCoreApplication>

#include <curl/curl.h>

#include <chrono>
#include <cstdio>

namespace {

size_t discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

// The same transfer with a bare blocking libcurl call, as the baseline.
double rawCurlSeconds(const QString& url) {
    CURL* easy = curl_easy_init();
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(easy, CURLOPT_URL, address.constData());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
    const auto start = std::chrono::steady_clock::now();
    curl_easy_perform(easy);
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    curl_easy_cleanup(easy);
    return s;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qunsetenv("http_proxy");

    std::string page;
    const int cells = 100000;
    for (int i = 0; i < cells; ++i)
        page += "<tr><TD class=\"c\"><a href=\"/x?sql=" + std::to_string(i) + "\"><b>Title " +
                std::to_string(i) + "</b></a></td></tr>\n";

    LoopbackServer server;
    server.serve("/big", page);
    const int rounds = 5;
    double total = 0;
    QString fetched;
    for (int r = 0; r < rounds; ++r) {
        QString url = server.url("/big");
        const auto start = std::chrono::steady_clock::now();
        const auto got = GrabWebPage(url, nullptr, 10, nullptr);
        total += secondsSince(start);
        if (!got || got->size() != qsizetype(page.size())) {
            std::printf("fetch failed\n");
            return 1;
        }
        fetched = *got;
    }
    double raw = 0;
    for (int r = 0; r < rounds; ++r)
        raw += rawCurlSeconds(server.url("/big"));
    const double mb = page.size() / 1e6;
    std::printf("bare libcurl baseline: %.1f ms per fetch\n", 1000 * raw / rounds);
    std::printf("GrabWebPage loopback: %.1f MB page, %.1f ms per fetch, %.0f MB/s\n", mb,
                1000 * total / rounds, mb * rounds / total);

    auto start = std::chrono::steady_clock::now();
    Window w{0, fetched.size()};
    int found = 0;
    while (ExtractDoublyDelimitedString(fetched, &w, QStringLiteral("<td"), QStringLiteral(">"),
                                        QStringLiteral("</a>")))
        ++found;
    double s = secondsSince(start);
    std::printf("ExtractDoublyDelimitedString: %d fields in %.1f ms (%.2f us per field)\n", found,
                1000 * s, 1e6 * s / found);

    start = std::chrono::steady_clock::now();
    const QString plain = stringByRemovingHTMLTags(fetched);
    s = secondsSince(start);
    std::printf("stringByRemovingHTMLTags: %.1f MB in %.1f ms (%lld characters left)\n", mb,
                1000 * s, static_cast<long long>(plain.size()));
    return 0;
}
