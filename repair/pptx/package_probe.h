#pragma once
// Recognises a package whose first bytes are not its own, such as one behind a
// junk prefix: the scan would still find its entries, so the file is a package.
#include <cstdint>
#include <string>
#include <vector>

// True when an acceptable local header starts within the first 1 MiB of the file
// and the file holds no compound-file directory (a compound file whose header
// was lost may carry embedded packages, and those are not the presentation).
bool IsShiftedPackage(const std::string& path);

// True when a central directory (as the rebuild writes it) names a part of a
// presentation: "ppt/presentation.xml" or a slide under "ppt/slides/". A
// word-processing document or a workbook renamed .pptx names neither.
bool DirectoryNamesPresentation(const std::vector<std::uint8_t>& directory);
