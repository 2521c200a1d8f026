#pragma once
// The list of file types on the Filter page: extension and description with a check box
// per type. It shows the dialog's own copies of the types; a check box toggles only on a
// click on the box itself and only while the view is editable.
#include "config/FileType.h"

#include <QTableView>

#include <memory>
#include <string>
#include <vector>

class CFileTypesModel;

class COptionTypesView : public QTableView {
    Q_OBJECT
public:
    static constexpr int kExtensionWidth = 100;
    static constexpr int kDescriptionWidth = 155;

    explicit COptionTypesView(QWidget* parent = nullptr);
    ~COptionTypesView() override;

    // Both copy the CFileType objects, so the view never shares one with another record.
    void SetTypes(const std::vector<std::shared_ptr<CFileType>>& types);
    std::vector<std::shared_ptr<CFileType>> GetTypes() const;
    const std::vector<std::shared_ptr<CFileType>>& Types() const { return m_types; }

    // Normalises `text` (std::runtime_error on failure) and appends the type with its known
    // description or "N/A". The list is not re-sorted.
    void AddFileType(const std::string& text, bool selected);
    // Asks whether to remove the selected type; true if it was removed.
    bool RemoveSelected();

    // Ascending by extension (column 0) or description (column 1), byte-wise.
    void SortByColumn(int column);

    // The selected row, or -1.
    int SelectedIndex() const;
    void SelectIndex(int row);

    bool IsModified() const { return m_modified; }
    void ClearModified() { m_modified = false; }
    bool IsEditable() const { return m_editable; }
    void SetEditable(bool editable) { m_editable = editable; }

    void SetColumnWidths(int extension, int description);
    int ColumnWidth(int column) const { return columnWidth(column); }

    // Where the check box of `row` is drawn, in viewport coordinates.
    QRect CheckBoxRect(int row) const;

signals:
    // A check box was toggled by the user.
    void checkToggled();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Refresh();
    bool HitsCheckBox(const QPoint& pos, int& row) const;

    std::vector<std::shared_ptr<CFileType>> m_types;
    CFileTypesModel* m_model;
    bool m_modified = false;
    bool m_editable = true;
};
