#pragma once
// Recognises a package whose first bytes are not its own, such as one behind a
// junk prefix: the scan would still find its entries, so the file is a package.
#include <string>

// True when an acceptable local header starts within the first 1 MiB of the file
// and the file holds no compound-file directory (a compound file whose header
// was lost may carry embedded packages, and those are not the presentation).
bool IsShiftedPackage(const std::string& path);

