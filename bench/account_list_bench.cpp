// The account list at the scale of 100,000 accounts, and a worker's cell access round trip.
// Run with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QPixmap>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "accounts/account_file.h"
#include "percentiles.h"
#include "support/temp_dir.h"
#include "ui/linux/main_window.h"

namespace quorvel {
namespace {

constexpr int kAccounts = 100000;

std::string accountFileOf(int accounts) {
    std::string content;
    for (int i = 0; i < accounts; ++i) {
        content += "user" + std::to_string(i) + "|密码" + std::to_string(i) + "|host" +
                   std::to_string(i) + ".example.net|" + (i % 2 ? "192.0.2.7" : "") + "\r\n";
    }
    return content;
}

// From the file on disk to the first paint of a window that shows all the accounts.
void BM_LoadAndFirstPaint(benchmark::State& state) {
    test::TempDir dir;
    const std::string path = dir.file("peizhi.ini");
    test::writeFileBytes(path, accountFileOf(kAccounts));
    for (auto _ : state) {
        auto* window = new MainWindow(path);
        window->runCreatedEvent();
        window->showCentred();
        const QPixmap painted = window->grab();
        benchmark::DoNotOptimize(painted.cacheKey());
        state.PauseTiming();
        if (window->accountList()->rowCount() != kAccounts) {
            state.SkipWithError("not every account was loaded");
        }
        delete window;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadAndFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Save(benchmark::State& state) {
    test::TempDir dir;
    const std::string path = dir.file("peizhi.ini");
    test::writeFileBytes(path, accountFileOf(kAccounts));
    MainWindow window(path);
    window.runCreatedEvent();
    for (auto _ : state) {
        saveAccounts(*window.accountList(), path);
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->Iterations(5);

// A worker reads one cell and writes another while the UI thread idles in its event loop.
void BM_WorkerCellRoundTrip(benchmark::State& state) {
    test::TempDir dir;
    MainWindow window(dir.file("peizhi.ini"));
    auto list = window.accountList();
    list->insertRow("user");
    std::vector<double> microseconds;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            for (int i = 0; i < 1000; ++i) {
                const auto start = std::chrono::steady_clock::now();
                const Text user = list->getCell(0, 0);
                list->setCell(0, 4, user);
                microseconds.push_back(std::chrono::duration<double, std::micro>(
                                           std::chrono::steady_clock::now() - start)
                                           .count());
            }
            done = true;
        });
        while (!done) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        worker.join();
    }
    reportPercentiles(state, "round_trip", microseconds);
}
BENCHMARK(BM_WorkerCellRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace quorvel
