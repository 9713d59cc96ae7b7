#include "repair/ppt/embedded_zip.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>

#include "repair/pptx/zip_format.h"

namespace {

// A package with more entries, or that inflates to more, is not checked.
constexpr std::size_t kMostEntries = 4096;
constexpr std::uint64_t kMostInflated = std::uint64_t{64} << 20;

struct Inflated {
    bool whole = false;          // the deflate stream came to its end
    std::uint64_t consumed = 0;  // compressed bytes
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
};

Inflated InflateRaw(const CByteView& data, std::uint64_t& budget) {
    Inflated result;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return result;
    std::array<std::uint8_t, 16384> out{};
    const uInt given = static_cast<uInt>(std::min<std::size_t>(data.size(), UINT_MAX));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = given;
    result.crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        const std::size_t produced = out.size() - z.avail_out;
        if (produced > budget)
            break;
        budget -= produced;
        result.size += produced;
        result.crc = static_cast<std::uint32_t>(crc32(result.crc, out.data(), static_cast<uInt>(produced)));
    }
    result.whole = rc == Z_STREAM_END;
    result.consumed = given - z.avail_in;
    inflateEnd(&z);
    return result;
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
    Inflated found;
    if (method == zip::kMethodDeflated) {
        found = InflateRaw(data, budget);
    } else if (method == zip::kMethodStored && !(flags & zip::kFlagDescriptor) && data.Has(0, compressed)) {
        found = {true, compressed, compressed, static_cast<std::uint32_t>(crc32(crc32(0, nullptr, 0), data.data(), compressed))};
    }
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
