#include "fetch/LinkExtractor.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Link {
    LinkKind kind;
    std::string url;
    std::string fileName;
    std::string extension;

    bool operator==(const Link&) const = default;
};

void PrintTo(const Link& l, std::ostream* os)
{
    *os << "{" << l.kind << ", " << l.url << ", " << l.fileName << ", " << l.extension << "}";
}

std::vector<char> Bytes(const std::string& s) { return std::vector<char>(s.begin(), s.end()); }

// Every link the extractor hands out, in order, up to the first LK_NONE.
std::vector<Link> Drain(CLinkExtractor& ex)
{
    std::vector<Link> links;
    std::string url, name, ext;
    for (LinkKind k; (k = ex.GetNextLink(url, name, ext)) != LK_NONE;) {
        links.push_back({k, url, name, ext});
        if (links.size() > 1000)
            break; // a cursor that never advances would loop forever
    }
    EXPECT_TRUE(url.empty() && name.empty() && ext.empty());
    return links;
}

std::vector<Link> Extract(const std::string& html, const std::string& pageURL)
{
    CLinkExtractor ex(Bytes(html), pageURL);
    return Drain(ex);
}

// Page bytes are not text: a NUL byte and bytes above 127 must not end the scan.
const char kBinary[] = "<p>\0\xff\xfe binary</p>";

// One page with the cases that matter, each line noting what it must give.
const std::string kFixturePage = std::string(R"html(<!DOCTYPE html>
<html><head><title>Fixture <img src="t.jpg"></title>
<style>a[href] > img { border: 0 } /* <img src="s.jpg"> */</style>
<script>document.writeln('<A HREF="../x.html">'); if (a<b) {}</script>
</head><body>
<IMG SRC="pics/a.jpg">                              yes: tag and attribute in capitals
<a href='/files/b.zip'>b</a>                        yes: root relative, single quotes
<a href="http://other/c.png">c</a>                  yes: absolute http keeps its host
<a href="https://secure.example/d/e.pdf">e</a>      yes: absolute https keeps its scheme
<a href="ftp://files.example/f.zip">f</a>           no: other scheme
<a href="HTTP://Other/g.zip">g</a>                  yes: scheme in capitals
<a href="mailto:someone@example.com">mail</a>       no: no address
<a href="javascript:void(0)">script</a>             no: no address
<a class="reference internal" href="about.html">    yes: another attribute first
<img alt="[Note]" src="note.png">                   yes: alt first
<img alt="../_images/x.png" src="h.jpg">            yes: a dot and slashes before src
<img class="d-block" style="display:none" width="100%" src=h2.jpg>  yes
<img srcset="big.jpg 2x" data-src="lazy.jpg" src="small.jpg">       yes: only src counts
<img data-src="only-lazy.jpg">                      no: no src
<a xlink:href="xl.zip" data-href="dh.zip">          no: only href counts
<img src="first.jpg" src="second.jpg">              yes: the first of two
<img width=10 height="20" src='j.gif'>              yes: plain attributes before src
<img src=k.png alt=k>                               yes: unquoted
<A HREF=l.tar.gz>l</A>                              yes: unquoted, two dots
<a	href="l2.zip">l2</a>                            yes: a tab after the tag name
<a/href="l3.zip">                                   yes: a slash separates too
<abbr href="l4.zip">                                no: not an a tag
<image src="l5.jpg">                                no: not an img tag
<a href="x">x</a>                                   yes: one character is a name too
<a href="//cdn.example/m.jpg">m</a>                 yes: network path takes the page's scheme
<a href="../n.jpg">n</a>                            yes: one level up
<a href="../../o.jpg">o</a>                         yes: two levels up
<a href="../../../p.jpg">p</a>                      yes: not above the root
<a href="./././q.jpg">q</a>                         yes: current directory
<a href=" 	sub/r.jpg 
 ">r</a>                                            yes: trimmed
<a href="a&amp;b.txt">amp</a>                       yes: character reference
<a href="apiref.html#module-x">apiref</a>           yes: fragment dropped
<a href="#top">top</a>                              yes: the page itself
<a href="photo.jpg?v=3">photo</a>                   yes: query kept in the address
<a href="img/s t.jpg">s</a>                         yes: blank encoded
<a href="dir/">dir</a>                              no: no file
<a href="u.zip" title="<img src=v.jpg> &gt; <a href=w.zip>">u</a>  yes, and nothing inside the title
<!-- <img src="commented.jpg"> -->
<!--> <img src="after-short-comment.jpg">          yes: "<!-->" ends the comment
<p title='<a href="in-value.zip">'>p</p>
<img
  src="y.jpg">                                      yes: line break inside the tag
)html") + std::string(kBinary, sizeof kBinary - 1) +
                                 R"html(
