#include "repair/pictures/picture_carver.h"

#include <array>
#include <vector>

#include "automation/powerpoint_automation.h"
#include "platform/file_handle.h"
#include "platform/com_windows.h"
#include "platform/file_ops.h"
#include "platform/win_types.h"

#include "repair/io/raw_file.h"
#include "repair/io/job_control.h"
#include "repair/io/working_files.h"
#include "repair/io/read_value.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/slide_builder.h"
#include "repair/ppt/source_bytes.h"

namespace {

// One recognised BLIP header: recType, the recVer/recInstance word (recVer 0)
// and where the picture data starts. The odd instance carries a second 16-byte
// UID; metafiles then have a 34-byte metafile header, bitmaps one tag byte.
struct BlipKind {
    std::uint16_t recType;
    std::uint16_t firstWord;
    const char* type;
    std::uint32_t dataOffset;  // from the record header; data size = recLen - (dataOffset - 8)
};

constexpr std::array<BlipKind, 16> kBlipKinds{{
    {0xF01A, 0x3D40, "EMF", 58},  {0xF01A, 0x3D50, "EMF", 74},
    {0xF01B, 0x2160, "WMF", 58},  {0xF01B, 0x2170, "WMF", 74},
    {0xF01C, 0x5420, "PICT", 58}, {0xF01C, 0x5430, "PICT", 74},
    {0xF01D, 0x46A0, "JPEG", 25}, {0xF01D, 0x46B0, "JPEG", 41},
    {0xF01D, 0x6E20, "JPEG", 25}, {0xF01D, 0x6E30, "JPEG", 41},
    {0xF01E, 0x6E00, "PNG", 25},  {0xF01E, 0x6E10, "PNG", 41},
    {0xF01F, 0x7A80, "DIB", 25},  {0xF01F, 0x7A90, "DIB", 41},
    {0xF020, 0x6E40, "TIFF", 25}, {0xF020, 0x6E50, "TIFF", 41},
}};
using ppt::kFirstBlipType;
using ppt::kLastBlipType;
constexpr std::uint32_t kHeaderSize = ppt::kRecordHeaderSize;

const BlipKind* FindBlipKind(std::uint16_t firstWord, std::uint16_t recType) {
    if (recType < kFirstBlipType || recType > kLastBlipType)
        return nullptr;
    for (const BlipKind& kind : kBlipKinds)
        if (kind.recType == recType && kind.firstWord == firstWord)
            return &kind;
    return nullptr;
}

// A recLen worth listing: not 0, below the file size, long enough for the fixed
// part before the picture data, and small enough for a 32-bit record size.
bool PlausibleRecLen(std::uint32_t recLen, const BlipKind& kind, std::uint64_t fileSize) {
    return recLen != 0 && recLen < fileSize && recLen >= kind.dataOffset - kHeaderSize &&
           recLen <= UINT32_MAX - kHeaderSize;
}

// Pictures go on slides of the blank layout, one per slide (points).
constexpr std::uint32_t kBlankLayoutCode = 2;
constexpr float kPictureLeft = 50.0f, kPictureTop = 50.0f, kPictureWidth = 70.0f, kPictureHeight = 70.0f;
constexpr int kSaveAs = 1;

// "PICT" + number + "." + type in the temporary folder, e.g. PICT2.PNG.
std::string PictureFileName(unsigned number, const std::string& type) {
    return TempFilePath("PICT" + std::to_string(number) + "." + type);
}

bool WritePictureFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    CFileHandle file;
    return file.Open(path, FileAccess::CreateAlways) && file.Write(data, size);
}

// Places the picture in `path` on the last slide, or on a new one when
// `needSlide`; true when it was placed.
bool PlacePicture(const std::string& path, bool needSlide) {
    CSlideBuilder& builder = SlideBuilder();
    const LONG layout = builder.MapSlideLayout(kBlankLayoutCode);
    LONG count = 0;
    builder.GetSlideCount(count);
    if (needSlide)
        builder.AddSlide(count + 1, layout);
    return builder.AddPicture(path, kPictureLeft, kPictureTop, kPictureWidth, kPictureHeight) == S_OK;
}

}  // namespace

