#pragma once
// What every fuzz target shares: a scratch file that holds the input when the
// code under test reads a file, and the reset of the scan results that the
// repair job does before each repair.
#include <cstddef>
#include <cstdint>
#include <string>

// The path of this process's scratch file, in the temporary folder.
const std::string& ScratchPath(const char* suffix);
// Writes `size` bytes to the scratch file; false when that fails.
bool WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size);
// Opens `path` as the file under repair (g_srcFile), with the job's run flag set.
bool OpenAsSource(const std::string& path);
void CloseSource();
// Zeroes the document-scan results, the document-edit table, the picture list
// and the recovered texts.
void ResetScanResults();
