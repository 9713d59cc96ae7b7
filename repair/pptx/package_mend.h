#pragma once
// The step after the container rebuild: every entry of the rebuilt package is
// checked (inflated, its CRC computed), what is broken is salvaged or left out,
// the scaffolding of the presentation is rebuilt, and the result is written
// anew only when something had to change, so a sound package comes out exactly
// as the container rebuild wrote it.
#include <string>
#include <vector>

#include "repair/pptx/package_rebuild.h"
#include "repair/pptx/package_result.h"

// Mends `rebuiltPath` (the container rebuild of `sourcePath`, with what its
// scan noted in `scan`) into `outputPath`, which must not exist. `rebuiltPath` is
// consumed: renamed to the output when nothing changes, deleted otherwise. A
// cancel stops the checks.
PackageRepairResult MendPackage(const std::string& sourcePath, const PackageScanState& scan,
                                const std::string& rebuiltPath, const std::string& outputPath,
                                const CancelToken& cancel);

// The container rebuild followed by the mending, from `sourcePath` to `outputPath`.
PackageRepairResult RepairPackageFile(const PackageJob& job, const std::string& sourcePath,
                                      const std::string& outputPath);
