#include "repair/ppt/stream_locator.h"

#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "repair/io/read_value.h"
#include "repair/io/job_control.h"
#include "repair/ppt/compound_format.h"
#include "repair/ppt/record_signatures.h"
#include "repair/ppt/source_bytes.h"

using namespace ppt;
using namespace cfb;

namespace {

bool IsSpecial(std::uint32_t entry) { return (entry >> 24) == 0xFF; }
std::uint8_t LowByte(std::uint32_t entry) { return static_cast<std::uint8_t>(entry); }

}  // namespace

BOOL CStreamLocator::BuildRuns(CRawFile& file, std::uint32_t sectorSize, const CancelToken& cancel) {
    Free();
    m_pFile = &file;
    m_nSectorSize = sectorSize;
    if (sectorSize < kHeaderSize || sectorSize % kHeaderSize != 0)
        return FALSE;
    m_nSectorCount = file.m_nFileSize / sectorSize;
    std::vector<std::uint8_t> header(kHeaderSize, 0);
    if (!ReadSourceBytes(file, header.data(), 0, kHeaderSize) || !AcceptHeader(header))
        return FALSE;
    if (!ListFatSectors(header) || !WalkFat(cancel))
        return FALSE;
    BuildResult();
    return TRUE;
}

void CStreamLocator::Free() {
    m_fatSectors = {};
    m_fat = {};
    m_runs = {};
    m_result = {};
    m_nBlocks = 0;
}

bool CStreamLocator::ReadBlock(std::uint64_t block, std::uint8_t* dest) {
    return ReadSourceBytes(*m_pFile, dest, block * m_nSectorSize, m_nSectorSize);
}

bool CStreamLocator::AcceptHeader(const std::vector<std::uint8_t>& header) const {
    const CByteView view(header.data(), header.size());
    if (!view.Matches(0, kSignature, sizeof kSignature))
        return false;
    const auto minor = view.Le16(kMinorVersionOffset);
    const auto shift = view.Le16(kSectorShiftOffset);
    return (minor == kMinorVersions[0] || minor == kMinorVersions[1]) && (shift == kSmallSectorShift || shift == kLargeSectorShift);
}

// The FAT sectors, from the header's DIFAT array and then the DIFAT sectors. The
// first special entry ends the list; entries beyond the file are left out. A
// DIFAT sector holds S/4 - 1 entries and the next DIFAT sector in its last four
// bytes. A chain that comes back to a DIFAT sector already read, or a list longer
// than the file has sectors, is damage and ends the list.
bool CStreamLocator::ListFatSectors(const std::vector<std::uint8_t>& header) {
    CByteReader fields(header.data(), header.size());
    const bool anySector = m_nSectorCount > UINT32_MAX;
    auto take = [&](std::uint32_t entry) {
        if (IsSpecial(entry) || m_fatSectors.size() > m_nSectorCount)
            return false;
        if (anySector || entry < m_nSectorCount)
            m_fatSectors.push_back(entry);
        return true;
    };
    fields.Seek(kDifatFirstOffset);
    std::uint32_t difat = fields.Le32();
    const std::uint32_t difatCount = fields.Le32();
    static_assert(kHeaderDifatOffset == kDifatCountOffset + 4);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i) {
        const std::uint32_t entry = fields.Le32();
        if (!fields.Ok() || !take(entry))
            return true;
    }

    std::unordered_set<std::uint32_t> visited;
    std::vector<std::uint8_t> sector(m_nSectorSize, 0);
    const std::uint32_t entries = m_nSectorSize / 4 - 1;
    for (std::uint32_t n = 0; n < difatCount; ++n) {
        if (IsSpecial(difat) || (!anySector && difat >= m_nSectorCount) || !visited.insert(difat).second)
            return true;
        if (!ReadBlock(std::uint64_t{difat} + 1, sector.data()))
            return false;
        CByteReader difatEntries(sector.data(), sector.size());
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::uint32_t entry = difatEntries.Le32();
            if (!difatEntries.Ok() || !take(entry))
                return true;
        }
        const std::uint32_t next = difatEntries.Le32();
        if (next == 0 || next > m_nSectorCount)
            return true;
        difat = next;
    }
    return true;
}

