// Settings of the Impress server that need no office suite to exist.
#include <mutex>

#include "automation/impress_server.h"

namespace {

std::mutex g_timeoutsLock;
ImpressTimeouts g_timeouts;

}  // namespace

ImpressTimeouts GetImpressTimeouts() {
    std::lock_guard guard(g_timeoutsLock);
    return g_timeouts;
}

void SetImpressTimeouts(const ImpressTimeouts& timeouts) {
    std::lock_guard guard(g_timeoutsLock);
    g_timeouts = timeouts;
}

short ImpressLayoutFor(LONG powerPointLayout) {
    // PowerPoint layout → the Impress AutoLayout with the same placeholders.
    static constexpr struct {
        LONG powerPoint;
        short impress;
    } kLayouts[] = {
        {1, 0},    // title slide → title, subtitle
        {2, 1},    // text → title, content
        {3, 3},    // two-column text → title and two contents
        {11, 19},  // title only
        {12, 20},  // blank
        {15, 32},  // large object → centred text
        {24, 18},  // four objects → title, four contents
        {25, 29},  // vertical text → title, vertical text
        {26, 30},  // clip art and vertical text → title, vertical text, clip art
        {27, 28},  // vertical title and text → vertical title, vertical text
        {28, 27},  // vertical title and text over chart → vertical title, text, chart
    };
    for (const auto& row : kLayouts)
        if (row.powerPoint == powerPointLayout)
            return row.impress;
    return 20;
}
