// The PowerPoint session against the real server: LibreOffice Impress in a
// private process. Every test ends the office processes it started and checks
// that none of them is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "automation/auto_wrap.h"
#include "repair/ppt/compound_file.h"
#include "automation/impress_server.h"
#include "automation/powerpoint_automation.h"
#include "platform/com_runtime.h"
#include "support/office_required.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A 2 × 2 red PNG.
const unsigned char kPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x02, 0x00, 0x00, 0x00, 0xFD, 0xD4, 0x9A, 0x73, 0x00, 0x00, 0x00,
    0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0x00, 0x42, 0x0C, 0x48, 0x0C, 0x00, 0x29,
    0xF4, 0x05, 0xFB, 0x1E, 0xF6, 0x4F, 0xEA, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60,
    0x82};

bool GroupGone(int group) { return ::kill(-group, 0) == -1 && errno == ESRCH; }

// The office's local sockets that a process of this id started and left behind.
std::vector<std::string> LeftSockets(pid_t client) {
    std::string prefix = "OSL_PIPE_" + std::to_string(::getuid()) + "_deckmend_office_" + std::to_string(client) + "_";
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator("/tmp"))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            left.push_back(entry.path().string());
    return left;
}

void WriteBytes(const std::string& path, const void* data, std::size_t size) {
    std::ofstream(path, std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Reads through the same late-bound calls the program makes.
class CReader {
public:
    explicit CReader(IDispatch* root) : m_root(root) {}

    IDispatch* Get(IDispatch* object, const char* member) {
        VARIANT result;
        EXPECT_EQ(AutoWrap(DISPATCH_PROPERTYGET, &result, object, member, 0), S_OK) << member;
        return Keep(result);
    }
    IDispatch* Item(IDispatch* object, LONG index) {
        VARIANT result;
        EXPECT_EQ(AutoWrap(DISPATCH_METHOD, &result, object, "Item", 1, CComVariant::I4(index)), S_OK);
        return Keep(result);
    }
    LONG Long(IDispatch* object, const char* member) {
        CComVariant result;
        EXPECT_EQ(AutoWrap(DISPATCH_PROPERTYGET, &result, object, member, 0), S_OK) << member;
        return result.vt == VT_I4 ? result.lVal : -999;
    }
    std::string String(IDispatch* object, const char* member) {
        CComVariant result;
        EXPECT_EQ(AutoWrap(DISPATCH_PROPERTYGET, &result, object, member, 0), S_OK) << member;
        return result.vt == VT_BSTR ? std::string(result.bstrVal, SysStringLen(result.bstrVal)) : "?";
    }

    // The texts of every shape of slide `number` that has a text frame.
    std::vector<std::string> SlideTexts(LONG number) {
        std::vector<std::string> texts;
        IDispatch* shapes = Get(Item(Get(m_root, "Slides"), number), "Shapes");
        for (LONG i = 1, count = Long(shapes, "Count"); i <= count; ++i) {
            IDispatch* shape = Item(shapes, i);
            if (Long(shape, "HasTextFrame") != 0 && Long(Get(shape, "TextFrame"), "HasText") != 0)
                texts.push_back(String(Get(Get(shape, "TextFrame"), "TextRange"), "Text"));
        }
        return texts;
    }

    ~CReader() {
        for (IDispatch* object : m_held)
            object->Release();
    }

private:
    IDispatch* Keep(VARIANT& result) {
        if (result.vt != VT_DISPATCH)
            return nullptr;
        m_held.push_back(result.pdispVal);
        return result.pdispVal;
    }
    IDispatch* m_root;
    std::vector<IDispatch*> m_held;
};

class ImpressServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (OfficeOptedOut())
            GTEST_SKIP() << "the run opted out of the office (DECKMEND_SKIP_REAL_OFFICE=1)";
        ASSERT_TRUE(ImpressServerInstalled());
        ASSERT_FALSE(folder_.path().empty());
    }
    void TearDown() override {
        KeepImpressServerWarm(std::chrono::milliseconds(0));
        ppt_.ClosePowerPoint(0, "", 0);
        NoteGroup();
        for (int group : groups_)
            EXPECT_TRUE(GroupGone(group)) << "office process group " << group << " is still running";
        EXPECT_EQ(LeftSockets(::getpid()), std::vector<std::string>{});
        SetImpressTimeouts(ImpressTimeouts{});
    }
    // Remembers the running office process, to check later that it ended.
    void NoteGroup() {
        if (int group = ImpressServerProcessGroup())
            groups_.insert(group);
    }
    std::string Picture() {
        std::string path = folder_ / "red.png";
        WriteBytes(path, kPng, sizeof(kPng));
        return path;
    }

    TempDir folder_;
    CPowerPointAutomation ppt_;
    std::set<int> groups_;
};

