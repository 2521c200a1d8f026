// quarrow-harvest-bench: times quarrow-cli against wget, aria2c and curl harvesting the same
// generated galleries from a local server that waits before every response and limits every
// connection's rate. Tools take turns within each round, in a rotating order, so that slow
// drifts of the machine spread over all of them.
//
//   quarrow-harvest-bench [--runs N] [--gallery large|small|both] [--cli PATH]
//                         [--slots N] [--delay-ms N] [--rate BYTES_PER_SECOND] [--keep DIR]
#include "demo/Gallery.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#ifndef QUARROW_CLI_PATH
#define QUARROW_CLI_PATH "quarrow-cli"
#endif

namespace fs = std::filesystem;

namespace {

struct Sample {
    double wall = 0; // seconds
    double cpu = 0;  // user + system seconds
    long rssKb = 0;  // peak resident set
    bool complete = false;
    int exitCode = -1;
};

struct Setup {
    std::string cli;
    int slots = 3;
    std::string pageUrl;
    fs::path urlList;
    fs::path curlConfig;
    std::string extension;
    fs::path home;
};

struct Tool {
    std::string name;
    std::vector<std::string> (*args)(const Setup&, const fs::path& folder);
};

std::vector<std::string> QuarrowArgs(const Setup& s, const fs::path& folder)
{
    return {s.cli, "-q", "-j", std::to_string(s.slots), "-d", folder.string(), s.pageUrl};
}

std::vector<std::string> WgetArgs(const Setup& s, const fs::path& folder)
{
    return {"wget", "-q", "-r", "-l1", "-nd", "-A", s.extension, "-P", folder.string(), s.pageUrl};
}

std::vector<std::string> Aria2Args(const Setup& s, const fs::path& folder)
{
    return {"aria2c", "-q", "-j" + std::to_string(s.slots), "-d", folder.string(), "-i", s.urlList.string()};
}

std::vector<std::string> CurlArgs(const Setup& s, const fs::path& folder)
{
    return {"curl",
            "-s",
            "--parallel",
            "--parallel-max",
            std::to_string(s.slots),
            "--remote-name-all",
            "--output-dir",
            folder.string(),
            "-K",
            s.curlConfig.string()};
}

const Tool kTools[] = {
    {"quarrow-cli", QuarrowArgs},
    {"wget", WgetArgs},
    {"aria2c", Aria2Args},
    {"curl", CurlArgs},
};

// The tool is started by a fresh copy of this program in measuring mode: a child forked
// straight from here would carry this process's memory (the galleries) into its peak RSS.
Sample RunOnce(const std::vector<std::string>& args, const Setup& setup, const fs::path& log, const fs::path& result)
{
    std::vector<std::string> store = {"/proc/self/exe", "--measure", result.string(), log.string()};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : store)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    fs::remove(result);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A home of its own: quarrow-cli then runs with the default options.
        ::setenv("HOME", setup.home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (setup.home / ".local/share").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (setup.home / ".config").c_str(), 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Sample sample;
    std::ifstream in(result);
    in >> sample.wall >> sample.cpu >> sample.rssKb >> sample.exitCode;
    return sample;
}

// Measuring mode: runs the command, then writes "wall cpu peak-rss-kb exit-code" to `result`.
int Measure(int argc, char** argv)
{
    const std::string result = argv[2], log = argv[3];
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::FILE* err = std::fopen(log.c_str(), "a");
        std::FILE* null = std::fopen("/dev/null", "w");
        if (err && null) {
            ::dup2(::fileno(null), 1);
            ::dup2(::fileno(err), 2);
        }
        ::execvp(argv[4], argv + 4);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::ofstream(result) << wall << " " << cpu << " " << usage.ru_maxrss << " "
                          << (WIFEXITED(status) ? WEXITSTATUS(status) : -1) << "\n";
    (void)argc;
    return 0;
}

// Every wanted file is there, complete, and nothing else with the extension.
bool Complete(const fs::path& folder, const gallery::Gallery& g)
{
    std::map<std::string, std::size_t> expected;
    for (const gallery::File& f : g.files)
        expected[f.path.substr(f.path.rfind('/') + 1)] = f.body.size();
    std::size_t found = 0;
    for (const std::string& path : g.wanted) {
        const std::string name = path.substr(path.rfind('/') + 1);
        std::error_code ec;
        const auto size = fs::file_size(folder / name, ec);
        if (ec || size != expected[name])
            return false;
        ++found;
    }
    return found == g.wanted.size();
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Options {
    int runs = 5;
    std::string galleries = "both";
    std::string cli = QUARROW_CLI_PATH;
    int slots = 3;
    unsigned delayMs = 30;
    std::uint64_t rate = 2 * 1024 * 1024;
    std::string keep;
};

bool BenchGallery(const Options& o, gallery::Gallery g, const fs::path& work)
{
    const std::uint64_t bytes = [&] {
        std::uint64_t total = 0;
        for (const gallery::File& f : g.files)
            total += f.body.size();
        return total;
    }();
    const std::size_t files = g.wanted.size();
    const std::string name = g.pagePath.substr(1, g.pagePath.find('/', 1) - 1);

    gallery::ServerOptions so;
    so.delayMs = o.delayMs;
    so.bytesPerSecond = o.rate;
    gallery::Server server(std::move(g), so);
    if (!server.Start()) {
        std::fprintf(stderr, "cannot start the gallery server\n");
        return false;
    }
    const gallery::Gallery& gal = server.GetGallery();

    Setup setup;
    setup.cli = o.cli;
    setup.slots = o.slots;
    setup.pageUrl = server.PageUrl();
    setup.extension = gal.extension;
    setup.home = work / "home";
    setup.urlList = work / (name + "-urls.txt");
    setup.curlConfig = work / (name + "-curl.conf");
    fs::create_directories(setup.home);
    std::ofstream(setup.urlList) << server.WantedUrlList();
    {
        std::ofstream conf(setup.curlConfig);
        for (const std::string& path : gal.wanted)
            conf << "url = \"" << server.Origin() << path << "\"\n";
    }

    // The page is one more request for the tools that start from it; the limit counts the files.
    const double limit = static_cast<double>(bytes) / (o.slots * static_cast<double>(o.rate)) +
                         static_cast<double>(files) * o.delayMs / 1000.0 / o.slots;
    std::printf("\nGallery '%s': %zu files, %.1f MB; server waits %u ms per response, %.1f MB/s per connection\n",
                name.c_str(), files, static_cast<double>(bytes) / 1048576.0, o.delayMs,
                static_cast<double>(o.rate) / 1048576.0);
    std::printf("Physical limit with %d slots: %.2f s\n", o.slots, limit);
    std::fflush(stdout);

    const std::size_t toolCount = std::size(kTools);
    std::vector<std::vector<Sample>> samples(toolCount);
    for (int run = 0; run < o.runs; ++run) {
        for (std::size_t k = 0; k < toolCount; ++k) {
            const std::size_t t = (k + static_cast<std::size_t>(run)) % toolCount;
            const fs::path folder = work / (name + "-" + kTools[t].name);
            fs::remove_all(folder);
            fs::create_directories(folder);
            Sample s = RunOnce(kTools[t].args(setup, folder), setup, work / (kTools[t].name + ".log"), work / "result");
            s.complete = Complete(folder, gal);
            std::printf("  run %d  %-12s %7.2f s wall  %6.2f s cpu  %6.1f MB peak%s\n", run + 1, kTools[t].name.c_str(),
                        s.wall, s.cpu, s.rssKb / 1024.0, s.complete ? "" : "  INCOMPLETE");
            std::fflush(stdout);
            samples[t].push_back(s);
            if (o.keep.empty())
                fs::remove_all(folder);
        }
    }

    auto medianOf = [&](std::size_t t, double Sample::*field) {
        std::vector<double> v;
        for (const Sample& s : samples[t])
            v.push_back(s.*field);
        return Median(v);
    };
    auto medianRss = [&](std::size_t t) {
        std::vector<double> v;
        for (const Sample& s : samples[t])
            v.push_back(static_cast<double>(s.rssKb) / 1024.0);
        return Median(v);
    };
    auto maxRss = [&](std::size_t t) {
        long m = 0;
        for (const Sample& s : samples[t])
            m = std::max(m, s.rssKb);
        return static_cast<double>(m) / 1024.0;
    };
    const double quarrowWall = medianOf(0, &Sample::wall);
    std::printf("\n| gallery | tool | median wall (s) | median CPU (s) | median peak RSS (MB) | max peak RSS (MB) | "
                "quarrow-cli wall / tool wall | complete runs |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (std::size_t t = 0; t < toolCount; ++t) {
        int complete = 0;
        for (const Sample& s : samples[t])
            complete += s.complete ? 1 : 0;
        const double wall = medianOf(t, &Sample::wall);
        std::printf("| %s | %s | %.2f | %.2f | %.1f | %.1f | %.2f | %d/%zu |\n", name.c_str(), kTools[t].name.c_str(),
                    wall, medianOf(t, &Sample::cpu), medianRss(t), maxRss(t), wall > 0 ? quarrowWall / wall : 0.0,
                    complete, samples[t].size());
    }
    std::printf("| %s | physical limit | %.2f | | | | %.2f | |\n", name.c_str(), limit, quarrowWall / limit);

    const double curlWall = medianOf(3, &Sample::wall), wgetWall = medianOf(1, &Sample::wall);
    std::printf("\nTargets on '%s':\n", name.c_str());
    std::printf("  quarrow-cli wall <= 1.05 x curl's:  %.2f x  %s\n", quarrowWall / curlWall,
                quarrowWall <= 1.05 * curlWall ? "met" : "MISSED");
    std::printf("  quarrow-cli wall <= 0.4 x wget's:   %.2f x  %s\n", quarrowWall / wgetWall,
                quarrowWall <= 0.4 * wgetWall ? "met" : "MISSED");
    std::printf("  quarrow-cli peak memory <= 30 MB:   %.1f MB (max over runs)  %s\n", maxRss(0),
                maxRss(0) <= 30.0 ? "met" : "MISSED");
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 4 && std::string(argv[1]) == "--measure")
        return Measure(argc, argv);
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--runs")
            o.runs = std::max(1, std::atoi(v.c_str()));
        else if (a == "--gallery")
            o.galleries = v;
        else if (a == "--cli")
            o.cli = v;
        else if (a == "--slots")
            o.slots = std::max(1, std::atoi(v.c_str()));
        else if (a == "--delay-ms")
            o.delayMs = static_cast<unsigned>(std::atoi(v.c_str()));
        else if (a == "--rate")
            o.rate = std::max<std::uint64_t>(1, std::strtoull(v.c_str(), nullptr, 10));
        else if (a == "--keep")
            o.keep = v;
        else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 64;
        }
    }
    for (const char* tool : {"wget", "aria2c", "curl"}) {
        if (std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) != 0) {
            std::fprintf(stderr, "quarrow-harvest-bench: %s is not installed (make deps installs it)\n", tool);
            return 1;
        }
    }

    fs::path work =
        o.keep.empty() ? fs::temp_directory_path() / ("quarrow-bench-" + std::to_string(::getpid())) : fs::path(o.keep);
    fs::create_directories(work);
    std::printf("quarrow-harvest-bench: %d runs per tool, %d slots, quarrow-cli at %s\n", o.runs, o.slots,
                o.cli.c_str());

    bool ok = true;
    if (o.galleries == "large" || o.galleries == "both")
        ok = BenchGallery(o, gallery::MakeBenchGallery("large", 200, 20 * 1024, 400 * 1024, 1), work) && ok;
    if (o.galleries == "small" || o.galleries == "both")
        ok = BenchGallery(o, gallery::MakeBenchGallery("small", 1000, 5 * 1024, 5 * 1024, 2), work) && ok;
    if (o.keep.empty())
        fs::remove_all(work);
    return ok ? 0 : 1;
}
