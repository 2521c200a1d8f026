#include "demo/Gallery.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <thread>

namespace gallery {

namespace {

// A small fixed generator (xorshift32) so that galleries are the same on every machine.
class Random {
public:
    explicit Random(std::uint32_t seed) : m_state(seed ? seed : 0x9E3779B9u) {}
    std::uint32_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }

private:
    std::uint32_t m_state;
};

void Put32BE(std::string& out, std::uint32_t v)
{
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

void Put16LE(std::string& out, std::uint32_t v)
{
    out += static_cast<char>(v);
    out += static_cast<char>(v >> 8);
}

void Put32LE(std::string& out, std::uint32_t v)
{
    Put16LE(out, v & 0xFFFF);
    Put16LE(out, v >> 16);
}

std::uint32_t Crc32(const std::string& data, std::size_t from)
{
    static const auto table = [] {
        std::vector<std::uint32_t> t(256);
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = from; i < data.size(); ++i)
        c = table[(c ^ static_cast<std::uint8_t>(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PngChunk(std::string& png, const char* type, const std::string& data)
{
    Put32BE(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = png.size();
    png += type;
    png += data;
    Put32BE(png, Crc32(png, start));
}

// Soft colour fields with a little grain, so each picture looks like something and does not
// shrink to nothing when a server compresses it.
std::vector<std::uint8_t> Picture(int width, int height, int hue, std::uint32_t seed)
{
    Random random(seed);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double fx = static_cast<double>(x) / width, fy = static_cast<double>(y) / height;
            const double wave = 0.5 + 0.5 * std::sin(6.0 * fx + 4.0 * fy + hue);
            const double ring = 0.5 + 0.5 * std::cos(18.0 * std::hypot(fx - 0.6, fy - 0.4));
            const int grain = static_cast<int>(random.Next() % 24) - 12;
            const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 3;
            auto clamp = [](double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); };
            rgb[i] = clamp(255 * (0.3 + 0.6 * wave * (hue % 3 == 0 ? 1.0 : 0.5)) + grain);
            rgb[i + 1] = clamp(255 * (0.2 + 0.5 * ring * (hue % 3 == 1 ? 1.0 : 0.6)) + grain);
            rgb[i + 2] = clamp(255 * (0.3 + 0.6 * fy * (hue % 3 == 2 ? 1.0 : 0.4)) + grain);
        }
    }
    return rgb;
}

} // namespace

std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb)
{
    std::string raw;
    raw.reserve(static_cast<std::size_t>(height) * (static_cast<std::size_t>(width) * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<std::size_t>(y) * width * 3,
                   static_cast<std::size_t>(width) * 3);
    }
    // zlib stream of stored blocks.
    std::string z = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size() || at == 0;) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        const bool last = at + n >= raw.size();
        z += static_cast<char>(last ? 1 : 0);
        Put16LE(z, static_cast<std::uint32_t>(n));
        Put16LE(z, static_cast<std::uint32_t>(~n & 0xFFFF));
        z.append(raw, at, n);
        at += n;
        if (last)
            break;
    }
    Put32BE(z, (b << 16) | a);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string ihdr;
    Put32BE(ihdr, static_cast<std::uint32_t>(width));
    Put32BE(ihdr, static_cast<std::uint32_t>(height));
    ihdr += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter, no interlace
    PngChunk(png, "IHDR", ihdr);
    PngChunk(png, "IDAT", z);
    PngChunk(png, "IEND", "");
    return png;
}

std::string EncodeBmp(int width, int height, const std::vector<std::uint8_t>& rgb)
{
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t(3);
    const auto pixelBytes = static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(height));
    std::string bmp = "BM";
    Put32LE(bmp, 54 + pixelBytes);
    Put32LE(bmp, 0);
    Put32LE(bmp, 54);
    Put32LE(bmp, 40);
    Put32LE(bmp, static_cast<std::uint32_t>(width));
    Put32LE(bmp, static_cast<std::uint32_t>(height));
    Put16LE(bmp, 1);
    Put16LE(bmp, 24);
    Put32LE(bmp, 0);
    Put32LE(bmp, pixelBytes);
    Put32LE(bmp, 2835);
    Put32LE(bmp, 2835);
    Put32LE(bmp, 0);
    Put32LE(bmp, 0);
    for (int y = height - 1; y >= 0; --y) { // bottom-up, BGR
        std::string row;
        for (int x = 0; x < width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 3;
            row += static_cast<char>(rgb[i + 2]);
            row += static_cast<char>(rgb[i + 1]);
            row += static_cast<char>(rgb[i]);
        }
        row.resize(rowBytes, '\0');
        bmp += row;
    }
    return bmp;
}

