// A call that fails before it reaches the object still leaves an empty result:
// callers clear the result whatever happened, and one left as it was (a stack
// variable) held a stale object pointer that was then released.
#include <gtest/gtest.h>

#include <cstring>

#include "automation/auto_wrap.h"

namespace {

TEST(AutoWrapResult, IsEmptyAfterACallWithoutAnObject) {
    VARIANT result;
    std::memset(&result, 0xA5, sizeof result);
    result.vt = VT_DISPATCH;
    EXPECT_EQ(AutoWrap(DISPATCH_PROPERTYGET, &result, nullptr, "Count", 0), E_FAIL);
    EXPECT_EQ(result.vt, VT_EMPTY);
    EXPECT_EQ(VariantClear(&result), S_OK);
}

}  // namespace
