#pragma once
// Tests that need the office or the shared corpus fail when it is missing: a
// test that silently passes without what it checks proves nothing. A run opts
// out of the office explicitly with DECKMEND_SKIP_REAL_OFFICE=1, and its tests
// then show as skipped.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "automation/impress_server.h"
#include "support/process.h"

inline bool OfficeOptedOut() {
    const char* value = std::getenv("DECKMEND_SKIP_REAL_OFFICE");
    return value && std::string(value) == "1";
}

// In a test body: skips when the run opted out, fails when the office is missing.
#define DECKMEND_REQUIRE_OFFICE()                                                             \
    do {                                                                                     \
        if (OfficeOptedOut())                                                                \
            GTEST_SKIP() << "the run opted out of the office (DECKMEND_SKIP_REAL_OFFICE=1)"; \
        ASSERT_TRUE(ImpressServerInstalled()) << "the office is not installed";              \
    } while (0)

// In a test body: fails when the shared corpus is not there.
#define DECKMEND_REQUIRE_CORPUS() \
    ASSERT_TRUE(std::filesystem::exists(SharedPath("corpus"))) << "no corpus at " << SharedPath("corpus")
