#include "support/ole_reader.h"

#include <gsf/gsf.h>

namespace {

template <typename T>
struct GObjectRef {
    T* p = nullptr;
    explicit GObjectRef(T* object) : p(object) {}
    ~GObjectRef() {
        if (p)
            g_object_unref(p);
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadOleStream(const std::string& path, const std::string& name) {
    static const bool initialised = [] {
        gsf_init();
        return true;
    }();
    (void)initialised;
    GObjectRef<GsfInput> input(gsf_input_stdio_new(path.c_str(), nullptr));
    if (!input.p)
        return std::nullopt;
    GObjectRef<GsfInfile> ole(gsf_infile_msole_new(input.p, nullptr));
    if (!ole.p)
        return std::nullopt;
    GObjectRef<GsfInput> stream(gsf_infile_child_by_name(ole.p, name.c_str()));
    if (!stream.p)
        return std::nullopt;
    const gsf_off_t size = gsf_input_size(stream.p);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (size > 0 && !gsf_input_read(stream.p, static_cast<std::size_t>(size), bytes.data()))
        return std::nullopt;
    return bytes;
}
