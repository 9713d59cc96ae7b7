#pragma once
// The document-edit table: for every DocumentContainer offset in the document
// image, the length from it to the end of the first qualifying UserEditAtom after
// it. Entries keep their insertion order.
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

class CDocumentEditTable {
public:
    // Replaces the value of an existing key, or appends a new entry.
    void SetEditLength(std::uint64_t key, std::uint32_t value);
    // The value of the first entry whose key is the low 32 bits of `key`; 0 for an
    // empty table; the last entry's value for a key that is absent.
    std::uint32_t GetEditLength(std::uint64_t key) const;
    // The container to cut from: 0 for an empty table, the last key with one to
    // four entries, the low 32 bits of the second-to-last key with five or more.
    std::uint64_t ChooseDocument() const;
    void Clear();

    const std::vector<std::pair<std::uint64_t, std::uint32_t>>& Entries() const { return m_entries; }

private:
    std::vector<std::pair<std::uint64_t, std::uint32_t>> m_entries;
    std::unordered_map<std::uint64_t, std::size_t> m_index;  // key -> position in m_entries
};
