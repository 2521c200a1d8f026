#include "ScriptedPrompts.h"

#include "config/ConfigOptions.h"
#include "config/PersistSettings.h"
#include "tests/support/Sandbox.h"
#include "ui/CoolButton.h"
#include "ui/dialogs/FilterOptsTabDlg.h"
#include "ui/dialogs/MiscOptsTabDlg.h"
#include "ui/dialogs/OptionTypesView.h"
#include "ui/dialogs/OptionsDlg.h"
#include "ui/dialogs/OptionsDlgCallbackClient.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qtest::CScriptedPrompts;
using qtest::TestPrompts;

const std::string kGoldenDir = std::string(QUARROW_TEST_DATA_DIR) + "/config/golden/";

// Stands in for the main frame: owns the live options and takes the dialog's values the way
// the frame does (only when the dialog reports a change).
class CFakeFrame : public IOptionsDlgCallbackClient {
public:
    void OnOptionsDlgClosed() override { ++m_closed; }
    bool CanApplyOptions() override { return m_canApply; }
    void ApplyOptions() override
    {
        ++m_applied;
        if (m_dlg && m_dlg->IsModified()) {
            m_dlg->GetOptions(m_live);
            m_live.m_bModified = true;
        }
    }

    ConfigOptions m_live;
    COptionsDlg* m_dlg = nullptr;
    bool m_canApply = true;
    int m_applied = 0;
    int m_closed = 0;
};

// Passes everything to the scripted prompts and remembers where the folder picker started.
class CStartFolderPrompts : public IPrompts {
public:
    void ShowError(QWidget* o, const QString& t, const QString& c) override { TestPrompts().ShowError(o, t, c); }
    void ShowInformation(QWidget* o, const QString& t, const QString& c) override
    {
        TestPrompts().ShowInformation(o, t, c);
    }
    bool AskYesNo(QWidget* o, const QString& t, const QString& c) override { return TestPrompts().AskYesNo(o, t, c); }
    QString ChooseFolder(QWidget* o, const QString& caption, const QString& start) override
    {
        m_starts.push_back(start.toStdString());
        return TestPrompts().ChooseFolder(o, caption, start);
    }
    std::vector<std::string> m_starts;
};

class OptionsDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestPrompts().Reset();
        ASSERT_TRUE(m_frame.m_live.SetDefaults());
        Open();
    }
    void TearDown() override { EXPECT_EQ(TestPrompts().Count(CScriptedPrompts::Error), m_errorsSeen); }

    // As the frame opens it: create, show, SetOptions with the live options, ClearModified.
    void Open()
    {
        m_dlg = std::make_unique<COptionsDlg>(m_settings, &m_frame);
        m_frame.m_dlg = m_dlg.get();
        m_dlg->show();
        m_dlg->SetOptions(m_frame.m_live);
        m_dlg->ClearModified();
        m_dlg->OnIdle();
        QApplication::processEvents();
    }

    CFilterOptsTabDlg& Filter() { return *m_dlg->FilterPage(); }
    CMiscOptsTabDlg& Misc() { return *m_dlg->MiscPage(); }
    bool ApplyEnabled() { return m_dlg->ApplyButton()->isEnabled(); }
    std::string LastError()
    {
        ++m_errorsSeen;
        return TestPrompts().Seen().empty() ? std::string() : TestPrompts().Seen().back().text;
    }

    qtest::TempFolder m_temp;
    PersistSettings m_settings;
    CFakeFrame m_frame;
    std::unique_ptr<COptionsDlg> m_dlg;
    int m_errorsSeen = 0;
};

