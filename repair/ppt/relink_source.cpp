#include "repair/ppt/relink_source.h"

#include <algorithm>

#include "repair/ppt/compound_file.h"
#include "repair/ppt/presentation_writer.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/stream_reassembly.h"

namespace {

using ppt::kRecLenOffset;
using ppt::kRecordHeaderSize;
using ppt::kRtBlipFirst;
using ppt::kRtBlipLast;
using ppt::kRtOfficeArtFbse;

bool IsPictureRecordType(std::uint16_t type) {
    return type == kRtOfficeArtFbse || (type >= kRtBlipFirst && type <= kRtBlipLast);
}

// Picture records back to back fill the stream to its last byte.
bool HoldsWholePictures(const CByteView& stream) {
    std::size_t at = 0;
    while (at < stream.size()) {
        const auto type = stream.Le16(at + 2);
        const auto length = stream.Le32(at + kRecLenOffset);
        if (!type || !length || !IsPictureRecordType(*type) || !stream.Has(at + kRecordHeaderSize, *length))
            return false;
        at += kRecordHeaderSize + *length;
    }
    return at != 0;
}

// The file's "Pictures" stream when the compound file gives it whole.
std::vector<std::uint8_t> SurvivingPictures(const std::string& path) {
    auto stream = ReadCompoundStream(path, kPicturesStreamName);
    if (!stream || !HoldsWholePictures(CByteView(stream->data(), stream->size())))
        return {};
    return std::move(*stream);
}

// The relink of the document stream put back together from the whole file,
// when the FAT that chains its sectors is lost. Like a package whose directory
// is rebuilt, it counts as kept when every record of every live object reads
// whole: the order of the sectors is what their records confirm.
RelinkResult RelinkReassembledStream(const CByteView& file, const std::vector<PictureSlot>& pictures,
                                     const CancelToken& cancel) {
    const auto stream = ReassembleDocumentStream(file, cancel);
    if (!stream)
        return {};
    return RelinkDocumentStream(CByteView(stream->data(), stream->size()), std::nullopt, pictures);
}

}  // namespace

std::optional<std::uint32_t> CurrentEditOf(const std::string& path) {
    const auto stream = ReadCompoundStream(path, kCurrentUserStreamName);
    if (!stream)
        return std::nullopt;
    return CByteView(stream->data(), stream->size()).Le32(kCurrentEditFieldOffset);
}

RelinkResult RelinkSourceDocument(const std::string& path, const CDocumentImage& image, const CarvedSource& carved,
                                  const CancelToken& cancel) {
    // A surviving "Pictures" stream is kept, and with it every foDelay; else
    // each foDelay moves to its carved picture.
    std::vector<std::uint8_t> kept = SurvivingPictures(path);
    const std::vector<PictureSlot> pictures = kept.empty() ? CarvedPictureSlots(carved) : std::vector<PictureSlot>{};
    RelinkResult relinked;
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(image.length, image.bytes.size()));
    const CByteView imageView(image.bytes.data(), length);
    if (const auto stream = ReadCompoundStream(path, kDocumentStreamName))
        relinked = RelinkDocumentStream(CByteView(stream->data(), stream->size()), CurrentEditOf(path), pictures);
    else if (image.wholeFile)
        relinked = RelinkReassembledStream(imageView, pictures, cancel);
    if (!relinked.Usable())
        relinked = RelinkDocumentStream(imageView, std::nullopt, pictures, true);
    if (relinked.Usable())
        relinked.pictures = std::move(kept);
    return relinked;
}
