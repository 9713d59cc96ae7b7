#include "repair/ppt/record_scanner.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "repair/io/raw_file.h"
#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/byte_prefilter.h"
#include "repair/ppt/record_signatures.h"

namespace {

using namespace ppt;

constexpr std::uint64_t kGroupBlocks = 129;
// Bytes past the examined part of a buffer that a test may read: the prefilter's
// loads, then the 16 bytes of a CurrentUserAtom token or encryption version.
constexpr std::size_t kTestReach = kPrefilterOverrun + 16;

// Two bytes of every signature the scans test, see byte_prefilter.h: the last
// two bytes of a signature, or its first two.
constexpr std::uint8_t Byte(std::uint32_t signature, int index) {
    return static_cast<std::uint8_t>(signature >> (8 * (3 - index)));
}
constexpr KeyRule TailRule(std::uint32_t signature) {
    return {2, Byte(signature, 2), 3, Byte(signature, 3), Byte(signature, 3)};
}
constexpr KeyRule HeadRule(std::uint32_t signature) {
    return {0, Byte(signature, 0), 1, Byte(signature, 1), Byte(signature, 1)};
}
// A BLIP recType is 0xF01A..0xF020: its high byte, and its low byte in range.
constexpr KeyRule kBlipRule{3, static_cast<std::uint8_t>(kFirstBlipType >> 8), 2,
                            static_cast<std::uint8_t>(kFirstBlipType), static_cast<std::uint8_t>(kLastBlipType)};
constexpr KeyRule kCurrentUserRule = TailRule(kCurrentUserAtom);
constexpr KeyRule kCryptSessionRule = TailRule(kCryptSession10Container);
constexpr KeyRule kDocumentRule = TailRule(kDocumentContainer);
constexpr KeyRule kMainMasterRule = TailRule(kMainMasterContainer);
constexpr KeyRule kUserEditRule = TailRule(kUserEditAtom);
constexpr KeyRule kPropertySetRule = HeadRule(kPropertySetHeader);

// The signature of the record header at `p`; 0 when the header leaves `bytes`.
std::uint32_t SignatureAt(CByteView bytes, std::size_t p) { return CByteReader(bytes, p).Be32(); }

// A CryptSession10Container header at `p` followed by the version of RC4
// CryptoAPI encryption.
bool IsCryptSession(CByteView bytes, std::size_t p) {
    CByteReader header(bytes, p);
    if (header.Be32() != kCryptSession10Container)
        return false;
    header.Seek(p + kCryptVersionOffset);
    const std::uint16_t major = header.Le16();
    const std::uint16_t minor = header.Le16();
    return header.Ok() && major >= kCryptMajorLowest && major <= kCryptMajorHighest && minor == kCryptMinor;
}

// ---------------------------------------------------------------------------
// Source file scan

enum class GroupResult { Continue, Encrypted };

// Mode 2 over one group. After an unencrypted CurrentUserAtom the rest of the
// group is not tested for CurrentUserAtoms, but a CryptSession10Container is
// looked for in the whole group: a file can carry both.
GroupResult CheckEncryption(CByteView buffer, std::size_t count) {
    bool plainTokenSeen = false;
    bool encrypted = false;
    ScanCandidates<kCurrentUserRule, kCryptSessionRule>(buffer, count, [&](std::size_t p) {
        if (!plainTokenSeen && SignatureAt(buffer, p) == kCurrentUserAtom) {
            // A token that leaves the buffer reads as 0: neither kind.
            const std::uint32_t token = buffer.Le32(p + kCurrentUserTokenOffset).value_or(0);
            if (token == kTokenEncrypted)
                return encrypted = true;
            plainTokenSeen = token == kTokenPlain;
            return false;
        }
        return encrypted = IsCryptSession(buffer, p);
    });
    return encrypted ? GroupResult::Encrypted : GroupResult::Continue;
}

// Mode 1 over one group: every offset goes to the picture carver.
void CountPictures(CPictureCarver& pictures, CByteView buffer, std::size_t count, std::uint64_t fileOffset,
                   std::uint64_t fileSize) {
    ScanCandidates<kBlipRule>(buffer, count, [&](std::size_t p) {
        if (pictures.MatchPicture(buffer, p, fileOffset + p, fileSize) == 1)
            ++pictures.m_nCount;
        return false;
    });
}

// The buffer of one group: its blocks, the next group's first block, and the
// reach of the tests; 0 when a block read could not fill it in one call.
std::uint64_t GroupBufferBytes(std::uint64_t groupBlocks, std::uint32_t blockSize) {
    const std::uint64_t bytes = (groupBlocks + 1) * blockSize + kTestReach;
    return bytes <= UINT32_MAX ? bytes : 0;
}

}  // namespace