int CPictureCarver::MatchPicture(CByteView bytes, std::size_t offset, std::uint64_t fileOffset,
                                 std::uint64_t fileSize) {
    CByteReader header(bytes, offset);
    const std::uint16_t firstWord = header.Le16();
    const std::uint16_t recType = header.Le16();
    const std::uint32_t recLen = header.Le32();
    if (!header.Ok())
        return 0;
    const BlipKind* kind = FindBlipKind(firstWord, recType);
    if (!kind)
        return 0;
    if (PlausibleRecLen(recLen, *kind, fileSize)) {
        CPictureEntry entry;
        entry.m_nOffset = fileOffset;
        entry.m_nRecordSize = recLen + kHeaderSize;
        entry.m_nDataOffset = fileOffset + kind->dataOffset;
        entry.m_nDataSize = recLen - (kind->dataOffset - kHeaderSize);
        entry.m_strType = kind->type;
        m_pictures.push_back(std::move(entry));
    }
    return 1;
}

std::uint64_t CPictureCarver::GetPicturesStreamSize() const {
    std::uint64_t size = 0;
    for (const CPictureEntry& entry : m_pictures)
        size += entry.m_nRecordSize;
    return size;
}

// Records are read at their own byte offsets, whatever the sector size of the
// damaged file, so pictures of files with 4096-byte sectors come out whole too.
int CPictureCarver::BuildPicturesStream(std::span<std::uint8_t> stream, CRawFile& file) const {
    if (m_pictures.empty())
        return 0;
    std::size_t written = 0;
    for (const CPictureEntry& entry : m_pictures) {
        if (entry.m_nRecordSize > stream.size() - written ||
            !ReadSourceBytes(file, stream.data() + written, entry.m_nOffset, entry.m_nRecordSize))
            return 0;
        written += entry.m_nRecordSize;
    }
    return 1;
}

int CPictureCarver::InsertPictures(const std::string& presentation, CRawFile& file, const CancelToken& cancel) {
    if (m_pictures.empty())
        return 0;
    Sleep(50);
    g_pptAutomation.OpenPresentation(presentation);
    bool needSlide = true;
    unsigned number = 1;
    std::vector<std::uint8_t> data;
    for (const CPictureEntry& entry : m_pictures) {
        if (cancel.Cancelled())
            break;
        // Picture data is read at its own byte offset, whatever the sector size.
        data.assign(entry.m_nDataSize, 0);
        if (!ReadSourceBytes(file, data.data(), entry.m_nDataOffset, entry.m_nDataSize))
            return 0;
        const std::string path = PictureFileName(number++, entry.m_strType);
        // A picture that cannot be written out is left behind; the next one may still go.
        if (WritePictureFile(path, data.data(), data.size()))
            needSlide = PlacePicture(path, needSlide);
        DeleteFileW(path);
    }
    if (needSlide)
        SlideBuilder().DeleteSlideIfEmpty();
    g_pptAutomation.ClosePowerPoint(TRUE, presentation, kSaveAs);
    return 1;
}

std::vector<std::array<std::uint8_t, 16>> CPictureCarver::Ids(CRawFile& file) const {
    static_assert(ppt::kBlipUidSize == 16);
    std::vector<std::array<std::uint8_t, 16>> ids(m_pictures.size());
    for (std::size_t i = 0; i < m_pictures.size(); ++i) {
        const CPictureEntry& entry = m_pictures[i];
        if (entry.m_nRecordSize < kHeaderSize + ids[i].size() ||
            !ReadSourceBytes(file, ids[i].data(), entry.m_nOffset + kHeaderSize, static_cast<std::uint32_t>(ids[i].size())))
            ids[i] = {};
    }
    return ids;
}

bool CPictureCarver::PlaceOnCurrentSlide(std::size_t index, CRawFile& file) {
    if (index >= m_pictures.size())
        return false;
    const CPictureEntry& entry = m_pictures[index];
    std::vector<std::uint8_t> data(entry.m_nDataSize, 0);
    if (!ReadSourceBytes(file, data.data(), entry.m_nDataOffset, entry.m_nDataSize))
        return false;
    const std::string path = PictureFileName(static_cast<unsigned>(index + 1), entry.m_strType);
    const bool placed = WritePictureFile(path, data.data(), data.size()) && PlacePicture(path, false);
    DeleteFileW(path);
    return placed;
}

void CPictureCarver::Drop(const std::vector<bool>& drop) {
    std::vector<CPictureEntry> kept;
    for (std::size_t i = 0; i < m_pictures.size(); ++i)
        if (i >= drop.size() || !drop[i])
            kept.push_back(std::move(m_pictures[i]));
    m_pictures = std::move(kept);
}

void CPictureCarver::Reset() {
    m_pictures.clear();
    m_pictures.shrink_to_fit();
}
