#include "web/GrabWebPage.h"

#include "support/LoopbackServer.h"
#include "system/ProgressIndicator.h"
#include "web/DownHosts.h"
#include "web/LookupDeadline.h"
#include "web/WebThrottle.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class AnimationCounter : public ProgressIndicator {
public:
    explicit AnimationCounter(std::function<bool()> cancel = {}) : fCancel(std::move(cancel)) {}
    void NotifyBeginInd(const QString&, bool) override {}
    void NotifyBeginDet(const QString&, int, int, bool) override {}
    void NotifyBump(int) override {}
    void NotifyAnimate() override { ++animations; }
    bool cancelled() override { return fCancel && fCancel(); }
    std::atomic<int> animations{0};

private:
    std::function<bool()> fCancel;
};

// Counts holds, so a test can see that every lock met its unlock.
class UnlockCountingThrottle : public WebThrottle {
public:
    explicit UnlockCountingThrottle(double delay) : WebThrottle(QStringLiteral("Test"), delay) {}
    void lock() override {
        WebThrottle::lock();
        ++locks;
    }
    void unlock() override {
        ++unlocks;
        WebThrottle::unlock();
    }
    std::atomic<int> locks{0};
    std::atomic<int> unlocks{0};
};

// A TCP port whose connections complete in the kernel's backlog but are
// never accepted or answered.
class SilentPort {
public:
    SilentPort() {
        fFd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fFd, 8);
        socklen_t len = sizeof addr;
        ::getsockname(fFd, reinterpret_cast<sockaddr*>(&addr), &len);
        fPort = ntohs(addr.sin_port);
    }
    ~SilentPort() { ::close(fFd); }
    int port() const { return fPort; }

private:
    int fFd = -1;
    int fPort = 0;
};

class GrabWebPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Loopback tests must not wander off to a proxy of the machine.
        qunsetenv("http_proxy");
        qunsetenv("https_proxy");
        qunsetenv("all_proxy");
        qunsetenv("ALL_PROXY");
    }
    LoopbackServer server;
};

TEST_F(GrabWebPageTest, FetchesAPageWithPlainGet) {
    server.serve("/page", "<html>hello</html>");
    QString url = server.url("/page?q=a%20b&x=1");
    const auto page = GrabWebPage(url, nullptr, 5, nullptr);
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, QStringLiteral("<html>hello</html>"));
    EXPECT_EQ(url, server.url("/page?q=a%20b&x=1"));
    const auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0].method, "GET");
    EXPECT_EQ(reqs[0].target, "/page?q=a%20b&x=1");
    EXPECT_FALSE(reqs[0].headers.count("Accept-Encoding"));
    EXPECT_FALSE(reqs[0].headers.count("Cookie"));
}

TEST_F(GrabWebPageTest, LargeBinaryBodyComesBackByteForByteAsLatin1) {
    std::string body;
    for (int i = 0; i < 300000; ++i)
        body.push_back(static_cast<char>((i * 7 + i / 256) & 0xff));
    server.serve("/big", body, "application/octet-stream");
    QString url = server.url("/big");
    AnimationCounter progress;
    const auto page = GrabWebPage(url, &progress, 5, nullptr);
    ASSERT_TRUE(page);
    ASSERT_EQ(page->size(), qsizetype(body.size()));
    EXPECT_EQ(page->toLatin1(), QByteArray::fromStdString(body));
    EXPECT_GT(progress.animations.load(), 0);
}

TEST_F(GrabWebPageTest, Utf8PageGivesTwoCharactersPerAccentedLetter) {
    server.serve("/utf8", "Caf\xC3\xA9", "text/html; charset=utf-8");
    QString url = server.url("/utf8");
    const auto page = GrabWebPage(url, nullptr, 5, nullptr);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->size(), 5);
    EXPECT_EQ(*page, QString::fromLatin1("Caf\xC3\xA9"));
}

TEST_F(GrabWebPageTest, ErrorPagesComeBackLikeAnyOther) {
    server.handle("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content("server trouble", "text/plain");
    });
    QString url = server.url("/missing");
    const auto page = GrabWebPage(url, nullptr, 5, nullptr);
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, QStringLiteral("server trouble"));
}

TEST_F(GrabWebPageTest, RedirectChainHandsBackTheFinalAddress) {
    server.redirect("/a", "/b");
    server.redirect("/b", server.url("/c?x=1").toStdString());
    server.serve("/c", "arrived");
    QString url = server.url("/a");
    const auto page = GrabWebPage(url, nullptr, 5, nullptr);
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, QStringLiteral("arrived"));
    EXPECT_EQ(url, server.url("/c?x=1"));
    EXPECT_EQ(server.targets(), (std::vector<std::string>{"/a", "/b", "/c?x=1"}));
}

TEST_F(GrabWebPageTest, MissingUrlReturnsNoneWithoutTouchingTheThrottle) {
    UnlockCountingThrottle throttle(0.0);
    for (QString url : {QString(), QStringLiteral("")}) {
        EXPECT_FALSE(GrabWebPage(url, nullptr, 5, &throttle));
    }
    EXPECT_EQ(throttle.locks.load(), 0);
    EXPECT_EQ(throttle.unlocks.load(), 0);
}

