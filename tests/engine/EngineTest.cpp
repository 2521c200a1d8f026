// The download controller and transfer engine end to end, against the in-process server.
#include "engine/DownloadItemFetcher.h"
#include "engine/HttpLibrary.h"
#include "engine/Ombrex.h"
#include "support/Sandbox.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <csignal>
#include <optional>
#include <stdexcept>
#include <sys/resource.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::string Page(const std::vector<std::string>& hrefs)
{
    std::string html = "<html><body>\n";
    for (const auto& h : hrefs)
        html += "<a href=\"" + h + "\">" + h + "</a>\n";
    return html + "</body></html>\n";
}

std::string Bytes(std::size_t n, char seed)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(seed + static_cast<char>(i % 251));
    return s;
}

std::vector<std::string> TempFiles(const fs::path& dir)
{
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind("TFR", 0) == 0)
            found.push_back(e.path().filename().string());
    return found;
}

std::string ThrownText(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitHttpLibrary());
        engine = CreateOmbrex();
    }
    void TearDown() override
    {
        if (engine) {
            engine->Cancel();
            qtest::WaitFor([&] { return IsFinalState(engine->GetState(false)) || engine->GetState(false) == DS_IDLE; });
            engine.reset();
        }
        server.Stop();
        EXPECT_TRUE(TempFiles(folder.Path()).empty()) << "temporary file left: " << TempFiles(folder.Path())[0];
        CleanupHttpLibrary();
    }

    ConfigOptions Options(std::vector<std::string> exts = {"*.jpg", "*.png", "*.bin"})
    {
        ConfigOptions o;
        o.SetDefaults();
        o.m_downloadFolder = folder.Dir();
        o.m_nMinSize = 0;
        o.m_minSizeUnits = SU_BYTES;
        o.m_nMaxSize = 100;
        o.m_maxSizeUnits = SU_MB;
        o.m_respFactor = LEVEL_HIGH;
        o.m_fileTypes.clear();
        for (const auto& e : exts)
            o.m_fileTypes.push_back(std::make_shared<CFileType>(e, "", true));
        return o;
    }

    void Start(const std::string& path, const ConfigOptions& options, FileSavePolicy policy = FSP_RENAME, int slots = 3)
    {
        engine->ClearDownloadItems();
        engine->SetConfigOptions(options);
        SaveSettings save;
        save.m_fileSavePolicy = policy;
        save.m_downloadFolder = folder.Dir();
        save.m_nMaxConcurrentDownloads = slots;
        engine->SetSaveSettings(save);
        engine->GotoURL(server.Url(path));
    }

    DownloaderState WaitFinal(std::chrono::milliseconds timeout = 20s)
    {
        DownloaderState s = DS_IDLE;
        EXPECT_TRUE(qtest::WaitFor([&] { return IsFinalState(s = engine->GetState(false)); }, timeout))
            << "still in state " << s;
        return s;
    }

    DownloaderState Run(const std::string& path, const ConfigOptions& options, FileSavePolicy policy = FSP_RENAME,
                        int slots = 3)
    {
        Start(path, options, policy, slots);
        return WaitFinal();
    }

    std::vector<DownloadItemPtr> Items()
    {
        std::vector<DownloadItemPtr> items;
        engine->GetDownloadItems(items);
        return items;
    }

    // Latest status of each item from the changed-item snapshots.
    std::map<int, DownloadItemStatus> Snapshot()
    {
        std::vector<DownloadItemPtr> changed;
        engine->GetChangedItems(changed);
        for (const auto& item : changed)
            seen[item->GetId()] = item->GetStatus();
        return seen;
    }

    qtest::TestHttpServer server;
    qtest::TempFolder folder;
    std::unique_ptr<IOmbrex> engine;
    std::map<int, DownloadItemStatus> seen;
};