TEST_F(OptionsDlgTest, OpensAsTheFrameShowsIt)
{
    EXPECT_EQ(m_dlg->windowTitle(), QString("Options"));
    EXPECT_FALSE(m_dlg->isModal());
    EXPECT_TRUE(m_dlg->FolderEdit()->isReadOnly());
    EXPECT_EQ(m_dlg->FolderEdit()->text().toStdString(), m_frame.m_live.m_downloadFolder.GetPath());
    ASSERT_EQ(m_dlg->Tabs()->count(), 2);
    EXPECT_EQ(m_dlg->Tabs()->tabText(0), QString("Filter"));
    EXPECT_EQ(m_dlg->Tabs()->tabText(1), QString("Misc"));
    EXPECT_EQ(m_dlg->Tabs()->currentIndex(), 0);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_TRUE(m_dlg->OkButton()->isDefault());
    EXPECT_EQ(m_dlg->CancelButton()->text(), QString("Cancel"));
    EXPECT_EQ(Filter().MinEdit()->maxLength(), 7);
    EXPECT_EQ(Filter().MinUnits()->count(), 4);
    EXPECT_EQ(Filter().MaxUnits()->itemText(0), QString("byte(s)"));
    EXPECT_EQ(Filter().MaxUnits()->itemText(3), QString("GB"));
    EXPECT_EQ(Filter().TypesView()->ColumnWidth(0), 100);
    EXPECT_EQ(Filter().TypesView()->ColumnWidth(1), 155);
    EXPECT_EQ(Misc().ConcurrentDownloads()->minimum(), 1);
    EXPECT_EQ(Misc().ConcurrentDownloads()->maximum(), 6);
    EXPECT_EQ(Misc().UserAgent()->itemText(1), QString("Internet Explorer 5.0"));
    EXPECT_EQ(Misc().RefreshRate()->itemText(2), QString("HIGH"));
}

TEST_F(OptionsDlgTest, SizeRules)
{
    struct Case {
        const char* minText;
        int minUnits;
        const char* maxText;
        int maxUnits;
        const char* error; // null: accepted
        bool minFocused;   // the field the error points at
    };
    const Case cases[] = {
        {"0", SU_BYTES, "1000", SU_GB, nullptr, false},
        {"0", SU_BYTES, "1001", SU_GB, "File size value specified for filter must be less than 1000GB", false},
        {"1001", SU_GB, "1", SU_GB, "File size value specified for filter must be less than 1000GB", true},
        {"2", SU_MB, "2048", SU_KB, nullptr, false},
        {"3", SU_MB, "2", SU_MB, "Value for min size value cannot be greater than that of max size.", true},
        {"12a", SU_KB, "350", SU_MB, "Invalid number entered for size filter", true},
        {"1", SU_KB, "", SU_MB, "File size filter cannot be empty", false},
        {"", SU_KB, "", SU_MB, "File size filter cannot be empty", true},
        {"1", SU_KB, "-5", SU_MB, "Invalid number entered for size filter", false},
        {"1", -1, "5", SU_MB, "Invalid selection for file size units", true},
        {"9999999", SU_BYTES, "9999999", SU_KB, nullptr, false},
        {"1", SU_BYTES, "9999999", SU_MB, "File size value specified for filter must be less than 1000GB", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.minText) + " / " + c.maxText);
        m_dlg->Tabs()->setCurrentIndex(1); // the error must bring the Filter page forward
        Filter().MinEdit()->setText(c.minText);
        Filter().MinUnits()->setCurrentIndex(c.minUnits);
        Filter().MaxEdit()->setText(c.maxText);
        Filter().MaxUnits()->setCurrentIndex(c.maxUnits);
        const int appliedBefore = m_frame.m_applied;
        m_dlg->OnApply();
        if (!c.error) {
            EXPECT_EQ(m_frame.m_applied, appliedBefore + 1);
            EXPECT_EQ(m_frame.m_live.m_nMaxSize, QString(c.maxText).toInt());
            EXPECT_FALSE(ApplyEnabled());
            continue;
        }
        EXPECT_EQ(LastError(), c.error);
        EXPECT_EQ(TestPrompts().Seen().back().title, "Error");
        EXPECT_EQ(m_frame.m_applied, appliedBefore);
        EXPECT_TRUE(ApplyEnabled()); // the flags stay set
        EXPECT_EQ(m_dlg->Tabs()->currentIndex(), 0);
        QLineEdit* offending = c.minFocused ? Filter().MinEdit() : Filter().MaxEdit();
        EXPECT_EQ(m_dlg->focusWidget(), offending);
        EXPECT_EQ(offending->selectedText(), offending->text());
    }
}

