// The binary repair's scans on the real presentations of the shared corpus: the
// document image against the stream as libgsf reads it, the carved pictures
// against the file's own "Pictures" stream, the encryption check, and the job's
// binary chain over every file and damaged copies of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "repair/io/raw_file.h"
#include "repair/io/job_control.h"
#include "repair/job/repair_state.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/document_edit_table.h"
#include "repair/ppt/document_image.h"
#include "repair/ppt/record_scanner.h"
#include "repair/ppt/stream_reassembly.h"
#include "support/job_harness.h"
#include "support/ole_reader.h"
#include "support/process.h"
#include "support/source_file.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct CorpusFile {
    std::string name;
    std::string path;
    std::string notes;  // the manifest's notes, which say what the file is
};

std::map<std::string, std::string> ManifestNotes(const std::string& manifest) {
    std::map<std::string, std::string> notes;
    std::ifstream in(SharedPath(manifest));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream row(line);
        for (std::string field; std::getline(row, field, '\t');)
            fields.push_back(field);
        if (fields.size() > 7)
            notes[fields[0]] = fields[7];
    }
    return notes;
}

// Every file of corpus/ppt and of the 4096-byte-sector variants.
const std::vector<CorpusFile>& BinaryCorpus() {
    static const std::vector<CorpusFile> files = [] {
        std::vector<CorpusFile> all;
        for (const char* folder : {"corpus/ppt", "corpus/variants/ppt"}) {
            const auto notes = ManifestNotes(std::string(folder) == "corpus/ppt" ? "corpus/MANIFEST.tsv"
                                                                                   : "corpus/variants/MANIFEST.tsv");
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(SharedPath(folder), ec))
                if (e.is_regular_file()) {
                    const std::string name = e.path().filename().string();
                    auto found = notes.find(name);
                    all.push_back({name, e.path().string(), found == notes.end() ? "" : found->second});
                }
        }
        std::sort(all.begin(), all.end(), [](auto& a, auto& b) { return a.name < b.name; });
        return all;
    }();
    return files;
}

// Encrypted by the presentation format itself (RC4 CryptoAPI).
bool PresentationEncrypted(const CorpusFile& f) { return f.notes.find("ENCRYPTED: RC4") != std::string::npos; }
bool PackageEncrypted(const CorpusFile& f) { return f.notes.find("ENCRYPTED OOXML") != std::string::npos; }

std::uint32_t SectorSizeOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char header[32] = {};
    in.read(header, sizeof header);
    const int shift = static_cast<unsigned char>(header[30]);
    return shift == 9 || shift == 12 ? 1u << shift : 512u;
}

// The scans and the trim on real files. The job runs without an office server
// here, so it ends after the trim: neither the written file nor a rebuilt one
// can be opened.
class BinaryCorpusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(BinaryCorpus().empty()) << "the shared corpus is not there"; }

    CancelToken m_cancel;
};

// Files whose image is not the stream, and why the scan design accepts it: a run
// starts only at a sector that begins with a DocumentContainer header, and with
// no run the whole file is the image.
const std::map<std::string, std::string> kImageDifferences = {
    {"poi-56260.ppt", "the stream's first sector holds other records; its DocumentContainer lies further in"},
    {"poi-PPT95.ppt", "a PowerPoint 95 file: its document stream has no DocumentContainer header"},
};

TEST_F(BinaryCorpusTest, ImageBeginsWithTheDocumentStream) {
    int compared = 0;
    for (const CorpusFile& f : BinaryCorpus()) {
        if (PresentationEncrypted(f))
            continue;
        const auto stream = ReadOleStream(f.path, "PowerPoint Document");
        if (!stream)
            continue;
        SCOPED_TRACE(f.name);
        SourceFile source(f.path);
        ASSERT_TRUE(source.IsOpen());
        CStreamLocator locator;
        CDocumentImage image;
        ASSERT_TRUE(BuildDocumentImage(source.File(), SectorSizeOf(f.path), locator, image, m_cancel));
        const bool same = !image.wholeFile && image.length >= stream->size() &&
                          std::equal(stream->begin(), stream->end(), image.bytes.begin());
        auto known = kImageDifferences.find(f.name);
        if (known != kImageDifferences.end()) {
            EXPECT_FALSE(same) << "listed as different: " << known->second;
            continue;
        }
        ++compared;
        EXPECT_TRUE(same) << "whole file: " << image.wholeFile << ", image " << image.length << " bytes, stream "
                          << stream->size();
    }
    EXPECT_GT(compared, 50);
}