TEST_F(Engine, DownloadsEveryAcceptedLinkWithTheRightBytes)
{
    std::vector<std::string> links;
    std::map<std::string, std::string> bodies;
    for (int i = 0; i < 10; ++i) {
        const std::string name = "f" + std::to_string(i) + ".jpg";
        bodies[name] = Bytes(1000 + 3000 * i, static_cast<char>('a' + i));
        server.AddFile("/img/" + name, bodies[name], "image/jpeg");
        links.push_back(name);
    }
    links.push_back("index.html"); // not a checked type
    links.push_back("f3.jpg");     // duplicate
    links.push_back("noext");      // no extension
    server.AddFile("/img/page.html", Page(links));

    ASSERT_EQ(Run("/img/page.html", Options()), DS_COMPLETED);
    EXPECT_EQ(engine->GetCurrentURL(), server.Url("/img/page.html"));
    const auto items = Items();
    ASSERT_EQ(items.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        const auto& item = items[static_cast<std::size_t>(i)];
        const std::string name = "f" + std::to_string(i) + ".jpg";
        EXPECT_EQ(item->GetId(), i);
        EXPECT_EQ(item->GetFileName(), name);
        EXPECT_EQ(item->GetURL(), server.Url("/img/" + name));
        EXPECT_EQ(item->GetLinkKind(), LK_ANCHOR);
        EXPECT_EQ(item->GetStatus(), DIS_COMPLETED);
        EXPECT_EQ(item->GetStatusInfo(), "Filename: " + name + "\r\nInfo: Completed.");
        EXPECT_EQ(item->GetSavedPath(), folder.Dir() + name);
        EXPECT_EQ(folder.Read(name), bodies[name]) << name;
    }
    EXPECT_EQ(server.RequestCount("/img/f3.jpg"), 1u);
    // Acknowledging the final state makes the controller idle again.
    EXPECT_EQ(engine->GetState(true), DS_COMPLETED);
    EXPECT_EQ(engine->GetState(false), DS_IDLE);
}

// Watches the engine from its own worker thread: every ShouldContinue call counts the
// items in progress and notes the order in which they started.
class WatchingClient : public IDownloadItemFetcherClient {
public:
    explicit WatchingClient(std::vector<DownloadItemPtr> items) : m_items(std::move(items)) {}
    CDownloadItemFetcher* fetcher = nullptr;
    std::atomic<bool> keepGoing{true};
    int maxInProgress = 0;
    std::vector<int> startOrder;
    std::int64_t sizeLimit = INT64_MAX;
    // Cancels the run the first time it sees a completed item (the user's cancel landing
    // between the file's save and the end of its transfer).
    bool stopOnceCompleted = false;

    bool GetNextDownloadItem(DownloadItemPtr& item) override
    {
        if (m_next >= m_items.size())
            return false;
        item = m_items[m_next++];
        return true;
    }
    bool ShouldContinue() override
    {
        std::vector<DownloadItemPtr> live;
        fetcher->GetDownloadItems(live);
        int inProgress = 0;
        for (const auto& item : live) {
            if (stopOnceCompleted && item->GetStatus() == DIS_COMPLETED)
                keepGoing = false;
            if (item->GetStatus() == DIS_IN_PROGRESS) {
                ++inProgress;
                if (std::find(startOrder.begin(), startOrder.end(), item->GetId()) == startOrder.end())
                    startOrder.push_back(item->GetId());
            }
        }
        maxInProgress = std::max(maxInProgress, inProgress);
        return keepGoing.load();
    }
    bool IsFileSizeAllowed(std::int64_t size) override { return size <= sizeLimit; }
    bool MayFileReachSize(std::int64_t size) override { return size <= sizeLimit; }
    void OnFetcherNotify(std::int32_t) override {}

private:
    std::vector<DownloadItemPtr> m_items;
    std::size_t m_next = 0;
};

DownloadItemPtr MakeItem(int id, const std::string& name, const std::string& url)
{
    auto item = std::make_shared<CDownloadItem>();
    item->SetId(id);
    item->SetFileName(name);
    item->SetURL(url);
    item->SetLinkKind(LK_IMAGE);
    return item;
}

TEST_F(Engine, NeverRunsMoreTransfersThanSlotsAndStartsThemInLinkOrder)
{
    std::vector<DownloadItemPtr> items;
    for (int i = 0; i < 10; ++i) {
        const std::string name = "t" + std::to_string(i) + ".bin";
        server.AddRoute("/" + name, qtest::routes::Trickle(Bytes(8000, 'k'), 2000, 5ms, "application/octet-stream"));
        items.push_back(MakeItem(i, name, server.Url("/" + name)));
    }
    WatchingClient client(items);
    CDownloadItemFetcher fetcher(&client);
    client.fetcher = &fetcher;
    SaveSettings save;
    save.m_downloadFolder = folder.Dir();
    save.m_nMaxConcurrentDownloads = 3;
    fetcher.SetSaveSettings(save);

    EXPECT_EQ(fetcher.RunDownloads(&client), RR_COMPLETED);
    EXPECT_EQ(client.maxInProgress, 3);
    std::vector<int> expected{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(client.startOrder, expected);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(items[static_cast<std::size_t>(i)]->GetStatus(), DIS_COMPLETED);
        EXPECT_EQ(folder.Read("t" + std::to_string(i) + ".bin"), Bytes(8000, 'k'));
    }
}

