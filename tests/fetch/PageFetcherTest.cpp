#include "fetch/HtmlPageFetcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "fetch/CurlWait.h"
#include "support/Sandbox.h"
#include "support/TestHttpServer.h"

namespace {

using namespace std::chrono_literals;
using qtest::HttpRoute;
using qtest::TestHttpServer;
namespace routes = qtest::routes;

// Says "go on" until the test cancels; counts how often it was asked.
class TestClient : public IHtmlPageFetcherClient {
public:
    bool ShouldContinue() override
    {
        ++m_calls;
        const bool keepGoing = m_keepGoing.load();
        if (!keepGoing)
            ++m_callsAfterCancel;
        return keepGoing;
    }
    void Cancel() { m_keepGoing = false; }
    int Calls() const { return m_calls.load(); }
    // How often the fetcher asked once the answer was no.
    int CallsAfterCancel() const { return m_callsAfterCancel.load(); }

private:
    std::atomic<bool> m_keepGoing{true};
    std::atomic<int> m_calls{0};
    std::atomic<int> m_callsAfterCancel{0};
};

const std::string kPage = "<html><body><img src=\"a.jpg\"><a href='b.zip'>b</a></body></html>";

std::string Text(const std::vector<char>& body) { return std::string(body.begin(), body.end()); }

class PageFetcherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { curl_global_init(CURL_GLOBAL_ALL); }
    static void TearDownTestSuite() { curl_global_cleanup(); }

    FetchResult Fetch(std::string& url) { return m_fetcher.FetchPage(url, m_body); }
    FetchResult Fetch(const std::string& path, std::string* finalUrl = nullptr)
    {
        std::string url = m_server.Url(path);
        const FetchResult r = Fetch(url);
        if (finalUrl)
            *finalUrl = url;
        return r;
    }

    TestHttpServer m_server;
    TestClient m_client;
    CHtmlPageFetcher m_fetcher{&m_client};
    std::vector<char> m_body;
};

TEST_F(PageFetcherTest, TwoStepRedirectYieldsBodyAndFinalAddress)
{
    m_server.AddRedirect("/start", "/middle");
    m_server.AddRedirect("/middle", m_server.Url("/dir/index.html"), 301);
    m_server.AddFile("/dir/index.html", kPage, "text/html; charset=utf-8");

    std::string url;
    EXPECT_EQ(FR_OK, Fetch("/start", &url));
    EXPECT_EQ(kPage, Text(m_body));
    EXPECT_EQ(m_server.Url("/dir/index.html"), url);
    EXPECT_EQ(1u, m_server.RequestCount("/middle"));
    // The settings reach the wire: user agent verbatim, referer set on redirects.
    EXPECT_EQ("Mozilla Firefox", m_server.LastRequestHeader("/dir/index.html", "User-Agent"));
    EXPECT_EQ(m_server.Url("/middle"), m_server.LastRequestHeader("/dir/index.html", "Referer"));
}

TEST_F(PageFetcherTest, ConnectionSettingsAreApplied)
{
    m_server.AddRedirect("/start", "/page.html");
    m_server.AddFile("/page.html", kPage);

    ConnectionSettings s;
    s.m_userAgent = "QuarrowTest/1.0 (x)";
    s.m_bAutoReferer = false;
    m_fetcher.SetConnectionSettings(s);
    std::string url;
    ASSERT_EQ(FR_OK, Fetch("/start", &url));
    EXPECT_EQ("QuarrowTest/1.0 (x)", m_server.LastRequestHeader("/page.html", "User-Agent"));
    EXPECT_EQ("", m_server.LastRequestHeader("/page.html", "Referer"));

    // Without following redirects the 302 itself ends the fetch: its body is empty.
    s.m_bFollowLocation = false;
    m_fetcher.SetConnectionSettings(s);
    url = m_server.Url("/start");
    EXPECT_EQ(FR_TRANSFER_FAILED, Fetch(url));
    EXPECT_EQ(m_server.Url("/start"), url);
    EXPECT_EQ(1u, m_server.RequestCount("/page.html"));

    // A chain longer than the redirect limit fails.
    s.m_bFollowLocation = true;
    s.m_nMaxRedirects = 2;
    m_fetcher.SetConnectionSettings(s);
    m_server.AddRedirect("/r1", "/r2");
    m_server.AddRedirect("/r2", "/r3");
    m_server.AddRedirect("/r3", "/page.html");
    EXPECT_EQ(FR_TRANSFER_FAILED, Fetch("/r1"));
    EXPECT_EQ(1u, m_server.RequestCount("/page.html"));
}

