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
const std::string kFixturePage = std::string(R"html(<html><head><title>Fixture</title></head><body>
<IMG SRC="pics/a.jpg">                              yes: tag and attribute in capitals
<a href='/files/b.zip'>b</a>                        yes: root relative, single quotes
<a href="http://other/c.png">c</a>                  yes: absolute http keeps its host
<a href="https://secure.example/d/e.pdf">e</a>      yes: absolute https keeps its scheme
<a href="ftp://files.example/f.zip">f</a>           no: other scheme
<a href="HTTP://other/g.zip">g</a>                  no: scheme in capitals
<a href="HTTPS://other/g2.zip">g2</a>               no: scheme in capitals
<a href="mailto:someone@example.com">mail</a>       no: no address
<a href="javascript:void(0)">script</a>             no: no address
<img alt="photo.jpg" src="h.jpg">                   no: a dot before src
<img data-src="x/y" src="h2.jpg">                   no: a slash before src
<a class="k" href="i.zip">i</a>                     no: href not first
<img width=10 height="20" src='j.gif'>              yes: plain attributes before src
<img src=k.png alt=k>                               yes: unquoted
<A HREF=l.tar.gz>l</A>                              yes: unquoted, two dots
<a	href="l2.zip">l2</a>                            yes: a tab after the tag name
<abbr href="l3.zip">                                no: not an a tag
<image src="l4.jpg">                                no: not an img tag
<a href="x">x</a>                                   no: one character cannot be combined
<a href="//cdn.example/m.jpg">m</a>                 yes: network path takes the page's scheme
<a href="//cdn.example:8080/m2.jpg">m2</a>          yes: network path with port
<a href="../n.jpg">n</a>                            yes: one backtrack stays in the directory
<a href="../../o.jpg">o</a>                         yes: two go to the root
<a href="../../../p.jpg">p</a>                      no: above the root
<a href="./q.jpg">q</a>                             yes: current directory
<a href=" 	sub/r.jpg 
 ">r</a>                                            yes: trimmed
<a href="README">readme</a>                         yes: no extension
<a href="page.php?id=1">php</a>                     no: query
<a href="img/s t.jpg">s</a>                         no: blank in the name
<a href="https://secure.example">bare</a>           no: no file
<a href="pics/a.jpg">again</a>                      yes: duplicates are the caller's business
<a href="u.zip" title="<img src=v.jpg>">u</a>       yes, yes: the search goes on after the value
<img
  src="w.jpg">                                      yes: line break inside the tag
)html") + std::string(kBinary, sizeof kBinary - 1) + R"html(
<img src="z.jpg">                                   yes: after a NUL byte
</body></html>)html";

TEST(LinkExtractorTest, FixturePageYieldsExactlyTheUsableLinksInOrder)
{
    const std::vector<Link> expected = {
        {LK_IMAGE, "http://host/dir/pics/a.jpg", "a.jpg", "jpg"},
        {LK_ANCHOR, "http://host/files/b.zip", "b.zip", "zip"},
        {LK_ANCHOR, "http://other/c.png", "c.png", "png"},
        {LK_ANCHOR, "https://secure.example/d/e.pdf", "e.pdf", "pdf"},
        {LK_IMAGE, "http://host/dir/j.gif", "j.gif", "gif"},
        {LK_IMAGE, "http://host/dir/k.png", "k.png", "png"},
        {LK_ANCHOR, "http://host/dir/l.tar.gz", "l.tar.gz", "gz"},
        {LK_ANCHOR, "http://host/dir/l2.zip", "l2.zip", "zip"},
        {LK_ANCHOR, "http://cdn.example/m.jpg", "m.jpg", "jpg"},
        {LK_ANCHOR, "http://cdn.example:8080/m2.jpg", "m2.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/n.jpg", "n.jpg", "jpg"},
        {LK_ANCHOR, "http://host/o.jpg", "o.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/q.jpg", "q.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/sub/r.jpg", "r.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/README", "README", ""},
        {LK_ANCHOR, "http://host/dir/pics/a.jpg", "a.jpg", "jpg"},
        {LK_ANCHOR, "http://host/dir/u.zip", "u.zip", "zip"},
        {LK_IMAGE, "http://host/dir/v.jpg", "v.jpg", "jpg"},
        {LK_IMAGE, "http://host/dir/w.jpg", "w.jpg", "jpg"},
        {LK_IMAGE, "http://host/dir/z.jpg", "z.jpg", "jpg"},
    };
    EXPECT_EQ(expected, Extract(kFixturePage, "http://host/dir/index.html"));
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
        {LK_ANCHOR, "https://host/dir/d.jpg", "d.jpg", "jpg"},
        {LK_ANCHOR, "https://host/e.jpg", "e.jpg", "jpg"},
        {LK_ANCHOR, "https://host/dir/f.jpg", "f.jpg", "jpg"},
        // An absolute link keeps its own scheme, whatever the page's.
        {LK_ANCHOR, "http://plain.example/g.jpg", "g.jpg", "jpg"},
        {LK_ANCHOR, "https://other.example/h.jpg", "h.jpg", "jpg"},
    };
    EXPECT_EQ(expected, Extract(page, "https://host/dir/index.html"));
}

TEST(LinkExtractorTest, BrokenLinksInTheMiddleAreSkipped)
{
    // Each of these fails inside URL resolution; the links around them still come out.
    for (const std::string broken : {"<a href=\"x\">", "<a href=\"../../../../deep.jpg\">", "<img src=\"./\">",
                                     "<a href=\"..\">", "<a href=\"page.php?x=1\">"}) {
        const std::string page = "<img src=\"first.jpg\">" + broken + "<a href=\"last.zip\">";
        const std::vector<Link> expected = {
            {LK_IMAGE, "http://host/dir/first.jpg", "first.jpg", "jpg"},
            {LK_ANCHOR, "http://host/dir/last.zip", "last.zip", "zip"},
        };
        EXPECT_EQ(expected, Extract(page, "http://host/dir/index.html")) << broken;
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
        {"<img src=\"a.jpg\">", "HTTP://HOST/index.html", "Invalid string passed in for absolute URL!"},
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
