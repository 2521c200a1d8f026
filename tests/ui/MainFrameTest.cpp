// The main window end to end: a page request from the address bar to the final statuses,
// the job state machine around cancels and closing, the recent lists, and what is saved at exit.
#include "FrameFixture.h"

#include "helpers/AsciiText.h"
#include "ui/AddressbarTB.h"
#include "ui/MainStatusBar.h"
#include "ui/MirefoldView.h"
#include "ui/SpecialEdit.h"
#include "ui/dialogs/MiscOptsTabDlg.h"
#include "ui/dialogs/OptionsDlg.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <filesystem>

namespace qtest {
namespace {

namespace fs = std::filesystem;

std::string Upper(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        c = HELPERS::UpperAscii(c);
    return out;
}

std::vector<std::string> TemporaryFilesIn(const fs::path& folder)
{
    std::vector<std::string> out;
    for (const std::string& name : FilesIn(folder))
        if (name.rfind("TFR", 0) == 0)
            out.push_back(name);
    return out;
}

std::vector<std::string> ComboLines(const CMainFrame& frame)
{
    std::vector<std::string> out;
    for (int i = 0; i < frame.AddressBar()->Combo()->count(); ++i)
        out.push_back(frame.AddressBar()->Combo()->itemText(i).toStdString());
    return out;
}

TEST_F(FrameTest, EnterInTheAddressBarHarvestsThePageIntoTheList)
{
    ServeGallery();
    CMainFrame& frame = Open();
    EXPECT_EQ(frame.windowTitle(), "Quarrow");
    const std::string url = m_server.Url("/gallery.html");
    QTest::keyClicks(frame.AddressBar()->Edit(), QString::fromStdString(url));
    QTest::keyClick(frame.AddressBar()->Edit(), Qt::Key_Return);
    EXPECT_EQ(frame.JobState(), FJS_REQUESTING_PAGE);

    ASSERT_TRUE(RunUntilReady());
    const std::map<std::string, DownloadItemStatus> expected = {
        {"a.png", DIS_COMPLETED}, {"b.jpg", DIS_COMPLETED}, {"gone.gif", DIS_ERRORED}};
    EXPECT_EQ(Statuses(), expected);
    EXPECT_EQ(FilesIn(m_downloads.Path()), (std::vector<std::string>{"a.png", "b.jpg"}));
    EXPECT_EQ(ReadFile(m_downloads.Path() / "b.jpg"), std::string(5000, 'b'));
    ASSERT_FALSE(frame.Settings().m_recentSites.empty());
    EXPECT_EQ(frame.Settings().m_recentSites.front(), url);
    EXPECT_EQ(ComboLines(frame), std::vector<std::string>{url});
    EXPECT_TRUE(CTimerManager::GetInstance()->IsStopped());
    EXPECT_TRUE(TestPrompts().Seen().empty());

    frame.OnIdle();
    EXPECT_EQ(frame.StatusBarParts()->StateText(), "Ready");
    EXPECT_EQ(frame.StatusBarParts()->FolderText().toStdString(), m_downloads.Dir());
}

TEST_F(FrameTest, AFailedPageShowsOneBoxWithTheReasonAndEndsReady)
{
    m_server.AddStatus("/missing.html", 404);
    CMainFrame& frame = Open({m_server.Url("/missing.html"), false, false});
    EXPECT_EQ(frame.JobState(), FJS_REQUESTING_PAGE) << "--url starts at once";
    ASSERT_TRUE(RunUntilReady());
    // A few more turns of the loop: the box must not come back.
    RunUntil([] { return false; }, std::chrono::milliseconds(800));

    ASSERT_EQ(TestPrompts().Seen().size(), 1u);
    const auto& box = TestPrompts().Seen()[0];
    EXPECT_EQ(box.kind, CScriptedPrompts::Error);
    EXPECT_EQ(box.title, "Error retrieving URL");
    EXPECT_EQ(box.text, "Could not retrieve requested URL");
    EXPECT_NE(box.details.find("404"), std::string::npos) << box.details;
    EXPECT_TRUE(frame.View()->ItemsModel()->Rows().empty());
    EXPECT_TRUE(frame.Settings().m_recentSites.empty()) << "a failed page is no recent site";
}

TEST_F(FrameTest, ANewAddressDuringDownloadsCancelsWithTheWindowDisabledThenStartsIt)
{
    m_server.AddFile("/first.html", "<a href=\"slow.jpg\">s</a>");
    m_server.AddRoute("/slow.jpg", routes::StallMidBody(std::string(200000, 's'), 4000, "image/jpeg"));
    ServeGallery("/second.html");
    CMainFrame& frame = Open({m_server.Url("/first.html"), false, false});
    ASSERT_EQ(RunUntil([&] { return m_server.StalledCount("/slow.jpg") == 1 && frame.JobState() == FJS_DOWNLOADING; }),
              0);
    ASSERT_EQ(frame.JobState(), FJS_DOWNLOADING);

    frame.AddressBar()->SetText(QString::fromStdString(m_server.Url("/second.html")));
    TestPrompts().QueueAnswer(false);
    frame.GotoAddress();
    EXPECT_EQ(frame.JobState(), FJS_DOWNLOADING) << "No changes nothing";

    TestPrompts().QueueAnswer(true);
    frame.GotoAddress();
    EXPECT_EQ(frame.JobState(), FJS_CANCELING_DOWNLOADS_FOR_NEW_ADDRESS);
    EXPECT_FALSE(frame.isEnabled());
    EXPECT_EQ(frame.cursor().shape(), Qt::WaitCursor);

    // Disabled for as long as the cancel runs, then the second page without a second question.
    bool enabledWhileCanceling = false;
    RunUntil([&] {
        enabledWhileCanceling |= IsCancelingState(frame.JobState()) && frame.isEnabled();
        return frame.JobState() == FJS_READY && m_server.RequestCount("/second.html") == 1;
    });
    EXPECT_FALSE(enabledWhileCanceling);
    EXPECT_EQ(frame.JobState(), FJS_READY);
    EXPECT_TRUE(frame.isEnabled());
    EXPECT_NE(frame.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(TestPrompts().Count(CScriptedPrompts::Question), 2);
    EXPECT_EQ(TestPrompts().Seen().back().title, "Cancel All Downloads?");
    EXPECT_EQ(TestPrompts().Seen().back().text, "Are you sure you want to cancel all current downloads?");
    EXPECT_EQ(Statuses().count("slow.jpg"), 0u) << "the list shows the new page only";
    EXPECT_EQ(Statuses().at("a.png"), DIS_COMPLETED);
    EXPECT_TRUE(TemporaryFilesIn(m_downloads.Path()).empty());
}

TEST_F(FrameTest, CancelAllAsksAndEndsTheJob)
{
    m_server.AddRoute("/stalled.html", routes::StallBeforeResponse());
    CMainFrame& frame = Open({m_server.Url("/stalled.html"), false, false});
    ASSERT_TRUE(m_server.WaitForStalled("/stalled.html"));
    TestPrompts().QueueAnswer(true);
    frame.OnCommand(CMainFrame::ID_CANCEL_ALL);
    EXPECT_EQ(frame.JobState(), FJS_CANCELING_PAGE);
    EXPECT_FALSE(frame.isEnabled());
    ASSERT_TRUE(RunUntilReady());
    EXPECT_TRUE(frame.isEnabled());
    EXPECT_EQ(TestPrompts().Seen().back().text, "Are you sure you want to cancel all downloads?");
    EXPECT_EQ(TestPrompts().Count(CScriptedPrompts::Error), 0);
}

// Closing while a job runs: the window goes at once, the program only once the cancel is done.
struct CloseCase {
    const char* name;
    bool duringDownloads;
};

class FrameCloseTest : public FrameTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(FrameCloseTest, HidesAtOnceAndEndsTheProgramAfterTheCancel)
{
    m_server.AddRoute("/stalled.html", routes::StallBeforeResponse("<a href=\"slow.jpg\">s</a>"));
    m_server.AddRoute("/slow.jpg", routes::StallMidBody(std::string(200000, 's'), 4000, "image/jpeg"));
    if (GetParam().duringDownloads)
        m_server.Release("/stalled.html");
    CMainFrame& frame = Open({m_server.Url("/stalled.html"), false, false});
    if (GetParam().duringDownloads) {
        RunUntil([&] { return !TemporaryFilesIn(m_downloads.Path()).empty() && frame.JobState() == FJS_DOWNLOADING; });
        ASSERT_EQ(frame.JobState(), FJS_DOWNLOADING);
    } else {
        ASSERT_TRUE(m_server.WaitForStalled("/stalled.html"));
        ASSERT_EQ(frame.JobState(), FJS_REQUESTING_PAGE);
    }

    frame.OnCommand(CMainFrame::ID_APP_EXIT);
    EXPECT_FALSE(frame.isVisible());
    EXPECT_FALSE(frame.IsDestroyed());
    EXPECT_EQ(frame.JobState(),
              GetParam().duringDownloads ? FJS_CLOSING_AFTER_DOWNLOAD_CANCEL : FJS_CLOSING_AFTER_PAGE_CANCEL);

    EXPECT_EQ(RunUntil([] { return false; }), 1) << "the frame ends the loop itself";
    EXPECT_TRUE(frame.IsDestroyed());
    EXPECT_EQ(frame.JobState(), FJS_CLOSED);
    EXPECT_TRUE(TemporaryFilesIn(m_downloads.Path()).empty());
    EXPECT_TRUE(fs::exists(SettingsPath()));
}

INSTANTIATE_TEST_SUITE_P(Frame, FrameCloseTest,
                         ::testing::Values(CloseCase{"PageRequest", false}, CloseCase{"Downloads", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FrameTest, RecentSitesKeepTheNewest20AndMoveARevisitInOtherCaseToTheTop)
{
    ServeGallery("/page.html");
    ServeGallery("/other.html");
    const std::string url = m_server.Url("/page.html");
    PersistSettings seeded;
    for (int i = 0; i < 20; ++i)
        seeded.m_recentSites.push_back(i == 5 ? Upper(url) : "http://site" + std::to_string(i) + ".example/");
    seeded.Save(nullptr);

    CMainFrame& frame = Open();
    EXPECT_EQ(ComboLines(frame).size(), 20u);
    frame.AddressBar()->SetText(QString::fromStdString(url));
    frame.GotoAddress();
    ASSERT_TRUE(RunUntilReady());
    const auto& sites = frame.Settings().m_recentSites;
    ASSERT_EQ(sites.size(), 20u);
    EXPECT_EQ(sites[0], url);
    EXPECT_EQ(std::count(sites.begin(), sites.end(), Upper(url)), 0) << "no duplicate in other case";
    EXPECT_EQ(sites[1], "http://site0.example/");
    EXPECT_EQ(ComboLines(frame), std::vector<std::string>(sites.begin(), sites.end()));

    // A 21st site pushes out the oldest.
    frame.AddressBar()->SetText(QString::fromStdString(m_server.Url("/other.html")));
    frame.GotoAddress();
    ASSERT_TRUE(RunUntilReady());
    ASSERT_EQ(sites.size(), 20u);
    EXPECT_EQ(sites[0], m_server.Url("/other.html"));
    EXPECT_EQ(sites[1], url);
    EXPECT_EQ(sites.back(), "http://site18.example/");
    EXPECT_EQ(ComboLines(frame), std::vector<std::string>(sites.begin(), sites.end()));
}

TEST_F(FrameTest, RecentCopyMoveFoldersFillTheMenusAndTheDropDowns)
{
    CMainFrame& frame = Open();
    emit frame.ActionsMenu()->aboutToShow();
    for (QMenu* menu : {frame.CopyMenu(), frame.MoveMenu()}) {
        const QList<QAction*> items = menu->actions();
        ASSERT_EQ(items.size(), 3);
        EXPECT_EQ(items[0]->text(), "Ch&oose Folder");
        EXPECT_TRUE(items[1]->isSeparator());
        ASSERT_NE(items[2]->menu(), nullptr);
        EXPECT_EQ(items[2]->text(), "&Recent Folders");
        const QList<QAction*> recent = items[2]->menu()->actions();
        ASSERT_EQ(recent.size(), 1);
        EXPECT_EQ(recent[0]->text(), "None");
        EXPECT_FALSE(recent[0]->isEnabled());
    }

    for (int i = 0; i < 11; ++i)
        frame.AddRecentCopyMoveFolder("/tmp/f" + std::to_string(i));
    frame.AddRecentCopyMoveFolder("/TMP/F3"); // a revisit in other case moves to the front
    const auto& folders = frame.Settings().m_recentCopyMoveFolders;
    ASSERT_EQ(folders.size(), 10u);
    EXPECT_EQ(folders[0], "/TMP/F3");
    EXPECT_EQ(folders[1], "/tmp/f10");
    EXPECT_EQ(std::count(folders.begin(), folders.end(), "/tmp/f3"), 0);
    EXPECT_EQ(std::count(folders.begin(), folders.end(), "/tmp/f0"), 0) << "the oldest went";

    emit frame.ActionsMenu()->aboutToShow();
    const std::pair<QMenu*, int> menus[] = {{frame.CopyMenu(), 5020}, {frame.MoveMenu(), 5060}};
    for (const auto& [menu, firstId] : menus) {
        ASSERT_EQ(menu->actions().size(), 3) << "the old Recent Folders entry was replaced";
        const QList<QAction*> recent = menu->actions()[2]->menu()->actions();
        ASSERT_EQ(recent.size(), 10);
        EXPECT_EQ(recent[0]->text(), "&0 /TMP/F3");
        EXPECT_EQ(recent[9]->text(), "&9 " + QString::fromStdString(folders[9]));
        EXPECT_EQ(recent[0]->data().toInt(), firstId);
        EXPECT_EQ(recent[9]->data().toInt(), firstId + 9);
    }

    // The toolbar's Move button pops up the same list.
    auto* moveButton =
        qobject_cast<QToolButton*>(frame.MainToolBar()->widgetForAction(frame.Action(CMainFrame::ID_MOVE_CHOOSE)));
    ASSERT_NE(moveButton, nullptr);
    ASSERT_NE(moveButton->menu(), nullptr);
    EXPECT_EQ(moveButton->popupMode(), QToolButton::MenuButtonPopup);
    emit moveButton->menu()->aboutToShow();
    const QList<QAction*> items = moveButton->menu()->actions();
    ASSERT_EQ(items.size(), 12);
    EXPECT_EQ(items[0]->text(), "Choose Folder (Move)");
    EXPECT_EQ(items[0]->data().toInt(), CMainFrame::ID_MOVE_CHOOSE);
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), "/TMP/F3");
    EXPECT_EQ(items[2]->data().toInt(), 5060);
}

TEST_F(FrameTest, ARecentFolderEntryCopiesTheSelectionAndABadOneSaysSo)
{
    ServeGallery();
    CMainFrame& frame = Open({m_server.Url("/gallery.html"), false, false});
    ASSERT_TRUE(RunUntilReady());
    TempFolder target;
    frame.AddRecentCopyMoveFolder(target.Path().string());
    frame.View()->selectAll();
    frame.OnIdle();
    EXPECT_FALSE(frame.Action(CMainFrame::ID_COPY_CHOOSE)->isEnabled()) << "an errored item is selected";
    frame.View()->setSelectionMode(QAbstractItemView::MultiSelection);
    frame.View()->clearSelection();
    for (int row = 0; row < 3; ++row)
        if (frame.View()->ItemsModel()->Item(row)->GetStatus() == DIS_COMPLETED)
            frame.View()->selectRow(row);
    frame.OnIdle();
    ASSERT_TRUE(frame.Action(CMainFrame::ID_COPY_CHOOSE)->isEnabled());

    frame.OnCommand(CMainFrame::ID_COPY_RECENT_FIRST);
    EXPECT_EQ(FilesIn(target.Path()), (std::vector<std::string>{"a.png", "b.jpg"}));
    EXPECT_EQ(FilesIn(m_downloads.Path()), (std::vector<std::string>{"a.png", "b.jpg"})) << "copied, not moved";

    frame.OnCommand(CMainFrame::ID_MOVE_RECENT_FIRST + 1);
    ASSERT_EQ(TestPrompts().Seen().size(), 1u);
    EXPECT_EQ(TestPrompts().Seen()[0].text, "Could not move selected items to requested folder");
    EXPECT_EQ(TestPrompts().Seen()[0].title, "Error");
}

TEST_F(FrameTest, StatusBarFolderPartEnds200PixelsBeforeTheEdge)
{
    const std::pair<int, int> widths[] = {{1000, 800}, {400, 200}, {202, 2}, {201, 1}, {50, 1}, {0, 1}};
    for (const auto& [width, expected] : widths)
        EXPECT_EQ(CMainStatusBar::FolderPartWidth(width), expected) << width;

    // In the window, and on its own where it can be made narrower than the state part.
    CMainFrame& frame = Open();
    frame.resize(760, 500);
    QCoreApplication::processEvents();
    const int width = frame.StatusBarParts()->width();
    EXPECT_GT(width, 202);
    EXPECT_EQ(frame.StatusBarParts()->FolderPart()->width(), width - 200);

    CMainStatusBar bar;
    bar.show();
    for (const int narrow : {150, 201, 202}) {
        bar.resize(narrow, 24);
        QCoreApplication::processEvents();
        EXPECT_EQ(bar.FolderPart()->width(), narrow == 202 ? 2 : 1) << narrow;
    }
}

TEST_F(FrameTest, TheStatusBarMenuListsTheDownloadFoldersAndSwitchesWithoutMarkingTheOptions)
{
    TempFolder other;
    PersistSettings seeded;
    seeded.m_recentDownloadFolders = {other.Dir(), "/nowhere/else/"};
    seeded.Save(nullptr);
    CMainFrame& frame = Open();
    const auto& folders = frame.Settings().m_recentDownloadFolders;
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], m_downloads.Dir()) << "the current folder joins the list at start";