struct FailureCase {
    const char* name;
    HttpRoute route;
    FetchResult expected;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class PageFetcherFailureTest : public PageFetcherTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PageFetcherFailureTest, ReportsTheCodeAndKeepsTheAddress)
{
    m_server.AddRoute("/page", GetParam().route);
    std::string url = m_server.Url("/page");
    EXPECT_EQ(GetParam().expected, Fetch(url));
    EXPECT_EQ(m_server.Url("/page"), url);
    if (GetParam().expected != FR_TRANSFER_FAILED) {
        EXPECT_TRUE(m_body.empty());
    }
}

const std::string kBigBody(200 * 1024, 'x');

INSTANTIATE_TEST_SUITE_P(
    Codes, PageFetcherFailureTest,
    ::testing::Values(FailureCase{"NotFound", routes::Status(404, kPage), FR_TRANSFER_FAILED},
                      FailureCase{"ServerError", routes::Status(500, kPage), FR_TRANSFER_FAILED},
                      FailureCase{"EmptyBody", routes::Empty(), FR_TRANSFER_FAILED},
                      FailureCase{"DroppedMidBody", routes::DropMidBody(kBigBody, 1000), FR_TRANSFER_FAILED},
                      FailureCase{"DroppedMidChunkedBody", routes::DropMidBody(kBigBody, 1000, true),
                                  FR_TRANSFER_FAILED},
                      FailureCase{"ImageType", routes::File("\x89PNG....", "image/png"), FR_NOT_HTML},
                      FailureCase{"NoContentType", routes::File(kPage, ""), FR_NOT_HTML},
                      // The media type is compared case-sensitively.
                      FailureCase{"UpperCaseType", routes::File(kPage, "TEXT/HTML"), FR_NOT_HTML},
                      FailureCase{"XhtmlType", routes::File(kPage, "application/xhtml+xml"), FR_NOT_HTML},
                      // libcurl refuses more than 300 KiB of response headers by itself, before the
                      // default 1 MiB limit is reached; the fetcher reports that as the same fault.
                      FailureCase{"HeadersOverOneMiB", routes::HugeHeaders(1100 * 1024), FR_HEADERS_TOO_BIG},
                      // One header line past libcurl's own 100 KiB line limit is the same fault.
                      FailureCase{"OneHeaderLineOver100KiB",
                                  [] {
                                      auto r = routes::File(kPage);
                                      r.headers.emplace_back("X-Long", std::string(200 * 1024, 'h'));
                                      return r;
                                  }(),
                                  FR_HEADERS_TOO_BIG}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageFetcherTest, NonHtmlPageLeavesTheBodyEmpty)
{
    m_server.AddFile("/pic", std::string(100 * 1024, 'p'), "image/jpeg");
    m_body.assign(10, 'z'); // a previous page's bytes must not survive
    EXPECT_EQ(FR_NOT_HTML, Fetch("/pic"));
    EXPECT_TRUE(m_body.empty());
}

TEST_F(PageFetcherTest, AcceptsHtmlDeclaredByAnyResponseOfTheChain)
{
    // Header names are matched without regard to case, and parameters may follow.
    auto lower = routes::File(kPage, "");
    lower.headers.emplace_back("content-type", "text/html;charset=iso-8859-1");
    m_server.AddRoute("/lower", lower);
    EXPECT_EQ(FR_OK, Fetch("/lower"));

    // A text/html redirect response vouches for a final answer of another type.
    auto redirect = routes::Redirect("/plain");
    redirect.body = "<html>moved</html>";
    redirect.contentType = "text/html";
    m_server.AddRoute("/moved", redirect);
    m_server.AddFile("/plain", "just text", "text/plain");
    EXPECT_EQ(FR_OK, Fetch("/moved"));
    EXPECT_EQ("just text", Text(m_body));
}

TEST_F(PageFetcherTest, HeaderLimitComesFromTheSettings)
{
    m_server.AddRoute("/page", routes::HugeHeaders(200 * 1024, kPage));
    // The limit counts all responses of a redirect chain together.
    m_server.AddRoute("/chain", [] {
        auto r = routes::HugeHeaders(150 * 1024);
        r.status = 302;
        r.headers.emplace_back("Location", "/page");
        return r;
    }());

    EXPECT_EQ(FR_OK, Fetch("/page"));
    EXPECT_EQ(kPage, Text(m_body));

    ConnectionSettings s;
    s.m_nMaxHeaderBytes = 100 * 1024;
    m_fetcher.SetConnectionSettings(s);
    EXPECT_EQ(FR_HEADERS_TOO_BIG, Fetch("/page"));
    EXPECT_TRUE(m_body.empty());

    s.m_nMaxHeaderBytes = 250 * 1024;
    m_fetcher.SetConnectionSettings(s);
    EXPECT_EQ(FR_OK, Fetch("/page"));
    EXPECT_EQ(FR_HEADERS_TOO_BIG, Fetch("/chain"));
    EXPECT_EQ(1u, m_server.RequestCount("/chain"));
}

TEST_F(PageFetcherTest, ChunkedAndTricklingBodiesArriveWhole)
{
    std::string page = "<html>";
    for (int i = 0; i < 5000; ++i)
        page += "<img src=\"p" + std::to_string(i) + ".jpg\">";
    page += "</html>";
    m_server.AddRoute("/chunked", routes::Chunked(page, 777));
    m_server.AddRoute("/slow", routes::Trickle(kPage, 16, 5ms));

    EXPECT_EQ(FR_OK, Fetch("/chunked"));
    EXPECT_EQ(page, Text(m_body));
    EXPECT_EQ(FR_OK, Fetch("/slow"));
    EXPECT_EQ(kPage, Text(m_body));
}

TEST_F(PageFetcherTest, BodyPastTheBoundEndsTheFetch)
{
    const auto bound = CHtmlPageFetcher::kMaxPageBytes;
    m_server.AddRoute("/at", routes::Generated(bound, 'a'));
    m_server.AddRoute("/past", routes::Generated(bound + 1, 'a'));

    EXPECT_EQ(FR_OK, Fetch("/at"));
    EXPECT_EQ(bound, m_body.size());
    std::string url = m_server.Url("/past");
    EXPECT_EQ(FR_TRANSFER_FAILED, Fetch(url));
    EXPECT_LE(m_body.size(), bound);
    EXPECT_EQ(m_server.Url("/past"), url);
}

TEST_F(PageFetcherTest, UnreachableServerAndBadAddressesFail)
{
    TestHttpServer gone;
    const std::string goneUrl = gone.Url("/x.html");
    gone.Stop();
    std::string url = goneUrl;
    EXPECT_EQ(FR_TRANSFER_FAILED, Fetch(url));
    EXPECT_EQ(goneUrl, url);

    // Local files and other protocols are never read as a page.
    qtest::TempFolder dir;
    dir.Write("page.html", kPage);
    for (std::string bad : {"file://" + (dir.Path() / "page.html").string(), std::string("ftp://127.0.0.1:1/a.html"),
                            std::string("not an address")}) {
        const std::string before = bad;
        EXPECT_EQ(FR_TRANSFER_FAILED, Fetch(bad)) << before;
        EXPECT_EQ(before, bad);
        EXPECT_TRUE(m_body.empty()) << before;
    }
    m_server.AddRedirect("/tofile", "file://" + (dir.Path() / "page.html").string());
    EXPECT_EQ(FR_TRANSFER_FAILED, Fetch("/tofile"));
    EXPECT_TRUE(m_body.empty());
}

TEST_F(PageFetcherTest, HttpsCertificatesAreChecked)
{
    // The test server's certificate is self-signed, so a fetch that checks certificates
    // must refuse it, directly and after a redirect from http.
    TestHttpServer tls(TestHttpServer::Options{.tls = true});
    tls.AddFile("/page.html", kPage);
    m_server.AddRedirect("/secure", tls.Url("/page.html"));

    std::string url = tls.Url("/page.html");
    EXPECT_EQ(FR_TRANSFER_FAILED, Fetch(url));
    EXPECT_EQ(FR_TRANSFER_FAILED, Fetch("/secure"));
    EXPECT_EQ(1u, m_server.RequestCount("/secure"));
    EXPECT_TRUE(m_body.empty());
    // The TLS handshake failed before any request was made.
    EXPECT_EQ(0u, tls.RequestCount("/page.html"));
    EXPECT_GE(tls.ConnectionCount(), 2u);
}

// Cancelling while the server sends nothing ends the fetch at the next check, one wait slice
// at most. Told by the order of events, not by the clock: a fetcher that went on waiting
// for the stalled server would keep asking, once per slice, for seconds.
class PageFetcherCancelTest : public PageFetcherTest, public ::testing::WithParamInterface<int> {};

TEST_P(PageFetcherCancelTest, StalledServerIsCancelledWithinOneSlice)
{
    const int respFactor = GetParam();
    ConnectionSettings s;
    s.m_respFactor = respFactor;
    m_fetcher.SetConnectionSettings(s);
    m_server.AddRoute("/stall", routes::StallBeforeResponse(kPage));
    m_server.AddRoute("/stallBody", routes::StallMidBody(kBigBody, 5000));

    for (const char* path : {"/stall", "/stallBody"}) {
        TestClient client;
        CHtmlPageFetcher fetcher(&client);
        fetcher.SetConnectionSettings(s);
        std::vector<char> body;
        std::string url = m_server.Url(path);
        auto result = std::async(std::launch::async, [&] { return fetcher.FetchPage(url, body); });
        ASSERT_TRUE(m_server.WaitForStalled(path)) << path;
        // Let the fetcher settle into its wait loop on the silent connection.
        std::this_thread::sleep_for(3 * WaitSliceFor(respFactor));
        const int callsBefore = client.Calls();
        EXPECT_GE(callsBefore, 2) << "the client is asked while nothing arrives: " << path;

        client.Cancel();
        ASSERT_EQ(std::future_status::ready, result.wait_for(10s)) << path;
        EXPECT_EQ(FR_CANCELLED, result.get()) << path;
        // The loop's check and libcurl's progress callback may both hear the no once.
        EXPECT_GE(client.CallsAfterCancel(), 1) << path;
        EXPECT_LE(client.CallsAfterCancel(), 2) << path;
        EXPECT_EQ(m_server.StalledCount(path), 1) << "the server was still holding the answer: " << path;
        EXPECT_EQ(m_server.Url(path), url);
    }
}

INSTANTIATE_TEST_SUITE_P(Slices, PageFetcherCancelTest, ::testing::Values(0, 1, 2));

TEST_F(PageFetcherTest, CancelledBeforeTheFirstByte)
{
    m_server.AddFile("/page", kPage);
    m_client.Cancel();
    EXPECT_EQ(FR_CANCELLED, Fetch("/page"));
    EXPECT_TRUE(m_body.empty());
}

TEST_F(PageFetcherTest, FetcherIsReusableAcrossPages)
{
    m_server.AddFile("/one.html", "<html>one</html>");
    m_server.AddFile("/two.html", "<html>two</html>");
    m_server.AddFile("/pic", "bytes", "image/gif");

    EXPECT_EQ(FR_OK, Fetch("/one.html"));
    EXPECT_EQ(FR_NOT_HTML, Fetch("/pic"));
    // The html header of the earlier fetch does not carry over.
    std::string url = m_server.Url("/two.html");
    EXPECT_EQ(FR_OK, Fetch(url));
    EXPECT_EQ("<html>two</html>", Text(m_body));
    // Handles are not kept between fetches: each fetch opens its own connection.
    EXPECT_EQ(3u, m_server.ConnectionCount());
}

} // namespace
