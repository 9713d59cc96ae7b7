// The document stream put back together without the FAT, on small compound
// files built here: the stream's sectors in two runs, with its directory entry
// and a zeroed FAT; it comes back whole only where its records leave no doubt
// about the order of its sectors.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "repair/io/job_control.h"
#include "repair/io/read_value.h"
#include "repair/ppt/stream_reassembly.h"
#include "support/compound_builder.h"
#include "support/zip_builder.h"
#include "support/record_builder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using record_builder::Half;
using record_builder::Header;
using record_builder::Word;


// A shape's tertiary property table of `length` bytes whose one property, a
// metroBlob, holds a stored ZIP package as newer writers keep a shape's DrawingML.
Bytes PackagedPropertyTable(std::uint32_t length) {
    constexpr std::uint16_t kMetroBlobComplex = 0x03A9 | 0x8000;
    constexpr std::size_t kPackageFrame = 30 + 5 + 4;  // local header, name, central directory signature
    std::string data;
    for (std::size_t i = 0; data.size() < length - 6 - kPackageFrame; ++i)
        data += static_cast<char>('a' + i * 7 % 26);
    testzip::Builder package;
    package.Add(testzip::Entry("a.xml", data));
    package.Raw("PK\1\2");
    Bytes table;
    Header(table, 1 << 4 | 3, 0xF122, length);
    Half(table, kMetroBlobComplex);
    Word(table, static_cast<std::uint32_t>(package.size()));
    table.insert(table.end(), package.bytes().begin(), package.bytes().end());
    return table;
}

// A DocumentContainer that starts with an atom of `bigAtom` bytes (none when
// 0; a property table holding a package when `packaged`) followed by small
// atoms up to `size` bytes of stream in all, then a persist directory and a
// user edit: headers fall in every sector but those the big atom covers.
Bytes DocumentStream(std::size_t size, std::uint32_t bigAtom, bool packaged) {
    constexpr std::size_t kTail = 8 + 8 + 8 + 28;
    Bytes body;
    if (packaged) {
        body = PackagedPropertyTable(bigAtom);
    } else if (bigAtom != 0) {
        Header(body, 0, 0x0FBA, bigAtom);
        body.resize(body.size() + bigAtom, 0x5A);
    }
    // Atoms of varied lengths, so that no two sectors hold headers at the
    // same places; the last one takes the bytes left over.
    const std::size_t bodySize = size - 8 - kTail;
    std::size_t last = 0;
    for (std::uint32_t n = 0, length = 3; body.size() + 8 + length <= bodySize; ++n, length = 3 + n * 7 % 29) {
        last = body.size();
        Header(body, 0, 0x0FA8, length);
        body.resize(body.size() + length, static_cast<std::uint8_t>(n));
    }
    PutLe32(&body[last + 4], static_cast<std::uint32_t>(bodySize - last - 8));
    body.resize(bodySize, 0);
    Bytes stream;
    Header(stream, 0xF, 0x03E8, static_cast<std::uint32_t>(body.size()));
    stream.insert(stream.end(), body.begin(), body.end());
    const auto directoryAt = static_cast<std::uint32_t>(stream.size());
    Header(stream, 0, 0x1772, 8);
    stream.resize(stream.size() + 8, 0);
    PutLe32(&stream[stream.size() - 8], 1u | 1u << 20);
    Header(stream, 0, 0x0FF5, 28);
    stream.resize(stream.size() + 28, 0);
    PutLe32(&stream[stream.size() - 28 + 12], directoryAt);
    return stream;
}

// A directory sector whose first entry is the root and second the stream.
Bytes DirectorySector(std::uint32_t start, std::uint32_t size) {
    Bytes sector(512, 0);
    auto entry = [&](std::size_t at, const std::string& name, std::uint8_t type) {
        for (std::size_t i = 0; i < name.size(); ++i)
            sector[at + 2 * i] = static_cast<std::uint8_t>(name[i]);
        PutLe16(&sector[at + 64], static_cast<std::uint16_t>(2 * name.size() + 2));
        sector[at + 66] = type;
        sector[at + 67] = 1;
    };
    entry(0, "Root Entry", 5);
    entry(128, "PowerPoint Document", 2);
    PutLe32(&sector[128 + 116], start);
    PutLe32(&sector[128 + 120], size);
    return sector;
}

