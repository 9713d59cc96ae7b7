#pragma once
// The repair job: the worker thread that turns the chosen file into a working
// copy in the temporary folder, with progress, cancellation and one ending for
// every failure.
#include "platform/win_types.h"

// The thread function; `page` is the repair page (a CWnd*) that every report goes
// to. Always returns 0: the outcome reaches the page through its messages.
UINT RepairThreadProc(void* page);

// Zeroes the counts that tell whether a repair salvaged anything (documents,
// masters, slide and notes containers, pictures). Every job starts with it, so
// counts of an earlier repair never make a later one look successful.
void ResetRepairCounts();

// Scan results of an earlier repair must not leak into the next one: the
// counts, the positions, the document-edit table, the picture list, the
// recovered texts and the last report. Every job starts with it.
void ResetScanState();
