// The PowerPoint session against its real server (LibreOffice Impress): the
// time from NewPresentation to a saved presentation of 20 slides, the time of
// a test open of a 2 MB presentation of the corpus, and, to tell the office's
// start from the work, a start and quit alone and an open in an office that
// runs already. Apart from that last one, every iteration starts its own
// office process, as the repair does.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "automation/auto_wrap.h"
#include "automation/powerpoint_automation.h"

namespace {

namespace fs = std::filesystem;

// A folder for the saved presentations, removed at exit.
std::string BenchFolder() {
    static std::string folder = [] {
        std::string pattern = (fs::temp_directory_path() / "deckmend-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            return std::string();
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(BenchFolder(), ignored);
        });
        return pattern;
    }();
    return folder;
}

void BM_StartAndQuit(benchmark::State& state) {
    for (auto _ : state) {
        CPowerPointAutomation ppt;
        if (ppt.NewPresentation(0, 0) != S_OK)
            state.SkipWithError("no office");
        ppt.ClosePowerPoint(0, "", 0);
    }
}

void BM_NewToSavedTwentySlides(benchmark::State& state) {
    std::string path = BenchFolder() + "/twenty." + (state.range(0) ? "pptx" : "ppt");
    for (auto _ : state) {
        CPowerPointAutomation ppt;
        if (ppt.NewPresentation(0, 0) != S_OK) {
            state.SkipWithError("no office");
            break;
        }
        ppt.SavePresentation(path, 1);
        for (LONG slide = 1; slide <= 20; ++slide) {
            LONG count = 0;
            ppt.GetSlideCount(count);
            ppt.AddSlide(count + 1, ppt.MapSlideLayout(slide == 1 ? 0 : 0x10000000));
            if (ppt.SetSlideTitle("Slide " + std::to_string(slide), 95, 105, 150, 200) == S_OK)
                ppt.SetFont();
            if (ppt.AddTextBox("Recovered text of slide " + std::to_string(slide), 95, 165, 250, 300) == S_OK)
                ppt.SetFont();
        }
        if (ppt.ClosePowerPoint(1, path, 1) != S_OK)
            state.SkipWithError("the save failed");
    }
    state.counters["bytes"] = static_cast<double>(fs::exists(path) ? fs::file_size(path) : 0);
}

void BM_TestOpenTwoMegabytePresentation(benchmark::State& state) {
    std::string path = std::string(DECKMEND_SOURCE_DIR) + "/../shared/corpus/ppt/omcdf-2_MB-W.ppt";
    if (!fs::exists(path)) {
        state.SkipWithError("corpus file missing");
        return;
    }
    LONG slides = 0;
    for (auto _ : state) {
        CPowerPointAutomation ppt;
        if (ppt.OpenPresentation(path, 0, 0) != path)
            state.SkipWithError("the presentation did not open");
        state.PauseTiming();
        ppt.GetSlideCount(slides);
        state.ResumeTiming();
        ppt.ClosePowerPoint(0, "", 0);
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(path));
    state.counters["slides"] = slides;
}

// The open alone, in an office that already runs: Presentations.Open and Close.
void BM_OpenInRunningOffice(benchmark::State& state) {
    std::string path = std::string(DECKMEND_SOURCE_DIR) + "/../shared/corpus/ppt/omcdf-2_MB-W.ppt";
    CPowerPointAutomation ppt;
    if (!fs::exists(path) || ppt.NewPresentation(0, 0) != S_OK) {
        state.SkipWithError("no office or no corpus file");
        return;
    }
    for (auto _ : state) {
        VARIANT presentation;
        if (AutoWrap(DISPATCH_METHOD, &presentation, ppt.m_pPresentations, "Open", 1, CComVariant::Bstr(path)) != S_OK) {
            state.SkipWithError("the presentation did not open");
            break;
        }
        AutoWrap(DISPATCH_METHOD, nullptr, presentation.pdispVal, "Close", 0);
        VariantClear(&presentation);
    }
    ppt.ClosePowerPoint(0, "", 0);
}

}  // namespace

BENCHMARK(BM_OpenInRunningOffice)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_StartAndQuit)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_NewToSavedTwentySlides)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TestOpenTwoMegabytePresentation)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
