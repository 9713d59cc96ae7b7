#include "repair/ppt/embedded_zip.h"

#include <algorithm>

#include "repair/pptx/entry_check.h"
#include "repair/pptx/zip_format.h"

namespace {

// A package with more entries, or that inflates to more, is not checked.
constexpr std::size_t kMostEntries = 4096;
constexpr std::uint64_t kMostInflated = std::uint64_t{64} << 20;

struct Inflated {
    bool whole = false;          // the data came to its end (a deflate stream's, or the stored size)
    std::uint64_t consumed = 0;  // compressed bytes
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
};

// The entry's data checked as the package reader checks it, fed in pieces so
// that a package inflating past the budget stops early.
Inflated Check(const CByteView& data, std::uint16_t method, std::uint32_t storedSize, std::uint64_t& budget) {
    constexpr std::size_t kPiece = 16384;
    CEntryCheck check(method);
    if (method == zip::kMethodStored) {
        if (!data.Has(0, storedSize))
            return {};
        check.Feed(data.data(), storedSize);
        return {true, storedSize, check.Produced(), check.Crc()};
    }
    for (std::size_t at = 0; at < data.size() && !check.Ended() && !check.Failed(); at += kPiece) {
        check.Feed(data.data() + at, std::min(kPiece, data.size() - at));
        if (check.Produced() > budget)
            return {};
    }
    if (!check.Ended())
        return {};
    budget -= check.Produced();
    return {true, check.StreamLength(), check.Produced(), check.Crc()};
}

// Checks the entry whose local header is at `at`; the next header's offset
// goes to `next`.
bool EntryChecksOut(const CByteView& bytes, std::size_t at, std::uint64_t& budget, std::size_t& next) {
    namespace local = zip::local;
    CByteReader header(bytes, at + local::kFlags);
    const std::uint16_t flags = header.Le16();
    const std::uint16_t method = header.Le16();
    header.Skip(local::kCrc - local::kTime);
    std::uint32_t crc = header.Le32();
    std::uint32_t compressed = header.Le32();
    std::uint32_t size = header.Le32();
    const std::uint16_t nameLength = header.Le16();
    const std::uint16_t extraLength = header.Le16();
    if (!header.Ok() || (flags & zip::kFlagEncrypted))
        return false;
    const std::uint64_t dataAt = std::uint64_t{at} + local::kSize + nameLength + extraLength;
    if (dataAt > bytes.size())
        return false;
    const CByteView data(bytes.data() + dataAt, bytes.size() - static_cast<std::size_t>(dataAt));
    // A stored entry is measured by its header: with its sizes after its
    // data, it cannot be.
    const bool measurable = method == zip::kMethodDeflated ||
                            (method == zip::kMethodStored && !(flags & zip::kFlagDescriptor));
    const Inflated found = measurable ? Check(data, method, compressed, budget) : Inflated{};
    if (!found.whole)
        return false;
    CByteReader after(data, found.consumed);
    if (flags & zip::kFlagDescriptor) {
        if (CByteReader(data, found.consumed).Le32() == zip::kDescriptorMagic)
            after.Skip(4);
        crc = after.Le32();
        compressed = after.Le32();
        size = after.Le32();
    }
    next = static_cast<std::size_t>(dataAt) + after.Offset();
    return after.Ok() && crc == found.crc && compressed == found.consumed && size == found.size;
}

}  // namespace

bool EmbeddedZipChecksOut(const CByteView& bytes) {
    std::uint64_t budget = kMostInflated;
    std::size_t at = 0;
    for (std::size_t entries = 0; entries <= kMostEntries; ++entries) {
        const auto signature = bytes.Le32(at);
        if (signature == zip::kCentralHeaderMagic)
            return entries > 0;
        std::size_t next = 0;
        if (signature != zip::kLocalHeaderMagic || !EntryChecksOut(bytes, at, budget, next))
            return false;
        at = next;
    }
    return false;
}

bool OpensWithZipEntry(const CByteView& bytes) { return bytes.Le32(0) == zip::kLocalHeaderMagic; }
