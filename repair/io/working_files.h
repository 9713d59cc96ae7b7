#pragma once
// Names of the files that a repair keeps in the temporary folder.
#include <string>

#include "platform/folders.h"

inline constexpr const char* kPackageCopyName = "tempDoc.zip";        // byte copy of a damaged package
inline constexpr const char* kPackageResultName = "tempRecDoc.pptx";  // the rebuilt package
inline constexpr const char* kStaleWorkingName = "__122oweke.pptx";   // left by older versions
inline constexpr const char* kWorkingPrefix = "__working.";           // + extension: binary working copy

inline std::string TempFilePath(const std::string& name) { return GetTempPathW() + name; }
