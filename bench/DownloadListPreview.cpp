// Shows the download list with items in every status in a plain window, for looking at
// the painting (screenshots under Xvfb). Not part of the program.
#include "ui/MirefoldView.h"

#include <QApplication>

#include <ctime>
#include <memory>

namespace {

DownloadItemPtr MakeItem(int id, const char* name, DownloadItemStatus status, std::int64_t size,
                         std::int64_t transferred, const char* info)
{
    auto item = std::make_shared<CDownloadItem>();
    item->SetId(id);
    item->SetFileName(name);
    item->SetURL(std::string("http://gallery.example/photos/") + name);
    item->SetFileSize(size);
    item->SetBytesTransferred(transferred);
    item->SetStartTime(static_cast<std::int64_t>(std::time(nullptr)) - 4);
    item->SetStatus(status);
    item->SetStatusInfo(info);
    return item;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    CMirefoldView view(nullptr, nullptr);
    view.setWindowTitle("Quarrow - download list");
    view.resize(1180, 330);
    view.UpdateItems({
        MakeItem(0, "harbour_sunrise.jpg", DIS_COMPLETED, 1843200, 1843200, "Completed"),
        MakeItem(1, "lighthouse.png", DIS_IN_PROGRESS, 2400000, 1560000, "Download in progress"),
        MakeItem(2, "fishing_boats.jpg", DIS_IN_PROGRESS, 5200000, 620000, "Download in progress"),
        MakeItem(3, "gallery_index.html", DIS_QUEUED, 0, 0, "Queued"),
        MakeItem(4, "old_pier.gif", DIS_CANCELLED, 40960, 1200, "User cancelled"),
        MakeItem(5, "missing_photo.jpg", DIS_ERRORED, 0, 0, "HTTP error.  Requested file may not be present on server"),
        MakeItem(6, "seagulls.jpg", DIS_SKIPPED, 734003, 0,
                 "Download skipped because file already exists in download folder"),
        MakeItem(7, "tiny_icon.png", DIS_SKIPPED, 0, 0,
                 "Download skipped because file size was either too small or too large"),
        MakeItem(8, "sunset_panorama.tiff", DIS_DELETED, 123456789, 123456789,
                 "File no longer exists in download folder"),
        MakeItem(9, "brochure.pdf", DIS_QUEUED, 0, 0, "Queued"),
        MakeItem(10, "archive.zip", DIS_IN_PROGRESS, 0, 310000, "Download in progress"),
    });
    view.selectRow(2);
    view.show();
    return app.exec();
}
