// The edit-chain check that decides whether a binary presentation opens: small
// constructed streams with one break each, and every sound file of the corpus.
#include "repair/ppt/edit_chain.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "repair/ppt/compound_file.h"
#include "support/process.h"
#include "support/record_builder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using record_builder::Header;
using record_builder::Half;
using record_builder::Word;

void Set32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = (v >> (8 * i)) & 0xFF;
}

// A document stream saved twice: the first save wrote the DocumentContainer,
// a slide, a persist directory and a user edit; the second appended a new
// DocumentContainer, its directory and a user edit that points back.
struct Streams {
    Bytes currentUser;
    Bytes document;
    std::size_t firstDocument, slide, firstDirectory, firstEdit, secondDocument, secondDirectory, secondEdit;

    Streams() {
        firstDocument = Container(0x03E8, 40);
        slide = Container(0x03EE, 16);
        firstDirectory = Directory({{1, {std::uint32_t(firstDocument), std::uint32_t(slide)}}});
        firstEdit = Edit(0, firstDirectory);
        secondDocument = Container(0x03E8, 48);
        secondDirectory = Directory({{1, {std::uint32_t(secondDocument)}}});
        secondEdit = Edit(firstEdit, secondDirectory);

        Header(currentUser, 0x0000, 0x0FF6, 20);
        Word(currentUser, 20);
        Word(currentUser, 0xE391C05F);
        Word(currentUser, std::uint32_t(secondEdit));
        Half(currentUser, 0);
        Half(currentUser, 0x03F4);
        currentUser.push_back(3);
        currentUser.push_back(0);
        Half(currentUser, 0);
    }

    std::size_t Container(std::uint16_t type, std::uint32_t length) {
        std::size_t at = document.size();
        Header(document, 0x000F, type, length);
        document.resize(document.size() + length, 0xAB);
        return at;
    }
    std::size_t Directory(const std::vector<std::pair<std::uint32_t, std::vector<std::uint32_t>>>& runs) {
        std::size_t at = document.size();
        std::uint32_t length = 0;
        for (const auto& run : runs)
            length += 4 + 4 * std::uint32_t(run.second.size());
        Header(document, 0x0000, 0x1772, length);
        for (const auto& [first, offsets] : runs) {
            Word(document, first | std::uint32_t(offsets.size()) << 20);
            for (std::uint32_t offset : offsets)
                Word(document, offset);
        }
        return at;
    }
    std::size_t Edit(std::size_t lastEdit, std::size_t directory) {
        std::size_t at = document.size();
        Header(document, 0x0000, 0x0FF5, 28);
        Word(document, 256);  // lastSlideIdRef
        Half(document, 0);
        document.push_back(0);
        document.push_back(3);
        Word(document, std::uint32_t(lastEdit));
        Word(document, std::uint32_t(directory));
        Word(document, 1);  // docPersistIdRef
        Word(document, 3);  // persistIdSeed
        Half(document, 1);  // lastView
        Half(document, 0);
        return at;
    }
    // Offsets of the fields of a user edit.
    static std::size_t OffsetLastEdit(std::size_t edit) { return edit + 16; }
    static std::size_t OffsetDirectory(std::size_t edit) { return edit + 20; }
    static std::size_t DocumentRef(std::size_t edit) { return edit + 24; }
};

struct BreakCase {
    const char* name;
    std::function<void(Streams&)> damage;
    EditChainFault fault;
};