// Builds the presentation that the fragment rebuild makes of a damaged file:
// a title slide, a title-only slide with a text box, a picture slide.
void BuildThreeSlides(CPowerPointAutomation& ppt, const std::string& picture) {
    ppt.m_pDocProperties = {"Quarterly figures", "Sales", "A. Author"};
    ASSERT_EQ(ppt.AddSlide(1, ppt.MapSlideLayout(0)), S_OK);
    EXPECT_NE(ppt.ApplyDesign(), S_OK);  // no PowerPoint design files here
    EXPECT_EQ(ppt.SetDocumentProperties(), S_OK);
    EXPECT_EQ(ppt.SetSlideTitle("Opening", 95, 105, 150, 200), S_OK);
    EXPECT_EQ(ppt.SetFont(), S_OK);
    // On the title slide a second text goes into the empty subtitle.
    EXPECT_EQ(ppt.SetSlideTitle("Subtitle text", 95, 115, 150, 200), S_OK);

    LONG count = 0;
    ASSERT_EQ(ppt.GetSlideCount(count), S_OK);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(ppt.AddSlide(count + 1, ppt.MapSlideLayout(0x10000000)), S_OK);
    EXPECT_EQ(ppt.SetSlideTitle("Results", 95, 105, 150, 200), S_OK);
    EXPECT_EQ(ppt.SetSlideTitle("More text", 95, 165, 150, 200), 1);  // title taken, not a title slide
    EXPECT_EQ(ppt.AddTextBox("More text", 95, 165, 250, 300), S_OK);
    EXPECT_EQ(ppt.SetFont(), S_OK);
    EXPECT_EQ(ppt.SetNotesText("What to say about the results"), S_OK);

    ASSERT_EQ(ppt.AddSlide(3, ppt.MapSlideLayout(0x05000000)), S_OK);  // blank
    EXPECT_EQ(ppt.AddPicture(picture, 50, 50, 70, 70), S_OK);
    ASSERT_EQ(ppt.GetSlideCount(count), S_OK);
    EXPECT_EQ(count, 3);
}

TEST_F(ImpressServerTest, BuildsSavesInEveryFormatAndReopens) {
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    EXPECT_EQ(ppt_.m_nVersion, 2010);
    BuildThreeSlides(ppt_, Picture());

    const std::vector<std::string> paths = {folder_ / "deck.ppt", folder_ / "deck.pps", folder_ / "deck.pptx"};
    for (const auto& path : paths)
        EXPECT_EQ(ppt_.SavePresentation(path, 1), S_OK) << path;
    EXPECT_EQ(ppt_.ClosePowerPoint(0, "", 0), S_OK);
    EXPECT_EQ(ppt_.m_pApplication, nullptr);

    // The picture went into the file, not a link to it.
    fs::remove(folder_ / "red.png");
    auto pictures = ReadCompoundStream(paths[0], "Pictures");
    ASSERT_TRUE(pictures.has_value());
    EXPECT_GT(pictures->size(), sizeof(kPng));

    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(fs::exists(path));
        EXPECT_FALSE(fs::exists(folder_ / (".~lock." + fs::path(path).filename().string() + "#")));
        ASSERT_EQ(ppt_.OpenPresentation(path), path);
        NoteGroup();
        LONG count = 0;
        ASSERT_EQ(ppt_.GetSlideCount(count), S_OK);
        EXPECT_EQ(count, 3);

        CReader read(ppt_.m_pPresentation);
        EXPECT_EQ(read.SlideTexts(1), (std::vector<std::string>{"Opening", "Subtitle text"}));
        EXPECT_EQ(read.SlideTexts(2), (std::vector<std::string>{"Results", "More text"}));
        EXPECT_EQ(read.SlideTexts(3), std::vector<std::string>{});
        IDispatch* pictureSlideShapes = read.Get(read.Item(read.Get(ppt_.m_pPresentation, "Slides"), 3), "Shapes");
        EXPECT_EQ(read.Long(pictureSlideShapes, "Count"), 1);  // the embedded picture
        IDispatch* notesPage = read.Get(read.Item(read.Get(ppt_.m_pPresentation, "Slides"), 2), "NotesPage");
        IDispatch* notesBody = read.Item(read.Get(read.Get(notesPage, "Shapes"), "Placeholders"), 2);
        EXPECT_EQ(read.String(read.Get(read.Get(notesBody, "TextFrame"), "TextRange"), "Text"),
                  "What to say about the results");

        IDispatch* box = read.Item(read.Get(read.Item(read.Get(ppt_.m_pPresentation, "Slides"), 2), "Shapes"), 2);
        IDispatch* font = read.Get(read.Get(read.Get(box, "TextFrame"), "TextRange"), "Font");
        EXPECT_EQ(read.String(font, "NameAscii"), "Calibri");
        EXPECT_EQ(read.Long(font, "Size"), 15);
        EXPECT_EQ(read.Long(font, "Italic"), -1);
        EXPECT_EQ(read.Long(font, "Bold"), 0);

        IDispatch* properties = read.Get(ppt_.m_pPresentation, "BuiltInDocumentProperties");
        const char* expected[] = {"Quarterly figures", "Sales", "A. Author"};
        for (LONG item = 1; item <= 3; ++item) {
            CComVariant property;
            ASSERT_EQ(AutoWrap(DISPATCH_PROPERTYGET, &property, properties, "Item", 1, CComVariant::I4(item)), S_OK);
            EXPECT_EQ(read.String(property.pdispVal, "Value"), expected[item - 1]);
        }
        EXPECT_EQ(ppt_.ClosePowerPoint(0, "", 0), S_OK);
    }
}

