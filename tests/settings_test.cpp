#include "ui/settings/settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/ini_file.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// A program folder of its own: a "Lang" subfolder whose files each name their
// language under IDS_NAME, and no settings file until a test writes one.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "settings_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::create_directory(folder_ / "Lang");
        for (const char* name : kLanguageNames) {
            WriteFile(LanguageFile(name), "[Deckmend PPT]\nIDS_NAME=" + std::string(name) + "\n");
        }
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path LanguageFile(const std::string& name) const {
        return folder_ / "Lang" / (name + ".INI");
    }
    fs::path SettingsFile() const { return folder_ / "Settings.INI"; }
    void WriteSettings(const std::string& content) const { WriteFile(SettingsFile(), content); }

    fs::path folder_;
};

TEST_F(SettingsTest, InitFormsPathsWithOneTrailingSlash) {
    for (const std::string& given : {folder_.string(), folder_.string() + "/"}) {
        SCOPED_TRACE(given);
        InitSettings(given);
        EXPECT_EQ(g_strAppFolder, folder_.string() + "/");
        EXPECT_EQ(g_strSettingsIni, folder_.string() + "/Settings.INI");
        EXPECT_EQ(g_strLanguageIni, folder_.string() + "/Lang/English.INI");
        EXPECT_EQ(g_bWindows6, TRUE);
    }
}

TEST_F(SettingsTest, InitWithoutFolderUsesTheExecutablesFolder) {
    InitSettings();
    ASSERT_FALSE(g_strAppFolder.empty());
    EXPECT_EQ(g_strAppFolder.back(), '/');
    EXPECT_TRUE(fs::equivalent(g_strAppFolder, DECKMEND_BUILD_DIR));
    EXPECT_EQ(g_strSettingsIni, g_strAppFolder + "Settings.INI");
}

struct IndexCase {
    const char* what;
    std::optional<std::string> settings;  // nullopt: no settings file
    int index;
    const char* language;
};

const IndexCase kIndexCases[] = {
    {"no settings file", std::nullopt, 0, "English"},
    {"no IDS_LANGUAGE", "[Deckmend PPT]\nIDS_TIPS=3\n", 0, "English"},
    {"empty value", "[Deckmend PPT]\nIDS_LANGUAGE=\n", 0, "English"},
    {"not a number", "[Deckmend PPT]\nIDS_LANGUAGE=French\n", 0, "English"},
    {"negative", "[Deckmend PPT]\nIDS_LANGUAGE=-1\n", 0, "English"},
    {"out of range", "[Deckmend PPT]\nIDS_LANGUAGE=7\n", 0, "English"},
    {"other section", "[Other]\nIDS_LANGUAGE=2\n", 0, "English"},
    {"German", "[Deckmend PPT]\nIDS_LANGUAGE=2\n", 2, "German"},
    {"blanks and key case", "[deckmend ppt]\r\nids_language =  3 \r\n", 3, "Italian"},
    {"only the leading digit counts", "[Deckmend PPT]\nIDS_LANGUAGE=12\n", 1, "French"},
    {"Spanish", "[Deckmend PPT]\nIDS_LANGUAGE=4\n", 4, "Spanish"},
};

TEST_F(SettingsTest, StoredIndexSelectsLanguageFile) {
    for (const IndexCase& c : kIndexCases) {
        SCOPED_TRACE(c.what);
        fs::remove(SettingsFile());
        if (c.settings) WriteSettings(*c.settings);
        InitSettings(folder_.string());
        EXPECT_EQ(ReadLanguageIndex(), c.index);
        EXPECT_EQ(g_strLanguageIni, LanguageFile(c.language).string());
        EXPECT_EQ(LoadLangString("IDS_NAME"), c.language);
    }
}

struct UnchangedCase {
    const char* what;
    std::optional<std::string> settings;  // nullopt: no settings file
    int index;
};

