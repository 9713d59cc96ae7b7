#include "repair/ppt/edit_chain.h"

#include <map>
#include <set>
#include <vector>

#include "repair/io/read_value.h"
#include "repair/ppt/compound_file.h"
#include "repair/ppt/record_header.h"
#include "repair/ppt/record_signatures.h"

namespace {

using namespace ppt;

CByteView ViewOf(std::span<const std::uint8_t> bytes) { return CByteView(bytes.data(), bytes.size()); }

// The header at `at` when it and its record body lie inside the bytes.
bool ReadRecord(std::span<const std::uint8_t> bytes, std::uint64_t at, RecordHeader& header) {
    const auto whole = WholeRecordAt(ViewOf(bytes), at);
    if (whole)
        header = *whole;
    return whole.has_value();
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
    if (header.type != kRtUserEditAtom || header.verInstance != 0 ||
        (header.length != kUserEditLengthShort && header.length != kUserEditLengthLong))
        return EditChainFault::NotUserEdit;
    CByteReader body(ViewOf(document), std::uint64_t{offset} + kRecordHeaderSize + kUserEditOffsetLastEdit);
    edit.offsetLastEdit = body.Le32();
    edit.offsetPersistDirectory = body.Le32();
    edit.docPersistIdRef = body.Le32();
    static_assert(kUserEditOffsetPersistDir == kUserEditOffsetLastEdit + 4 &&
                  kUserEditDocPersistIdRef == kUserEditOffsetPersistDir + 4);
    return body.Ok() ? EditChainFault::None : EditChainFault::EditOutsideStream;
}

// The entries of the edit's persist directory; every offset must lead to a
// whole record inside the stream.
EditChainFault ReadDirectory(std::span<const std::uint8_t> document, UserEdit& edit) {
    RecordHeader header{};
    if (!ReadRecord(document, edit.offsetPersistDirectory, header))
        return EditChainFault::DirectoryOutsideStream;
    if (header.type != kRtPersistDirectoryAtom || header.verInstance != 0)
        return EditChainFault::NotPersistDirectory;
    CByteReader body(ViewOf(document), std::uint64_t{edit.offsetPersistDirectory} + kRecordHeaderSize);
    CByteReader entries(body.Bytes(header.length));
    while (entries.Left() >= 4) {
        const std::uint32_t entry = entries.Le32();
        const std::uint32_t persistId = entry & kPersistIdMask;
        const std::uint32_t count = entry >> kPersistIdBits;
        if (std::uint64_t{count} * 4 > entries.Left())
            return EditChainFault::NotPersistDirectory;
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t objectOffset = entries.Le32();
            RecordHeader object{};
            if (!ReadRecord(document, objectOffset, object))
                return EditChainFault::PersistOffsetOutside;
            edit.directory.emplace(persistId + k, objectOffset);
        }
    }
    return entries.Ok() && entries.Left() == 0 ? EditChainFault::None : EditChainFault::NotPersistDirectory;
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
        if (!ReadRecord(document, found->second, header) || header.type != kRtDocument ||
            !header.IsContainer())
            return EditChainFault::NotDocumentContainer;
    }
    return EditChainFault::None;
}

}  // namespace

EditChainFault CheckEditChain(std::span<const std::uint8_t> currentUser, std::span<const std::uint8_t> document) {
    RecordHeader header{};
    if (!ReadRecord(currentUser, 0, header) || header.type != kRtCurrentUserAtom ||
        header.length < kCurrentUserEditOffset + 4 - kRecordHeaderSize)
        return EditChainFault::CurrentUserMissing;
    const std::uint32_t newest = ViewOf(currentUser).Le32(kCurrentUserEditOffset).value_or(0);

    std::vector<UserEdit> edits;
    if (EditChainFault fault = ReadChain(document, newest, edits); fault != EditChainFault::None)
        return fault;
    return CheckDocuments(document, edits);
}

bool CheckPresentationFileEditChain(const std::string& path) {
    auto currentUser = ReadCompoundStream(path, kCurrentUserStreamName);
    auto document = ReadCompoundStream(path, kDocumentStreamName);
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