<img src="z.jpg">                                   yes: after a NUL byte
</body></html>)html";

TEST(LinkExtractorTest, FixturePageYieldsEveryLinkABrowserSeesInOrder)
{
    const std::vector<Link> expected = {
        {LK_IMAGE, "http://host/dir/sub/pics/a.jpg", "a.jpg", "jpg"},
        {LK_ANCHOR, "http://host/files/b.zip", "b.zip", "zip"},
        {LK_ANCHOR, "http://other/c.png", "c.png", "png"},
        {LK_ANCHOR, "https://secure.example/d/e.pdf", "e.pdf", "pdf"},
        {LK_ANCHOR, "http://other/g.zip", "g.zip", "zip"},
        {LK_ANCHOR, "http://host/dir/sub/about.html", "about.html", "html"},
        {LK_IMAGE, "http://host/dir/sub/note.png", "note.png", "png"},
        {LK_IMAGE, "http://host/dir/sub/h.jpg", "h.jpg", "jpg"},
        {LK_IMAGE, "http://host/dir/sub/h2.jpg", "h2.jpg", "jpg"},
        {LK_IMAGE, "http://host/dir/sub/small.jpg", "small.jpg", "jpg"},
        {LK_IMAGE, "http://host/dir/sub/first.jpg", "first.jpg", "jpg"},
        {LK_IMAGE, "http://host/dir/sub/j.gif", "j.gif", "gif"},
        {LK_IMAGE, "http://host/dir/sub/k.png", "k.png", "png"},
        {LK_ANCHOR, "http://host/dir/sub/l.tar.gz", "l.tar.gz", "gz"},
        {LK_ANCHOR, "http://host/dir/sub/l2.zip", "l2.zip", "zip"},
        {LK_ANCHOR, "http://host/dir/sub/l3.zip", "l3.zip", "zip"},
        {LK_ANCHOR, "http://host/dir/sub/x", "x", ""},
        {LK_ANCHOR, "http://cdn.example/m.jpg", "m.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/n.jpg", "n.jpg", "jpg"},
        {LK_ANCHOR, "http://host/o.jpg", "o.jpg", "jpg"},
        {LK_ANCHOR, "http://host/p.jpg", "p.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/sub/q.jpg", "q.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/sub/sub/r.jpg", "r.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/sub/a&b.txt", "a&b.txt", "txt"},
        {LK_ANCHOR, "http://host/dir/sub/apiref.html", "apiref.html", "html"},
        {LK_ANCHOR, "http://host/dir/sub/index.html", "index.html", "html"},
        {LK_ANCHOR, "http://host/dir/sub/photo.jpg?v=3", "photo.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/sub/img/s%20t.jpg", "s t.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/sub/u.zip", "u.zip", "zip"},
        {LK_IMAGE, "http://host/dir/sub/after-short-comment.jpg", "after-short-comment.jpg", "jpg"},
        {LK_IMAGE, "http://host/dir/sub/y.jpg", "y.jpg", "jpg"},
        {LK_IMAGE, "http://host/dir/sub/z.jpg", "z.jpg", "jpg"},
    };
    EXPECT_EQ(expected, Extract(kFixturePage, "http://host/dir/sub/index.html"));
}

