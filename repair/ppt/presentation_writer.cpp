#include "repair/ppt/presentation_writer.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "automation/powerpoint_automation.h"
#include "platform/com_windows.h"
#include "platform/file_ops.h"
#include "platform/ole_file_manager.h"
#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/source_bytes.h"

namespace {

// The largest stream of a compound file with 512-byte sectors.
constexpr std::uint64_t kLargestStream = 0x80000000;
// Pause between writing the file and handing it to the office.
constexpr DWORD kSettlePause = 50;

constexpr const std::uint8_t* kTemplateTail = kCurrentUserTemplate.data() + kCurrentEditFieldOffset + kCurrentEditFieldSize;
constexpr std::size_t kTemplateTailSize = kCurrentUserStreamSize - kCurrentEditFieldOffset - kCurrentEditFieldSize;

// The carved pictures, whole and back to back, as the "Pictures" stream. When
// there are none, or they cannot be read or held in one stream, the file is
// written without it; false only when the buffer or the write fails.
bool WritePicturesStream(COleFileManager& ole, const CarvedSource& carved, std::uint32_t sectorSize) {
    const std::uint64_t size = carved.pictures.GetPicturesStreamSize();
    if (size == 0 || size > kLargestStream)
        return true;
    std::vector<std::uint8_t> buffer;
    try {
        buffer.assign(size + 3 * std::uint64_t{sectorSize}, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (carved.pictures.BuildPicturesStream(buffer, carved.file) != 1)
        return true;
    return ole.WriteStream(ole.GetStorage(), kPicturesStreamName, buffer.data(), static_cast<std::uint32_t>(size));
}

// The original "Pictures" stream, as it was.
bool WriteKeptPictures(COleFileManager& ole, const std::vector<std::uint8_t>& pictures) {
    return pictures.size() <= kLargestStream &&
           ole.WriteStream(ole.GetStorage(), kPicturesStreamName, pictures.data(), static_cast<std::uint32_t>(pictures.size()));
}

// The streams in their order; the file is complete only when Close succeeds.
bool WriteCompoundFile(const CarvedSource& carved, std::uint32_t sectorSize, const std::uint8_t* stream,
                       const std::string& path, std::uint32_t streamLength,
                       const std::vector<std::uint8_t>& keptPictures) {
    COleFileManager ole;
    if (!ole.CreateDocfile(path))
        return false;
    const bool pictures = keptPictures.empty() ? WritePicturesStream(ole, carved, sectorSize)
                                                : WriteKeptPictures(ole, keptPictures);
    return pictures &&
           ole.WriteStream(ole.GetStorage(), kDocumentStreamName, stream, streamLength) &&
           ole.WriteStream(ole.GetStorage(), kCurrentUserStreamName, kCurrentUserTemplate.data(),
                           kCurrentUserStreamSize) &&
           ole.Close();
}

// Offsets of the whole template (every byte but the offsetToCurrentEdit field)
// that start before `startLimit` in `view`.
std::vector<std::size_t> FindTemplates(const CByteView& view, std::size_t startLimit) {
    std::vector<std::size_t> found;
    const auto* first = view.data();
    const auto* last = first + view.size();
    const std::boyer_moore_horspool_searcher prefix(kCurrentUserTemplate.data(),
                                                    kCurrentUserTemplate.data() + kCurrentEditFieldOffset);
    for (const auto* at = std::search(first, last, prefix); at != last; at = std::search(at + 1, last, prefix)) {
        const auto offset = static_cast<std::size_t>(at - first);
        if (offset >= startLimit)
            break;
        if (view.Matches(offset + kCurrentEditFieldOffset + kCurrentEditFieldSize, kTemplateTail, kTemplateTailSize))
            found.push_back(offset);
    }
    return found;
}

// Stores the field at `fieldOffset` of `buffer` (read from `firstBlock` of
// `file`) and writes back the blocks that hold it, within the `length` bytes read.
bool PatchField(CRawFile& file, std::uint8_t* buffer, std::size_t length, std::uint64_t firstBlock,
                std::size_t fieldOffset, std::uint32_t value) {
    PutLe32(buffer + fieldOffset, value);
    const std::size_t blockSize = file.m_nBlockSize;
    const std::size_t from = fieldOffset / blockSize * blockSize;
    const std::size_t to = std::min(length, (fieldOffset + kCurrentEditFieldSize + blockSize - 1) / blockSize * blockSize);
    return file.WriteBlocks(buffer + from, static_cast<std::uint32_t>(to - from), firstBlock + from / blockSize, TRUE);
}

// Has the office open the file; one that opens is closed unsaved and the office
// kept running for the rest of the repair (its check and comparison, ended by
// the job); one that is refused is deleted and the office ended, since a file
// it refused may have left it in any state.
BOOL TestOpen(const std::string& path) {
    if (!g_pptAutomation.OpenPresentation(path, FALSE, 0).empty()) {
        g_pptAutomation.ClosePresentation();
        return TRUE;
    }
    g_pptAutomation.ClosePowerPoint(FALSE, std::string(), 0);
    DeleteFileW(path);
    return FALSE;
}

}  // namespace

int PatchCurrentUserAtoms(const std::string& path, std::uint32_t offsetToCurrentEdit, const CancelToken& cancel,
                          std::uint32_t chunkBlocks) {
    CRawFile file;
    if (!file.Open(path, FileAccess::ReadWrite))
        return -1;
    // Each piece is read with the bytes a template starting in it may reach
    // into the next; templates are looked for only where they fit the file.
    const std::uint64_t size = file.m_nFileSize;
    const std::uint64_t blockSize = file.m_nBlockSize;
    const std::uint64_t piece = std::max<std::uint32_t>(chunkBlocks, 1) * blockSize;
    std::vector<std::uint8_t> buffer(piece + kCurrentUserStreamSize - 1);
    int patched = 0;
    for (std::uint64_t position = 0; position < size; position += piece) {
        if (cancel.Cancelled())
            return -1;
        const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(size - position, buffer.size()));
        std::fill(buffer.begin(), buffer.end(), 0);
        if (!file.ReadBlocks(buffer.data(), static_cast<std::uint32_t>(length), position / blockSize, TRUE))
            return -1;
        const CByteView view(buffer.data(), length);
        for (std::size_t offset : FindTemplates(view, static_cast<std::size_t>(piece))) {
            if (!PatchField(file, buffer.data(), length, position / blockSize, offset + kCurrentEditFieldOffset,
                            offsetToCurrentEdit))
                return -1;
            ++patched;
        }
    }
    return patched;
}

std::vector<PictureSlot> CarvedPictureSlots(const CarvedSource& carved) {
    const std::uint64_t size = carved.pictures.GetPicturesStreamSize();
    std::vector<PictureSlot> slots;
    if (size == 0 || size > kLargestStream)
        return slots;
    std::uint64_t offset = 0;
    for (const CPictureEntry& entry : carved.pictures.Pictures()) {
        PictureSlot slot;
        slot.offset = static_cast<std::uint32_t>(offset);
        if (entry.m_nRecordSize >= ppt::kRecordHeaderSize + ppt::kBlipUidSize &&
            ReadSourceBytes(carved.file, slot.uid.data(), entry.m_nOffset + ppt::kRecordHeaderSize, ppt::kBlipUidSize))
            slots.push_back(slot);
        offset += entry.m_nRecordSize;
    }
    return slots;
}

BOOL WritePresentationFile(const CarvedSource& carved, const CancelToken& cancel, std::uint32_t sectorSize,
                           const std::uint8_t* stream, const std::string& path, std::uint32_t streamLength,
                           std::uint32_t offsetToCurrentEdit, const std::vector<std::uint8_t>& keptPictures) {
    if (!WriteCompoundFile(carved, sectorSize, stream, path, streamLength, keptPictures))
        return FALSE;
    if (cancel.Cancelled())
        return FALSE;
    if (PatchCurrentUserAtoms(path, offsetToCurrentEdit, cancel) <= 0)
        return FALSE;
    Sleep(kSettlePause);
    return TestOpen(path);
}
