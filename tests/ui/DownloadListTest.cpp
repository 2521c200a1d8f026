#include "ViewFixture.h"
#include "app/MainLoop.h"
#include "support/Sandbox.h"
#include "ui/DownloadItemsDelegate.h"
#include "ui/FileIconCache.h"
#include "ui/HeaderMgr.h"
#include "ui/SpecialHeaderCtrl.h"
#include "ui/TimerManager.h"

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QToolTip>

#include <algorithm>
#include <filesystem>
#include <map>

namespace qtest {
namespace {

struct CellCase {
    DownloadItemStatus status;
    std::int64_t size;
    std::int64_t transferred;
    const char* sizeText;
    const char* progress;
    const char* speed;
    const char* transferredText;
    const char* remaining;
};

TEST_F(ViewTest, CellTextsOfEveryStatus)
{
    const CellCase cases[] = {
        {DIS_QUEUED, 0, 0, "Unknown", "Queued", "--   ", "--   ", "--   "},
        {DIS_IN_PROGRESS, 2048, 1024, "2 KB", "In progress", "1 KB/s", "1 KB", "1 KB"},
        {DIS_IN_PROGRESS, 0, 1536, "???", "In progress", "1.5 KB/s", "1.5 KB", "???"},
        {DIS_COMPLETED, 1536, 1536, "1.5 KB", "Completed", "--   ", "1.5 KB", "0 bytes"},
        {DIS_CANCELLED, 4096, 100, "--   ", "Cancelled", "--   ", "--   ", "--   "},
        {DIS_ERRORED, 4096, 0, "--   ", "Errored", "--   ", "--   ", "--   "},
        {DIS_DELETED, 1000, 1000, "--   ", "Deleted", "--   ", "--   ", "--   "},
        {DIS_SKIPPED, 123456789, 0, "117.7 MB", "Skipped", "--   ", "--   ", "--   "},
        {DIS_SKIPPED, 0, 0, "--  ", "Skipped", "--   ", "--   ", "--   "},
    };
    std::vector<DownloadItemPtr> items;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        items.push_back(MakeItem(static_cast<std::int32_t>(i), "f" + std::to_string(i) + ".jpg", cases[i].status,
                                 cases[i].size, cases[i].transferred));
    m_view->UpdateItems(items);
    ASSERT_EQ(m_view->ItemsModel()->rowCount(), static_cast<int>(std::size(cases)));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const int row = static_cast<int>(i); // sorted by id, ascending
        const CellCase& c = cases[i];
        SCOPED_TRACE(DownloadItemStatusName(c.status));
        EXPECT_EQ(Cell(row, COL_ID), std::to_string(i + 1));
        EXPECT_EQ(Cell(row, COL_FILE_NAME), "f" + std::to_string(i) + ".jpg");
        EXPECT_EQ(Cell(row, COL_SIZE), c.sizeText);
        EXPECT_EQ(Cell(row, COL_PROGRESS), c.progress);
        EXPECT_EQ(Cell(row, COL_SPEED), c.speed);
        EXPECT_EQ(Cell(row, COL_TRANSFERRED), c.transferredText);
        EXPECT_EQ(Cell(row, COL_REMAINING), c.remaining);
        EXPECT_EQ(Cell(row, COL_SOURCE), "http://files.example/f" + std::to_string(i) + ".jpg");
        // Status icons for all but the item in progress, which shows a bar.
        const QVariant icon = m_view->ItemsModel()->index(row, COL_PROGRESS).data(Qt::DecorationRole);
        EXPECT_EQ(icon.value<QIcon>().isNull(), c.status == DIS_IN_PROGRESS);
    }
    using M = CDownloadItemsModel;
    EXPECT_EQ(M::CellAlignment(COL_ID), Qt::AlignCenter);
    for (int type : {COL_SIZE, COL_SPEED, COL_TRANSFERRED, COL_REMAINING})
        EXPECT_TRUE(M::CellAlignment(type) & Qt::AlignRight) << type;
    for (int type : {COL_FILE_NAME, COL_PROGRESS, COL_SOURCE})
        EXPECT_TRUE(M::CellAlignment(type) & Qt::AlignLeft) << type;
}

TEST_F(ViewTest, UpdatesMergeByIdAppendNewOnesAndReachThePropertiesDialog)
{
    m_view->UpdateItems({MakeItem(0, "a.png", DIS_QUEUED), MakeItem(1, "b.png", DIS_QUEUED)});
    const DownloadItemPtr shownA = m_view->ItemsModel()->Item(0);
    m_view->SetPropertiesItem(1);
    const DownloadItemPtr newB = MakeItem(1, "b.png", DIS_COMPLETED, 10, 10);
    m_view->UpdateItems({newB, MakeItem(2, "c.png", DIS_QUEUED), MakeItem(0, "a.png", DIS_ERRORED)});
    EXPECT_EQ(IdsInOrder(), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(m_view->ItemsModel()->Item(0), shownA) << "a row keeps its item; the data is copied in";
    EXPECT_EQ(shownA->GetStatus(), DIS_ERRORED);
    EXPECT_EQ(Cell(1, COL_PROGRESS), "Completed");
    ASSERT_EQ(m_parent.m_propertiesShown.size(), 1u);
    EXPECT_EQ(m_parent.m_propertiesShown[0], newB);

    // Ids outside a job's sequence numbers still merge by id.
    m_view->UpdateItems({MakeItem(-7, "neg.png", DIS_QUEUED), MakeItem(1 << 30, "big.png", DIS_QUEUED)});
    m_view->UpdateItems({MakeItem(-7, "neg.png", DIS_ERRORED), MakeItem(1 << 30, "big.png", DIS_ERRORED)});
    EXPECT_EQ(IdsInOrder(), (std::vector<std::int32_t>{-7, 0, 1, 2, 1 << 30}));
    EXPECT_EQ(Cell(0, COL_PROGRESS), "Errored");
    EXPECT_EQ(Cell(4, COL_PROGRESS), "Errored");

    m_view->ClearPropertiesItem();
    m_view->UpdateItems({MakeItem(1, "b.png", DIS_COMPLETED, 10, 10)});
    EXPECT_EQ(m_parent.m_propertiesShown.size(), 1u);

    m_view->ClearItems();
    EXPECT_EQ(m_view->ItemsModel()->rowCount(), 0);
    EXPECT_EQ(m_view->ItemsDelegate()->ContentWidth(COL_ID), 28);
    EXPECT_EQ(m_view->ItemsDelegate()->ContentWidth(COL_SOURCE), 5);
}

TEST_F(ViewTest, ProgressSortsByStatusAndHeaderClicksFlipTheDirection)
{
    const DownloadItemStatus order[] = {DIS_DELETED, DIS_SKIPPED,     DIS_ERRORED,  DIS_CANCELLED,
                                        DIS_QUEUED,  DIS_IN_PROGRESS, DIS_COMPLETED};
    // Fed in a scrambled order; the id is the place the status must end up in.
    std::vector<DownloadItemPtr> items;
    for (int i : {3, 6, 0, 5, 1, 4, 2})
        items.push_back(MakeItem(i, "f" + std::to_string(i), order[i], 100, i == 5 ? 50 : (i == 6 ? 100 : 0)));
    m_view->UpdateItems(items);
    EXPECT_EQ(m_view->SortType(), COL_ID);
    EXPECT_EQ(IdsInOrder(), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));

    m_view->OnHeaderClick(COL_PROGRESS);
    EXPECT_TRUE(m_view->SortAscending());
    EXPECT_EQ(IdsInOrder(), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));
    for (int row = 0; row < 7; ++row)
        EXPECT_EQ(m_view->ItemsModel()->Item(row)->GetStatus(), order[row]) << row;

