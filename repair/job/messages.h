#pragma once
// Messages and ids shared by the repair job, the pages and the main frame.
#include "platform/win_types.h"

// Progress: wParam = done, lParam = total (the page shows done / total in percent).
constexpr UINT WM_REPAIR_PROGRESS = WM_APP + 2;

// Step commands sent to the main frame as WM_COMMAND.
constexpr int kStepStartPage = 120;
constexpr int kStepRepairPage = 369;
constexpr int kStepSavePage = 374;

// The repair page's animation control, stopped at every ending of the job.
constexpr int kRepairAnimationId = 377;
