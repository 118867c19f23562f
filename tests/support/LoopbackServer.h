#pragma once

#include <QRegularExpression>
#include <QString>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// An HTTP server on 127.0.0.1 at a free port, run on a background thread for
// the life of the object, so web code is tested without the internet.
// Routes may be added at any time; the first matching route answers (exact
// paths before patterns), anything else gets 404. Every request is recorded.
class LoopbackServer {
public:
    using Handler = httplib::Server::Handler;

    struct Request {
        std::string method;
        std::string target; // path with query, as sent (absolute when proxied)
        std::string path;
        std::chrono::steady_clock::time_point arrival;
        httplib::Headers headers;
    };

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return fPort; }
    // "http://127.0.0.1:PORT"
    QString baseUrl() const;
    // baseUrl() + path
    QString url(const std::string& path) const;

    // Answers GETs of exactly this path (query ignored) with a fixed body.
    void serve(const std::string& path, std::string body, std::string contentType = "text/html");
    // Answers every request whose path fully matches the pattern.
    void handle(const std::string& pathPattern, Handler handler);
    // Answers GETs of `from` with a 302 to `to` (a path or an absolute URL).
    void redirect(const std::string& from, const std::string& to);

    std::vector<Request> requests() const;
    std::vector<std::string> targets() const;
    void clearRequests();

    // True once the server is being torn down: handlers that stall on
    // purpose poll this so the destructor never hangs.
    bool stopping() const { return fStopping.load(); }
    // Sleeps up to `limit`, returning early when the server stops.
    void stall(std::chrono::milliseconds limit) const;

private:
    void dispatch(const httplib::Request& req, httplib::Response& res);

    httplib::Server fServer;
    std::thread fThread;
    int fPort = -1;
    std::atomic<bool> fStopping{false};
    std::atomic<bool> fListenEnded{false};

    mutable std::mutex fMutex;
    std::map<std::string, Handler> fExact;
    std::vector<std::pair<QRegularExpression, Handler>> fPatterns;
    std::vector<Request> fRequests;
};

// A loopback port that was free a moment ago: connecting to it is refused.
int refusedPort();
