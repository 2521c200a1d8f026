// The About box: its texts and links, the links opening through the real xdg-open path,
// pictures drawn from SVG or left empty when missing, and the main window running it
// modally through the prompt seam.
#include "FakeXdgOpen.h"
#include "FrameFixture.h"

#include "ui/HyperLink.h"
#include "ui/MakerSite.h"
#include "ui/SvgPicture.h"
#include "ui/dialogs/AboutDlg.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

namespace qtest {
namespace {

std::vector<std::string> LabelTexts(const QWidget& dialog)
{
    std::vector<std::string> texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts.push_back(label->text().toStdString());
    return texts;
}

bool Has(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class AboutTest : public ::testing::Test {
protected:
    AboutTest() : m_configHome("XDG_CONFIG_HOME", m_home.Dir()) { TestPrompts().Reset(); }
    TempFolder m_home;
    ScopedEnv m_configHome;
};

TEST_F(AboutTest, ShowsNameVersionMakerAndTheTwoLinksToTheMakersSite)
{
    CAboutDlg about;
    about.show();
    EXPECT_EQ(about.windowTitle(), "About Quarrow");
    EXPECT_TRUE(about.isModal());
    const std::vector<std::string> texts = LabelTexts(about);
    for (const char* text : {"Quarrow", "Version 1.2", "Copyright \u00A9 2026 Orlendi", "Visit -->",
                             "for more great products!", "https://quarrow.orlendi.example"})
        EXPECT_TRUE(Has(texts, text)) << text;
    EXPECT_EQ(about.SiteLink()->text().toStdString(), kMakerSite);
    EXPECT_EQ(about.SiteLink()->Target(), "https://quarrow.orlendi.example/index.php?referer=quarrow_program");
    EXPECT_EQ(about.DonateLink()->Target(), "https://quarrow.orlendi.example/donate.php?referer=quarrow_program");
    EXPECT_TRUE(about.OkButton()->isDefault());
    EXPECT_NE(about.DonateLink()->Picture(), nullptr);
    EXPECT_TRUE(about.DonateLink()->text().isEmpty());

    // The banner spans the top; OK ends the dialog.
    EXPECT_EQ(about.Banner()->y(), 0);
    EXPECT_GE(about.Banner()->width(), about.width() - 2);
    QTest::mouseClick(about.OkButton(), Qt::LeftButton);
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());
}

TEST_F(AboutTest, BothLinksOpenThroughXdgOpenAndTurnPurpleOnlyWhenThatSucceeds)
{
    CFakeXdgOpen xdgOpen;
    CAboutDlg about;
    about.show();
    for (CHyperLink* link : {about.SiteLink(), about.DonateLink()}) {
        SCOPED_TRACE(link->Target());
        EXPECT_EQ(link->CurrentColor(), QColor(0, 0, 255));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        xdgOpen.SetStatus(2);
        QTest::mouseClick(link, Qt::LeftButton);
        EXPECT_FALSE(link->IsVisited());
        EXPECT_EQ(link->CurrentColor(), QColor(0, 0, 255));
        xdgOpen.SetStatus(0);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_TRUE(link->IsVisited());
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    }
    EXPECT_EQ(xdgOpen.Opened(), about.SiteLink()->Target() + "\n" + about.SiteLink()->Target() + "\n" +
                                    about.DonateLink()->Target() + "\n" + about.DonateLink()->Target() + "\n");
    EXPECT_TRUE(TestPrompts().Seen().empty());
}

TEST_F(AboutTest, PicturesAreDrawnFromTheirSvgAndAMissingOneLeavesAnEmptyAreaOfItsSize)
{
    const auto svg = m_home.Write("red.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\">"
                                             "<rect width=\"10\" height=\"10\" fill=\"#ff0000\"/></svg>");
    struct Case {
        QString path;
        bool loaded;
    };
    for (const Case& c : {Case{QString::fromStdString(svg.string()), true}, Case{":/icons/no-such.svg", false}}) {
        SCOPED_TRACE(c.path.toStdString());
        CHyperLink link(QString{});
        link.SetPicture(c.path, QSize(40, 20));
        link.show();
        EXPECT_EQ(link.size(), QSize(40, 20));
        EXPECT_EQ(link.Picture()->IsLoaded(), c.loaded);
        const QImage image = link.grab().toImage();
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2) == QColor(255, 0, 0), c.loaded);
    }
    // Whether or not the program's own pictures are there, the box opens with its layout.
    CAboutDlg about;
    about.show();
    EXPECT_EQ(about.Banner()->size(), about.Banner()->sizeHint());
    EXPECT_FALSE(about.grab().isNull());
}

TEST_F(FrameTest, HelpAboutRunsTheAboutBoxModallyOverTheWindow)
{
    CMainFrame& frame = Open();
    QWidget* parent = nullptr;
    bool wasAbout = false;
    TestPrompts().QueueModal([&](QDialog& dialog) {
        parent = dialog.parentWidget();
        wasAbout = qobject_cast<CAboutDlg*>(&dialog) != nullptr;
        dialog.show();
        QTest::mouseClick(static_cast<CAboutDlg&>(dialog).OkButton(), Qt::LeftButton);
        return dialog.result();
    });
    frame.Action(CMainFrame::ID_APP_ABOUT)->trigger();
    ASSERT_EQ(TestPrompts().Count(CScriptedPrompts::Modal), 1);
    EXPECT_EQ(TestPrompts().Seen().back().title, "About Quarrow");
    EXPECT_TRUE(wasAbout);
    EXPECT_EQ(parent, &frame);
    EXPECT_TRUE(frame.isEnabled());
}

} // namespace
} // namespace qtest
