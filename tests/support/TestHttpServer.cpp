#include "support/TestHttpServer.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <stdexcept>

// The packaged cpp-httplib is not built with ThreadSanitizer, so TSan cannot see its
// synchronisation (function-local statics take an uninstrumented fast path) and reports
// races between its worker threads that are not there. Its own memory accesses are left
// out; races in our handlers are still reported.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libcpp-httplib.so\n"; }
#endif

namespace qtest {

namespace {

constexpr std::size_t kDefaultPiece = 64 * 1024;

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Hands every accepted connection to a thread pool and counts it on the way.
class CountingPool : public httplib::TaskQueue {
public:
    CountingPool(std::size_t threads, std::atomic<std::size_t>& counter) : m_pool(threads), m_counter(counter) {}
    void enqueue(std::function<void()> fn) override
    {
        ++m_counter;
        m_pool.enqueue(std::move(fn));
    }
    void shutdown() override { m_pool.shutdown(); }

private:
    httplib::ThreadPool m_pool;
    std::atomic<std::size_t>& m_counter;
};

// Size of the body piece that starts at `offset`: pieces end where the route stalls or drops.
std::uint64_t PieceAt(const HttpRoute& route, std::uint64_t offset)
{
    std::uint64_t piece =
        std::min<std::uint64_t>(route.pieceSize ? route.pieceSize : kDefaultPiece, route.BodySize() - offset);
    for (const auto& bound : {route.dropAfterBytes, route.stallAfterBytes})
        if (bound && offset < *bound)
            piece = std::min<std::uint64_t>(piece, *bound - offset);
    return piece;
}

} // namespace

namespace routes {

HttpRoute File(std::string body, std::string contentType)
{
    HttpRoute r;
    r.body = std::move(body);
    r.contentType = std::move(contentType);
    return r;
}

HttpRoute Redirect(std::string target, int status)
{
    HttpRoute r;
    r.status = status;
    r.headers.emplace_back("Location", std::move(target));
    return r;
}

HttpRoute Status(int status, std::string body, std::string contentType)
{
    HttpRoute r;
    r.status = status;
    r.body = std::move(body);
    r.contentType = std::move(contentType);
    return r;
}

HttpRoute HugeHeaders(std::size_t headerBytes, std::string body, std::string contentType)
{
    HttpRoute r = File(std::move(body), std::move(contentType));
    // Many moderate lines: a single line of a megabyte would trip other limits first.
    const std::string value(1000, 'h');
    std::size_t total = 0;
    for (int i = 0; total < headerBytes; ++i) {
        std::string name = "X-Filler-" + std::to_string(i);
        total += name.size() + 2 + value.size() + 2;
        r.headers.emplace_back(std::move(name), value);
    }
    return r;
}

HttpRoute Chunked(std::string body, std::size_t pieceSize, std::string contentType)
{
    HttpRoute r = File(std::move(body), std::move(contentType));
    r.chunked = true;
    r.pieceSize = pieceSize;
    return r;
}

HttpRoute Trickle(std::string body, std::size_t bytesPerPiece, std::chrono::milliseconds interval,
                  std::string contentType)
{
    HttpRoute r = File(std::move(body), std::move(contentType));
    r.pieceSize = std::max<std::size_t>(bytesPerPiece, 1);
    r.pieceInterval = interval;
    return r;
}

HttpRoute StallBeforeResponse(std::string body, std::string contentType)
{
    HttpRoute r = File(std::move(body), std::move(contentType));
    r.stallBeforeResponse = true;
    return r;
}

HttpRoute StallMidBody(std::string body, std::uint64_t bytesBefore, std::string contentType)
{
    HttpRoute r = File(std::move(body), std::move(contentType));
    r.stallAfterBytes = bytesBefore;
    return r;
}

HttpRoute DropMidBody(std::string body, std::uint64_t bytesBefore, bool chunked, std::string contentType)
{
    HttpRoute r = File(std::move(body), std::move(contentType));
    r.dropAfterBytes = bytesBefore;
    r.chunked = chunked;
    return r;
}

HttpRoute Empty(std::string contentType) { return File("", std::move(contentType)); }

HttpRoute Generated(std::uint64_t size, char fill, std::string contentType)
{
    HttpRoute r = File("", std::move(contentType));
    r.generatedSize = size;
    r.fill = fill;
    return r;
}

} // namespace routes

TestHttpServer::TestHttpServer() : TestHttpServer(Options{}) {}

TestHttpServer::TestHttpServer(Options options) : m_options(options)
{
    // A client that hangs up while a handler writes must not kill the test process.
    static std::once_flag ignoreSigpipe;
    std::call_once(ignoreSigpipe, [] { std::signal(SIGPIPE, SIG_IGN); });

    if (m_options.tls) {
        const std::string dir = std::string(QUARROW_TEST_DATA_DIR) + "/support/tls/";
        m_server = std::make_unique<httplib::SSLServer>((dir + "cert.pem").c_str(), (dir + "key.pem").c_str());
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    if (!m_server->is_valid())
        throw std::runtime_error("test server: cannot set up the server");

    const std::size_t threads = std::max<std::size_t>(m_options.threads, 2);
    m_server->new_task_queue = [this, threads] { return new CountingPool(threads, m_connections); };
    m_server->set_tcp_nodelay(true); // no 40 ms Nagle stalls between header and body writes
    m_server->set_keep_alive_max_count(100000);
    m_server->set_keep_alive_timeout(static_cast<time_t>(m_options.keepAliveTimeout.count()));
    // A client slowed down by a sanitizer on a busy machine may not read for seconds while
    // it copies a large body; the default five seconds would cut such a response short.
    m_server->set_write_timeout(60, 0);
    m_server->Get(".*", [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); });

    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("test server: cannot bind to 127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() is ignored until the accept loop runs, so wait for it.
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TestHttpServer::~TestHttpServer() { Stop(); }

void TestHttpServer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

std::string TestHttpServer::Url(const std::string& path) const
{
    return std::string(m_options.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) + path;
}

void TestHttpServer::AddRoute(const std::string& path, HttpRoute route)
{
    auto shared = std::make_shared<const HttpRoute>(std::move(route));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_routes[path] = std::move(shared);
}

void TestHttpServer::AddFile(const std::string& path, std::string body, std::string contentType)
{
    AddRoute(path, routes::File(std::move(body), std::move(contentType)));
}

void TestHttpServer::AddRedirect(const std::string& path, const std::string& target, int status)
{
    AddRoute(path, routes::Redirect(target, status));
}

void TestHttpServer::AddStatus(const std::string& path, int status)
{
    AddRoute(path, routes::Status(status, "<html>" + std::to_string(status) + "</html>"));
}

void TestHttpServer::Release(const std::string& path)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_gates[path].open = true;
    }
    m_cv.notify_all();
}

int TestHttpServer::StalledCount(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_gates.find(path);
    return it == m_gates.end() ? 0 : it->second.waiting;
}

bool TestHttpServer::WaitForStalled(const std::string& path, int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, timeout, [&] {
        auto it = m_gates.find(path);
        return it != m_gates.end() && it->second.waiting >= count;
    });
}

