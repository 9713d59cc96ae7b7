#pragma once
// The steps the repair job runs for a package.
#include <string>

#include "platform/win_types.h"
#include "repair/pptx/package_rebuild.h"
#include "repair/pptx/package_result.h"

// Copies the damaged package to "tempDoc.zip" in the temporary folder, replacing
// an earlier copy. FALSE when the copy fails.
BOOL CopyPackageToTemp(const std::string& sourcePath);
// Rebuilds the copy into "tempRecDoc.pptx". On failure the progress bar is sent
// to its end and FALSE returned.
BOOL RepairPackage(const PackageJob& job);
// The same, with the reason for a failure and the state of every part: the
// container is rebuilt, every entry checked, broken XML parts mended and the
// presentation's scaffolding rebuilt.
PackageRepairResult RepairPackageWithReport(const PackageJob& job);
