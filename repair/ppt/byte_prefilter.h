#pragma once
// Prefilter for the record scans. Every signature the scans look for has two
// bytes that are rare together in presentation data: an offset p can only match
// a signature when the byte at p + index equals its key value and the byte at
// p + index2 lies in [low, high]. The prefilter finds the offsets that pass some
// rule, sixteen offsets at a time, and hands exactly those to the exact test in
// ascending order, so no offset that could match is skipped.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "repair/io/read_value.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

struct KeyRule {
    std::uint8_t index;   // the key byte: offset inside the signature (at most 7) ...
    std::uint8_t value;   // ... and its value
    std::uint8_t index2;  // a second byte of the signature ...
    std::uint8_t low;     // ... and the values it may take
    std::uint8_t high;
};

// Buffers must be readable this many bytes beyond `count`: a step of 32
// offsets reads 16 bytes from an index of up to 7 past its last offset.
inline constexpr std::size_t kPrefilterOverrun = 40;

namespace prefilter_detail {

// Eight offsets from a 64-bit word: an exact per-byte zero test of (word ^ key)
// for the key byte of a rule, one bit per offset. Without SSE2 the scans use only
// the key bytes (a superset of the offsets that pass the rules).
template <KeyRule Rule>
inline std::uint32_t KeyMask8(const std::uint8_t* at) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    std::uint64_t word;
    std::memcpy(&word, at + Rule.index, sizeof word);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    const std::uint64_t x = word ^ (0x0101010101010101ULL * Rule.value);
    const std::uint64_t highs = ~(((x & kLow7) + kLow7) | x | kLow7);
    std::uint32_t mask = 0;
    for (int i = 0; i < 8; ++i)
        mask |= static_cast<std::uint32_t>((highs >> (8 * i + 7)) & 1) << i;
    return mask;
}

template <KeyRule... Rules>
inline std::uint32_t CandidateMask8(const std::uint8_t* at) {
    return (KeyMask8<Rules>(at) | ...);
}

#if defined(__SSE2__)
inline __m128i Load16(const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
inline __m128i Splat(std::uint8_t value) { return _mm_set1_epi8(static_cast<char>(value)); }

// Sixteen offsets that pass `Rule`: the key byte equal and the second byte in its
// range (x - low <= high - low, unsigned). The rules are constants, so equal
// loads and compares of several rules are made once.
template <KeyRule Rule>
inline __m128i RuleMask16(const std::uint8_t* at) {
    const __m128i equal = _mm_cmpeq_epi8(Load16(at + Rule.index), Splat(Rule.value));
    const __m128i second = Load16(at + Rule.index2);
    if constexpr (Rule.low == Rule.high)
        return _mm_and_si128(equal, _mm_cmpeq_epi8(second, Splat(Rule.low)));
    const __m128i shifted = _mm_sub_epi8(second, Splat(Rule.low));
    const __m128i inRange =
        _mm_cmpeq_epi8(_mm_min_epu8(shifted, Splat(static_cast<std::uint8_t>(Rule.high - Rule.low))), shifted);
    return _mm_and_si128(equal, inRange);
}

template <KeyRule... Rules>
inline std::uint32_t CandidateMask16(const std::uint8_t* at) {
    __m128i any = _mm_setzero_si128();
    ((any = _mm_or_si128(any, RuleMask16<Rules>(at))), ...);
    return static_cast<std::uint32_t>(_mm_movemask_epi8(any));
}
inline constexpr std::size_t kStride = 16;
template <KeyRule... Rules>
inline std::uint32_t CandidateMask(const std::uint8_t* at) {
    return CandidateMask16<Rules...>(at);
}
#else
inline constexpr std::size_t kStride = 8;
template <KeyRule... Rules>
inline std::uint32_t CandidateMask(const std::uint8_t* at) {
    return CandidateMask8<Rules...>(at);
}
#endif

}  // namespace prefilter_detail

// Calls `test(p)` for every p in [0, count) that may pass one of `Rules`, in
// ascending order; `test` returns true to stop. Returns the offset where the scan
// stopped, or `count`. `data` must be readable to count + kPrefilterOverrun.
template <KeyRule... Rules, typename Test>
std::size_t ScanCandidates(const std::uint8_t* data, std::size_t count, Test&& test) {
    using namespace prefilter_detail;
    // Two strides per step: one branch for 32 (or 16) offsets.
    constexpr std::size_t kStep = 2 * kStride;
    for (std::size_t base = 0; base < count; base += kStep) {
        std::uint64_t mask = CandidateMask<Rules...>(data + base) |
                             std::uint64_t{CandidateMask<Rules...>(data + base + kStride)} << kStride;
        if (!mask)
            continue;
        if (count - base < kStep)
            mask &= (std::uint64_t{1} << (count - base)) - 1;
        while (mask) {
            const std::size_t p = base + static_cast<std::size_t>(std::countr_zero(mask));
            if (test(p))
                return p;
            mask &= mask - 1;
        }
    }
    return count;
}

// The same over a view: the offsets whose prefilter loads stay inside `bytes`,
// at most `count` of them.
template <KeyRule... Rules, typename Test>
std::size_t ScanCandidates(CByteView bytes, std::size_t count, Test&& test) {
    const std::size_t reachable = bytes.size() - std::min(bytes.size(), kPrefilterOverrun);
    return ScanCandidates<Rules...>(bytes.data(), std::min(count, reachable), std::forward<Test>(test));
}