// Walks every entry of every FAT sector for runs of sectors that start with a
// DocumentContainer header. The state carries over from one FAT sector to the
// next. For a contiguous chain s..e whose sector s starts with the header, the
// run holds blocks s+1 .. e+2: sectors s to e and the one after them.
bool CStreamLocator::WalkFat(const CancelToken& cancel) {
    bool inRun = false, attached = false, expectStart = false;
    std::uint32_t prev = 0, lastValue = 0;
    std::vector<std::uint8_t> fat(m_nSectorSize, 0), probe(m_nSectorSize, 0);
    const std::uint32_t entries = m_nSectorSize / 4;
    auto current = [&]() -> CSectorRun& { return m_runs.back(); };

    for (std::uint32_t f : m_fatSectors) {
        if (cancel.Cancelled() || !ReadBlock(std::uint64_t{f} + 1, fat.data()))
            return false;
        const CByteView fatView(fat.data(), fat.size());
        for (std::uint32_t i = 0; i < entries && m_fat.size() < m_nSectorCount; ++i)
            m_fat.push_back(fatView.Le32(4 * i).value_or(kFreeSector));
        CByteReader fatEntries(fatView);
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::uint32_t entry = fatEntries.Le32();
            if (IsSpecial(entry) && (LowByte(entry) == LowByte(kFreeSector) || LowByte(entry) == LowByte(kFatSector)))
                continue;
            if (IsSpecial(entry) && LowByte(entry) == LowByte(kEndOfChain)) {
                if (inRun && attached) {
                    current().children.push_back(lastValue + 2);
                    attached = false;
                }
                prev = 0;
                expectStart = true;
                continue;
            }
            const std::uint32_t v = entry;
            lastValue = v;
            if (v == 0) {
                // Sector 0 ends the walk of this FAT sector; for a run it is where
                // its chain jumps, so the rest of the stream is still found.
                if (inRun && attached && prev != 0) {
                    current().children.push_back(1);
                    current().endsAtJump = true;
                    attached = false;
                }
                break;
            }
            if (v - prev > 1 && inRun && prev != 0) {
                if (attached) {
                    current().children.push_back(v + 1);
                    current().endsAtJump = true;
                }
                inRun = attached = false;
            }
            if (v > m_nSectorCount)
                break;
            if (!inRun) {
                if (!ReadBlock(v, probe.data()))
                    return false;
                const std::uint32_t start = *CByteView(probe.data(), probe.size()).Le32(0);
                if (start != kRunStartDocument && start != kRunStartXml)
                    continue;
                prev = v;
                expectStart = inRun = true;
            }
            if (!attached && expectStart) {
                m_runs.push_back({v, {}});
                attached = true;
            }
            if (attached)
                current().children.push_back(v + 1);
            prev = v + 1;
            expectStart = false;
        }
    }
    return true;
}

// The first run, then for each further run the children of the first later run
// that starts where the list ends. A list longer than the file cannot be the
// stream; building stops there and the caller takes the whole file.
void CStreamLocator::BuildResult() {
    if (m_runs.empty())
        return;
    const std::uint64_t maxBlocks = m_nSectorCount + 1;
    std::unordered_map<std::uint32_t, std::size_t> firstRunStarting;
    for (std::size_t i = m_runs.size(); i-- > 1;)
        firstRunStarting[m_runs[i].value] = i;

    const CSectorRun* last = &m_runs[0];
    m_result.push_back(last->value);
    m_result.insert(m_result.end(), last->children.begin(), last->children.end());
    for (std::size_t round = 1; round < m_runs.size() && m_result.size() <= maxBlocks; ++round) {
        auto next = firstRunStarting.find(m_result.back());
        if (next == firstRunStarting.end())
            break;  // the list's last block no longer changes
        last = &m_runs[next->second];
        m_result.insert(m_result.end(), last->children.begin(), last->children.end());
    }
    // A run ends where its chain jumps to a sector that is not the next one: a
    // stream stored in fragments. Its remaining sectors are those the FAT chains
    // from the jump's target on; without them the image would hold only the
    // first fragment of the stream.
    if (last->endsAtJump)
        FollowChain(m_result.back());
    m_nBlocks = m_result.size();
}

// Appends the blocks of the FAT chain after block `fromBlock`, up to its end, a
// sector beyond the file or the FAT walked, or a sector met before.
void CStreamLocator::FollowChain(std::uint32_t fromBlock) {
    const std::uint64_t maxBlocks = m_nSectorCount + 1;
    std::unordered_set<std::uint32_t> seen(m_result.begin(), m_result.end());
    std::uint32_t sector = fromBlock - 1;
    while (sector < m_fat.size() && m_result.size() <= maxBlocks) {
        const std::uint32_t next = m_fat[sector];
        if (next >= m_nSectorCount || !seen.insert(next + 1).second)
            return;
        m_result.push_back(next + 1);
        sector = next;
    }
}

void ReadRuns(std::uint8_t* image, CStreamLocator& locator) {
    CRawFile* file = locator.File();
    if (!file)
        return;
    const std::uint32_t sectorSize = locator.SectorSize();
    std::uint64_t written = 0;
    for (std::uint32_t block : locator.Blocks()) {
        if (!ReadSourceBytes(*file, image + written, std::uint64_t{block} * sectorSize, sectorSize))
            return;
        written += sectorSize;
    }
}
