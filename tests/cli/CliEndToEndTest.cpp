// quarrow-cli as a user runs it: the binary in a child process, against the in-process
// server, with its exit status, output and download folder checked.
#include "CliProcess.h"
#include "MiniJson.h"
#include "support/Sandbox.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using qtest::CliOutcome;
using qtest::JsonReader;
using qtest::JsonValue;

const std::string kCli = QUARROW_CLI_PATH;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> FolderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    if (!fs::exists(folder))
        return names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool HasTempFile(const fs::path& folder)
{
    for (const std::string& name : FolderEntries(folder))
        if (name.rfind("TFR", 0) == 0)
            return true;
    return false;
}

std::string Bytes(std::size_t n, char seed)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(seed + static_cast<char>(i * 7 % 251));
    return s;
}

// The last stdout line, parsed; every earlier line must be an item event.
JsonValue FinalObject(const CliOutcome& run, std::vector<JsonValue>* events = nullptr)
{
    const auto lines = Lines(run.out);
    if (lines.empty())
        throw std::runtime_error("no output; stderr: " + run.err);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        JsonValue e = JsonReader::Parse(lines[i]);
        EXPECT_EQ(e["event"].text, "item") << lines[i];
        if (events)
            events->push_back(std::move(e));
    }
    return JsonReader::Parse(lines.back());
}

class CliEndToEnd : public ::testing::Test {
protected:
    qtest::TestHttpServer server;
    qtest::TempFolder temp;
    fs::path Folder() const { return temp.Path() / "downloads"; }
    void InterruptDuringDownloads(int sig);
    std::vector<std::string> Args(std::vector<std::string> extra, const std::string& path)
    {
        std::vector<std::string> args = {"-d", Folder().string()};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(server.Url(path));
        return args;
    }
};

