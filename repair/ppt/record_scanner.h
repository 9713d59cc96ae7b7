#pragma once
// The record scanners: `ScanSourceFile` tests every byte offset of the file under
// repair (encryption check, picture count); `ScanDocumentRecords` tests every
// byte offset of a document image for containers, user edits, masters and the
// document summary.
#include <array>
#include <cstdint>
#include <string>

#include "platform/win_types.h"

// Results of the document scans, shared with the job and the stream rebuild.
inline constexpr std::uint64_t kNoDocument = 1;   // g_posDocument when no container was seen
extern std::uint64_t g_nDocumentCount;            // DocumentContainer headers seen
extern std::uint64_t g_nMasterCount;              // MainMasterContainer headers seen
extern std::uint64_t g_posDocument;               // offset of the last DocumentContainer, or kNoDocument
extern std::uint64_t g_posUserEdit;               // offset of the last qualifying UserEditAtom, 0 for none
extern std::int32_t g_bSummaryFound;              // a property set has been read

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
extern CRecoveredProperties g_recoveredProperties;

enum : std::uint16_t { kScanPictures = 1, kScanEncryption = 2 };

// Reads `g_srcFile` in groups of up to 129 blocks and tests every byte offset of
// the file. kScanPictures offers each offset to the picture carver and counts
// its pictures; kScanEncryption fails on an encrypted CurrentUserAtom or on a
// CryptSession10Container. FALSE as well for no open file, a failed allocation
// or read, or a cancel.
BOOL ScanSourceFile(std::uint64_t fileSize, std::uint32_t blockSize, std::uint16_t mode);

// Tests every byte offset of `image` (imageLength bytes; nothing beyond them is
// read) and updates the results above and the document-edit table.
BOOL ScanDocumentRecords(std::uint32_t sectorSize, const std::uint8_t* image, std::uint64_t imageLength);