TEST_F(GrabWebPageTest, UnusableUrlFailsAtOnceAndReleasesTheThrottle) {
    UnlockCountingThrottle throttle(0.0);
    QString url = QStringLiteral("no scheme here");
    EXPECT_FALSE(GrabWebPage(url, nullptr, 5, &throttle));
    QString fileUrl = QStringLiteral("file:///etc/passwd");
    EXPECT_FALSE(GrabWebPage(fileUrl, nullptr, 1, &throttle));
    EXPECT_EQ(throttle.locks.load(), 2);
    EXPECT_EQ(throttle.unlocks.load(), 2);
}

TEST_F(GrabWebPageTest, ServerThatNeverAnswersEndsAtTheTimeLimit) {
    SilentPort silent;
    UnlockCountingThrottle throttle(0.0);
    QString url = QStringLiteral("http://127.0.0.1:%1/").arg(silent.port());
    EXPECT_FALSE(GrabWebPage(url, nullptr, 1, &throttle));
    EXPECT_EQ(throttle.unlocks.load(), 1);
}

TEST_F(GrabWebPageTest, RefusedConnectionEndsAtOnceAndMarksTheHostDownForTheLookUp) {
    UnlockCountingThrottle throttle(0.0);
    const QString refused = QStringLiteral("http://127.0.0.1:%1/").arg(refusedPort());
    DownHosts lookUp;
    QString url = refused;
    const PageFetch first = FetchWebPage(url, nullptr, 0, &throttle);
    EXPECT_FALSE(first.body);
    EXPECT_EQ(first.outcome, PageFetch::Outcome::NoConnection);
    EXPECT_EQ(throttle.unlocks.load(), 1);
    // The rest of the look-up skips the host without a connection attempt.
    url = refused + QStringLiteral("other");
    EXPECT_EQ(FetchWebPage(url, nullptr, 0, &throttle).outcome, PageFetch::Outcome::NoConnection);
    EXPECT_EQ(throttle.locks.load(), 1);
}

TEST_F(GrabWebPageTest, CancelWhileWaitingForTheAnswerReturnsNone) {
    SilentPort silent;
    int polls = 0;
    AnimationCounter progress([&] { return ++polls > 6; });
    QString url = QStringLiteral("http://127.0.0.1:%1/").arg(silent.port());
    EXPECT_FALSE(GrabWebPage(url, &progress, 0, nullptr));
    EXPECT_GE(progress.animations.load(), 3);
}

TEST_F(GrabWebPageTest, CancellationReturnsThePartReadSoFar) {
    std::atomic<bool> partSent{false};
    Clock::time_point sentAt;
    server.handle("/slow", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/html", [&](size_t offset, httplib::DataSink& sink) {
            if (offset == 0) {
                sink.write("first part,", 11);
                sentAt = Clock::now();
                partSent = true;
                return true;
            }
            server.stall(10s);
            return false;
        });
    });
    // Cancels a while after the part left the server: long enough for the
    // loopback to deliver it.
    AnimationCounter progress([&] { return partSent && Clock::now() - sentAt > 500ms; });
    QString url = server.url("/slow");
    const auto page = GrabWebPage(url, &progress, 0, nullptr);
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, QStringLiteral("first part,"));
}

TEST_F(GrabWebPageTest, StalledTransferEndsAtTheLimitWithThePartReadSoFar) {
    server.handle("/stall", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/html", [&](size_t offset, httplib::DataSink& sink) {
            if (offset == 0) {
                sink.write("partial", 7);
                return true;
            }
            server.stall(10s);
            return false;
        });
    });
    QString url = server.url("/stall");
    const auto page = GrabWebPage(url, nullptr, 1, nullptr);
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, QStringLiteral("partial"));
}

TEST_F(GrabWebPageTest, AnswersPastTheCapEndAsTooLargeWithoutABody) {
    constexpr qsizetype kCap = 1024 * 1024;
    const std::string block(64 * 1024, 'x');
    // Endless bodies: only the fetcher's cap ends them.
    const auto endless = [this, block](size_t, httplib::DataSink& sink) {
        return !server.stopping() && sink.write(block.data(), block.size());
    };
    server.serve("/over", std::string(kCap + 1, 'x'));
    server.serve("/fits", std::string(kCap, 'x'));
    server.handle("/chunked", [endless](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/html", endless);
    });
    server.handle("/announced", [endless](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(size_t(3) << 30, "text/html",
                                 [endless](size_t offset, size_t, httplib::DataSink& sink) {
                                     return endless(offset, sink);
                                 });
    });
    struct Row {
        const char* path;
        PageFetch::Outcome outcome;
    } rows[] = {{"/over", PageFetch::Outcome::TooLarge},
                {"/chunked", PageFetch::Outcome::TooLarge},
                {"/announced", PageFetch::Outcome::TooLarge},
                {"/fits", PageFetch::Outcome::Complete}};
    FetchOptions options;
    options.maxBytes = kCap;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        QString url = server.url(row.path);
        const PageFetch fetch = FetchWebPage(url, nullptr, 5, nullptr, options);
        EXPECT_EQ(fetch.outcome, row.outcome);
        EXPECT_EQ(fetch.body.has_value(), row.outcome == PageFetch::Outcome::Complete);
        if (fetch.body) {
            EXPECT_EQ(fetch.body->size(), kCap);
        }
    }
}