struct ReassemblyCase {
    const char* what;
    std::uint32_t bigAtom;                // bytes of the atom that opens the document
    std::vector<std::uint32_t> sectors;   // the file's sector for each sector of the stream
    std::uint32_t directory;              // the file's sector of the directory, 0 for none
    std::optional<std::uint32_t> zeroed;  // a sector of the file zeroed after the stream is written
    bool zeroHeader;
    bool whole;                           // the stream comes back whole, else nothing
    bool packaged = false;                // the opening atom carries a ZIP package
};

TEST(StreamReassembly, TheStreamComesBackWholeOnlyWhereItsRecordsLeaveNoDoubt) {
    const std::vector<std::uint32_t> twoRuns = {2, 3, 4, 5, 6, 14, 15, 16, 17, 18};
    // The opening atom covers all of the stream's second sector, so no header
    // tells whether the first run goes on there or the second starts early.
    const std::vector<std::uint32_t> jumpInsideAtom = {2, 3, 12, 13, 14, 15, 16, 17, 18, 19};
    const ReassemblyCase cases[] = {
        {"one run", 0, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1, std::nullopt, false, true},
        {"two runs, headers in every sector", 0, twoRuns, 1, std::nullopt, false, true},
        {"runs in reverse order", 0, {14, 15, 16, 17, 18, 2, 3, 4, 5, 6}, 1, std::nullopt, false, true},
        {"the compound header zeroed as well", 0, twoRuns, 1, std::nullopt, true, true},
        {"an atom across sectors of one run", 1500, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 1, std::nullopt, false, true},
        {"an atom across the jump, either run free to hold it", 1500, jumpInsideAtom, 1, std::nullopt, false,
         false},
        {"an atom across the jump, one run free to hold it", 1500, jumpInsideAtom, 11, std::nullopt, false, true},
        {"an atom across the jump, either run free, whose package reads back from one only", 1500, jumpInsideAtom,
         1, std::nullopt, false, true, true},
        {"no directory entry", 0, twoRuns, 0, std::nullopt, false, false},
        {"a sector of the stream zeroed", 0, twoRuns, 1, 15u, false, false},
    };
    for (const ReassemblyCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes stream = DocumentStream(c.sectors.size() * 512 - 100, c.bigAtom, c.packaged);
        CompoundBuilder b(9, 24);
        b.AddFatSector(0);
        if (c.directory != 0)
            b.Put(c.directory, DirectorySector(c.sectors.front(), static_cast<std::uint32_t>(stream.size())));
        for (std::size_t k = 0; k < c.sectors.size(); ++k) {
            const auto from = stream.begin() + static_cast<std::ptrdiff_t>(std::min(k * 512, stream.size()));
            const auto to = stream.begin() + static_cast<std::ptrdiff_t>(std::min(k * 512 + 512, stream.size()));
            b.Put(c.sectors[k], Bytes(from, to));
        }
        Bytes file = b.Build();
        std::fill_n(file.begin() + 512, 512, 0);  // the FAT is lost
        if (c.zeroed)
            std::fill_n(file.begin() + 512 * (*c.zeroed + 1), 512, 0);
        if (c.zeroHeader)
            std::fill_n(file.begin(), 512, 0);
        const CancelToken going;
        const auto reassembled = ReassembleDocumentStream(CByteView(file.data(), file.size()), going);
        if (c.whole) {
            ASSERT_TRUE(reassembled);
            EXPECT_EQ(*reassembled, stream);
        } else {
            EXPECT_FALSE(reassembled);
        }
    }
}

}  // namespace