TEST_F(Engine, SavePoliciesDecideWhatHappensToAnExistingName)
{
    const std::string body = Bytes(5000, 'n');
    server.AddFile("/a.jpg", body, "image/jpeg");
    server.AddFile("/page.html", Page({"a.jpg"}));

    struct Case {
        FileSavePolicy policy;
        DownloadItemStatus status;
        std::string fileName;
        std::string info;
        std::string aContent; // what a.jpg holds afterwards
    };
    const std::vector<Case> cases{
        {FSP_RENAME, DIS_COMPLETED, "a(1).jpg", "Completed", "old"},
        {FSP_OVERWRITE, DIS_COMPLETED, "a.jpg", "Completed", body},
        {FSP_SKIP, DIS_SKIPPED, "a.jpg", "Download skipped because file already exists in download folder", "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.policy);
        for (const auto& e : fs::directory_iterator(folder.Path()))
            fs::remove(e.path());
        folder.Write("a.jpg", "old");
        folder.Write("a(0).jpg", "old0");

        ASSERT_EQ(Run("/page.html", Options(), c.policy), DS_COMPLETED);
        ASSERT_EQ(engine->GetState(true), DS_COMPLETED);
        const auto items = Items();
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0]->GetStatus(), c.status);
        EXPECT_EQ(items[0]->GetFileName(), c.fileName);
        EXPECT_EQ(items[0]->GetStatusInfo(), "Filename: " + c.fileName + "\r\nInfo: " + c.info + ".");
        EXPECT_EQ(folder.Read("a.jpg"), c.aContent);
        EXPECT_EQ(folder.Read("a(0).jpg"), "old0");
        if (c.policy == FSP_RENAME)
            EXPECT_EQ(folder.Read("a(1).jpg"), body);
        else
            EXPECT_FALSE(folder.Has("a(1).jpg"));
    }
}

TEST_F(Engine, EachFailedFileEndsWithItsOwnStatusAndText)
{
    server.AddStatus("/missing.jpg", 404);
    server.AddRoute("/big.bin", qtest::routes::Generated(2 * 1024 * 1024, 'b', "application/octet-stream"));
    server.AddRoute("/cut.jpg", qtest::routes::DropMidBody(Bytes(200000, 'c'), 50000, false, "image/jpeg"));
    server.AddRoute("/empty.png", qtest::routes::Empty("image/png"));
    server.AddFile("/ok.jpg", "fine", "image/jpeg");
    server.AddFile("/page.html", Page({"missing.jpg", "big.bin", "cut.jpg", "empty.png", "ok.jpg"}));

    ConfigOptions options = Options();
    options.m_nMaxSize = 1;
    options.m_maxSizeUnits = SU_MB;
    ASSERT_EQ(Run("/page.html", options), DS_COMPLETED);

    struct Expect {
        DownloadItemStatus status;
        const char* info;
    };
    const std::map<std::string, Expect> expected{
        {"missing.jpg", {DIS_ERRORED, "HTTP error.  Requested file may not be present on server"}},
        {"big.bin", {DIS_SKIPPED, "Download skipped because file size was either too small or too large"}},
        {"cut.jpg", {DIS_ERRORED, "Errored"}},
        {"empty.png", {DIS_COMPLETED, "Completed"}},
        {"ok.jpg", {DIS_COMPLETED, "Completed"}},
    };
    const auto items = Items();
    ASSERT_EQ(items.size(), expected.size());
    for (const auto& item : items) {
        const Expect& e = expected.at(item->GetFileName());
        EXPECT_EQ(item->GetStatus(), e.status) << item->GetFileName();
        EXPECT_EQ(item->GetStatusInfo(), "Filename: " + item->GetFileName() + "\r\nInfo: " + e.info + ".");
    }
    EXPECT_FALSE(folder.Has("missing.jpg"));
    EXPECT_FALSE(folder.Has("big.bin"));
    EXPECT_FALSE(folder.Has("cut.jpg"));
    ASSERT_TRUE(folder.Has("empty.png"));
    EXPECT_EQ(fs::file_size(folder.Path() / "empty.png"), 0u);
    EXPECT_EQ(folder.Read("ok.jpg"), "fine");
}

TEST_F(Engine, FailedFinalMoveIsAnErrorAndLeavesNoTemporaryFile)
{
    server.AddFile("/a.jpg", "data", "image/jpeg");
    server.AddFile("/page.html", Page({"a.jpg"}));
    // A folder holding the final name cannot be replaced by a file.
    fs::create_directories(folder.Path() / "a.jpg" / "inside");

    ASSERT_EQ(Run("/page.html", Options(), FSP_OVERWRITE), DS_COMPLETED);
    const auto items = Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->GetStatus(), DIS_ERRORED);
    EXPECT_EQ(items[0]->GetStatusInfo(), "Filename: a.jpg\r\nInfo: Unknown error while attempting to save file.");
    EXPECT_TRUE(fs::is_directory(folder.Path() / "a.jpg" / "inside"));
}

