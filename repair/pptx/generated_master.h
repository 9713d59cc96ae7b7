#pragma once
// The smallest slide master, layout and theme that the office opens, for a
// package whose slides survived every master: the slides are attached to the
// layout, so they open with plain formatting instead of not at all.
#include <string>

// The master, listing one layout as relationship "rId1" with the given id (above
// the master's own id in the presentation part); its theme is "rId2".
std::string GeneratedSlideMaster(unsigned long layoutId);
// A blank layout; its master is relationship "rId1".
std::string GeneratedSlideLayout();
// Black on white, plain fonts, the three fill, line and effect styles required.
std::string GeneratedTheme();