    std::unique_ptr<QMenu> menu(frame.BuildDownloadFolderMenu());
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->text(), "/nowhere/else/") << "oldest first";
    EXPECT_EQ(items[0]->data().toInt(), 5072);
    EXPECT_EQ(items[2]->text().toStdString(), m_downloads.Dir());
    EXPECT_TRUE(items[2]->isChecked());
    EXPECT_FALSE(items[2]->isEnabled());
    EXPECT_TRUE(items[1]->isEnabled());
    EXPECT_TRUE(items[3]->isSeparator());
    EXPECT_EQ(items[4]->text(), "Choose Folder");
    EXPECT_EQ(items[4]->data().toInt(), 1001);

    frame.OnCommand(5071);
    EXPECT_EQ(frame.Options().m_downloadFolder.GetPath(), other.Dir());
    EXPECT_EQ(frame.StatusBarParts()->FolderText().toStdString(), other.Dir());
    EXPECT_EQ(folders[0], other.Dir());
    EXPECT_FALSE(frame.Options().m_bModified);

    TempFolder chosen;
    TestPrompts().QueueFolder(chosen.Path().string());
    frame.OnCommand(CMainFrame::ID_CHOOSE_DOWNLOAD_FOLDER);
    EXPECT_EQ(TestPrompts().Seen().back().title, "Select Download Folder");
    EXPECT_EQ(frame.Options().m_downloadFolder.GetPath(), chosen.Dir());
    EXPECT_EQ(folders[0], chosen.Dir());
}

