#include "repair/ppt/compound_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "platform/file_handle.h"
#include "repair/io/read_value.h"
#include "repair/ppt/compound_format.h"

namespace {

using namespace cfb;

struct Failure {};

// The reader's Ok(), or a failure of the whole read.
void Require(const CByteReader& reader) {
    if (!reader.Ok())
        throw Failure{};
}

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
        const std::uint32_t child = EntryField32(0, kEntryChildOffset);
        std::set<std::uint32_t> seen;
        const std::uint32_t found = Find(child, ToUpper(name), seen);
        if (found == kNoStream)
            return std::nullopt;
        CByteReader entry = Entry(found);
        entry.Seek(kEntryTypeOffset);
        const std::uint8_t type = entry.U8();
        entry.Seek(kEntryStartSectorOffset);
        const std::uint32_t start = entry.Le32();
        std::uint64_t size = entry.Le32();
        const std::uint64_t high = entry.Le32();
        Require(entry);
        if (type != kEntryTypeStream)
            return std::nullopt;
        if (m_majorVersion == kMajorVersion4)
            size |= high << 32;
        if (size > m_fileSize)
            throw Failure{};
        if (size < m_miniCutoff)
            return MiniStream(start, size);
        return ReadChain(start, m_fat, m_sectorSize, size);
    }

