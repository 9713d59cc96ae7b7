// Record scans, the document-edit table, the trim and the picture carver on
// small constructed buffers and files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/byte_prefilter.h"
#include "repair/ppt/document_edit_table.h"
#include "repair/ppt/document_trim.h"
#include "repair/ppt/record_scanner.h"
#include "support/source_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutHeader(Bytes& b, std::size_t at, std::uint16_t verInstance, std::uint16_t type, std::uint32_t length) {
    PutLe16(&b[at], verInstance);
    PutLe16(&b[at + 2], type);
    PutLe32(&b[at + 4], length);
}
void PutSignature(Bytes& b, std::size_t at, std::uint16_t verInstance, std::uint16_t type) {
    PutLe16(&b[at], verInstance);
    PutLe16(&b[at + 2], type);
}
void PutText(Bytes& b, std::size_t at, const std::string& text) { std::memcpy(&b[at], text.data(), text.size()); }

constexpr std::uint16_t kContainer = 0x000F;
constexpr std::uint16_t kDocumentType = 0x03E8, kMasterType = 0x03F8, kUserEditType = 0x0FF5;

class DocumentScan : public ::testing::Test {
protected:
    void ResetScanResults() { scan = {}; }
    // Scans a buffer of exactly the image's size: a read past it is caught by ASan.
    void Scan(const Bytes& image) { ScanDocumentRecords(scan, 512, image.data(), image.size()); }

    DocumentScanState scan;
};

TEST_F(DocumentScan, PairsEachContainerWithTheFirstUserEditAfterIt) {
    Bytes image(16000, 0);
    PutHeader(image, 0, kContainer, kDocumentType, 4000);
    PutHeader(image, 5000, 0, kUserEditType, 28);
    PutHeader(image, 9000, kContainer, kDocumentType, 2000);
    PutHeader(image, 12000, 0, kUserEditType, 32);
    Scan(image);
    EXPECT_EQ(scan.nDocumentCount, 2u);
    EXPECT_EQ(scan.posDocument, 9000u);
    EXPECT_EQ(scan.posUserEdit, 12000u);
    using Entry = std::pair<std::uint64_t, std::uint32_t>;
    EXPECT_EQ(scan.docEditTable.Entries(), (std::vector<Entry>{{0, 5028}, {9000, 3032}}));
}

TEST_F(DocumentScan, UserEditsThatTakeNoPart) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::size_t, std::uint32_t>> userEdits;  // offset, recLen
        std::size_t container;                                          // 0 for none
        std::uint64_t posUserEdit;
        std::size_t entries;
    } cases[] = {
        {"a recLen of 30 is ignored entirely", {{3000, 30}}, 1000, 0, 0},
        {"only the low 16 bits of recLen count", {{3000, 0x1001C}}, 1000, 3000, 1},
        {"a user edit before any container moves only the position", {{500, 28}}, 0, 500, 0},
        {"a second user edit after one container is not paired", {{2000, 28}, {3000, 32}}, 1000, 3000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetScanResults();
        Bytes image(4000, 0);
        if (c.container)
            PutHeader(image, c.container, kContainer, kDocumentType, 100);
        for (auto [offset, length] : c.userEdits)
            PutHeader(image, offset, 0, kUserEditType, length);
        Scan(image);
        EXPECT_EQ(scan.posUserEdit, c.posUserEdit);
        EXPECT_EQ(scan.docEditTable.Entries().size(), c.entries);
    }
}

// Every signature is found at every offset modulo 8 (the prefilter tests eight
// offsets at a time) and right up to the end of the image; a header cut by the
// end is not.
TEST_F(DocumentScan, SignaturesAreFoundAtEveryOffset) {
    const std::size_t length = 333;
    for (std::size_t at : {0ul, 1ul, 2ul, 3ul, 4ul, 5ul, 6ul, 7ul, 100ul, 293ul, length - 16, length - 8, length - 4}) {
        SCOPED_TRACE(at);
        ResetScanResults();
        Bytes image(length, 0);
        PutSignature(image, at, kContainer, kDocumentType);
        Scan(image);
        EXPECT_EQ(scan.nDocumentCount, 1u);
        EXPECT_EQ(scan.posDocument, at);

        ResetScanResults();
        Bytes masters(length, 0);
        PutSignature(masters, at, kContainer, kMasterType);
        Scan(masters);
        EXPECT_EQ(scan.nMasterCount, 1u);
    }
    Bytes cut(length, 0);
    PutHeader(cut, length - 8, kContainer, kDocumentType, 0);
    ResetScanResults();
    ScanDocumentRecords(scan, 512, cut.data(), length - 5);  // only three header bytes left
    EXPECT_EQ(scan.nDocumentCount, 0u);
}

