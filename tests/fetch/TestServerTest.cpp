// The test server's own routes, where the fetcher tests do not already pin them down.
#include "support/TestHttpServer.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using qtest::TestHttpServer;
namespace routes = qtest::routes;

struct Reply {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string headers;
    std::string body;
};

size_t Append(char* data, size_t size, size_t count, void* out)
{
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// A plain GET; pass `easy` to reuse one handle (and its connection) across requests.
Reply Get(const std::string& url, CURL* easy = nullptr)
{
    CURL* h = easy ? easy : curl_easy_init();
    Reply r;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &r.body);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Append);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &r.headers);
    r.code = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &r.status);
    if (!easy)
        curl_easy_cleanup(h);
    return r;
}

class TestServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { curl_global_init(CURL_GLOBAL_ALL); }
    static void TearDownTestSuite() { curl_global_cleanup(); }
    TestHttpServer m_server;
};

TEST_F(TestServerTest, StaticRoutesAndCounts)
{
    m_server.AddFile("/a.jpg", std::string("\xff\xd8 jpeg \0 bytes", 15), "image/jpeg");
    m_server.AddStatus("/gone", 404);
    m_server.AddRedirect("/old", "/a.jpg", 301);

    Reply r = Get(m_server.Url("/a.jpg?x=1"));
    EXPECT_EQ(200, r.status);
    EXPECT_EQ(std::string("\xff\xd8 jpeg \0 bytes", 15), r.body);
    EXPECT_NE(std::string::npos, r.headers.find("Content-Type: image/jpeg"));
    EXPECT_EQ(404, Get(m_server.Url("/gone")).status);
    EXPECT_EQ(404, Get(m_server.Url("/never-added")).status);
    r = Get(m_server.Url("/old"));
    EXPECT_EQ(301, r.status);
    EXPECT_NE(std::string::npos, r.headers.find("Location: /a.jpg"));

    EXPECT_EQ(1u, m_server.RequestCount("/a.jpg"));
    EXPECT_EQ(1u, m_server.RequestCount("/never-added"));
    EXPECT_EQ(4u, m_server.TotalRequestCount());
    EXPECT_EQ(4u, m_server.ConnectionCount());
}

TEST_F(TestServerTest, KeepAliveServesManyRequestsOnOneConnection)
{
    for (int i = 0; i < 50; ++i)
        m_server.AddFile("/f" + std::to_string(i) + ".bin", std::string(1000 + i, 'b'), "application/octet-stream");
    CURL* easy = curl_easy_init();
    for (int i = 0; i < 50; ++i) {
        const Reply r = Get(m_server.Url("/f" + std::to_string(i) + ".bin"), easy);
        ASSERT_EQ(CURLE_OK, r.code);
        EXPECT_EQ(static_cast<size_t>(1000 + i), r.body.size());
    }
    curl_easy_cleanup(easy);
    EXPECT_EQ(1u, m_server.ConnectionCount());
    EXPECT_EQ(50u, m_server.TotalRequestCount());
}

TEST_F(TestServerTest, StalledResponsesRunConcurrentlyAndResumeOnRelease)
{
    const std::string body(300 * 1024, 's');
    m_server.AddRoute("/held", routes::StallBeforeResponse(body));
    m_server.AddRoute("/half", routes::StallMidBody(body, 1000));

    std::vector<std::future<Reply>> replies;
    for (int i = 0; i < 6; ++i)
        replies.push_back(std::async(std::launch::async, [&] { return Get(m_server.Url("/held")); }));
    for (int i = 0; i < 3; ++i)
        replies.push_back(std::async(std::launch::async, [&] { return Get(m_server.Url("/half")); }));
    ASSERT_TRUE(m_server.WaitForStalled("/held", 6));
    ASSERT_TRUE(m_server.WaitForStalled("/half", 3));
    EXPECT_EQ(std::future_status::timeout, replies[0].wait_for(50ms));

    m_server.Release("/held");
    m_server.Release("/half");
    for (auto& f : replies) {
        ASSERT_EQ(std::future_status::ready, f.wait_for(10s));
        const Reply r = f.get();
        EXPECT_EQ(CURLE_OK, r.code);
        EXPECT_EQ(body, r.body);
    }
    EXPECT_EQ(0, m_server.StalledCount("/held"));
    // Once released, the path no longer stalls.
    EXPECT_EQ(body, Get(m_server.Url("/held")).body);
}

