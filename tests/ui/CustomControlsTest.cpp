#include "ui/AddressbarTB.h"
#include "ui/CoolButton.h"
#include "ui/ReturnCallback.h"
#include "ui/SpecialEdit.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records each Enter together with the text the edit held at that moment.
class CRecordingReturn : public IReturnCallback {
public:
    void OnReturn() override { m_texts.push_back(m_bar ? m_bar->GetText().toStdString() : std::string()); }
    CAddressbarTB* m_bar = nullptr;
    std::vector<std::string> m_texts;
};

class AddressbarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_callback.m_bar = &m_bar;
        m_bar.resize(600, m_bar.sizeHint().height());
        m_bar.show();
        m_bar.FocusCombo();
    }

    // Keys go where the keyboard would send them: to the combo box, which hands them on.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(m_bar.Combo(), key, modifiers);
    }
    QString Text() const { return m_bar.GetText(); }
    int Caret() const { return m_bar.Edit()->cursorPosition(); }

    CRecordingReturn m_callback;
    CAddressbarTB m_bar{&m_callback};
};

TEST(SpecialEditWords, PreviousWordStartAndNextWordEnd)
{
    struct Case {
        const char* text;
        int caret;
        int previous; // characters Ctrl+Left jumps back
        int next;     // characters Ctrl+Right jumps forward
    };
    const Case cases[] = {
        {"http://host/dir/file.jpg", 24, 3, 0},
        {"http://host/dir/file.", 21, 5, 0},
        {"http://host/dir/", 16, 4, 0},
        {"http://host/", 12, 5, 0},
        {"http://", 7, 7, 0},          // one word with its separators
        {"///", 3, 3, 0},              // only separators
        {"http://host/dir", 0, 0, 7},  // word and the separators after it
        {"http://host/dir", 4, 4, 3},  // ":" is no separator: ":" and "//"
        {"http://host/dir", 11, 4, 4}, // separator and the last word
        {"a b  c", 6, 1, 0},
        {"a b  c", 3, 1, 3}, // blanks and a word
        {" .a/ b", 0, 0, 5}, // separators, word, separators
        {"", 0, 0, 0},
        {"日本/語", 4, 1, 0}, // counted in characters, not UTF-8 bytes
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(CSpecialEdit::PreviousWordDistance(text, c.caret), c.previous) << c.text << " @" << c.caret;
        EXPECT_EQ(CSpecialEdit::NextWordDistance(text, c.caret), c.next) << c.text << " @" << c.caret;
    }
}

TEST_F(AddressbarTest, CtrlBackspaceRemovesExtensionThenNameThenEachSegment)
{
    m_bar.SetText("http://host/dir/file.jpg");
    const char* expected[] = {"http://host/dir/file.", "http://host/dir/", "http://host/", "http://", ""};
    for (const char* text : expected) {
        Key(Qt::Key_Backspace, Qt::ControlModifier);
        EXPECT_EQ(Text().toStdString(), text);
    }
    Key(Qt::Key_Backspace, Qt::ControlModifier); // nothing left: nothing happens
    EXPECT_EQ(Text(), QString());
    EXPECT_TRUE(m_callback.m_texts.empty());
}

