#include "repair/ppt/compound_probe.h"

#include <algorithm>
#include <vector>

#include "repair/io/read_value.h"
#include "repair/job/job_state.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/source_bytes.h"

namespace {
constexpr std::uint32_t kStreamAlignment = 64;
constexpr std::uint32_t kChunk = 1 << 20;
}  // namespace

bool HoldsDocumentStream(CRawFile& file) {
    std::vector<std::uint8_t> chunk(kChunk);
    for (std::uint64_t start = 0; start < file.m_nFileSize; start += kChunk) {
        if (RepairCancelled() || !ReadSourceBytes(file, chunk.data(), start, kChunk))
            return false;
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, file.m_nFileSize - start));
        const CByteView view(chunk.data(), count);
        for (std::size_t at = 0; at < count; at += kStreamAlignment) {
            const std::optional<std::uint32_t> word = view.Le32(at);
            if (word && __builtin_bswap32(*word) == ppt::kDocumentContainer)
                return true;
        }
    }
    return false;
}
