#include "repair/pptx/entry_check.h"

#include <libdeflate.h>
#include <zlib.h>

namespace {
constexpr std::size_t kScratch = 1u << 16;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
}  // namespace

struct CEntryCheck::Inflater {
    z_stream z{};
    std::vector<std::uint8_t> scratch = std::vector<std::uint8_t>(kScratch);
};

CEntryCheck::CEntryCheck(std::uint16_t method) {
    m_deflated = method == kDeflated;
    m_checkable = method == kStored || m_deflated;
    if (m_deflated) {
        m_inflater = std::make_unique<Inflater>();
        if (inflateInit2(&m_inflater->z, -MAX_WBITS) != Z_OK) {
            m_inflater.reset();
            m_checkable = false;
        }
    }
}

CEntryCheck::~CEntryCheck() {
    if (m_inflater)
        inflateEnd(&m_inflater->z);
}

void CEntryCheck::Feed(const std::uint8_t* data, std::size_t count) {
    if (!m_checkable || m_failed)
        return;
    if (!m_deflated) {
        // CRC-32 with carry-less multiplication where the processor has it.
        m_crc = libdeflate_crc32(m_crc, data, count);
        m_produced += count;
        return;
    }
    if (m_ended)
        return;  // bytes past the end of the stream, as the reader ignores them
    z_stream& z = m_inflater->z;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(count);
    while (z.avail_in > 0 && !m_ended) {
        z.next_out = m_inflater->scratch.data();
        z.avail_out = static_cast<uInt>(kScratch);
        int rc = inflate(&z, Z_NO_FLUSH);
        std::size_t produced = kScratch - z.avail_out;
        m_crc = libdeflate_crc32(m_crc, m_inflater->scratch.data(), produced);
        m_produced += produced;
        if (rc == Z_STREAM_END) {
            m_ended = true;
            m_streamLength = z.total_in;
        }
        else if (rc != Z_OK) {
            m_failed = true;
            return;
        }
    }
}

bool CEntryCheck::Sound(std::uint32_t crc, std::uint64_t uncompressedSize) const {
    return m_checkable && !m_failed && (!m_deflated || m_ended) && m_crc == crc && m_produced == uncompressedSize;
}
