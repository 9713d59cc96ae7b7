#pragma once
// The message that tells the repair page which phase the repair has reached;
// the page shows it as a line of text under the progress bar.
#include "platform/win_types.h"
#include "repair/repair_phase.h"

// wParam = static_cast<int>(RepairPhase), lParam unused.
constexpr UINT WM_REPAIR_PHASE = WM_APP + 3;

// The language key of the line shown for `phase`; nullptr for a value out of range.
const char* RepairPhaseTextKey(int phase);
