#pragma once
// An in-process HTTP server for network tests: listens on 127.0.0.1 on a port the system
// picks, serves the routes a test declares, and counts connections and requests so that
// tests can prove keep-alive reuse, retries and the like.
//
//   qtest::TestHttpServer server;
//   server.AddFile("/a.jpg", bytes, "image/jpeg");
//   server.AddRedirect("/old", "/a.jpg");
//   fetcher.FetchPage(server.Url("/old"), ...);
//
// Routes can trickle, stall, drop the connection or answer with any status. A stalled
// response waits until Release(path) or until the server stops, so destroying the server
// never hangs on a stalled handler.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace qtest {

// How one path is answered. The plain fields give a static response; the others shape
// how the body goes out.
struct HttpRoute {
    int status = 200;
    std::string contentType = "text/html";
    std::string body;
    // When set, the body is this many bytes of `fill` generated on the fly (for bodies
    // too large to keep around); `body` is ignored.
    std::optional<std::uint64_t> generatedSize;
    char fill = 'x';
    std::vector<std::pair<std::string, std::string>> headers;

    bool chunked = false;                       // no Content-Length; chunked encoding
    std::size_t pieceSize = 0;                  // bytes per write; 0 means 64 KiB
    std::chrono::milliseconds pieceInterval{0}; // pause after each piece (trickle)
    std::chrono::milliseconds delay{0};         // pause before the response starts

    bool stallBeforeResponse = false;             // hold everything until Release(path)
    std::optional<std::uint64_t> stallAfterBytes; // send this much body, then hold
    std::optional<std::uint64_t> dropAfterBytes;  // send this much body, then cut the connection

    std::uint64_t BodySize() const { return generatedSize ? *generatedSize : body.size(); }
};

// Route builders for the common cases; adjust the returned route for anything else.
namespace routes {
HttpRoute File(std::string body, std::string contentType = "text/html");
// `target` is a path on the same server or a full address.
HttpRoute Redirect(std::string target, int status = 302);
HttpRoute Status(int status, std::string body = "", std::string contentType = "text/html");
// A response whose header block holds at least `headerBytes` bytes of filler lines.
HttpRoute HugeHeaders(std::size_t headerBytes, std::string body = "<html></html>",
                      std::string contentType = "text/html");
HttpRoute Chunked(std::string body, std::size_t pieceSize = 0, std::string contentType = "text/html");
// `bytesPerPiece` bytes every `interval`.
HttpRoute Trickle(std::string body, std::size_t bytesPerPiece, std::chrono::milliseconds interval,
                  std::string contentType = "text/html");
// Nothing at all is sent until Release(path).
HttpRoute StallBeforeResponse(std::string body = "<html></html>", std::string contentType = "text/html");
// Headers and the first `bytesBefore` body bytes go out, then nothing until Release(path).
HttpRoute StallMidBody(std::string body, std::uint64_t bytesBefore, std::string contentType = "text/html");
// Announces the full length (or none when chunked), sends `bytesBefore` bytes, hangs up.
HttpRoute DropMidBody(std::string body, std::uint64_t bytesBefore, bool chunked = false,
                      std::string contentType = "text/html");
HttpRoute Empty(std::string contentType = "text/html");
HttpRoute Generated(std::uint64_t size, char fill = 'x', std::string contentType = "text/html");
} // namespace routes

class TestHttpServer {
public:
    struct Options {
        std::size_t threads = 16;                 // concurrent connections served at once
        std::chrono::seconds keepAliveTimeout{2}; // an idle connection is closed after this
        bool tls = false;                         // https with a self-signed certificate
    };

    TestHttpServer();
    explicit TestHttpServer(Options options);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Releases every stall and stops serving; waits for the server's threads.
    void Stop();

    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>" (or https) followed by `path`.
    std::string Url(const std::string& path) const;

    // Routes may be added or replaced at any time, also while requests are served.
    void AddRoute(const std::string& path, HttpRoute route);
    void AddFile(const std::string& path, std::string body, std::string contentType = "text/html");
    void AddRedirect(const std::string& path, const std::string& target, int status = 302);
    void AddStatus(const std::string& path, int status);

    // Lets the stalled responses of `path` (and later ones) go on.
    void Release(const std::string& path);
    // Number of responses of `path` that are stalled right now.
    int StalledCount(const std::string& path) const;
    // Waits until `count` responses of `path` are stalled at once.
    bool WaitForStalled(const std::string& path, int count = 1,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // TCP connections accepted so far.
    std::size_t ConnectionCount() const { return m_connections.load(); }
    // Requests received for `path` (query strings are not part of the path).
    std::size_t RequestCount(const std::string& path) const;
    std::size_t TotalRequestCount() const;
    // A header of the most recent request for `path`; empty if absent.
    std::string LastRequestHeader(const std::string& path, const std::string& name) const;

private:
    struct Gate {
        bool open = false;
        int waiting = 0;
    };

    void Handle(const httplib::Request& req, httplib::Response& res);
    // Waits until `path` is released or the server stops; false when it stops.
    bool WaitAtGate(const std::string& path);
    // Sleeps for `d` unless the server stops first; false when it stops.
    bool Pause(std::chrono::milliseconds d);
    void SetBody(const std::string& path, std::shared_ptr<const HttpRoute> route, httplib::Response& res);

    Options m_options;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<std::size_t> m_connections{0};

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    bool m_stopping = false;
    std::map<std::string, std::shared_ptr<const HttpRoute>> m_routes;
    std::map<std::string, Gate> m_gates;
    std::map<std::string, std::size_t> m_requests;
    std::map<std::string, std::multimap<std::string, std::string>> m_lastHeaders;
};

} // namespace qtest