TEST_F(Engine, CancelledQueuedItemNeverStarts)
{
    server.AddRoute("/first.jpg", qtest::routes::StallBeforeResponse("first", "image/jpeg"));
    server.AddFile("/second.jpg", "second", "image/jpeg");
    server.AddFile("/third.jpg", "third", "image/jpeg");
    server.AddFile("/page.html", Page({"first.jpg", "second.jpg", "third.jpg"}));

    Start("/page.html", Options(), FSP_RENAME, 1);
    ASSERT_TRUE(server.WaitForStalled("/first.jpg"));
    ASSERT_TRUE(qtest::WaitFor([&] { return Snapshot().size() == 3; }));
    engine->CancelDownloadItems({1});
    server.Release("/first.jpg");
    ASSERT_EQ(WaitFinal(), DS_COMPLETED);

    const auto items = Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->GetStatus(), DIS_COMPLETED);
    EXPECT_EQ(items[1]->GetStatus(), DIS_CANCELLED);
    EXPECT_EQ(items[1]->GetStatusInfo(), "Filename: second.jpg\r\nInfo: User cancelled.");
    EXPECT_EQ(items[2]->GetStatus(), DIS_COMPLETED);
    EXPECT_EQ(server.RequestCount("/second.jpg"), 0u);
    EXPECT_FALSE(folder.Has("second.jpg"));
}

TEST_F(Engine, CancelDuringThePageFetchEndsPromptly)
{
    server.AddRoute("/page.html", qtest::routes::StallBeforeResponse(Page({"a.jpg"})));
    Start("/page.html", Options());
    ASSERT_TRUE(server.WaitForStalled("/page.html"));
    engine->Cancel();
    EXPECT_EQ(WaitFinal(), DS_PAGE_CANCELLED);
    // The stall lasts until released: the job ended without waiting for the server.
    EXPECT_EQ(server.StalledCount("/page.html"), 1);
    EXPECT_TRUE(Items().empty());
}

TEST_F(Engine, CancelDuringDownloadsCancelsEveryUnfinishedItem)
{
    std::vector<std::string> links;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "s" + std::to_string(i) + ".jpg";
        server.AddRoute("/" + name, qtest::routes::StallMidBody(Bytes(100000, 's'), 30000, "image/jpeg"));
        links.push_back(name);
    }
    server.AddFile("/page.html", Page(links));
    Start("/page.html", Options(), FSP_RENAME, 2);
    ASSERT_TRUE(server.WaitForStalled("/s0.jpg"));
    ASSERT_TRUE(server.WaitForStalled("/s1.jpg"));
    // The stalled transfers have written into their temporary files by now.
    ASSERT_TRUE(qtest::WaitFor([&] { return TempFiles(folder.Path()).size() == 2; }));

    engine->Cancel();
    EXPECT_EQ(WaitFinal(), DS_DOWNLOADS_CANCELLED);
    EXPECT_EQ(server.StalledCount("/s0.jpg"), 1) << "the cancel did not wait for the stalled transfers";
    EXPECT_EQ(server.StalledCount("/s1.jpg"), 1);
    for (const auto& item : Items()) {
        EXPECT_EQ(item->GetStatus(), DIS_CANCELLED) << item->GetFileName();
        EXPECT_EQ(item->GetStatusInfo(), "Filename: " + item->GetFileName() + "\r\nInfo: User cancelled.");
    }
    EXPECT_TRUE(TempFiles(folder.Path()).empty());

    // Busy until the final state is acknowledged.
    EXPECT_EQ(ThrownText([&] { engine->SetDownloadFilter(CDownloadFilter()); }),
              "Attempt to set download filter when downloader not idle");
    EXPECT_EQ(engine->GetState(true), DS_DOWNLOADS_CANCELLED);
    EXPECT_NO_THROW(engine->SetDownloadFilter(CDownloadFilter()));
}

TEST_F(Engine, CancelAfterAFileIsSavedKeepsItCompleted)
{
    server.AddFile("/done.jpg", Bytes(3000, 'd'), "image/jpeg");
    server.AddRoute("/slow.jpg", qtest::routes::StallMidBody(Bytes(100000, 's'), 30000, "image/jpeg"));
    std::vector<DownloadItemPtr> items{MakeItem(0, "done.jpg", server.Url("/done.jpg")),
                                       MakeItem(1, "slow.jpg", server.Url("/slow.jpg"))};
    WatchingClient client(items);
    client.stopOnceCompleted = true;
    CDownloadItemFetcher fetcher(&client);
    client.fetcher = &fetcher;
    SaveSettings save;
    save.m_downloadFolder = folder.Dir();
    save.m_nMaxConcurrentDownloads = 2;
    fetcher.SetSaveSettings(save);

    EXPECT_EQ(fetcher.RunDownloads(&client), RR_CANCELLED);
    // The saved file is whole: its item must not turn Errored when libcurl reports the
    // cancelled transfer.
    EXPECT_EQ(items[0]->GetStatus(), DIS_COMPLETED) << items[0]->GetStatusInfo();
    EXPECT_EQ(folder.Read("done.jpg"), Bytes(3000, 'd'));
    EXPECT_EQ(items[1]->GetStatus(), DIS_CANCELLED);
    EXPECT_TRUE(TempFiles(folder.Path()).empty());
}

