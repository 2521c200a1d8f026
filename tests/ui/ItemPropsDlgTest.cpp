// The item properties dialog on its own over a fake client, its link (colours, opening
// through the real xdg-open path), and the main window opening it on the list's selection.
#include "FakeXdgOpen.h"
#include "FrameFixture.h"
#include "ViewFixture.h"

#include "helpers/Registry.h"
#include "ui/HyperLink.h"
#include "ui/dialogs/DIPropDlgClient.h"
#include "ui/dialogs/DIPropsDlg.h"
#include "ui/dialogs/DIPropsMainTabDlg.h"

#include <QAction>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <string>
#include <vector>

namespace qtest {
namespace {

// A list of items with one selected, as the main frame's list would answer.
class CFakeClient : public IDIPropDlgClient {
public:
    void OnPropDlgClosed() override { ++m_closed; }
    DownloadItemPtr SelectPrevItem() override { return m_selected > 0 ? m_items[--m_selected] : nullptr; }
    DownloadItemPtr SelectNextItem() override
    {
        return m_selected + 1 < m_items.size() ? m_items[++m_selected] : nullptr;
    }
    bool HasPrevItem() override { return m_selected > 0; }
    bool HasNextItem() override { return m_selected + 1 < m_items.size(); }
    void OpenItem() override { m_calls.push_back("OpenItem"); }
    void CancelItem() override { m_calls.push_back("CancelItem"); }

    std::vector<DownloadItemPtr> m_items;
    std::size_t m_selected = 0;
    int m_closed = 0;
    std::vector<std::string> m_calls;
};

std::string Text(const QLineEdit* edit) { return edit->text().toStdString(); }

class PropsDlgTest : public ::testing::Test {
protected:
    PropsDlgTest() : m_configHome("XDG_CONFIG_HOME", m_home.Dir()) { TestPrompts().Reset(); }

    // A fresh dialog on the client's selected item, shown and brought up to date.
    CDIPropsDlg& Open()
    {
        m_dlg = std::make_unique<CDIPropsDlg>(&m_client);
        m_dlg->SetItem(m_client.m_items.at(m_client.m_selected));
        m_dlg->show();
        m_dlg->OnIdle();
        return *m_dlg;
    }
    CDIPropsMainTabDlg& Page() const { return *m_dlg->Page(); }