// The file is read in groups of up to 129 blocks. Each read takes one block of
// the next group as well, so that a signature that begins near the end of a group
// is tested against the bytes that really follow it; every byte of the file,
// the last partial block included, is examined once.
BOOL ScanSourceFile(const SourceScanJob& scan, std::uint64_t fileSize, std::uint32_t blockSize, std::uint16_t mode) {
    if (!scan.file.IsOpen() || blockSize == 0)
        return FALSE;
    const std::uint64_t totalBlocks = std::max<std::uint64_t>(1, (fileSize + blockSize - 1) / blockSize);
    const std::uint64_t groupBlocks = std::min(kGroupBlocks, totalBlocks);
    const std::uint64_t bufferBytes = GroupBufferBytes(groupBlocks, blockSize);
    if (bufferBytes == 0)
        return FALSE;
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(bufferBytes));
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    for (std::uint64_t first = 0; first < totalBlocks; first += groupBlocks) {
        if (scan.cancel.Cancelled())
            return FALSE;
        const std::uint64_t blocks = std::min(groupBlocks, totalBlocks - first);
        const std::uint64_t groupStart = first * blockSize;
        const std::uint64_t readBytes = (blocks + 1) * blockSize;
        // The read overwrites the bytes the file has; the rest of the buffer must
        // read as zeros.
        const std::size_t filled = static_cast<std::size_t>(std::min(readBytes, fileSize - std::min(fileSize, groupStart)));
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(filled), buffer.end(), 0);
        if (!scan.file.ReadBlocks(buffer.data(), static_cast<std::uint32_t>(readBytes), first, TRUE))
            return FALSE;
        const std::size_t examined =
            static_cast<std::size_t>(std::min<std::uint64_t>(blocks * blockSize, fileSize - std::min(fileSize, groupStart)));
        const CByteView group(buffer.data(), buffer.size());
        if (mode == kScanEncryption && CheckEncryption(group, examined) == GroupResult::Encrypted)
            return FALSE;
        if (mode == kScanPictures)
            CountPictures(scan.pictures, group, examined, groupStart, scan.file.m_nFileSize);
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// Document scan

namespace {

constexpr std::uint64_t kNotFound = UINT64_MAX;
constexpr std::size_t kDesignKeyIndex = 2;  // the 0xBA of 20 00 BA 0F

// The property set is taken to hold one section at 48, as a SummaryInformation
// stream with one section does: property identifier/offset pairs from 56 on, a
// string property's byte count at 52 + its offset and its text at 56 + offset.
constexpr std::uint32_t kPairsStart = 56;
constexpr std::uint32_t kStringCountBase = 52;
constexpr std::uint32_t kStringTextBase = 56;
constexpr std::uint32_t kLongestProperty = 100;
constexpr std::uint32_t kTitleId = 2, kSubjectId = 3, kAuthorId = 4;
static_assert(kSubjectId == kTitleId + 1 && kAuthorId == kSubjectId + 1, "properties are indexed by id - kTitleId");

class CDocumentScan {
public:
    CDocumentScan(DocumentScanState& state, std::uint32_t blockSize, CByteView image)
        : m_state(state), m_blockSize(blockSize), m_image(image) {}

    // Every test at offset p; `window` holds the image bytes from p (zeros
    // beyond the image near its end).
    void Examine(CByteView window, std::uint64_t p) {
        CByteReader header(window);
        switch (header.Be32()) {
        case kDocumentContainer:
            ++m_state.nDocumentCount;
            m_state.posDocument = p;
            m_bDocumentSeen = true;
            break;
        case kMainMasterContainer:
            RecoverDesignName(p);
            ++m_state.nMasterCount;
            break;
        case kPropertySetHeader:
            if (!m_state.bSummaryFound && RecoverSummary(p))
                m_state.bSummaryFound = 1;
            break;
        case kUserEditAtom: {
            // Only the low 16 bits of recLen take part in the pairing.
            header.Seek(kRecLenOffset);
            const std::uint16_t length = header.Le16();
            if (header.Ok())
                PairUserEdit(p, length);
            break;
        }
        default:
            break;
        }
    }

private:
    void PairUserEdit(std::uint64_t p, std::uint16_t length) {
        if (length != kUserEditLengthShort && length != kUserEditLengthLong)
            return;
        m_state.posUserEdit = p;
        if (m_state.posDocument != kNoDocument && m_bDocumentSeen) {
            m_state.docEditTable.SetEditLength(m_state.posDocument,
                                               static_cast<std::uint32_t>(p + length - m_state.posDocument));
            m_bDocumentSeen = false;
        }
    }

