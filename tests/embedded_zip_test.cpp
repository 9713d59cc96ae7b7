// The check of a ZIP package held in a record: every entry up to the central
// directory must read back to its size and CRC, as a package gathered from the
// right sectors does and one gathered from wrong ones does not.
#include "repair/ppt/embedded_zip.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/zip_builder.h"

namespace {

using testzip::Bytes;
using testzip::Entry;

Bytes Package(const std::vector<Entry>& entries) {
    testzip::Builder b;
    for (const Entry& e : entries)
        b.Add(e);
    b.Finish();
    return b.bytes();
}

TEST(EmbeddedZip, EveryEntryMustReadBackToItsSizeAndCrc) {
    const std::string xml(700, 'x');
    Entry streamed = testzip::Deflated("theme.xml", "<a:theme>" + xml + "</a:theme>");
    streamed.streaming = true;
    Entry wrongCrc("b.xml", "stored text");
    wrongCrc.crcOverride = 1234;
    // Two stretches of a stored entry's data exchanged, as sectors taken in the wrong order are.
    Bytes swapped = Package({Entry("a.xml", "0123456789abcdefghijklmnopqrstuvwxyz"), Entry("b.xml", "stored text")});
    std::swap_ranges(swapped.begin() + 40, swapped.begin() + 44, swapped.begin() + 44);
    struct Case {
        const char* what;
        Bytes bytes;
        bool checksOut;
    } cases[] = {
        {"stored and deflated entries", Package({Entry("a.xml", "stored text"), testzip::Deflated("b.xml", xml)}),
         true},
        {"a deflated entry with a descriptor after it", Package({streamed}), true},
        {"an entry whose CRC is not its data's", Package({Entry("a.xml", "text"), wrongCrc}), false},
        {"bytes of the deflated data swapped", swapped, false},
        {"cut inside the data", Bytes(swapped.begin(), swapped.begin() + 50), false},
        {"a central directory and no entry", Package({}), false},
        {"no package", Bytes(64, 0x5A), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(EmbeddedZipChecksOut(CByteView(c.bytes.data(), c.bytes.size())), c.checksOut);
    }
}

}  // namespace
