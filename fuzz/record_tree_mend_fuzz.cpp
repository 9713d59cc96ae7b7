// MendRecordTree over a fuzzed persist object, and again over what it gives
// back: it reads and writes nothing outside the object and never makes it
// longer. (A second mend may still find work where the first left a zeroed
// stretch inside a record.)
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
    if (mend->bytes.size() > object.size())
        std::abort();
    const auto again = MendRecordTree(CByteView(mend->bytes.data(), mend->bytes.size()));
    if (again && again->bytes.size() > mend->bytes.size())
        std::abort();
    return 0;
}
