#pragma once
// What a package repair works with in a test: its own scan state, a token
// that stays uncancelled unless a test cancels it, and no progress reporter.
#include "repair/io/job_control.h"
#include "repair/pptx/package_rebuild.h"

struct TestPackageJob {
    PackageScanState scan;
    CancelToken cancel;
    JobReporter report;

    PackageJob Job() { return {scan, cancel, report}; }
};