Gallery MakeDemoGallery()
{
    Gallery g;
    g.pagePath = "/gallery/index.html";
    g.extension = "png";
    struct Pic {
        const char* path;
        int w, h, hue;
    };
    const Pic pics[] = {
        {"/gallery/images/sunset-640.png", 640, 480, 0},
        {"/gallery/images/forest-320.png", 320, 240, 1},
        {"/gallery/images/ocean-1024.png", 1024, 768, 2},
        {"/gallery/photos/tiles-256.bmp", 256, 256, 4},
        {"/gallery/images/dune-160.png", 160, 120, 5},
        {"/gallery/images/dot-8.png", 8, 8, 3}, // under the default 1 KB minimum: skipped
        // Linked as documentation pages write links (see the page below).
        {"/shared/banner-480.png", 480, 120, 6},
        {"/gallery/images/lake&sky-400.png", 400, 300, 7},
        {"/gallery/images/note card-200.png", 200, 150, 8},
    };
    std::uint32_t seed = 7;
    for (const Pic& p : pics) {
        const auto rgb = Picture(p.w, p.h, p.hue, seed++);
        const std::string path = p.path;
        const bool bmp = path.size() > 4 && path.compare(path.size() - 4, 4, ".bmp") == 0;
        g.files.push_back(
            {path, bmp ? "image/bmp" : "image/png", bmp ? EncodeBmp(p.w, p.h, rgb) : EncodePng(p.w, p.h, rgb)});
        if (p.w > 8)
            g.wanted.push_back(path);
    }
    g.files.push_back({"/gallery/about.html", "text/html", "<html><body>About this gallery.</body></html>\n"});
    g.files.push_back({"/gallery/notes.txt", "text/plain", "Notes that no harvest with the default types takes.\n"});
    g.files.push_back(
        {"/gallery/archive.zip", "application/zip", std::string("PK\x05\x06", 4) + std::string(18, '\0')});

    g.pageTemplate =
        "<!DOCTYPE html>\n<html><head><title>Quarrow demo gallery</title></head>\n<body>\n"
        "<h1>Demo gallery</h1>\n"
        "<p>Relative:</p>\n<img src=\"images/sunset-640.png\" width=\"320\">\n"
        "<p>Root-relative:</p>\n<img src=\"/gallery/images/forest-320.png\">\n"
        "<p>Absolute:</p>\n<a href=\"{{ORIGIN}}/gallery/images/ocean-1024.png\">ocean (1024 x 768)</a>\n"
        "<p>Network-path:</p>\n<a href=\"//{{HOSTPORT}}/gallery/photos/tiles-256.bmp\">tiles (BMP)</a>\n"
        "<p>Relative again:</p>\n<img src=\"images/dune-160.png\">\n"
        "<p>A thumbnail under the default minimum size:</p>\n<img src=\"images/dot-8.png\">\n"
        "<p>Left out by the default types:</p>\n"
        "<a href=\"about.html\">about</a> <a href=\"notes.txt\">notes</a> <a href=\"archive.zip\">archive</a>\n"
        "<p>A duplicate of the first picture:</p>\n<a href=\"images/sunset-640.png\">sunset again</a>\n"
        "<p>As documentation pages write links:</p>\n"
        "<a class=\"reference internal\" href=\"../shared/banner-480.png#top\">banner, one level up</a>\n"
        "<img alt=\"[Lake]\" class=\"figure\" src=\"./images/lake&amp;sky-400.png\">\n"
        "<img alt=\"../note.png\" style=\"width:50%\" src=\"images/note%20card-200.png?v=2\">\n"
        "<!-- <img src=\"images/commented-out.png\"> -->\n"
        "</body></html>\n";
    return g;
}

Gallery MakeBenchGallery(const std::string& name, int count, std::size_t minBytes, std::size_t maxBytes,
                         std::uint32_t seed)
{
    Gallery g;
    g.pagePath = "/" + name + "/index.html";
    g.extension = "jpg";
    Random random(seed);
    g.pageTemplate = "<html><head><title>" + name + "</title></head><body>\n";
    for (int i = 0; i < count; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "f%04d.jpg", i);
        const std::size_t size = maxBytes > minBytes ? minBytes + random.Next() % (maxBytes - minBytes + 1) : minBytes;
        std::string body(size, '\0');
        for (std::size_t k = 0; k < size; k += 4) {
            const std::uint32_t v = random.Next();
            for (std::size_t j = 0; j < 4 && k + j < size; ++j)
                body[k + j] = static_cast<char>(v >> (8 * j));
        }
        const std::string path = "/" + name + "/" + file;
        g.files.push_back({path, "image/jpeg", std::move(body)});
        g.wanted.push_back(path);
        g.pageTemplate += std::string("<a href=\"") + file + "\">" + file + "</a><br>\n";
    }
    g.pageTemplate += "</body></html>\n";
    return g;
}