TEST_F(OptionsDlgTest, ApplyFollowsTheModifiedFlags)
{
    EXPECT_FALSE(ApplyEnabled());
    Filter().MaxUnits()->setFocus();
    QTest::keyClick(Filter().MaxUnits(), Qt::Key_Down); // MB -> GB, as the user chooses it
    EXPECT_EQ(Filter().MaxUnits()->currentIndex(), SU_GB);
    EXPECT_TRUE(ApplyEnabled());
    QTest::mouseClick(m_dlg->ApplyButton(), Qt::LeftButton);
    EXPECT_FALSE(ApplyEnabled());
    EXPECT_EQ(m_frame.m_applied, 1);
    EXPECT_EQ(m_frame.m_live.m_maxSizeUnits, SU_GB);
    EXPECT_TRUE(m_frame.m_live.m_bModified);
    EXPECT_TRUE(m_dlg->isVisible());
    ASSERT_FALSE(m_settings.m_recentDownloadFolders.empty());
    EXPECT_EQ(m_settings.m_recentDownloadFolders.front(), m_frame.m_live.m_downloadFolder.GetPath());

    // Each page's own kind of change sets a flag.
    const std::vector<std::function<void()>> changes = {
        [&] { QTest::mouseClick(Misc().SkipButton(), Qt::LeftButton, Qt::NoModifier, QPoint(8, 8)); }, // on its box
        [&] { QTest::keyClick(Misc().ConcurrentDownloads(), Qt::Key_Up); },
        [&] { QTest::keyClicks(Misc().UserAgent(), "x"); },
        [&] { QTest::keyClicks(Filter().MinEdit(), "0"); },
        [&] {
            Filter().TypesView()->show(),
                QTest::mouseClick(Filter().TypesView()->viewport(), Qt::LeftButton, Qt::NoModifier,
                                  Filter().TypesView()->CheckBoxRect(0).center());
        },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        m_dlg->Tabs()->setCurrentIndex(i < 3 ? 1 : 0);
        QApplication::processEvents();
        m_dlg->ClearModified();
        changes[i]();
        EXPECT_TRUE(ApplyEnabled()) << "change " << i;
        EXPECT_TRUE(m_dlg->IsModified()) << "change " << i;
    }
}

TEST_F(OptionsDlgTest, ReadOnlyWhileAJobRuns)
{
    m_frame.m_canApply = false;
    m_dlg->OnIdle();
    EXPECT_FALSE(m_dlg->OkButton()->isEnabled());
    EXPECT_EQ(m_dlg->CancelButton()->text(), QString("Close"));
    EXPECT_FALSE(m_dlg->BrowseButton()->isEnabled());
    EXPECT_FALSE(m_dlg->RecentButton()->isEnabled());
    for (QWidget* control : std::initializer_list<QWidget*>{
             Filter().MinEdit(), Filter().MinUnits(), Filter().MaxEdit(), Filter().MaxUnits(), Filter().AddButton(),
             Filter().RemoveButton(), Misc().SkipButton(), Misc().OverwriteButton(), Misc().RenameButton(),
             Misc().ConcurrentDownloads(), Misc().UserAgent(), Misc().RefreshRate(), Misc().Responsiveness()})
        EXPECT_FALSE(control->isEnabled()) << control->metaObject()->className();

    COptionTypesView* view = Filter().TypesView();
    const bool wasChecked = view->Types()[0]->m_bChecked;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->CheckBoxRect(0).center());
    EXPECT_EQ(view->Types()[0]->m_bChecked, wasChecked);
    EXPECT_FALSE(ApplyEnabled());

    m_dlg->accept(); // Enter: the disabled OK does nothing
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_EQ(m_frame.m_applied, 0);

    m_frame.m_canApply = true;
    m_dlg->OnIdle();
    EXPECT_TRUE(m_dlg->OkButton()->isEnabled());
    EXPECT_EQ(m_dlg->CancelButton()->text(), QString("Cancel"));
    EXPECT_TRUE(Misc().UserAgent()->isEnabled());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->CheckBoxRect(0).center());
    EXPECT_NE(view->Types()[0]->m_bChecked, wasChecked);
}