    TempFolder m_home;
    ScopedEnv m_configHome;
    CFakeClient m_client;
    std::unique_ptr<CDIPropsDlg> m_dlg;
};

TEST_F(PropsDlgTest, ShowsTheItemsNumberFiguresNameSourceAndInfo)
{
    struct Case {
        DownloadItemPtr item;
        const char *id, *size, *transferred, *remaining;
    };
    auto unknownSize = MakeItem(0, "a.png", DIS_QUEUED, 0);
    auto negativeSize = MakeItem(7, "b.jpg", DIS_IN_PROGRESS, -1, 700);
    auto known = MakeItem(41, "c d.gif", DIS_COMPLETED, 3000, 3000);
    for (const Case& c : std::vector<Case>{
             {unknownSize, "1", "???", "0 bytes", "???"},
             {negativeSize, "8", "???", "700 bytes", "???"},
             {known, "42", "2.93 KB", "2.93 KB", "0 bytes"},
         }) {
        SCOPED_TRACE(c.item->GetFileName());
        m_client.m_items = {c.item};
        Open();
        EXPECT_EQ(m_dlg->windowTitle(), "Download Item Properties");
        ASSERT_EQ(m_dlg->Tabs()->count(), 1);
        EXPECT_EQ(m_dlg->Tabs()->tabText(0), "Information");
        EXPECT_EQ(m_dlg->Tabs()->widget(0), m_dlg->Page());
        EXPECT_EQ(Text(Page().IdEdit()), c.id);
        EXPECT_EQ(Text(Page().SizeEdit()), c.size);
        EXPECT_EQ(Text(Page().TransferredEdit()), c.transferred);
        EXPECT_EQ(Text(Page().RemainingEdit()), c.remaining);
        EXPECT_EQ(Text(Page().SpeedEdit()), c.item->GetSpeedText());
        EXPECT_EQ(Text(Page().FileNameEdit()), c.item->GetFileName());
        EXPECT_EQ(Text(Page().SourceEdit()), "http://files.example/" + c.item->GetFileName());
        EXPECT_EQ(Page().BrowserLink()->Target(), c.item->GetURL());
        EXPECT_EQ(Page().StatusEdit()->toPlainText().toStdString(),
                  "Filename: " + c.item->GetFileName() + "\nInfo: " + DownloadItemStatusLabel(c.item->GetStatus()) +
                      ".");
        for (QLineEdit* edit : {Page().IdEdit(), Page().SpeedEdit(), Page().SizeEdit(), Page().TransferredEdit(),
                                Page().RemainingEdit(), Page().FileNameEdit(), Page().SourceEdit()})
            EXPECT_TRUE(edit->isReadOnly());
        EXPECT_TRUE(Page().StatusEdit()->isReadOnly());
    }
    // An item without info text shows an empty Status.
    m_client.m_items = {std::make_shared<CDownloadItem>()};
    Open();
    EXPECT_TRUE(Page().StatusEdit()->toPlainText().isEmpty());
}

TEST_F(PropsDlgTest, ANewerCopyOfTheShownItemRefreshesOnlyTheChangingFields)
{
    m_client.m_items = {MakeItem(3, "a.png", DIS_IN_PROGRESS, 5000, 1000)};
    Open();

    // Same id and name: the address, though different in the copy, stays as shown.
    auto newer = std::make_shared<CDownloadItem>(*m_client.m_items[0]);
    newer->SetURL("http://elsewhere.example/a.png");
    newer->SetBytesTransferred(4000);
    newer->SetStatus(DIS_COMPLETED);
    newer->SetStatusInfo("Completed");
    m_dlg->SetItem(newer);
    EXPECT_EQ(m_dlg->Item(), newer);
    EXPECT_EQ(Text(Page().TransferredEdit()), newer->GetTransferredText());
    EXPECT_EQ(Text(Page().RemainingEdit()), "1000 bytes");
    EXPECT_EQ(Text(Page().SpeedEdit()), newer->GetSpeedText());
    EXPECT_EQ(Text(Page().SizeEdit()), "4.883 KB");
    EXPECT_EQ(Page().StatusEdit()->toPlainText(), "Filename: a.png\nInfo: Completed.");
    EXPECT_EQ(Text(Page().SourceEdit()), "http://files.example/a.png");
    EXPECT_EQ(Page().BrowserLink()->Target(), "http://files.example/a.png");
    EXPECT_EQ(Text(Page().IdEdit()), "4");

    // A different name (or id) is another item: every field is shown anew.
    for (const auto& [id, name] : std::vector<std::pair<int, std::string>>{{3, "A.png"}, {9, "A.png"}}) {
        auto other = MakeItem(id, name, DIS_QUEUED);
        other->SetURL("http://elsewhere.example/" + name + std::to_string(id));
        m_dlg->SetItem(other);
        EXPECT_EQ(Text(Page().IdEdit()), std::to_string(id + 1));
        EXPECT_EQ(Text(Page().FileNameEdit()), name);
        EXPECT_EQ(Text(Page().SourceEdit()), other->GetURL());
        EXPECT_EQ(Page().BrowserLink()->Target(), other->GetURL());
        EXPECT_EQ(Text(Page().SizeEdit()), "???");
    }
}

TEST_F(PropsDlgTest, OpenAndCancelDownloadFollowTheStatusAndGoToTheClient)
{
    struct Case {
        DownloadItemStatus status;
        bool open, cancel;
    };
    for (const Case& c : std::vector<Case>{{DIS_COMPLETED, true, false},
                                           {DIS_IN_PROGRESS, false, true},
                                           {DIS_QUEUED, false, false},
                                           {DIS_ERRORED, false, false},
                                           {DIS_CANCELLED, false, false},
                                           {DIS_DELETED, false, false}}) {
        SCOPED_TRACE(DownloadItemStatusLabel(c.status));
        m_client.m_items = {MakeItem(0, "a.png", c.status, 10, 5)};
        m_client.m_calls.clear();
        Open();
        EXPECT_EQ(Page().OpenButton()->isEnabled(), c.open);
        EXPECT_EQ(Page().CancelButton()->isEnabled(), c.cancel);
        QTest::mouseClick(Page().OpenButton(), Qt::LeftButton);
        QTest::mouseClick(Page().CancelButton(), Qt::LeftButton);
        std::vector<std::string> expected;
        if (c.open)
            expected.push_back("OpenItem");
        if (c.cancel)
            expected.push_back("CancelItem");
        EXPECT_EQ(m_client.m_calls, expected);
    }
    // A newer state of the item is seen at the next idle.
    auto done = std::make_shared<CDownloadItem>(*m_client.m_items[0]);
    done->SetStatus(DIS_COMPLETED);
    m_dlg->SetItem(done);
    m_dlg->OnIdle();
    EXPECT_TRUE(Page().OpenButton()->isEnabled());
}

TEST_F(PropsDlgTest, PreviousAndNextStepThroughTheListAndTheFocusLeavesADisabledButton)
{
    m_client.m_items = {MakeItem(0, "a.png", DIS_COMPLETED), MakeItem(1, "b.jpg", DIS_QUEUED),
                        MakeItem(2, "c.gif", DIS_ERRORED)};
    m_client.m_selected = 1;
    Open();
    EXPECT_TRUE(m_dlg->PreviousButton()->isEnabled());
    EXPECT_TRUE(m_dlg->NextButton()->isEnabled());

    // Next onto the last row: Next goes grey and hands the focus to Previous.
    m_dlg->NextButton()->setFocus();
    QTest::mouseClick(m_dlg->NextButton(), Qt::LeftButton);
    m_dlg->OnIdle();
    EXPECT_EQ(Text(Page().IdEdit()), "3");
    EXPECT_EQ(Text(Page().FileNameEdit()), "c.gif");
    EXPECT_FALSE(m_dlg->NextButton()->isEnabled());
    EXPECT_TRUE(m_dlg->PreviousButton()->isEnabled());
    EXPECT_EQ(m_dlg->focusWidget(), m_dlg->PreviousButton());

    // Previous twice onto the first row: the focus goes over to Next.
    QTest::mouseClick(m_dlg->PreviousButton(), Qt::LeftButton);
    m_dlg->OnIdle();
    EXPECT_EQ(m_dlg->focusWidget(), m_dlg->PreviousButton()) << "still enabled, keeps the focus";
    QTest::mouseClick(m_dlg->PreviousButton(), Qt::LeftButton);
    m_dlg->OnIdle();
    EXPECT_EQ(Text(Page().FileNameEdit()), "a.png");
    EXPECT_FALSE(m_dlg->PreviousButton()->isEnabled());
    EXPECT_EQ(m_dlg->focusWidget(), m_dlg->NextButton());

    // With one row neither is enabled and the focus ends on Close.
    m_client.m_items.resize(1);
    m_client.m_selected = 0;
    m_dlg->OnIdle();
    EXPECT_FALSE(m_dlg->NextButton()->isEnabled());
    EXPECT_EQ(m_dlg->focusWidget(), m_dlg->CloseButton());
}

TEST_F(PropsDlgTest, CloseButtonWindowCloseAndEscapeTellTheClientOnceAndHideTheDialog)
{
    m_client.m_items = {MakeItem(0, "a.png", DIS_COMPLETED)};
    const std::vector<std::function<void(CDIPropsDlg&)>> ways = {
        [](CDIPropsDlg& dlg) { QTest::mouseClick(dlg.CloseButton(), Qt::LeftButton); },
        [](CDIPropsDlg& dlg) { dlg.close(); },
        [](CDIPropsDlg& dlg) { QTest::keyClick(&dlg, Qt::Key_Escape); },
    };
    for (std::size_t i = 0; i < ways.size(); ++i) {
        SCOPED_TRACE(i);
        m_client.m_closed = 0;
        Open();
        EXPECT_EQ(m_dlg->CloseButton()->text(), "&Close");
        ways[i](*m_dlg);
        EXPECT_EQ(m_client.m_closed, 1);
        EXPECT_FALSE(m_dlg->isVisible());
        m_dlg->OnClose();
        EXPECT_EQ(m_client.m_closed, 1);
    }
}

TEST_F(PropsDlgTest, OpensCentredOnItsOwnerAndInsideTheScreen)
{
    m_client.m_items = {MakeItem(0, "a.png", DIS_COMPLETED)};
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    for (const QRect& ownerRect :
         {QRect(screen.topLeft() + QPoint(20, 10), QSize(760, 580)), QRect(screen.topLeft(), screen.size() * 3)}) {
        owner.setGeometry(ownerRect);
        owner.show();
        CDIPropsDlg dlg(&m_client, &owner);
        const QRect placed = dlg.frameGeometry();
        const QPoint centred = owner.frameGeometry().center() - QPoint(placed.width() / 2, placed.height() / 2);
        if (screen.contains(QRect(centred, placed.size()))) {
            EXPECT_LE((placed.topLeft() - centred).manhattanLength(), 2);
        }
        EXPECT_TRUE(screen.contains(placed))
            << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
    }
}

TEST_F(PropsDlgTest, TheBrowserLinkOpensTheSourceThroughXdgOpenAndTurnsVisitedOnlyOnSuccess)
{
    CFakeXdgOpen xdgOpen;
    m_client.m_items = {MakeItem(0, "a.png", DIS_COMPLETED)};
    Open();
    CHyperLink* link = Page().BrowserLink();
    EXPECT_EQ(link->text(), "( Open in Browser )");
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(link->CurrentColor(), QColor(0, 0, 255));
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));

