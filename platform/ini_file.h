#pragma once
// Private-profile (INI) functions with the Windows semantics the program relies
// on: section and key names compare case-insensitively, values are trimmed of
// surrounding blanks, a value is cut to the caller's buffer size, a missing file,
// section or key gives the default, and writing creates the file when needed.
// Files are UTF-8 text; a UTF-8 byte-order mark at the start is ignored.
#include <cstddef>
#include <string>

#include "platform/win_types.h"

// Copies the value of `key` in `section` of the file at `path` to `out`, cut to
// `size` - 1 characters (code points, never a split character), or `def` when the
// value is missing. Returns the number of characters copied. A size of 0 copies
// nothing and returns 0.
DWORD GetPrivateProfileStringW(const std::string& section, const std::string& key,
                               const std::string& def, std::string& out, std::size_t size,
                               const std::string& path);

// Sets `key` = `value` in `section`, creating the file and the section when they
// are missing and keeping every other line of the file as it was. FALSE when the
// file cannot be written.
BOOL WritePrivateProfileStringW(const std::string& section, const std::string& key,
                                const std::string& value, const std::string& path);
