// The layers hold: the repair core's readers and rebuilds know nothing of the
// job around them, the core shows nothing and sends no window messages, and the
// wizard's pages do not reach up into the application. The core keeps no
// state in globals: what a job's steps share lives in that job's context.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Rule {
    std::vector<const char*> folders;  // under the source tree, searched with their subfolders
    const char* forbidden;             // text that no file there may hold
};

const Rule kRules[] = {
    {{"repair/ppt", "repair/pptx", "repair/pictures", "repair/io"}, "#include \"repair/job/"},
    {{"repair"}, "SendMessageW"},
    {{"repair"}, "MessageBoxW"},
    {{"ui/pages"}, "#include \"app/"},
};

bool IsSource(const fs::directory_entry& entry) {
    const std::string ext = entry.path().extension().string();
    return entry.is_regular_file() && (ext == ".cpp" || ext == ".h");
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(Layering, NoFileReachesAcrossItsLayer) {
    for (const Rule& rule : kRules) {
        std::size_t files = 0;
        for (const char* folder : rule.folders) {
            const fs::path root = fs::path(DECKMEND_SOURCE_DIR) / folder;
            ASSERT_TRUE(fs::is_directory(root)) << root;
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                if (!IsSource(entry))
                    continue;
                ++files;
                EXPECT_EQ(ReadText(entry.path()).find(rule.forbidden), std::string::npos)
                    << entry.path() << " holds " << rule.forbidden;
            }
        }
        EXPECT_GT(files, 0u) << rule.forbidden;
    }
}

// Two jobs in one process must not share scan results, files or a cancel: no
// global variable is declared for the repair core to share them through.
TEST(Layering, TheRepairCoreDeclaresNoSharedGlobals) {
    const std::regex sharedGlobal(R"(^\s*extern\b[^(]*\bg_\w+)");
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(DECKMEND_SOURCE_DIR) / "repair")) {
        if (!IsSource(entry))
            continue;
        ++files;
        std::istringstream lines(ReadText(entry.path()));
        for (std::string line; std::getline(lines, line);)
            EXPECT_FALSE(std::regex_search(line, sharedGlobal)) << entry.path() << ": " << line;
    }
    EXPECT_GT(files, 0u);
}
