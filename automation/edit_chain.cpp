#include "automation/edit_chain.h"

#include <map>
#include <set>
#include <vector>

#include "automation/compound_file.h"

namespace {

constexpr std::uint16_t kCurrentUserAtom = 0x0FF6;
constexpr std::uint16_t kUserEditAtom = 0x0FF5;
constexpr std::uint16_t kPersistDirectoryAtom = 0x1772;
constexpr std::uint16_t kDocumentContainer = 0x03E8;
constexpr std::uint64_t kHeaderSize = 8;

struct RecordHeader {
    std::uint16_t version;  // recVer, the low 4 bits
    std::uint16_t instance;
    std::uint16_t type;
    std::uint32_t length;
};

std::uint32_t U32(std::span<const std::uint8_t> bytes, std::uint64_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

// The header at `at` when it and its record body lie inside the bytes.
bool ReadRecord(std::span<const std::uint8_t> bytes, std::uint64_t at, RecordHeader& header) {
    if (at + kHeaderSize > bytes.size())
        return false;
    std::uint16_t verInstance = static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
    header = {static_cast<std::uint16_t>(verInstance & 0xF), static_cast<std::uint16_t>(verInstance >> 4),
              static_cast<std::uint16_t>(bytes[at + 2] | bytes[at + 3] << 8), U32(bytes, at + 4)};
    return at + kHeaderSize + header.length <= bytes.size();
}

struct UserEdit {
    std::uint32_t offsetLastEdit;
    std::uint32_t offsetPersistDirectory;
    std::uint32_t docPersistIdRef;
    std::map<std::uint32_t, std::uint32_t> directory;  // persist id → offset
};

EditChainFault ReadUserEdit(std::span<const std::uint8_t> document, std::uint32_t offset, UserEdit& edit) {
    RecordHeader header{};
    if (!ReadRecord(document, offset, header))
        return EditChainFault::EditOutsideStream;
    if (header.type != kUserEditAtom || header.version != 0 || header.instance != 0 ||
        (header.length != 28 && header.length != 32))
        return EditChainFault::NotUserEdit;
    edit.offsetLastEdit = U32(document, offset + 16);
    edit.offsetPersistDirectory = U32(document, offset + 20);
    edit.docPersistIdRef = U32(document, offset + 24);
    return EditChainFault::None;
}

// The entries of the edit's persist directory; every offset must lead to a
// whole record inside the stream.
EditChainFault ReadDirectory(std::span<const std::uint8_t> document, UserEdit& edit) {
    RecordHeader header{};
    if (!ReadRecord(document, edit.offsetPersistDirectory, header))
        return EditChainFault::DirectoryOutsideStream;
    if (header.type != kPersistDirectoryAtom || header.version != 0 || header.instance != 0)
        return EditChainFault::NotPersistDirectory;
    std::uint64_t at = std::uint64_t(edit.offsetPersistDirectory) + kHeaderSize;
    std::uint64_t end = at + header.length;
    while (at + 4 <= end) {
        std::uint32_t entry = U32(document, at);
        std::uint32_t persistId = entry & 0xFFFFF;
        std::uint32_t count = entry >> 20;
        at += 4;
        if (at + 4 * std::uint64_t(count) > end)
            return EditChainFault::NotPersistDirectory;
        for (std::uint32_t k = 0; k < count; ++k, at += 4) {
            std::uint32_t objectOffset = U32(document, at);
            RecordHeader object{};
            if (!ReadRecord(document, objectOffset, object))
                return EditChainFault::PersistOffsetOutside;
            edit.directory.emplace(persistId + k, objectOffset);
        }
    }
    return at == end ? EditChainFault::None : EditChainFault::NotPersistDirectory;
}

// The edits from the newest back to the first.
EditChainFault ReadChain(std::span<const std::uint8_t> document, std::uint32_t newest, std::vector<UserEdit>& edits) {
    std::set<std::uint32_t> visited;
    std::uint32_t offset = newest;
    while (true) {
        if (!visited.insert(offset).second)
            return EditChainFault::ChainLoop;
        UserEdit edit{};
        if (EditChainFault fault = ReadUserEdit(document, offset, edit); fault != EditChainFault::None)
            return fault;
        if (EditChainFault fault = ReadDirectory(document, edit); fault != EditChainFault::None)
            return fault;
        edits.push_back(std::move(edit));
        offset = edits.back().offsetLastEdit;
        if (offset == 0)
            return EditChainFault::None;
    }
}

// Every edit sees the directories of itself and the edits before it, newer
// entries replacing older ones; its document must be a DocumentContainer.
EditChainFault CheckDocuments(std::span<const std::uint8_t> document, const std::vector<UserEdit>& edits) {
    std::map<std::uint32_t, std::uint32_t> directory;
    for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit) {
        for (const auto& [id, offset] : edit->directory)
            directory[id] = offset;
        auto found = directory.find(edit->docPersistIdRef);
        if (found == directory.end())
            return EditChainFault::DocumentNotResolved;
        RecordHeader header{};
        ReadRecord(document, found->second, header);
        if (header.type != kDocumentContainer || header.version != 0xF)
            return EditChainFault::NotDocumentContainer;
    }
    return EditChainFault::None;
}

}  // namespace

EditChainFault CheckEditChain(std::span<const std::uint8_t> currentUser, std::span<const std::uint8_t> document) {
    RecordHeader header{};
    if (!ReadRecord(currentUser, 0, header) || header.type != kCurrentUserAtom || header.length < 12)
        return EditChainFault::CurrentUserMissing;
    std::uint32_t newest = U32(currentUser, 16);

    std::vector<UserEdit> edits;
    if (EditChainFault fault = ReadChain(document, newest, edits); fault != EditChainFault::None)
        return fault;
    return CheckDocuments(document, edits);
}

bool CheckPresentationFileEditChain(const std::string& path) {
    auto currentUser = ReadCompoundStream(path, "Current User");
    auto document = ReadCompoundStream(path, "PowerPoint Document");
    return currentUser && document && CheckEditChain(*currentUser, *document) == EditChainFault::None;
}

const char* EditChainFaultName(EditChainFault fault) {
    switch (fault) {
    case EditChainFault::None: return "None";
    case EditChainFault::CurrentUserMissing: return "CurrentUserMissing";
    case EditChainFault::EditOutsideStream: return "EditOutsideStream";
    case EditChainFault::NotUserEdit: return "NotUserEdit";
    case EditChainFault::DirectoryOutsideStream: return "DirectoryOutsideStream";
    case EditChainFault::NotPersistDirectory: return "NotPersistDirectory";
    case EditChainFault::PersistOffsetOutside: return "PersistOffsetOutside";
    case EditChainFault::DocumentNotResolved: return "DocumentNotResolved";
    case EditChainFault::NotDocumentContainer: return "NotDocumentContainer";
    case EditChainFault::ChainLoop: return "ChainLoop";
    }
    return "?";
}
