#include "engine/DownloadItem.h"

#include <gtest/gtest.h>

#include <ctime>
#include <locale>
#include <memory>
#include <string>

namespace {

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// An item in the given state, built without going through the transitions of
// SetBytesTransferred.
DownloadItemPtr MakeItem(DownloadItemStatus status, std::int64_t size, std::int64_t bytes)
{
    auto item = std::make_shared<CDownloadItem>();
    item->SetBytesTransferred(bytes);
    item->SetFileSize(size);
    item->SetStatus(status);
    return item;
}

DownloadItemPtr Named(const std::string& fileName, const std::string& url = "")
{
    auto item = std::make_shared<CDownloadItem>();
    item->SetFileName(fileName);
    item->SetURL(url);
    return item;
}

TEST(FormatByteSize, FourSignificantDigitsInTheRightUnit)
{
    struct Case {
        double bytes;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 bytes"},       {1, "1 bytes"},          {1000, "1000 bytes"},
        {1023, "1023 bytes"}, {0.5, "0.5 bytes"},      {12.3456, "12.35 bytes"},
        {1024, "1 KB"},       {1536, "1.5 KB"},        {1048575, "1024 KB"},
        {1048576, "1 MB"},    {123456789, "117.7 MB"}, {1073741823, "1024 MB"},
        {1073741824, "1 GB"}, {1610612736, "1.5 GB"},  {5497558138880.0, "5120 GB"},
        {-5, "-5 bytes"},     {-2048, "-2048 bytes"}, // negatives always fall in the first row
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(FormatByteSize(c.bytes), c.text);
    }
}

// A global locale with digit grouping must not turn 1000 into "1,000".
TEST(FormatByteSize, IgnoresTheGlobalLocale)
{
    struct Grouping : std::numpunct<char> {
        char do_thousands_sep() const override { return ','; }
        std::string do_grouping() const override { return "\3"; }
        char do_decimal_point() const override { return '#'; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Grouping));
    const std::string thousand = FormatByteSize(1000);
    const std::string half = FormatByteSize(1536);
    std::locale::global(previous);
    EXPECT_EQ(thousand, "1000 bytes");
    EXPECT_EQ(half, "1.5 KB");
}

TEST(DownloadItem, StartsQueuedAndEmpty)
{
    const CDownloadItem item;
    EXPECT_EQ(item.GetId(), 0);
    EXPECT_EQ(item.GetStatus(), DIS_QUEUED);
    EXPECT_EQ(item.GetLinkKind(), LK_NONE);
    EXPECT_EQ(item.GetFileName(), "");
    EXPECT_EQ(item.GetURL(), "");
    EXPECT_EQ(item.GetSavedPath(), "");
    EXPECT_EQ(item.GetFileSize(), 0);
    EXPECT_EQ(item.GetBytesTransferred(), 0);
    EXPECT_EQ(item.GetStartTime(), 0);
    EXPECT_FALSE(item.HasStatusInfo());
    EXPECT_FALSE(item.IsCompleted());
    EXPECT_EQ(item.GetSizeText(), "???");
    EXPECT_EQ(item.GetRemainingText(), "???");
    EXPECT_EQ(item.GetTransferredText(), "0 bytes");
    EXPECT_EQ(item.GetSpeedText(), "0 bytes/s");
}

TEST(DownloadItem, SetBytesTransferredDrivesTheStatus)
{
    struct Case {
        const char* what;
        DownloadItemStatus before;
        std::int64_t size;
        std::int64_t priorBytes;
        std::int64_t bytes;
        DownloadItemStatus after;
    };
    const Case cases[] = {
        {"first bytes start the transfer", DIS_QUEUED, 1000, 0, 500, DIS_IN_PROGRESS},
        {"no bytes change nothing", DIS_QUEUED, 1000, 0, 0, DIS_QUEUED},
        {"all bytes at once", DIS_QUEUED, 1000, 0, 1000, DIS_COMPLETED},
        {"more bytes at once", DIS_QUEUED, 1000, 0, 1001, DIS_COMPLETED},
        {"reaching the size", DIS_IN_PROGRESS, 1000, 500, 1000, DIS_COMPLETED},
        {"passing the size", DIS_IN_PROGRESS, 1000, 500, 1500, DIS_COMPLETED},
        {"short of the size", DIS_IN_PROGRESS, 1000, 500, 999, DIS_IN_PROGRESS},
        {"size not yet known", DIS_IN_PROGRESS, 0, 500, 5000, DIS_IN_PROGRESS},
        {"size unknown (-1)", DIS_IN_PROGRESS, -1, 500, 5000, DIS_IN_PROGRESS},
        {"cancelled keeps its status", DIS_CANCELLED, 1000, 500, 1000, DIS_CANCELLED},
        {"skipped keeps its status", DIS_SKIPPED, 1000, 500, 2000, DIS_SKIPPED},
        {"errored keeps its status", DIS_ERRORED, 1000, 500, 1000, DIS_ERRORED},
        {"completed stays completed", DIS_COMPLETED, 1000, 1000, 1000, DIS_COMPLETED},
        // The first bytes always mean a running transfer; the engine checks the status
        // before it reports bytes.
        {"first bytes whatever the status", DIS_CANCELLED, 1000, 0, 10, DIS_IN_PROGRESS},
    };
    const std::int64_t earlier = 12345;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DownloadItemPtr item = MakeItem(c.before, c.size, c.priorBytes);
        item->SetStartTime(earlier);
        const std::int64_t before = Now();
        item->SetBytesTransferred(c.bytes);
        const std::int64_t after = Now();
        EXPECT_EQ(item->GetStatus(), c.after);
        EXPECT_EQ(item->GetBytesTransferred(), c.bytes);
        if (c.priorBytes == 0 && c.bytes > 0) {
            EXPECT_GE(item->GetStartTime(), before);
            EXPECT_LE(item->GetStartTime(), after);
        } else {
            EXPECT_EQ(item->GetStartTime(), earlier);
        }
    }
}

