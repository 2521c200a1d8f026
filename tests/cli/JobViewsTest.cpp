// The terminal views of quarrow-cli: widths as the terminal counts them, the live view's
// lines at narrow and wide terminals, and the fallback on a terminal that cannot redraw.
#include "cli/JobViews.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

TEST(DisplayWidth, CountsColumnsNotBytes)
{
    const std::pair<std::string, std::size_t> cases[] = {
        {"abc.jpg", 7},
        {"\xc3\xa9t\xc3\xa9.jpg", 7},        // été.jpg: two bytes per é, one column
        {"\xe5\x86\x99\xe7\x9c\x9f.png", 8}, // 写真.png: two columns per character
        {"e\xcc\x81", 1},                    // e with a combining accent
        {"\xf0\x9f\x98\x80", 2},             // an emoji
        {"\xff\xfe", 2},                     // not UTF-8: one "?" each
        {"\x1b[31m", 5},                     // the escape is shown as "?"
        {"", 0},
    };
    for (const auto& [text, width] : cases)
        EXPECT_EQ(width, DisplayWidth(text)) << text;
}

TEST(FitToWidth, CutsByColumnsAndDefusesControls)
{
    struct Case {
        std::string text;
        std::size_t width;
        std::string fitted;
    };
    const Case cases[] = {
        {"abcdef", 6, "abcdef"},
        {"abcdef", 5, "abc.."},
        {"\xe5\x86\x99\xe7\x9c\x9f\xe5\x86\x99", 6, "\xe5\x86\x99\xe7\x9c\x9f\xe5\x86\x99"},
        {"\xe5\x86\x99\xe7\x9c\x9f\xe5\x86\x99", 5, "\xe5\x86\x99.."}, // never half a wide character
        {"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", 3, "\xc3\xa9.."},         // never half a UTF-8 sequence
        {"a\x1b]0;pwned\x07z", 100, "a?]0;pwned?z"},
        {"a\xc2\x9b"
         "31mz",
         100, "a?31mz"}, // the one-byte CSI of C1
        {"abc", 1, "."},
        {"abc", 0, ""},
    };
    for (const Case& c : cases) {
        const std::string fitted = FitToWidth(c.text, c.width);
        EXPECT_EQ(c.fitted, fitted) << c.text << " in " << c.width;
        EXPECT_LE(DisplayWidth(fitted), c.width);
    }
}

class LiveLines : public ::testing::Test {
protected:
    std::map<std::int32_t, TrackedItem> items;
    JobProgress progress;

    void SetUp() override
    {
        progress.state = DS_DOWNLOADING;
        progress.pageURL = "http://127.0.0.1:8080/docs/html/library/a-rather-long-page-name.html";
        progress.items = &items;
    }

    void Add(const std::string& name, DownloadItemStatus status, std::int64_t size, std::int64_t transferred,
             double speed = 0)
    {
        TrackedItem t;
        const auto id = static_cast<std::int32_t>(items.size());
        t.item.SetId(id);
        t.item.SetFileName(name);
        t.item.SetFileSize(size);
        t.item.SetStatus(status);
        t.item.SetBytesTransferred(transferred);
        t.item.SetStatus(status);
        t.speed = speed;
        items[id] = t;
    }
};

TEST_F(LiveLines, OverallBytesPercentageAndTimeLeft)
{
    Add("done.jpg", DIS_COMPLETED, 1000, 1000);
    Add("half.jpg", DIS_IN_PROGRESS, 2000, 1000, 100);
    Add("gone.jpg", DIS_ERRORED, 0, 0);
    progress.speed = 100;
    const std::vector<std::string> lines = LiveViewLines(progress, 120);
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("Downloading files  2/3 done  1 completed  1 errored  1 running", lines[1]);
    // 2000 of 3000 bytes at 100 bytes a second: 10 s left.
    EXPECT_EQ(FormatByteSize(2000) + " of " + FormatByteSize(3000) + "  66%  " + FormatByteSize(100) + "/s  0:10 left",
              lines[2]);
    EXPECT_EQ(0u, lines[3].rfind("half.jpg  ", 0)) << lines[3];

    // A queued file's size is not known yet: the total and the time left say so.
    Add("later.jpg", DIS_QUEUED, 0, 0);
    EXPECT_EQ(FormatByteSize(2000) + " of " + FormatByteSize(3000) + "+  66%  " + FormatByteSize(100) +
                  "/s  0:10+ left",
              LiveViewLines(progress, 120)[2]);

    progress.speed = 0;
    EXPECT_NE(std::string::npos, LiveViewLines(progress, 120)[2].find("--:-- left"));
}