private:
    void ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
        if (offset > m_fileSize || size > m_fileSize - offset)
            throw Failure{};
        if (m_in.ReadAt(buffer, size, offset) != static_cast<std::int64_t>(size))
            throw Failure{};
    }

    void ReadHeader() {
        ReadAt(0, m_header, sizeof(m_header));
        CByteReader header(m_header, sizeof m_header);
        const CByteView signature = header.Bytes(sizeof kSignature);
        header.Seek(kMajorVersionOffset);
        m_majorVersion = header.Le16();
        const std::uint16_t byteOrder = header.Le16();
        const std::uint16_t shift = header.Le16();
        const std::uint16_t miniShift = header.Le16();
        header.Seek(kFatSectorCountOffset);
        m_fatSectorCount = header.Le32();
        m_firstDirectorySector = header.Le32();
        header.Seek(kMiniStreamCutoffOffset);
        m_miniCutoff = header.Le32();
        m_firstMiniFatSector = header.Le32();
        header.Seek(kDifatFirstOffset);
        m_firstDifatSector = header.Le32();
        m_difatSectorCount = header.Le32();
        Require(header);
        if (std::memcmp(signature.data(), kSignature, sizeof kSignature) != 0 || byteOrder != kByteOrderMark)
            throw Failure{};
        if ((shift != kSmallSectorShift && shift != kLargeSectorShift) || miniShift != kMiniSectorShift)
            throw Failure{};
        m_sectorSize = std::size_t(1) << shift;
        m_miniSectorSize = std::size_t(1) << miniShift;
    }

    std::uint64_t SectorOffset(std::uint32_t sector) const { return (std::uint64_t(sector) + 1) * m_sectorSize; }
    std::uint64_t SectorCount() const { return m_fileSize / m_sectorSize; }

    // The FAT sectors: first from the header's DIFAT array, then from the
    // DIFAT sectors, each of which ends with the number of the next.
    std::vector<std::uint32_t> ListFatSectors() {
        std::vector<std::uint32_t> fatSectors;
        CByteReader header(CByteView(m_header, sizeof m_header), kHeaderDifatOffset);
        for (std::size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < m_fatSectorCount; ++i)
            fatSectors.push_back(header.Le32());
        Require(header);
        std::uint32_t difat = m_firstDifatSector;
        std::vector<std::uint8_t> sector(m_sectorSize);
        const std::size_t perSector = m_sectorSize / 4 - 1;
        for (std::uint32_t n = 0; n < m_difatSectorCount && fatSectors.size() < m_fatSectorCount; ++n) {
            if (difat > kMaxRegularSector || n > SectorCount())
                throw Failure{};
            ReadAt(SectorOffset(difat), sector.data(), m_sectorSize);
            CByteReader entries(sector.data(), sector.size());
            for (std::size_t i = 0; i < perSector && fatSectors.size() < m_fatSectorCount; ++i)
                fatSectors.push_back(entries.Le32());
            entries.Seek(4 * perSector);
            difat = entries.Le32();
            Require(entries);
        }
        if (fatSectors.size() < m_fatSectorCount || m_fatSectorCount > SectorCount())
            throw Failure{};
        return fatSectors;
    }

    void ReadFat() {
        std::vector<std::uint8_t> sector(m_sectorSize);
        for (std::uint32_t fatSector : ListFatSectors()) {
            if (fatSector > kMaxRegularSector)
                throw Failure{};
            ReadAt(SectorOffset(fatSector), sector.data(), m_sectorSize);
            AppendEntries(CByteView(sector.data(), sector.size()), m_fat);
        }
    }

    // Every whole 32-bit entry of `bytes`, in order.
    static void AppendEntries(CByteView bytes, std::vector<std::uint32_t>& table) {
        CByteReader entries(bytes);
        while (entries.Left() >= 4)
            table.push_back(entries.Le32());
    }

    // Follows a chain of `unit`-sized sectors through `table`; `size` limits
    // it, or (for the directory) the chain's own end does.
    std::vector<std::uint8_t> ReadChain(std::uint32_t start, const std::vector<std::uint32_t>& table, std::size_t unit,
                                        std::optional<std::uint64_t> size, const std::vector<std::uint8_t>* from = nullptr) {
        std::vector<std::uint8_t> data;
        const std::uint64_t wanted = size.value_or(UINT64_MAX);
        std::uint32_t sector = start;
        std::size_t steps = 0;
        while (data.size() < wanted && sector != kEndOfChain) {
            if (sector >= table.size() || ++steps > table.size())
                throw Failure{};  // outside the table, or a loop
            const std::size_t at = data.size();
            data.resize(at + unit);
            if (from) {
                const auto bytes = CByteView(from->data(), from->size()).Sub(std::size_t(sector) * unit, unit);
                if (!bytes)
                    throw Failure{};
                std::memcpy(data.data() + at, bytes->data(), unit);
            } else {
                ReadAt(SectorOffset(sector), data.data() + at, unit);
            }
            sector = table[sector];
        }
        if (size) {
            if (data.size() < *size)
                throw Failure{};
            data.resize(static_cast<std::size_t>(*size));
        }
        return data;
    }

    std::optional<std::vector<std::uint8_t>> MiniStream(std::uint32_t start, std::uint64_t size) {
        if (m_miniFat.empty()) {
            const std::vector<std::uint8_t> bytes = ReadChain(m_firstMiniFatSector, m_fat, m_sectorSize, std::nullopt);
            AppendEntries(CByteView(bytes.data(), bytes.size()), m_miniFat);
            const std::uint32_t miniStart = EntryField32(0, kEntryStartSectorOffset);
            const std::uint64_t miniSize = EntryField32(0, kEntrySizeOffset);
            if (miniSize > m_fileSize)
                throw Failure{};
            m_miniData = ReadChain(miniStart, m_fat, m_sectorSize, miniSize);
        }
        return ReadChain(start, m_miniFat, m_miniSectorSize, size, &m_miniData);
    }

    // A reader over directory entry `index`.
    CByteReader Entry(std::uint32_t index) const {
        const auto entry = CByteView(m_directory.data(), m_directory.size())
                               .Sub(std::size_t(index) * kDirectoryEntrySize, kDirectoryEntrySize);
        if (!entry)
            throw Failure{};
        return CByteReader(*entry);
    }
    std::uint32_t EntryField32(std::uint32_t index, std::uint32_t offset) const {
        CByteReader entry = Entry(index);
        entry.Seek(offset);
        const std::uint32_t value = entry.Le32();
        Require(entry);
        return value;
    }

    static std::string ToUpper(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return text;
    }

    static std::string EntryName(CByteReader entry) {
        entry.Seek(kEntryNameLengthOffset);
        const std::size_t bytes = std::min<std::size_t>(entry.Le16(), kEntryNameBytes);
        entry.Seek(0);
        std::string name;
        for (std::size_t i = 0; i + 1 < bytes; i += 2) {
            const std::uint16_t c = entry.Le16();
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
            const std::uint32_t index = pending.back();
            pending.pop_back();
            if (index == kNoStream || !seen.insert(index).second)
                continue;
            if (EntryName(Entry(index)) == name)
                return index;
            pending.push_back(EntryField32(index, kEntryRightSiblingOffset));
            pending.push_back(EntryField32(index, kEntryLeftSiblingOffset));
        }
        return kNoStream;
    }

    CFileHandle m_in;
    std::uint64_t m_fileSize = 0;
    std::uint8_t m_header[kHeaderSize] = {};
    std::uint16_t m_majorVersion = 3;
    std::size_t m_sectorSize = kSmallSectorSize;
    std::size_t m_miniSectorSize = std::size_t(1) << kMiniSectorShift;
    std::uint32_t m_fatSectorCount = 0;
    std::uint32_t m_firstDirectorySector = 0;
    std::uint32_t m_miniCutoff = kDefaultMiniStreamCutoff;
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
