#include "cli/JobViews.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Length of the UTF-8 sequence starting at s[i], or 0 when it is not valid.
std::size_t Utf8Length(const std::string& s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr std::array<std::uint32_t, 5> kMin = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return 0;
    return n;
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
            Write(m_out, FinishedItemLine(item) + "\n");
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

// A header and a bar per running item, redrawn in place every tick; finished items are
// printed above it and scroll away with the terminal.
class LiveView : public IJobView {
public:
    LiveView(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

    void OnItemStatus(const CDownloadItem& item) override
    {
        if (IsFinalItemStatus(item.GetStatus()))
            m_finished.push_back(FinishedItemLine(item));
    }

    void OnTick(const JobProgress& p) override
    {
        std::array<int, 7> counts{};
        std::vector<const TrackedItem*> running;
        for (const auto& [id, tracked] : *p.items) {
            const auto s = tracked.item.GetStatus();
            if (s >= 0 && s < 7)
                ++counts[static_cast<std::size_t>(s)];
            if (s == DIS_IN_PROGRESS)
                running.push_back(&tracked);
        }
        std::vector<std::string> lines;
        lines.push_back("Page: " + p.pageURL);
        lines.push_back(std::string(DownloaderStateLabel(p.state, p.cancelling)) + "  " + std::to_string(counts[DIS_QUEUED]) +
                        " queued, " + std::to_string(counts[DIS_IN_PROGRESS]) + " in progress, " +
                        std::to_string(counts[DIS_COMPLETED]) + " completed, " +
                        std::to_string(counts[DIS_SKIPPED]) + " skipped, " + std::to_string(counts[DIS_ERRORED]) +
                        " errored, " + std::to_string(counts[DIS_CANCELLED]) + " cancelled  " +
                        FormatByteSize(p.speed) + "/s");
        for (const TrackedItem* t : running)
            lines.push_back(ProgressLine(*t));
        Redraw(lines);
    }

    void OnEnd(const JobResult& result) override
    {
        Redraw({});
        ReportFailure(m_err, result);
        Write(m_out, SummaryText(result));
    }

private:
    static std::string ProgressLine(const TrackedItem& t)
    {
        const CDownloadItem& item = t.item;
        constexpr int kBar = 24;
        const double fraction = item.GetFileSize() > 0 ? std::min(1.0, std::max(0.0, item.GetProgress())) : 0.0;
        const int filled = static_cast<int>(fraction * kBar);
        std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                          std::string(static_cast<std::size_t>(kBar - filled), '.') + "]";
        char pct[16];
        if (item.GetFileSize() > 0)
            std::snprintf(pct, sizeof pct, "%3d%%", static_cast<int>(fraction * 100));
        else
            std::snprintf(pct, sizeof pct, "  ?%%");
        return "  " + bar + " " + pct + "  " + FormatByteSize(t.speed) + "/s  " +
               FormatByteSize(static_cast<double>(item.GetBytesTransferred())) + " / " + item.GetSizeText() + "  " +
               item.GetFileName();
    }

    unsigned Width() const
    {
        winsize ws{};
        if (::ioctl(::fileno(m_out), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1)
            return ws.ws_col;
        return 80;
    }

    void Redraw(const std::vector<std::string>& live)
    {
        std::string text;
        if (m_liveLines > 0)
            text += "\r\x1b[" + std::to_string(m_liveLines) + "A";
        text += "\x1b[J";
        for (const std::string& line : m_finished)
            text += line + "\n";
        m_finished.clear();
        // Cut to the width, or a wrapped line would throw the next redraw off.
        const unsigned width = Width() - 1;
        for (const std::string& line : live)
            text += (line.size() > width ? line.substr(0, width) : line) + "\n";
        m_liveLines = static_cast<int>(live.size());
        Write(m_out, text);
    }

    std::FILE* m_out;
    std::FILE* m_err;
    std::vector<std::string> m_finished;
    int m_liveLines = 0;
};

} // namespace

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    return out + "\"";
}

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
                      ",\"exit_code\":" + std::to_string(result.exitCode) +
                      ",\"page\":" + JsonString(result.pageURL) + ",\"folder\":" + JsonString(result.folder) +
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

std::unique_ptr<IJobView> MakeJobView(ViewKind kind, std::FILE* out, std::FILE* err)
{
    switch (kind) {
    case ViewKind::Live: return std::make_unique<LiveView>(out, err);
    case ViewKind::Json: return std::make_unique<JsonView>(out, err);
    case ViewKind::Lines: break;
    }
    return std::make_unique<LineView>(out, err);
}