TEST_F(CliEndToEnd, ListShowsTheAcceptedLinksInItemOrderAndWritesNothing)
{
    const std::string page = "<html><body>\n"
                             "<img src=\"photos/one.jpg\">\n" // relative
                             "<img src='/img/two.png'>\n"     // root-relative
                             "<a href=\"" +
                             server.Url("/abs/three.gif") +
                             "\">3</a>\n" // absolute
                             "<a href=\"notes.html\">not a wanted type</a>\n"
                             "<a href=\"archive.zip\">not a default type</a>\n"
                             "<a href=\"photos/one.jpg\">duplicate</a>\n"
                             "<img src=\"FOUR.JPG\">\n" // upper-case extension
                             "<a href=\"noext\">no extension</a>\n"
                             "<a href=\"ftp://elsewhere/five.jpg\">other scheme</a>\n"
                             "</body></html>\n";
    server.AddFile("/site/gallery/index.html", page);

    const CliOutcome run = qtest::RunCli(kCli, Args({"--list"}, "/site/gallery/index.html"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string base = server.Url("");
    EXPECT_EQ(run.out, "0\timage\t" + base +
                           "/site/gallery/photos/one.jpg\tone.jpg\n"
                           "1\timage\t" +
                           base +
                           "/img/two.png\ttwo.png\n"
                           "2\tanchor\t" +
                           base +
                           "/abs/three.gif\tthree.gif\n"
                           "3\timage\t" +
                           base + "/site/gallery/FOUR.JPG\tFOUR.JPG\n");
    EXPECT_FALSE(fs::exists(Folder())) << "a dry run creates nothing";
    EXPECT_EQ(server.TotalRequestCount(), 1u) << "only the page is fetched";

    // The types flag decides what is listed: exactly zip now.
    const CliOutcome zip = qtest::RunCli(kCli, Args({"--list", "-t", "zip"}, "/site/gallery/index.html"));
    ASSERT_EQ(zip.exitCode, 0) << zip.err;
    EXPECT_EQ(zip.out, "0\tanchor\t" + base + "/site/gallery/archive.zip\tarchive.zip\n");
}

TEST_F(CliEndToEnd, JsonEndsWithTheFinalObjectAndErroredItemsGiveExitCodeOne)
{
    const std::string a = Bytes(5000, 'a'), b = Bytes(20000, 'b');
    server.AddFile("/p/a.jpg", a, "image/jpeg");
    server.AddFile("/p/b.png", b, "image/png");
    server.AddRoute("/p/gone.gif", qtest::routes::Status(500, "server fault"));
    server.AddFile("/p/index.html",
                   "<a href=\"a.jpg\">a</a><img src=\"b.png\"><a href=\"gone.gif\">c</a><a href=\"x.html\">x</a>");

    const CliOutcome run = qtest::RunCli(kCli, Args({"--json", "--min", "0"}, "/p/index.html"));
    ASSERT_EQ(run.exitCode, 1) << run.err;
    std::vector<JsonValue> events;
    const JsonValue final = FinalObject(run, &events);

    EXPECT_EQ(final["state"].text, "DS_COMPLETED");
    ASSERT_EQ(final["elapsed_seconds"].type, JsonValue::Number);
    EXPECT_GE(final["elapsed_seconds"].number, 0.0);
    EXPECT_LT(final["elapsed_seconds"].number, 60.0);
    const JsonValue& items = final["items"];
    ASSERT_EQ(items.type, JsonValue::Array);
    ASSERT_EQ(items.items.size(), 3u);

    struct Expected {
        const char* file;
        const char* kind;
        const char* status;
        std::int64_t size;
        const char* info;
    };
    const Expected expected[] = {
        {"a.jpg", "anchor", "DIS_COMPLETED", 5000, "Completed"},
        {"b.png", "image", "DIS_COMPLETED", 20000, "Completed"},
        {"gone.gif", "anchor", "DIS_ERRORED", -1, "HTTP error.  Requested file may not be present on server"},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].file);
        const JsonValue& item = items.items[i];
        for (const char* key : {"id", "file", "url", "kind", "status", "size", "transferred", "saved_path", "info"})
            EXPECT_TRUE(item.Has(key)) << key;
        EXPECT_EQ(item["id"].number, static_cast<double>(i));
        EXPECT_EQ(item["file"].text, expected[i].file);
        EXPECT_EQ(item["url"].text, server.Url(std::string("/p/") + expected[i].file));
        EXPECT_EQ(item["kind"].text, expected[i].kind);
        EXPECT_EQ(item["status"].text, expected[i].status);
        EXPECT_EQ(item["info"].text, expected[i].info);
        ASSERT_EQ(item["size"].type, JsonValue::Number);
        if (expected[i].size >= 0) {
            EXPECT_EQ(item["size"].number, static_cast<double>(expected[i].size));
            EXPECT_EQ(item["transferred"].number, static_cast<double>(expected[i].size));
            EXPECT_EQ(item["saved_path"].text, (Folder() / expected[i].file).string());
        } else {
            EXPECT_EQ(item["saved_path"].text, "");
        }
        // The events end on the same status as the final object.
        std::string last;
        for (const JsonValue& e : events)
            if (e["id"].number == static_cast<double>(i))
                last = e["status"].text;
        EXPECT_EQ(last, expected[i].status);
    }
    EXPECT_EQ(qtest::ReadFile(Folder() / "a.jpg"), a);
    EXPECT_EQ(qtest::ReadFile(Folder() / "b.png"), b);
    EXPECT_EQ(FolderEntries(Folder()), (std::vector<std::string>{"a.jpg", "b.png"}));
}