TEST_F(FrameTest, GoButtonStartsTheAddressAndADoubleClickOnTheFolderPartOpensThePicker)
{
    ServeGallery();
    CMainFrame& frame = Open();
    frame.AddressBar()->SetText(QString::fromStdString(m_server.Url("/gallery.html")));
    frame.AddressBar()->GoAction()->trigger();
    EXPECT_EQ(frame.JobState(), FJS_REQUESTING_PAGE);
    ASSERT_TRUE(RunUntilReady());
    EXPECT_EQ(Statuses().size(), 3u);

    TestPrompts().QueueFolder(""); // the user cancels the picker
    QTest::mouseDClick(frame.StatusBarParts()->FolderPart(), Qt::LeftButton);
    ASSERT_EQ(TestPrompts().Count(CScriptedPrompts::Folder), 1);
    EXPECT_EQ(TestPrompts().Seen().back().title, "Select Download Folder");
    EXPECT_EQ(frame.Options().m_downloadFolder.GetPath(), m_downloads.Dir()) << "Cancel changes nothing";
}

TEST_F(FrameTest, AtExitTheOptionsAreWrittenOnlyAfterAnAppliedChangeAndTheSettingsAlways)
{
    // No change: the options file stays as it was (here: removed after loading).
    Open();
    fs::remove(OptionsPath());
    fs::remove(SettingsPath());
    m_frame->close();
    EXPECT_TRUE(m_frame->IsDestroyed());
    EXPECT_FALSE(fs::exists(OptionsPath()));
    EXPECT_TRUE(fs::exists(SettingsPath()));
    m_frame.reset();

    // A change applied in the Options dialog is written.
    WriteOptions([](ConfigOptions&) {});
    CMainFrame& frame = Open();
    fs::remove(OptionsPath());
    frame.OnCommand(CMainFrame::ID_OPTIONS);
    ASSERT_NE(frame.OptionsDlg(), nullptr);
    EXPECT_FALSE(frame.isEnabled()) << "the frame waits for the dialog";
    frame.OptionsDlg()->MiscPage()->ConcurrentDownloads()->setValue(5);
    frame.OptionsDlg()->OnOK();
    EXPECT_TRUE(frame.isEnabled());
    EXPECT_EQ(frame.Options().m_nMaxConcurrentDownloads, 5);
    frame.close();
    ASSERT_TRUE(fs::exists(OptionsPath()));
    ConfigOptions saved;
    saved.Restore(nullptr);
    EXPECT_EQ(saved.m_nMaxConcurrentDownloads, 5);
}

