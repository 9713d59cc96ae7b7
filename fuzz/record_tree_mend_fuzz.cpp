// MendRecordTree over a fuzzed persist object: it reads and writes nothing
// outside the object, never makes it longer, and what it gives back needs no
// second mend.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "repair/ppt/record_tree_mend.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact copy: the mend must read nothing beyond the object.
    const std::vector<std::uint8_t> object(data, data + size);
    const auto mend = MendRecordTree(CByteView(object.data(), object.size()));
    if (!mend)
        return 0;
    if (mend->bytes.size() > object.size() || MendRecordTree(CByteView(mend->bytes.data(), mend->bytes.size())))
        std::abort();
    return 0;
}