TEST_F(CliEndToEnd, ExitCodesForSuccessFailedPagesAndBadCommandLines)
{
    server.AddFile("/ok/a.jpg", Bytes(3000, 'x'), "image/jpeg");
    server.AddFile("/ok/b.gif", Bytes(4000, 'y'), "image/gif");
    server.AddFile("/ok/index.html", "<img src=\"a.jpg\"><img src=\"b.gif\">");
    server.AddRoute("/missing.html", qtest::routes::Status(404, "<html>no</html>"));
    server.AddFile("/picture.png", Bytes(3000, 'p'), "image/png");

    {
        // Not a terminal: one line per finished item, then the summary.
        const CliOutcome run = qtest::RunCli(kCli, Args({}, "/ok/index.html"));
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const auto lines = Lines(run.out);
        ASSERT_GE(lines.size(), 4u) << run.out;
        // Both run at once, so either may finish first.
        const std::set<std::string> finished = {lines[0], lines[1]};
        EXPECT_EQ(finished, (std::set<std::string>{"Completed  a.jpg  2.93 KB", "Completed  b.gif  3.906 KB"}));
        EXPECT_NE(run.out.find("2 completed, 0 skipped, 0 errored, 0 cancelled"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("Saved in " + Folder().string() + "/"), std::string::npos) << run.out;
    }
    const std::pair<const char*, std::string> failures[] = {
        {"/missing.html", "HTTP status 404"},
        {"/picture.png", "not an HTML page (Content-Type: image/png)"},
    };
    for (const auto& [page, reason] : failures) {
        SCOPED_TRACE(page);
        const CliOutcome run = qtest::RunCli(kCli, Args({"--json"}, page));
        EXPECT_EQ(run.exitCode, 2);
        // The fixed text stays; the reason follows it.
        EXPECT_NE(run.err.find("Could not retrieve requested URL: " + reason), std::string::npos) << run.err;
        const JsonValue final = FinalObject(run);
        EXPECT_EQ(final["state"].text, "DS_PAGE_FAILED");
        EXPECT_EQ(final["reason"].text, reason);
        const CliOutcome list = qtest::RunCli(kCli, Args({"--list"}, page));
        EXPECT_EQ(list.exitCode, 2);
        EXPECT_NE(list.err.find("Could not retrieve requested URL: " + reason), std::string::npos) << list.err;
        EXPECT_EQ(list.out, "");
    }

    const std::size_t requests = server.TotalRequestCount();
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"-j", "9"},
                                                {"--policy", "never"},
                                                {"--min", "5XB"},
                                                {"--what"},
                                                // A line break in the user agent would add a request header.
                                                {"-A", "x\r\nX-Injected: 1"},
                                                {"-A", "tab\there"}}) {
        SCOPED_TRACE(bad.front());
        const CliOutcome run = qtest::RunCli(kCli, Args(bad, "/ok/index.html"));
        EXPECT_EQ(run.exitCode, 64);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("quarrow-cli: "), std::string::npos);
    }
    EXPECT_EQ(server.TotalRequestCount(), requests) << "a usage error fetches nothing";

    const CliOutcome help = qtest::RunCli(kCli, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: quarrow-cli [options] URL"), std::string::npos);
    const CliOutcome version = qtest::RunCli(kCli, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("quarrow-cli ", 0), 0u);
}

TEST_F(CliEndToEnd, InterruptDuringDownloadsCancelsAndLeavesNoTemporaryFile)
{
    // Ctrl-C, kill, a closed terminal and Ctrl-\ all cancel and clean up.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(strsignal(sig));
        InterruptDuringDownloads(sig);
    }
}

void CliEndToEnd::InterruptDuringDownloads(int sig)
{
    fs::remove_all(Folder());
    const std::string big = Bytes(400000, 'g');
    server.AddFile("/s/small.jpg", Bytes(3000, 's'), "image/jpeg");
    server.AddRoute("/s/big.jpg", qtest::routes::StallMidBody(big, 100000, "image/jpeg"));
    const int stalledBefore = server.StalledCount("/s/big.jpg");
    server.AddFile("/s/index.html", "<img src=\"small.jpg\"><img src=\"big.jpg\">");

    qtest::CliProcess cli(kCli, Args({"--json"}, "/s/index.html"));
    ASSERT_TRUE(server.WaitForStalled("/s/big.jpg", stalledBefore + 1, std::chrono::seconds(30)));
    ASSERT_TRUE(qtest::WaitFor([&] { return HasTempFile(Folder()); }, std::chrono::seconds(30)))
        << "the transfer holds a temporary file while it runs";
    cli.Signal(sig);
    const CliOutcome run = cli.Wait(std::chrono::seconds(30));

    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_FALSE(HasTempFile(Folder()));
    const JsonValue final = FinalObject(run);
    EXPECT_EQ(final["state"].text, "DS_DOWNLOADS_CANCELLED");
    std::map<std::string, std::string> status;
    for (const JsonValue& item : final["items"].items)
        status[item["file"].text] = item["status"].text;
    EXPECT_EQ(status["big.jpg"], "DIS_CANCELLED");
    EXPECT_EQ(FolderEntries(Folder()), status["small.jpg"] == "DIS_COMPLETED" ? std::vector<std::string>{"small.jpg"}
                                                                              : std::vector<std::string>{})
        << run.out;
}