// Each value as it stands in an href, and the address it names.
TEST(LinkExtractorTest, CharacterReferencesAreDecoded)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a&amp;b.txt", "http://host/a&b.txt"},
        {"a&amp b.txt", "http://host/a&%20b.txt"}, // legacy name without ";"
        {"a&#38;b.txt", "http://host/a&b.txt"},
        {"a&#x26;b.txt", "http://host/a&b.txt"},
        {"a&#X2f;b.txt", "http://host/a/b.txt"},
        {"a&#47b.txt", "http://host/a/b.txt"}, // ";" may be missing
        {"&lt;&gt;&quot;&apos;.txt", "http://host/%3C%3E%22'.txt"},
        {"caf&eacute;.jpg", "http://host/caf%C3%A9.jpg"},
        {"caf&#233;.jpg", "http://host/caf%C3%A9.jpg"},
        {"&#x1F600;.png", "http://host/%F0%9F%98%80.png"},
        {"&#150;.png", "http://host/%E2%80%93.png"}, // 0x80-0x9F as windows-1252
        {"&#0;.png", "http://host/%EF%BF%BD.png"},
        {"&#x110000;.png", "http://host/%EF%BF%BD.png"},
        {"&#99999999999999999999;.png", "http://host/%EF%BF%BD.png"},
        {"x.cgi?a=1&copy=2.zip", "http://host/x.cgi?a=1&copy=2.zip"}, // a query, not a reference
        {"x.cgi?a=1&copy;=2.zip", "http://host/x.cgi?a=1%C2%A9=2.zip"},
        {"a&nosuchname;b.txt", "http://host/a&nosuchname;b.txt"},
        {"a&#;b.txt", "http://host/a&"}, // no digits: "#" starts the fragment
        {"a&&b.txt", "http://host/a&&b.txt"},
        {"a&sol;b&period;txt", "http://host/a/b.txt"},
    };
    for (const auto& [value, url] : cases) {
        const std::vector<Link> links = Extract("<a href=\"" + value + "\">", "http://host/");
        ASSERT_EQ(1u, links.size()) << value;
        EXPECT_EQ(url, links[0].url) << value;
    }
}

