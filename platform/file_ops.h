#pragma once
// Whole-file operations: copy, delete, move, size.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/win_types.h"

// Copies `count` bytes from `in` at `inPos` to `out` at its current position,
// letting the kernel move the bytes where it can. `chunk` is called with the
// bytes copied so far after every piece and may return false to stop.
// Returns the number of bytes copied (less than `count` at the end of `in`),
// or -1 on an error.
std::int64_t CopyRange(int in, std::uint64_t inPos, int out, std::uint64_t count,
                       const std::function<bool(std::uint64_t)>& chunk = {});

// Copies the file; with `failIfExists` an existing destination is an error,
// otherwise it is replaced. The source is only read.
BOOL CopyFileW(const std::string& source, const std::string& destination, BOOL failIfExists);
BOOL DeleteFileW(const std::string& path);
// Moves the file to `destination`, replacing what is there: a rename within a
// file system, else a copy to a temporary name beside `destination`, renamed
// into place, and the source deleted. The destination is never left half-written.
BOOL MoveFileReplace(const std::string& source, const std::string& destination);
// Puts the file `source` at `destination`, on the disk before it takes the name:
// it is moved (or copied) to a hidden name beside `destination`, flushed, and
// then renamed. Without `replace`, a destination that exists, also one that
// appeared meanwhile, is left alone (EEXIST). 0 on success, else the errno; the
// source is gone only on success.
int PlaceFile(const std::string& source, const std::string& destination, bool replace);
// Why `destination` cannot take a new file: an empty text when it can, else the
// reason (its folder is missing or not writable, the name is too long, it is a
// folder). An existing file is no reason here.
std::string DestinationProblem(const std::string& destination);
// A folder of this process's own under the temporary folder, removed with the object.
class CPrivateFolder {
public:
    CPrivateFolder() = default;
    ~CPrivateFolder();
    CPrivateFolder(const CPrivateFolder&) = delete;
    CPrivateFolder& operator=(const CPrivateFolder&) = delete;
    // Makes the folder under `parent` (with a trailing slash) as "deckmend-XXXXXX".
    bool Create(const std::string& parent);
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
bool FileExists(const std::string& path);
// Size of the file in bytes; false when it cannot be read.
bool GetFileSize(const std::string& path, std::uint64_t& size);
// Removes a folder and everything in it.
void RemoveTree(const std::string& path);
