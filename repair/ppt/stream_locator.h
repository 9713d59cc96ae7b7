#pragma once
// Finds the "PowerPoint Document" stream through the compound file's allocation
// tables without trusting its directory: runs of sectors whose first sector
// begins with a DocumentContainer header, read in order into one image.
//
// Blocks are sector numbers + 1 (the header is block 0); block b lies at byte
// S x b for the sector size S, so 4096-byte sectors are positioned correctly.
#include <cstdint>
#include <vector>

#include "platform/win_types.h"
#include "repair/io/raw_file.h"

class CancelToken;

struct CSectorRun {
    std::uint32_t value = 0;               // the run's first block
    std::vector<std::uint32_t> children;   // its further blocks, in order
    bool endsAtJump = false;               // ended where its chain jumps to another sector
};

class CStreamLocator {
public:
    // Validates the header of `file` and fills the FAT, run and result lists.
    // FALSE when the header cannot be read or is not accepted, or a read fails
    // during the walk, or on a cancel; m_nBlocks is then 0.
    BOOL BuildRuns(CRawFile& file, std::uint32_t sectorSize, const CancelToken& cancel);
    void Free();

    CRawFile* File() const { return m_pFile; }
    std::uint32_t SectorSize() const { return m_nSectorSize; }
    const std::vector<std::uint32_t>& FatSectors() const { return m_fatSectors; }
    const std::vector<CSectorRun>& Runs() const { return m_runs; }
    const std::vector<std::uint32_t>& Blocks() const { return m_result; }

    std::uint64_t m_nBlocks = 0;  // blocks in the result list

private:
    bool ReadBlock(std::uint64_t block, std::uint8_t* dest);
    bool AcceptHeader(const std::vector<std::uint8_t>& header) const;
    bool ListFatSectors(const std::vector<std::uint8_t>& header);
    bool WalkFat(const CancelToken& cancel);
    void BuildResult();
    void FollowChain(std::uint32_t fromBlock);

    CRawFile* m_pFile = nullptr;
    std::uint32_t m_nSectorSize = 512;
    std::uint64_t m_nSectorCount = 0;
    std::vector<std::uint32_t> m_fatSectors;
    std::vector<std::uint32_t> m_fat;  // the FAT entries walked, one per sector of the file
    std::vector<CSectorRun> m_runs;
    std::vector<std::uint32_t> m_result;
};

// Reads S bytes of every block of the locator's result list, in order, into
// `image` (S x m_nBlocks bytes); stops at the first failed read.
void ReadRuns(std::uint8_t* image, CStreamLocator& locator);
