#pragma once
// Records of a presentation's document stream, appended little-endian as the
// writers of the format lay them out, for the tests that build streams by hand.
#include <cstdint>
#include <vector>

#include "repair/io/read_value.h"

namespace record_builder {

using Bytes = std::vector<std::uint8_t>;

inline void Half(Bytes& out, std::uint16_t value) {
    const std::size_t at = out.size();
    out.resize(at + 2);
    PutLe16(&out[at], value);
}

inline void Word(Bytes& out, std::uint32_t value) {
    const std::size_t at = out.size();
    out.resize(at + 4);
    PutLe32(&out[at], value);
}

inline void Header(Bytes& out, std::uint16_t verInstance, std::uint16_t type, std::uint32_t length) {
    Half(out, verInstance);
    Half(out, type);
    Word(out, length);
}

}  // namespace record_builder
