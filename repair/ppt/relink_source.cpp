#include "repair/ppt/relink_source.h"

#include <algorithm>

#include "automation/compound_file.h"
#include "repair/ppt/presentation_writer.h"

std::optional<std::uint32_t> CurrentEditOf(const std::string& path) {
    const auto stream = ReadCompoundStream(path, kCurrentUserStreamName);
    if (!stream)
        return std::nullopt;
    return CByteView(stream->data(), stream->size()).Le32(kCurrentEditFieldOffset);
}

RelinkResult RelinkSourceDocument(const std::string& path, const CDocumentImage& image, CRawFile& file) {
    const std::vector<PictureSlot> pictures = CarvedPictureSlots(file);
    if (const auto stream = ReadCompoundStream(path, kDocumentStreamName)) {
        RelinkResult relinked = RelinkDocumentStream(CByteView(stream->data(), stream->size()), CurrentEditOf(path), pictures);
        if (relinked.Usable())
            return relinked;
    }
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(image.length, image.bytes.size()));
    return RelinkDocumentStream(CByteView(image.bytes.data(), length), std::nullopt, pictures, true);
}