TEST_F(Engine, ShortChunkedFileFreesItsSlotBesideALongOne)
{
    server.AddRoute("/long.bin", qtest::routes::StallMidBody(Bytes(50000, 'l'), 1000, "application/octet-stream"));
    qtest::HttpRoute shortRoute = qtest::routes::Chunked(Bytes(3000, 'h'), 1000, "application/octet-stream");
    server.AddRoute("/short.bin", shortRoute);
    server.AddRoute("/next.bin", qtest::routes::Chunked(Bytes(2000, 'x'), 500, "application/octet-stream"));
    server.AddFile("/page.html", Page({"long.bin", "short.bin", "next.bin"}));

    Start("/page.html", Options(), FSP_RENAME, 2);
    ASSERT_TRUE(server.WaitForStalled("/long.bin"));
    // The third file gets the slot of the short one while the long one still waits.
    ASSERT_TRUE(qtest::WaitFor([&] {
        auto s = Snapshot();
        return s.count(2) && s[2] == DIS_COMPLETED;
    }));
    EXPECT_EQ(Snapshot()[1], DIS_COMPLETED);
    EXPECT_EQ(Snapshot()[0], DIS_IN_PROGRESS);
    EXPECT_EQ(folder.Read("next.bin"), Bytes(2000, 'x'));
    server.Release("/long.bin");
    ASSERT_EQ(WaitFinal(), DS_COMPLETED);
    EXPECT_EQ(folder.Read("long.bin"), Bytes(50000, 'l'));
}

TEST_F(Engine, ReusesConnectionsToOneServer)
{
    std::vector<std::string> links;
    for (int i = 0; i < 50; ++i) {
        const std::string name = "r" + std::to_string(i) + ".jpg";
        server.AddFile("/" + name, Bytes(2000, 'r'), "image/jpeg");
        links.push_back(name);
    }
    server.AddFile("/page.html", Page(links));
    ASSERT_EQ(Run("/page.html", Options(), FSP_RENAME, 3), DS_COMPLETED);
    EXPECT_EQ(Items().size(), 50u);
    // The page fetch has a connection of its own; the files share at most three.
    EXPECT_LE(server.ConnectionCount(), 4u) << server.ConnectionCount();
    RecordProperty("connections", static_cast<int>(server.ConnectionCount()));
}

TEST_F(Engine, AcceptanceRules)
{
    server.AddFile("/IMG_1.JPG", "upper", "image/jpeg");
    server.AddFile("/a.jpg", "a", "image/jpeg");
    server.AddFile("/b.htm", "<html></html>");
    server.AddFile("/page.html", Page({"IMG_1.JPG", "a.jpg", "a.jpg", "b.htm"}));

    // Before any options the built-in filter takes .jpg and refuses .htm.
    engine->ClearDownloadItems();
    SaveSettings save;
    save.m_downloadFolder = folder.Dir();
    engine->SetSaveSettings(save);
    engine->GotoURL(server.Url("/page.html"));
    ASSERT_EQ(WaitFinal(), DS_COMPLETED);
    auto items = Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->GetFileName(), "IMG_1.JPG");
    EXPECT_EQ(items[1]->GetFileName(), "a.jpg");
    EXPECT_EQ(folder.Read("IMG_1.JPG"), "upper");
    ASSERT_EQ(engine->GetState(true), DS_COMPLETED);

    // A type stored in upper case still means that type, for links in either case.
    ASSERT_EQ(Run("/page.html", Options({"*.JPG"}), FSP_OVERWRITE), DS_COMPLETED);
    items = Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->GetFileName(), "IMG_1.JPG");
    EXPECT_EQ(items[1]->GetFileName(), "a.jpg");
    ASSERT_EQ(engine->GetState(true), DS_COMPLETED);

    // The seen set and the ids start afresh with every job; only checked types pass.
    ASSERT_EQ(Run("/page.html", Options({"*.htm"}), FSP_OVERWRITE), DS_COMPLETED);
    items = Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->GetId(), 0);
    EXPECT_EQ(items[0]->GetFileName(), "b.htm");
}

