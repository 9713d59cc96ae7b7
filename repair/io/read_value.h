#pragma once
// Bounded little-endian reads of untrusted bytes. `CByteView` reads at random
// offsets: a read that would leave the view gives "not found". `CByteReader`
// reads a structure field after field and is checked once at its end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

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

// A cursor over a view, after libzip's zip_buffer_t. Every read advances the
// offset; a read or move that would leave the view gives zeros (an empty view
// for Bytes) and leaves the reader not ok for good, so a parser reads a whole
// header and checks Ok() once. Counts are 64-bit, so no size read from a file
// is cut short before the bounds check.
class CByteReader {
public:
    CByteReader() = default;
    explicit CByteReader(CByteView view, std::uint64_t offset = 0) : m_view(view) { Seek(offset); }
    CByteReader(const std::uint8_t* data, std::size_t size) : m_view(data, size) {}

    bool Ok() const { return m_ok; }
    std::size_t Offset() const { return m_offset; }
    std::size_t Left() const { return m_ok ? m_view.size() - m_offset : 0; }

    // Moves to `offset` from the view's start; the end itself is a valid place.
    bool Seek(std::uint64_t offset) {
        if (!m_ok || offset > m_view.size())
            return Fail();
        m_offset = static_cast<std::size_t>(offset);
        return true;
    }
    bool Skip(std::uint64_t count) {
        Take(count);
        return m_ok;
    }

    std::uint8_t U8() { return Read<std::uint8_t, false>(); }
    std::uint16_t Le16() { return Read<std::uint16_t, false>(); }
    std::uint32_t Le32() { return Read<std::uint32_t, false>(); }
    std::uint64_t Le64() { return Read<std::uint64_t, false>(); }
    // Record signatures are the first four header bytes read big-endian.
    std::uint32_t Be32() { return Read<std::uint32_t, true>(); }

    CByteView Bytes(std::uint64_t count) {
        const std::uint8_t* at = Take(count);
        return m_ok ? CByteView(at, static_cast<std::size_t>(count)) : CByteView();
    }

private:
    bool Fail() {
        m_ok = false;
        return false;
    }
    // The next `count` bytes, or nullptr (and not ok) when they leave the view.
    const std::uint8_t* Take(std::uint64_t count) {
        if (!m_ok || count > m_view.size() - m_offset) {
            Fail();
            return nullptr;
        }
        const std::uint8_t* at = m_view.data() + m_offset;
        m_offset += static_cast<std::size_t>(count);
        return at;
    }
    template <typename T, bool BigEndian>
    T Read() {
        const std::uint8_t* at = Take(sizeof(T));
        if (!at)
            return 0;
        T value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value = static_cast<T>((value << 8) | at[BigEndian ? i : sizeof(T) - 1 - i]);
        return value;
    }

    CByteView m_view;
    std::size_t m_offset = 0;
    bool m_ok = true;
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
