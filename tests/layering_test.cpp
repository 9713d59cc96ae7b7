// The layers hold: the repair core's readers and rebuilds know nothing of the
// job around them, the core shows nothing and sends no window messages, and the
// wizard's pages do not reach up into the application.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
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
                const std::string ext = entry.path().extension().string();
                if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h"))
                    continue;
                ++files;
                EXPECT_EQ(ReadText(entry.path()).find(rule.forbidden), std::string::npos)
                    << entry.path() << " holds " << rule.forbidden;
            }
        }
        EXPECT_GT(files, 0u) << rule.forbidden;
    }
}
