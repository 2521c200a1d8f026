#include "ScriptedPrompts.h"

#include "config/ConfigOptions.h"
#include "config/PersistSettings.h"
#include "ui/dialogs/AddModifyFileTypeDlg.h"
#include "ui/dialogs/FilterOptsTabDlg.h"
#include "ui/dialogs/NormalizeExtension.h"
#include "ui/dialogs/OptionTypesView.h"
#include "ui/dialogs/OptionsDlg.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using qtest::CScriptedPrompts;
using qtest::TestPrompts;
using Types = std::vector<std::shared_ptr<CFileType>>;

Types MakeTypes(const std::vector<std::string>& exts)
{
    Types types;
    for (const std::string& ext : exts)
        types.push_back(std::make_shared<CFileType>(ext, "desc of " + ext, true));
    return types;
}

std::vector<std::string> Extensions(const COptionTypesView& view)
{
    std::vector<std::string> exts;
    for (const auto& type : view.Types())
        exts.push_back(type->m_ext);
    return exts;
}

TEST(NormalizeExtension, AcceptsTheFourSpellingsAndRefusesTheRest)
{
    for (const char* text : {"jpg", ".jpg", "*jpg", "*.jpg"})
        EXPECT_EQ(NormalizeExtension(text), "*.jpg") << text;
    EXPECT_EQ(NormalizeExtension("JPG"), "*.JPG"); // case kept: the add dialog lowers it
    EXPECT_EQ(NormalizeExtension("a'~`!@#$%&^_+=(){},-[];9"), "*.a'~`!@#$%&^_+=(){},-[];9");
    EXPECT_EQ(NormalizeExtension(std::string(25, 'x')), "*." + std::string(25, 'x'));

    for (const char* text : {"", "*", ".", "*.", "a b", " jpg", "*.tar.gz", "**.jpg", "..jpg", "jp*g", "a/b", "ä"}) {
        try {
            NormalizeExtension(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Invalid extension") << text;
        }
    }
    try {
        NormalizeExtension("*." + std::string(26, 'x'));
        ADD_FAILURE() << "accepted 26 characters";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Extension too long");
    }
}

// The Filter page inside a real Options dialog, with a short type list.
class FileTypesEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestPrompts().Reset();
        ConfigOptions options;
        options.SetDefaults();
        m_dlg.SetOptions(options);
        m_dlg.ClearModified();
        m_dlg.resize(640, 520);
        m_dlg.show();
        m_dlg.OnIdle();
        QApplication::processEvents();
    }
    void TearDown() override { EXPECT_EQ(TestPrompts().Count(CScriptedPrompts::Question), m_questionsAsked); }

    CFilterOptsTabDlg& Page() { return *m_dlg.FilterPage(); }
    COptionTypesView& View() { return *Page().TypesView(); }
    void UseTypes(const std::vector<std::string>& exts)
    {
        View().SetTypes(MakeTypes(exts));
        m_dlg.ClearModified();
    }
    void Click(const QPoint& pos) { QTest::mouseClick(View().viewport(), Qt::LeftButton, Qt::NoModifier, pos); }
    QPoint TextOf(int row) const
    {
        const QRect cell =
            m_dlg.FilterPage()->TypesView()->visualRect(m_dlg.FilterPage()->TypesView()->model()->index(row, 0));
        return QPoint(cell.right() - 10, cell.center().y());
    }

    // Opens the add dialog, types `text` and presses OK; true if the dialog closed.
    bool AddThroughDialog(const std::string& text)
    {
        Page().OnAdd();
        CAddModifyFileTypeDlg* add = Page().AddDialog();
        EXPECT_NE(add, nullptr);
        if (!add)
            return false;
        EXPECT_EQ(add->windowTitle(), QString("Add File Type to Download"));
        EXPECT_FALSE(m_dlg.isEnabled()); // the Options dialog waits for the small one
        add->ExtensionEdit()->setText(QString::fromStdString(text));
        QTest::mouseClick(add->OkButton(), Qt::LeftButton);
        return !add->isVisible();
    }

    void RemoveAnswering(bool yes)
    {
        TestPrompts().QueueAnswer(yes);
        ++m_questionsAsked;
        QTest::mouseClick(Page().RemoveButton(), Qt::LeftButton);
    }

    PersistSettings m_settings;
    COptionsDlg m_dlg{m_settings, nullptr};
    int m_questionsAsked = 0;
};

