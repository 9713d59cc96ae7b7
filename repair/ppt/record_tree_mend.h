#pragma once
// A persist object whose record tree no longer holds together: a damaged length
// makes a container's children overrun it or stop short, a zeroed stretch
// leaves bytes that no record explains. Readers that parse every record then
// refuse the whole presentation. The mend gives each damaged record the length
// that lets the records after it end where their container ends, undoes a type
// or a shape property that one spoilt byte or bit explains, and drops the
// stretches that no record explains; every other byte stays as it was.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "repair/io/read_value.h"

struct RecordTreeMend {
    std::vector<std::uint8_t> bytes;     // the object, mended
    std::size_t lengthsMended = 0;       // records whose length was set anew
    std::size_t typesRestored = 0;       // records whose spoilt type was undone
    std::size_t tablesMended = 0;        // shape property tables whose data overran them
    std::uint64_t bytesDropped = 0;      // bytes of stretches that no record explains
    std::size_t atomsLeftOut = 0;        // atoms whose fields overrun them (text rulers)
};

// The record at the start of `object` (header and body), mended; nullopt when
// its tree holds together as it is, or it is no container.
std::optional<RecordTreeMend> MendRecordTree(const CByteView& object);
