// The rebuild from fragments on small constructed files: which slides the
// container walk opens, where it puts texts and pictures, what the file scan
// hands to it, and the pictures placed from temporary files. The office
// session is replaced by a builder that logs what it is asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "automation/powerpoint_automation.h"
#include "platform/folders.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
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
    // A SlideAtom that names the slide id of its notes (0: none).
    Records& SlideAtom(std::uint32_t geometry, std::uint32_t notesId) {
        return Header(2, 0x03EF, 24).Le32(geometry).Raw(Bytes(12, 0)).Le32(notesId).Raw(Bytes(4, 0));
    }
    // A slide list entry: persistIdRef, flags, cTexts, slideId, reserved.
    Records& SlidePersist(std::uint32_t persistId, std::uint32_t slideId) {
        return Header(0, 0x03F3, 20).Le32(persistId).Le32(0).Le32(0).Le32(slideId).Le32(0);
    }
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
    Records Wrapped(std::uint16_t type, std::uint32_t length = 0, std::uint16_t instance = 0) const {
        Records out;
        out.Header(static_cast<std::uint16_t>(0x000F | instance << 4), type,
                   length ? length : static_cast<std::uint32_t>(m_bytes.size()));
        return out.Raw(m_bytes);
    }
    Records& Append(const Records& more) { return Raw(more.bytes()); }
    const Bytes& bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
};

