#include "repair/pptx/package_driver.h"

#include "platform/file_ops.h"
#include "repair/io/job_control.h"
#include "repair/io/working_files.h"
#include "repair/pptx/package_mend.h"
#include "repair/pptx/package_rebuild.h"

void ResetPackageScanState() {
    g_packageScan = PackageScanState{};
}

BOOL CopyPackageToTemp(const std::string& sourcePath) {
    return CopyFileW(sourcePath, TempFilePath(kPackageCopyName), FALSE);
}

PackageRepairResult RepairPackageWithReport() {
    PackageRepairResult result = RepairPackageFile(TempFilePath(kPackageCopyName), TempFilePath(kPackageResultName));
    if (!result.repaired)
        SendProgress(100, 100);
    return result;
}

BOOL RepairPackage() {
    return RepairPackageWithReport().repaired ? TRUE : FALSE;
}