TEST_F(FileTypesEditorTest, AddRules)
{
    struct Case {
        const char* typed;
        const char* added; // null: refused
        const char* description;
    };
    const Case cases[] = {
        {"JPG", nullptr, nullptr}, // lower-cased first, so the duplicate test sees *.jpg
        {".Zip", "*.zip", "Compressed File"},
        {"foo", "*.foo", "N/A"},
        {"a b", nullptr, nullptr},
        {"*.tar.gz", nullptr, nullptr},
        {"", nullptr, nullptr},
        {"abcdefghijklmnopqrstuvwxy", "*.abcdefghijklmnopqrstuvwxy", "N/A"},
        {"abcdefghijklmnopqrstuvwxyz", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::vector<std::string> before = Extensions(View());
        const bool closed = AddThroughDialog(c.typed);
        CAddModifyFileTypeDlg* add = Page().AddDialog();
        if (!c.added) {
            EXPECT_FALSE(closed);
            EXPECT_EQ(Extensions(View()), before);
            EXPECT_EQ(add->ExtensionEdit()->selectedText(), add->ExtensionEdit()->text());
            EXPECT_TRUE(add->MessageLabel()->isVisibleTo(add));
            EXPECT_FALSE(m_dlg.isEnabled());
            QTest::mouseClick(add->CancelButton(), Qt::LeftButton);
            EXPECT_FALSE(add->isVisible());
            EXPECT_TRUE(m_dlg.isEnabled());
            continue;
        }
        EXPECT_TRUE(closed);
        EXPECT_TRUE(m_dlg.isEnabled());
        ASSERT_EQ(View().Types().size(), before.size() + 1);
        const CFileType& last = *View().Types().back();
        EXPECT_EQ(last.m_ext, c.added);
        EXPECT_EQ(last.m_desc, c.description);
        EXPECT_TRUE(last.m_bChecked);
        EXPECT_TRUE(m_dlg.ApplyButton()->isEnabled());
    }
}

TEST_F(FileTypesEditorTest, RefusalSaysWhyBesideTheField)
{
    EXPECT_FALSE(AddThroughDialog("a b"));
    EXPECT_EQ(Page().AddDialog()->MessageLabel()->text(), QString("a b is NOT a valid extension."));
    Page().AddDialog()->reject();
    EXPECT_FALSE(AddThroughDialog("Jpg"));
    EXPECT_EQ(Page().AddDialog()->MessageLabel()->text(), QString("jpg is already in the list."));
    Page().AddDialog()->reject();
    EXPECT_FALSE(m_dlg.IsModified());
}

TEST_F(FileTypesEditorTest, RemoveRules)
{
    UseTypes({"*.a", "*.b", "*.c"});
    View().SelectIndex(1);
    RemoveAnswering(false);
    EXPECT_EQ(Extensions(View()), (std::vector<std::string>{"*.a", "*.b", "*.c"}));
    EXPECT_FALSE(m_dlg.IsModified());
    const CScriptedPrompts::Prompt& asked = TestPrompts().Seen().back();
    EXPECT_EQ(asked.text, "Are you sure you want to remove the file type with extension *.b?");
    EXPECT_EQ(asked.title, "Remove *.b?");

    Page().RemoveButton()->setFocus();
    RemoveAnswering(true); // a middle one: the selection stays on its index
    EXPECT_EQ(Extensions(View()), (std::vector<std::string>{"*.a", "*.c"}));
    EXPECT_EQ(View().SelectedIndex(), 1);
    EXPECT_TRUE(m_dlg.ApplyButton()->isEnabled());
    // Remove stayed enabled, so it keeps the focus for the next removal.
    EXPECT_EQ(m_dlg.focusWidget(), Page().RemoveButton());

    UseTypes({"*.a", "*.b", "*.c"});
    View().SelectIndex(2);
    RemoveAnswering(true); // the last of three: the new last one
    EXPECT_EQ(View().SelectedIndex(), 1);
    RemoveAnswering(true); // one left: it is selected
    EXPECT_EQ(Extensions(View()), std::vector<std::string>{"*.a"});
    EXPECT_EQ(View().SelectedIndex(), 0);

    Page().RemoveButton()->setFocus();
    RemoveAnswering(true); // none left: nothing selected, Remove off, focus on Add
    EXPECT_TRUE(View().Types().empty());
    EXPECT_EQ(View().SelectedIndex(), -1);
    EXPECT_FALSE(Page().RemoveButton()->isEnabled());
    EXPECT_EQ(m_dlg.focusWidget(), Page().AddButton());
}

TEST_F(FileTypesEditorTest, RemoveIsEnabledOnlyWithASelectionOnAnEditablePage)
{
    UseTypes({"*.a", "*.b"});
    EXPECT_FALSE(Page().RemoveButton()->isEnabled());
    Click(TextOf(0));
    EXPECT_TRUE(Page().RemoveButton()->isEnabled());
    Page().EnableControls(false);
    EXPECT_FALSE(Page().RemoveButton()->isEnabled());
    EXPECT_FALSE(Page().AddButton()->isEnabled());
    Page().EnableControls(true);
    EXPECT_TRUE(Page().RemoveButton()->isEnabled());
}

TEST_F(FileTypesEditorTest, OnlyAClickOnTheBoxTogglesAndOnlyWhileEditable)
{
    UseTypes({"*.a", "*.b"});
    Click(TextOf(1));
    EXPECT_EQ(View().SelectedIndex(), 1);
    EXPECT_TRUE(View().Types()[1]->m_bChecked);
    EXPECT_FALSE(m_dlg.ApplyButton()->isEnabled());

    QTest::keyClick(View().viewport(), Qt::Key_Space);
    EXPECT_TRUE(View().Types()[1]->m_bChecked);

    const QPoint box = View().CheckBoxRect(1).center();
    View().SetEditable(false);
    Click(box);
    EXPECT_TRUE(View().Types()[1]->m_bChecked);
    EXPECT_FALSE(m_dlg.IsModified());

    View().SetEditable(true);
    Click(box);
    EXPECT_FALSE(View().Types()[1]->m_bChecked);
    EXPECT_TRUE(View().IsModified());
    EXPECT_TRUE(m_dlg.ApplyButton()->isEnabled());
    EXPECT_EQ(View().model()->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
}

TEST_F(FileTypesEditorTest, DeleteKeyDoesNothingAndHeaderClicksSortAscending)
{
    Types types = {std::make_shared<CFileType>("*.b", "Zeta", true), std::make_shared<CFileType>("*.c", "Alpha", true),
                   std::make_shared<CFileType>("*.a", "Mid", false)};
    View().SetTypes(types);
    View().SelectIndex(0);
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_EQ(View().Types().size(), 3u);

    QHeaderView* header = View().horizontalHeader();
    const auto clickHeader = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(column) + 10, header->height() / 2));
    };
    clickHeader(1);
    EXPECT_EQ(Extensions(View()), (std::vector<std::string>{"*.c", "*.a", "*.b"}));
    clickHeader(0);
    EXPECT_EQ(Extensions(View()), (std::vector<std::string>{"*.a", "*.b", "*.c"}));
    clickHeader(0); // again ascending, never descending
    EXPECT_EQ(Extensions(View()), (std::vector<std::string>{"*.a", "*.b", "*.c"}));
    EXPECT_FALSE(View().Types()[0]->m_bChecked); // the check state travels with its type
}

TEST_F(FileTypesEditorTest, TheViewHoldsCopiesOfTheTypes)
{
    Types types = MakeTypes({"*.a"});
    View().SetTypes(types);
    EXPECT_NE(View().Types()[0].get(), types[0].get());
    Click(View().CheckBoxRect(0).center());
    EXPECT_TRUE(types[0]->m_bChecked);
    const Types out = View().GetTypes();
    EXPECT_NE(out[0].get(), View().Types()[0].get());
    EXPECT_FALSE(out[0]->m_bChecked);
}

} // namespace