TEST(LinkExtractorTest, BaseHrefChangesWhatLinksResolveAgainst)
{
    const std::string page = R"(<head><base href="../static/"><base href="http://ignored/"></head>
        <img src="a.jpg"> <a href="/b.zip"> <a href="c/../d.jpg">)";
    EXPECT_EQ((std::vector<Link>{{LK_IMAGE, "http://host/static/a.jpg", "a.jpg", "jpg"},
                                 {LK_ANCHOR, "http://host/b.zip", "b.zip", "zip"},
                                 {LK_ANCHOR, "http://host/static/d.jpg", "d.jpg", "jpg"}}),
              Extract(page, "http://host/docs/index.html"));
    EXPECT_EQ((std::vector<Link>{{LK_IMAGE, "https://cdn.example/x/a.jpg", "a.jpg", "jpg"}}),
              Extract(R"(<base href="https://cdn.example/x/"><img src="a.jpg">)", "http://host/"));
    // A base that is no web address leaves the page's own.
    EXPECT_EQ((std::vector<Link>{{LK_IMAGE, "http://host/d/a.jpg", "a.jpg", "jpg"}}),
              Extract(R"(<base href="ftp://x/"><img src="a.jpg">)", "http://host/d/"));
}

TEST(LinkExtractorTest, HttpsPageResolvesRelativeLinksToHttps)
{
    const std::string page = R"(
        <img src="a.jpg"> <a href="/b.zip"> <a href="//cdn.example/c.png">
        <a href="../d.jpg"> <a href="../../e.jpg"> <a href="./f.jpg">
        <a href="http://plain.example/g.jpg"> <a href="https://other.example/h.jpg">)";
    const std::vector<Link> expected = {
        {LK_IMAGE, "https://host/dir/a.jpg", "a.jpg", "jpg"},
        {LK_ANCHOR, "https://host/b.zip", "b.zip", "zip"},
        {LK_ANCHOR, "https://cdn.example/c.png", "c.png", "png"},
        {LK_ANCHOR, "https://host/d.jpg", "d.jpg", "jpg"},
        {LK_ANCHOR, "https://host/e.jpg", "e.jpg", "jpg"},
        {LK_ANCHOR, "https://host/dir/f.jpg", "f.jpg", "jpg"},
        // An absolute link keeps its own scheme, whatever the page's.
        {LK_ANCHOR, "http://plain.example/g.jpg", "g.jpg", "jpg"},
        {LK_ANCHOR, "https://other.example/h.jpg", "h.jpg", "jpg"},
    };
    EXPECT_EQ(expected, Extract(page, "https://host/dir/index.html"));
}

TEST(LinkExtractorTest, UnusableLinksInTheMiddleAreSkipped)
{
    for (const std::string broken :
         {"<a href=\"dir/\">", "<img src=\"./\">", "<a href=\"..\">", "<a href=\"\">", "<a href=\"mailto:x@y\">",
          "<a href=\"//bad host/x.jpg\">", "<a href>", "<img src>", "<a href=\"%2e%2e\">"}) {
        const std::string page = "<img src=\"first.jpg\">" + broken + "<a href=\"last.zip\">";
        std::vector<Link> links = Extract(page, "http://host/dir/");
        ASSERT_FALSE(links.empty()) << broken;
        EXPECT_EQ((Link{LK_IMAGE, "http://host/dir/first.jpg", "first.jpg", "jpg"}), links.front()) << broken;
        EXPECT_EQ((Link{LK_ANCHOR, "http://host/dir/last.zip", "last.zip", "zip"}), links.back()) << broken;
        EXPECT_EQ(2u, links.size()) << broken;
    }
}

// Pages that never close what they open: the links before the damage come out, the rest
// of the page is text a browser would not read as tags either, and nothing is thrown.
TEST(LinkExtractorTest, DamagedPagesNeverFailAndKeepTheLinksBefore)
{
    std::string good;
    for (int i = 0; i < 10; ++i)
        good += "<a href=\"f" + std::to_string(i) + ".zip\">";
    const auto repeat = [](const std::string& unit, std::size_t bytes) {
        std::string s;
        while (s.size() < bytes)
            s += unit;
        return s;
    };
    const std::string tails[] = {
        repeat("<a href=", 256 * 1024),
        repeat("<img src=\"", 256 * 1024),
        repeat("<a href='x", 64 * 1024),
        repeat("<!-- <a href=z.zip>", 64 * 1024),
        "<script>" + repeat("<a href=s.zip>", 64 * 1024),
        "<a href=\"" + std::string(1 << 20, 'q'),
        "<a " + repeat("k=v ", 256 * 1024),
        repeat("<div><span>", 128 * 1024),
        repeat(std::string("\0\xff<\x80&#", 6), 128 * 1024),
        "<a href=\"t.zip\"",
        "<",
        "</",
        "<!",
        "<!-",
    };
    for (const std::string& tail : tails) {
        const std::vector<Link> links = Extract(good + tail, "http://host/");
        ASSERT_EQ(10u, links.size()) << tail.substr(0, 20);
        EXPECT_EQ("http://host/f9.zip", links.back().url);
    }
}

TEST(LinkExtractorTest, PagesWithoutLinks)
{
    for (const std::string page : {"<html><body>no links here</body></html>", "<a name=\"top\">", "<img>", "x"}) {
        CLinkExtractor ex(Bytes(page), "http://host/");
        std::string url = "stale", name = "stale", ext = "stale";
        EXPECT_EQ(LK_NONE, ex.GetNextLink(url, name, ext)) << page;
        EXPECT_EQ("", url);
        EXPECT_EQ("", name);
        EXPECT_EQ("", ext);
    }
}

TEST(LinkExtractorTest, LinksAtTheEdgesOfThePage)
{
    EXPECT_EQ((std::vector<Link>{{LK_IMAGE, "http://host/a.jpg", "a.jpg", "jpg"},
                                 {LK_ANCHOR, "http://host/b.zip", "b.zip", "zip"}}),
              Extract("<img src=a.jpg><a href=b.zip>", "http://host/"));
    EXPECT_EQ((std::vector<Link>{}), Extract("<a href=b.zip", "http://host/"));
    EXPECT_EQ((std::vector<Link>{}), Extract("<a", "http://host/"));
}

TEST(LinkExtractorTest, PageAddressesWithoutPathOrWithPort)
{
    const std::string page = R"(<img src="a.jpg"><a href="/b/c.zip">)";
    EXPECT_EQ((std::vector<Link>{{LK_IMAGE, "http://host/a.jpg", "a.jpg", "jpg"},
                                 {LK_ANCHOR, "http://host/b/c.zip", "c.zip", "zip"}}),
              Extract(page, "http://host"));
    EXPECT_EQ((std::vector<Link>{{LK_IMAGE, "http://host:8080/a/b/a.jpg", "a.jpg", "jpg"},
                                 {LK_ANCHOR, "http://host:8080/b/c.zip", "c.zip", "zip"}}),
              Extract(page, "http://host:8080/a/b/"));
    EXPECT_EQ((std::vector<Link>{{LK_IMAGE, "http://host:8080/a/a.jpg", "a.jpg", "jpg"},
                                 {LK_ANCHOR, "http://host:8080/b/c.zip", "c.zip", "zip"}}),
              Extract(page, "HTTP://HOST:8080/a/b.html#x"));
}

TEST(LinkExtractorTest, ConstructorRejectsBadInput)
{
    struct Case {
        std::string html;
        std::string url;
        std::string error;
    };
    const Case cases[] = {
        {"", "http://host/", "Invalid html text passed into CLinkExtractor constructor"},
        {"<img src=\"a.jpg\">", "", "Invalid value passed into CLinkExtractor constructor for current URL"},
        {"<img src=\"a.jpg\">", "ftp://host/index.html", "Invalid string passed in for absolute URL!"},
        {"<img src=\"a.jpg\">", "index.html", "Invalid string passed in for absolute URL!"},
    };
    for (const auto& c : cases) {
        try {
            CLinkExtractor ex(Bytes(c.html), c.url);
            ADD_FAILURE() << "no error for " << c.url;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(c.error, e.what()) << c.url;
        }
    }
}

TEST(LinkExtractorTest, ResetStartsOverOnTheNewPage)
{
    CLinkExtractor ex;
    std::string url, name, ext;
    EXPECT_EQ(LK_NONE, ex.GetNextLink(url, name, ext));

    ex.Reset(Bytes(R"(<img src="a1.jpg"><img src="a2.jpg">)"), "http://one/");
    ASSERT_EQ(LK_IMAGE, ex.GetNextLink(url, name, ext));
    EXPECT_EQ("http://one/a1.jpg", url);

    // Half-way through the first page, a new page replaces it entirely.
    ex.Reset(Bytes(R"(<a href="b1.zip"><a href="b2.zip">)"), "https://two/x/");
    EXPECT_EQ((std::vector<Link>{{LK_ANCHOR, "https://two/x/b1.zip", "b1.zip", "zip"},
                                 {LK_ANCHOR, "https://two/x/b2.zip", "b2.zip", "zip"}}),
              Drain(ex));
    // The end is final until the next reset.
    EXPECT_EQ(LK_NONE, ex.GetNextLink(url, name, ext));

    ex.Reset(Bytes(R"(<img src="c.jpg">)"), "http://three/");
    EXPECT_EQ((std::vector<Link>{{LK_IMAGE, "http://three/c.jpg", "c.jpg", "jpg"}}), Drain(ex));

    // A failed reset must not leave the earlier page's links behind.
    ex.Reset(Bytes(R"(<img src="d1.jpg"><img src="d2.jpg">)"), "http://four/");
    ASSERT_EQ(LK_IMAGE, ex.GetNextLink(url, name, ext));
    EXPECT_THROW(ex.Reset(Bytes(R"(<img src="e.jpg">)"), "ftp://five/"), std::runtime_error);
    EXPECT_EQ(LK_NONE, ex.GetNextLink(url, name, ext));
    EXPECT_THROW(ex.Reset({}, "http://six/"), std::runtime_error);
    EXPECT_EQ(LK_NONE, ex.GetNextLink(url, name, ext));
}

TEST(LinkExtractorTest, KeepsItsOwnCopyOfThePage)
{
    std::vector<char> page = Bytes(R"(<img src="a.jpg"><img src="b.jpg">)");
    CLinkExtractor ex(page, "http://host/");
    std::string url, name, ext;
    ASSERT_EQ(LK_IMAGE, ex.GetNextLink(url, name, ext));
    page.assign(page.size(), ' '); // the caller reuses its buffer
    ASSERT_EQ(LK_IMAGE, ex.GetNextLink(url, name, ext));
    EXPECT_EQ("http://host/b.jpg", url);
}

} // namespace