    // xdg-open fails: nothing is said, the link stays unvisited; Enter and Space open too.
    xdgOpen.SetStatus(3);
    QTest::mouseClick(link, Qt::LeftButton);
    link->setFocus();
    QTest::keyClick(link, Qt::Key_Return);
    EXPECT_EQ(xdgOpen.Opened(), "http://files.example/a.png\nhttp://files.example/a.png\n");
    EXPECT_FALSE(link->IsVisited());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(TestPrompts().Seen().empty());

    // A release outside the label is no click.
    xdgOpen.SetStatus(0);
    QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(-5, -5));
    EXPECT_FALSE(link->IsVisited());
    QTest::keyClick(link, Qt::Key_Space);
    EXPECT_TRUE(link->IsVisited());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    EXPECT_EQ(xdgOpen.Opened(), "http://files.example/a.png\nhttp://files.example/a.png\nhttp://files.example/a.png\n");
}

TEST_F(PropsDlgTest, LinkColoursComeFromTheRegistryStoreWhenReadable)
{
    struct Case {
        const char *link, *visited; // null: value absent
        QColor linkColor, visitedColor;
    };
    const QColor blue(0, 0, 255), purple(128, 0, 128);
    for (const Case& c : std::vector<Case>{
             {nullptr, nullptr, blue, purple},
             {"255,0,0", "0,128,0", QColor(255, 0, 0), QColor(0, 128, 0)},
             {" 10, 20 ,30", "0,0", QColor(10, 20, 30), purple},
             {"256,0,0", "red", blue, purple},
             {"1,2,3,4", "", blue, purple},
             {"-1,2,3", "1,,3", blue, purple},
         }) {
        SCOPED_TRACE(c.link ? c.link : "(none)");
        const std::pair<const char*, const char*> values[] = {{CHyperLink::kLinkColorValue, c.link},
                                                              {CHyperLink::kVisitedColorValue, c.visited}};
        for (const auto& [name, text] : values) {
            HELPERS::registry_string value(std::string(CHyperLink::kColorsKey) + "\\" + name,
                                           HELPERS::HKEY_CURRENT_USER);
            ASSERT_TRUE(text ? value.set_value(text) : value.remove_value());
        }
        CHyperLink link(QStringLiteral("link"));
        link.SetOpener([](const std::string&) {});
        EXPECT_EQ(link.LinkColor(), c.linkColor);
        EXPECT_EQ(link.VisitedColor(), c.visitedColor);
        EXPECT_EQ(link.palette().color(QPalette::WindowText), c.linkColor);
        EXPECT_TRUE(link.Open());
        EXPECT_EQ(link.palette().color(QPalette::WindowText), c.visitedColor);
    }
    EXPECT_TRUE(std::filesystem::exists(m_home.Path() / "Orlendi" / "registry.ini"));
}

