// Throughput of the binary repair's record scans over a file of about 300 MB,
// beside the time of reading the same file (page cache warm) in the same run.
// The file is made of the shared corpus's presentations one after another (or
// of seeded bytes when the corpus is not there), written to the temporary folder
// and removed afterwards.
//
// Each scan's "x_read" counter is its time divided by the plain read's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "repair/io/raw_file.h"
#include "repair/io/job_control.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/document_edit_table.h"
#include "repair/ppt/persist_relink.h"
#include "repair/ppt/record_scanner.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kTargetSize = 300ull << 20;
constexpr std::uint32_t kGroupBytes = 129 * 512;

const std::string kCorpus = std::string(DECKMEND_SOURCE_DIR) + "/../shared/corpus/";

// Names of the encrypted presentations, which the encryption check would stop at.
std::set<std::string> EncryptedNames() {
    std::set<std::string> names;
    std::ifstream in(kCorpus + "MANIFEST.tsv");
    for (std::string line; std::getline(in, line);)
        if (line.find("ENCRYPTED") != std::string::npos)
            names.insert(line.substr(0, line.find('\t')));
    return names;
}

std::vector<char> CorpusBytes() {
    std::vector<char> bytes;
    const std::set<std::string> encrypted = EncryptedNames();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(kCorpus + "ppt", ec)) {
        if (!e.is_regular_file() || encrypted.count(e.path().filename().string()))
            continue;
        std::ifstream in(e.path(), std::ios::binary);
        bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (bytes.empty()) {
        std::mt19937_64 random(42);
        bytes.resize(8 << 20);
        for (char& c : bytes)
            c = static_cast<char>(random());
    }
    return bytes;
}

class BenchFile {
public:
    BenchFile() {
        m_path = (fs::temp_directory_path() / ("deckmend-scan-bench-" + std::to_string(::getpid()) + ".ppt")).string();
        const std::vector<char> pattern = CorpusBytes();
        std::ofstream out(m_path, std::ios::binary);
        for (std::uint64_t written = 0; written < kTargetSize; written += pattern.size())
            out.write(pattern.data(), static_cast<std::streamsize>(pattern.size()));
        out.close();
        m_file.Open(m_path);
        PlainRead();  // warms the page cache
        m_readSeconds = PlainRead();
    }
    ~BenchFile() {
        m_file.Close();
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    // Reads the whole file in the scans' groups; the seconds it took.
    double PlainRead() {
        std::vector<std::uint8_t> buffer(kGroupBytes + 512);
        const auto start = std::chrono::steady_clock::now();
        const std::uint64_t groups = (m_file.m_nFileSize + kGroupBytes - 1) / kGroupBytes;
        for (std::uint64_t g = 0; g < groups; ++g)
            m_file.ReadBlocks(buffer.data(), kGroupBytes + 512, g * 129, TRUE);
        benchmark::DoNotOptimize(buffer.data());
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    double ReadSeconds() const { return m_readSeconds; }
    std::uint64_t Size() const { return m_file.m_nFileSize; }
    CRawFile& Raw() { return m_file; }

private:
    std::string m_path;
    CRawFile m_file;
    double m_readSeconds = 0;
};

BenchFile& File() {
    static BenchFile file;
    return file;
}

void Report(benchmark::State& state, double seconds) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * File().Size()));
    state.counters["x_read"] = seconds / static_cast<double>(state.iterations()) / File().ReadSeconds();
}

void BM_PlainRead(benchmark::State& state) {
    File();
    double seconds = 0;
    for (auto _ : state)
        seconds += File().PlainRead();
    Report(state, seconds);
}

void BM_ScanSourceFile(benchmark::State& state) {
    const auto mode = static_cast<std::uint16_t>(state.range(0));
    double seconds = 0;
    const CancelToken going;
    std::uint32_t pictures = 0;
    for (auto _ : state) {
        CPictureCarver carver;
        const auto start = std::chrono::steady_clock::now();
        if (!ScanSourceFile({File().Raw(), carver, going}, File().Size(), 512, mode))
            state.SkipWithError("the scan stopped early");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        pictures = carver.m_nCount;
    }
    state.counters["pictures"] = pictures;
    Report(state, seconds);
}

void BM_ScanDocumentRecords(benchmark::State& state) {
    std::vector<std::uint8_t> image(File().Size() + 512, 0);
    File().Raw().ReadBlocks(image.data(), static_cast<std::uint32_t>(File().Size()), 0, TRUE);
    double seconds = 0;
    std::uint64_t documents = 0;
    for (auto _ : state) {
        DocumentScanState scan;
        const auto start = std::chrono::steady_clock::now();
        ScanDocumentRecords(scan, 512, image.data(), File().Size());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        documents += scan.nDocumentCount;
    }
    state.counters["documents"] = static_cast<double>(documents);
    Report(state, seconds);
}

// The relink over the whole file taken as the document image, its sectors in
// any order (as for a file whose tables are lost): the scan of its top-level
// records, the edit chain and the written stream.
void BM_RelinkDocumentStream(benchmark::State& state) {
    std::vector<std::uint8_t> image(File().Size() + 512, 0);
    File().Raw().ReadBlocks(image.data(), static_cast<std::uint32_t>(File().Size()), 0, TRUE);
    double seconds = 0;
    std::size_t written = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const RelinkResult result = RelinkDocumentStream(CByteView(image.data(), File().Size()), std::nullopt, {}, true);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        written = result.stream.size();
    }
    state.counters["written"] = static_cast<double>(written);
    Report(state, seconds);
}

}  // namespace

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ScanSourceFile)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ScanDocumentRecords)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_RelinkDocumentStream)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_MAIN();
