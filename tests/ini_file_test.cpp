#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ini_file_test_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

    std::string WriteFile(const std::string& name, const std::string& content) const {
        std::ofstream(PathOf(name), std::ios::binary) << content;
        return PathOf(name);
    }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path folder_;
};

// Characters of valid UTF-8 text: every byte that does not continue a sequence.
DWORD CountCharacters(const std::string& text) {
    DWORD count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

std::string JoinLines(const std::vector<std::string>& lines, const std::string& ending) {
    std::string content;
    for (const auto& line : lines) content += line + ending;
    return content;
}

struct LookupCase {
    const char* what;
    const char* section;
    const char* key;
    const char* expected;
};

// A file that exercises the parser: a byte-order mark, comments, an entry before
// any section, blanks around names and values, and a section that appears twice.
const std::vector<std::string> kLookupFile = {
    "\xEF\xBB\xBF; settings written by hand",
    "orphan=before any section",
    "[Deckmend PPT]",
    "  Greeting =   Hello world \t",
    ";Hidden=commented out",
    "Empty=",
    "Equation=a=b",
    "Accented=Réparer la présentation",
    "",
    "[ Other ]",
    "greeting=from other",
    "[deckmend ppt]",
    "Late=from the repeated section",
    "greeting=shadowed by the first section",
};

const LookupCase kLookups[] = {
    {"value trimmed", "Deckmend PPT", "Greeting", "Hello world"},
    {"section and key ignore case", "DECKMEND ppt", "GREETING", "Hello world"},
    {"blanks inside brackets ignored", "Other", "greeting", "from other"},
    {"present but empty is not the default", "Deckmend PPT", "Empty", ""},
    {"value keeps later '='", "Deckmend PPT", "Equation", "a=b"},
    {"UTF-8 value", "Deckmend PPT", "Accented", "Réparer la présentation"},
    {"repeated section searched too", "Deckmend PPT", "Late", "from the repeated section"},
    {"comment line is no entry", "Deckmend PPT", "Hidden", "fallback"},
    {"entry outside any section", "Deckmend PPT", "orphan", "fallback"},
    {"missing key", "Deckmend PPT", "Absent", "fallback"},
    {"missing section", "Absent", "Greeting", "fallback"},
    {"key of another section", "Other", "Late", "fallback"},
};

class IniLookupTest : public IniFileTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(IniLookupTest, FindsValuesWithProfileRules) {
    const std::string path = WriteFile("lookup.ini", JoinLines(kLookupFile, GetParam()));
    for (const LookupCase& c : kLookups) {
        SCOPED_TRACE(c.what);
        std::string out = "stale";
        const DWORD copied = GetPrivateProfileStringW(c.section, c.key, "fallback", out, 100, path);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(copied, CountCharacters(c.expected));
    }
}

INSTANTIATE_TEST_SUITE_P(IniLineEndings, IniLookupTest, ::testing::Values("\n", "\r\n"),
                         [](const auto& info) {
                             return std::string(info.param) == "\n" ? "LF" : "CRLF";
                         });

TEST_F(IniFileTest, ReadsLastLineWithoutLineEnding) {
    for (const std::string content : {"[S]\nk=v", "[S]\r\nk=v\r", "[S]\r\nk=v\r\n"}) {
        SCOPED_TRACE(::testing::PrintToString(content));
        std::string out;
        GetPrivateProfileStringW("S", "k", "", out, 100, WriteFile("last.ini", content));
        EXPECT_EQ(out, "v");
    }
}

TEST_F(IniFileTest, MissingOrUnreadableFileGivesTrimmedDefault) {
    for (const std::string& path : {PathOf("absent.ini"), folder_.string()}) {
        SCOPED_TRACE(path);
        std::string out = "stale";
        EXPECT_EQ(GetPrivateProfileStringW("S", "k", "  def  ", out, 100, path), 3u);
        EXPECT_EQ(out, "def");
        EXPECT_EQ(GetPrivateProfileStringW("S", "k", "", out, 100, path), 0u);
        EXPECT_EQ(out, "");
    }
}

struct CutCase {
    const char* what;
    std::string value;
    std::size_t size;
    std::string expected;
    DWORD chars;
};

const CutCase kCuts[] = {
    {"longer value cut", "abcdef", 4, "abc", 3},
    {"exact fit", "abc", 4, "abc", 3},
    {"room for the terminator only", "abc", 1, "", 0},
    {"size zero", "abc", 0, "", 0},
    {"two-byte character after the cut left out", "a\xC3\xA9", 2, "a", 1},
    {"two-byte character before the cut kept whole", "a\xC3\xA9" "b", 3, "a\xC3\xA9", 2},
    {"three-byte character", "\xE2\x82\xAC" "uro", 2, "\xE2\x82\xAC", 1},
    {"four-byte character", "\xF0\x9F\x98\x80" "x", 2, "\xF0\x9F\x98\x80", 1},
    {"truncated sequence at the end counts once", "a\xE2\x82", 3, "a\xE2\x82", 2},
    {"truncated sequence cut off", "a\xE2\x82", 2, "a", 1},
    {"stray continuation bytes count singly", "\x80\x80\x80", 3, "\x80\x80", 2},
};

TEST_F(IniFileTest, CutsValueToBufferWithoutSplittingCharacters) {
    for (const CutCase& c : kCuts) {
        SCOPED_TRACE(c.what);
        const std::string path = WriteFile("cut.ini", "[S]\nkey=" + c.value + "\n");
        std::string out = "stale";
        EXPECT_EQ(GetPrivateProfileStringW("S", "key", "", out, c.size, path), c.chars);
        EXPECT_EQ(out, c.expected);
    }
}

TEST_F(IniFileTest, CutsDefaultToBuffer) {
    std::string out;
    EXPECT_EQ(GetPrivateProfileStringW("S", "k", "d\xC3\xA9" "faut", out, 3, PathOf("absent.ini")),
              2u);
    EXPECT_EQ(out, "d\xC3\xA9");
}

struct WriteCase {
    const char* what;
    std::optional<std::string> before;  // nullopt: no file yet
    const char* section;
    const char* key;
    const char* value;
    std::string after;
    const char* readBack;  // what a lookup of the key gives afterwards
};

const WriteCase kWrites[] = {
    {"creates the file", std::nullopt, "Deckmend PPT", "IDS_LANGUAGE", "4",
     "[Deckmend PPT]\nIDS_LANGUAGE=4\n", "4"},
    {"replaces in place, keeping key spelling and spacing",
     "; head\n[S]\n  Key = old \nnext=1\n", "s", "KEY", "new",
     "; head\n[S]\n  Key = new\nnext=1\n", "new"},
    {"replaces an empty value", "[S]\nkey=\nnext=1\n", "S", "key", "v", "[S]\nkey=v\nnext=1\n", "v"},
    {"replaces the first of a repeated key", "[S]\nk=1\nk=2\n", "S", "k", "9", "[S]\nk=9\nk=2\n", "9"},
    {"adds to the end of its section, before blank lines",
     "[A]\nx=1\n\n[S]\n; note\na=1\n\n[B]\nb=2\n", "S", "new", "v",
     "[A]\nx=1\n\n[S]\n; note\na=1\nnew=v\n\n[B]\nb=2\n", "v"},
    {"adds to an empty section", "[S]\n[B]\nb=2\n", "S", "k", "v", "[S]\nk=v\n[B]\nb=2\n", "v"},
    {"appends a section after a blank line", "[A]\nx=1", "B", "y", "2",
     "[A]\nx=1\n\n[B]\ny=2\n", "2"},
    {"keeps CRLF, comments and the byte-order mark",
     "\xEF\xBB\xBF; texts\r\n[S]\r\na=1\r\n;c=3\r\n", "S", "b", "2",
     "\xEF\xBB\xBF; texts\r\n[S]\r\na=1\r\n;c=3\r\nb=2\r\n", "2"},
    {"a commented key is not replaced", "[S]\n;k=old\n", "S", "k", "new",
     "[S]\n;k=old\nk=new\n", "new"},
    {"value trimmed on the way in", "[S]\n", "S", "k", "  spaced  ", "[S]\nk=spaced\n", "spaced"},
};

TEST_F(IniFileTest, WriteChangesOnlyTheEntry) {
    for (const WriteCase& c : kWrites) {
        SCOPED_TRACE(c.what);
        const std::string path = PathOf("write.ini");
        fs::remove(path);
        if (c.before) WriteFile("write.ini", *c.before);
        EXPECT_EQ(WritePrivateProfileStringW(c.section, c.key, c.value, path), TRUE);
        EXPECT_EQ(ReadFile(path), c.after);
        std::string out;
        GetPrivateProfileStringW(c.section, c.key, "missing", out, 100, path);
        EXPECT_EQ(out, c.readBack);
    }
}

TEST_F(IniFileTest, WriteRefusesWhatWouldBreakTheFile) {
    const std::string before = "[S]\nk=1\n";
    const std::string path = WriteFile("refuse.ini", before);
    struct Refused {
        const char* what;
        const char* section;
        const char* key;
        const char* value;
    };
    const Refused refused[] = {
        {"line break in value", "S", "k", "1\n[T]"},
        {"carriage return in key", "S", "k\r", "1"},
        {"'=' in key", "S", "a=b", "1"},
        {"empty key", "S", "  ", "1"},
        {"']' in section", "S]", "k", "1"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(WritePrivateProfileStringW(r.section, r.key, r.value, path), FALSE);
        EXPECT_EQ(ReadFile(path), before);
    }
}

TEST_F(IniFileTest, WriteFailsWhenFolderIsMissing) {
    const std::string path = PathOf("no/such/folder.ini");
    EXPECT_EQ(WritePrivateProfileStringW("S", "k", "v", path), FALSE);
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
