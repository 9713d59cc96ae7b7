#pragma once
// Prefilter for the record scans. Every signature the scans look for has a byte
// that is rare in presentation data; an offset p can only match a signature when
// the byte at p + index equals that signature's key byte. The prefilter tests
// eight offsets at a time for all key bytes at once and hands every offset of a
// word with any key byte to the exact test, in ascending order, so no offset
// that could match is skipped.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct KeyByte {
    std::uint8_t value;
    std::uint8_t index;  // position of the key byte inside the signature
};

namespace prefilter_detail {
inline constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
inline constexpr std::uint64_t kHighs = 0x8080808080808080ULL;

inline std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
// Nonzero when any byte of `x` is zero (a true zero byte is never missed).
inline std::uint64_t ZeroBytes(std::uint64_t x) { return (x - kOnes) & ~x & kHighs; }
}  // namespace prefilter_detail

// Largest key index any caller uses: buffers must be readable this many bytes
// plus eight beyond `count`.
inline constexpr std::size_t kPrefilterOverrun = 16;

// Calls `test(p)` for every p in [0, count) whose word holds a key byte, in
// ascending order; `test` returns true to stop. Returns the offset where the scan
// stopped, or `count`. `data` must be readable to count + kPrefilterOverrun.
template <std::size_t N, typename Test>
std::size_t ScanCandidates(const std::uint8_t* data, std::size_t count, const std::array<KeyByte, N>& keys,
                           Test&& test) {
    using namespace prefilter_detail;
    for (std::size_t base = 0; base < count; base += 8) {
        std::uint64_t hit = 0;
        for (const KeyByte& key : keys)
            hit |= ZeroBytes(Load64(data + base + key.index) ^ (kOnes * key.value));
        if (!hit)
            continue;
        const std::size_t end = base + 8 < count ? base + 8 : count;
        for (std::size_t p = base; p < end; ++p)
            if (test(p))
                return p;
    }
    return count;
}
