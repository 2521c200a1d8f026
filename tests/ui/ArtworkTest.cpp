// The program's pictures: every one it refers to is in the resource, is valid SVG and draws
// at 1x and 2x; the toolbar shows them whatever the desktop theme has.
#include "FrameFixture.h"

#include "ui/AddressbarTB.h"
#include "ui/FileIconCache.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QSvgRenderer>
#include <QToolBar>

#include <filesystem>

#include <string>
#include <vector>

namespace qtest {
namespace {

const int kToolBarCommands[] = {CMainFrame::ID_OPTIONS,         CMainFrame::ID_OPEN,
                                CMainFrame::ID_CANCEL_SELECTED, CMainFrame::ID_CANCEL_ALL,
                                CMainFrame::ID_COPY_CHOOSE,     CMainFrame::ID_MOVE_CHOOSE,
                                CMainFrame::ID_DELETE,          CMainFrame::ID_DOWNLOAD_IN_BROWSER,
                                CMainFrame::ID_PROPERTIES,      CMainFrame::ID_OPEN_DOWNLOAD_FOLDER,
                                CMainFrame::ID_HELP_CONTENTS};

// How many pixels of the image are not fully transparent.
int OpaquePixels(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += qAlpha(argb.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

// The picture as the program draws it: `size` logical pixels at `ratio` device pixels each.
QImage Drawn(const QIcon& icon, QSize size, qreal ratio) { return icon.pixmap(size, ratio).toImage(); }

void ExpectDrawsAtOneAndTwoTimes(const QIcon& icon, QSize size, const std::string& what)
{
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage image = Drawn(icon, size, ratio);
        EXPECT_EQ(image.size(), size * ratio) << what << " at " << ratio;
        // A real picture covers a good part of its square, not a stray pixel or two.
        EXPECT_GT(OpaquePixels(image), image.width() * image.height() / 8) << what << " at " << ratio;
    }
}

TEST(Artwork, EveryReferencedPictureIsValidSvgAndDrawsAtOneAndTwoTimes)
{
    struct Picture {
        std::string path;
        QSize size;
        QSize grid = size; // the picture's own viewBox
    };
    std::vector<Picture> pictures = {{":/icons/status-completed.svg", {16, 16}},
                                     {":/icons/status-queued.svg", {16, 16}},
                                     {":/icons/status-cancelled.svg", {16, 16}},
                                     {":/icons/status-errored.svg", {16, 16}},
                                     {":/icons/status-skipped.svg", {16, 16}},
                                     {":/icons/status-deleted.svg", {16, 16}},
                                     {":/icons/sort-up.svg", {9, 5}},
                                     {":/icons/sort-down.svg", {9, 5}},
                                     {":/icons/go.svg", {16, 16}},
                                     {":/icons/quarrow.svg", {16, 16}, {64, 64}},
                                     {":/icons/quarrow.svg", {64, 64}},
                                     {":/icons/about-banner.svg", {402, 115}},
                                     {":/icons/donate.svg", {120, 40}}};
    for (const int id : kToolBarCommands) {
        const char* path = CMainFrame::ToolIconPath(id);
        ASSERT_NE(path, nullptr) << id;
        pictures.push_back({path, {16, 16}});
    }
    for (const Picture& picture : pictures) {
        const QString path = QString::fromStdString(picture.path);
        ASSERT_TRUE(QFile::exists(path)) << picture.path;
        QSvgRenderer renderer(path);
        EXPECT_TRUE(renderer.isValid()) << picture.path;
        // Drawn at the size of its own grid, so that its lines fall on whole pixels.
        EXPECT_EQ(renderer.defaultSize(), picture.grid) << picture.path;
        ExpectDrawsAtOneAndTwoTimes(QIcon(path), picture.size, picture.path);
    }
}

TEST(Artwork, EveryStatusButInProgressHasItsPicture)
{
    for (const DownloadItemStatus status :
         {DIS_COMPLETED, DIS_QUEUED, DIS_CANCELLED, DIS_ERRORED, DIS_SKIPPED, DIS_DELETED})
        ExpectDrawsAtOneAndTwoTimes(CFileIconCache::GetInstance()->StatusIcon(status), {16, 16},
                                    "status " + std::to_string(status));
    // In progress shows a bar, not a picture.
    EXPECT_TRUE(CFileIconCache::GetInstance()->StatusIcon(DIS_IN_PROGRESS).isNull());
}

// A desktop theme holding a red square under every name desktop programs give these
// commands; the toolbar and the Go button still show the program's own pictures.
TEST_F(FrameTest, ToolBarAndGoButtonShowTheProgramsPicturesWhateverTheTheme)
{
    TempFolder themes;
    std::filesystem::create_directories(themes.Path() / "red/16x16/actions");
    themes.Write("red/index.theme", "[Icon Theme]\nName=red\nDirectories=16x16/actions\n\n"
                                    "[16x16/actions]\nSize=16\nType=Fixed\n");
    QImage red(16, 16, QImage::Format_ARGB32);
    red.fill(Qt::red);
    for (const char* name :
         {"preferences-system", "document-open", "process-stop", "media-playback-stop", "edit-copy", "go-jump",
          "edit-delete", "internet-web-browser", "document-properties", "folder-open", "help-contents", "go-next"})
        ASSERT_TRUE(red.save(QString::fromStdString((themes.Path() / "red/16x16/actions" / name).string() + ".png")));
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    QIcon::setThemeSearchPaths({QString::fromStdString(themes.Path().string())});
    QIcon::setThemeName(QStringLiteral("red"));
    ASSERT_TRUE(QIcon::hasThemeIcon(QStringLiteral("edit-delete"))) << "the test theme is in use";

    CMainFrame& frame = Open();
    auto* toolBar = frame.findChild<QToolBar*>(QStringLiteral("mainToolBar"));
    ASSERT_NE(toolBar, nullptr);
    std::vector<int> shown;
    for (QAction* action : toolBar->actions()) {
        if (action->isSeparator())
            continue;
        const int id = action->data().toInt();
        shown.push_back(id);
        const char* path = CMainFrame::ToolIconPath(id);
        ASSERT_NE(path, nullptr) << id;
        EXPECT_EQ(Drawn(action->icon(), {16, 16}, 2), Drawn(QIcon(QString::fromLatin1(path)), {16, 16}, 2)) << id;
    }
    EXPECT_EQ(shown, std::vector<int>(std::begin(kToolBarCommands), std::end(kToolBarCommands)));
    auto* addressBar = frame.findChild<CAddressbarTB*>();
    ASSERT_NE(addressBar, nullptr);
    EXPECT_EQ(Drawn(addressBar->GoAction()->icon(), {16, 16}, 2),
              Drawn(QIcon(QStringLiteral(":/icons/go.svg")), {16, 16}, 2));
    QIcon::setThemeName(theme);
    QIcon::setThemeSearchPaths(searchPaths);
}

} // namespace
} // namespace qtest
