#include "repair/job/job_state.h"

CWinThread* g_pRepairThread = nullptr;
std::string g_strWorkingPath;
std::int16_t g_nSectorSize = 512;