TEST_F(Engine, MisuseThrowsTheControllersTexts)
{
    EXPECT_EQ(ThrownText([&] { engine->GotoURL(""); }), "Empty URL passed into GotoURL!");
    EXPECT_EQ(engine->GetState(false), DS_IDLE);
    EXPECT_EQ(ThrownText([&] { engine->SetDownloadFolder(HELPERS::WinDirectory("")); }),
              "Download folder argument was empty!");

    server.AddRoute("/page.html", qtest::routes::StallBeforeResponse(Page({"a.jpg"})));
    Start("/page.html", Options());
    ASSERT_TRUE(server.WaitForStalled("/page.html"));
    EXPECT_EQ(ThrownText([&] { engine->GotoURL(server.Url("/page.html")); }),
              "GotoURL called when downloader NOT idle!");
    EXPECT_EQ(ThrownText([&] { engine->SetConnectionSettings(ConnectionSettings()); }),
              "Attempt to set user agent when downloader not idle");
    EXPECT_EQ(ThrownText([&] { engine->SetDownloadFolder(HELPERS::WinDirectory("/x/")); }),
              "Attempt to set download folder when downloader not idle");
    // Acknowledging a running job changes nothing.
    EXPECT_EQ(engine->GetState(true), DS_FETCHING_PAGE);
    server.Release("/page.html");
    EXPECT_EQ(WaitFinal(), DS_COMPLETED);
}

TEST_F(Engine, PageFailuresEndTheJobAndSayWhy)
{
    server.AddStatus("/gone.html", 404);
    server.AddFile("/picture.html", "GIF89a", "image/gif");
    const std::pair<const char*, const char*> cases[] = {
        {"/gone.html", "HTTP status 404"},
        {"/picture.html", "not an HTML page (Content-Type: image/gif)"},
    };
    for (const auto& [path, reason] : cases) {
        ASSERT_EQ(Run(path, Options()), DS_PAGE_FAILED) << path;
        EXPECT_EQ(engine->GetCurrentURL(), server.Url(path));
        EXPECT_EQ(engine->GetPageFailureReason(), reason);
        EXPECT_EQ(engine->GetState(true), DS_PAGE_FAILED);
        EXPECT_EQ(engine->GetState(false), DS_IDLE);
    }

    // Nothing listens on a port the server had: libcurl's own words.
    int closedPort = 0;
    {
        qtest::TestHttpServer gone;
        closedPort = gone.Port();
    }
    engine->ClearDownloadItems();
    engine->GotoURL("http://127.0.0.1:" + std::to_string(closedPort) + "/x.html");
    ASSERT_EQ(WaitFinal(), DS_PAGE_FAILED);
    EXPECT_NE(engine->GetPageFailureReason().find("127.0.0.1"), std::string::npos) << engine->GetPageFailureReason();
    engine->GetState(true);

    // A later success clears the reason.
    server.AddFile("/empty.html", "<html></html>");
    ASSERT_EQ(Run("/empty.html", Options()), DS_COMPLETED);
    EXPECT_EQ(engine->GetPageFailureReason(), "");
}

TEST_F(Engine, NegativeSizeInTheOptionsIsRefused)
{
    ConfigOptions options = Options();
    options.m_nMinSize = -1;
    EXPECT_EQ(ThrownText([&] { engine->SetConfigOptions(options); }), "Bad min file size");
}

} // namespace

namespace {

TEST_F(Engine, MissingDownloadFolderFailsEachFileNotTheJob)
{
    server.AddFile("/a.jpg", "data", "image/jpeg");
    server.AddFile("/page.html", Page({"a.jpg"}));
    engine->SetConfigOptions(Options());
    SaveSettings save;
    save.m_downloadFolder = folder.Dir() + "not-there/";
    engine->SetSaveSettings(save);
    engine->GotoURL(server.Url("/page.html"));
    ASSERT_EQ(WaitFinal(), DS_COMPLETED);
    const auto items = Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->GetStatus(), DIS_ERRORED);
    EXPECT_EQ(items[0]->GetStatusInfo(), "Filename: a.jpg\r\nInfo: Could not create temporary file to save contents.");
}

} // namespace

namespace {

TEST_F(Engine, SizeLimitsApplyToFilesNotToErrorPages)
{
    server.AddRoute("/missing.jpg", qtest::routes::Status(404, "<html>not here</html>"));
    server.AddFile("/tiny.jpg", "0123456789", "image/jpeg");
    server.AddFile("/page.html", Page({"missing.jpg", "tiny.jpg"}));
    ConfigOptions options = Options();
    options.m_nMinSize = 1;
    options.m_minSizeUnits = SU_KB;
    ASSERT_EQ(Run("/page.html", options), DS_COMPLETED);
    const auto items = Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->GetStatus(), DIS_ERRORED);
    EXPECT_EQ(items[0]->GetStatusInfo(),
              "Filename: missing.jpg\r\nInfo: HTTP error.  Requested file may not be present on server.");
    EXPECT_EQ(items[1]->GetStatus(), DIS_SKIPPED);
    EXPECT_EQ(items[1]->GetFileSize(), 10);
}

} // namespace