TEST_F(AddressbarTest, CtrlLeftStopsWhereCtrlBackspaceCutsAndShiftExtends)
{
    m_bar.SetText("http://host/dir/file.jpg");
    for (int stop : {21, 16, 12, 7, 0, 0}) {
        Key(Qt::Key_Left, Qt::ControlModifier);
        EXPECT_EQ(Caret(), stop);
    }
    for (int stop : {7, 12, 16, 21, 24, 24}) {
        Key(Qt::Key_Right, Qt::ControlModifier);
        EXPECT_EQ(Caret(), stop);
    }
    Key(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    Key(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(m_bar.Edit()->selectedText(), QString("file.jpg"));
    Key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(m_bar.Edit()->selectedText(), QString("jpg"));
    Key(Qt::Key_Right); // a plain arrow collapses the selection
    EXPECT_FALSE(m_bar.Edit()->hasSelectedText());
    Key(Qt::Key_Escape);
    EXPECT_EQ(m_bar.Edit()->selectedText(), Text());
}

TEST_F(AddressbarTest, EnterReachesTheCallbackAndAddsNothingToTheList)
{
    m_bar.AddString("http://a.example/");
    m_bar.SetText("http://typed.example/x");
    Key(Qt::Key_Return);
    Key(Qt::Key_Enter);
    EXPECT_EQ(m_callback.m_texts, (std::vector<std::string>{"http://typed.example/x", "http://typed.example/x"}));
    EXPECT_EQ(m_bar.Combo()->count(), 1);
}

TEST_F(AddressbarTest, EnterInTheOpenListTakesTheHighlightedEntryAndReachesTheCallback)
{
    m_bar.AddString("http://a.example/");
    m_bar.AddString("http://b.example/");
    m_bar.SetText("typed");
    m_bar.Combo()->showPopup();
    QAbstractItemView* list = m_bar.Combo()->view();
    ASSERT_TRUE(list->isVisible());
    list->setCurrentIndex(list->model()->index(1, 0));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(m_callback.m_texts, std::vector<std::string>{"http://b.example/"});
}

TEST_F(AddressbarTest, ChoosingAListEntryOnlyFillsTheEdit)
{
    m_bar.AddString("http://a.example/");
    m_bar.AddString("http://b.example/");
    m_bar.SetText("typed");
    m_bar.Combo()->showPopup();
    QAbstractItemView* list = m_bar.Combo()->view();
    const QPoint entry = list->visualRect(list->model()->index(1, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, entry);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list->isVisible(); }, 2000));
    EXPECT_EQ(Text(), QString("http://b.example/"));
    EXPECT_TRUE(m_callback.m_texts.empty());
}

TEST_F(AddressbarTest, ListChangesKeepTheTypedTextAndTextIsCappedToOneLine)
{
    m_bar.SetText("half typed");
    m_bar.InsertString(0, "http://first.example/");
    m_bar.AddString("http://last.example/");
    m_bar.DeleteString(0);
    EXPECT_EQ(Text(), QString("half typed"));
    ASSERT_EQ(m_bar.Combo()->count(), 1);
    EXPECT_EQ(m_bar.Combo()->itemText(0), QString("http://last.example/"));

    m_bar.SetText(QString(3000, QLatin1Char('x')));
    EXPECT_EQ(Text().size(), CAddressbarTB::kMaxTextLength);
}

TEST_F(AddressbarTest, GoStaysAtTheRightEndAndTheComboStretches)
{
    EXPECT_EQ(m_bar.GoAction()->data().toInt(), 32779);
    EXPECT_EQ(m_bar.GoAction()->text(), QString("Go"));
    QWidget* go = m_bar.widgetForAction(m_bar.GoAction());
    ASSERT_NE(go, nullptr);
    for (int width : {400, 900}) {
        m_bar.resize(width, m_bar.height());
        QApplication::processEvents();
        const int gap = m_bar.width() - go->geometry().right();
        EXPECT_LT(gap, 16) << width;
        EXPECT_LT(m_bar.Combo()->geometry().right(), go->geometry().left()) << width;
        EXPECT_GT(m_bar.Combo()->width(), width - go->width() - 140) << width;
    }
}

TEST(CoolButton, MenuEntriesCarryIdsAndFlagsAndReportTheChoice)
{
    CCoolButton button("&Recent");
    EXPECT_EQ(button.popupMode(), QToolButton::InstantPopup);
    EXPECT_EQ(button.menu(), button.PopupMenu());
    QAction* plain = button.AppendMenuItem(5070, "/a/");
    QAction* current = button.AppendMenuItem(5071, "/b/", CCoolButton::MIF_CHECKED | CCoolButton::MIF_GRAYED);
    EXPECT_TRUE(plain->isEnabled());
    EXPECT_FALSE(plain->isChecked());
    EXPECT_FALSE(current->isEnabled());
    EXPECT_TRUE(current->isChecked());

    std::vector<int> chosen;
    QObject::connect(&button, &CCoolButton::menuCommand, [&chosen](int id) { chosen.push_back(id); });
    plain->trigger();
    EXPECT_EQ(chosen, std::vector<int>{5070});
    button.ClearMenu();
    EXPECT_TRUE(button.PopupMenu()->actions().isEmpty());
}

} // namespace