// The file's bytes with every FAT sector that its header lists zeroed.
Bytes WithoutFat(const std::string& path, std::uint32_t sectorSize) {
    std::ifstream in(path, std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const CByteView view(file.data(), file.size());
    for (std::size_t i = 0; i < 109; ++i) {
        const auto sector = view.Le32(76 + 4 * i);
        const std::uint64_t at = sector ? (std::uint64_t{*sector} + 1) * sectorSize : 0;
        if (at != 0 && at + sectorSize <= file.size())
            std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(at), sectorSize, 0);
    }
    return file;
}

// Files whose document stream is stored in several runs of sectors that must
// come back whole without the FAT. Elsewhere the reassembly may give nothing
// (where the records leave the order of some sectors a guess), never a wrong
// stream. The second group is told apart by the CRCs of the ZIP packages in
// their shapes' property tables.
const std::set<std::string> kFragmentedAndReassembled = {
    "jod-test.ppt", "poi-41071.ppt", "poi-44770.ppt", "poi-45537_Footer.ppt", "poi-45776.ppt",
    "poi-bug45908.ppt", "poi-bug60345_paperfigures.ppt", "poi-next_test_ppt_file.ppt", "poi-numbers.ppt",
    "tika-testPPT.ppt",

    "aspj-PPTtoPPTX.ppt", "aspj-pptx4j_presentation.ppt", "aspn-Conversion_PPT_to_PPTX.ppt",
    "olet-embedded-simple-2007.pot", "poi-54880_chinese.ppt", "poi-59302.ppt", "poi-SimpleMacro.ppt",
    "poi-badzip.ppt", "poi-bug45088.ppt", "poi-bug53192.ppt", "poi-bug55732.ppt",
    "poi-bug57820-initTableNullRefrenceException.ppt", "poi-bug58144-headers-footers-2007.ppt",
    "poi-bug62591.ppt", "poi-datetime.ppt", "poi-master_text.ppt", "poi-table_test.ppt",
    "tika-testComment.ppt", "tika-testOptionalHyphen.ppt", "tika-testPPT_autodate.ppt",
    "tika-testPPT_custom_props.ppt", "tika-testPPT_masterText2.ppt",
};

TEST_F(BinaryCorpusTest, DocumentStreamIsPutBackTogetherWithoutItsFatOrNotAtAll) {
    int whole = 0;
    for (const CorpusFile& f : BinaryCorpus()) {
        const auto stream = ReadOleStream(f.path, "PowerPoint Document");
        if (PresentationEncrypted(f) || !stream || stream->size() < 4096)
            continue;
        SCOPED_TRACE(f.name);
        const Bytes file = WithoutFat(f.path, SectorSizeOf(f.path));
        const auto reassembled = ReassembleDocumentStream(CByteView(file.data(), file.size()), m_cancel);
        if (reassembled) {
            EXPECT_TRUE(*reassembled == *stream) << "a different stream";
            ++whole;
        } else {
            EXPECT_FALSE(kFragmentedAndReassembled.count(f.name)) << "listed as put back together";
        }
    }
    EXPECT_GT(whole, 30);
}

// The BLIP records of a "Pictures" stream, one after the other, up to the zeros
// that pad some streams.
std::vector<Bytes> RecordsOf(const Bytes& stream) {
    constexpr std::uint16_t kFirstBlip = 0xF018, kLastBlip = 0xF117;
    std::vector<Bytes> records;
    std::size_t at = 0;
    while (at + 8 <= stream.size()) {
        const std::uint16_t type = static_cast<std::uint16_t>(stream[at + 2] | stream[at + 3] << 8);
        const std::uint64_t length = 8 + (std::uint64_t{stream[at + 4]} | stream[at + 5] << 8 |
                                          stream[at + 6] << 16 | std::uint64_t{stream[at + 7]} << 24);
        if (type < kFirstBlip || type > kLastBlip || length > stream.size() - at)
            break;
        records.emplace_back(stream.begin() + at, stream.begin() + at + length);
        at += length;
    }
    return records;
}

// Files whose carved pictures are not their "Pictures" stream, and why the scan
// design accepts it: the carver copies every BLIP record of the file from its
// adjacent bytes.
constexpr const char* kFragmented =
    "the Pictures stream is stored in sectors that are not adjacent in the file, so a record that spans "
    "a jump is carved with the bytes that follow it in the file";
const std::map<std::string, std::string> kPictureDifferences = {
    {"fc-unc-+oxford2001.ppt", kFragmented},
    {"poi-43781.ppt", kFragmented},
    {"poi-44770.ppt", kFragmented},
    {"poi-bug60345_paperfigures.ppt", kFragmented},
    {"poi-numbers2.ppt", kFragmented},
    {"poi-56260.ppt", "40 more PNG BLIP records stand inside the PowerPoint Document stream, and are carved too"},
    {"poi-bug61881.ppt", "a third BLIP record stands in another stream of the file, and is carved too"},
};

