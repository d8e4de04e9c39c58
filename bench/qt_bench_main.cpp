// Entry of the benchmarks that need Qt: one QApplication (run them offscreen), then every
// benchmark.
#include <benchmark/benchmark.h>

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
