#pragma once
// Small compound files built byte by byte for the binary-repair tests: a header,
// FAT sectors and sector contents, nothing else (no directory is needed by the
// scanners under test).
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "repair/io/read_value.h"

class CompoundBuilder {
public:
    static constexpr std::uint32_t kFree = 0xFFFFFFFF;
    static constexpr std::uint32_t kEnd = 0xFFFFFFFE;
    static constexpr std::uint32_t kFatMark = 0xFFFFFFFD;

    // `shift` 9 (512-byte sectors) or 12 (4096); `sectorCount` sectors after the header.
    CompoundBuilder(std::uint16_t shift, std::uint32_t sectorCount)
        : m_shift(shift), m_sectorSize(1u << shift), m_fat(sectorCount, kFree), m_sectorCount(sectorCount) {}

    std::uint32_t SectorSize() const { return m_sectorSize; }
    // Byte offset of sector k in the file.
    std::uint64_t Position(std::uint32_t k) const { return std::uint64_t{m_sectorSize} * (k + 1); }

    // Sector `k` holds a FAT sector (filled at Build with the FAT entries).
    void AddFatSector(std::uint32_t k) {
        m_fatSectors.push_back(k);
        m_fat[k] = kFatMark;
    }
    // Chains sectors `first`..`last` contiguously, ending the chain at `last`.
    void Chain(std::uint32_t first, std::uint32_t last) {
        for (std::uint32_t k = first; k < last; ++k)
            m_fat[k] = k + 1;
        m_fat[last] = kEnd;
    }
    void SetFat(std::uint32_t k, std::uint32_t value) { m_fat[k] = value; }
    // Bytes written at the start of sector k.
    void Put(std::uint32_t k, std::vector<std::uint8_t> bytes) { m_contents[k] = std::move(bytes); }
    void SetMinorVersion(std::uint16_t minor) { m_minor = minor; }

    std::vector<std::uint8_t> Build() const {
        std::vector<std::uint8_t> file(static_cast<std::size_t>(Position(m_sectorCount)), 0);
        static const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        std::memcpy(file.data(), kSignature, 8);
        PutLe16(&file[24], m_minor);
        PutLe16(&file[26], m_shift == 12 ? 4 : 3);
        PutLe16(&file[28], 0xFFFE);
        PutLe16(&file[30], m_shift);
        PutLe16(&file[32], 6);
        PutLe32(&file[44], static_cast<std::uint32_t>(m_fatSectors.size()));
        PutLe32(&file[48], kEnd);
        PutLe32(&file[68], kEnd);
        for (std::uint32_t i = 0; i < 109; ++i)
            PutLe32(&file[76 + 4 * i], i < m_fatSectors.size() ? m_fatSectors[i] : kFree);
        const std::uint32_t perSector = m_sectorSize / 4;
        for (std::size_t n = 0; n < m_fatSectors.size(); ++n)
            for (std::uint32_t i = 0; i < perSector; ++i) {
                const std::size_t index = n * perSector + i;
                const std::uint32_t value = index < m_fat.size() ? m_fat[index] : kFree;
                PutLe32(&file[Position(m_fatSectors[n]) + 4 * i], value);
            }
        for (const auto& [k, bytes] : m_contents)
            std::memcpy(&file[Position(k)], bytes.data(), bytes.size());
        return file;
    }

private:
    std::uint16_t m_shift;
    std::uint32_t m_sectorSize;
    std::uint16_t m_minor = 0x3E;
    std::vector<std::uint32_t> m_fat;
    std::uint32_t m_sectorCount;
    std::vector<std::uint32_t> m_fatSectors;
    std::map<std::uint32_t, std::vector<std::uint8_t>> m_contents;
};