TEST_F(BinaryCorpusTest, CarvedPicturesAreThePicturesStream) {
    int compared = 0;
    for (const CorpusFile& f : BinaryCorpus()) {
        if (PresentationEncrypted(f))
            continue;
        const auto pictures = ReadOleStream(f.path, "Pictures");
        if (!pictures)
            continue;
        SCOPED_TRACE(f.name);
        SourceFile source(f.path);
        CPictureCarver carver;
        ASSERT_TRUE(ScanSourceFile({source.File(), carver, m_cancel}, source.File().m_nFileSize, 512, kScanPictures));
        const std::uint32_t sectorSize = SectorSizeOf(f.path);
        Bytes carved(carver.GetPicturesStreamSize() + 3 * sectorSize, 0);
        if (!carver.Pictures().empty()) {
            ASSERT_EQ(carver.BuildPicturesStream(carved, source.File()), 1);
        }
        carved.resize(carver.GetPicturesStreamSize());
        const bool same = RecordsOf(carved) == RecordsOf(*pictures);
        auto known = kPictureDifferences.find(f.name);
        if (known != kPictureDifferences.end()) {
            EXPECT_FALSE(same) << "listed as different: " << known->second;
            continue;
        }
        ++compared;
        EXPECT_TRUE(same) << "carved " << RecordsOf(carved).size() << " records, stream holds "
                          << RecordsOf(*pictures).size();
    }
    EXPECT_GT(compared, 30);
}

}  // namespace

