// PatchCurrentUserAtoms over a fuzzed file, in pieces of one block so that
// templates across piece ends are met: the file keeps its size, and only the
// offsetToCurrentEdit fields of whole templates change.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "repair/ppt/presentation_writer.h"

namespace {

constexpr std::uint32_t kPatchedValue = 0xA5A5A5A5;

// True when `offset` lies in the offsetToCurrentEdit field of a template that
// the original bytes hold.
bool InPatchedField(const std::uint8_t* data, std::size_t size, std::size_t offset) {
    const std::size_t reach = kCurrentEditFieldOffset + kCurrentEditFieldSize;
    for (std::size_t start = offset >= reach - 1 ? offset - (reach - 1) : 0; start <= offset; ++start) {
        if (offset < start + kCurrentEditFieldOffset || size - start < kCurrentUserStreamSize)
            continue;
        const std::uint8_t* at = data + start;
        const std::uint8_t* tmpl = kCurrentUserTemplate.data();
        if (std::memcmp(at, tmpl, kCurrentEditFieldOffset) == 0 &&
            std::memcmp(at + reach, tmpl + reach, kCurrentUserStreamSize - reach) == 0)
            return true;
    }
    return false;
}

std::vector<std::uint8_t> ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchPath(".patch");
    if (!WriteScratch(path, data, size))
        return 0;
    const CancelToken going;  // the patch opens the file itself
    if (PatchCurrentUserAtoms(path, kPatchedValue, going, 1) < 0)
        return 0;
    const std::vector<std::uint8_t> after = ReadBack(path);
    if (after.size() != size)
        std::abort();
    for (std::size_t i = 0; i < size; ++i)
        if (after[i] != data[i] && !InPatchedField(data, size, i))
            std::abort();
    return 0;
}