TEST_F(DocumentScan, UserEditHeaderAtTheEndReadsItsLengthAsZero) {
    Bytes image(64, 0);
    PutHeader(image, 40, 0, kUserEditType, 28);
    ScanDocumentRecords(scan, 512, image.data(), 44);  // recLen lies beyond the image
    EXPECT_EQ(scan.posUserEdit, 0u);
}

Bytes DesignString(const std::u16string& name, std::uint32_t recLen) {
    Bytes b(8 + name.size() * 2, 0);
    PutHeader(b, 0, 0x0020, 0x0FBA, recLen);
    for (std::size_t i = 0; i < name.size(); ++i)
        PutLe16(&b[8 + 2 * i], name[i]);
    return b;
}

TEST_F(DocumentScan, DesignNameIsTheFirstInstanceTwoStringAfterEachMaster) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::size_t, Bytes>> records;
        std::u16string expected;
    } cases[] = {
        {"the string after the master",
         {{100, DesignString(u"Office Theme", 24)}}, u"Office Theme"},
        {"a later master's string replaces an earlier one",
         {{100, DesignString(u"First", 10)}, {600, {}}, {700, DesignString(u"Second", 12)}}, u"Second"},
        {"a recLen beyond the image is not found",
         {{100, DesignString(u"Broken", 0x7FFFFFFF)}}, u"kept"},
        {"an odd recLen keeps whole characters", {{100, DesignString(u"Ab", 3)}}, u"A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetScanResults();
        scan.recoveredProperties.m_strDesignName = u"kept";
        Bytes image(1000, 0);
        PutHeader(image, 10, kContainer, kMasterType, 50);
        for (const auto& [at, bytes] : c.records) {
            if (bytes.empty())
                PutHeader(image, at, kContainer, kMasterType, 50);
            else
                std::memcpy(&image[at], bytes.data(), bytes.size());
        }
        Scan(image);
        EXPECT_EQ(scan.recoveredProperties.m_strDesignName, c.expected);
    }
}

// A property set with one section at 48: identifier/offset pairs from 60 on,
// string values at 48 + offset (count at 52 + offset, text at 56 + offset).
Bytes PropertySet(std::uint32_t titleCount) {
    Bytes b(512, 0);
    PutLe32(&b[0], 0x0000FFFE);
    const struct { std::uint32_t id, offset, count; const char* text; } properties[] = {
        {2, 0x100, titleCount, "Deck title"}, {3, 0x120, 7, "Subject"}, {4, 0x140, 9, "An Author"}};
    std::size_t pair = 60;
    for (const auto& p : properties) {
        PutLe32(&b[pair], p.id);
        PutLe32(&b[pair + 4], p.offset);
        pair += 8;
        PutLe32(&b[52 + p.offset], p.count);
        PutText(b, 56 + p.offset, p.text);
    }
    return b;
}

TEST_F(DocumentScan, SummaryGivesTitleSubjectAndAuthor) {
    Bytes image(4000, 0);
    const Bytes set = PropertySet(10);
    std::memcpy(&image[1000], set.data(), set.size());
    Scan(image);
    EXPECT_EQ(scan.bSummaryFound, 1);
    EXPECT_EQ(scan.recoveredProperties.m_pDocProperties[0], "Deck title");
    EXPECT_EQ(scan.recoveredProperties.m_pDocProperties[1], "Subject");
    EXPECT_EQ(scan.recoveredProperties.m_pDocProperties[2], "An Author");
}

