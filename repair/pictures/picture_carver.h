#pragma once
// The picture carver: recognises BLIP record headers in the raw bytes of the
// file under repair, keeps the pictures found in file order, and hands them out
// as the bytes of a new "Pictures" stream.
#include <cstddef>
#include <cstdint>
#include <array>
#include <span>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "repair/io/read_value.h"

class CRawFile;
class CancelToken;

struct CPictureEntry {
    std::uint64_t m_nOffset = 0;      // file offset of the BLIP record header
    std::uint32_t m_nRecordSize = 0;  // recLen + 8: the whole record
    std::uint64_t m_nDataOffset = 0;  // file offset of the picture data
    std::uint32_t m_nDataSize = 0;    // size of the picture data
    std::string m_strType;            // "EMF", "WMF", "PICT", "JPEG", "PNG", "DIB" or "TIFF"
};

class CPictureCarver {
public:
    // 1 when the eight bytes at `offset` of `bytes` are a recognised BLIP
    // header, else 0 (also when they leave `bytes`). `fileOffset` is the file
    // offset of that byte. The header is listed only when its recLen is
    // plausible for the file under repair, `fileSize` bytes long; the result is
    // 1 either way.
    int MatchPicture(CByteView bytes, std::size_t offset, std::uint64_t fileOffset, std::uint64_t fileSize);

    // Sum of the record sizes of the listed pictures.
    std::uint64_t GetPicturesStreamSize() const;
    // Copies every listed record, whole and back to back in list order, from the
    // file under repair, `file`, into `stream`. 0 when the list is empty, a
    // record does not fit `stream` or a read fails.
    int BuildPicturesStream(std::span<std::uint8_t> stream, CRawFile& file) const;
    // Places every listed picture on a slide of the working presentation at
    // `presentation`, through a temporary picture file each, reading the data
    // from `file`, the file under repair. The presentation is saved and closed.
    // A picture whose temporary file cannot be written is skipped; a cancel
    // stops the placing. 0 when the list is empty or a picture cannot be read.
    int InsertPictures(const std::string& presentation, CRawFile& file, const CancelToken& cancel);
    // The BLIP id of each listed picture, read from `file` (zeros where it cannot be).
    std::vector<std::array<std::uint8_t, 16>> Ids(CRawFile& file) const;
    // Places listed picture `index` on the working presentation's current slide
    // through a temporary file, reading its data from `file`; true when placed.
    bool PlaceOnCurrentSlide(std::size_t index, CRawFile& file);
    // Takes the listed pictures out whose flag in `drop` is set.
    void Drop(const std::vector<bool>& drop);
    // Empties the list; the count stays.
    void Reset();

    const std::vector<CPictureEntry>& Pictures() const { return m_pictures; }

    std::uint32_t m_nCount = 0;  // recognised headers, counted by the source scan

private:
    std::vector<CPictureEntry> m_pictures;
};