TEST_F(OptionsDlgTest, CancelAfterUncheckingLeavesTheLiveOptionsUntouched)
{
    COptionTypesView* view = Filter().TypesView();
    ASSERT_TRUE(m_frame.m_live.m_fileTypes[0]->m_bChecked);
    EXPECT_NE(view->Types()[0].get(), m_frame.m_live.m_fileTypes[0].get());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->CheckBoxRect(0).center());
    EXPECT_FALSE(view->Types()[0]->m_bChecked);
    EXPECT_TRUE(ApplyEnabled());
    QTest::mouseClick(m_dlg->CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_frame.m_closed, 1);
    EXPECT_EQ(m_frame.m_applied, 0);
    EXPECT_TRUE(m_frame.m_live.m_fileTypes[0]->m_bChecked);
    EXPECT_FALSE(m_frame.m_live.m_bModified);
}

TEST_F(OptionsDlgTest, OkWritesTheChangeIntoTheOptionsFileByteExactly)
{
    const std::string golden = qtest::ReadFile(kGoldenDir + "options_default.xml");
    m_frame.m_live = ConfigOptions();
    m_frame.m_live.Restore((kGoldenDir + "options_default.xml").c_str());
    Open();

    COptionTypesView* view = Filter().TypesView();
    ASSERT_EQ(view->Types()[1]->m_ext, "*.jpe");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->CheckBoxRect(1).center());
    Filter().MaxEdit()->setText("500");
    QTest::mouseClick(m_dlg->OkButton(), Qt::LeftButton);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_frame.m_applied, 1);
    EXPECT_EQ(m_frame.m_closed, 1);

    const std::string path = (m_temp.Path() / "QuarrowOptions.xml").string();
    m_frame.m_live.Save(path.c_str());
    std::string expected = golden;
    const std::string jpe = "<m_ext>*.jpe</m_ext>\n\t\t\t\t<m_desc>Image File</m_desc>\n\t\t\t\t<m_bChecked>1";
    const std::size_t at = expected.find(jpe);
    ASSERT_NE(at, std::string::npos);
    expected[at + jpe.size() - 1] = '0';
    const std::string max = "<m_nMaxSize>350<";
    ASSERT_NE(expected.find(max), std::string::npos);
    expected.replace(expected.find(max), max.size(), "<m_nMaxSize>500<");
    EXPECT_EQ(qtest::ReadFile(path), expected);
}

TEST_F(OptionsDlgTest, MiscPageMapsEveryFieldBothWays)
{
    ConfigOptions options = m_frame.m_live;
    options.m_fileSavePolicy = FSP_OVERWRITE;
    options.m_nMaxConcurrentDownloads = 5;
    options.m_userAgent = "Internet Explorer 5.0";
    options.m_dvRefreshRate = LEVEL_HIGH;
    options.m_respFactor = LEVEL_LOW;
    m_dlg->SetOptions(options);
    EXPECT_TRUE(Misc().OverwriteButton()->isChecked());
    ConfigOptions read;
    m_dlg->GetOptions(read);
    EXPECT_EQ(read.m_fileSavePolicy, FSP_OVERWRITE);
    EXPECT_EQ(read.m_nMaxConcurrentDownloads, 5);
    EXPECT_EQ(read.m_userAgent, "Internet Explorer 5.0");
    EXPECT_EQ(read.m_dvRefreshRate, LEVEL_HIGH);
    EXPECT_EQ(read.m_respFactor, LEVEL_LOW);
    EXPECT_EQ(read.m_downloadFolder.GetPath(), options.m_downloadFolder.GetPath());
    EXPECT_EQ(read.m_nMinSize, 1);
    EXPECT_EQ(read.m_minSizeUnits, SU_KB);
    EXPECT_EQ(read.m_fileTypes.size(), options.m_fileTypes.size());

    // An unknown policy selects no button and reads back as Rename.
    options.m_fileSavePolicy = static_cast<FileSavePolicy>(7);
    m_dlg->SetOptions(options);
    EXPECT_FALSE(Misc().SkipButton()->isChecked() || Misc().OverwriteButton()->isChecked() ||
                 Misc().RenameButton()->isChecked());
    m_dlg->GetOptions(read);
    EXPECT_EQ(read.m_fileSavePolicy, FSP_RENAME);
}