TEST_F(DocumentScan, SummaryEdgeCases) {
    struct Case {
        const char* what;
        std::uint32_t titleCount;
        std::size_t at;           // where the property set starts in a 4000-byte image
        bool secondSet;           // another set with other texts follows
        std::array<std::string, 3> expected;
    } cases[] = {
        {"a title over 100 bytes ends the walk", 101, 1000, false, {"", "", ""}},
        {"a title of 100 bytes is read up to its zero byte", 100, 1000, false, {"Deck title", "Subject", "An Author"}},
        {"only the first property set is used", 10, 1000, true, {"Deck title", "Subject", "An Author"}},
        {"a set cut by the end of the image reads zeros there", 10, 4000 - 340, false, {"Deck title", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetScanResults();
        Bytes image(4000, 0);
        const Bytes set = PropertySet(c.titleCount);
        std::memcpy(&image[c.at], set.data(), std::min<std::size_t>(set.size(), image.size() - c.at));
        if (c.secondSet) {
            Bytes other = PropertySet(10);
            PutText(other, 56 + 0x100, "Other titl");
            std::memcpy(&image[2000], other.data(), other.size());
        }
        Scan(image);
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_EQ(scan.recoveredProperties.m_pDocProperties[k], c.expected[k]) << k;
    }
}

// ---------------------------------------------------------------------------

TEST(DocumentEditTable, SetGetAndChoose) {
    CDocumentEditTable table;
    EXPECT_EQ(table.ChooseDocument(), 0u);
    EXPECT_EQ(table.GetEditLength(0), 0u);
    struct Step {
        std::uint64_t key;
        std::uint32_t value;
        std::uint64_t chosen;
    } steps[] = {
        {0, 5028, 0},
        {40000, 100, 40000},
        {80000, 200, 80000},
        {120000, 300, 120000},       // four entries: the last
        {160000, 400, 120000},       // five or more: the second-to-last
        {200000, 500, 160000},
        {40000, 111, 160000},        // an existing key is replaced in place
    };
    for (const Step& s : steps) {
        table.SetEditLength(s.key, s.value);
        EXPECT_EQ(table.ChooseDocument(), s.chosen) << s.key;
    }
    EXPECT_EQ(table.Entries().size(), 6u);
    EXPECT_EQ(table.GetEditLength(40000), 111u);
    EXPECT_EQ(table.GetEditLength(0), 5028u);
    EXPECT_EQ(table.GetEditLength(12345), 500u) << "an absent key gives the last entry's value";
    table.Clear();
    EXPECT_EQ(table.ChooseDocument(), 0u);
    EXPECT_EQ(table.GetEditLength(40000), 0u);
}

TEST(DocumentTrim, LengthsAndBuffers) {
    struct Case {
        const char* what;
        std::uint64_t imageLength;
        bool documentSeen;
        std::uint64_t start;
        std::uint32_t editLength;
        std::uint64_t length, buffer, copiedFrom;
    } cases[] = {
        {"ends with the user edit's record", 100000, true, 0, 99000, 99008, 99328, 0},
        {"no paired user edit: the whole image", 100000, true, 0, 0, 100000, 100352, 0},
        {"an edit length equal to the image: the whole image", 100000, true, 0, 100000, 100000, 100352, 0},
        {"a later container", 100000, true, 90000, 9000, 9008, 9216, 90000},
        {"a container near the end", 100000, true, 99800, 100, 108, 512, 99800},
        {"a user edit cut by the image's end: the image's rest", 100000, true, 99800, 196, 200, 512, 99800},
        {"no container: the whole image", 100000, false, 0, 0, 100000, 100352, 0},
        {"a key beyond the image: the whole image", 100000, true, 200000, 10, 100000, 100352, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DocumentScanState scan;
        std::vector<std::uint8_t> image(c.imageLength + 512);
        for (std::size_t i = 0; i < c.imageLength; ++i)
            image[i] = static_cast<std::uint8_t>(i * 7 + 1);
        const std::vector<std::uint8_t> original = image;
        scan.posDocument = c.documentSeen ? c.start : kNoDocument;
        if (c.documentSeen)
            scan.docEditTable.SetEditLength(c.start, c.editLength);
        CDocumentCut cut = TrimDocumentStream(scan, std::move(image), c.imageLength, 512);
        EXPECT_EQ(cut.length, c.length);
        EXPECT_EQ(cut.stream.size(), c.buffer);
        ASSERT_GE(cut.stream.size(), cut.length);
        EXPECT_EQ(std::memcmp(cut.stream.data(), original.data() + c.copiedFrom, cut.length), 0);
        EXPECT_TRUE(image.empty()) << "the image is released";
    }
}

// ---------------------------------------------------------------------------

TEST(PictureCarver, RecognisedHeadersGiveOffsetsAndSizes) {
    struct Row {
        std::uint16_t type, firstWord;
        const char* name;
        std::uint32_t dataOffset;
    } rows[] = {
        {0xF01A, 0x3D40, "EMF", 58},  {0xF01A, 0x3D50, "EMF", 74},  {0xF01B, 0x2160, "WMF", 58},
        {0xF01B, 0x2170, "WMF", 74},  {0xF01C, 0x5420, "PICT", 58}, {0xF01C, 0x5430, "PICT", 74},
        {0xF01D, 0x46A0, "JPEG", 25}, {0xF01D, 0x46B0, "JPEG", 41}, {0xF01D, 0x6E20, "JPEG", 25},
        {0xF01D, 0x6E30, "JPEG", 41}, {0xF01E, 0x6E00, "PNG", 25},  {0xF01E, 0x6E10, "PNG", 41},
        {0xF01F, 0x7A80, "DIB", 25},  {0xF01F, 0x7A90, "DIB", 41},  {0xF020, 0x6E40, "TIFF", 25},
        {0xF020, 0x6E50, "TIFF", 41},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CPictureCarver carver;
        Bytes b(16, 0);
        PutHeader(b, 3, row.firstWord, row.type, 5017);
        ASSERT_EQ(carver.MatchPicture(CByteView(b.data(), b.size()), 3, 100000, 1'000'000), 1);
        ASSERT_EQ(carver.Pictures().size(), 1u);
        const CPictureEntry& e = carver.Pictures()[0];
        EXPECT_EQ(e.m_nOffset, 100000u);
        EXPECT_EQ(e.m_nRecordSize, 5025u);
        EXPECT_EQ(e.m_nDataOffset, 100000u + row.dataOffset);
        EXPECT_EQ(e.m_nDataSize, 5017u - (row.dataOffset - 8));
        EXPECT_EQ(e.m_strType, row.name);
    }
}

TEST(PictureCarver, WhatIsNotAPictureOrNotListed) {
    struct Case {
        const char* what;
        std::uint16_t firstWord, type;
        std::uint32_t recLen;
        int result;
        bool listed;
    } cases[] = {
        {"recType 0xF00A", 0x0000, 0xF00A, 100, 0, false},
        {"JPEG type with instance 0", 0x0000, 0xF01D, 100, 0, false},
        {"JPEG instance with recVer 1", 0x46A1, 0xF01D, 100, 0, false},
        {"EMF instance under the PNG type", 0x3D40, 0xF01E, 100, 0, false},
        {"recLen 0 is counted, not listed", 0x6E00, 0xF01E, 0, 1, false},
        {"recLen of the file size is counted, not listed", 0x6E00, 0xF01E, 50000, 1, false},
        {"recLen shorter than the fixed part is counted, not listed", 0x3D50, 0xF01A, 65, 1, false},
        {"recLen just long enough", 0x3D50, 0xF01A, 66, 1, true},
        {"recLen just below the file size", 0x6E00, 0xF01E, 49999, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CPictureCarver carver;
        Bytes b(8, 0);
        PutHeader(b, 0, c.firstWord, c.type, c.recLen);
        EXPECT_EQ(carver.MatchPicture(CByteView(b.data(), b.size()), 0, 0, 50000), c.result);
        EXPECT_EQ(carver.Pictures().size(), c.listed ? 1u : 0u);
    }
    CPictureCarver empty;
    EXPECT_EQ(empty.GetPicturesStreamSize(), 0u);
    std::uint8_t none[8] = {};
    CRawFile closed;
    EXPECT_EQ(empty.BuildPicturesStream(none, closed), 0);
}

// ---------------------------------------------------------------------------
// Scans of whole files

constexpr std::size_t kGroupBytes = 129 * 512;

Bytes Blip(std::uint16_t firstWord, std::uint16_t type, std::uint32_t recLen, std::uint8_t fill) {
    Bytes b(8 + recLen, fill);
    PutHeader(b, 0, firstWord, type, recLen);
    return b;
}

class SourceScan : public ::testing::Test {
protected:
    BOOL ScanFile(SourceFile& source, std::uint64_t size, std::uint16_t mode) {
        return ScanSourceFile({source.File(), pictures, cancel}, size, 512, mode);
    }

    CPictureCarver pictures;
    CancelToken cancel;
};

TEST_F(SourceScan, PicturesStreamHoldsTheRecordsInFileOrder) {
    Bytes file(200000, 0x11);
    const Bytes first = Blip(0x46A0, 0xF01D, 992, 0xAA);   // record size 1,000
    const Bytes second = Blip(0x6E00, 0xF01E, 1992, 0xBB); // record size 2,000
    const Bytes third = Blip(0x7A80, 0xF01F, 300, 0xCC);   // straddles the first group's end
    const std::size_t at[] = {701, 3001, kGroupBytes - 3};
    std::memcpy(&file[at[0]], first.data(), first.size());
    std::memcpy(&file[at[1]], second.data(), second.size());
    std::memcpy(&file[at[2]], third.data(), third.size());
    SourceFile source(file);
    ASSERT_TRUE(source.IsOpen());
    ASSERT_TRUE(ScanFile(source, file.size(), kScanPictures));
    EXPECT_EQ(pictures.m_nCount, 3u);
    ASSERT_EQ(pictures.Pictures().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(pictures.Pictures()[i].m_nOffset, at[i]);
    ASSERT_EQ(pictures.GetPicturesStreamSize(), 3308u);
    Bytes stream(3308 + 3 * 512, 0);
    ASSERT_EQ(pictures.BuildPicturesStream(stream, source.File()), 1);
    Bytes expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    expected.insert(expected.end(), third.begin(), third.end());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stream.begin()));
}

TEST_F(SourceScan, PictureInTheLastPartialBlockIsSeen) {
    Bytes file(1000, 0);
    const Bytes blip = Blip(0x6E00, 0xF01E, 60, 0xAB);
    std::memcpy(&file[900], blip.data(), blip.size());
    SourceFile source(file);
    ASSERT_TRUE(ScanFile(source, file.size(), kScanPictures));
    EXPECT_EQ(pictures.m_nCount, 1u);
    ASSERT_EQ(pictures.Pictures().size(), 1u);
    EXPECT_EQ(pictures.Pictures()[0].m_nOffset, 900u);
}

Bytes CurrentUserAtom(std::uint32_t token) {
    Bytes b(20, 0);
    PutHeader(b, 0, 0x0000, 0x0FF6, 20);
    PutLe32(&b[4], 20);
    PutLe32(&b[12], token);
    return b;
}
Bytes CryptSession(std::uint16_t major, std::uint16_t minor) {
    Bytes b(16, 0);
    PutHeader(b, 0, 0x000F, 0x2F14, 190);
    PutLe16(&b[8], major);
    PutLe16(&b[10], minor);
    return b;
}

TEST_F(SourceScan, EncryptionCheck) {
    constexpr std::uint32_t kEncrypted = 0xF3D1C4DF, kPlain = 0xE391C05F;
    struct Case {
        const char* what;
        std::size_t fileSize;
        std::vector<std::pair<std::size_t, Bytes>> records;
        bool passes;
    } cases[] = {
        {"encrypted token", 100000, {{5000, CurrentUserAtom(kEncrypted)}}, false},
        {"plain token", 100000, {{5000, CurrentUserAtom(kPlain)}}, true},
        {"any other token", 100000, {{5000, CurrentUserAtom(0x12345678)}}, true},
        {"an encrypted atom after a plain one in the same group is not tested", 100000,
         {{5000, CurrentUserAtom(kPlain)}, {6000, CurrentUserAtom(kEncrypted)}}, true},
        {"an encrypted atom in the next group is", 200000,
         {{5000, CurrentUserAtom(kPlain)}, {kGroupBytes + 10, CurrentUserAtom(kEncrypted)}}, false},
        {"an encrypted atom across the groups' boundary", 200000, {{kGroupBytes - 10, CurrentUserAtom(kEncrypted)}}, false},
        {"an encrypted atom in the last partial block", 1000, {{900, CurrentUserAtom(kEncrypted)}}, false},
        {"a whole file shorter than a block", 300, {{250, CurrentUserAtom(kEncrypted)}}, false},
        {"a CryptSession10Container", 100000, {{7001, CryptSession(4, 2)}}, false},
        {"a CryptSession10Container after a plain token", 100000,
         {{5000, CurrentUserAtom(kPlain)}, {7001, CryptSession(2, 2)}}, false},
        {"the container's four bytes with no encryption version", 100000, {{7001, CryptSession(9, 1)}}, true},
        {"the container's four bytes with version 4.3", 100000, {{7001, CryptSession(4, 3)}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file(c.fileSize, 0x5A);
        for (const auto& [at, bytes] : c.records)
            std::memcpy(&file[at], bytes.data(), std::min(bytes.size(), file.size() - at));
        SourceFile source(file);
        ASSERT_TRUE(source.IsOpen());
        EXPECT_EQ(ScanFile(source, file.size(), kScanEncryption), c.passes ? TRUE : FALSE);
    }
}

TEST_F(SourceScan, FailsWithoutAFileOrWhenCancelled) {
    CRawFile closed;
    EXPECT_FALSE(ScanSourceFile({closed, pictures, cancel}, 4096, 512, kScanEncryption));
    Bytes file(4096, 0);
    SourceFile source(file);
    EXPECT_TRUE(ScanFile(source, file.size(), kScanPictures));
    cancel.Cancel();
    EXPECT_FALSE(ScanFile(source, file.size(), kScanPictures));
    EXPECT_FALSE(ScanFile(source, file.size(), kScanEncryption));
}

}  // namespace

// ---------------------------------------------------------------------------

namespace {

// The prefilter gives exactly the offsets that pass a rule, in order, on bytes
// dense with key values; the word form gives every offset with a key byte.
constexpr KeyRule kRuleA{2, 0xE8, 3, 0x03, 0x03}, kRuleB{3, 0xF0, 2, 0x1A, 0x20}, kRuleC{0, 0xFE, 1, 0xFF, 0xFF};

TEST(BytePrefilter, GivesTheOffsetsThatPassARule) {
    const KeyRule rules[] = {kRuleA, kRuleB, kRuleC};
    std::mt19937 random(7);
    const std::uint8_t alphabet[] = {0x00, 0xE8, 0x03, 0xF0, 0x19, 0x1A, 0x20, 0x21, 0xFE, 0xFF, 0x7F, 0x01};
    for (std::size_t count : {0ul, 1ul, 7ul, 8ul, 15ul, 16ul, 17ul, 5000ul}) {
        SCOPED_TRACE(count);
        std::vector<std::uint8_t> data(count + kPrefilterOverrun);
        for (auto& b : data)
            b = alphabet[random() % sizeof alphabet];
        std::vector<std::size_t> passing, keyed;
        for (std::size_t p = 0; p < count; ++p) {
            bool passes = false, key = false;
            for (const KeyRule& r : rules) {
                key |= data[p + r.index] == r.value;
                passes |= data[p + r.index] == r.value && data[p + r.index2] >= r.low && data[p + r.index2] <= r.high;
            }
            if (passes)
                passing.push_back(p);
            if (key)
                keyed.push_back(p);
        }
        std::vector<std::size_t> seen;
        EXPECT_EQ((ScanCandidates<kRuleA, kRuleB, kRuleC>(data.data(), count,
                                                          [&](std::size_t p) {
                                                              seen.push_back(p);
                                                              return false;
                                                          })),
                  count);
        // Every passing offset is offered; nothing that has no key byte is.
        EXPECT_TRUE(std::includes(seen.begin(), seen.end(), passing.begin(), passing.end()));
        EXPECT_TRUE(std::includes(keyed.begin(), keyed.end(), seen.begin(), seen.end()));
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
#if defined(__SSE2__)
        EXPECT_EQ(seen, passing);
#endif
        std::vector<std::size_t> words;
        for (std::size_t base = 0; base < count; base += 8) {
            const std::uint32_t mask = prefilter_detail::CandidateMask8<kRuleA, kRuleB, kRuleC>(data.data() + base);
            for (std::size_t i = 0; i < 8 && base + i < count; ++i)
                if (mask >> i & 1)
                    words.push_back(base + i);
        }
        EXPECT_EQ(words, keyed);
    }
}

}  // namespace