// ---- in the main window ----------------------------------------------------------------

TEST_F(FrameTest, PropertiesShowTheSelectedItemFollowTheSelectionAndTheTransferThenReenableTheFrame)
{
    m_server.AddFile("/page.html", "<img src=\"a.png\"><a href=\"slow.jpg\">s</a><a href=\"c.gif\">c</a>");
    m_server.AddFile("/a.png", std::string(3000, 'a'), "image/png");
    m_server.AddFile("/c.gif", std::string(2000, 'c'), "image/gif");
    m_server.AddRoute("/slow.jpg", routes::StallMidBody(std::string(200000, 's'), 4000, "image/jpeg"));
    CMainFrame& frame = Open({m_server.Url("/page.html"), false, false});
    ASSERT_EQ(RunUntil([&] {
                  const auto statuses = Statuses();
                  return m_server.StalledCount("/slow.jpg") == 1 && statuses.size() == 3 &&
                         statuses.at("a.png") == DIS_COMPLETED && statuses.at("c.gif") == DIS_COMPLETED &&
                         statuses.at("slow.jpg") == DIS_IN_PROGRESS;
              }),
              0);
    CMirefoldView* view = frame.View();
    ASSERT_EQ(view->ItemsModel()->Item(1)->GetFileName(), "slow.jpg");

    // Nothing selected: no dialog.
    frame.OnCommand(CMainFrame::ID_PROPERTIES);
    EXPECT_EQ(frame.PropsDlg(), nullptr);

    // A click on the row; the idle after it enables Properties.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->ItemsModel()->index(1, 1)).center());
    RunUntil([&] { return frame.Action(CMainFrame::ID_PROPERTIES)->isEnabled(); });
    frame.activateWindow();
    QTest::keyClick(view, Qt::Key_F4);
    CDIPropsDlg* dlg = frame.PropsDlg();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(frame.IsPropsDlgOpen());
    EXPECT_FALSE(frame.isEnabled());
    EXPECT_EQ(dlg->Page()->FileNameEdit()->text(), "slow.jpg");
    EXPECT_EQ(dlg->Page()->IdEdit()->text(), "2");

    // The idle handler runs in the main loop: both neighbours exist, the item runs.
    RunUntil([&] { return dlg->PreviousButton()->isEnabled() && dlg->Page()->CancelButton()->isEnabled(); });
    EXPECT_TRUE(dlg->NextButton()->isEnabled());
    EXPECT_FALSE(dlg->Page()->OpenButton()->isEnabled());

    QTest::mouseClick(dlg->PreviousButton(), Qt::LeftButton);
    EXPECT_EQ(dlg->Page()->FileNameEdit()->text(), "a.png");
    EXPECT_EQ(view->GetSelectedItem()->GetFileName(), "a.png");
    QTest::mouseClick(dlg->NextButton(), Qt::LeftButton);
    EXPECT_EQ(dlg->Page()->FileNameEdit()->text(), "slow.jpg");
    EXPECT_EQ(view->GetSelectedItem()->GetFileName(), "slow.jpg");

    // Cancel Download asks through the list; No leaves the transfer running.
    TestPrompts().QueueAnswer(false);
    QTest::mouseClick(dlg->Page()->CancelButton(), Qt::LeftButton);
    ASSERT_EQ(TestPrompts().Count(CScriptedPrompts::Question), 1);
    EXPECT_EQ(TestPrompts().Seen().back().title, "Cancel Download?");

    // The refresh ticks hand the finished transfer to the dialog.
    m_server.Release("/slow.jpg");
    ASSERT_TRUE(RunUntilReady());
    RunUntil([&] { return dlg->Page()->OpenButton()->isEnabled(); });
    EXPECT_EQ(dlg->Item()->GetStatus(), DIS_COMPLETED);
    EXPECT_EQ(dlg->Page()->TransferredEdit()->text().toStdString(), FormatByteSize(200000));
    EXPECT_EQ(dlg->Page()->RemainingEdit()->text(), "0 bytes");
    EXPECT_EQ(dlg->Page()->StatusEdit()->toPlainText(), "Filename: slow.jpg\nInfo: Completed.");
    EXPECT_FALSE(dlg->Page()->CancelButton()->isEnabled());
    EXPECT_FALSE(frame.isEnabled());

    // Open goes to the list's selection.
    CFakeXdgOpen xdgOpen;
    QTest::mouseClick(dlg->Page()->OpenButton(), Qt::LeftButton);
    EXPECT_EQ(xdgOpen.Opened(), m_downloads.Dir() + "slow.jpg\n");

    QTest::mouseClick(dlg->CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(frame.isEnabled());
    EXPECT_FALSE(frame.IsPropsDlgOpen());
    EXPECT_EQ(frame.PropsDlg(), dlg) << "kept until the next Properties command";
    frame.OnCommand(CMainFrame::ID_PROPERTIES);
    EXPECT_NE(frame.PropsDlg(), nullptr);
    EXPECT_TRUE(frame.PropsDlg()->isVisible());
    EXPECT_EQ(TestPrompts().Seen().size(), 1u);
}

} // namespace
} // namespace qtest