    // The first CString with instance 2 at or after p, searched in the image
    // itself. The answer for one master serves every later master before it.
    std::uint64_t FindDesignString(std::uint64_t from) {
        if (m_bDesignSearched && (m_designAt == kNotFound || m_designAt >= from))
            return m_designAt;
        m_bDesignSearched = true;
        m_designAt = kNotFound;
        const std::uint8_t* data = m_image.data();
        const std::size_t size = m_image.size();
        std::size_t key = static_cast<std::size_t>(from) + kDesignKeyIndex;
        while (key + 2 <= size) {
            const void* found = std::memchr(data + key, 0xBA, size - key - 1);
            if (!found)
                break;
            key = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
            if (SignatureAt(m_image, key - kDesignKeyIndex) == kDesignNameString) {
                m_designAt = key - kDesignKeyIndex;
                break;
            }
            ++key;
        }
        return m_designAt;
    }

    void RecoverDesignName(std::uint64_t p) {
        const std::uint64_t at = FindDesignString(p);
        if (at == kNotFound)
            return;
        CByteReader record(m_image, at + kRecLenOffset);
        const std::uint32_t length = record.Le32();
        CByteReader text(record.Bytes(length));
        if (!record.Ok())
            return;
        std::u16string name;
        while (text.Left() >= sizeof(char16_t)) {
            const char16_t unit = static_cast<char16_t>(text.Le16());
            if (unit == 0)
                break;
            name.push_back(unit);
        }
        m_state.recoveredProperties.m_strDesignName = std::move(name);
    }

    // Reads title, subject and author from the property set at p; 1 when the
    // walk ran (whatever it found).
    int RecoverSummary(std::uint64_t p) {
        const std::size_t blockSize = m_blockSize;
        std::vector<std::uint8_t> work(blockSize, 0);
        const std::size_t start = static_cast<std::size_t>(std::min<std::uint64_t>(p, m_image.size()));
        if (const auto bytes = m_image.Sub(start, std::min(blockSize, m_image.size() - start)))
            std::memcpy(work.data(), bytes->data(), bytes->size());
        WalkSummary(CByteView(work.data(), work.size()), m_state.recoveredProperties);
        return 1;
    }

    static void WalkSummary(CByteView block, CRecoveredProperties& recovered) {
        struct Property {
            bool located = false;
            bool read = false;
            std::uint64_t offset = 0;
        } properties[3];
        for (std::size_t b = 0; b < block.size() && b <= UINT16_MAX; ++b) {
            const auto id = block.Le32(b);
            if (id && b > kPairsStart && *id >= kTitleId && *id <= kAuthorId) {
                Property& property = properties[*id - kTitleId];
                if (!property.located) {
                    if (const auto offset = block.Le32(b + 4)) {
                        property.located = true;
                        property.offset = *offset;
                    }
                }
            }
            for (std::size_t k = 0; k < 3; ++k) {
                Property& property = properties[k];
                if (!property.located || property.read || property.offset < 4 || property.offset - 4 != b)
                    continue;
                property.read = true;
                if (!ReadStringProperty(block, property.offset, recovered.m_pDocProperties[k]))
                    return;
            }
        }
    }

    // false when the byte count says the walk must stop (a text over 100 bytes).
    static bool ReadStringProperty(CByteView block, std::uint64_t offset, std::string& out) {
        if (offset > block.size())
            return true;
        const auto count = block.Le32(static_cast<std::size_t>(offset) + kStringCountBase);
        if (!count)
            return true;
        if (*count > kLongestProperty)
            return false;
        const auto text = block.Sub(static_cast<std::size_t>(offset) + kStringTextBase, *count);
        if (!text)
            return true;
        const char* chars = reinterpret_cast<const char*>(text->data());
        out.assign(chars, strnlen(chars, text->size()));
        return true;
    }

    DocumentScanState& m_state;
    std::uint32_t m_blockSize;
    CByteView m_image;
    bool m_bDocumentSeen = false;
    bool m_bDesignSearched = false;
    std::uint64_t m_designAt = kNotFound;
};

// Offsets this close to the end are tested on a zero-padded copy, so that no
// test reads past the image.
constexpr std::size_t kTailBytes = kPrefilterOverrun + 8;

}  // namespace

// The design name is searched in the image itself, which holds the master,
// rather than at the master's offset in the file.
BOOL ScanDocumentRecords(DocumentScanState& state, std::uint32_t blockSize, const std::uint8_t* image,
                         std::uint64_t imageLength) {
    if (!image || imageLength == 0)
        return TRUE;
    const std::size_t length = static_cast<std::size_t>(imageLength);
    CDocumentScan scan(state, blockSize, CByteView(image, length));
    const std::size_t body = length > kTailBytes ? length - kTailBytes : 0;
    const CByteView view(image, length);
    ScanCandidates<kDocumentRule, kMainMasterRule, kUserEditRule, kPropertySetRule>(view, body, [&](std::size_t p) {
        scan.Examine(CByteView(image + p, length - p), p);
        return false;
    });
    for (std::size_t p = body; p < length; ++p) {
        std::uint8_t padded[16] = {};
        std::memcpy(padded, image + p, std::min<std::size_t>(sizeof padded, length - p));
        scan.Examine(CByteView(padded, sizeof padded), p);
    }
    return TRUE;
}
