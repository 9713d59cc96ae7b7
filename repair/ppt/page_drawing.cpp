#include "repair/ppt/page_drawing.h"

#include "repair/ppt/record_header.h"

using namespace ppt;

namespace {

bool HasDrawing(const std::vector<std::uint8_t>& page) {
    const CByteView view(page.data(), page.size());
    if (!WholeRecordAt(view, 0))
        return true;  // nothing to give a drawing to
    bool found = false;
    const bool follow = ForEachChild(view, 0, [&](std::size_t, const RecordHeader& child) {
        found = found || child.type == kRtDrawing;
    });
    // Children that do not follow one another are left as they are.
    return found || !follow;
}

// The container record `type` around `body`.
std::vector<std::uint8_t> Container(std::uint16_t type, const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> out;
    AppendHeader(out, kContainerVersion, type, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<std::uint8_t> EmptyDrawing(std::uint32_t drawingId) {
    const std::uint32_t patriarch = drawingId * kShapesPerDrawing;
    std::vector<std::uint8_t> shape;
    AppendHeader(shape, kFspgrVersion, kRtOfficeArtFspgr, kFspgrLength);
    shape.resize(shape.size() + kFspgrLength, 0);
    AppendHeader(shape, kFspVersion, kRtOfficeArtFsp, kFspLength);
    AppendWord(shape, patriarch);
    AppendWord(shape, kFspGroupPatriarch);
    std::vector<std::uint8_t> drawing;
    AppendHeader(drawing, static_cast<std::uint16_t>(drawingId << 4), kRtOfficeArtFdg, kFdgLength);
    AppendWord(drawing, 1);  // one shape, the patriarch
    AppendWord(drawing, patriarch);
    const std::vector<std::uint8_t> group = Container(kRtOfficeArtSpgr, Container(kRtOfficeArtSp, shape));
    drawing.insert(drawing.end(), group.begin(), group.end());
    return Container(kRtDrawing, Container(kRtOfficeArtDg, drawing));
}

}  // namespace

bool GiveEmptyDrawing(std::vector<std::uint8_t>& page, std::uint32_t drawingId) {
    if (HasDrawing(page))
        return false;
    const std::vector<std::uint8_t> drawing = EmptyDrawing(drawingId);
    page.insert(page.end(), drawing.begin(), drawing.end());
    PutLe32(&page[kRecLenOffset], static_cast<std::uint32_t>(page.size() - kRecordHeaderSize));
    return true;
}
