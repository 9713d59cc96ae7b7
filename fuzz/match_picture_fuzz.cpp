// MatchPicture at every offset of a fuzzed buffer that carries the scans' eight
// spare bytes of zeros; every picture it lists must lie at a tested offset and
// describe its data inside its own record.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "repair/pictures/picture_carver.h"

namespace {

constexpr std::size_t kSpare = 8;

void CheckEntry(const CPictureEntry& entry, std::size_t size) {
    const bool inside = entry.m_nOffset < size &&
                        entry.m_nDataOffset >= entry.m_nOffset + 8 &&
                        entry.m_nDataOffset - entry.m_nOffset + entry.m_nDataSize == entry.m_nRecordSize &&
                        entry.m_nRecordSize < size + 8;
    if (!inside)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> buffer(data, data + size);
    buffer.resize(size + kSpare, 0);
    CPictureCarver carver;
    for (std::size_t offset = 0; offset < size; ++offset)
        carver.MatchPicture(CByteView(buffer.data(), buffer.size()), offset, offset, size);
    for (const CPictureEntry& entry : carver.Pictures())
        CheckEntry(entry, size);
    return 0;
}
