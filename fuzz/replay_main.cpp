// Runs a fuzz target over files and folders of inputs without the fuzzing
// engine: the regression run of the crash fixtures and seeds in builds that are
// not made with clang's libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool RunFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // An exact-size copy, so that a read past the input is caught as it would be
    // under the fuzzer.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = argv[i];
        if (arg.string().starts_with("-"))
            continue;  // fuzzer options are ignored here
        std::vector<fs::path> files;
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else {
            files.push_back(arg);
        }
        for (const fs::path& file : files) {
            if (!RunFile(file)) {
                std::fprintf(stderr, "cannot read %s\n", file.c_str());
                return 1;
            }
            ++runs;
        }
    }
    std::printf("%zu inputs run\n", runs);
    return 0;
}
