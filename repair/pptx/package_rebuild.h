#pragma once
// Rebuild of a damaged ZIP package without trusting its central directory: the
// source is walked for local file headers, every entry that can be accounted for
// is copied with its data unchanged (and checked on the way: inflated, its CRC
// computed), and a new central directory with its end records is written behind
// the entries. The mending of the presentation follows (package_mend.h).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

class CancelToken;
struct JobReporter;

// An entry whose data runs past the end of the source: a cut-off file. Its data
// is taken up to the end of the file by the mending step after the rebuild.
struct CutEntry {
    std::string name;
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint64_t dataStart = 0;
};
inline constexpr std::size_t kMaxCutEntries = 16;

// The scan state of one rebuild; a new object is a clean start.
struct PackageScanState {
    std::uint64_t scanPosition = 0;
    std::uint64_t sourceSize = 0;
    bool archiveZip64 = false;         // the source is 4 GiB or larger
    std::uint32_t entryCount = 0;
    std::uint64_t outputOffset = 0;    // where the next entry's header goes in the output
    std::uint64_t headerOffset = 0;    // output offset of the entry being copied
    bool entryZip64 = false;           // the entry keeps its ZIP64 sizes
    bool offsetZip64 = false;          // the entry's header offset needs 64 bits
    std::uint16_t lastVersionNeeded = 0;
    std::uint64_t bytesWritten = 0;
    std::vector<std::uint8_t> directory;       // the new central directory
    std::vector<std::uint64_t> entryLengths;   // output length of entry N at index N - 1
    std::vector<CutEntry> cutEntries;          // entries not taken because they are cut off
    std::vector<std::string> namedByDirectory; // entries whose damaged local header the old directory mended
    // Per entry taken, in order: its data inflated (or read) whole with CRC and
    // size as recorded, checked while it was copied.
    std::vector<bool> entrySound;
};

// What one package repair works with: its own scan state, the job's cancel
// token, and where its progress goes.
struct PackageJob {
    PackageScanState& scan;
    const CancelToken& cancel;
    const JobReporter& report;
};

// Rebuilds "tempDoc.zip" of the temporary folder into "tempRecDoc.pptx" beside it.
// TRUE when the output exists and is at least 512 bytes long. The output must not
// exist yet.
BOOL RebuildPackage(const PackageJob& job);
// The same with explicit paths.
BOOL RebuildPackageFile(const PackageJob& job, const std::string& sourcePath, const std::string& outputPath);
