// The new binary presentation: its streams and their order, the "Current User"
// stream pointing at the user edit, a patch that touches nothing else, and the
// test open by a recording stand-in for the office.
#include "repair/ppt/presentation_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "repair/ppt/compound_file.h"
#include "automation/powerpoint_automation.h"
#include "platform/com_runtime.h"
#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/record_scanner.h"
#include "support/compound_directory.h"
#include "support/ole_reader.h"
#include "support/recording_server.h"
#include "support/source_file.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Calls = std::vector<std::string>;

const Bytes kTemplate(kCurrentUserTemplate.begin(), kCurrentUserTemplate.end());
const Bytes kAtomHeader = {0x00, 0x00, 0xF6, 0x0F};

Bytes DocumentStream(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(0x20 + i % 90);
    return b;
}

void Put(Bytes& b, std::size_t at, const Bytes& what) {
    std::memcpy(&b[at], what.data(), what.size());
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// The template as the patch leaves it for `offset`.
Bytes PatchedTemplate(std::uint32_t offset) {
    Bytes b = kTemplate;
    PutLe32(&b[kCurrentEditFieldOffset], offset);
    return b;
}

// The stream as both readers see it; they must agree.
std::optional<Bytes> Stream(const std::string& path, const std::string& name) {
    const auto gsf = ReadOleStream(path, name);
    EXPECT_EQ(gsf, ReadCompoundStream(path, name)) << name;
    return gsf;
}

std::vector<std::string> StreamNames(const std::string& path) {
    std::vector<std::string> names;
    for (const DirectoryEntry& entry : ReadDirectory(path))
        if (entry.type == 2)
            names.push_back(entry.name);
    return names;
}

Calls TestOpenCalls(const std::string& path) {
    return {"[create Application]", "Application.Presentations GET()", "Application.Visible PUT(BOOL 1)",
            "Presentations.Open METHOD(BSTR " + path + ")", "Application.DisplayAlerts PUT(I4 1)",
            "Presentation.Close METHOD()"};
}

class PresentationWriter : public ::testing::Test {
protected:
    void SetUp() override { m_path = m_dir / "__working.ppt"; }
    void TearDown() override {
        g_pptAutomation.ClosePowerPoint(FALSE, "", 0);
        EXPECT_EQ(m_fake.LiveObjects(), 0) << "references left behind";
    }

    BOOL Write(const Bytes& document) {
        return WritePresentationFile({m_pictures, *m_source}, m_cancel, 512, document.data(), m_path,
                                     static_cast<std::uint32_t>(document.size()), 12000);
    }

    CPictureCarver m_pictures;
    CRawFile m_closed;
    CRawFile* m_source = &m_closed;  // where the carved pictures are read from
    CancelToken m_cancel;

    CRecordingServer m_fake;
    TempDir m_dir;
    std::string m_path;
};

}  // namespace

TEST_F(PresentationWriter, CurrentUserPointsAtTheUserEdit) {
    const Bytes document = DocumentStream(13000);
    ASSERT_TRUE(Write(document));

    const auto currentUser = Stream(m_path, kCurrentUserStreamName);
    ASSERT_TRUE(currentUser.has_value());
    ASSERT_EQ(currentUser->size(), 62u);
    EXPECT_EQ(Bytes(currentUser->begin() + 16, currentUser->begin() + 20), (Bytes{0xE0, 0x2E, 0x00, 0x00}));
    EXPECT_EQ(*currentUser, PatchedTemplate(12000)) << "every other byte as the template lists it";
    EXPECT_EQ(Stream(m_path, kDocumentStreamName), document);
}

TEST_F(PresentationWriter, WithoutPicturesTheFileHoldsTwoStreams) {
    ASSERT_TRUE(Write(DocumentStream(13000)));
    EXPECT_EQ(StreamNames(m_path), (std::vector<std::string>{kDocumentStreamName, kCurrentUserStreamName}));
    EXPECT_FALSE(ReadOleStream(m_path, kPicturesStreamName).has_value());
}

// The office stays for the rest of the repair, which ends it.
TEST_F(PresentationWriter, TheOfficeOpensTheFileAndClosesItUnsaved) {
    ASSERT_TRUE(Write(DocumentStream(13000)));
    EXPECT_EQ(m_fake.Log(), TestOpenCalls(m_path));
    EXPECT_NE(g_pptAutomation.m_pApplication, nullptr);
    EXPECT_TRUE(std::filesystem::exists(m_path));
}

