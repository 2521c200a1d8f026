// Scan speed of the link extractor over a large generated page: 20 MB with 100,000 links
// of every form, in ordinary markup.
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
        case 0: page += "<img src=\"pics/p" + n + ".jpg\" width=\"120\">"; break;
        case 1: page += "<a href=\"/files/f" + n + ".zip\">download</a>"; break;
        case 2: page += "<a href='http://cdn.example/media/m" + n + ".png'>m</a>"; break;
        case 3: page += "<IMG SRC=../thumbs/t" + n + ".gif>"; break;
        default: page += "<a href=\"//mirror.example/d/" + n + ".pdf\" title=\"doc\">doc</a>"; break;
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

void BM_ExtractAllLinks(benchmark::State& state)
{
    const std::vector<char> page = MakePage();
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
    if (links != kLinks)
        state.SkipWithError("wrong number of links");
    state.counters["links"] = static_cast<double>(links);
    state.counters["page_MB"] = static_cast<double>(page.size()) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

// The share of the scan spent classifying the link values (URL resolution alone), for
// the same 100,000 values as written in the page above.
void BM_ClassifyLinkValues(benchmark::State& state)
{
    std::vector<std::string> values;
    for (int i = 0; i < kLinks; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 5) {
        case 0: values.push_back("pics/p" + n + ".jpg"); break;
        case 1: values.push_back("/files/f" + n + ".zip"); break;
        case 2: values.push_back("//cdn.example/media/m" + n + ".png"); break;
        case 3: values.push_back("../thumbs/t" + n + ".gif"); break;
        default: values.push_back("//mirror.example/d/" + n + ".pdf"); break;
        }
    }
    std::string name, ext;
    for (auto _ : state) {
        int usable = 0;
        for (const auto& v : values)
            usable += GetRelativeURLType(v, name, ext) != 0;
        benchmark::DoNotOptimize(usable);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLinks);
}

} // namespace

BENCHMARK(BM_ExtractAllLinks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClassifyLinkValues)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