// The start-up route of the browser button (-o --url): the address waits for the dialog
// and is fetched only if the dialog applied its values.
class FrameOptionsRouteTest : public FrameTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FrameOptionsRouteTest, StartsTheAddressOnlyAfterTheDialogApplied)
{
    const bool ok = GetParam();
    ServeGallery();
    const std::string url = m_server.Url("/gallery.html");
    CMainFrame& frame = Open({url, true, false});
    EXPECT_EQ(frame.AddressBar()->GetText().toStdString(), url);
    ASSERT_NE(frame.OptionsDlg(), nullptr);
    EXPECT_TRUE(frame.OptionsDlg()->isVisible());
    EXPECT_FALSE(frame.isEnabled());
    EXPECT_EQ(frame.JobState(), FJS_READY);
    RunUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(m_server.RequestCount("/gallery.html"), 0u) << "nothing before the dialog closes";

    if (ok) {
        frame.OptionsDlg()->OnOK();
        EXPECT_EQ(frame.JobState(), FJS_REQUESTING_PAGE);
        ASSERT_TRUE(RunUntilReady());
        EXPECT_EQ(Statuses().at("a.png"), DIS_COMPLETED);
    } else {
        frame.OptionsDlg()->OnCancel();
        RunUntil([] { return false; }, std::chrono::milliseconds(300));
        EXPECT_EQ(frame.JobState(), FJS_READY);
    }
    EXPECT_TRUE(frame.isEnabled());
    EXPECT_EQ(m_server.RequestCount("/gallery.html"), ok ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Frame, FrameOptionsRouteTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "OK" : "Cancel"); });

