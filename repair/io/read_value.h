#pragma once
// Byte-order reads. `ReadValue` is the scanners' reader over buffers that carry a
// spare block of zeros past their data; `CByteView` is the bounded reader that
// every other parser uses: a read that would leave the view gives "not found".
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

// 16- or 32-bit value at `offset`, big- or little-endian. Record signatures are
// compared as the first four header bytes read big-endian.
std::uint32_t ReadValue(const std::uint8_t* buffer, std::uint64_t offset, int bBigEndian, int bDword);

class CByteView {
public:
    CByteView() = default;
    CByteView(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    const std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_size; }

    // True when `count` bytes from `offset` lie inside the view.
    bool Has(std::size_t offset, std::size_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    std::optional<std::uint16_t> Le16(std::size_t offset) const { return Le<std::uint16_t>(offset); }
    std::optional<std::uint32_t> Le32(std::size_t offset) const { return Le<std::uint32_t>(offset); }
    std::optional<std::uint64_t> Le64(std::size_t offset) const { return Le<std::uint64_t>(offset); }
    // True when the bytes at `offset` equal `pattern`.
    bool Matches(std::size_t offset, const void* pattern, std::size_t count) const {
        return Has(offset, count) && std::memcmp(m_data + offset, pattern, count) == 0;
    }
    // The bytes [offset, offset + count), or nothing when they leave the view.
    std::optional<CByteView> Sub(std::size_t offset, std::size_t count) const {
        if (!Has(offset, count))
            return std::nullopt;
        return CByteView(m_data + offset, count);
    }

private:
    template <typename T>
    std::optional<T> Le(std::size_t offset) const {
        if (!Has(offset, sizeof(T)))
            return std::nullopt;
        T value = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            value = static_cast<T>((value << 8) | m_data[offset + i]);
        return value;
    }

    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

// Little-endian stores into a byte buffer that the caller sized.
inline void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutLe64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
