// The rebuild from fragments on small constructed files: which slides the
// container walk opens, where it puts texts and pictures, what the file scan
// hands to it, and the pictures placed from temporary files. The office
// session is replaced by a builder that logs what it is asked.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "automation/powerpoint_automation.h"
#include "platform/folders.h"
#include "repair/io/mapped_file.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/job/job_state.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/fragment_rebuild.h"
#include "repair/ppt/record_scanner.h"
#include "repair/ppt/slide_builder.h"
#include "support/source_file.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Records in file order, built up from headers and bodies.
class Records {
public:
    Records& Header(std::uint16_t verInstance, std::uint16_t type, std::uint32_t length) {
        const std::size_t at = m_bytes.size();
        m_bytes.resize(at + 8);
        PutLe16(&m_bytes[at], verInstance);
        PutLe16(&m_bytes[at + 2], type);
        PutLe32(&m_bytes[at + 4], length);
        return *this;
    }
    Records& Raw(const Bytes& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Records& Le32(std::uint32_t value) {
        m_bytes.resize(m_bytes.size() + 4);
        PutLe32(&m_bytes[m_bytes.size() - 4], value);
        return *this;
    }
    Records& TextBytes(const std::string& text) {
        Header(0, 0x0FA8, static_cast<std::uint32_t>(text.size()));
        return Raw(Bytes(text.begin(), text.end()));
    }
    Records& TextChars(const std::u16string& text) {
        Header(0, 0x0FA0, static_cast<std::uint32_t>(2 * text.size()));
        for (char16_t c : text)
            Raw({static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
        return *this;
    }
    Records& SlidePersist() { return Header(0, 0x03F3, 20).Raw(Bytes(20, 0)); }
    Records& SlideAtom(std::uint32_t geometry) { return Header(2, 0x03EF, 24).Le32(geometry).Raw(Bytes(20, 0)); }
    // An OfficeArt pibName property with its UTF-16 name, as the walk looks for it.
    Records& PictureName(const std::u16string& name) {
        Raw({0, 0, 0, 0, 0x00, 0x00, 0x05, 0xC1}).Le32(static_cast<std::uint32_t>(2 * name.size()));
        Raw(Bytes(6, 0));
        for (char16_t c : name)
            Raw({static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
        return *this;
    }
    // A container around everything added so far, with `length` as its recLen
    // (the body's true size when 0).
    Records Wrapped(std::uint16_t type, std::uint32_t length = 0) const {
        Records out;
        out.Header(0x000F, type, length ? length : static_cast<std::uint32_t>(m_bytes.size()));
        return out.Raw(m_bytes);
    }
    const Bytes& bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
};

constexpr std::uint16_t kSlideListType = 0x0FF0, kSlideType = 0x03EE, kNotesType = 0x03F0, kDocumentType = 0x03E8;

// Logs the calls as short lines; a slide's title takes its first text only.
class LoggingBuilder final : public CSlideBuilder {
public:
    LoggingBuilder() { m_previous = SetSlideBuilder(this); }
    ~LoggingBuilder() override { SetSlideBuilder(m_previous); }

    LONG MapSlideLayout(std::uint32_t value) override { return g_pptAutomation.MapSlideLayout(value); }
    HRESULT GetSlideCount(LONG& count) override {
        count = m_slides;
        return S_OK;
    }
    HRESULT AddSlide(LONG index, LONG layout) override {
        ++m_slides;
        m_titleTaken = false;
        Log("slide " + std::to_string(index) + " layout " + std::to_string(layout));
        return S_OK;
    }
    HRESULT SetSlideTitle(const std::string& text, float, float top, float, float) override {
        if (m_titleTaken)
            return 1;
        m_titleTaken = true;
        Log("title '" + text + "' at " + std::to_string(static_cast<int>(top)));
        return S_OK;
    }
    HRESULT AddTextBox(const std::string& text, float left, float top, float, float) override {
        Log("box '" + text + "' at " + std::to_string(static_cast<int>(left)) + "," +
            std::to_string(static_cast<int>(top)));
        return S_OK;
    }
    HRESULT SetFont() override { return S_OK; }
    HRESULT AddPicture(const std::string& file, float, float, float, float) override {
        const std::string name = std::filesystem::path(file).filename().string();
        std::ifstream in(file, std::ios::binary);
        m_pictureBytes.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        Log("picture " + name);
        return m_refusePictures ? E_FAIL : S_OK;
    }
    HRESULT DeleteEmptyShapes() override {
        Log("delete empty shapes");
        return S_OK;
    }
    HRESULT DeleteSlideIfEmpty() override {
        Log("delete slide if empty");
        return S_OK;
    }
    HRESULT SavePresentation(const std::string&) override { return m_failSave ? E_FAIL : S_OK; }

    // A new, empty presentation.
    void Restart() {
        m_log.clear();
        m_slides = 0;
    }

    std::vector<std::string> m_log;
    std::vector<std::string> m_pictureBytes;
    bool m_refusePictures = false;
    bool m_failSave = false;

private:
    void Log(const std::string& line) { m_log.push_back(line); }

    CSlideBuilder* m_previous = nullptr;
    LONG m_slides = 0;
    bool m_titleTaken = false;
};

class FragmentRebuild : public ::testing::Test {
protected:
    void SetUp() override {
        g_bRun.store(1);
        ResetFragmentCounts();
        g_nDocumentCount = 0;
        g_posDocument = kNoDocument;
        g_bSummaryFound = 0;
        g_recoveredProperties.Clear();
        g_pictureCarver.Reset();
        g_pictureCarver.m_nCount = 0;
    }
    void TearDown() override {
        g_pictureCarver.Reset();
        g_pictureCarver.m_nCount = 0;
        g_bRun.store(1);
    }
    // Walks a container placed at offset 100 of a file.
    std::vector<std::string> Walk(const Records& container, std::uint32_t layoutCode, std::uint32_t recLen = 0) {
        Bytes file(100, 0x55);
        file.insert(file.end(), container.bytes().begin(), container.bytes().end());
        file.resize(file.size() + 64, 0x55);
        SourceFile source(file);
        const std::uint32_t length = recLen ? recLen : static_cast<std::uint32_t>(container.bytes().size() - 8);
        EXPECT_TRUE(WalkContainer(layoutCode, 100, length));
        return m_builder.m_log;
    }

    LoggingBuilder m_builder;
};

using Log = std::vector<std::string>;

TEST_F(FragmentRebuild, ContainerWalkDecisions) {
    const std::string hundred(100, 'x');
    struct Case {
        const char* what;
        Records container;
        std::uint32_t layoutCode;
        std::uint32_t recLen;  // 0: the container's true length
        Log expected;
    } cases[] = {
        {"three persisted slides in a slide list, each text offered to its title",
         Records()
             .SlidePersist().TextChars(u"One")
             .SlidePersist().TextChars(u"Two")
             .SlidePersist().TextChars(u"Three")
             .Wrapped(kSlideListType),
         0, 0,
         {"slide 1 layout 1", "title 'One' at 105", "slide 2 layout 1", "title 'Two' at 105", "slide 3 layout 1",
          "title 'Three' at 105"}},
        {"a later text of 100 bytes moves down 60 points into a text box",
         Records().SlideAtom(1).TextBytes("Heading").TextBytes(hundred).Wrapped(kSlideType), kSlideLayoutCode, 0,
         {"slide 1 layout 2", "title 'Heading' at 105", "box '" + hundred + "' at 95,165"}},
        {"a text before any slide opens a title slide",
         Records().TextBytes("Loose").Wrapped(kNotesType), kSlideLayoutCode, 0,
         {"slide 1 layout 1", "title 'Loose' at 105"}},
        {"a persisted slide of a slide or notes container takes the container's layout",
         Records().SlidePersist().TextBytes("Notes text").Wrapped(kNotesType), kSlideLayoutCode, 0,
         {"slide 1 layout 11", "title 'Notes text' at 105"}},
        {"layout geometries as stored",
         Records().SlideAtom(0).SlideAtom(2).SlideAtom(0x0E).SlideAtom(0x33).Wrapped(kSlideType), kSlideLayoutCode, 0,
         {"slide 1 layout 1", "slide 2 layout 3", "slide 3 layout 24", "slide 4 layout 12"}},
        {"a text atom whose length runs past the container is cut at its end",
         Records().SlideAtom(1).Header(0, 0x0FA8, 5000).Raw({'C', 'u', 't'}).Wrapped(kSlideType), kSlideLayoutCode, 0,
         {"slide 1 layout 2", "title 'Cut' at 105"}},
        {"a container whose recLen runs past the file is walked to the file's end",
         Records().SlideAtom(1).TextBytes("Kept").Wrapped(kSlideType), kSlideLayoutCode, 0x7FFFFFF0,
         {"slide 1 layout 2", "title 'Kept' at 105"}},
        {"texts in the system's code pages",
         Records().SlideAtom(1).TextBytes("Caf\xE9 \x80").TextChars(u"\u65E5\u672C").Wrapped(kSlideType),
         kSlideLayoutCode, 0,
         {"slide 1 layout 2", "title 'Caf\xC3\xA9 \xE2\x82\xAC' at 105", "box '\xE6\x97\xA5\xE6\x9C\xAC' at 95,125"}},
        {"a named picture is offered to the slide",
         Records().SlideAtom(1).TextBytes("With picture").PictureName(u"photo.jpg").Wrapped(kSlideType),
         kSlideLayoutCode, 0,
         {"slide 1 layout 2", "title 'With picture' at 105", "picture photo.jpg"}},
        {"a picture name of fewer than four characters is not taken",
         Records().SlideAtom(1).PictureName(u"a.b").Wrapped(kSlideType), kSlideLayoutCode, 0,
         {"slide 1 layout 2"}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_builder.Restart();
        EXPECT_EQ(Walk(c.container, c.layoutCode, c.recLen), c.expected);
    }
}

TEST_F(FragmentRebuild, SlideWithRefusedPictureAndNoTextIsCleanedUp) {
    m_builder.m_refusePictures = true;
    const Log log = Walk(Records().SlideAtom(1).PictureName(u"missing.png").SlideAtom(1).Wrapped(kSlideType),
                         kSlideLayoutCode);
    EXPECT_EQ(log, (Log{"slide 1 layout 2", "picture missing.png", "delete empty shapes", "delete slide if empty",
                        "slide 2 layout 2", "delete empty shapes", "delete slide if empty"}));
}

TEST_F(FragmentRebuild, PictureNameLengthIsBoundedByWhatWasRead) {
    // A name length of 500 at the very end of the file: nothing past the file is read.
    Records container = Records().SlideAtom(1).Raw({0, 0, 0, 0, 0, 0, 0x05, 0xC1}).Le32(500);
    const Log log = Walk(container.Wrapped(kSlideType), kSlideLayoutCode);
    EXPECT_EQ(log.front(), "slide 1 layout 2");
}

// A file with a document, a slide list, a slide and a notes container; the
// slide container's header straddles the end of the first 129-unit group.
Bytes FragmentFile(std::uint32_t unit) {
    Bytes file(unit, 0);
    const Bytes document = Records().Le32(0).Wrapped(kDocumentType).bytes();
    file.insert(file.end(), document.begin(), document.end());
    const Bytes list = Records().SlidePersist().TextBytes("Listed").Wrapped(kSlideListType).bytes();
    file.insert(file.end(), list.begin(), list.end());
    file.resize(129 * unit - 4, 0);
    const Bytes slide = Records().SlideAtom(1).TextBytes("Straddling").Wrapped(kSlideType).bytes();
    file.insert(file.end(), slide.begin(), slide.end());
    const Bytes notes = Records().SlidePersist().TextBytes("Spoken").Wrapped(kNotesType).bytes();
    file.insert(file.end(), notes.begin(), notes.end());
    file.resize(file.size() + 100, 0);
    return file;
}

TEST_F(FragmentRebuild, FileScanHandsEveryContainerToTheWalk) {
    for (std::uint32_t unit : {512u, 4096u}) {
        SCOPED_TRACE(unit);
        m_builder.Restart();
        ResetFragmentCounts();
        g_nDocumentCount = 0;
        SourceFile source(FragmentFile(unit));
        EXPECT_TRUE(RebuildFromFragments(unit, "unused.ppt"));
        EXPECT_EQ(m_builder.m_log,
                  (Log{"slide 1 layout 1", "slide 2 layout 1", "title 'Listed' at 105", "slide 3 layout 2",
                       "title 'Straddling' at 105"}))
            << "the notes container adds no slide";
        EXPECT_EQ(g_nSlideContainers, 2u);
        EXPECT_EQ(g_nNotesContainers, 1u);
        EXPECT_EQ(g_nDocumentCount, 1u);
        EXPECT_EQ(g_posDocument, unit);
    }
}

// A full disk or a refused save: the rebuild is no result, whatever it built.
TEST_F(FragmentRebuild, AFailedSaveIsNoRebuild) {
    m_builder.m_failSave = true;
    SourceFile source(FragmentFile(512));
    EXPECT_FALSE(RebuildFromFragments(512, "unused.ppt"));
    EXPECT_EQ(g_nSlideContainers, 2u) << "the slides were built before the save";
}

TEST_F(FragmentRebuild, CancelAndMissingSourceStopTheScan) {
    g_bRun.store(0);
    {
        SourceFile source(FragmentFile(512));
        EXPECT_FALSE(RebuildFromFragments(512, "unused.ppt"));
    }
    EXPECT_EQ(g_nSlideContainers, 0u);
    g_bRun.store(1);
    g_srcFile.Close();
    EXPECT_FALSE(RebuildFromFragments(512, "unused.ppt"));
    EXPECT_TRUE(m_builder.m_log.size() <= 1) << "at most the first slide";
}

// A file holding two JPEG-like and one PNG-like picture, carved as the source scan does.
Bytes PictureFile(std::vector<std::string>& data) {
    Bytes file(64, 0);
    struct Picture {
        std::uint16_t word, type;
        std::string bytes;
    } pictures[] = {{0x46A0, 0xF01D, "first jpeg data"}, {0x6E00, 0xF01E, "png data"}, {0x46A0, 0xF01D, "last"}};
    for (const Picture& p : pictures) {
        Records r;
        r.Header(p.word, p.type, static_cast<std::uint32_t>(17 + p.bytes.size()));
        r.Raw(Bytes(17, 0xAB)).Raw(Bytes(p.bytes.begin(), p.bytes.end()));
        file.insert(file.end(), r.bytes().begin(), r.bytes().end());
        data.push_back(p.bytes);
    }
    file.resize(file.size() + 600, 0);
    return file;
}

void CarvePictures(const Bytes& file) {
    for (std::size_t at = 0; at + 8 <= file.size(); ++at)
        g_pictureCarver.m_nCount += g_pictureCarver.MatchPicture(file.data(), at, at);
}

TEST_F(FragmentRebuild, PicturesGoOnSlidesOfTheirOwnThroughTemporaryFiles) {
    TempDir temp;
    SetTempFolder(temp.path());
    std::vector<std::string> data;
    const Bytes file = PictureFile(data);
    SourceFile source(file);
    CarvePictures(file);
    ASSERT_EQ(g_pictureCarver.Pictures().size(), 3u);

    EXPECT_EQ(g_pictureCarver.InsertPictures("working.ppt", g_srcFile), 1);
    EXPECT_EQ(m_builder.m_log, (Log{"slide 1 layout 12", "picture PICT1.JPEG", "slide 2 layout 12", "picture PICT2.PNG",
                                    "slide 3 layout 12", "picture PICT3.JPEG", "delete slide if empty"}));
    EXPECT_EQ(m_builder.m_pictureBytes, data);
    EXPECT_TRUE(std::filesystem::is_empty(temp.path())) << "the temporary pictures are deleted";

    // A refused picture leaves its slide to the next one.
    m_builder.m_log.clear();
    m_builder.m_refusePictures = true;
    EXPECT_EQ(g_pictureCarver.InsertPictures("working.ppt", g_srcFile), 1);
    EXPECT_EQ(m_builder.m_log, (Log{"slide 4 layout 12", "picture PICT1.JPEG", "picture PICT2.PNG",
                                    "picture PICT3.JPEG"}));
    SetTempFolder({});
}

TEST_F(FragmentRebuild, PictureThatCannotBeWrittenOutIsSkipped) {
    TempDir temp;
    SetTempFolder(temp / "missing-folder");
    std::vector<std::string> data;
    const Bytes file = PictureFile(data);
    SourceFile source(file);
    CarvePictures(file);
    EXPECT_EQ(g_pictureCarver.InsertPictures("working.ppt", g_srcFile), 1);
    EXPECT_EQ(m_builder.m_log, (Log{"delete slide if empty"}));
    SetTempFolder({});
}

TEST_F(FragmentRebuild, NoPicturesMeansNothingToInsert) {
    SourceFile source(Bytes(2048, 0));
    EXPECT_EQ(g_pictureCarver.InsertPictures("working.ppt", g_srcFile), 0);
    EXPECT_TRUE(m_builder.m_log.empty());
}

}  // namespace