    m_view->OnHeaderClick(COL_PROGRESS);
    EXPECT_FALSE(m_view->SortAscending());
    EXPECT_EQ(IdsInOrder(), (std::vector<std::int32_t>{6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(m_view->HeaderCtrl()->sortIndicatorOrder(), Qt::DescendingOrder);
    m_view->OnHeaderClick(COL_PROGRESS);
    EXPECT_TRUE(m_view->SortAscending());
    EXPECT_EQ(m_view->HeaderCtrl()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(m_view->HeaderCtrl()->sortIndicatorSection(), COL_PROGRESS);

    // Another column starts ascending; so does a real click on the header.
    m_view->OnHeaderClick(COL_FILE_NAME);
    m_view->OnHeaderClick(COL_FILE_NAME);
    EXPECT_FALSE(m_view->SortAscending());
    emit m_view->HeaderCtrl()->sectionClicked(COL_SOURCE);
    EXPECT_EQ(m_view->SortType(), COL_SOURCE);
    EXPECT_TRUE(m_view->SortAscending());
}

TEST_F(ViewTest, HidingTheSortedColumnSortsByFileName)
{
    m_view->UpdateItems({MakeItem(0, "b", DIS_QUEUED), MakeItem(1, "A", DIS_QUEUED), MakeItem(2, "c", DIS_QUEUED)});
    m_view->OnHeaderClick(COL_SPEED);
    m_view->OnCommand(CMirefoldView::ID_COL_SPEED);
    EXPECT_FALSE(m_view->HeaderMgr().IsShown(COL_SPEED));
    EXPECT_EQ(m_view->SortType(), COL_FILE_NAME);
    EXPECT_EQ(m_view->SortPosition(), 1);
    EXPECT_EQ(IdsInOrder(), (std::vector<std::int32_t>{1, 0, 2}));

    // A column further right keeps its sort; its position moves with the toggles.
    m_view->OnHeaderClick(COL_SOURCE);
    EXPECT_EQ(m_view->SortPosition(), 6);
    m_view->OnCommand(CMirefoldView::ID_COL_SIZE);
    EXPECT_EQ(m_view->SortPosition(), 5);
    m_view->OnCommand(CMirefoldView::ID_COL_SIZE);
    m_view->OnCommand(CMirefoldView::ID_COL_SPEED);
    EXPECT_EQ(m_view->SortPosition(), 7);
    EXPECT_EQ(m_view->SortType(), COL_SOURCE);
}

TEST_F(ViewTest, ColumnMenuChecksShownColumnsAndGreysIdAndFileName)
{
    m_view->OnCommand(CMirefoldView::ID_COL_REMAINING);
    std::unique_ptr<QMenu> menu(m_view->BuildColumnMenu());
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 8);
    const char* labels[] = {"Id", "File Name", "Size", "Progress", "Speed", "Transferred", "Remaining", "Source"};
    const int ids[] = {32784, 32772, 32774, 32773, 32775, 32776, 32777, 32778};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(actions[i]->text().toStdString(), labels[i]);
        EXPECT_EQ(actions[i]->data().toInt(), ids[i]);
        EXPECT_EQ(actions[i]->isEnabled(), i >= 2) << labels[i];
        EXPECT_EQ(actions[i]->isChecked(), i != 6) << labels[i];
    }
}

TEST_F(ViewTest, DefaultLayoutOnFirstStart)
{
    const CHeaderMgr& mgr = m_view->HeaderMgr();
    ASSERT_EQ(mgr.ShownCount(), 8);
    for (int type = 0; type < COL_COUNT; ++type) {
        EXPECT_EQ(mgr.TypeAt(type), type);
        EXPECT_EQ(m_view->HeaderCtrl()->visualIndex(type), type);
        EXPECT_EQ(m_view->HeaderCtrl()->sectionSize(type), type == COL_ID ? 25 : 150) << type;
    }
    EXPECT_EQ(m_view->HeaderCtrl()->sectionResizeMode(COL_ID), QHeaderView::Fixed);
    EXPECT_EQ(m_view->HeaderCtrl()->sectionResizeMode(COL_SOURCE), QHeaderView::Interactive);
    EXPECT_EQ(m_view->verticalHeader()->defaultSectionSize(), CDownloadItemsDelegate::RowHeight());
    // The arrow on the sort column, Id ascending at first.
    EXPECT_TRUE(m_view->HeaderCtrl()->isSortIndicatorShown());
    EXPECT_EQ(m_view->HeaderCtrl()->sortIndicatorSection(), COL_ID);
    EXPECT_EQ(m_view->HeaderCtrl()->sortIndicatorOrder(), Qt::AscendingOrder);
}

// The header's own arrow: the blue of its picture in the sorted section only, pointing down
// while ascending and up while descending.
TEST_F(ViewTest, HeaderDrawsTheProgramsArrowOnTheSortedColumnOnly)
{
    CSpecialHeaderCtrl* header = m_view->HeaderCtrl();
    const auto arrowRows = [header](int logical) {
        const QImage image = header->grab().toImage();
        const int left = header->sectionViewportPosition(logical);
        std::map<int, int> rows; // row -> arrow pixels in it
        for (int y = 0; y < image.height(); ++y)
            for (int x = left; x < std::min(left + header->sectionSize(logical), image.width()); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.blue() > c.red() + 60 && c.blue() > c.green() + 25)
                    ++rows[y];
            }
        return rows;
    };
    const auto widestAtTop = [](const std::map<int, int>& rows) {
        return rows.begin()->second > rows.rbegin()->second;
    };

    m_view->OnHeaderClick(COL_SIZE);
    ASSERT_TRUE(m_view->SortAscending());
    std::map<int, int> rows = arrowRows(COL_SIZE);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_TRUE(widestAtTop(rows)) << "ascending points down";
    for (const int other : {int(COL_ID), int(COL_FILE_NAME), int(COL_PROGRESS), int(COL_SOURCE)})
        EXPECT_TRUE(arrowRows(other).empty()) << other;

    m_view->OnHeaderClick(COL_SIZE);
    ASSERT_FALSE(m_view->SortAscending());
    rows = arrowRows(COL_SIZE);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_FALSE(widestAtTop(rows)) << "descending points up";
}

TEST_F(ViewTest, LayoutComesBackFromTheSettingsAndAHiddenColumnReturnsInPlace)
{
    CSpecialHeaderCtrl* header = m_view->HeaderCtrl();
    header->resizeSection(COL_SPEED, 97);
    m_view->OnCommand(CMirefoldView::ID_COL_SPEED);
    header->resizeSection(COL_SOURCE, 321);
    header->moveSection(header->visualIndex(COL_SOURCE), 2); // in front of Size: allowed
    m_view->SaveHeaderSettings();
    EXPECT_EQ(m_settings.m_mainViewHdrCols, (std::vector<std::int32_t>{0, 1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(m_settings.m_mainViewHdrColOrdering, (std::vector<std::int32_t>{0, 1, 6, 2, 3, 4, 5}));
    EXPECT_EQ(m_settings.m_mainViewHdrColWidths, (std::vector<std::int32_t>{25, 150, 150, 150, 97, 150, 150, 321}));

    // Through the file, as at the next start.
    TempFolder folder;
    const std::string path = (folder.Path() / "QR_Settings.xml").string();
    m_settings.Save(path.c_str());
    m_settings = PersistSettings();
    m_settings.Restore(path.c_str());
    Rebuild();
    header = m_view->HeaderCtrl();
    EXPECT_FALSE(m_view->HeaderMgr().IsShown(COL_SPEED));
    EXPECT_TRUE(header->isSectionHidden(COL_SPEED));
    EXPECT_EQ(header->sectionSize(COL_SOURCE), 321);
    EXPECT_EQ(header->visualIndex(COL_SOURCE), 2);
    EXPECT_LT(header->visualIndex(COL_SIZE), header->visualIndex(COL_PROGRESS));

    m_view->OnCommand(CMirefoldView::ID_COL_SPEED);
    EXPECT_TRUE(m_view->HeaderMgr().IsShown(COL_SPEED));
    EXPECT_EQ(m_view->HeaderMgr().PositionOf(COL_SPEED), 4);
    EXPECT_EQ(header->visualIndex(COL_SPEED), header->visualIndex(COL_PROGRESS) + 1);
    EXPECT_EQ(header->visualIndex(COL_TRANSFERRED), header->visualIndex(COL_SPEED) + 1);
    EXPECT_EQ(header->sectionSize(COL_SPEED), 97);
}

TEST_F(ViewTest, SavedListsThatDoNotFitGiveTheDefaultLayout)
{
    const std::vector<std::vector<std::int32_t>> orders = {{0, 1, 2}, {0, 1, 1, 2, 3, 4, 5, 6}, {}};
    for (const auto& order : orders) {
        m_settings.m_mainViewHdrCols = {0, 1, 2, 3, 4, 5, 6, 7};
        m_settings.m_mainViewHdrColOrdering = order;
        m_settings.m_mainViewHdrColWidths = {25, 150, 10, 10, 10, 10, 10, 10};
        Rebuild();
        for (int type = 0; type < COL_COUNT; ++type) {
            EXPECT_EQ(m_view->HeaderCtrl()->sectionSize(type), type == COL_ID ? 25 : 150);
            EXPECT_EQ(m_view->HeaderCtrl()->visualIndex(type), type);
        }
    }
    m_settings.m_mainViewHdrColOrdering = {0, 1, 2, 3, 4, 5, 6, 7};
    m_settings.m_mainViewHdrColWidths = {25, 150, -4};
    Rebuild();
    EXPECT_EQ(m_view->HeaderCtrl()->sectionSize(COL_SIZE), 150);
}

TEST_F(ViewTest, DragsMayNotDisplaceIdAndFileName)
{
    CSpecialHeaderCtrl* header = m_view->HeaderCtrl();
    struct Drag {
        int type;
        int to;
        bool allowed;
    };
    const Drag drags[] = {
        {COL_SOURCE, 1, false}, {COL_SOURCE, 0, false}, {COL_FILE_NAME, 4, false},
        {COL_ID, 3, false},     {COL_SOURCE, 2, true},  {COL_SIZE, 7, true},
    };
    for (const Drag& drag : drags) {
        const int from = header->visualIndex(drag.type);
        header->moveSection(from, drag.to);
        EXPECT_EQ(header->visualIndex(drag.type), drag.allowed ? drag.to : from) << drag.type << " to " << drag.to;
        EXPECT_EQ(header->visualIndex(COL_ID), 0);
        EXPECT_EQ(header->visualIndex(COL_FILE_NAME), 1);
    }
}

TEST_F(ViewTest, DoubleClickOnADividerAutoSizesThatColumn)
{
    m_view->UpdateItems({MakeItem(0, "a.png", DIS_QUEUED)});
    m_view->ItemsDelegate()->TrackWidth(COL_SIZE, 77);
    CSpecialHeaderCtrl* header = m_view->HeaderCtrl();
    const int divider = header->sectionViewportPosition(COL_SIZE) + header->sectionSize(COL_SIZE);
    EXPECT_EQ(header->DividerAt(divider - 1), COL_SIZE);
    EXPECT_EQ(header->DividerAt(header->sectionViewportPosition(COL_SIZE) + 70), -1);
    m_view->AutoSizeColumn(COL_SIZE);
    EXPECT_EQ(header->sectionSize(COL_SIZE), 77);
}

TEST_F(ViewTest, SelectionAndCurrentRowSurviveARefresh)
{
    std::vector<DownloadItemPtr> items;
    for (int i = 0; i < 8; ++i)
        items.push_back(MakeItem(i, "f" + std::to_string(i), DIS_IN_PROGRESS, 1000, 100 + i));
    m_view->UpdateItems(items);
    m_view->OnHeaderClick(COL_TRANSFERRED);
    SelectIds({2, 5});
    m_view->selectionModel()->setCurrentIndex(m_view->ItemsModel()->index(m_view->ItemsModel()->RowOfId(5), 1),
                                              QItemSelectionModel::NoUpdate);
    // The refresh turns the order round.
    std::vector<DownloadItemPtr> changed;
    for (int i = 0; i < 8; ++i)
        changed.push_back(MakeItem(i, "f" + std::to_string(i), DIS_IN_PROGRESS, 1000, 900 - i));
    m_view->UpdateItems(changed);
    EXPECT_EQ(IdsInOrder(), (std::vector<std::int32_t>{7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(SelectedIds(), (std::vector<std::int32_t>{2, 5}));
    EXPECT_EQ(m_view->ItemsModel()->Item(m_view->currentIndex().row())->GetId(), 5);
}

TEST_F(ViewTest, CanQueriesFollowTheSelection)
{
    m_view->UpdateItems({MakeItem(0, "a", DIS_COMPLETED, 5, 5), MakeItem(1, "b", DIS_COMPLETED, 5, 5),
                         MakeItem(2, "c", DIS_QUEUED), MakeItem(3, "d", DIS_IN_PROGRESS, 9, 1)});
    struct Case {
        std::vector<std::int32_t> ids;
        bool cancel, open, props;
    };
    const Case cases[] = {
        {{}, false, false, false},    {{0}, false, true, true},      {{0, 1}, false, true, false},
        {{2, 3}, true, false, false}, {{1, 2}, false, false, false},
    };
    for (const Case& c : cases) {
        SelectIds(c.ids);
        EXPECT_EQ(m_view->CanCancelSelected(), c.cancel);
        EXPECT_EQ(m_view->CanOpenSelected(), c.open);
        EXPECT_EQ(m_view->CanCopyMoveSelected(), c.open);
        EXPECT_EQ(m_view->CanDeleteSelected(), c.open);
        EXPECT_EQ(m_view->CanShowProperties(), c.props);
        EXPECT_EQ(m_view->CanDownloadInBrowser(), c.props);
    }

    SelectIds({0});
    m_parent.m_jobRunning = true;
    std::unique_ptr<QMenu> menu(m_view->BuildContextMenu());
    std::vector<std::string> entries;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            entries.push_back(action->text().toStdString() + (action->isEnabled() ? "" : " (grey)"));
    EXPECT_EQ(entries, (std::vector<std::string>{"&Open", "Cancel &Selected (grey)", "Cancel &All", "Cop&y to Folder",
                                                 "&Move to Folder", "Delete", "Download Using &Browser", "P&roperties",
                                                 "Open &Download Folder"}));
    EXPECT_EQ(m_parent.m_calls, (std::vector<std::string>{"FillCopy", "FillMove"}));
}

TEST_F(ViewTest, OpenAsksFromFiveItemsOnAndOnlyWhenAllAreCompleted)
{
    std::vector<DownloadItemPtr> items;
    for (int i = 0; i < 6; ++i) {
        items.push_back(MakeItem(i, "f" + std::to_string(i), DIS_COMPLETED, 5, 5));
        items.back()->SetSavedPath("/downloads/f" + std::to_string(i));
    }
    items.push_back(MakeItem(6, "queued", DIS_QUEUED));
    m_view->UpdateItems(items);

    SelectIds({0, 1, 2, 3});
    m_view->OpenSelected();
    EXPECT_TRUE(TestPrompts().Seen().empty());
    EXPECT_EQ(m_opened.size(), 4u);

    m_opened.clear();
    SelectIds({0, 1, 2, 3, 4});
    TestPrompts().QueueAnswer(false);
    m_view->OnCommand(CMirefoldView::ID_OPEN);
    ASSERT_EQ(TestPrompts().Count(CScriptedPrompts::Question), 1);
    EXPECT_EQ(TestPrompts().Seen()[0].text, "Are you sure you want to open 5 items at once?");
    EXPECT_EQ(TestPrompts().Seen()[0].title, "Attempt to Open Too Many Items!");
    EXPECT_TRUE(m_opened.empty());
    TestPrompts().QueueAnswer(true);
    m_view->OpenSelected();
    EXPECT_EQ(m_opened, (std::vector<std::string>{"/downloads/f0", "/downloads/f1", "/downloads/f2", "/downloads/f3",
                                                  "/downloads/f4"}));

    // One item that is not completed: nothing at all.
    TestPrompts().Reset();
    m_opened.clear();
    SelectIds({0, 6});
    m_view->OpenSelected();
    EXPECT_TRUE(m_opened.empty());
    EXPECT_TRUE(TestPrompts().Seen().empty());

    // Failures (no saved path, no program) are reported once, the others still open.
    m_view->ItemsModel()->Item(1)->SetSavedPath("");
    m_view->ItemsModel()->Item(2)->SetSavedPath("/downloads/unopenable");
    SelectIds({0, 1, 2});
    m_view->OpenSelected();
    EXPECT_EQ(m_opened, (std::vector<std::string>{"/downloads/f0"}));
    ASSERT_EQ(TestPrompts().Seen().size(), 1u);
    EXPECT_EQ(TestPrompts().Seen()[0].kind, CScriptedPrompts::Error);
    EXPECT_EQ(TestPrompts().Seen()[0].text, "Some of the selected items could not be opened!");
}

TEST_F(ViewTest, EnterOpensAndDeleteDeletesTheSelection)
{
    const DownloadItemPtr item = MakeItem(0, "a.png", DIS_COMPLETED, 5, 5);
    item->SetSavedPath("/downloads/a.png");
    m_view->UpdateItems({item});
    m_view->selectionModel()->setCurrentIndex(m_view->ItemsModel()->index(0, COL_FILE_NAME),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(m_view.get(), &enter);
    EXPECT_EQ(m_opened, (std::vector<std::string>{"/downloads/a.png"}));

    TestPrompts().QueueAnswer(false);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(m_view.get(), &del);
    ASSERT_EQ(TestPrompts().Seen().size(), 1u);
    EXPECT_EQ(TestPrompts().Seen()[0].title, "Confirm Delete");
}

TEST_F(ViewTest, CancelAsksThenHandsTheIdsToTheParent)
{
    m_view->UpdateItems(
        {MakeItem(0, "a", DIS_QUEUED), MakeItem(1, "b", DIS_IN_PROGRESS, 9, 1), MakeItem(2, "c", DIS_QUEUED)});
    SelectIds({0, 2});
    TestPrompts().QueueAnswer(false);
    m_view->CancelSelected();
    EXPECT_TRUE(m_parent.m_cancelled.empty());
    TestPrompts().QueueAnswer(true);
    m_view->OnCommand(CMirefoldView::ID_CANCEL_SELECTED);
    EXPECT_EQ(m_parent.m_cancelled, (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(TestPrompts().Seen()[0].text, "Are you sure you want to cancel download of the selected item?");
    EXPECT_EQ(TestPrompts().Seen()[0].title, "Cancel Download?");
}

TEST_F(ViewTest, TipCarriesTheInfoTextWrappedTo480Pixels)
{
    const DownloadItemPtr item = MakeItem(0, "a.png", DIS_ERRORED);
    std::string info;
    for (int i = 0; i < 40; ++i)
        info += "word" + std::to_string(i) + " ";
    item->SetStatusInfo(info + "end");
    auto bare = std::make_shared<CDownloadItem>(); // never given an info text
    bare->SetId(1);
    m_view->UpdateItems({item, bare});

    const QString tip = m_view->TipText(0);
    const QFontMetrics metrics(QToolTip::font());
    const QStringList lines = tip.split('\n');
    EXPECT_GT(lines.size(), 2);
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), CMirefoldView::kTipMaxWidth) << line.toStdString();
    QString joined = tip;
    joined.replace('\n', ' ');
    EXPECT_EQ(joined.toStdString(), "Filename: a.png Info: " + info + "end.");
    EXPECT_TRUE(m_view->TipText(1).isEmpty());
    EXPECT_TRUE(m_view->TipText(5).isEmpty());
}

TEST_F(ViewTest, FileIconsComeFromTheNameAloneOncePerExtension)
{
    CFileIconCache* cache = CFileIconCache::GetInstance();
    const int before = cache->CachedCount();
    const QIcon jpeg = cache->IconFor("/nowhere/at/all/x.jpg");
    EXPECT_FALSE(jpeg.isNull());
    EXPECT_EQ(cache->CachedCount(), before + 1);
    cache->IconFor("other.JPG");
    cache->IconFor("third.jpg");
    EXPECT_EQ(cache->CachedCount(), before + 1) << "one lookup per extension, whatever the case";
    EXPECT_FALSE(cache->IconFor("README").isNull());
    for (DownloadItemStatus status : {DIS_COMPLETED, DIS_QUEUED, DIS_CANCELLED, DIS_ERRORED, DIS_SKIPPED, DIS_DELETED})
        EXPECT_FALSE(cache->StatusIcon(status).pixmap(16, 16).isNull()) << DownloadItemStatusName(status);
    EXPECT_TRUE(cache->StatusIcon(DIS_IN_PROGRESS).isNull());
}

TEST_F(ViewTest, ParentCommandsAreForwarded)
{
    for (int id : {5020, 5029, 5060, 32782, 32804, 32808, 32817, 32818})
        m_view->OnCommand(id);
    EXPECT_EQ(m_parent.m_calls,
              (std::vector<std::string>{"CopyToRecentFolder 5020", "CopyToRecentFolder 5029", "MoveToRecentFolder 5060",
                                        "CancelAllDownloads", "OpenDownloadFolder", "ShowItemProperties",
                                        "CopyToChosenFolder", "MoveToChosenFolder"}));
}

// Completed items whose files lie in a folder of their own.
class FileCommandsTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        std::vector<DownloadItemPtr> items;
        for (int i = 0; i < 3; ++i) {
            const std::string name = "pic" + std::to_string(i) + ".jpg";
            items.push_back(MakeItem(i, name, DIS_COMPLETED, 4, 4));
            items.back()->SetSavedPath(m_downloads.Write(name, "data").string());
        }
        m_view->UpdateItems(items);
    }

    DownloadItemStatus StatusOf(std::int32_t id) const
    {
        return m_view->ItemsModel()->Item(m_view->ItemsModel()->RowOfId(id))->GetStatus();
    }

    TempFolder m_downloads;
    TempFolder m_target;
};

TEST_F(FileCommandsTest, AFileDeletedOutsideTurnsItsItemDeletedOnTheNextIdlePass)
{
    CTimerManager::DestroyInstance();
    ASSERT_TRUE(CTimerManager::GetInstance()->Init());
    {
        CMainLoop loop;
        Rebuild(); // registers with the loop
        std::vector<DownloadItemPtr> items;
        items.push_back(MakeItem(0, "pic0.jpg", DIS_COMPLETED, 4, 4));
        items.back()->SetSavedPath((m_downloads.Path() / "pic0.jpg").string());
        items.push_back(MakeItem(1, "pic1.jpg", DIS_COMPLETED, 4, 4));
        items.back()->SetSavedPath((m_downloads.Path() / "pic1.jpg").string());
        m_view->UpdateItems(items);

        loop.OnIdle(0);
        EXPECT_EQ(StatusOf(0), DIS_COMPLETED);
        std::filesystem::remove(m_downloads.Path() / "pic0.jpg");
        EXPECT_EQ(StatusOf(0), DIS_COMPLETED);
        loop.OnIdle(0);
        EXPECT_EQ(StatusOf(0), DIS_DELETED);
        EXPECT_EQ(StatusOf(1), DIS_COMPLETED);
        EXPECT_EQ(Cell(0, COL_PROGRESS), "Deleted");
        const std::string tip = m_view->TipText(0).toStdString();
        EXPECT_EQ(tip, "Filename: pic0.jpg\nInfo: File no longer exists in download folder.");
        m_view.reset();
    }
    CTimerManager::DestroyInstance();
}

TEST_F(FileCommandsTest, MoveToAFolderThenTheIdleCheckMarksTheItemsDeleted)
{
    SelectIds({0, 2});
    m_view->MoveSelectedTo(m_target.Dir());
    EXPECT_TRUE(TestPrompts().Seen().empty());
    EXPECT_EQ(FilesIn(m_target.Path()), (std::vector<std::string>{"pic0.jpg", "pic2.jpg"}));
    EXPECT_EQ(FilesIn(m_downloads.Path()), (std::vector<std::string>{"pic1.jpg"}));
    EXPECT_EQ(m_parent.m_recentFolders, (std::vector<std::string>{m_target.Dir()}));
    m_view->OnIdle();
    EXPECT_EQ(StatusOf(0), DIS_DELETED);
    EXPECT_EQ(StatusOf(1), DIS_COMPLETED);
    EXPECT_EQ(StatusOf(2), DIS_DELETED);
}

TEST_F(FileCommandsTest, CopyAsksOnEachConflictAndReportsAMissingFolder)
{
    m_target.Write("pic0.jpg", "old");
    m_target.Write("pic1.jpg", "old");
    SelectIds({0, 1, 2});
    TestPrompts().QueueAnswer(true);  // replace pic0
    TestPrompts().QueueAnswer(false); // keep pic1
    m_view->CopySelectedTo(m_target.Dir());
    EXPECT_EQ(TestPrompts().Count(CScriptedPrompts::Question), 2);
    EXPECT_EQ(m_target.Read("pic0.jpg"), "data");
    EXPECT_EQ(m_target.Read("pic1.jpg"), "old");
    EXPECT_EQ(m_target.Read("pic2.jpg"), "data");
    EXPECT_EQ(FilesIn(m_downloads.Path()).size(), 3u);
    EXPECT_EQ(m_parent.m_recentFolders.size(), 1u);

    TestPrompts().Reset();
    const std::string missing = (m_target.Path() / "nope").string();
    m_view->CopySelectedTo(missing);
    ASSERT_EQ(TestPrompts().Seen().size(), 1u);
    EXPECT_EQ(TestPrompts().Seen()[0].text, "Destination folder '" + missing + "' does not exist!");
    EXPECT_EQ(TestPrompts().Seen()[0].title, "Error");
    EXPECT_EQ(m_parent.m_recentFolders.size(), 1u);
}

TEST_F(FileCommandsTest, DeleteConfirmsAndMovesTheFilesToTheTrash)
{
    SelectIds({1});
    TestPrompts().QueueAnswer(false);
    m_view->DeleteSelected();
    EXPECT_EQ(FilesIn(m_downloads.Path()).size(), 3u);
    TestPrompts().QueueAnswer(true);
    m_view->OnCommand(CMirefoldView::ID_DELETE);
    EXPECT_EQ(TestPrompts().Seen()[1].title, "Confirm Delete");
    EXPECT_EQ(FilesIn(m_downloads.Path()), (std::vector<std::string>{"pic0.jpg", "pic2.jpg"}));
    // In the desktop Trash of the (sandboxed) home, even before its data folder existed.
    const auto trash = std::filesystem::path(qgetenv("XDG_DATA_HOME").toStdString()) / "Trash";
    EXPECT_TRUE(std::filesystem::exists(trash / "files" / "pic1.jpg")) << trash;
    EXPECT_TRUE(std::filesystem::exists(trash / "info" / "pic1.jpg.trashinfo"));
    EXPECT_EQ(StatusOf(1), DIS_COMPLETED) << "the idle check marks it, not the command";
    m_view->OnIdle();
    EXPECT_EQ(StatusOf(1), DIS_DELETED);
}

} // namespace
} // namespace qtest