// Faults of the file side: every failed or skipped item gives its slot back at once, so a
// job always ends, whatever the disk does.
namespace {

// Lowers the largest file this process may write, so that writes fail part-way as on a
// full disk; restores it afterwards.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
        rlimit lowered = m_old;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    sighandler_t m_oldHandler = SIG_DFL;
};

TEST_F(Engine, ItemsThatCannotBeWrittenFreeTheirSlotAndKeepTheirReason)
{
    std::vector<std::string> links;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "w" + std::to_string(i) + ".bin";
        server.AddFile("/" + name, Bytes(300000, 'w'), "application/octet-stream");
        links.push_back(name);
    }
    server.AddFile("/page.html", Page(links));
    folder.Write("plain-file", "not a folder");

    enum Fault { MissingFolder, FolderIsAFile, WriteFailsPartWay };
    for (const Fault fault : {MissingFolder, FolderIsAFile, WriteFailsPartWay}) {
        SCOPED_TRACE(fault);
        ConfigOptions options = Options();
        engine->ClearDownloadItems();
        engine->SetConfigOptions(options);
        SaveSettings save;
        save.m_downloadFolder = fault == MissingFolder   ? folder.Dir() + "gone/"
                                : fault == FolderIsAFile ? folder.Dir() + "plain-file/"
                                                         : folder.Dir();
        save.m_nMaxConcurrentDownloads = 1; // one stuck item would hold the only slot
        engine->SetSaveSettings(save);
        std::optional<FileSizeLimit> limit;
        if (fault == WriteFailsPartWay)
            limit.emplace(64 * 1024);
        engine->GotoURL(server.Url("/page.html"));
        ASSERT_EQ(WaitFinal(), DS_COMPLETED);
        limit.reset();

        const auto items = Items();
        ASSERT_EQ(items.size(), 4u);
        for (const auto& item : items) {
            EXPECT_EQ(item->GetStatus(), DIS_ERRORED) << item->GetFileName();
            EXPECT_EQ(item->GetStatusInfo(), "Filename: " + item->GetFileName() +
                                                 "\r\nInfo: Could not create temporary file to save contents.");
        }
        EXPECT_TRUE(TempFiles(folder.Path()).empty());
        EXPECT_FALSE(folder.Has("w0.bin"));
        ASSERT_EQ(engine->GetState(true), DS_COMPLETED);
    }
}

TEST_F(Engine, FileLinksFollowOnlyWebRedirects)
{
    // A second server stands where the ftp:// redirect points; it must never see a
    // connection.
    qtest::TestHttpServer elsewhere;
    const std::string ftp = "ftp://127.0.0.1:" + std::to_string(elsewhere.Port()) + "/a.jpg";
    server.AddRedirect("/a.jpg", ftp);
    server.AddRedirect("/b.jpg", "file:///etc/hostname");
    server.AddRedirect("/c.jpg", "/real.jpg");
    server.AddFile("/real.jpg", "real", "image/jpeg");
    server.AddFile("/page.html", Page({"a.jpg", "b.jpg", "c.jpg"}));
    ASSERT_EQ(Run("/page.html", Options()), DS_COMPLETED);
    const auto items = Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->GetStatus(), DIS_ERRORED);
    EXPECT_EQ(items[1]->GetStatus(), DIS_ERRORED);
    EXPECT_EQ(items[2]->GetStatus(), DIS_COMPLETED);
    EXPECT_EQ(folder.Read("c.jpg"), "real");
    EXPECT_FALSE(folder.Has("b.jpg"));
    EXPECT_EQ(elsewhere.ConnectionCount(), 0u);
}

