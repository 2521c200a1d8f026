// Scan speed of the link extractor over a large generated page (20 MB with 100,000 links
// of every form, in ordinary markup), and over pages built to defeat a scanner: the cost
// must stay linear in the page size whatever the page holds.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "fetch/LinkExtractor.h"
#include "fetch/UrlResolution.h"

namespace {

constexpr int kLinks = 100000;
constexpr std::size_t kPageBytes = 20 * 1000 * 1000;

std::vector<char> MakePage()
{
    const std::string filler =
        "<div class=\"row\"><span class=\"caption\">A few words of ordinary text around the link, "
        "with <b>markup</b> and an <em>entity</em> &amp; so on.</span></div>\n";
    std::string page = "<html><head><title>Gallery</title></head><body>\n";
    page.reserve(kPageBytes + 4096);
    for (int i = 0; i < kLinks; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 5) {
        case 0:
            page += "<img class=\"thumb\" alt=\"photo " + n + "\" src=\"pics/p" + n + ".jpg\" width=\"120\">";
            break;
        case 1: page += "<a class=\"reference internal\" href=\"/files/f" + n + ".zip?v=2#top\">download</a>"; break;
        case 2: page += "<a href='http://cdn.example/media/m" + n + ".png'>m</a>"; break;
        case 3: page += "<IMG SRC=../thumbs/t" + n + ".gif>"; break;
        default: page += "<a href=\"//mirror.example/d/a&amp;" + n + ".pdf\" title=\"doc\">doc</a>"; break;
        }
        // Pad each link's share of the page to an even 200 bytes.
        const std::size_t target = static_cast<std::size_t>(i + 1) * (kPageBytes / kLinks);
        while (page.size() + filler.size() <= target)
            page += filler;
        if (page.size() < target)
            page.append(target - page.size(), ' ');
    }
    page += "</body></html>\n";
    return std::vector<char>(page.begin(), page.end());
}

// Extracts every link of the page once per iteration; the count of the last one.
long ExtractEveryLink(benchmark::State& state, const std::vector<char>& page)
{
    CLinkExtractor extractor;
    std::string url, name, ext;
    long links = 0;
    for (auto _ : state) {
        extractor.Reset(page, "http://host/gallery/index.html");
        links = 0;
        while (extractor.GetNextLink(url, name, ext) != LK_NONE)
            ++links;
        benchmark::DoNotOptimize(links);
    }
    return links;
}

void BM_ExtractAllLinks(benchmark::State& state)
{
    const std::vector<char> page = MakePage();
    const long links = ExtractEveryLink(state, page);
    if (links != kLinks)
        state.SkipWithError("wrong number of links");
    state.counters["links"] = static_cast<double>(links);
    state.counters["page_MB"] = static_cast<double>(page.size()) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

// The share of the scan spent resolving the link values and naming their files, for the
// same 100,000 values as written in the page above.
void BM_ResolveLinkValues(benchmark::State& state)
{
    std::vector<std::string> values;
    for (int i = 0; i < kLinks; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 5) {
        case 0: values.push_back("pics/p" + n + ".jpg"); break;
        case 1: values.push_back("/files/f" + n + ".zip?v=2#top"); break;
        case 2: values.push_back("http://cdn.example/media/m" + n + ".png"); break;
        case 3: values.push_back("../thumbs/t" + n + ".gif"); break;
        default: values.push_back("//mirror.example/d/a&" + n + ".pdf"); break;
        }
    }
    const HttpURL base = ToAbsoluteHttpURL("http://host/gallery/index.html");
    HttpURL url;
    std::string name, ext;
    for (auto _ : state) {
        int usable = 0;
        for (const auto& v : values)
            usable += ResolveURL(base, v, url) && FileNameFromURL(url, name, ext);
        benchmark::DoNotOptimize(usable);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLinks);
}

// Pages that never close what they open, 20 MB each. A link before the damage must still
// come out; the time per byte shows whether the scan stays linear.
std::vector<char> MakePoisonPage(int which)
{
    std::string unit;
    switch (which) {
    case 0: unit = "<a href="; break;                                  // tags never closed
    case 1: unit = "<img src=\"x"; break;                              // quotes never closed
    case 2: unit = "<!-- <a href=x.zip> -"; break;                     // a comment never closed
    case 3: unit = "<a k=v "; break;                                   // one endless tag with many attributes
    case 4: unit = "<div><span><b>"; break;                            // deep nesting, nothing closed
    case 5: unit = "<a href=\"&#x&amp&#99999&#;&x;&amp.zip\">"; break; // broken references
    default: unit = std::string("\0\xff<\x80<a\x01", 8); break;        // binary
    }
    std::string page = "<a href=\"first.zip\">";
    if (which == 3)
        page += "<a "; // open the tag that the units keep going
    page.reserve(kPageBytes + unit.size());
    while (page.size() < kPageBytes)
        page += unit;
    return std::vector<char>(page.begin(), page.end());
}

void BM_PoisonPage(benchmark::State& state)
{
    const std::vector<char> page = MakePoisonPage(static_cast<int>(state.range(0)));
    const long links = ExtractEveryLink(state, page);
    if (links < 1)
        state.SkipWithError("the link before the damage was lost");
    state.counters["links"] = static_cast<double>(links);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

} // namespace

BENCHMARK(BM_ExtractAllLinks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResolveLinkValues)->Unit(benchmark::kMillisecond);
// 0 unclosed tags, 1 unclosed quotes, 2 unclosed comment, 3 endless tag, 4 deep nesting,
// 5 broken references, 6 binary.
BENCHMARK(BM_PoisonPage)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
