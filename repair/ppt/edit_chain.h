#pragma once
// The edit chain of a binary presentation, checked as PowerPoint checks it
// before it opens a file: the "Current User" stream points at the newest user
// edit in the "PowerPoint Document" stream, and every user edit, back to the
// first, must lead to a persist directory whose objects lie in the stream and
// which resolves the document to a DocumentContainer. The office suite opens
// far more than PowerPoint does; without this check a rebuilt file that
// PowerPoint would refuse passes as repaired.
#include <cstdint>
#include <span>
#include <string>

enum class EditChainFault {
    None,
    CurrentUserMissing,       // no CurrentUserAtom at the start of "Current User"
    EditOutsideStream,        // a user edit offset, or its atom, lies outside the stream
    NotUserEdit,              // no UserEditAtom (recLen 28 or 32) at a user edit offset
    DirectoryOutsideStream,   // the persist directory lies outside the stream
    NotPersistDirectory,      // no PersistDirectoryAtom at the directory offset
    PersistOffsetOutside,     // a persist object's offset or record runs out of the stream
    DocumentNotResolved,      // the document's persist id is in no directory
    NotDocumentContainer,     // the document's persist id leads elsewhere
    ChainLoop,                // an earlier-edit offset leads back into the chain
};

// Checks the two streams' bytes.
EditChainFault CheckEditChain(std::span<const std::uint8_t> currentUser, std::span<const std::uint8_t> document);

// Reads both streams of the compound file at `path` and checks them; false
// when either stream cannot be read or the chain is broken.
bool CheckPresentationFileEditChain(const std::string& path);

const char* EditChainFaultName(EditChainFault fault);