TEST_F(OptionsDlgTest, ConcurrencyChangesOnlyThroughItsArrowsAndTheUserAgentIsSentAsTyped)
{
    m_dlg->Tabs()->setCurrentIndex(1);
    QSpinBox* concurrent = Misc().ConcurrentDownloads();
    concurrent->setFocus();
    QTest::keyClicks(concurrent, "5");
    EXPECT_EQ(concurrent->value(), 3);
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(concurrent, Qt::Key_Up);
    EXPECT_EQ(concurrent->value(), 6);
    for (int i = 0; i < 9; ++i)
        QTest::keyClick(concurrent, Qt::Key_Down);
    EXPECT_EQ(concurrent->value(), 1);

    Misc().UserAgent()->lineEdit()->clear();
    QTest::keyClicks(Misc().UserAgent(), "  My Agent/1.0 (X11) ");
    ConfigOptions read;
    m_dlg->GetOptions(read);
    EXPECT_EQ(read.m_userAgent, "  My Agent/1.0 (X11) ");
    EXPECT_EQ(read.m_nMaxConcurrentDownloads, 1);
    Misc().UserAgent()->setEditText(QString(300, QLatin1Char('a')));
    m_dlg->GetOptions(read);
    EXPECT_EQ(read.m_userAgent.size(), 254u);
}

TEST_F(OptionsDlgTest, RecentMenu)
{
    m_dlg->BuildRecentMenu();
    QList<QAction*> entries = m_dlg->RecentButton()->PopupMenu()->actions();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0]->text(), QString("None"));
    EXPECT_FALSE(entries[0]->isEnabled());

    const std::string current = m_dlg->FolderEdit()->text().toStdString();
    m_settings.m_recentDownloadFolders = {"/newest/R&D/", current, "/oldest/"};
    m_dlg->BuildRecentMenu();
    entries = m_dlg->RecentButton()->PopupMenu()->actions();
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0]->text(), QString("/newest/R&&D/")); // shown as the bare path
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(entries[i]->data().toInt(), 5070 + i);
    EXPECT_TRUE(entries[1]->isChecked());
    EXPECT_FALSE(entries[1]->isEnabled());
    EXPECT_FALSE(entries[2]->isChecked());
    EXPECT_TRUE(entries[2]->isEnabled());

    entries[2]->trigger();
    EXPECT_EQ(m_dlg->FolderEdit()->text(), QString("/oldest/"));
    EXPECT_EQ(m_dlg->FolderEdit()->selectedText(), QString("/oldest/"));
    EXPECT_EQ(m_dlg->focusWidget(), m_dlg->FolderEdit());
    EXPECT_TRUE(ApplyEnabled());
}