std::size_t TestHttpServer::RequestCount(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_requests.find(path);
    return it == m_requests.end() ? 0 : it->second;
}

std::size_t TestHttpServer::TotalRequestCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t total = 0;
    for (const auto& [path, n] : m_requests)
        total += n;
    return total;
}

std::string TestHttpServer::LastRequestHeader(const std::string& path, const std::string& name) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_lastHeaders.find(path);
    if (it == m_lastHeaders.end())
        return {};
    auto h = it->second.find(Lower(name));
    return h == it->second.end() ? std::string() : h->second;
}

bool TestHttpServer::WaitAtGate(const std::string& path)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    Gate& gate = m_gates[path];
    ++gate.waiting;
    m_cv.notify_all(); // wakes WaitForStalled
    m_cv.wait(lock, [&] { return m_stopping || gate.open; });
    --gate.waiting;
    return !m_stopping;
}

bool TestHttpServer::Pause(std::chrono::milliseconds d)
{
    if (d.count() <= 0)
        return true;
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_cv.wait_for(lock, d, [&] { return m_stopping; });
}

void TestHttpServer::Handle(const httplib::Request& req, httplib::Response& res)
{
    std::shared_ptr<const HttpRoute> route;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_requests[req.path];
        auto& headers = m_lastHeaders[req.path];
        headers.clear();
        for (const auto& [name, value] : req.headers)
            headers.emplace(Lower(name), value);
        auto it = m_routes.find(req.path);
        if (it != m_routes.end())
            route = it->second;
    }
    if (!route) {
        res.status = 404;
        res.set_content("<html>not found</html>", "text/html");
        return;
    }
    if (!Pause(route->delay) || (route->stallBeforeResponse && !WaitAtGate(req.path))) {
        res.status = 503;
        return;
    }
    res.status = route->status;
    for (const auto& [name, value] : route->headers)
        res.set_header(name, value);
    SetBody(req.path, route, res);
}

void TestHttpServer::SetBody(const std::string& path, std::shared_ptr<const HttpRoute> route, httplib::Response& res)
{
    const bool shaped = route->chunked || route->generatedSize || route->pieceInterval.count() > 0 ||
                        route->stallAfterBytes || route->dropAfterBytes || route->pieceSize > 0;
    const std::uint64_t size = route->BodySize();
    if (!shaped || size == 0) {
        // A zero-length provider is not allowed; an empty body needs no shaping anyway.
        if (route->contentType.empty())
            res.body = route->body;
        else
            res.set_content(route->body, route->contentType);
        return;
    }

    // Writes the piece that starts at `offset`; false ends the response (and the connection).
    auto writePiece = [this, path, route](std::uint64_t offset, httplib::DataSink& sink) {
        if (route->dropAfterBytes && offset >= *route->dropAfterBytes)
            return false;
        if (route->stallAfterBytes && offset == *route->stallAfterBytes && !WaitAtGate(path))
            return false;
        const std::uint64_t piece = PieceAt(*route, offset);
        bool ok;
        if (route->generatedSize) {
            const std::string chunk(static_cast<std::size_t>(piece), route->fill);
            ok = sink.write(chunk.data(), chunk.size());
        } else {
            ok = sink.write(route->body.data() + offset, static_cast<std::size_t>(piece));
        }
        return ok && Pause(route->pieceInterval);
    };

    if (route->chunked) {
        auto sent = std::make_shared<std::uint64_t>(0);
        res.set_chunked_content_provider(route->contentType,
                                         [route, writePiece, sent](std::size_t, httplib::DataSink& sink) {
                                             if (*sent >= route->BodySize()) {
                                                 sink.done();
                                                 return true;
                                             }
                                             if (!writePiece(*sent, sink))
                                                 return false;
                                             *sent += PieceAt(*route, *sent);
                                             return true;
                                         });
    } else {
        res.set_content_provider(static_cast<std::size_t>(size), route->contentType,
                                 [writePiece](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     return writePiece(offset, sink);
                                 });
    }
}

} // namespace qtest