TEST(DownloadItem, StatusInfoNamesTheFileOnTwoLines)
{
    CDownloadItem item;
    item.SetFileName("a.jpg");
    item.SetStatusInfo("Completed");
    ASSERT_TRUE(item.HasStatusInfo());
    EXPECT_EQ(item.GetStatusInfo(), "Filename: a.jpg\r\nInfo: Completed.");

    // The name is taken when the text is set; a later text replaces the earlier one.
    item.SetFileName("a(1).jpg");
    EXPECT_EQ(item.GetStatusInfo(), "Filename: a.jpg\r\nInfo: Completed.");
    item.SetStatusInfo("HTTP error.  Requested file may not be present on server");
    EXPECT_EQ(item.GetStatusInfo(),
              "Filename: a(1).jpg\r\nInfo: HTTP error.  Requested file may not be present on server.");
}

TEST(DownloadItem, CopiesCarryEveryField)
{
    CDownloadItem source;
    source.SetId(7);
    source.SetFileName("a.jpg");
    source.SetSavedPath("/tmp/dl/a.jpg");
    source.SetURL("http://host/a.jpg");
    source.SetLinkKind(LK_ANCHOR);
    source.SetFileSize(2048);
    source.SetBytesTransferred(1024);
    source.SetStartTime(4242);
    source.SetStatusInfo("Download in progress");

    auto expectSame = [&](const CDownloadItem& copy) {
        EXPECT_EQ(copy.GetId(), 7);
        EXPECT_EQ(copy.GetFileName(), "a.jpg");
        EXPECT_EQ(copy.GetSavedPath(), "/tmp/dl/a.jpg");
        EXPECT_EQ(copy.GetURL(), "http://host/a.jpg");
        EXPECT_EQ(copy.GetLinkKind(), LK_ANCHOR);
        EXPECT_EQ(copy.GetFileSize(), 2048);
        EXPECT_EQ(copy.GetBytesTransferred(), 1024);
        EXPECT_EQ(copy.GetStartTime(), 4242);
        EXPECT_EQ(copy.GetStatus(), DIS_IN_PROGRESS);
        EXPECT_EQ(copy.GetStatusInfo(), "Filename: a.jpg\r\nInfo: Download in progress.");
    };

    const CDownloadItem constructed(source);
    expectSame(constructed);

    CDownloadItem assigned;
    assigned.SetFileName("other.gif");
    assigned.SetStatusInfo("Errored");
    assigned = source;
    expectSame(assigned);

    CDownloadItem& alias = assigned;
    assigned = alias;
    expectSame(assigned);

    // Later changes to the source do not reach the copies.
    source.SetStatusInfo("Completed");
    source.SetStatus(DIS_COMPLETED);
    expectSame(constructed);
    expectSame(assigned);

    // An item without info text copies as one without.
    CDownloadItem bare;
    assigned = bare;
    EXPECT_FALSE(assigned.HasStatusInfo());
    EXPECT_FALSE(CDownloadItem(bare).HasStatusInfo());
}

