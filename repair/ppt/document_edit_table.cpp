#include "repair/ppt/document_edit_table.h"

namespace {
constexpr std::size_t kFewDocuments = 4;  // up to this many, the last container is taken
}

void CDocumentEditTable::SetEditLength(std::uint64_t key, std::uint32_t value) {
    auto found = m_index.find(key);
    if (found != m_index.end()) {
        m_entries[found->second].second = value;
        return;
    }
    m_index.emplace(key, m_entries.size());
    m_entries.emplace_back(key, value);
}

std::uint32_t CDocumentEditTable::GetEditLength(std::uint64_t key) const {
    if (m_entries.empty())
        return 0;
    auto found = m_index.find(key & 0xFFFFFFFFu);
    if (found != m_index.end())
        return m_entries[found->second].second;
    return m_entries.back().second;
}

std::uint64_t CDocumentEditTable::ChooseDocument() const {
    if (m_entries.empty())
        return 0;
    if (m_entries.size() <= kFewDocuments)
        return m_entries.back().first;
    return m_entries[m_entries.size() - 2].first & 0xFFFFFFFFu;
}

void CDocumentEditTable::Clear() {
    m_entries.clear();
    m_index.clear();
}
