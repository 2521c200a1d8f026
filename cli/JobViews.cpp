#include "cli/JobViews.h"

#include "helpers/Utf8.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

using HELPERS::Utf8Decode;

struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

bool InRanges(std::uint32_t cp, const Range* begin, const Range* end)
{
    for (const Range* r = begin; r != end; ++r)
        if (cp >= r->first && cp <= r->last)
            return true;
    return false;
}

// Combining marks and zero-width characters take no column.
constexpr Range kZeroWidth[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A},
                                {0x064B, 0x065F}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x1AB0, 0x1AFF},
                                {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064},
                                {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}};
// East Asian wide and full-width characters, and the emoji blocks, take two.
constexpr Range kDoubleWidth[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},  {0x3400, 0x4DBF},
                                  {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},  {0xF900, 0xFAFF},
                                  {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},  {0x1F300, 0x1F64F},
                                  {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};

std::size_t CodePointWidth(std::uint32_t cp)
{
    if (InRanges(cp, std::begin(kZeroWidth), std::end(kZeroWidth)))
        return 0;
    if (InRanges(cp, std::begin(kDoubleWidth), std::end(kDoubleWidth)))
        return 2;
    return 1;
}

// C0 and C1 controls and DEL would be read by the terminal as commands.
bool IsControl(std::uint32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

// Calls `each(bytes, columns)` for every character of `text` as it is shown: a control
// character or a byte that is not UTF-8 is shown as "?".
template <typename F>
void ForEachShownCharacter(const std::string& text, F each)
{
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t cp = 0;
        const std::size_t n = Utf8Decode(text, i, cp);
        if (n == 0 || IsControl(cp)) {
            if (!each(std::string_view("?"), 1))
                return;
            i += n == 0 ? 1 : n;
            continue;
        }
        if (!each(std::string_view(text).substr(i, n), CodePointWidth(cp)))
            return;
        i += n;
    }
}

std::string Number(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", std::isfinite(v) ? v : 0.0);
    return buf;
}

const char* KindName(LinkKind kind) { return kind == LK_IMAGE ? "image" : kind == LK_ANCHOR ? "anchor" : "none"; }

std::string SizeText(const CDownloadItem& item)
{
    if (item.GetStatus() == DIS_COMPLETED && item.GetFileSize() <= 0)
        return FormatByteSize(static_cast<double>(item.GetBytesTransferred()));
    return item.GetSizeText();
}

std::string DurationText(double seconds)
{
    char buf[64];
    if (seconds < 60)
        std::snprintf(buf, sizeof buf, "%.1f s", seconds);
    else
        std::snprintf(buf, sizeof buf, "%d min %04.1f s", static_cast<int>(seconds / 60),
                      seconds - 60 * static_cast<int>(seconds / 60));
    return buf;
}

void Write(std::FILE* f, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), f);
    std::fflush(f);
}

void ReportFailure(std::FILE* err, const JobResult& result)
{
    if (!result.message.empty())
        Write(err, "quarrow-cli: " + FailureText(result.message, result.reason) + "\n");
}

