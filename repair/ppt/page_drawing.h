#pragma once
// A slide, notes page or master whose drawing (its PPDrawing) was lost to the
// damage: the office shows such a page, but stricter readers refuse the whole
// presentation for it. The page gets an empty drawing, a patriarch shape alone.
#include <cstdint>
#include <vector>

// Appends an empty drawing to the page record `page` (header and body) when
// none of its children is one; true when it did.
bool GiveEmptyDrawing(std::vector<std::uint8_t>& page, std::uint32_t drawingId);
