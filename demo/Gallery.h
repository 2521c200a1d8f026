#pragma once
// Sample galleries and the local server that serves them: the demo's small picture gallery
// and the benchmark's large deterministic ones. Everything is generated in memory; nothing
// is downloaded or read from disk.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gallery {

struct File {
    std::string path; // "/gallery/images/sunset-640.png"
    std::string contentType;
    std::string body;
};

struct Gallery {
    std::string pagePath; // the page that links the files
    // The page text; "{{ORIGIN}}" stands for "http://127.0.0.1:<port>" and is filled in
    // when the server knows its port.
    std::string pageTemplate;
    std::vector<File> files;
    // Paths of the files a harvester with the default types should end up with, once each.
    std::vector<std::string> wanted;
    std::string extension; // the wanted files' extension, for tools that filter by it
};

// A few generated PNG and BMP pictures of different sizes, a page that links them with
// relative, root-relative, network-path and absolute links, links the default types leave
// out (.html, .txt, .zip), a duplicate, and a thumbnail smaller than the default minimum.
Gallery MakeDemoGallery();

// `count` files of random bytes with sizes spread evenly between `minBytes` and `maxBytes`,
// named f0000.jpg, ..., linked from /bench/index.html. The same seed gives the same bytes.
Gallery MakeBenchGallery(const std::string& name, int count, std::size_t minBytes, std::size_t maxBytes,
                         std::uint32_t seed);

// RGB pixels, row by row, as a PNG (stored deflate blocks: no compression library needed).
std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb);
// The same pixels as a 24-bit BMP.
std::string EncodeBmp(int width, int height, const std::vector<std::uint8_t>& rgb);

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 0;                     // 0: the system picks one
    unsigned delayMs = 0;             // wait before every response
    std::uint64_t bytesPerSecond = 0; // per connection; 0: as fast as possible
    std::size_t threads = 32;
};

// Serves one gallery (and 404 for anything else) on its own threads until Stop.
class Server {
public:
    Server(Gallery gallery, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // False if the address could not be bound.
    bool Start();
    void Stop();
    int Port() const;
    std::string Origin() const; // "http://127.0.0.1:<port>"
    std::string PageUrl() const;
    // Absolute addresses of the wanted files, one per line.
    std::string WantedUrlList() const;
    const Gallery& GetGallery() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace gallery