// Only the "Current User" stream's atom is patched: lookalikes of its header,
// or of the whole template but for one byte, inside the document stream stay
// as they are. Both a document stream in sectors of its own and one in the
// mini stream beside "Current User".
TEST_F(PresentationWriter, LookalikesInTheDocumentStreamAreLeftUnchanged) {
    Bytes prefixOnly(kTemplate.begin(), kTemplate.begin() + 16);
    Bytes lastByteDiffers = kTemplate;
    lastByteDiffers.back() ^= 0xFF;
    Bytes fieldOnlyMissing = kTemplate;  // the template cut before its field
    fieldOnlyMissing.resize(kCurrentEditFieldOffset);
    struct Case {
        const char* what;
        std::size_t size;
        std::vector<std::pair<std::size_t, Bytes>> puts;
    };
    const Case cases[] = {
        {"atom header in the middle", 13000, {{5000, kAtomHeader}}},
        {"atom header at the start", 13000, {{0, kAtomHeader}}},
        {"atom header in the last bytes", 13000, {{13000 - 4, kAtomHeader}}},
        {"atom header 16 bytes before the end", 13000, {{13000 - 20, kAtomHeader}}},
        {"template prefix with another tail", 13000, {{7001, prefixOnly}}},
        {"template with its last byte changed", 13000, {{9000, lastByteDiffers}}},
        {"template prefix at the end", 13000, {{13000 - 16, fieldOnlyMissing}}},
        {"small stream with an atom header", 600, {{100, kAtomHeader}, {600 - 4, kAtomHeader}}},
        {"small stream with the template prefix", 600, {{64, prefixOnly}, {300, lastByteDiffers}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes document = DocumentStream(c.size);
        for (const auto& [at, bytes] : c.puts)
            Put(document, at, bytes);
        ASSERT_TRUE(Write(document));
        EXPECT_EQ(Stream(m_path, kDocumentStreamName), document);
        EXPECT_EQ(Stream(m_path, kCurrentUserStreamName), PatchedTemplate(12000));
    }
}

TEST_F(PresentationWriter, PicturesComeFirstAsTheRecordsBackToBack) {
    // Two PNG BLIPs in a source file; the second's data holds an atom header and
    // the template's prefix, which the patch must not touch.
    Bytes source(40000, 0x11);
    Bytes first(8 + 2992, 0xAA), second(8 + 4992, 0xBB);
    PutLe16(&first[0], 0x6E00);
    PutLe16(&first[2], 0xF01E);
    PutLe32(&first[4], 2992);
    PutLe16(&second[0], 0x7A80);
    PutLe16(&second[2], 0xF01F);
    PutLe32(&second[4], 4992);
    Put(second, 1000, kAtomHeader);
    Put(second, 2000, Bytes(kTemplate.begin(), kTemplate.begin() + 16));
    Put(source, 1001, first);
    Put(source, 20000, second);
    SourceFile file(source);
    ASSERT_TRUE(file.IsOpen());
    m_source = &file.File();
    ASSERT_EQ(m_pictures.MatchPicture(CByteView(source.data(), source.size()), 1001, 1001, source.size()), 1);
    ASSERT_EQ(m_pictures.MatchPicture(CByteView(source.data(), source.size()), 20000, 20000, source.size()), 1);

    const Bytes document = DocumentStream(13000);
    ASSERT_TRUE(Write(document));

    Bytes pictures = first;
    pictures.insert(pictures.end(), second.begin(), second.end());
    EXPECT_EQ(Stream(m_path, kPicturesStreamName), pictures);
    EXPECT_EQ(Stream(m_path, kDocumentStreamName), document);
    EXPECT_EQ(Stream(m_path, kCurrentUserStreamName), PatchedTemplate(12000));

    // The directory holds the streams in the order they were written, and the
    // pictures' sectors precede the document's.
    const auto entries = ReadDirectory(m_path);
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries[1].name, kPicturesStreamName);
    EXPECT_EQ(entries[2].name, kDocumentStreamName);
    EXPECT_EQ(entries[3].name, kCurrentUserStreamName);
    EXPECT_LT(entries[1].start, entries[2].start);
    EXPECT_EQ(StreamNames(m_path).size(), 3u);
}

TEST_F(PresentationWriter, PicturesThatCannotBeReadAreLeftOut) {
    Bytes source(10000, 0x11);
    PutLe16(&source[100], 0x6E00);
    PutLe16(&source[102], 0xF01E);
    PutLe32(&source[104], 2000);
    {
        SourceFile file(source);
        ASSERT_EQ(m_pictures.MatchPicture(CByteView(source.data(), source.size()), 100, 100, source.size()), 1);
    }  // the file under repair is closed: its pictures can no longer be read
    ASSERT_TRUE(Write(DocumentStream(13000)));
    EXPECT_EQ(StreamNames(m_path), (std::vector<std::string>{kDocumentStreamName, kCurrentUserStreamName}));
}

TEST_F(PresentationWriter, ARefusedFileIsDeletedAndTheOfficeEnded) {
    m_fake.Script("Presentations.Open", {FakeAnswer::Fails(E_FAIL)});
    EXPECT_FALSE(Write(DocumentStream(13000)));
    EXPECT_FALSE(std::filesystem::exists(m_path));
    const Calls expected = {"[create Application]", "Application.Presentations GET()",
                            "Application.Visible PUT(BOOL 1)", "Presentations.Open METHOD(BSTR " + m_path + ")",
                            "Application.Quit METHOD()"};
    EXPECT_EQ(m_fake.Log(), expected);
    EXPECT_EQ(g_pptAutomation.m_pApplication, nullptr);
}

TEST_F(PresentationWriter, WithoutAnOfficeTheFileIsDeleted) {
    auto previous = CoRevokeServer(kPowerPointProgId);
    EXPECT_FALSE(Write(DocumentStream(13000)));
    CoRestoreServer(kPowerPointProgId, previous);
    EXPECT_FALSE(std::filesystem::exists(m_path));
}

TEST_F(PresentationWriter, ACancelStopsBeforeThePatchAndTheOffice) {
    m_cancel.Cancel();
    EXPECT_FALSE(Write(DocumentStream(13000)));
    EXPECT_TRUE(m_fake.Log().empty());
    ASSERT_TRUE(std::filesystem::exists(m_path)) << "the complete file stays";
    EXPECT_EQ(Stream(m_path, kCurrentUserStreamName), kTemplate) << "not patched";
}

TEST_F(PresentationWriter, AFileThatCannotBeCreatedGivesFalse) {
    m_path = m_dir / "missing/__working.ppt";
    EXPECT_FALSE(Write(DocumentStream(100)));
    EXPECT_TRUE(m_fake.Log().empty());
}

// The patch pass reads the file in pieces: templates across piece boundaries
// and at the end of the file are found, a template cut by the end is not, and
// no other byte changes.
TEST(CurrentUserPatch, FindsWholeTemplatesAcrossPiecesAndWithinTheFile) {
    struct Case {
        const char* what;
        std::size_t fileSize;
        std::vector<std::size_t> templates;  // whole templates at these offsets
        std::size_t cutAt;                   // a template cut by the end of the file, or 0 for none
        int patched;
    };
    const Case cases[] = {
        {"none", 3000, {}, 0, 0},
        {"at the start", 3000, {0}, 0, 1},
        {"straddling the first piece", 3000, {500}, 0, 1},
        {"field on the piece boundary", 3000, {512 - 18}, 0, 1},
        {"starting at the last byte of a piece", 3000, {1023}, 0, 1},
        {"ending the file", 3000, {3000 - 62}, 0, 1},
        {"the whole file", 62, {0}, 0, 1},
        {"cut by the end", 3000, {}, 3000 - 40, 0},
        {"several", 5000, {10, 700, 2047, 4938}, 0, 4},
    };
    const CancelToken going;
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = DocumentStream(c.fileSize);
        Bytes expected = bytes;
        for (std::size_t at : c.templates) {
            Put(bytes, at, kTemplate);
            Put(expected, at, PatchedTemplate(0x01020304));
        }
        if (c.cutAt) {
            Put(bytes, c.cutAt, Bytes(kTemplate.begin(), kTemplate.begin() + (c.fileSize - c.cutAt)));
            Put(expected, c.cutAt, Bytes(kTemplate.begin(), kTemplate.begin() + (c.fileSize - c.cutAt)));
        }
        const std::string path = dir / "patch.bin";
        WriteFile(path, bytes);
        EXPECT_EQ(PatchCurrentUserAtoms(path, 0x01020304, going, 1), c.patched);
        EXPECT_EQ(ReadFile(path), expected);
    }
}

TEST(CurrentUserPatch, FailuresAndCancelGiveMinusOne) {
    TempDir dir;
    CancelToken token;
    EXPECT_EQ(PatchCurrentUserAtoms(dir / "missing.ppt", 1, token), -1);
    const std::string path = dir / "cancel.bin";
    WriteFile(path, kTemplate);
    token.Cancel();
    EXPECT_EQ(PatchCurrentUserAtoms(path, 1, token), -1);
    EXPECT_EQ(ReadFile(path), kTemplate);
}
