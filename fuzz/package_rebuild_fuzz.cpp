// The package repair (container rebuild, then the mending) over a fuzzed
// package, and the check for a package behind bytes that are not its own. The
// output is removed after each run.
#include <cstdint>
#include <cstdio>

#include "fuzz/fuzz_support.h"
#include "repair/io/job_control.h"
#include "repair/pptx/package_mend.h"
#include "repair/pptx/package_probe.h"
#include "repair/pptx/package_rebuild.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& source = ScratchPath(".zip");
    const std::string& output = ScratchPath("-out.pptx");
    if (!WriteScratch(source, data, size))
        return 0;
    std::remove(output.c_str());
    IsShiftedPackage(source);
    PackageScanState scan;
    const CancelToken going;
    const JobReporter silent;
    RepairPackageFile({scan, going, silent}, source, output);
    std::remove(output.c_str());
    return 0;
}
