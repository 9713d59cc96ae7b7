#pragma once
// Messages from the repair job to the repair page: the phase the repair has
// reached (a line of text under the progress bar), and the recovery report
// that the save page then shows.
#include "platform/win_types.h"
#include "repair/repair_phase.h"

// wParam = static_cast<int>(RepairPhase), lParam unused.
constexpr UINT WM_REPAIR_PHASE = WM_APP + 3;

// lParam = const RecoveryReport* (valid during the call: send it with
// SendMessageW); wParam unused. The frame hands a copy to the save page.
constexpr UINT WM_REPAIR_REPORT = WM_APP + 4;

// The language key of the line shown for `phase`; nullptr for a value out of range.
const char* RepairPhaseTextKey(int phase);
