#pragma once
// The temporary folder and free space.
#include <cstdint>
#include <string>

// The folder for working files, always with a trailing slash: the one set with
// `SetTempFolder`, else $TMPDIR, else "/tmp/".
std::string GetTempPathW();
// Makes `folder` the temporary folder of this process (an empty text undoes
// it); the folder set before, empty when there was none.
std::string SetTempFolder(const std::string& folder);

// Free bytes available to the user on the volume that holds `path` (or, for a
// path that does not exist yet, its nearest existing parent). False when unknown.
bool GetDiskFreeSpaceExW(const std::string& path, std::uint64_t& freeBytes);
