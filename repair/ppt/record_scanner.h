#pragma once
// The record scanners: `ScanSourceFile` tests every byte offset of the file under
// repair (encryption check, picture count); `ScanDocumentRecords` tests every
// byte offset of a document image for containers, user edits, masters and the
// document summary.
#include <array>
#include <cstdint>
#include <string>

#include "platform/win_types.h"
#include "repair/ppt/document_edit_table.h"

class CancelToken;
class CPictureCarver;
class CRawFile;

inline constexpr std::uint64_t kNoDocument = 1;  // posDocument when no container was seen

// Texts recovered for the presentation that automation builds: the design name
// of the last main master that has one, and title, subject, author (bytes in the
// system's ANSI code page).
struct CRecoveredProperties {
    std::u16string m_strDesignName;
    std::array<std::string, 3> m_pDocProperties;
    void Clear() {
        m_strDesignName.clear();
        for (auto& text : m_pDocProperties)
            text.clear();
    }
};

// What the scans of one binary repair found, shared by the job, the trim, the
// writer and the rebuild from fragments. A new object is a clean start.
struct DocumentScanState {
    std::uint64_t nDocumentCount = 0;        // DocumentContainer headers seen
    std::uint64_t nMasterCount = 0;          // MainMasterContainer headers seen
    std::uint64_t posDocument = kNoDocument; // offset of the last DocumentContainer, or kNoDocument
    std::uint64_t posUserEdit = 0;           // offset of the last qualifying UserEditAtom, 0 for none
    std::int32_t bSummaryFound = 0;          // a property set has been read
    CRecoveredProperties recoveredProperties;
    CDocumentEditTable docEditTable;
    std::uint64_t posChosenDocument = 0;     // the DocumentContainer the last trim cut from
    std::uint32_t nSlideContainers = 0;      // slide lists and slides the rebuild handled
    std::uint64_t nNotesContainers = 0;      // notes the rebuild handled
};

enum : std::uint16_t { kScanPictures = 1, kScanEncryption = 2 };

// What the source scan reads, and where its pictures go.
struct SourceScanJob {
    CRawFile& file;            // the file under repair
    CPictureCarver& pictures;  // offered every offset in kScanPictures
    const CancelToken& cancel;
};

// Reads the file in groups of up to 129 blocks and tests every byte offset of
// it. kScanPictures offers each offset to the picture carver and counts its
// pictures; kScanEncryption fails on an encrypted CurrentUserAtom or on a
// CryptSession10Container. FALSE as well for no open file, a failed allocation
// or read, or a cancel.
BOOL ScanSourceFile(const SourceScanJob& scan, std::uint64_t fileSize, std::uint32_t blockSize, std::uint16_t mode);

// Tests every byte offset of `image` (imageLength bytes; nothing beyond them is
// read) and updates `state`, its document-edit table included. A property set
// is read as one block of `blockSize` bytes, the block size of the file under
// repair.
BOOL ScanDocumentRecords(DocumentScanState& state, std::uint32_t blockSize, const std::uint8_t* image,
                         std::uint64_t imageLength);
