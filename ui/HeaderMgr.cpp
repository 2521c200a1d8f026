#include "ui/HeaderMgr.h"

#include "config/PersistSettings.h"

#include <QHeaderView>

#include <algorithm>

namespace {
constexpr int kIdWidth = 25;
constexpr int kDefaultWidth = 150;
// The control takes widths as 16-bit values.
constexpr int kMaxWidth = 0xFFFF;
} // namespace

const char* CHeaderMgr::Title(int type)
{
    static const char* const titles[COL_COUNT] = {"",      "File Name",   "Size",      "Progress",
                                                  "Speed", "Transferred", "Remaining", "Source"};
    return type >= 0 && type < COL_COUNT ? titles[type] : "";
}

CHeaderMgr::CHeaderMgr(QHeaderView* header) : m_header(header)
{
    for (int type = 0; type < COL_COUNT; ++type) {
        HdrColInfo info;
        info.name = Title(type);
        info.type = type;
        info.defaultWidth = type == COL_ID ? kIdWidth : kDefaultWidth;
        info.width = info.defaultWidth;
        m_columns.push_back(info);
    }
}

int CHeaderMgr::PositionOf(int type) const
{
    const auto it = std::find(m_positions.begin(), m_positions.end(), type);
    return it == m_positions.end() ? -1 : static_cast<int>(it - m_positions.begin());
}

std::vector<int> CHeaderMgr::ShownInDisplayOrder() const
{
    std::vector<int> shown = m_positions;
    std::sort(shown.begin(), shown.end(),
              [this](int a, int b) { return m_header->visualIndex(a) < m_header->visualIndex(b); });
    return shown;
}

void CHeaderMgr::ShowColumn(int type)
{
    if (type < 0 || type >= COL_COUNT || IsShown(type))
        return;
    const auto at = std::find_if(m_positions.begin(), m_positions.end(), [type](int t) { return t >= type; });
    const int position = static_cast<int>(at - m_positions.begin());

    // It lands right after its neighbour in type order, wherever that has been dragged.
    const int previous = position > 0 ? m_positions[static_cast<std::size_t>(position - 1)] : -1;
    const int next = at != m_positions.end() ? *at : -1;
    m_positions.insert(at, type);
    m_columns[type].shown = true;
    m_header->setSectionHidden(type, false);
    m_header->resizeSection(type, m_columns[type].width);
    const int from = m_header->visualIndex(type);
    int to = from;
    if (previous >= 0) {
        const int after = m_header->visualIndex(previous);
        to = from < after ? after : after + 1;
    } else if (next >= 0) {
        const int before = m_header->visualIndex(next);
        to = from < before ? before - 1 : before;
    }
    if (from != to)
        m_header->moveSection(from, to);
}

void CHeaderMgr::HideColumn(int type)
{
    if (type < 0 || type >= COL_COUNT)
        return;
    m_columns[type].shown = false;
    const int position = PositionOf(type);
    if (position < 0)
        return;
    m_positions.erase(m_positions.begin() + position);
    // A hidden section reports width 0: take it first.
    m_columns[type].width = m_header->sectionSize(type);
    m_header->setSectionHidden(type, true);
}

void CHeaderMgr::HideAll()
{
    const std::vector<int> shown = m_positions;
    for (int type : shown)
        HideColumn(type);
    for (int type = 0; type < COL_COUNT; ++type)
        m_header->setSectionHidden(type, true);
}

void CHeaderMgr::SetDefaultLayout()
{
    HideAll();
    for (int type = 0; type < COL_COUNT; ++type) {
        const int from = m_header->visualIndex(type);
        if (from != type)
            m_header->moveSection(from, type);
    }
    for (int type = 0; type < COL_COUNT; ++type) {
        m_columns[type].width = m_columns[type].defaultWidth;
        ShowColumn(type);
    }
}

bool CHeaderMgr::ApplyShownTypes(const std::vector<std::int32_t>& types)
{
    HideAll();
    for (std::int32_t type : types)
        ShowColumn(type);
    return true;
}

bool CHeaderMgr::ApplyOrder(const std::vector<std::int32_t>& order)
{
    const int count = ShownCount();
    if (static_cast<int>(order.size()) != count)
        return false;
    std::vector<std::int32_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < count; ++i)
        if (sorted[i] != i)
            return false;
    for (int k = 0; k < count; ++k) {
        const int type = m_positions[order[k]];
        const int from = m_header->visualIndex(type);
        if (from != k)
            m_header->moveSection(from, k);
    }
    return true;
}

bool CHeaderMgr::ApplyWidths(const std::vector<std::int32_t>& widths)
{
    const std::size_t n = std::min<std::size_t>(widths.size(), COL_COUNT);
    for (std::size_t i = 0; i < n; ++i) {
        if (widths[i] < 0 || widths[i] > kMaxWidth)
            return false;
        m_columns[i].width = widths[i];
    }
    for (int type : m_positions) {
        m_header->resizeSection(type, m_columns[type].width);
        if (m_header->sectionSize(type) != m_columns[type].width)
            return false;
    }
    return true;
}

void CHeaderMgr::RecordWidths()
{
    for (int type : m_positions)
        m_columns[type].width = m_header->sectionSize(type);
}

void CHeaderMgr::GetOrder(std::vector<std::int32_t>& out) const
{
    out.clear();
    for (int type : ShownInDisplayOrder())
        out.push_back(PositionOf(type));
}

void CHeaderMgr::GetWidths(std::vector<std::int32_t>& out) const
{
    out.clear();
    for (const HdrColInfo& column : m_columns)
        out.push_back(column.width);
}

void CHeaderMgr::Load(const PersistSettings& settings)
{
    if (!settings.m_mainViewHdrCols.empty() && !settings.m_mainViewHdrColOrdering.empty() &&
        !settings.m_mainViewHdrColWidths.empty()) {
        ApplyShownTypes(settings.m_mainViewHdrCols);
        if (ApplyOrder(settings.m_mainViewHdrColOrdering) && ApplyWidths(settings.m_mainViewHdrColWidths))
            return;
    }
    SetDefaultLayout();
}

void CHeaderMgr::Save(PersistSettings& settings)
{
    RecordWidths();
    GetShownTypes(settings.m_mainViewHdrCols);
    GetOrder(settings.m_mainViewHdrColOrdering);
    GetWidths(settings.m_mainViewHdrColWidths);
}