TEST_F(OptionsDlgTest, FolderPickerStartsInTheShownFolderAndCancelChangesNothing)
{
    CStartFolderPrompts prompts;
    SetPrompts(&prompts);
    const QString shown = m_dlg->FolderEdit()->text();
    TestPrompts().QueueFolder("");
    QTest::mouseClick(m_dlg->BrowseButton(), Qt::LeftButton);
    EXPECT_EQ(m_dlg->FolderEdit()->text(), shown);
    EXPECT_FALSE(ApplyEnabled());

    TestPrompts().QueueFolder(m_temp.Path().string());
    QTest::mouseClick(m_dlg->BrowseButton(), Qt::LeftButton);
    SetPrompts(&TestPrompts());
    EXPECT_EQ(prompts.m_starts, (std::vector<std::string>{shown.toStdString(), shown.toStdString()}));
    EXPECT_EQ(TestPrompts().Seen().back().title, "Select Download Folder");
    EXPECT_EQ(m_dlg->FolderEdit()->text().toStdString(), m_temp.Path().string());
    EXPECT_EQ(m_dlg->FolderEdit()->selectedText(), m_dlg->FolderEdit()->text());
    EXPECT_TRUE(ApplyEnabled());

    QTest::mouseClick(m_dlg->OkButton(), Qt::LeftButton);
    EXPECT_EQ(m_frame.m_live.m_downloadFolder.GetPath(), m_temp.Path().string());
    EXPECT_EQ(m_settings.m_recentDownloadFolders.front(), m_temp.Path().string());
}

TEST_F(OptionsDlgTest, ColumnWidthsComeFromTheSettingsAndAreKeptAtTheEnd)
{
    m_dlg.reset(); // it would keep its own widths on the way out
    m_settings.m_ftViewColWidths = {120, 90};
    Open();
    EXPECT_EQ(Filter().TypesView()->ColumnWidth(0), 120);
    EXPECT_EQ(Filter().TypesView()->ColumnWidth(1), 90);
    Filter().TypesView()->SetColumnWidths(130, 170);
    QTest::mouseClick(m_dlg->CancelButton(), Qt::LeftButton);
    EXPECT_EQ(m_settings.m_ftViewColWidths, (std::vector<std::int32_t>{130, 170}));

    m_settings.m_ftViewColWidths = {1, 2, 3}; // not exactly two: the defaults
    Open();
    EXPECT_EQ(Filter().TypesView()->ColumnWidth(0), 100);
    m_dlg.reset(); // destroyed while open: the widths are kept all the same
    EXPECT_EQ(m_settings.m_ftViewColWidths, (std::vector<std::int32_t>{100, 155}));
}

// Typing stops at 7 characters, but a longer size from a hand-edited options file is shown
// whole and survives an Apply of another change.
TEST_F(OptionsDlgTest, StoredSizesLongerThanTheFieldShowWhole)
{
    m_frame.m_live.m_nMinSize = 12345678;
    m_frame.m_live.m_minSizeUnits = SU_BYTES;
    m_frame.m_live.m_nMaxSize = 900000000;
    m_frame.m_live.m_maxSizeUnits = SU_BYTES;
    Open();
    EXPECT_EQ(Filter().MinEdit()->text(), QString("12345678"));
    EXPECT_EQ(Filter().MaxEdit()->text(), QString("900000000"));
    Misc().SkipButton()->click();
    const int appliedBefore = m_frame.m_applied;
    m_dlg->OnApply();
    ASSERT_EQ(m_frame.m_applied, appliedBefore + 1);
    EXPECT_EQ(m_frame.m_live.m_fileSavePolicy, FSP_SKIP);
    EXPECT_EQ(m_frame.m_live.m_nMinSize, 12345678);
    EXPECT_EQ(m_frame.m_live.m_nMaxSize, 900000000);

    // A fresh value is typed within the usual 7 characters.
    Filter().MaxEdit()->selectAll();
    QTest::keyClicks(Filter().MaxEdit(), "123456789");
    EXPECT_EQ(Filter().MaxEdit()->text(), QString("1234567"));
}

TEST_F(OptionsDlgTest, OkWithoutChangesClosesAndAppliesNothingNew)
{
    QTest::mouseClick(m_dlg->OkButton(), Qt::LeftButton);
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_frame.m_applied, 1); // the frame is asked; it takes nothing unmodified
    EXPECT_EQ(m_frame.m_closed, 1);
    EXPECT_FALSE(m_frame.m_live.m_bModified);
}

} // namespace