struct Server::Impl {
    Gallery gallery;
    ServerOptions options;
    httplib::Server http;
    std::thread thread;
    int port = 0;
    std::string page;
    std::map<std::string, const File*> byPath;

    void Pace(std::uint64_t sent, std::chrono::steady_clock::time_point start) const
    {
        if (options.bytesPerSecond == 0)
            return;
        const auto due = start + std::chrono::microseconds(sent * 1000000 / options.bytesPerSecond);
        std::this_thread::sleep_until(due);
    }

    void Respond(const std::string& body, const std::string& type, httplib::Response& res) const
    {
        if (options.bytesPerSecond == 0) {
            res.set_content(body, type);
            return;
        }
        auto start = std::make_shared<std::chrono::steady_clock::time_point>(std::chrono::steady_clock::now());
        const std::string* data = &body;
        res.set_content_provider(body.size(), type,
                                 [this, data, start](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset == 0)
                                         *start = std::chrono::steady_clock::now();
                                     // Small pieces, each sent when the rate allows it.
                                     const std::size_t piece = std::min<std::size_t>(16384, data->size() - offset);
                                     if (!sink.write(data->data() + offset, piece))
                                         return false;
                                     Pace(offset + piece, *start);
                                     return true;
                                 });
    }
};

Server::Server(Gallery gallery, ServerOptions options) : m_impl(std::make_unique<Impl>())
{
    m_impl->gallery = std::move(gallery);
    m_impl->options = options;
    for (const File& f : m_impl->gallery.files)
        m_impl->byPath[f.path] = &f;
}

Server::~Server() { Stop(); }

bool Server::Start()
{
    Impl& s = *m_impl;
    const std::size_t threads = s.options.threads;
    s.http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    s.http.set_keep_alive_max_count(1000000);
    s.http.set_keep_alive_timeout(30);
    // Headers and body go out in separate writes; without this, Nagle and delayed
    // acknowledgements add about 40 ms to every small response.
    s.http.set_tcp_nodelay(true);
    s.port = s.options.port == 0 ? s.http.bind_to_any_port(s.options.host)
                                 : (s.http.bind_to_port(s.options.host, s.options.port) ? s.options.port : -1);
    if (s.port <= 0)
        return false;

    const std::string hostPort = s.options.host + ":" + std::to_string(s.port);
    s.page = s.gallery.pageTemplate;
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{{ORIGIN}}", "http://" + hostPort},
                                     std::pair<std::string, std::string>{"{{HOSTPORT}}", hostPort}}) {
        for (std::size_t at = s.page.find(key); at != std::string::npos; at = s.page.find(key, at))
            s.page.replace(at, key.size(), value);
    }

    s.http.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        Impl& impl = *m_impl;
        if (impl.options.delayMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(impl.options.delayMs));
        if (req.path == impl.gallery.pagePath || req.path == "/") {
            impl.Respond(impl.page, "text/html", res);
            return;
        }
        const auto found = impl.byPath.find(req.path);
        if (found == impl.byPath.end()) {
            res.status = 404;
            res.set_content("<html><body>Not found</body></html>\n", "text/html");
            return;
        }
        impl.Respond(found->second->body, found->second->contentType, res);
    });
    s.thread = std::thread([&s] { s.http.listen_after_bind(); });
    for (int i = 0; i < 5000 && !s.http.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return s.http.is_running();
}

void Server::Stop()
{
    if (!m_impl)
        return;
    m_impl->http.stop();
    if (m_impl->thread.joinable())
        m_impl->thread.join();
}

int Server::Port() const { return m_impl->port; }
std::string Server::Origin() const { return "http://" + m_impl->options.host + ":" + std::to_string(m_impl->port); }
std::string Server::PageUrl() const { return Origin() + m_impl->gallery.pagePath; }
const Gallery& Server::GetGallery() const { return m_impl->gallery; }

std::string Server::WantedUrlList() const
{
    std::string list;
    for (const std::string& path : m_impl->gallery.wanted)
        list += Origin() + path + "\n";
    return list;
}

} // namespace gallery