constexpr std::uint16_t kSlideListType = 0x0FF0, kSlideType = 0x03EE, kNotesType = 0x03F0, kDocumentType = 0x03E8,
                        kMasterType = 0x03F8, kDirectoryType = 0x1772, kUserEditType = 0x0FF5;

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
    HRESULT SetNotesText(const std::string& text) override {
        Log("notes '" + text + "'");
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
    // The rebuild of `source`. The pictures left are not placed from a second
    // opening of the file (an empty path opens nothing): that placing is tested
    // on its own, through InsertPictures.
    BOOL Rebuild(SourceFile& source, std::uint32_t unit) {
        return RebuildFromFragments({source.File(), "", m_pictures, m_scan, m_cancel}, unit, "unused.ppt",
                                    PlanSourceSlides(source.Path(), source.File()));
    }
    // Walks a container placed at offset 100 of a file.
    std::vector<std::string> Walk(const Records& container, std::uint32_t layoutCode, std::uint32_t recLen = 0) {
        Bytes file(100, 0x55);
        file.insert(file.end(), container.bytes().begin(), container.bytes().end());
        file.resize(file.size() + 64, 0x55);
        SourceFile source(file);
        const std::uint32_t length = recLen ? recLen : static_cast<std::uint32_t>(container.bytes().size() - 8);
        EXPECT_TRUE(WalkContainer(source.File(), m_cancel, layoutCode, 100, length));
        return m_builder.m_log;
    }

    LoggingBuilder m_builder;
    CPictureCarver m_pictures;
    DocumentScanState m_scan;
    CancelToken m_cancel;
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

// The scan counts every container, also one whose header straddles two
// groups; the slides come from the plan, where the surviving slide list decides.
TEST_F(FragmentRebuild, FileScanCountsEveryContainerAndTheListDecidesTheSlides) {
    for (std::uint32_t unit : {512u, 4096u}) {
        SCOPED_TRACE(unit);
        m_builder.Restart();
        m_scan = {};
        SourceFile source(FragmentFile(unit));
        EXPECT_TRUE(Rebuild(source, unit));
        EXPECT_EQ(m_builder.m_log, (Log{"slide 1 layout 1", "title 'Listed' at 105"}))
            << "the slide container that the list does not name and the notes container add no slide";
        EXPECT_EQ(m_scan.nSlideContainers, 2u);
        EXPECT_EQ(m_scan.nNotesContainers, 1u);
        EXPECT_EQ(m_scan.nDocumentCount, 1u);
        EXPECT_EQ(m_scan.posDocument, unit);
    }
}

// Document streams as a writer saves them, for the slide plan: each save
// appends the objects it changed, a persist directory for them and a user
// edit linked to the previous one.
class Saves {
public:
    // Persist ids: the document 1, the main master 2, a title master 7 (a
    // slide container named by the masters list), notes 6 (of slide 3).
    static constexpr std::uint32_t kDocId = 1, kMasterId = 2, kNotesId = 6, kTitleMasterId = 7;

    struct Entry {
        std::uint32_t persistId;
        std::string title;  // the placeholder text the slide list holds
    };
    // A DocumentContainer with its masters, slides and notes lists;
    // `slidesListType` other than a slide list's stands for a damaged one.
    static Records Document(const std::vector<Entry>& slides, std::uint16_t slidesListType = kSlideListType,
                            const Records& drawingGroup = Records()) {
        Records masters, list, notes;
        masters.SlidePersist(kMasterId, 0x80000000).SlidePersist(kTitleMasterId, 0x80000001);
        for (const Entry& e : slides)
            list.SlidePersist(e.persistId, 0x100 + e.persistId).TextBytes(e.title);
        notes.SlidePersist(kNotesId, 0x200);
        Records body;
        body.Header(1, 0x03E9, 40).Raw(Bytes(40, 0));
        body.Append(masters.Wrapped(kSlideListType, 0, 1))
            .Append(list.Wrapped(slidesListType, 0, 0))
            .Append(notes.Wrapped(kSlideListType, 0, 2))
            .Append(drawingGroup);
        return body.Wrapped(kDocumentType);
    }
    // A slide container whose one text names its version.
    static Records Slide(const std::string& text, std::uint32_t notesId = 0, const Records& shapes = Records()) {
        return Records().SlideAtom(1, notesId).TextBytes(text).Append(shapes).Wrapped(kSlideType);
    }
    static Records Master() { return Records().TextBytes("Master text").Wrapped(kMasterType); }
    // Notes whose body is one of two texts: the other is a slide number's.
    static Records Notes() {
        constexpr std::uint32_t kOtherText = 4, kNotesText = 2;
        return Records()
            .Header(0, 0x0F9F, 4).Le32(kOtherText).TextBytes("7")
            .Header(0, 0x0F9F, 4).Le32(kNotesText).TextBytes("Spoken").TextChars(u"aloud")
            .Wrapped(kNotesType);
    }

    Saves& Save(const std::map<std::uint32_t, Records>& objects) {
        Records dir;
        for (const auto& [id, record] : objects) {
            dir.Le32(id | 1u << 20).Le32(static_cast<std::uint32_t>(m_stream.bytes().size()));
            m_stream.Append(record);
        }
        const auto dirAt = static_cast<std::uint32_t>(m_stream.bytes().size());
        m_links.push_back(dirAt);
        m_stream.Header(0, kDirectoryType, static_cast<std::uint32_t>(dir.bytes().size())).Append(dir);
        const auto editAt = static_cast<std::uint32_t>(m_stream.bytes().size());
        m_stream.Header(0, kUserEditType, 28).Le32(0x103).Le32(3u << 24).Le32(m_lastEdit).Le32(dirAt).Le32(kDocId);
        m_stream.Le32(20).Le32(1);
        m_lastEdit = editAt;
        return *this;
    }
    // The stream with every persist directory and user edit zeroed.
    Bytes WithoutLinks() const {
        Bytes bytes = m_stream.bytes();
        for (const std::uint32_t dirAt : m_links) {
            const std::size_t end = dirAt + 8 + *CByteView(bytes.data(), bytes.size()).Le32(dirAt + 4) + 8 + 28;
            std::fill(bytes.begin() + dirAt, bytes.begin() + static_cast<std::ptrdiff_t>(end), 0);
        }
        return bytes;
    }
    Bytes Stream() const { return m_stream.bytes(); }

private:
    Records m_stream;
    std::vector<std::uint32_t> m_links;
    std::uint32_t m_lastEdit = 0;
};

// A full save of slides 3, 4, 5 ("A", "B", "C" in the list, containers
// "A body"...), the masters and slide 3's notes.
Saves FullSave(std::uint16_t slidesListType = kSlideListType) {
    Saves saves;
    saves.Save({{Saves::kDocId, Saves::Document({{3, "A"}, {4, "B"}, {5, "C"}}, slidesListType)},
                {Saves::kMasterId, Saves::Master()},
                {3, Saves::Slide("A body", 0x200)},
                {4, Saves::Slide("B body")},
                {5, Saves::Slide("C body")},
                {Saves::kNotesId, Saves::Notes()},
                {Saves::kTitleMasterId, Saves::Slide("Title master")}});
    return saves;
}

// Three incremental saves after it: slide 3, then 4, then 3 again change; the
// last one also moves slide 5 to the front of the list.
Saves IncrementalSaves(std::uint16_t slidesListType = kSlideListType) {
    Saves saves = FullSave(slidesListType);
    const std::vector<Saves::Entry> order = {{3, "A"}, {4, "B"}, {5, "C"}};
    saves.Save({{Saves::kDocId, Saves::Document(order, slidesListType)}, {3, Saves::Slide("A2 body", 0x200)}});
    saves.Save({{Saves::kDocId, Saves::Document(order, slidesListType)}, {4, Saves::Slide("B2 body")}});
    saves.Save({{Saves::kDocId, Saves::Document({{5, "C"}, {3, "A"}, {4, "B"}}, slidesListType)},
                {3, Saves::Slide("A3 body", 0x200)}});
    return saves;
}

// The incremental saves with the last entry of the live slide list damaged:
// its text atom's recLen runs past the list.
Bytes DamagedLiveList() {
    Bytes stream = IncrementalSaves().Stream();
    const Bytes lastTitle = Records().TextBytes("B").bytes();
    const auto at = std::find_end(stream.begin(), stream.end(), lastTitle.begin(), lastTitle.end());
    PutLe32(&*at + 4, 0x7FFF);
    return stream;
}

// A slide list alone, its middle entry's text atom running past the list.
Bytes ListDamagedInTheMiddle() {
    return Records()
        .SlidePersist(3, 0x103).TextBytes("X")
        .SlidePersist(4, 0x104).Header(0, 0x0FA8, 0x7FFF).Raw({'Y'})
        .SlidePersist(5, 0x105).TextBytes("Z")
        .Wrapped(kSlideListType)
        .bytes();
}

// Slide containers alone, no document or persist directory: two versions of
// the slide whose notes are 0x200, and one without notes.
Bytes LooseSlides() {
    return Records()
        .Append(Saves::Slide("First version", 0x200))
        .Append(Saves::Slide("Other slide"))
        .Append(Saves::Slide("Second version", 0x200))
        .bytes();
}

// The presentation opens with a slide of the title layout: the first planned
// slide goes on it, the others are added.
TEST_F(FragmentRebuild, TheLiveSlideListDecidesTheSlides) {
    struct Case {
        const char* what;
        Bytes stream;
        Log expected;
    } cases[] = {
        {"one full save: the list's slides in order, its texts then the container's, notes on their slide's notes "
         "page; masters and notes make no slide",
         FullSave().Stream(),
         {"slide 1 layout 1", "title 'A' at 105", "box 'A body' at 95,125", "notes 'Spoken\raloud'",
          "slide 2 layout 2", "title 'B' at 105", "box 'B body' at 95,125",
          "slide 3 layout 2", "title 'C' at 105", "box 'C body' at 95,125"}},
        {"three incremental saves: each slide once, from its newest version, in the live list's order",
         IncrementalSaves().Stream(),
         {"slide 1 layout 1", "title 'C' at 105", "box 'C body' at 95,125",
          "slide 2 layout 2", "title 'A' at 105", "box 'A3 body' at 95,125", "notes 'Spoken\raloud'",
          "slide 3 layout 2", "title 'B' at 105", "box 'B2 body' at 95,125"}},
        {"the live slide list damaged inside: the newest whole one (the save before), with the newest slides",
         DamagedLiveList(),
         {"slide 1 layout 1", "title 'A' at 105", "box 'A3 body' at 95,125", "notes 'Spoken\raloud'",
          "slide 2 layout 2", "title 'B' at 105", "box 'B2 body' at 95,125",
          "slide 3 layout 2", "title 'C' at 105", "box 'C body' at 95,125"}},
        {"the only slide list damaged in the middle: its walk goes on at the next entry",
         ListDamagedInTheMiddle(),
         {"slide 1 layout 1", "title 'X' at 105", "slide 2 layout 1", "slide 3 layout 1", "title 'Z' at 105"}},
        {"every persist directory and user edit lost: the newest slide list, with its own texts",
         IncrementalSaves().WithoutLinks(),
         {"slide 1 layout 1", "title 'C' at 105", "slide 2 layout 1", "title 'A' at 105", "slide 3 layout 1",
          "title 'B' at 105"}},
        {"no slide list survives: the slide containers that the newest directories name, in persist id order, "
         "less the title master",
         IncrementalSaves(0x0FEF).Stream(),
         {"slide 1 layout 1", "title 'A3 body' at 105", "slide 2 layout 2", "title 'B2 body' at 105",
          "slide 3 layout 2", "title 'C body' at 105"}},
        {"nothing but slide containers: one slide each, of versions with the same notes the newest in the first's place",
         LooseSlides(),
         {"slide 1 layout 1", "title 'Second version' at 105", "slide 2 layout 2", "title 'Other slide' at 105"}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_builder.Restart();
        SourceFile source(c.stream);
        EXPECT_TRUE(Rebuild(source, 512));
        EXPECT_EQ(m_builder.m_log, c.expected);
    }
}

// A full disk or a refused save: the rebuild is no result, whatever it built.
TEST_F(FragmentRebuild, AFailedSaveIsNoRebuild) {
    m_builder.m_failSave = true;
    SourceFile source(FragmentFile(512));
    EXPECT_FALSE(Rebuild(source, 512));
    EXPECT_EQ(m_builder.m_log.size(), 2u) << "the slides were built before the save";
    EXPECT_EQ(m_scan.nSlideContainers, 2u);
}

TEST_F(FragmentRebuild, CancelAndMissingSourceStopTheScan) {
    m_cancel.Cancel();
    {
        SourceFile source(FragmentFile(512));
        EXPECT_FALSE(Rebuild(source, 512));
    }
    EXPECT_EQ(m_scan.nSlideContainers, 0u);
    EXPECT_EQ(m_builder.m_log, (Log{"slide 1 layout 1"})) << "no planned slide after the cancel";
    CancelToken going;
    CRawFile closed;
    EXPECT_FALSE(RebuildFromFragments({closed, "", m_pictures, m_scan, going}, 512, "unused.ppt", SlidePlan{}));
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

void CarvePictures(CPictureCarver& pictures, const Bytes& file) {
    for (std::size_t at = 0; at + 8 <= file.size(); ++at)
        pictures.m_nCount += pictures.MatchPicture(CByteView(file.data(), file.size()), at, at, file.size());
}

// A JPEG BLIP record whose id is sixteen bytes of `idByte`.
Records JpegBlip(std::uint8_t idByte) {
    return Records().Header(0x46A0, 0xF01D, 17 + 8).Raw(Bytes(16, idByte)).Raw({0xFF}).Raw(Bytes(8, 0xD8));
}

// A full save whose BStore has entries for pictures 0x11 and 0x22, where slide
// B's shape shows the second (pib 2) and C's the first (pib 1) and the second
// (a fill); the file goes on with the pictures 0x22, 0x33 (shown by no
// slide) and 0x11.
Bytes StreamWithPictures(std::uint16_t slidesListType) {
    Records store;
    for (std::uint8_t id : {0x11, 0x22})
        store.Append(Records().Header(0x0052, 0xF007, 36).Raw({5, 5}).Raw(Bytes(16, id)).Raw(Bytes(18, 0)));
    const Records group = store.Wrapped(0xF001, 0, 2).Wrapped(0xF000).Wrapped(0x040B);
    const Records showsSecond = Records().Header(0x0013, 0xF00B, 6).Raw({0x04, 0x41}).Le32(2);
    const Records showsBoth =
        Records().Header(0x0023, 0xF00B, 12).Raw({0x04, 0x41}).Le32(1).Raw({0x86, 0x41}).Le32(2);
    Saves saves;
    saves.Save({{Saves::kDocId, Saves::Document({{3, "A"}, {4, "B"}, {5, "C"}}, slidesListType, group)},
                {Saves::kMasterId, Saves::Master()},
                {3, Saves::Slide("A body")},
                {4, Saves::Slide("B body", 0, showsSecond.Wrapped(0xF004))},
                {5, Saves::Slide("C body", 0, showsBoth.Wrapped(0xF004))}});
    Bytes file = saves.Stream();
    for (std::uint8_t id : {0x22, 0x33, 0x11}) {
        const Bytes blip = JpegBlip(id).bytes();
        file.insert(file.end(), blip.begin(), blip.end());
    }
    file.resize(file.size() + 600, 0);
    return file;
}

// The carved pictures are numbered in file order: PICT1 is 0x22, PICT3 0x11.
TEST_F(FragmentRebuild, PlannedSlidesShowTheirOwnPictures) {
    TempDir temp;
    SetTempFolder(temp.path());
    struct Case {
        const char* what;
        std::uint16_t slidesListType;
        Log expected;
    } cases[] = {
        {"the slide list decides: each picture on the slides that show it, the one shown by none on no slide",
         kSlideListType,
         {"slide 1 layout 1", "title 'A' at 105", "box 'A body' at 95,125",
          "slide 2 layout 2", "title 'B' at 105", "box 'B body' at 95,125", "picture PICT1.JPEG",
          "slide 3 layout 2", "title 'C' at 105", "box 'C body' at 95,125", "picture PICT3.JPEG",
          "picture PICT1.JPEG"}},
        {"no slide list: the containers' slides show their pictures too",
         0x0FEF,
         {"slide 1 layout 1", "title 'A body' at 105", "slide 2 layout 2", "title 'B body' at 105",
          "picture PICT1.JPEG", "slide 3 layout 2", "title 'C body' at 105", "picture PICT3.JPEG",
          "picture PICT1.JPEG"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_builder.Restart();
        const Bytes file = StreamWithPictures(c.slidesListType);
        SourceFile source(file);
        CarvePictures(m_pictures, file);
        ASSERT_EQ(m_pictures.Pictures().size(), 3u);
        EXPECT_TRUE(Rebuild(source, 512));
        EXPECT_EQ(m_builder.m_log, c.expected);
        EXPECT_TRUE(std::filesystem::is_empty(temp.path())) << "the temporary pictures are deleted";
    }
    SetTempFolder({});
}

TEST_F(FragmentRebuild, PicturesGoOnSlidesOfTheirOwnThroughTemporaryFiles) {
    TempDir temp;
    SetTempFolder(temp.path());
    std::vector<std::string> data;
    const Bytes file = PictureFile(data);
    SourceFile source(file);
    CarvePictures(m_pictures, file);
    ASSERT_EQ(m_pictures.Pictures().size(), 3u);

    EXPECT_EQ(m_pictures.InsertPictures("working.ppt", source.File(), m_cancel), 1);
    EXPECT_EQ(m_builder.m_log, (Log{"slide 1 layout 12", "picture PICT1.JPEG", "slide 2 layout 12", "picture PICT2.PNG",
                                    "slide 3 layout 12", "picture PICT3.JPEG", "delete slide if empty"}));
    EXPECT_EQ(m_builder.m_pictureBytes, data);
    EXPECT_TRUE(std::filesystem::is_empty(temp.path())) << "the temporary pictures are deleted";

    // A refused picture leaves its slide to the next one.
    m_builder.m_log.clear();
    m_builder.m_refusePictures = true;
    EXPECT_EQ(m_pictures.InsertPictures("working.ppt", source.File(), m_cancel), 1);
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
    CarvePictures(m_pictures, file);
    EXPECT_EQ(m_pictures.InsertPictures("working.ppt", source.File(), m_cancel), 1);
    EXPECT_EQ(m_builder.m_log, (Log{"delete slide if empty"}));
    SetTempFolder({});
}

TEST_F(FragmentRebuild, NoPicturesMeansNothingToInsert) {
    SourceFile source(Bytes(2048, 0));
    EXPECT_EQ(m_pictures.InsertPictures("working.ppt", source.File(), m_cancel), 0);
    EXPECT_TRUE(m_builder.m_log.empty());
}

}  // namespace