TEST_F(FrameTest, AMalformedCommandLineLeavesTheAddressEmpty)
{
    CMainFrame& frame = Open({"http://a.example/", false, true});
    EXPECT_EQ(frame.AddressBar()->GetText(), "");
    EXPECT_EQ(frame.JobState(), FJS_READY);
}

TEST_F(FrameTest, GotoAddressStopsWithABoxWhenTheDownloadFolderCannotBeMade)
{
    m_home.Write("plainfile", "x");
    WriteOptions([this](ConfigOptions& o) { o.m_downloadFolder = m_home.Dir() + "plainfile/sub/"; });
    ServeGallery();
    CMainFrame& frame = Open({m_server.Url("/gallery.html"), false, false});
    EXPECT_EQ(frame.JobState(), FJS_READY);
    ASSERT_EQ(TestPrompts().Seen().size(), 1u);
    EXPECT_EQ(TestPrompts().Seen()[0].text, "Could not create download folder: " + m_home.Dir() + "plainfile/sub/");
    EXPECT_EQ(m_server.RequestCount("/gallery.html"), 0u);

    frame.OnCommand(CMainFrame::ID_OPEN_DOWNLOAD_FOLDER);
    ASSERT_EQ(TestPrompts().Seen().size(), 2u);
    EXPECT_EQ(TestPrompts().Seen()[1].text, "Could not open download folder because it does not exist\n"
                                            "Attempt to create specified download folder failed as well!\n"
                                            "Please choose another downloader and try again");
    EXPECT_TRUE(m_opened.empty());
}