TEST_F(LiveLines, EveryLineFitsAndKeepsNamesAndErrorsOnNarrowTerminals)
{
    for (int i = 0; i < 30; ++i)
        Add("queued-" + std::to_string(i) + ".png", DIS_QUEUED, 0, 0);
    for (int i = 0; i < 5; ++i)
        Add("finished-" + std::to_string(i) + ".png", DIS_COMPLETED, 500, 500);
    Add("broken.png", DIS_ERRORED, 0, 0);
    Add("skipped.png", DIS_SKIPPED, 0, 0);
    const std::vector<std::string> names = {
        "a-very-long-file-name-that-goes-on-and-on-for-ever-and-ever.tar.gz",
        "\xe5\x86\x99\xe7\x9c\x9f\xe5\x86\x99\xe7\x9c\x9f\xe5\x86\x99\xe7\x9c\x9f\xe5\x86\x99\xe7\x9c\x9f.jpg",
        "short.jpg",
    };
    for (const std::string& name : names)
        Add(name, DIS_IN_PROGRESS, 1 << 20, 300000, 50000);
    progress.speed = 150000;

    for (std::size_t width : {200u, 79u, 49u, 30u}) {
        SCOPED_TRACE(width);
        const std::vector<std::string> lines = LiveViewLines(progress, width);
        ASSERT_EQ(3u + names.size(), lines.size());
        for (const std::string& line : lines)
            EXPECT_LE(DisplayWidth(line), width) << line;
        // The errored count outlives the other counts.
        EXPECT_NE(std::string::npos, lines[1].find("1 errored")) << lines[1];
        EXPECT_NE(std::string::npos, lines[2].find('%')) << lines[2];
        // Each running item's line starts with its name (cut, at worst).
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string& line = lines[3 + i];
            EXPECT_EQ(0u, line.rfind(names[i].substr(0, 3), 0)) << line;
        }
    }
    // Wide enough, nothing is cut: whole names and the bar.
    const std::vector<std::string> wide = LiveViewLines(progress, 200);
    EXPECT_EQ(0u, wide[3].rfind(names[0] + "  ", 0)) << wide[3];
    EXPECT_NE(std::string::npos, wide[3].find("[")) << wide[3];
    EXPECT_NE(std::string::npos, wide[1].find("30 queued")) << wide[1];
}

std::string RunLiveView(const char* term)
{
    qtest::ScopedEnv env("TERM", term);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    {
        std::map<std::int32_t, TrackedItem> items;
        TrackedItem t;
        t.item.SetFileName("a.jpg");
        t.item.SetFileSize(100);
        t.item.SetStatus(DIS_IN_PROGRESS);
        t.item.SetBytesTransferred(10);
        items[0] = t;
        JobProgress p;
        p.state = DS_DOWNLOADING;
        p.items = &items;
        auto view = MakeJobView(ViewKind::Live, out, err);
        view->OnTick(p);
        t.item.SetBytesTransferred(100);
        t.item.SetStatus(DIS_COMPLETED);
        view->OnItemStatus(t.item);
        view->OnTick(p);
        JobResult result;
        result.state = DS_COMPLETED;
        view->OnEnd(result);
    }
    std::string text;
    std::rewind(out);
    for (int c; (c = std::fgetc(out)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(out);
    std::fclose(err);
    return text;
}

TEST(LiveView, FallsBackToLinesOnADumbTerminal)
{
    const std::string dumb = RunLiveView("dumb");
    EXPECT_EQ(std::string::npos, dumb.find('\x1b')) << dumb;
    EXPECT_NE(std::string::npos, dumb.find("a.jpg")) << dumb;
    EXPECT_EQ(std::string::npos, RunLiveView("").find('\x1b'));
    EXPECT_NE(std::string::npos, RunLiveView("xterm-256color").find('\x1b'));
}

} // namespace
