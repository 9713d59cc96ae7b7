#pragma once
// State that the repair job shares with the pages: its thread and its working
// copy, and (through job_control.h) the run flag and the reporters.
#include <cstdint>
#include <string>

#include "platform/window.h"
#include "repair/io/job_control.h"

// The job's thread, kept by the repair page; set while a repair runs.
extern CWinThread* g_pRepairThread;
// Working copy of a binary presentation; empty for a package.
extern std::string g_strWorkingPath;
// Sector size of the damaged compound file: 512 or 4096.
extern std::int16_t g_nSectorSize;