TEST(DownloadItem, DisplayValuesFollowTheStatus)
{
    struct Case {
        DownloadItemStatus status;
        std::int64_t size;
        std::int64_t bytes;
        std::int64_t effectiveSize;
        double progress;
        const char* sizeText;
        const char* transferredText;
        const char* remainingText;
        std::int64_t transferredKey;
        std::int64_t remainingKey;
    };
    const Case cases[] = {
        {DIS_QUEUED, 2048, 0, 0, -2, "0 bytes", "0 bytes", "0 bytes", 0, 0},
        {DIS_QUEUED, 0, 0, 0, -2, "???", "0 bytes", "???", 0, 0},
        {DIS_IN_PROGRESS, 2048, 512, 2048, 0.25, "2 KB", "512 bytes", "1.5 KB", 512, 1536},
        {DIS_IN_PROGRESS, 0, 500, 0, 0, "???", "500 bytes", "???", 500, -500},
        {DIS_IN_PROGRESS, -1, 500, -1, 0, "???", "500 bytes", "???", 500, -501},
        {DIS_COMPLETED, 2048, 2048, 2048, 1, "2 KB", "2 KB", "0 bytes", 2048, 0},
        {DIS_COMPLETED, 1000, 1500, 1000, 1, "1000 bytes", "1.465 KB", "-500 bytes", 1500, -500},
        {DIS_SKIPPED, 2048, 0, 2048, -5, "2 KB", "0 bytes", "0 bytes", 0, 0},
        {DIS_SKIPPED, -1, 0, 0, -5, "???", "0 bytes", "???", 0, 0},
        {DIS_CANCELLED, 2048, 1024, 0, -3, "0 bytes", "0 bytes", "0 bytes", 0, 0},
        {DIS_ERRORED, 2048, 1024, 0, -4, "0 bytes", "0 bytes", "0 bytes", 0, 0},
        {DIS_DELETED, 3145728, 3145728, 3145728, -6, "3 MB", "3 MB", "0 bytes", 3145728, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("status " + std::to_string(c.status) + ", size " + std::to_string(c.size) + ", bytes " +
                     std::to_string(c.bytes));
        DownloadItemPtr item = MakeItem(c.status, c.size, c.bytes);
        EXPECT_EQ(item->GetEffectiveSize(), c.effectiveSize);
        EXPECT_DOUBLE_EQ(item->GetProgress(), c.progress);
        EXPECT_EQ(item->GetSizeText(), c.sizeText);
        EXPECT_EQ(item->GetTransferredText(), c.transferredText);
        EXPECT_EQ(item->GetRemainingText(), c.remainingText);
        EXPECT_EQ(item->GetTransferredKey(), c.transferredKey);
        EXPECT_EQ(item->GetRemainingKey(), c.remainingKey);
        EXPECT_EQ(item->IsCompleted(), c.status == DIS_COMPLETED);
    }
}

TEST(DownloadItem, SpeedIsTheAverageSinceTheFirstBytes)
{
    // Bytes that arrived within the current second: the speed is the byte count itself
    // (also when the clock ticks over once in between: 4096 / 1).
    CDownloadItem fresh;
    fresh.SetBytesTransferred(4096);
    EXPECT_DOUBLE_EQ(fresh.GetSpeed(), 4096);
    EXPECT_EQ(fresh.GetSpeedText(), "4 KB/s");

    CDownloadItem running;
    running.SetBytesTransferred(100000);
    running.SetStartTime(Now() - 100);
    EXPECT_NEAR(running.GetSpeed(), 1000, 11); // 100 s, or 101 if the clock ticked

    // A clock set back leaves a start in the future: the count itself, never negative.
    CDownloadItem future;
    future.SetBytesTransferred(300);
    future.SetStartTime(Now() + 3600);
    EXPECT_DOUBLE_EQ(future.GetSpeed(), 300);

    for (DownloadItemStatus status :
         {DIS_QUEUED, DIS_CANCELLED, DIS_ERRORED, DIS_COMPLETED, DIS_SKIPPED, DIS_DELETED}) {
        SCOPED_TRACE(status);
        DownloadItemPtr item = MakeItem(status, 5000, 4096);
        item->SetStartTime(Now());
        EXPECT_EQ(item->GetSpeed(), 0);
        EXPECT_EQ(item->GetSpeedText(), "0 bytes/s");
    }
}

using Predicate = bool (*)(const DownloadItemPtr&, const DownloadItemPtr&);

DownloadItemPtr WithId(std::int32_t id)
{
    auto item = std::make_shared<CDownloadItem>();
    item->SetId(id);
    return item;
}

DownloadItemPtr Running(std::int64_t bytes, std::int64_t secondsAgo)
{
    DownloadItemPtr item = MakeItem(DIS_IN_PROGRESS, 0, bytes);
    item->SetStartTime(Now() - secondsAgo);
    return item;
}

TEST(DownloadItemOrdering, AscendingAndDescendingAreStrictAndOpposite)
{
    struct Case {
        const char* what;
        Predicate ascending;
        Predicate descending;
        DownloadItemPtr lesser;
        DownloadItemPtr greater;
    };
    const Case cases[] = {
        {"id", IdAscending, IdDescending, WithId(1), WithId(2)},
        {"id below zero", IdAscending, IdDescending, WithId(-1), WithId(0)},
        {"name ignores case", FileNameAscending, FileNameDescending, Named("apple.jpg"), Named("Banana.jpg")},
        {"name compares upper-cased", FileNameAscending, FileNameDescending, Named("a.jpg"),
         Named("_.jpg")}, // 'A' < '_' < 'a'
        {"shorter name first", FileNameAscending, FileNameDescending, Named("img"), Named("IMG1")},
        {"source ignores case", SourceAscending, SourceDescending, Named("", "HTTP://h/a.jpg"),
         Named("", "http://h/B.jpg")},
        {"shorter source first", SourceAscending, SourceDescending, Named("z", "http://h/a"),
         Named("a", "http://h/a.jpg")},
        {"size", SizeAscending, SizeDescending, MakeItem(DIS_SKIPPED, 500, 0), MakeItem(DIS_IN_PROGRESS, 1000, 10)},
        {"size of a cancelled item is 0", SizeAscending, SizeDescending, MakeItem(DIS_CANCELLED, 9000, 10),
         MakeItem(DIS_SKIPPED, 1, 0)},
        {"progress", ProgressAscending, ProgressDescending, MakeItem(DIS_IN_PROGRESS, 1000, 250),
         MakeItem(DIS_IN_PROGRESS, 1000, 750)},
        {"progress groups statuses", ProgressAscending, ProgressDescending, MakeItem(DIS_ERRORED, 1000, 900),
         MakeItem(DIS_QUEUED, 0, 0)},
        {"speed", SpeedAscending, SpeedDescending, Running(1000, 1000), Running(1000, 0)},
        {"speed of a finished item is 0", SpeedAscending, SpeedDescending, MakeItem(DIS_COMPLETED, 100000, 100000),
         Running(10, 1000)},
        {"transferred", TransferredAscending, TransferredDescending, MakeItem(DIS_IN_PROGRESS, 1000, 10),
         MakeItem(DIS_DELETED, 1000, 1000)},
        {"transferred of an errored item is 0", TransferredAscending, TransferredDescending,
         MakeItem(DIS_ERRORED, 5000, 5000), MakeItem(DIS_IN_PROGRESS, 5000, 1)},
        {"remaining", RemainingAscending, RemainingDescending, MakeItem(DIS_IN_PROGRESS, 1000, 900),
         MakeItem(DIS_IN_PROGRESS, 1000, 800)},
        {"remaining of a queued item is 0", RemainingAscending, RemainingDescending, MakeItem(DIS_QUEUED, 5000, 0),
         MakeItem(DIS_IN_PROGRESS, 1000, 999)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(c.ascending(c.lesser, c.greater));
        EXPECT_FALSE(c.ascending(c.greater, c.lesser));
        EXPECT_TRUE(c.descending(c.greater, c.lesser));
        EXPECT_FALSE(c.descending(c.lesser, c.greater));
    }
}

TEST(DownloadItemOrdering, EqualKeysGiveFalseBothWays)
{
    struct Case {
        const char* what;
        Predicate ascending;
        Predicate descending;
        DownloadItemPtr first;
        DownloadItemPtr second;
    };
    const Case cases[] = {
        {"id", IdAscending, IdDescending, WithId(3), WithId(3)},
        {"names differing only in case", FileNameAscending, FileNameDescending, Named("Photo.JPG"), Named("photo.jpg")},
        {"sources differing only in case", SourceAscending, SourceDescending, Named("a", "http://H/x.gif"),
         Named("b", "http://h/X.GIF")},
        {"sizes of queued and errored items", SizeAscending, SizeDescending, MakeItem(DIS_QUEUED, 5000, 0),
         MakeItem(DIS_ERRORED, 9000, 10)},
        {"progress of completed items", ProgressAscending, ProgressDescending, MakeItem(DIS_COMPLETED, 10, 10),
         MakeItem(DIS_COMPLETED, 5000, 5000)},
        {"speed of items not running", SpeedAscending, SpeedDescending, MakeItem(DIS_SKIPPED, 10, 0),
         MakeItem(DIS_COMPLETED, 5000, 5000)},
        {"transferred of cancelled and skipped items", TransferredAscending, TransferredDescending,
         MakeItem(DIS_CANCELLED, 10, 7), MakeItem(DIS_SKIPPED, 5000, 0)},
        {"remaining of completed and queued items", RemainingAscending, RemainingDescending,
         MakeItem(DIS_COMPLETED, 10, 10), MakeItem(DIS_QUEUED, 5000, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(c.ascending(c.first, c.second));
        EXPECT_FALSE(c.ascending(c.second, c.first));
        EXPECT_FALSE(c.descending(c.first, c.second));
        EXPECT_FALSE(c.descending(c.second, c.first));
    }
}

} // namespace