// Not a terminal, or --quiet: a line for each item as it reaches its final status.
class LineView : public IJobView {
public:
    LineView(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    void OnItemStatus(const CDownloadItem& item) override
    {
        if (IsFinalItemStatus(item.GetStatus()))
            Write(m_out, FitToWidth(FinishedItemLine(item), std::string::npos) + "\n");
    }
    void OnTick(const JobProgress&) override {}
    void OnEnd(const JobResult& result) override
    {
        ReportFailure(m_err, result);
        Write(m_out, SummaryText(result));
    }

private:
    std::FILE* m_out;
    std::FILE* m_err;
};

class JsonView : public IJobView {
public:
    JsonView(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    void OnItemStatus(const CDownloadItem& item) override
    {
        Write(m_out, "{\"event\":\"item\"," + JsonItemFields(item) + "}\n");
    }
    void OnTick(const JobProgress&) override {}
    void OnEnd(const JobResult& result) override
    {
        ReportFailure(m_err, result);
        Write(m_err, SummaryText(result));
        Write(m_out, JsonFinalObject(result) + "\n");
    }

private:
    std::FILE* m_out;
    std::FILE* m_err;
};

// The job's lines, redrawn in place every tick; finished items are printed above them and
// scroll away with the terminal.
class LiveView : public IJobView {
public:
    LiveView(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

    void OnItemStatus(const CDownloadItem& item) override
    {
        if (IsFinalItemStatus(item.GetStatus()))
            m_finished.push_back(FitToWidth(FinishedItemLine(item), std::string::npos));
    }

    void OnTick(const JobProgress& p) override { Redraw(LiveViewLines(p, Width() - 1)); }

    void OnEnd(const JobResult& result) override
    {
        Redraw({});
        ReportFailure(m_err, result);
        Write(m_out, SummaryText(result));
    }

private:
    unsigned Width() const
    {
        winsize ws{};
        if (::ioctl(::fileno(m_out), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1)
            return ws.ws_col;
        return 80;
    }

    // The lines fit the width (one column to spare), so none wraps and the cursor moves
    // back up exactly as many lines as were drawn.
    void Redraw(const std::vector<std::string>& live)
    {
        std::string text;
        if (m_liveLines > 0)
            text += "\r\x1b[" + std::to_string(m_liveLines) + "A";
        text += "\x1b[J";
        for (const std::string& line : m_finished)
            text += line + "\n";
        m_finished.clear();
        for (const std::string& line : live)
            text += line + "\n";
        m_liveLines = static_cast<int>(live.size());
        Write(m_out, text);
    }

    std::FILE* m_out;
    std::FILE* m_err;
    std::vector<std::string> m_finished;
    int m_liveLines = 0;
};

// "0:35", "12:05", "1:02:03".
std::string ClockText(double seconds)
{
    const long total = static_cast<long>(std::llround(std::max(0.0, std::min(seconds, 359999.0))));
    char buf[32];
    if (total >= 3600)
        std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(buf, sizeof buf, "%ld:%02ld", total / 60, total % 60);
    return buf;
}

// Parts joined by two blanks; while too wide, the part of the highest rank goes first.
std::string JoinFitting(std::vector<std::pair<int, std::string>> parts, std::size_t width)
{
    const auto join = [&] {
        std::string line;
        for (const auto& part : parts)
            line += (line.empty() ? "" : "  ") + part.second;
        return line;
    };
    std::string line = join();
    while (DisplayWidth(line) > width && parts.size() > 1) {
        parts.erase(std::max_element(parts.begin(), parts.end(),
                                     [](const auto& a, const auto& b) { return a.first < b.first; }));
        line = join();
    }
    return FitToWidth(line, width);
}

std::string ItemStats(const TrackedItem& t, int detail)
{
    const CDownloadItem& item = t.item;
    const bool sized = item.GetFileSize() > 0;
    const double fraction = sized ? std::min(1.0, std::max(0.0, item.GetProgress())) : 0.0;
    char pct[16];
    if (sized)
        std::snprintf(pct, sizeof pct, "%3d%%", static_cast<int>(fraction * 100));
    else
        std::snprintf(pct, sizeof pct, "  ?%%");
    std::string stats = pct;
    if (detail >= 2) {
        constexpr int kBar = 20;
        const int filled = static_cast<int>(fraction * kBar);
        stats += " [" + std::string(static_cast<std::size_t>(filled), '#') +
                 std::string(static_cast<std::size_t>(kBar - filled), '.') + "]";
    }
    if (detail >= 1)
        stats += "  " + FormatByteSize(static_cast<double>(item.GetBytesTransferred())) + " of " + item.GetSizeText();
    if (detail >= 3)
        stats += "  " + FormatByteSize(t.speed) + "/s";
    return stats;
}

} // namespace

std::string JsonItemFields(const CDownloadItem& item)
{
    return "\"id\":" + std::to_string(item.GetId()) + ",\"file\":" + JsonString(item.GetFileName()) +
           ",\"url\":" + JsonString(item.GetURL()) + ",\"kind\":\"" + KindName(item.GetLinkKind()) +
           "\",\"status\":\"" + DownloadItemStatusName(item.GetStatus()) +
           "\",\"size\":" + std::to_string(item.GetFileSize()) +
           ",\"transferred\":" + std::to_string(item.GetBytesTransferred()) +
           ",\"saved_path\":" + JsonString(item.GetSavedPath()) + ",\"info\":" + JsonString(ItemInfoText(item));
}

std::string JsonFinalObject(const JobResult& result)
{
    std::string out = "{\"state\":" + JsonString(DownloaderStateName(result.state)) +
                      ",\"exit_code\":" + std::to_string(result.exitCode) + ",\"page\":" + JsonString(result.pageURL) +
                      ",\"folder\":" + JsonString(result.folder) +
                      ",\"elapsed_seconds\":" + Number(result.elapsedSeconds);
    if (!result.message.empty())
        out += ",\"error\":" + JsonString(result.message);
    if (!result.reason.empty())
        out += ",\"reason\":" + JsonString(result.reason);
    out += ",\"items\":[";
    bool first = true;
    for (const DownloadItemPtr& item : result.items) {
        if (!item)
            continue;
        if (!first)
            out += ",";
        first = false;
        out += "{" + JsonItemFields(*item) + "}";
    }
    return out + "]}";
}

std::string FinishedItemLine(const CDownloadItem& item)
{
    char label[16];
    std::snprintf(label, sizeof label, "%-10s", DownloadItemStatusLabel(item.GetStatus()));
    std::string line = std::string(label) + " " + item.GetFileName() + "  " + SizeText(item);
    if (item.GetStatus() != DIS_COMPLETED) {
        const std::string info = ItemInfoText(item);
        if (!info.empty())
            line += "  (" + info + ")";
    }
    return line;
}

std::string SummaryText(const JobResult& result)
{
    std::array<int, 7> counts{};
    std::int64_t bytes = 0;
    for (const DownloadItemPtr& item : result.items) {
        if (!item)
            continue;
        const auto s = item->GetStatus();
        if (s >= 0 && s < 7)
            ++counts[static_cast<std::size_t>(s)];
        if (s == DIS_COMPLETED)
            bytes += item->GetBytesTransferred();
    }
    const double seconds = result.elapsedSeconds;
    const double speed = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
    std::string text = std::to_string(result.items.size()) + " files: " + std::to_string(counts[DIS_COMPLETED]) +
                       " completed, " + std::to_string(counts[DIS_SKIPPED]) + " skipped, " +
                       std::to_string(counts[DIS_ERRORED]) + " errored, " + std::to_string(counts[DIS_CANCELLED]) +
                       " cancelled";
    if (counts[DIS_QUEUED] + counts[DIS_IN_PROGRESS] > 0)
        text += ", " + std::to_string(counts[DIS_QUEUED] + counts[DIS_IN_PROGRESS]) + " unfinished";
    text += "\n" + FormatByteSize(static_cast<double>(bytes)) + " in " + DurationText(seconds) + " (" +
            FormatByteSize(speed) + "/s)\n";
    text += "Saved in " + result.folder + "\n";
    return text;
}

std::size_t DisplayWidth(const std::string& text)
{
    std::size_t width = 0;
    ForEachShownCharacter(text, [&](std::string_view, std::size_t columns) {
        width += columns;
        return true;
    });
    return width;
}

std::string FitToWidth(const std::string& text, std::size_t width)
{
    const bool cut = DisplayWidth(text) > width;
    const std::size_t room = cut ? (width >= 2 ? width - 2 : 0) : width;
    std::string out;
    std::size_t used = 0;
    ForEachShownCharacter(text, [&](std::string_view bytes, std::size_t columns) {
        if (used + columns > room)
            return false;
        out += bytes;
        used += columns;
        return true;
    });
    if (cut)
        out += std::string(std::min<std::size_t>(2, width), '.');
    return out;
}

std::vector<std::string> LiveViewLines(const JobProgress& p, std::size_t width)
{
    std::array<int, 7> counts{};
    std::vector<const TrackedItem*> running;
    std::int64_t done = 0;
    std::int64_t total = 0;
    bool sizesUnknown = false;
    if (p.items) {
        for (const auto& [id, tracked] : *p.items) {
            const CDownloadItem& item = tracked.item;
            const auto s = item.GetStatus();
            if (s >= 0 && s < 7)
                ++counts[static_cast<std::size_t>(s)];
            if (s == DIS_IN_PROGRESS)
                running.push_back(&tracked);
            // Items that ended without their file count neither way.
            if (s != DIS_QUEUED && s != DIS_IN_PROGRESS && s != DIS_COMPLETED)
                continue;
            done += item.GetBytesTransferred();
            if (item.GetFileSize() > 0)
                total += std::max(item.GetFileSize(), item.GetBytesTransferred());
            else if (s == DIS_COMPLETED)
                total += item.GetBytesTransferred();
            else
                sizesUnknown = true; // not started, or the server did not say
        }
    }
    const int files = static_cast<int>(p.items ? p.items->size() : 0);
    const int finished = files - counts[DIS_QUEUED] - counts[DIS_IN_PROGRESS];

    std::vector<std::string> lines;
    lines.push_back(FitToWidth("Page: " + p.pageURL, width));

    // Lower ranks stay longest when the terminal is narrow. The state loses its "...":
    // the figures below show that work goes on.
    std::string state = DownloaderStateLabel(p.state, p.cancelling);
    if (state.size() > 3 && state.compare(state.size() - 3, 3, "...") == 0)
        state.resize(state.size() - 3);
    std::vector<std::pair<int, std::string>> status = {
        {0, state},
        {2, std::to_string(finished) + "/" + std::to_string(files) + " done"},
    };
    const std::pair<DownloadItemStatus, const char*> shown[] = {
        {DIS_COMPLETED, "completed"}, {DIS_ERRORED, "errored"},     {DIS_SKIPPED, "skipped"},
        {DIS_CANCELLED, "cancelled"}, {DIS_IN_PROGRESS, "running"}, {DIS_QUEUED, "queued"}};
    for (const auto& [st, label] : shown) {
        const int n = counts[static_cast<std::size_t>(st)];
        if (n == 0 && st != DIS_ERRORED)
            continue;
        const int rank = st == DIS_ERRORED ? 1 : st == DIS_SKIPPED || st == DIS_CANCELLED ? 3 : 4;
        status.push_back({rank, std::to_string(n) + " " + label});
    }
    lines.push_back(JoinFitting(status, width));

    // "+" marks a total that will grow: some sizes are not known yet.
    const std::string more = sizesUnknown ? "+" : "";
    std::vector<std::pair<int, std::string>> overall = {
        {0, FormatByteSize(static_cast<double>(done)) + " of " + FormatByteSize(static_cast<double>(total)) + more},
    };
    if (total > 0)
        overall.push_back({0, std::to_string(static_cast<int>(std::min<std::int64_t>(100, done * 100 / total))) + "%"});
    overall.push_back({1, FormatByteSize(p.speed) + "/s"});
    if (p.speed > 0 && total >= done)
        overall.push_back({2, ClockText(static_cast<double>(total - done) / p.speed) + more + " left"});
    else
        overall.push_back({2, "--:-- left"});
    lines.push_back(JoinFitting(overall, width));

    // Name first; the names share one column so that the figures line up.
    std::size_t nameColumns = 0;
    for (const TrackedItem* t : running)
        nameColumns = std::max(nameColumns, DisplayWidth(t->item.GetFileName()));
    int detail = 3;
    const auto statsWidth = [&](int d) {
        std::size_t w = 0;
        for (const TrackedItem* t : running)
            w = std::max(w, DisplayWidth(ItemStats(*t, d)));
        return w;
    };
    constexpr std::size_t kMinName = 12;
    while (detail > 0 && statsWidth(detail) + 2 + std::min(nameColumns, kMinName) > width)
        --detail;
    const std::size_t stats = statsWidth(detail);
    const std::size_t nameRoom = width > stats + 2 ? std::min(nameColumns, width - stats - 2) : width;
    for (const TrackedItem* t : running) {
        std::string name = FitToWidth(t->item.GetFileName(), nameRoom);
        name += std::string(nameRoom - std::min(nameRoom, DisplayWidth(name)), ' ');
        lines.push_back(FitToWidth(name + "  " + ItemStats(*t, detail), width));
    }
    return lines;
}

bool TerminalCanRedraw(const char* term)
{
    return term != nullptr && *term != '\0' && std::string_view(term) != "dumb";
}

std::unique_ptr<IJobView> MakeJobView(ViewKind kind, std::FILE* out, std::FILE* err)
{
    switch (kind) {
    case ViewKind::Live:
        if (TerminalCanRedraw(std::getenv("TERM")))
            return std::make_unique<LiveView>(out, err);
        break;
    case ViewKind::Json: return std::make_unique<JsonView>(out, err);
    case ViewKind::Lines: break;
    }
    return std::make_unique<LineView>(out, err);
}