TEST_F(CliEndToEnd, InterruptDuringThePageCancelsIt)
{
    for (const bool list : {false, true}) {
        SCOPED_TRACE(list ? "--list" : "--json");
        const std::string page = list ? "/slow-list.html" : "/slow-job.html";
        server.AddRoute(page, qtest::routes::StallBeforeResponse("<img src=\"a.jpg\">"));
        qtest::CliProcess cli(kCli, Args({list ? "--list" : "--json"}, page));
        ASSERT_TRUE(server.WaitForStalled(page, 1, std::chrono::seconds(30)));
        cli.Signal(SIGINT);
        const CliOutcome run = cli.Wait(std::chrono::seconds(30));
        EXPECT_EQ(run.exitCode, 3) << run.err;
        if (list)
            EXPECT_EQ(run.out, "");
        else
            EXPECT_EQ(FinalObject(run)["state"].text, "DS_PAGE_CANCELLED");
    }
}

// A folder outside the sandbox (whose root only we may enter) that another user can reach:
// mode 0755, owned by us. Removed at the end.
class SharedFolder {
public:
    SharedFolder()
    {
        std::string pattern = "/tmp/quarrow-shared-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
        fs::permissions(m_path, fs::perms(0755));
    }
    ~SharedFolder()
    {
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_path, ec);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

constexpr uid_t kNobody = 65534;

// The binary where the unprivileged user can run it.
std::string CliCopyIn(const SharedFolder& shared)
{
    const fs::path copy = shared.Path() / "quarrow-cli";
    fs::copy_file(kCli, copy);
    fs::permissions(copy, fs::perms(0755));
    return copy.string();
}

TEST_F(CliEndToEnd, UnwritableFolderAndFullDiskEndWithErroredItemsAndExitCodeOne)
{
    std::string page = "<html>";
    for (int i = 0; i < 4; ++i) {
        const std::string name = "f" + std::to_string(i) + ".jpg";
        server.AddFile("/d/" + name, Bytes(300000, 'f'), "image/jpeg");
        page += "<img src=\"" + name + "\">";
    }
    server.AddFile("/d/index.html", page + "</html>");

    struct Case {
        const char* name;
        bool asNobody;       // the folder is ours, the program runs as someone else
        rlim_t maxFileBytes; // writes fail part-way, as on a full disk
    };
    for (const Case c : {Case{"folder the user cannot write", true, 0}, Case{"full disk", false, 64 * 1024}}) {
        SCOPED_TRACE(c.name);
        if (c.asNobody && ::geteuid() != 0)
            GTEST_SKIP() << "needs root to run the program as another user";
        SharedFolder shared;
        const fs::path downloads = shared.Path() / "downloads";
        fs::create_directory(downloads);
        fs::permissions(downloads, fs::perms(0755));
        const std::string binary = c.asNobody ? CliCopyIn(shared) : kCli;
        qtest::CliLaunch launch;
        launch.uid = c.asNobody ? kNobody : 0;
        launch.maxFileBytes = c.maxFileBytes;
        const CliOutcome run =
            qtest::RunCli(binary, {"-d", downloads.string(), "-j", "1", "--json", server.Url("/d/index.html")},
                          std::chrono::seconds(60), launch);
        ASSERT_FALSE(run.timedOut) << "the job hung";
        EXPECT_EQ(run.exitCode, 1) << run.err;
        const JsonValue final = FinalObject(run);
        EXPECT_EQ(final["state"].text, "DS_COMPLETED");
        ASSERT_EQ(final["items"].items.size(), 4u);
        for (const JsonValue& item : final["items"].items) {
            EXPECT_EQ(item["status"].text, "DIS_ERRORED") << item["file"].text;
            EXPECT_EQ(item["info"].text, "Could not create temporary file to save contents") << item["file"].text;
        }
        EXPECT_EQ(FolderEntries(downloads), std::vector<std::string>{}) << "no file, no TFR left";
    }
}

TEST_F(CliEndToEnd, DownloadFolderThatCannotBeLookedAtIsAClearError)
{
    server.AddFile("/p/index.html", "<img src=\"a.jpg\">");
    fs::create_symlink(temp.Path() / "loop-b", temp.Path() / "loop-a");
    fs::create_symlink(temp.Path() / "loop-a", temp.Path() / "loop-b");
    struct Case {
        std::string folder;
        uid_t uid;
    };
    std::vector<Case> cases = {
        {(temp.Path() / "loop-a" / "sub").string(), 0},
        {(temp.Path() / (std::string(300, 'n')) / "sub").string(), 0},
    };
    SharedFolder shared;
    std::string binary = kCli;
    if (::geteuid() == 0) {
        // A parent folder only its owner may enter.
        const fs::path closed = shared.Path() / "closed";
        fs::create_directory(closed);
        fs::permissions(closed, fs::perms(0700));
        cases.push_back({(closed / "inner" / "downloads").string(), kNobody});
        binary = CliCopyIn(shared);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.substr(0, 80));
        qtest::CliLaunch launch;
        launch.uid = c.uid;
        const CliOutcome run =
            qtest::RunCli(binary, {"-d", c.folder, server.Url("/p/index.html")}, std::chrono::seconds(60), launch);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.termSignal, 0);
        EXPECT_NE(run.err.find("Could not create download folder: " + c.folder + "/ ("), std::string::npos) << run.err;
    }
}

} // namespace