const UnchangedCase kUnchangedCases[] = {
    {"current language chosen again", "[Deckmend PPT]\nIDS_LANGUAGE=2\nIDS_TIPS=3\n", 2},
    {"English when the key is missing", "[Deckmend PPT]\nIDS_TIPS=3\n", 0},
    {"English when the index is out of range", "[Deckmend PPT]\nIDS_LANGUAGE=9\n", 0},
    {"English without a settings file", std::nullopt, 0},
    {"index below the table", "[Deckmend PPT]\nIDS_LANGUAGE=1\n", -1},
    {"index past the table", "[Deckmend PPT]\nIDS_LANGUAGE=1\n", kLanguageCount},
};

TEST_F(SettingsTest, SwitchLeavesSettingsUntouchedWhenNothingChanges) {
    const auto anHourAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const UnchangedCase& c : kUnchangedCases) {
        SCOPED_TRACE(c.what);
        fs::remove(SettingsFile());
        if (c.settings) {
            WriteSettings(*c.settings);
            fs::last_write_time(SettingsFile(), anHourAgo);
        }
        InitSettings(folder_.string());
        const std::string languageIni = g_strLanguageIni;

        EXPECT_EQ(SwitchLanguage(c.index), FALSE);

        EXPECT_EQ(g_strLanguageIni, languageIni);
        ASSERT_EQ(fs::exists(SettingsFile()), c.settings.has_value());
        if (!c.settings) continue;
        EXPECT_EQ(ReadFile(SettingsFile()), *c.settings);
        EXPECT_EQ(fs::last_write_time(SettingsFile()), anHourAgo);
    }
}

TEST_F(SettingsTest, SwitchToSpanishIsStoredAndReadFromThenOn) {
    WriteSettings("; chosen in the help menu\n[Deckmend PPT]\nIDS_LANGUAGE=0\nIDS_TIPS=3\n");
    InitSettings(folder_.string());
    ASSERT_EQ(LoadLangString("IDS_NAME"), "English");

    EXPECT_EQ(SwitchLanguage(4), TRUE);

    EXPECT_EQ(ReadFile(SettingsFile()),
              "; chosen in the help menu\n[Deckmend PPT]\nIDS_LANGUAGE=4\nIDS_TIPS=3\n");
    EXPECT_EQ(ReadLanguageIndex(), 4);
    EXPECT_EQ(g_strLanguageIni, LanguageFile("Spanish").string());
    EXPECT_EQ(LoadLangString("IDS_NAME"), "Spanish");

    InitSettings(folder_.string());  // the next start keeps the choice
    EXPECT_EQ(LoadLangString("IDS_NAME"), "Spanish");
}

TEST_F(SettingsTest, SwitchCreatesMissingSettingsFile) {
    InitSettings(folder_.string());
    EXPECT_EQ(SwitchLanguage(1), TRUE);
    EXPECT_EQ(ReadFile(SettingsFile()), "[Deckmend PPT]\nIDS_LANGUAGE=1\n");
    EXPECT_EQ(LoadLangString("IDS_NAME"), "French");
}

TEST_F(SettingsTest, MissingTextIsEmptyNotTheKey) {
    InitSettings(folder_.string());
    EXPECT_EQ(LoadLangString("IDS_ABSENT"), "");
    EXPECT_EQ(LoadLangString(nullptr), "");
    fs::remove(LanguageFile("English"));
    EXPECT_EQ(LoadLangString("IDS_NAME"), "");
}

TEST_F(SettingsTest, TextIsReadAfreshAndCutToTheBuffer) {
    InitSettings(folder_.string());
    WriteFile(LanguageFile("English"), "[Deckmend PPT]\nIDS_REPAIR=Repair\n");
    EXPECT_EQ(LoadLangString("IDS_REPAIR"), "Repair");
    WriteFile(LanguageFile("English"), "[Deckmend PPT]\nIDS_REPAIR=Réparer\n");
    EXPECT_EQ(LoadLangString("IDS_REPAIR"), "Réparer");
    EXPECT_EQ(LoadLangString("IDS_REPAIR", 3), "Ré");
}

// ---------------------------------------------------------------------------
// The files that ship next to the program.

const fs::path kResources = fs::path(DECKMEND_SOURCE_DIR) / "resources";