namespace {

bool IsCompoundFile(const std::string& path) {
    static const char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    std::ifstream in(path, std::ios::binary);
    char head[8] = {};
    in.read(head, sizeof head);
    return std::equal(head, head + 8, kSignature);
}

// The check refuses every presentation that the presentation format encrypts,
// including one whose "Current User" stream says it is not encrypted, and no
// sound file: picture and document bytes raise no false alarm.
TEST_F(BinaryCorpusTest, EncryptionCheckRefusesExactlyTheEncryptedPresentations) {
    std::set<std::string> refused;
    for (const CorpusFile& f : BinaryCorpus()) {
        if (!IsCompoundFile(f.path))
            continue;
        SCOPED_TRACE(f.name);
        SourceFile source(f.path);
        ASSERT_TRUE(source.IsOpen());
        CPictureCarver unused;
        const BOOL passes =
            ScanSourceFile({source.File(), unused, m_cancel}, source.File().m_nFileSize, 512, kScanEncryption);
        // A compound file that holds an encrypted OOXML package ("ENCRYPTED OOXML"
        // in the notes) has no presentation records for the check to find, and
        // passes it; the chain finds no document in it either.
        EXPECT_EQ(passes, PresentationEncrypted(f) ? FALSE : TRUE) << f.notes;
        if (!passes)
            refused.insert(f.name);
    }
    EXPECT_TRUE(refused.count("aspj-open_pass1.ppt")) << "its Current User claims it is not encrypted";
    EXPECT_GE(refused.size(), 6u);
}

// Checkpoints the job reported before its ending (which reports 100 of 100).
std::vector<double> Checkpoints(const JobRecord& record) {
    std::vector<double> points;
    for (const auto& [done, total] : record.progress)
        if (total != 100 && total != 0)
            points.push_back(static_cast<double>(done) / static_cast<double>(total));
    return points;
}

// Damaged copies made by the shared damage tool, in one Python process: every
// compound-file kind and every kind that works on any file, a few seeds for the
// kinds that make random choices.
std::vector<std::string> MakeDamagedCopies(const TempDir& dir, const std::vector<std::string>& sources) {
    std::string script =
        "import os, sys\n"
        "sys.path.insert(0, sys.argv[1])\n"
        "import damage\n"
        "out = sys.argv[2]\n"
        "kinds = [('truncate-90', ['1']), ('truncate-60', ['1']), ('zero-4k-middle', ['1']),\n"
        "         ('flip-every-1000', ['1', '2']), ('junk-prefix', ['1', '2']), ('zero-header', ['1']),\n"
        "         ('zero-fat', ['1']), ('zero-directory', ['1']), ('drop-current-user', ['1']),\n"
        "         ('zero-last-useredit', ['1'])]\n"
        "for src in sys.argv[3:]:\n"
        "    data = open(src, 'rb').read()\n"
        "    for kind, seeds in kinds:\n"
        "        for seed in seeds:\n"
        "            try:\n"
        "                damaged = damage.damage(kind, seed, data)\n"
        "            except damage.NotApplicable:\n"
        "                continue\n"
        "            name = '%s.%s.%s.ppt' % (os.path.basename(src), kind, seed)\n"
        "            open(os.path.join(out, name), 'wb').write(damaged)\n"
        "            print(name)\n";
    const std::string scriptPath = dir / "make_damaged.py";
    std::ofstream(scriptPath) << script;
    std::vector<std::string> args = {"/usr/bin/env", "python3", scriptPath, SharedPath("tools"), dir.path()};
    args.insert(args.end(), sources.begin(), sources.end());
    const ProcessResult made = RunProcess(args);
    EXPECT_EQ(made.exitCode, 0) << made.err;
    std::vector<std::string> paths;
    std::stringstream names(made.out);
    for (std::string name; std::getline(names, name);)
        paths.push_back(dir / name);
    return paths;
}

// Without the office, every binary repair fails where the office would take
// over: IDS_WORD13, or IDS_WORD14 for a file too small, IDS_PASSWORD_PROTECTED
// for an encrypted one, after every step of the chain.
void ExpectChainEnds(const JobRecord& record, const std::string& path, bool reachesTrim,
                     std::vector<const char*> keys) {
    EXPECT_TRUE(record.Failed());
    EXPECT_EQ(record.Outcome(), RepairOutcome::Failed);
    if (fs::file_size(path) < 2048)
        keys = {"IDS_WORD14"};
    std::vector<std::string> texts;
    for (const char* key : keys)
        texts.push_back(Text(key));
    EXPECT_NE(std::find(texts.begin(), texts.end(), record.Reason()), texts.end()) << record.Reason();
    if (!reachesTrim)
        return;
    // Every checkpoint of the chain: the writer is tried, then the rebuild.
    const std::vector<double> reached = Checkpoints(record);
    const std::vector<double> expected{0.1, 0.2, 0.33, 0.66, 0.95};
    ASSERT_EQ(reached.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(reached[i], expected[i], 1e-3);
}

TEST_F(BinaryCorpusTest, JobTakesEveryFileThroughTheChain) {
    TempDir temp;
    for (const CorpusFile& f : BinaryCorpus()) {
        SCOPED_TRACE(f.name);
        const bool compound = IsCompoundFile(f.path) && fs::file_size(f.path) >= 2048;
        const bool encrypted = PresentationEncrypted(f) || PackageEncrypted(f);
        const JobRecord record = RunJob(f.path, temp.path());
        ExpectChainEnds(record, f.path, compound && !encrypted, {encrypted ? "IDS_PASSWORD_PROTECTED" : "IDS_WORD13"});
        if (PresentationEncrypted(f)) {
            EXPECT_EQ(record.state->scan.nDocumentCount, 0u) << "refused before any document image is built";
        }
    }
}

TEST_F(BinaryCorpusTest, JobTakesDamagedCopiesThroughTheChain) {
    TempDir damaged, temp;
    std::vector<std::string> sources;
    for (const CorpusFile& f : BinaryCorpus())
        sources.push_back(f.path);
    const std::vector<std::string> copies = MakeDamagedCopies(damaged, sources);
    EXPECT_GT(copies.size(), sources.size() * 8);
    for (const std::string& copy : copies) {
        SCOPED_TRACE(copy);
        // A copy whose first bytes are no longer a compound file leaves the binary
        // path (a junk prefix or a zeroed header); it must still end cleanly.
        // Damage may hide the encryption or every trace of the presentation.
        if (IsCompoundFile(copy))
            ExpectChainEnds(RunJob(copy, temp.path()), copy, false,
                            {"IDS_WORD13", "IDS_PASSWORD_PROTECTED", "IDS_NOT_PRESENTATION"});
        else
            EXPECT_TRUE(RunJob(copy, temp.path()).Failed());
    }
}

}  // namespace

namespace {

// The document-edit table starts empty with every job: entries of an earlier
// file would otherwise be chosen when a later one is cut.
TEST_F(BinaryCorpusTest, EachJobStartsWithAnEmptyDocumentEditTable) {
    const std::string first = SharedPath("corpus/ppt/poi-38256.ppt");
    const std::string second = SharedPath("corpus/ppt/poi-with_textbox.ppt");
    ASSERT_TRUE(fs::exists(first) && fs::exists(second)) << "the corpus files are not there";
    TempDir temp;
    const auto alone = RunJob(second, temp.path()).state->scan.docEditTable.Entries();
    ASSERT_FALSE(alone.empty());
    ASSERT_NE(RunJob(first, temp.path()).state->scan.docEditTable.Entries(), alone);
    EXPECT_EQ(RunJob(second, temp.path()).state->scan.docEditTable.Entries(), alone);
}

}  // namespace