// Markup as real documentation pages write it: attributes before href and src, "../"
// links, character references, encoded names, queries and fragments, and a damaged tail.
TEST_F(CliEndToEnd, HarvestsEveryFileOfAPageWrittenAsRealPagesAre)
{
    const std::map<std::string, std::string> files = {
        {"/docs/_static/logo.png", Bytes(3000, 'l')}, {"/docs/html/a&b.jpg", Bytes(2000, 'a')},
        {"/docs/html/my file.gif", Bytes(1500, 'm')}, {"/docs/html/photo.jpg", Bytes(2500, 'p')},
        {"/docs/shots/x.png", Bytes(1800, 'x')},      {"/docs/html/note.png", Bytes(1200, 'n')},
    };
    for (const auto& [path, body] : files)
        server.AddFile(path, body, "image/png");
    std::string poison;
    while (poison.size() < 256 * 1024)
        poison += "<a href=";
    server.AddFile("/docs/html/index.html",
                   "<a class=\"reference internal\" href=\"../_static/logo.png\">logo</a>\n"
                   "<img alt=\"[Note]\" class=\"icon\" src=\"note.png\">\n"
                   "<a href=\"a&amp;b.jpg\">amp</a> <a href=\"my%20file.gif#top\">space</a>\n"
                   "<img style=\"width:100%\" src=\"./photo.jpg?v=3\">\n"
                   "<a href=\"./../shots/./x.png\">x</a>\n"
                   "<script>document.writeln('<img src=\"scripted.png\">');</script>\n"
                   "<!-- <img src=\"commented.png\"> -->\n"
                   // No file type can be written with these extensions: skipped, never fatal.
                   "<a href=\"odd.j%20pg\"> <a href=\"odd.%E5%86%99\"> <a href=\"odd.j&quot;pg\">\n" +
                       poison);

    const CliOutcome list = qtest::RunCli(kCli, Args({"--list", "-t", "gif"}, "/docs/html/index.html"));
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out, "0\tanchor\t" + server.Url("/docs/html/my%20file.gif") + "\tmy file.gif\n");

    const CliOutcome run = qtest::RunCli(kCli, Args({"-t", "png,jpg,gif"}, "/docs/html/index.html"));
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(FolderEntries(Folder()),
              (std::vector<std::string>{"a&b.jpg", "logo.png", "my file.gif", "note.png", "photo.jpg", "x.png"}));
    for (const auto& [path, body] : files)
        EXPECT_EQ(qtest::ReadFile(Folder() / fs::path(path).filename()), body) << path;
}
