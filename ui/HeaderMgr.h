#pragma once
// Which columns of the download list are shown, in which order and how wide, and their
// round trip through the three column lists of PersistSettings. The header always holds a
// section per column type; a column that is not shown is a hidden section.
#include "ui/ColumnType.h"

#include <cstdint>
#include <string>
#include <vector>

class PersistSettings;
class QHeaderView;

struct HdrColInfo {
    std::string name;
    int defaultWidth = 150;
    int type = 0;
    bool shown = false;
    // Last known width: kept while the column is hidden, applied when it is shown.
    int width = 150;
};

class CHeaderMgr {
public:
    // Builds the default table; touches the header only from the first Show or Apply on.
    explicit CHeaderMgr(QHeaderView* header);

    static const char* Title(int type);

    int TypeAt(int position) const { return m_positions.at(position); }
    int ShownCount() const { return static_cast<int>(m_positions.size()); }
    bool IsShown(int type) const { return m_columns.at(type).shown; }
    // The column's index among the shown ones (ascending type order), or -1.
    int PositionOf(int type) const;
    const HdrColInfo& Column(int type) const { return m_columns.at(type); }

    // Shows the column right after the shown column before it in type order, with the
    // width it had when it was hidden.
    void ShowColumn(int type);
    void HideColumn(int type);
    // All eight columns in type order with their default widths.
    void SetDefaultLayout();

    bool ApplyShownTypes(const std::vector<std::int32_t>& types);
    // Display order of the shown columns, as indices into the shown ones. False (nothing
    // changed) unless it is an arrangement of exactly the shown columns.
    bool ApplyOrder(const std::vector<std::int32_t>& order);
    // Widths of the types in type order. False if a shown column refuses its width.
    bool ApplyWidths(const std::vector<std::int32_t>& widths);

    void RecordWidths();
    void GetShownTypes(std::vector<std::int32_t>& out) const { out.assign(m_positions.begin(), m_positions.end()); }
    void GetOrder(std::vector<std::int32_t>& out) const;
    void GetWidths(std::vector<std::int32_t>& out) const;

    // The saved layout if all three lists are there and fit, else the default one.
    void Load(const PersistSettings& settings);
    void Save(PersistSettings& settings);

private:
    void HideAll();
    // Shown types in display order.
    std::vector<int> ShownInDisplayOrder() const;

    QHeaderView* m_header;
    std::vector<HdrColInfo> m_columns;
    std::vector<int> m_positions;
};