TEST_F(Engine, SizeRangeHoldsForBodiesOfUnannouncedSize)
{
    using qtest::routes::Chunked;
    // 64 MiB without a length: stopped once past the maximum, long before the end.
    qtest::HttpRoute endless;
    endless.contentType = "application/octet-stream";
    endless.chunked = true;
    endless.generatedSize = std::uint64_t(64) << 20;
    server.AddRoute("/endless.bin", endless);
    server.AddRoute("/small.bin", Chunked(Bytes(10 * 1024, 's'), 4096, "application/octet-stream"));
    server.AddRoute("/fits.bin", Chunked(Bytes(100 * 1024, 'f'), 4096, "application/octet-stream"));
    server.AddRoute("/empty.bin", qtest::routes::Empty());
    server.AddFile("/page.html", Page({"endless.bin", "small.bin", "fits.bin", "empty.bin"}));

    ConfigOptions options = Options();
    options.m_nMinSize = 50;
    options.m_minSizeUnits = SU_KB;
    options.m_nMaxSize = 1;
    options.m_maxSizeUnits = SU_MB;
    ASSERT_EQ(Run("/page.html", options), DS_COMPLETED);

    const std::map<std::string, DownloadItemStatus> expected = {{"endless.bin", DIS_SKIPPED},
                                                                {"small.bin", DIS_SKIPPED},
                                                                {"fits.bin", DIS_COMPLETED},
                                                                {"empty.bin", DIS_SKIPPED}};
    for (const auto& item : Items()) {
        SCOPED_TRACE(item->GetFileName());
        EXPECT_EQ(item->GetStatus(), expected.at(item->GetFileName()));
        if (item->GetStatus() == DIS_SKIPPED) {
            EXPECT_EQ(item->GetStatusInfo(),
                      "Filename: " + item->GetFileName() +
                          "\r\nInfo: Download skipped because file size was either too small or too large.");
            EXPECT_FALSE(folder.Has(item->GetFileName()));
        }
    }
    EXPECT_EQ(folder.Read("fits.bin"), Bytes(100 * 1024, 'f'));
    const auto endlessItem = Items()[0];
    EXPECT_LT(endlessItem->GetBytesTransferred(), 8 << 20) << "the body was not stopped at the maximum";
}

TEST_F(Engine, ConcurrencyBelowOneCountsAsOne)
{
    server.AddFile("/a.jpg", "a", "image/jpeg");
    server.AddFile("/b.jpg", "b", "image/jpeg");
    server.AddFile("/page.html", Page({"a.jpg", "b.jpg"}));
    for (const int slots : {0, -3}) {
        SCOPED_TRACE(slots);
        ASSERT_EQ(Run("/page.html", Options(), FSP_OVERWRITE, slots), DS_COMPLETED);
        for (const auto& item : Items())
            EXPECT_EQ(item->GetStatus(), DIS_COMPLETED) << item->GetFileName();
        ASSERT_EQ(engine->GetState(true), DS_COMPLETED);
    }
}

TEST_F(Engine, HttpLibraryStaysUpUntilTheJobLetsGo)
{
    // Idempotent: a second Init needs no second Cleanup.
    ASSERT_TRUE(InitHttpLibrary());
    ASSERT_TRUE(InitHttpLibrary());
    CleanupHttpLibrary();
    EXPECT_FALSE(IsHttpLibraryUp());
    ASSERT_TRUE(InitHttpLibrary());

    server.AddRoute("/slow.jpg", qtest::routes::StallMidBody(Bytes(50000, 'l'), 10000, "image/jpeg"));
    server.AddFile("/page.html", Page({"slow.jpg"}));
    Start("/page.html", Options());
    ASSERT_TRUE(server.WaitForStalled("/slow.jpg"));

    // A front end that cleans up early must not pull libcurl from under the transfer.
    CleanupHttpLibrary();
    EXPECT_TRUE(IsHttpLibraryUp());
    EXPECT_EQ(HttpLibraryUsers(), 1);
    server.Release("/slow.jpg");
    ASSERT_EQ(WaitFinal(), DS_COMPLETED);
    EXPECT_EQ(Items()[0]->GetStatus(), DIS_COMPLETED);
    // The worker let go before it published the final state.
    EXPECT_EQ(HttpLibraryUsers(), 0);
    EXPECT_FALSE(IsHttpLibraryUp());
    ASSERT_TRUE(InitHttpLibrary()); // for TearDown's own cleanup
}

} // namespace

namespace {

TEST_F(Engine, UserAgentWithControlCharactersNeverReachesTheWire)
{
    server.AddFile("/a.jpg", "a", "image/jpeg");
    server.AddFile("/page.html", Page({"a.jpg"}));
    for (const std::string& agent :
         {std::string("x\r\nX-Injected: 1"), std::string("tab\there"), std::string("Quarrow/1.2")}) {
        SCOPED_TRACE(agent);
        ConfigOptions options = Options();
        options.m_userAgent = agent;
        ASSERT_EQ(Run("/page.html", options, FSP_OVERWRITE), DS_COMPLETED);
        const std::string sent = agent == "Quarrow/1.2" ? agent : "Mozilla Firefox";
        for (const char* path : {"/page.html", "/a.jpg"}) {
            EXPECT_EQ(server.LastRequestHeader(path, "User-Agent"), sent) << path;
            EXPECT_EQ(server.LastRequestHeader(path, "X-Injected"), "") << path;
        }
        ASSERT_EQ(engine->GetState(true), DS_COMPLETED);
    }
}

} // namespace
