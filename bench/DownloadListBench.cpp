// The download list under load: 10,000 rows, a refresh tick that merges 1,000 changed
// items and re-sorts, and a full refresh of all 10,000 (the list pulled at the end of a
// job). Run in a Release build:
//   download_list_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include "ui/ColumnType.h"
#include "ui/MirefoldView.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kRows = 10000;
constexpr int kChanged = 1000;
constexpr int kBatches = 16;

DownloadItemPtr MakeItem(int id, std::int64_t transferred)
{
    auto item = std::make_shared<CDownloadItem>();
    item->SetId(id);
    item->SetFileName("picture_" + std::to_string(id) + (id % 3 ? ".jpg" : ".png"));
    item->SetURL("http://gallery.example/images/picture_" + std::to_string(id) + ".jpg");
    item->SetFileSize(1'000'000);
    item->SetBytesTransferred(transferred);
    item->SetStatusInfo("Download in progress");
    return item;
}

std::vector<DownloadItemPtr> AllItems(std::mt19937& random)
{
    std::vector<DownloadItemPtr> items;
    for (int id = 0; id < kRows; ++id)
        items.push_back(MakeItem(id, 1 + static_cast<std::int64_t>(random() % 999'999)));
    return items;
}

// Batches of 1,000 changed copies each, prepared before timing.
std::vector<std::vector<DownloadItemPtr>> ChangedBatches(std::mt19937& random)
{
    std::vector<std::vector<DownloadItemPtr>> batches(kBatches);
    for (auto& batch : batches)
        for (int i = 0; i < kChanged; ++i)
            batch.push_back(
                MakeItem(static_cast<int>(random() % kRows), 1 + static_cast<std::int64_t>(random() % 999'999)));
    return batches;
}

// The view sorted by Progress, the column that re-orders on every tick.
std::unique_ptr<CMirefoldView> FilledView(std::mt19937& random, bool shown)
{
    auto view = std::make_unique<CMirefoldView>(nullptr, nullptr);
    view->resize(1000, 700);
    if (shown)
        view->show();
    view->UpdateItems(AllItems(random));
    view->OnHeaderClick(COL_PROGRESS);
    view->selectRow(10);
    return view;
}

// One refresh per iteration, cycling through prepared updates; with paint set, the view is
// shown and its rows are painted as well.
void RunRefreshes(benchmark::State& state, std::mt19937& random,
                  const std::vector<std::vector<DownloadItemPtr>>& updates)
{
    const bool paint = state.range(0) != 0;
    auto view = FilledView(random, paint);
    std::size_t next = 0;
    for (auto _ : state) {
        view->UpdateItems(updates[next++ % updates.size()]);
        if (paint)
            view->viewport()->repaint();
    }
}

void BM_TickMerge1000Of10000(benchmark::State& state)
{
    std::mt19937 random(7);
    RunRefreshes(state, random, ChangedBatches(random));
}
BENCHMARK(BM_TickMerge1000Of10000)->Arg(0)->Arg(1)->ArgName("paint")->Unit(benchmark::kMillisecond);

void BM_FullRefresh10000(benchmark::State& state)
{
    std::mt19937 random(11);
    std::vector<std::vector<DownloadItemPtr>> lists;
    for (int i = 0; i < 4; ++i)
        lists.push_back(AllItems(random));
    RunRefreshes(state, random, lists);
}
BENCHMARK(BM_FullRefresh10000)->Arg(0)->Arg(1)->ArgName("paint")->Unit(benchmark::kMillisecond);

// The first update of a job: 10,000 new rows into an empty list.
void BM_Fill10000(benchmark::State& state)
{
    std::mt19937 random(13);
    CMirefoldView view(nullptr, nullptr);
    const std::vector<DownloadItemPtr> items = AllItems(random);
    for (auto _ : state) {
        view.ClearItems();
        view.UpdateItems(items);
    }
}
BENCHMARK(BM_Fill10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
