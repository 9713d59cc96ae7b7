#pragma once
// What the steps of one repair share: the file under repair, the pictures
// carved from it, what the scans found, and the working copy. Owned by the
// job's context and made anew for every run, so no two jobs share any of it.
#include <cstdint>
#include <string>

#include "repair/io/mapped_file.h"
#include "repair/io/raw_file.h"
#include "repair/pictures/picture_carver.h"
#include "repair/ppt/record_scanner.h"
#include "repair/pptx/package_rebuild.h"

struct RepairState {
    CRawFile srcFile;             // the file under repair, read in blocks
    CMappedFile mappedSource;     // the same file: its path, mapped while a package is repaired
    CPictureCarver pictureCarver;
    DocumentScanState scan;       // the binary chain's scans and the rebuild's counts
    PackageScanState packageScan;
    std::string strWorkingPath;   // working copy of a binary presentation; empty for a package
    std::string strSourceExt;     // extension of the file under repair, without the dot
    std::int16_t nSectorSize = 512;  // sector size of the damaged compound file: 512 or 4096
};