const std::vector<BreakCase>& BreakCases() {
    static const std::vector<BreakCase> cases = {
        {"Sound", [](Streams&) {}, EditChainFault::None},
        {"UserEditWithEncryptionField",
         [](Streams& s) {
             // A 32-byte user edit appended as the newest one.
             std::size_t at = s.Edit(s.secondEdit, s.secondDirectory);
             Set32(s.document, at + 4, 32);
             Word(s.document, 0);
             Set32(s.currentUser, 16, std::uint32_t(at));
         },
         EditChainFault::None},
        {"CurrentUserTruncated", [](Streams& s) { s.currentUser.resize(12); }, EditChainFault::CurrentUserMissing},
        {"CurrentUserWrongRecord", [](Streams& s) { s.currentUser[2] = 0xF5; }, EditChainFault::CurrentUserMissing},
        {"CurrentEditBeyondStream",
         [](Streams& s) { Set32(s.currentUser, 16, std::uint32_t(s.document.size() + 100)); },
         EditChainFault::EditOutsideStream},
        {"CurrentEditAtomCutByStreamEnd", [](Streams& s) { s.document.resize(s.secondEdit + 20); },
         EditChainFault::EditOutsideStream},
        {"CurrentEditNotAUserEdit", [](Streams& s) { Set32(s.currentUser, 16, std::uint32_t(s.secondDocument)); },
         EditChainFault::NotUserEdit},
        {"UserEditOfOtherLength", [](Streams& s) { Set32(s.document, s.secondEdit + 4, 24); },
         EditChainFault::NotUserEdit},
        {"DirectoryBeyondStream",
         [](Streams& s) { Set32(s.document, Streams::OffsetDirectory(s.secondEdit), 0x7FFFFFF0); },
         EditChainFault::DirectoryOutsideStream},
        {"DirectoryNotADirectory",
         [](Streams& s) { Set32(s.document, Streams::OffsetDirectory(s.secondEdit), std::uint32_t(s.slide)); },
         EditChainFault::NotPersistDirectory},
        {"DirectoryEntryOverrunsDirectory",
         [](Streams& s) { Set32(s.document, s.secondDirectory + 8, 1 | 5u << 20); },
         EditChainFault::NotPersistDirectory},
        {"PersistOffsetBeyondStream", [](Streams& s) { Set32(s.document, s.secondDirectory + 12, 0x00FFFFFF); },
         EditChainFault::PersistOffsetOutside},
        {"PersistRecordRunsOutOfStream",
         [](Streams& s) { Set32(s.document, s.secondDocument + 4, std::uint32_t(s.document.size())); },
         EditChainFault::PersistOffsetOutside},
        {"DocumentIdInNoDirectory", [](Streams& s) { Set32(s.document, Streams::DocumentRef(s.secondEdit), 9); },
         EditChainFault::DocumentNotResolved},
        {"DocumentIdLeadsToASlide",
         [](Streams& s) { Set32(s.document, s.secondDirectory + 12, std::uint32_t(s.slide)); },
         EditChainFault::NotDocumentContainer},
        {"EarlierEditBeyondStream",
         [](Streams& s) { Set32(s.document, Streams::OffsetLastEdit(s.secondEdit), 0x00FFFFFF); },
         EditChainFault::EditOutsideStream},
        {"EarlierEditNotAUserEdit",
         [](Streams& s) { Set32(s.document, Streams::OffsetLastEdit(s.secondEdit), std::uint32_t(s.slide)); },
         EditChainFault::NotUserEdit},
        {"EarlierDirectoryBroken",
         [](Streams& s) { Set32(s.document, s.firstDirectory + 16, 0x00FFFFFF); },
         EditChainFault::PersistOffsetOutside},
        {"EarlierDocumentIdLeadsToASlide",
         [](Streams& s) { Set32(s.document, Streams::DocumentRef(s.firstEdit), 2); },
         EditChainFault::NotDocumentContainer},
        {"EarlierDocumentIdInNoDirectory",
         [](Streams& s) { Set32(s.document, Streams::DocumentRef(s.firstEdit), 7); },
         EditChainFault::DocumentNotResolved},
        {"ChainLoopsOnItself",
         [](Streams& s) { Set32(s.document, Streams::OffsetLastEdit(s.firstEdit), std::uint32_t(s.secondEdit)); },
         EditChainFault::ChainLoop},
    };
    return cases;
}

class EditChainBreaks : public ::testing::TestWithParam<std::size_t> {};

TEST_P(EditChainBreaks, AreFoundAndNamed) {
    const BreakCase& c = BreakCases()[GetParam()];
    Streams streams;
    c.damage(streams);
    EXPECT_STREQ(EditChainFaultName(CheckEditChain(streams.currentUser, streams.document)),
                 EditChainFaultName(c.fault));
}

INSTANTIATE_TEST_SUITE_P(Constructed, EditChainBreaks, ::testing::Range<std::size_t>(0, BreakCases().size()),
                         [](const auto& info) { return std::string(BreakCases()[info.param].name); });

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A corpus file is sound when its own edit chain was found intact and it is
// not encrypted; the fuzzer-made files are damaged by design.
bool Sound(const std::string& name, const std::string& truth) {
    return truth.find("\"current_edit_ok\": true") != std::string::npos &&
           truth.find("\"ppt_encrypted\": false") != std::string::npos &&
           name.find("clusterfuzz") == std::string::npos;
}

TEST(EditChainCorpus, EverySoundPresentationPasses) {
    namespace fs = std::filesystem;
    fs::path folder = SharedPath("corpus/ppt");
    ASSERT_TRUE(fs::is_directory(folder)) << "no corpus at " << folder;
    int sound = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        std::string truth = ReadText(SharedPath("corpus/truth/" + name + ".json"));
        if (!Sound(name, truth))
            continue;
        ++sound;
        EXPECT_TRUE(CheckPresentationFileEditChain(entry.path().string())) << name;
    }
    EXPECT_GT(sound, 50);
}

TEST(EditChainCorpus, EncryptedAndOldFormatPresentationsFail) {
    for (const char* name : {"olet-encrypted.ppt", "poi-Password_Protected-hello.ppt", "poi-pp40only.ppt"}) {
        std::string path = SharedPath(std::string("corpus/ppt/") + name);
        if (std::filesystem::exists(path)) {
            EXPECT_FALSE(CheckPresentationFileEditChain(path)) << name;
        }
    }
}

TEST(CompoundFile, ReadsStreamsFromTheMiniStreamAndTheMainOne) {
    std::string path = SharedPath("corpus/ppt/poi-38256.ppt");
    ASSERT_TRUE(std::filesystem::exists(path)) << "no corpus at " << path;
    auto currentUser = ReadCompoundStream(path, "Current User");
    auto document = ReadCompoundStream(path, "powerpoint document");  // names compare without case
    ASSERT_TRUE(currentUser && document);
    EXPECT_EQ(currentUser->size(), 68u);
    EXPECT_EQ(document->size(), 7568u);
    EXPECT_FALSE(ReadCompoundStream(path, "No Such Stream"));
    EXPECT_FALSE(ReadCompoundStream(SharedPath("corpus/MANIFEST.tsv"), "Current User"));
}

}  // namespace
