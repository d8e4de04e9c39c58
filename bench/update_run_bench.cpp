// A run over 1,000 accounts against the loopback provider, a bare libcurl loop making the same
// requests, and the wait of UI events while the run goes. Run with QT_QPA_PLATFORM=offscreen.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "ddns/update_request.h"
#include "ddns/update_run.h"
#include "percentiles.h"
#include "support/loopback_http_server.h"
#include "support/temp_dir.h"
#include "ui/linux/main_window.h"

namespace quorvel {
namespace {

constexpr int kAccounts = 1000;
using Clock = std::chrono::steady_clock;

std::size_t ignoreBody(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

void BM_BareCurlLoop(benchmark::State& state) {
    test::LoopbackHttpServer provider;
    curl_global_init(CURL_GLOBAL_DEFAULT);
    for (auto _ : state) {
        for (int i = 0; i < kAccounts; ++i) {
            CURL* curl = curl_easy_init();
            const std::string url = "http://" + provider.hostPort() +
                                    "/dyndns/update?system=dyndns&hostname=host" +
                                    std::to_string(i) + ".example.net&myip=&wildcard=OFF";
            curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
            curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
            curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
            curl_easy_setopt(curl, CURLOPT_USERPWD, "user:pass");
            curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, ignoreBody);
            curl_easy_perform(curl);
            curl_easy_cleanup(curl);
        }
    }
}
BENCHMARK(BM_BareCurlLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

// updateHost alone, on the calling thread: the fetch facility's own cost per request.
void BM_UpdateHostLoop(benchmark::State& state) {
    test::LoopbackHttpServer provider;
    DdnsEndpoints endpoints;
    endpoints.updateHost = provider.hostPort();
    for (auto _ : state) {
        for (int i = 0; i < kAccounts; ++i) {
            benchmark::DoNotOptimize(updateHost(
                "user", "pass", "host" + std::to_string(i) + ".example.net", "", endpoints));
        }
    }
}
BENCHMARK(BM_UpdateHostLoop)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole run as the button starts it, with the UI thread serving the worker; meanwhile a
// second thread posts an event to the UI thread every millisecond and measures its wait.
void BM_UpdateRunWithUiLatency(benchmark::State& state) {
    test::LoopbackHttpServer provider;
    test::TempDir dir;
    DdnsEndpoints endpoints;
    endpoints.updateHost = provider.hostPort();
    MainWindow window(dir.file("peizhi.ini"), endpoints);
    auto list = window.accountList();
    for (int i = 0; i < kAccounts; ++i) {
        list->insertRow("user");
        list->setCell(i, 1, "pass");
        list->setCell(i, 2, "host" + std::to_string(i) + ".example.net");
    }
    std::vector<double> waits;
    QObject receiver;
    for (auto _ : state) {
        for (int i = 0; i < kAccounts; ++i) {
            list->setCell(i, 4, "");
        }
        std::atomic<bool> running{true};
        std::thread prober([&] {
            while (running) {
                const auto posted = Clock::now();
                QMetaObject::invokeMethod(&receiver, [&waits, posted] {
                    waits.push_back(
                        std::chrono::duration<double, std::micro>(Clock::now() - posted).count());
                });
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        startUpdateThread(list, endpoints);
        while (list->getCell(kAccounts - 1, 4).empty()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        running = false;
        prober.join();
        QCoreApplication::processEvents();
    }
    reportPercentiles(state, "ui_wait", waits);
}
BENCHMARK(BM_UpdateRunWithUiLatency)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quorvel