// Every key that a language file must give a text for.
const std::set<std::string> kLanguageKeys = {
    "IDS_TIPS", "IDS_INFORMATION", "IDS_ERROR",
    "IDS_RUNNING1", "IDS_RUNNING2", "IDS_RUNNING3", "IDS_RUNNING4",
    "IDS_WORD1", "IDS_WORD2", "IDS_WORD3", "IDS_WORD4", "IDS_WORD5", "IDS_WORD6",
    "IDS_WORD8", "IDS_WORD9", "IDS_WORD10", "IDS_WORD11",
    "IDS_WORD13", "IDS_WORD14", "IDS_WORD15", "IDS_WORD16", "IDS_WORD17", "IDS_CONFIRM",
    "IDS_LOWDIKSPACE_TO_REPAIR", "IDS_LOWDIKSPACE_TO_SAVE",
    "IDS_CTEXT1", "IDS_RHELP", "IDS_FAQ", "IDS_BROWSE", "IDS_REPAIR",
    "IDS_REPAIRING", "IDS_CANCEL", "IDS_SAVETEXT1", "IDS_SAVE", "IDS_SAVE_COMPLETED", "IDS_SAVE_FAILED",
    "IDS_ABOUT", "IDS_VERSION_TEXT", "IDS_URL_ABOUT",
    "IDS_POLICY_URL", "IDS_LICENSE_URL", "IDS_UNINSTALL_URL",
    "IDS_POLICY_URL_TXT", "IDS_LICENSE_URL_TXT", "IDS_UNINSTALL_URL_TXT",
    // The wizard's report, phases, menu, accessibility and shell texts.
    "IDS_DISCARD_REPAIR", "IDS_REPORT_NAME", "IDS_REPORT_NONE", "IDS_REPORT_COUNTS", "IDS_REPORT_METHOD",
    "IDS_METHOD_CONTAINER", "IDS_METHOD_RELINKED", "IDS_METHOD_CUT", "IDS_METHOD_FRAGMENTS", "IDS_METHOD_RESAVED",
    "IDS_REPORT_KEPT_SOURCE", "IDS_REPORT_CHANGED", "IDS_REPORT_MORE",
    "IDS_STATE_MENDED", "IDS_STATE_REGENERATED", "IDS_STATE_LEFT_OUT",
    "IDS_PHASE_READING", "IDS_PHASE_FINDING", "IDS_PHASE_REBUILDING", "IDS_PHASE_CHECKING",
    "IDS_PHASE_COMPARING", "IDS_PHASE_BUILDING", "IDS_PHASE_FINISHING",
    "IDS_MENU_LANGUAGE", "IDS_MENU_HELP", "IDS_MENU_SUPPORT", "IDS_MENU_UPDATE", "IDS_MENU_ABOUT",
    "IDS_ALL_FILES", "IDS_ACC_HOME", "IDS_ACC_SHARE", "IDS_ACC_SHARE_DESC", "IDS_ACC_HELP_DESC",
    "IDS_ACC_FAQ_DESC", "IDS_ACC_SOURCE", "IDS_ACC_DESTINATION", "IDS_CANNOT_OPEN", "IDS_SAVE_COMPLETED_HERE",
    "IDS_IS_FOLDER", "IDS_PASSWORD_PROTECTED", "IDS_NOT_PRESENTATION", "IDS_READ_ERROR",
    // The save page's slide preview.
    "IDS_PREVIEW_NAME", "IDS_PREVIEW_SLIDE", "IDS_PREVIEW_ENLARGE", "IDS_PREVIEW_CLOSE",
};

const char* const kAddressKeys[] = {"IDS_URL_ABOUT", "IDS_POLICY_URL", "IDS_LICENSE_URL",
                                    "IDS_UNINSTALL_URL"};

