// Time of the package rebuild step alone, over the package named by
// DECKMEND_BENCH_PACKAGE (bench/package_repair.sh builds one of about 300 MB).
// Reports the peak resident memory of the process beside it.
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/file_ops.h"
#include "repair/io/job_control.h"
#include "repair/pptx/package_mend.h"
#include "repair/pptx/package_rebuild.h"

namespace {

void BM_RebuildPackage(benchmark::State& state) {
    const char* source = std::getenv("DECKMEND_BENCH_PACKAGE");
    if (!source) {
        state.SkipWithError("set DECKMEND_BENCH_PACKAGE to a damaged package");
        return;
    }
    std::string output = std::string(source) + ".rebuilt";
    std::uint64_t size = 0;
    GetFileSize(source, size);
    const CancelToken going;
    const JobReporter silent;
    for (auto _ : state) {
        state.PauseTiming();  // removing the last output is no part of the rebuild
        DeleteFileW(output);
        PackageScanState scan;
        state.ResumeTiming();
        if (!RebuildPackageFile({scan, going, silent}, source, output))
            state.SkipWithError("the rebuild failed");
    }
    DeleteFileW(output);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// The rebuild followed by the check of every entry (and the mending, when the
// package needs any): the package step as the repair runs it.
void BM_RepairPackage(benchmark::State& state) {
    const char* source = std::getenv("DECKMEND_BENCH_PACKAGE");
    if (!source) {
        state.SkipWithError("set DECKMEND_BENCH_PACKAGE to a damaged package");
        return;
    }
    std::string output = std::string(source) + ".repaired";
    std::uint64_t size = 0;
    GetFileSize(source, size);
    const CancelToken going;
    const JobReporter silent;
    for (auto _ : state) {
        state.PauseTiming();
        DeleteFileW(output);
        PackageScanState scan;
        state.ResumeTiming();
        if (!RepairPackageFile({scan, going, silent}, source, output).repaired)
            state.SkipWithError("the repair failed");
    }
    DeleteFileW(output);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

}  // namespace

BENCHMARK(BM_RepairPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RebuildPackage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_MAIN();