TEST_F(FrameTest, OpenFolderHelpAndUpdatesGoToTheShell)
{
    fs::remove_all(m_downloads.Path());
    CMainFrame& frame = Open();
    frame.OnCommand(CMainFrame::ID_OPEN_DOWNLOAD_FOLDER);
    EXPECT_TRUE(fs::is_directory(m_downloads.Path())) << "created when missing";

    frame.OnCommand(CMainFrame::ID_HELP_CONTENTS);
    ASSERT_EQ(TestPrompts().Seen().size(), 1u);
    EXPECT_EQ(TestPrompts().Seen()[0].text, "Could not locate help file!");
    EXPECT_EQ(TestPrompts().Seen()[0].title, "Error opening help");

    fs::create_directories(m_home.Path() / "config/Orlendi");
    m_home.Write("config/Orlendi/registry.ini", "[Software\\Orlendi\\Quarrow]\nHelpFilePath=/opt/q/help/index.html\n");
    frame.OnCommand(CMainFrame::ID_HELP_CONTENTS);
    frame.OnCommand(CMainFrame::ID_CHECK_UPDATES);
    ASSERT_EQ(m_opened.size(), 3u);
    EXPECT_EQ(m_opened[0], m_downloads.Dir());
    EXPECT_EQ(m_opened[1], "/opt/q/help/index.html");
    EXPECT_NE(m_opened[2].find("/quarrow/updates.php?ver=1.2.0.1&referer=quarrow_update"), std::string::npos);
    EXPECT_EQ(TestPrompts().Seen().size(), 1u);
}

