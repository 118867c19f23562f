#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackServer::LoopbackServer() {
    auto route = [this](const httplib::Request& req, httplib::Response& res) {
        dispatch(req, res);
    };
    fServer.Get(".*", route);
    fServer.Post(".*", route);
    fServer.Put(".*", route);
    fServer.Delete(".*", route);
    fPort = fServer.bind_to_any_port("127.0.0.1");
    // Bound already, so connections made before the loop runs just queue.
    fThread = std::thread([this] {
        fServer.listen_after_bind();
        fListenEnded = true;
    });
    // stop() is a no-op until the loop runs, so the destructor would hang.
    while (fPort > 0 && !fServer.is_running() && !fListenEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackServer::~LoopbackServer() {
    fStopping = true;
    fServer.stop();
    if (fThread.joinable()) fThread.join();
}

QString LoopbackServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(fPort);
}

QString LoopbackServer::url(const std::string& path) const {
    return baseUrl() + QString::fromStdString(path);
}

void LoopbackServer::serve(const std::string& path, std::string body, std::string contentType) {
    Handler handler = [body = std::move(body), contentType = std::move(contentType)](
                          const httplib::Request&, httplib::Response& res) {
        res.set_content(body, contentType.c_str());
    };
    std::lock_guard<std::mutex> guard(fMutex);
    fExact[path] = std::move(handler);
}

void LoopbackServer::handle(const std::string& pathPattern, Handler handler) {
    std::lock_guard<std::mutex> guard(fMutex);
    fPatterns.emplace_back(QRegularExpression(QRegularExpression::anchoredPattern(
                               QString::fromStdString(pathPattern))),
                           std::move(handler));
}

void LoopbackServer::redirect(const std::string& from, const std::string& to) {
    std::lock_guard<std::mutex> guard(fMutex);
    fExact[from] = [to](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(to, 302);
    };
}

std::vector<LoopbackServer::Request> LoopbackServer::requests() const {
    std::lock_guard<std::mutex> guard(fMutex);
    return fRequests;
}

std::vector<std::string> LoopbackServer::targets() const {
    std::vector<std::string> out;
    for (const Request& r : requests())
        out.push_back(r.target);
    return out;
}

void LoopbackServer::clearRequests() {
    std::lock_guard<std::mutex> guard(fMutex);
    fRequests.clear();
}

void LoopbackServer::stall(std::chrono::milliseconds limit) const {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!stopping() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void LoopbackServer::dispatch(const httplib::Request& req, httplib::Response& res) {
    Handler handler;
    {
        std::lock_guard<std::mutex> guard(fMutex);
        fRequests.push_back(Request{req.method, req.target, req.path,
                                    std::chrono::steady_clock::now(), req.headers});
        if (auto it = fExact.find(req.path); it != fExact.end()) {
            handler = it->second;
        } else {
            for (const auto& [pattern, h] : fPatterns) {
                if (pattern.match(QString::fromStdString(req.path)).hasMatch()) {
                    handler = h;
                    break;
                }
            }
        }
    }
    if (handler) {
        handler(req, res);
    } else {
        res.status = 404;
        res.set_content("not found", "text/plain");
    }
}

int refusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}