TEST_F(GrabWebPageTest, TheLookUpsEndCutsATrickleShortAndStartsNoFurtherFetch) {
    // A byte now and then: no time limit of a single fetch ever ends it.
    server.handle("/trickle", [this](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/html", [this](size_t, httplib::DataSink& sink) {
            server.stall(50ms);
            return !server.stopping() && sink.write("x", 1);
        });
    });
    LookupDeadline deadline(500ms);
    QString url = server.url("/trickle");
    const PageFetch cut = FetchWebPage(url, nullptr, 0, nullptr);
    EXPECT_EQ(cut.outcome, PageFetch::Outcome::TimedOut);
    EXPECT_TRUE(cut.body); // the part read so far
    server.clearRequests();
    QString again = server.url("/trickle");
    EXPECT_EQ(FetchWebPage(again, nullptr, 0, nullptr).outcome, PageFetch::Outcome::TimedOut);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(GrabWebPageTest, PlainHttpGoesThroughTheEnvironmentProxy) {
    server.handle(".*", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("via proxy", "text/plain");
    });
    qputenv("http_proxy", QStringLiteral("127.0.0.1:%1").arg(server.port()).toLatin1());
    qunsetenv("no_proxy");
    qunsetenv("NO_PROXY");
    QString url = QStringLiteral("http://music.example.invalid/search?q=x");
    const auto page = GrabWebPage(url, nullptr, 5, nullptr);
    qunsetenv("http_proxy");
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, QStringLiteral("via proxy"));
    EXPECT_EQ(server.targets(),
              std::vector<std::string>{"http://music.example.invalid/search?q=x"});
}

TEST_F(GrabWebPageTest, NoProxyHostsAreFetchedDirectly) {
    server.serve("/direct", "direct");
    qputenv("http_proxy", QStringLiteral("127.0.0.1:%1").arg(refusedPort()).toLatin1());
    qputenv("no_proxy", "127.0.0.1,localhost");
    QString url = server.url("/direct");
    const auto page = GrabWebPage(url, nullptr, 5, nullptr);
    qunsetenv("http_proxy");
    qunsetenv("no_proxy");
    ASSERT_TRUE(page);
    EXPECT_EQ(*page, QStringLiteral("direct"));
}

TEST(GetHTTPProxyTest, ReadsHostAndPortFromTheEnvironment) {
    struct Row {
        const char* value;
        const char* host; // null: none
        int port;
    };
    const Row rows[] = {
        {"", nullptr, 80},
        {"proxy.example:3128", "proxy.example", 3128},
        {"http://user:pw@proxy.example:8080/", "proxy.example", 8080},
        {"http://proxy.example", "proxy.example", 80},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        qputenv("http_proxy", row.value);
        int port = 80;
        const QString host = GetHTTPProxy(port);
        EXPECT_EQ(host, row.host ? QString::fromLatin1(row.host) : QString());
        EXPECT_EQ(host.isNull(), row.host == nullptr);
        EXPECT_EQ(port, row.port);
    }
    qunsetenv("http_proxy");
}

TEST_F(GrabWebPageTest, ThrottleSpacesFetchesFromTwoThreads) {
    server.handle("/paced", [&](const httplib::Request&, httplib::Response& res) {
        server.stall(200ms); // a reply that takes a while to read
        res.set_content("ok", "text/plain");
    });
    UnlockCountingThrottle throttle(0.3);
    std::vector<Clock::time_point> finished(2);
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            QString url = server.url("/paced");
            EXPECT_TRUE(GrabWebPage(url, nullptr, 5, &throttle));
            finished[i] = Clock::now();
        });
    }
    for (auto& t : threads)
        t.join();
    const auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 2u);
    // The pace runs from the end of the first fetch (its reply was read
    // after the 200 ms stall) to the start of the second.
    EXPECT_GE(reqs[1].arrival - reqs[0].arrival, 500ms);
    EXPECT_EQ(throttle.locks.load(), 2);
    EXPECT_EQ(throttle.unlocks.load(), 2);
}

TEST_F(GrabWebPageTest, FailedFetchStillPushesTheNextAccess) {
    server.serve("/after", "after");
    UnlockCountingThrottle throttle(0.4);
    QString bad = QStringLiteral("no scheme here");
    EXPECT_FALSE(GrabWebPage(bad, nullptr, 5, &throttle));
    const auto failedAt = Clock::now();
    QString url = server.url("/after");
    EXPECT_TRUE(GrabWebPage(url, nullptr, 5, &throttle));
    const auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_GE(reqs[0].arrival - failedAt, 390ms);
}

} // namespace