TEST_F(FrameTest, MenusCarryTheirLabelsIdsAndAccelerators)
{
    CMainFrame& frame = Open();
    const struct {
        int id;
        const char* text;
        const char* shortcut;
    } commands[] = {
        {CMainFrame::ID_OPTIONS, "O&ptions...\tAlt+O", "Alt+O"},
        {CMainFrame::ID_OPEN, "&Open\tEnter", ""},
        {CMainFrame::ID_DELETE, "&Delete\tDel", ""},
        {CMainFrame::ID_DOWNLOAD_IN_BROWSER, "Download Using &Browser\tCtrl+B", "Ctrl+B"},
        {CMainFrame::ID_PROPERTIES, "P&roperties\tF4", "F4"},
        {CMainFrame::ID_OPEN_DOWNLOAD_FOLDER, "Open &Download Folder\tCtrl+D", "Ctrl+D"},
        {CMainFrame::ID_HELP_CONTENTS, "&Help Contents...\tF1", "F1"},
        {CMainFrame::ID_FOCUS_ADDRESS, "Address", "Alt+D"},
        {CMainFrame::ID_APP_EXIT, "E&xit", ""},
    };
    for (const auto& c : commands) {
        QAction* action = frame.Action(c.id);
        ASSERT_NE(action, nullptr) << c.id;
        EXPECT_EQ(action->text(), c.text);
        EXPECT_EQ(action->data().toInt(), c.id);
        EXPECT_EQ(action->shortcut().toString(), c.shortcut) << c.text;
    }
    EXPECT_EQ(frame.Action(CMainFrame::ID_DELETE)->statusTip(), "Delete selected");
    EXPECT_EQ(frame.Action(CMainFrame::ID_DOWNLOAD_IN_BROWSER)->toolTip(), "Open in browser");

    // The toolbar shares the menu's actions, in its order, separators included.
    QStringList layout;
    for (QAction* action : frame.MainToolBar()->actions())
        layout << (action->isSeparator() ? QStringLiteral("|") : QString::number(action->data().toInt()));
    EXPECT_EQ(layout.join(' '), "32815 | 32795 | 32797 32782 | 32817 32818 32824 | 32803 | 32808 | 32804 | 32811");

    frame.OnCommand(CMainFrame::ID_VIEW_TOOLBAR);
    EXPECT_TRUE(frame.MainToolBar()->isHidden());
    EXPECT_FALSE(frame.Action(CMainFrame::ID_VIEW_TOOLBAR)->isChecked());
    frame.OnCommand(CMainFrame::ID_VIEW_STATUS_BAR);
    EXPECT_TRUE(frame.StatusBarParts()->isHidden());
    EXPECT_FALSE(frame.Action(CMainFrame::ID_VIEW_STATUS_BAR)->isChecked());

    // Idle update with nothing selected and no job.
    frame.OnIdle();
    for (const int id : {32795, 32797, 32782, 32817, 32818, 32824, 32803, 32808})
        EXPECT_FALSE(frame.Action(id)->isEnabled()) << id;
    EXPECT_TRUE(frame.Action(CMainFrame::ID_OPEN_DOWNLOAD_FOLDER)->isEnabled());
}

} // namespace
} // namespace qtest
