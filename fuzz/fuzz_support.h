#pragma once
// What every fuzz target shares: a scratch file that holds the input when the
// code under test reads a file, and what one repair job's steps share.
#include <cstddef>
#include <cstdint>
#include <string>

#include "repair/io/job_control.h"
#include "repair/io/raw_file.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/record_scanner.h"

// The path of this process's scratch file, in the temporary folder.
const std::string& ScratchPath(const char* suffix);
// Writes `size` bytes to the scratch file; false when that fails.
bool WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size);
// One run's state, new for every input as for every repair: the file under
// repair, its carved pictures, the document scans' results and a token that
// is never cancelled.
struct FuzzJob {
    CRawFile source;
    CPictureCarver pictures;
    DocumentScanState scan;
    CancelToken cancel;

    bool Open(const std::string& path) { return source.Open(path) != FALSE; }
    SourceScanJob SourceScan() { return {source, pictures, cancel}; }
};
