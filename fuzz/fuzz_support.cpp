#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <unistd.h>

#include "platform/folders.h"
#include "repair/io/raw_file.h"
#include "repair/job/job_state.h"
#include "repair/job/repair_job.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/document_edit_table.h"
#include "repair/ppt/document_trim.h"
#include "repair/ppt/record_scanner.h"

namespace {

std::map<std::string, std::string>& ScratchPaths() {
    static std::map<std::string, std::string> paths;
    return paths;
}

void RemoveScratchFiles() {
    for (const auto& [suffix, path] : ScratchPaths())
        std::remove(path.c_str());
}

}  // namespace

const std::string& ScratchPath(const char* suffix) {
    std::string& path = ScratchPaths()[suffix];
    if (path.empty()) {
        path = GetTempPathW() + "deckmend-fuzz-" + std::to_string(::getpid()) + suffix;
        static const bool removedAtExit = std::atexit(RemoveScratchFiles) == 0;
        (void)removedAtExit;
    }
    return path;
}

bool WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

bool OpenAsSource(const std::string& path) {
    g_bRun.store(1);
    return g_srcFile.Open(path);
}

void CloseSource() {
    if (g_srcFile.IsOpen())
        g_srcFile.Close();
}

void ResetScanResults() { ResetScanState(); }