// The texts of a slide are those of its shapes, of the shapes inside its
// groups at every depth, and of every cell of its tables.
TEST_F(ImpressServerTest, TextsInGroupsAndTablesAreRead) {
    DECKMEND_REQUIRE_CORPUS();
    const struct {
        const char* file;
        std::vector<std::string> texts;  // the non-empty ones, in any order
    } cases[] = {
        {"corpus/pptx/unst-group-shapes-nested.pptx", {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"}},
        {"corpus/pptx/sc-065_table.pptx", {"Cell with text", "Header Row Cell 1", "Header Row Cell 2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_EQ(ppt_.OpenPresentation(SharedPath(c.file)), SharedPath(c.file));
        NoteGroup();
        std::vector<std::string> texts;
        ASSERT_EQ(ppt_.GetTexts(texts), S_OK);
        // Shapes and cells without text give empty texts.
        std::erase(texts, std::string());
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(ppt_.ClosePowerPoint(0, "", 0), S_OK);
    }
}

TEST_F(ImpressServerTest, ReopenedWorkingCopyTakesMoreSlidesAndSavesOverItself) {
    std::string path = folder_ / "__working.ppt";
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    ASSERT_EQ(ppt_.SavePresentation(path, 1), S_OK);
    ASSERT_EQ(ppt_.AddSlide(1, ppt_.MapSlideLayout(0)), S_OK);
    EXPECT_EQ(ppt_.SetSlideTitle("Kept", 95, 105, 150, 200), S_OK);
    ASSERT_EQ(ppt_.ClosePowerPoint(1, path, 1), S_OK);

    // As the picture recovery does: open again, add a picture slide, save in place.
    ASSERT_EQ(ppt_.OpenPresentation(path), path);
    NoteGroup();
    LONG count = 0;
    ASSERT_EQ(ppt_.GetSlideCount(count), S_OK);
    ASSERT_EQ(count, 1);
    ASSERT_EQ(ppt_.AddSlide(count + 1, ppt_.MapSlideLayout(2)), S_OK);
    EXPECT_EQ(ppt_.AddPicture(Picture(), 50, 50, 70, 70), S_OK);
    // An empty slide added last is removed again.
    ASSERT_EQ(ppt_.AddSlide(3, 12), S_OK);
    EXPECT_EQ(ppt_.DeleteSlideIfEmpty(), S_OK);
    ASSERT_EQ(ppt_.ClosePowerPoint(1, path, 1), S_OK);

    ASSERT_EQ(ppt_.OpenPresentation(path), path);
    ASSERT_EQ(ppt_.GetSlideCount(count), S_OK);
    EXPECT_EQ(count, 2);
    CReader read(ppt_.m_pPresentation);
    EXPECT_EQ(read.SlideTexts(1), std::vector<std::string>{"Kept"});
}

TEST_F(ImpressServerTest, EmptyPlaceholdersAreDeletedUntilItemFails) {
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    ASSERT_EQ(ppt_.AddSlide(1, 1), S_OK);  // title and subtitle, both empty
    EXPECT_NE(ppt_.DeleteEmptyShapes(), S_OK);
    CReader read(ppt_.m_pPresentation);
    EXPECT_EQ(read.Long(read.Get(ppt_.m_pSlide, "Shapes"), "Count"), 0);
}

TEST_F(ImpressServerTest, EveryMappedLayoutMakesASlide) {
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    const LONG layouts[] = {1, 2, 3, 11, 12, 15, 24, 25, 26, 27, 28};
    LONG index = 1;
    for (LONG layout : layouts) {
        SCOPED_TRACE(layout);
        ASSERT_EQ(ppt_.AddSlide(index++, layout), S_OK);
        HRESULT title = ppt_.SetSlideTitle("T", 0, 0, 0, 0);
        bool hasTitle = layout != 12 && layout != 15;
        EXPECT_EQ(SUCCEEDED(title) && title == S_OK, hasTitle);
    }
}

// Width and height of a PNG picture from its header; zeros when it is none.
struct PictureSize {
    std::uint32_t width = 0, height = 0;
    bool operator==(const PictureSize&) const = default;
};
PictureSize PngSize(const std::string& png) {
    static constexpr char kSignature[] = "\x89PNG\r\n\x1A\n";
    if (png.size() < 24 || png.compare(0, 8, kSignature, 8) != 0 || png.compare(12, 4, "IHDR") != 0)
        return {};
    const auto at = [&png](std::size_t offset) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(png[offset + i]);
        return value;
    };
    return {at(16), at(20)};
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(ImpressServerTest, ExportsTheFirstSlidesAsPngPictures) {
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    BuildThreeSlides(ppt_, Picture());
    // A new presentation has the office's wide page, 28 cm by 15.75 cm.
    struct Case {
        LONG asked, width;
        std::size_t made;
        std::uint32_t height;
    };
    const Case cases[] = {{2, 320, 2, 180}, {5, 192, 3, 108}, {0, 320, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        std::vector<std::string> pictures;
        ASSERT_EQ(ppt_.ExportSlidePictures(folder_.path(), c.asked, c.width, std::chrono::minutes(1), pictures), S_OK);
        ASSERT_EQ(pictures.size(), c.made);
        for (const std::string& picture : pictures)
            EXPECT_EQ(PngSize(picture), (PictureSize{static_cast<std::uint32_t>(c.width), c.height}));
        // Each slide its own picture: the title slide is not the picture slide.
        if (c.made == 3) {
            EXPECT_NE(pictures[0], pictures[2]);
        }
        // The exported files are gone again.
        EXPECT_EQ(FilesIn(folder_.path()), std::vector<std::string>{"red.png"});
    }
    // A spent budget begins no slide.
    std::vector<std::string> none{"left from before"};
    EXPECT_EQ(ppt_.ExportSlidePictures(folder_.path(), 3, 320, std::chrono::milliseconds(0), none), S_OK);
    EXPECT_EQ(none, std::vector<std::string>{});
}

TEST_F(ImpressServerTest, SlideExportWritesPngOnlyIntoAnExistingFolder) {
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    ASSERT_EQ(ppt_.AddSlide(1, 1), S_OK);
    ASSERT_EQ(ppt_.SetSlideTitle("Pictured", 0, 0, 0, 0), S_OK);
    struct Case {
        const char* name;
        const char* format;
        LONG width, height;
        HRESULT hr;
        PictureSize size;
    };
    const Case cases[] = {{"slide.png", "PNG", 100, 100, S_OK, {100, 100}},
                          {"lower.png", "png", 64, 0, S_OK, {64, 36}},
                          {"slide.jpg", "JPG", 100, 50, E_INVALIDARG, {}},
                          {"no/such/folder.png", "PNG", 100, 50, E_INVALIDARG, {}},
                          {"narrow.png", "PNG", 0, 50, E_INVALIDARG, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder_ / c.name;
        // Slide.Export(FileName, FilterName, ScaleWidth, ScaleHeight), last argument first.
        HRESULT hr = c.height > 0 ? AutoWrap(DISPATCH_METHOD, nullptr, ppt_.m_pSlide, "Export", 4,
                                             CComVariant::I4(c.height), CComVariant::I4(c.width),
                                             CComVariant::Bstr(c.format), CComVariant::Bstr(path))
                                  : AutoWrap(DISPATCH_METHOD, nullptr, ppt_.m_pSlide, "Export", 3,
                                             CComVariant::I4(c.width), CComVariant::Bstr(c.format),
                                             CComVariant::Bstr(path));
        EXPECT_EQ(hr, c.hr);
        std::ifstream in(path, std::ios::binary);
        const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        EXPECT_EQ(PngSize(written), c.size);
    }
    // Nothing half-written beside the pictures.
    EXPECT_EQ(FilesIn(folder_.path()), (std::vector<std::string>{"lower.png", "slide.png"}));
}

TEST_F(ImpressServerTest, DamagedTextDoesNotKillTheServer) {
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    ASSERT_EQ(ppt_.AddSlide(1, 12), S_OK);
    // A lone surrogate (as UTF-8 would carry it), a zero and a bad byte.
    EXPECT_EQ(ppt_.AddTextBox(std::string("A\xED\xA0\x80" "B\0C\xFF", 8), 10, 10, 100, 50), S_OK);
    LONG count = 0;
    EXPECT_EQ(ppt_.GetSlideCount(count), S_OK);
    CReader read(ppt_.m_pPresentation);
    EXPECT_EQ(read.SlideTexts(1), std::vector<std::string>{"A\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "BC\xEF\xBF\xBD"});
}

TEST_F(ImpressServerTest, RefusesWhatPowerPointWouldRefuse) {
    std::string empty = folder_ / "empty.ppt", text = folder_ / "text.ppt";
    WriteBytes(empty, "", 0);
    WriteBytes(text, "just some words\n", 16);
    EXPECT_EQ(ppt_.OpenPresentation(empty), "");
    NoteGroup();
    EXPECT_EQ(ppt_.OpenPresentation(text), "");
    EXPECT_EQ(ppt_.OpenPresentation(folder_ / "missing.ppt"), "");

    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    std::string inMissingFolder = folder_ / "no/such/deck.ppt";
    EXPECT_NE(ppt_.SavePresentation(inMissingFolder, 1), S_OK);
    EXPECT_FALSE(fs::exists(folder_ / "no"));
    EXPECT_NE(ppt_.SavePresentation(folder_ / "deck.txt", 1), S_OK);
    EXPECT_NE(ppt_.SavePresentation("", 0), S_OK);  // never saved: Save has no place
}

TEST_F(ImpressServerTest, DamagedFilesAreRefusedWithinTheBound) {
    struct Case {
        const char* kind;
        const char* source;
    };
    const Case cases[] = {
        {"zero-last-useredit", "corpus/ppt/poi-38256.ppt"},
        {"truncate-60", "corpus/ppt/poi-38256.ppt"},
        {"zero-directory", "corpus/ppt/tika-testPPT.ppt"},
        {"cut-central-directory", "corpus/pptx/jod-test.pptx"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        std::string source = SharedPath(c.source);
        if (!fs::exists(source))
            continue;
        std::string damaged = folder_ / (std::string(c.kind) + fs::path(source).extension().string());
        auto made = RunProcess({"/usr/bin/python3", SharedPath("tools/damage.py"), c.kind, "7", source, damaged});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        auto start = Clock::now();
        EXPECT_EQ(ppt_.OpenPresentation(damaged), "");
        NoteGroup();
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
        ppt_.ClosePowerPoint(0, "", 0);
    }
}

TEST_F(ImpressServerTest, AHangingServerIsKilledAndReplaced) {
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    int group = ImpressServerProcessGroup();
    NoteGroup();
    ASSERT_NE(group, 0);
    SetImpressTimeouts({std::chrono::seconds(30), std::chrono::seconds(2), std::chrono::seconds(2)});

    ::kill(-group, SIGSTOP);  // the office stops answering
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // once every thread has stopped
    auto start = Clock::now();
    LONG count = 0;
    EXPECT_EQ(ppt_.GetSlideCount(count), RPC_E_SERVER_DIED);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(GroupGone(group));
    ppt_.ClosePowerPoint(0, "", 0);

    // The next operation gets a fresh office.
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    EXPECT_NE(ImpressServerProcessGroup(), group);
    EXPECT_EQ(ppt_.AddSlide(1, 1), S_OK);
}

TEST_F(ImpressServerTest, AServerThatDiesFailsItsCallsAndIsRestarted) {
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    int group = ImpressServerProcessGroup();
    NoteGroup();
    ::kill(-group, SIGKILL);
    EXPECT_TRUE(FAILED(ppt_.AddSlide(1, 1)));
    EXPECT_TRUE(FAILED(ppt_.SavePresentation(folder_ / "x.ppt", 1)));
    ppt_.ClosePowerPoint(0, "", 0);
    EXPECT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    NoteGroup();
    EXPECT_EQ(ppt_.AddSlide(1, 1), S_OK);
}

// A program that repairs one file after another keeps one office: Quit closes
// the presentations and leaves the process for the next Application, which
// sees none of them; the office ends once nobody used it for the idle time.
TEST_F(ImpressServerTest, AWarmOfficeServesTheNextClientAndEndsWhenIdle) {
    KeepImpressServerWarm(std::chrono::seconds(3));
    ASSERT_EQ(ppt_.NewPresentation(0, 0), S_OK);
    ASSERT_EQ(ppt_.AddSlide(1, 1), S_OK);
    const int group = ImpressServerProcessGroup();
    NoteGroup();
    ASSERT_NE(group, 0);
    ppt_.ClosePowerPoint(0, "", 0);
    EXPECT_EQ(ImpressServerProcessGroup(), group) << "Quit ended the warm office";

    CPowerPointAutomation next;
    ASSERT_EQ(next.NewPresentation(0, 0), S_OK);
    EXPECT_EQ(ImpressServerProcessGroup(), group) << "the next client started another office";
    LONG count = -1;
    ASSERT_EQ(next.GetSlideCount(count), S_OK);
    EXPECT_EQ(count, 0) << "the next client sees the last one's presentation";
    next.ClosePowerPoint(0, "", 0);

    // Idle: it ends by itself, and the one after gets a fresh office.
    const auto until = Clock::now() + std::chrono::seconds(30);
    while (!GroupGone(group) && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(GroupGone(group)) << "the idle office still runs";
    KeepImpressServerWarm(std::chrono::milliseconds(0));
    ASSERT_EQ(next.NewPresentation(0, 0), S_OK);
    NoteGroup();
    EXPECT_NE(ImpressServerProcessGroup(), group);
    next.ClosePowerPoint(0, "", 0);
}

// Run only as the child of the test below: starts the office, reports its
// process group and waits to be killed.
TEST(ImpressServerChild, DISABLED_StartAndWait) {
    const char* report = std::getenv("DECKMEND_OFFICE_CHILD_REPORT");
    ASSERT_NE(report, nullptr);
    CPowerPointAutomation ppt;
    ASSERT_EQ(ppt.NewPresentation(0, 0), S_OK);
    std::ofstream(report) << ImpressServerProcessGroup() << std::endl;
    std::this_thread::sleep_for(std::chrono::seconds(60));
}

TEST(ImpressServerClient, KilledClientLeavesNoOfficeBehind) {
    TempDir folder;
    std::string report = folder / "group";
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string env = "DECKMEND_OFFICE_CHILD_REPORT=" + report;
    std::vector<char*> argv = {self.data(), const_cast<char*>("--gtest_filter=ImpressServerChild.*"),
                               const_cast<char*>("--gtest_also_run_disabled_tests"), nullptr};
    std::vector<char*> envp = {env.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, self.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);

    int group = 0;
    for (auto until = Clock::now() + std::chrono::seconds(60); group == 0 && Clock::now() < until;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::ifstream(report) >> group;
    }
    ::kill(child, SIGKILL);  // no destructor, no exit handler runs
    ::waitpid(child, nullptr, 0);
    ASSERT_NE(group, 0);
    bool gone = false;
    for (auto until = Clock::now() + std::chrono::seconds(10); !gone && Clock::now() < until;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // Once this process has started an office it is the subreaper of its
        // children's orphans: the killed office members end up here to reap.
        while (::waitpid(-group, nullptr, WNOHANG) > 0) {
        }
        gone = GroupGone(group);
    }
    EXPECT_TRUE(gone) << "office process group " << group << " outlived its client";
    // The guardian also removes what the killed office left in the temporary folder.
    for (auto until = Clock::now() + std::chrono::seconds(10); !LeftSockets(child).empty() && Clock::now() < until;)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(LeftSockets(child), std::vector<std::string>{});
}

}  // namespace
