#include "repair/io/read_value.h"

std::uint32_t ReadValue(const std::uint8_t* buffer, std::uint64_t offset, int bBigEndian, int bDword) {
    // Only the low 32 bits of the offset address the buffer.
    const std::uint8_t* b = buffer + static_cast<std::uint32_t>(offset);
    if (bDword) {
        if (bBigEndian)
            return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
        return (std::uint32_t{b[3]} << 24) | (std::uint32_t{b[2]} << 16) | (std::uint32_t{b[1]} << 8) | b[0];
    }
    if (bBigEndian)
        return (std::uint32_t{b[0]} << 8) | b[1];
    return (std::uint32_t{b[1]} << 8) | b[0];
}