// The smallest buffer any caller reads a text into, in characters.
constexpr std::size_t kSmallestTextBuffer = 200;

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned min = 0;
        unsigned code = 0;
        if (lead < 0x80) { length = 1; code = lead; }
        else if (lead >= 0xC2 && lead <= 0xDF) { length = 2; min = 0x80; code = lead & 0x1Fu; }
        else if (lead >= 0xE0 && lead <= 0xEF) { length = 3; min = 0x800; code = lead & 0x0Fu; }
        else if (lead >= 0xF0 && lead <= 0xF4) { length = 4; min = 0x10000; code = lead & 0x07u; }
        else return false;
        if (i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

// Section headers and keys of a file in the order they appear; comments and
// blank lines left out.
struct IniOutline {
    std::vector<std::string> sections;
    std::vector<std::string> keys;
};

IniOutline OutlineOf(const std::string& content) {
    IniOutline outline;
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') outline.sections.push_back(line);
        else outline.keys.push_back(line.substr(0, line.find('=')));
    }
    return outline;
}

class SettingsLanguageFileTest : public ::testing::TestWithParam<const char*> {
protected:
    fs::path File() const { return kResources / "Lang" / (std::string(GetParam()) + ".INI"); }
};

TEST_P(SettingsLanguageFileTest, IsUtf8WithOneSectionHoldingEveryKeyOnce) {
    ASSERT_TRUE(fs::exists(File())) << File();
    const std::string content = ReadFile(File());
    EXPECT_TRUE(IsValidUtf8(content));

    const IniOutline outline = OutlineOf(content);
    EXPECT_EQ(outline.sections, std::vector<std::string>{"[Deckmend PPT]"});
    const std::set<std::string> keys(outline.keys.begin(), outline.keys.end());
    EXPECT_EQ(keys.size(), outline.keys.size()) << "a key appears twice";
    for (const std::string& key : kLanguageKeys) EXPECT_TRUE(keys.count(key)) << "missing " << key;
    for (const std::string& key : keys) EXPECT_TRUE(kLanguageKeys.count(key)) << "extra " << key;
}

TEST_P(SettingsLanguageFileTest, EveryTextIsPresentAndFitsTheSmallestBuffer) {
    for (const std::string& key : kLanguageKeys) {
        SCOPED_TRACE(key);
        std::string whole;
        std::string cut;
        GetPrivateProfileStringW(kSettingsSection, key, "", whole, 100000, File().string());
        GetPrivateProfileStringW(kSettingsSection, key, "", cut, kSmallestTextBuffer,
                                 File().string());
        EXPECT_FALSE(whole.empty());
        EXPECT_EQ(cut, whole);
    }
}

TEST_P(SettingsLanguageFileTest, AddressesAreWebAddresses) {
    for (const char* key : kAddressKeys) {
        std::string address;
        GetPrivateProfileStringW(kSettingsSection, key, "", address, 1000, File().string());
        EXPECT_TRUE(address.starts_with("https://")) << key << " = " << address;
    }
}

INSTANTIATE_TEST_SUITE_P(SettingsShipped, SettingsLanguageFileTest,
                         ::testing::ValuesIn(kLanguageNames),
                         [](const auto& info) { return std::string(info.param); });

TEST(SettingsShippedFiles, LangFolderHoldsExactlyTheLanguages) {
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(kResources / "Lang")) {
        found.insert(entry.path().filename().string());
    }
    std::set<std::string> expected;
    for (const char* name : kLanguageNames) expected.insert(std::string(name) + ".INI");
    EXPECT_EQ(found, expected);
}

TEST(SettingsShippedFiles, DefaultSettingsSelectEnglishAndTheFirstTip) {
    const std::string path = (kResources / "Settings.INI").string();
    std::string language;
    std::string tips;
    GetPrivateProfileStringW(kSettingsSection, "IDS_LANGUAGE", "", language, 200, path);
    GetPrivateProfileStringW(kSettingsSection, "IDS_TIPS", "", tips, 200, path);
    EXPECT_EQ(language, "0");
    EXPECT_EQ(tips, "0");
}

// Tips are read a line at a time as 8-bit text and the counter runs over five.
TEST(SettingsShippedFiles, TipsFileHoldsFivePlainLines) {
    const std::string content = ReadFile(kResources / "Tips.Txt");
    std::vector<std::string> tips;
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        if (end > start) tips.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(tips.size(), 5u);
    for (const std::string& tip : tips) {
        for (const char c : tip) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "in: " << tip;
    }
}

}  // namespace