TEST_F(TestServerTest, StopIsPromptWhileHandlersAreStalled)
{
    auto server = std::make_unique<TestHttpServer>();
    server->AddRoute("/held", routes::StallBeforeResponse());
    server->AddRoute("/half", routes::StallMidBody(std::string(100000, 'x'), 10));
    server->AddRoute("/slow", routes::Trickle(std::string(1000, 'x'), 1, 1s));
    auto a = std::async(std::launch::async, [url = server->Url("/held")] { return Get(url); });
    auto b = std::async(std::launch::async, [url = server->Url("/half")] { return Get(url); });
    auto c = std::async(std::launch::async, [url = server->Url("/slow")] { return Get(url); });
    ASSERT_TRUE(server->WaitForStalled("/held"));
    ASSERT_TRUE(server->WaitForStalled("/half"));
    ASSERT_TRUE(qtest::WaitFor([&] { return server->RequestCount("/slow") == 1; }));

    auto stopped = std::async(std::launch::async, [&] { server.reset(); });
    ASSERT_EQ(std::future_status::ready, stopped.wait_for(5s));
    // The clients see the connection end without the rest of the body.
    EXPECT_NE(1000u, c.get().body.size());
    EXPECT_NE(CURLE_OK, b.get().code);
    EXPECT_NE(200, a.get().status);
}

TEST_F(TestServerTest, BodyShapes)
{
    const std::string body(10000, 'c');
    m_server.AddRoute("/chunked", routes::Chunked(body, 1000));
    auto delayed = routes::File("late");
    delayed.delay = 200ms;
    m_server.AddRoute("/delayed", delayed);
    m_server.AddRoute("/trickle", routes::Trickle("0123456789", 2, 40ms));
    m_server.AddRoute("/drop", routes::DropMidBody(body, 4000));
    m_server.AddRoute("/empty", routes::Empty());
    m_server.AddRoute("/big", routes::Generated(3 * 1024 * 1024 + 7, 'g', "image/jpeg"));
    m_server.AddRoute("/headers", routes::HugeHeaders(64 * 1024));

    Reply r = Get(m_server.Url("/chunked"));
    EXPECT_EQ(body, r.body);
    EXPECT_NE(std::string::npos, r.headers.find("Transfer-Encoding: chunked"));
    EXPECT_EQ(std::string::npos, r.headers.find("Content-Length"));

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ("late", Get(m_server.Url("/delayed")).body);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);

    start = std::chrono::steady_clock::now();
    EXPECT_EQ("0123456789", Get(m_server.Url("/trickle")).body);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 4 * 40ms);

    r = Get(m_server.Url("/drop"));
    EXPECT_EQ(CURLE_PARTIAL_FILE, r.code);
    EXPECT_EQ(4000u, r.body.size());
    EXPECT_NE(std::string::npos, r.headers.find("Content-Length: 10000"));

    r = Get(m_server.Url("/empty"));
    EXPECT_EQ(CURLE_OK, r.code);
    EXPECT_EQ("", r.body);
    EXPECT_NE(std::string::npos, r.headers.find("Content-Length: 0"));

    r = Get(m_server.Url("/big"));
    EXPECT_EQ(3u * 1024 * 1024 + 7, r.body.size());
    EXPECT_EQ(std::string::npos, r.body.find_first_not_of('g'));

    r = Get(m_server.Url("/headers"));
    EXPECT_GE(r.headers.size(), 64u * 1024);
    EXPECT_EQ("<html></html>", r.body);
}

} // namespace
