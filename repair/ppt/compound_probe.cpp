#include "repair/ppt/compound_probe.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
#include "repair/ppt/compound_format.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/source_bytes.h"

namespace {
constexpr std::uint32_t kStreamAlignment = 64;
constexpr std::uint32_t kChunk = 1 << 20;

// Calls `test` with every `step`-aligned offset of the file and the bytes from
// there to the end of its chunk; stops at the first true.
template <typename Test>
bool AnyAlignedOffset(CRawFile& file, const CancelToken& cancel, std::uint32_t step, Test test) {
    std::vector<std::uint8_t> chunk(kChunk);
    for (std::uint64_t start = 0; start < file.m_nFileSize; start += kChunk) {
        if (cancel.Cancelled() || !ReadSourceBytes(file, chunk.data(), start, kChunk))
            return false;
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, file.m_nFileSize - start));
        const CByteView view(chunk.data(), count);
        for (std::size_t at = 0; at < count; at += step)
            if (test(view, at))
                return true;
    }
    return false;
}
}  // namespace

bool HoldsDocumentStream(CRawFile& file, const CancelToken& cancel) {
    return AnyAlignedOffset(file, cancel, kStreamAlignment, [](const CByteView& view, std::size_t at) {
        const std::optional<std::uint32_t> word = view.Le32(at);
        return word && __builtin_bswap32(*word) == ppt::kDocumentContainer;
    });
}

bool NamesStream(CRawFile& file, std::string_view name, const CancelToken& cancel) {
    return AnyAlignedOffset(file, cancel, cfb::kDirectoryEntrySize, [name](const CByteView& view, std::size_t at) {
        for (std::size_t k = 0; k < name.size(); ++k) {
            const std::optional<std::uint16_t> unit = view.Le16(at + 2 * k);
            if (!unit || *unit != static_cast<unsigned char>(name[k]))
                return false;
        }
        return true;
    });
}
