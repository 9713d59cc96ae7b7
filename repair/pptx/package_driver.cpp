#include "repair/pptx/package_driver.h"

#include "platform/file_ops.h"
#include "repair/io/job_control.h"
#include "repair/io/working_files.h"
#include "repair/pptx/package_mend.h"

BOOL CopyPackageToTemp(const std::string& sourcePath) {
    return CopyFileW(sourcePath, TempFilePath(kPackageCopyName), FALSE);
}

PackageRepairResult RepairPackageWithReport(const PackageJob& job) {
    PackageRepairResult result =
        RepairPackageFile(job, TempFilePath(kPackageCopyName), TempFilePath(kPackageResultName));
    if (!result.repaired)
        job.report.Progress(100, 100);
    return result;
}

BOOL RepairPackage(const PackageJob& job) {
    return RepairPackageWithReport(job).repaired ? TRUE : FALSE;
}
