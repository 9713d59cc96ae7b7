#include "automation/compound_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "platform/file_handle.h"

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::size_t kDirectoryEntrySize = 128;

std::uint32_t U32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

struct Failure {};

class CCompoundReader {
public:
    // The file is read without touching its access time: it may be the user's
    // damaged file, which a repair leaves exactly as it was.
    explicit CCompoundReader(const std::string& path) {
        if (!m_in.Open(path, FileAccess::ReadOnly) || !m_in.Size(m_fileSize))
            throw Failure{};
        ReadHeader();
        ReadFat();
        m_directory = ReadChain(m_firstDirectorySector, m_fat, m_sectorSize, std::nullopt);
    }

    std::optional<std::vector<std::uint8_t>> Stream(const std::string& name) {
        if (m_directory.size() < kDirectoryEntrySize)
            return std::nullopt;
        std::uint32_t child = U32(Entry(0) + 76);
        std::set<std::uint32_t> seen;
        std::uint32_t found = Find(child, ToUpper(name), seen);
        if (found == kNoStream)
            return std::nullopt;
        const std::uint8_t* entry = Entry(found);
        if (entry[66] != 2)  // not a stream
            return std::nullopt;
        std::uint32_t start = U32(entry + 116);
        std::uint64_t size = U32(entry + 120);
        if (m_majorVersion == 4)
            size |= std::uint64_t(U32(entry + 124)) << 32;
        if (size > m_fileSize)
            throw Failure{};
        if (size < m_miniCutoff)
            return MiniStream(start, size);
        return ReadChain(start, m_fat, m_sectorSize, size);
    }

private:
    void ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
        if (offset + size > m_fileSize)
            throw Failure{};
        if (m_in.ReadAt(buffer, size, offset) != static_cast<std::int64_t>(size))
            throw Failure{};
    }

    void ReadHeader() {
        ReadAt(0, m_header, sizeof(m_header));
        static constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        if (std::memcmp(m_header, kSignature, 8) != 0 || U16(m_header + 28) != 0xFFFE)
            throw Failure{};
        m_majorVersion = U16(m_header + 26);
        std::uint16_t shift = U16(m_header + 30);
        std::uint16_t miniShift = U16(m_header + 32);
        if ((shift != 9 && shift != 12) || miniShift != 6)
            throw Failure{};
        m_sectorSize = std::size_t(1) << shift;
        m_miniSectorSize = std::size_t(1) << miniShift;
        m_fatSectorCount = U32(m_header + 44);
        m_firstDirectorySector = U32(m_header + 48);
        m_miniCutoff = U32(m_header + 56);
        m_firstMiniFatSector = U32(m_header + 60);
        m_firstDifatSector = U32(m_header + 68);
        m_difatSectorCount = U32(m_header + 72);
    }

    std::uint64_t SectorOffset(std::uint32_t sector) const { return (std::uint64_t(sector) + 1) * m_sectorSize; }
    std::uint64_t SectorCount() const { return m_fileSize / m_sectorSize; }

    void ReadFat() {
        std::vector<std::uint32_t> fatSectors;
        for (std::size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < m_fatSectorCount; ++i)
            fatSectors.push_back(U32(m_header + 76 + 4 * i));
        std::uint32_t difat = m_firstDifatSector;
        std::vector<std::uint8_t> sector(m_sectorSize);
        for (std::uint32_t n = 0; n < m_difatSectorCount && fatSectors.size() < m_fatSectorCount; ++n) {
            if (difat > kMaxRegularSector || n > SectorCount())
                throw Failure{};
            ReadAt(SectorOffset(difat), sector.data(), m_sectorSize);
            std::size_t perSector = m_sectorSize / 4 - 1;
            for (std::size_t i = 0; i < perSector && fatSectors.size() < m_fatSectorCount; ++i)
                fatSectors.push_back(U32(sector.data() + 4 * i));
            difat = U32(sector.data() + 4 * perSector);
        }
        if (fatSectors.size() < m_fatSectorCount || m_fatSectorCount > SectorCount())
            throw Failure{};
        for (std::uint32_t fatSector : fatSectors) {
            if (fatSector > kMaxRegularSector)
                throw Failure{};
            ReadAt(SectorOffset(fatSector), sector.data(), m_sectorSize);
            for (std::size_t i = 0; i < m_sectorSize; i += 4)
                m_fat.push_back(U32(sector.data() + i));
        }
    }

    // Follows a chain of `unit`-sized sectors through `table`; `size` limits
    // it, or (for the directory) the chain's own end does.
    std::vector<std::uint8_t> ReadChain(std::uint32_t start, const std::vector<std::uint32_t>& table, std::size_t unit,
                                        std::optional<std::uint64_t> size, const std::vector<std::uint8_t>* from = nullptr) {
        std::vector<std::uint8_t> data;
        std::uint64_t wanted = size.value_or(UINT64_MAX);
        std::uint32_t sector = start;
        std::size_t steps = 0;
        while (data.size() < wanted && sector != kEndOfChain) {
            if (sector >= table.size() || ++steps > table.size())
                throw Failure{};  // outside the table, or a loop
            std::size_t at = data.size();
            data.resize(at + unit);
            if (from) {
                std::uint64_t offset = std::uint64_t(sector) * unit;
                if (offset + unit > from->size())
                    throw Failure{};
                std::memcpy(data.data() + at, from->data() + offset, unit);
            } else {
                ReadAt(SectorOffset(sector), data.data() + at, unit);
            }
            sector = table[sector];
        }
        if (size) {
            if (data.size() < *size)
                throw Failure{};
            data.resize(*size);
        }
        return data;
    }

    std::optional<std::vector<std::uint8_t>> MiniStream(std::uint32_t start, std::uint64_t size) {
        if (m_miniFat.empty()) {
            std::vector<std::uint8_t> bytes = ReadChain(m_firstMiniFatSector, m_fat, m_sectorSize, std::nullopt);
            for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4)
                m_miniFat.push_back(U32(bytes.data() + i));
            const std::uint8_t* root = Entry(0);
            std::uint64_t miniSize = U32(root + 120);
            if (miniSize > m_fileSize)
                throw Failure{};
            m_miniData = ReadChain(U32(root + 116), m_fat, m_sectorSize, miniSize);
        }
        return ReadChain(start, m_miniFat, m_miniSectorSize, size, &m_miniData);
    }

    const std::uint8_t* Entry(std::uint32_t index) const {
        if ((std::uint64_t(index) + 1) * kDirectoryEntrySize > m_directory.size())
            throw Failure{};
        return m_directory.data() + std::size_t(index) * kDirectoryEntrySize;
    }

    static std::string ToUpper(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return text;
    }

    std::string EntryName(const std::uint8_t* entry) const {
        std::size_t bytes = std::min<std::size_t>(U16(entry + 64), 64);
        std::string name;
        for (std::size_t i = 0; i + 1 < bytes; i += 2) {
            std::uint16_t c = U16(entry + i);
            if (c == 0)
                break;
            name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        }
        return ToUpper(name);
    }

    // Searches the sibling tree below a storage; a damaged tree may loop.
    std::uint32_t Find(std::uint32_t top, const std::string& name, std::set<std::uint32_t>& seen) {
        std::vector<std::uint32_t> pending = {top};
        while (!pending.empty()) {
            std::uint32_t index = pending.back();
            pending.pop_back();
            if (index == kNoStream || !seen.insert(index).second)
                continue;
            const std::uint8_t* entry = Entry(index);
            if (EntryName(entry) == name)
                return index;
            pending.push_back(U32(entry + 72));
            pending.push_back(U32(entry + 68));
        }
        return kNoStream;
    }

    CFileHandle m_in;
    std::uint64_t m_fileSize = 0;
    std::uint8_t m_header[512] = {};
    std::uint16_t m_majorVersion = 3;
    std::size_t m_sectorSize = 512;
    std::size_t m_miniSectorSize = 64;
    std::uint32_t m_fatSectorCount = 0;
    std::uint32_t m_firstDirectorySector = 0;
    std::uint32_t m_miniCutoff = 4096;
    std::uint32_t m_firstMiniFatSector = kEndOfChain;
    std::uint32_t m_firstDifatSector = kEndOfChain;
    std::uint32_t m_difatSectorCount = 0;
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    std::vector<std::uint8_t> m_miniData;
    std::vector<std::uint8_t> m_directory;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadCompoundStream(const std::string& path, const std::string& name) {
    try {
        CCompoundReader reader(path);
        return reader.Stream(name);
    } catch (const Failure&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}
