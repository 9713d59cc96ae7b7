#include "repair/job/job_state.h"

#include "repair/job/messages.h"

std::atomic<std::int32_t> g_bRun{0};
CWnd* g_pRepairPage = nullptr;
CWinThread* g_pRepairThread = nullptr;
std::string g_strWorkingPath;
std::int16_t g_nSectorSize = 512;

void SendProgress(std::uint64_t done, std::uint64_t total) {
    while (total > UINT32_MAX || done > UINT32_MAX) {
        total >>= 1;
        done >>= 1;
    }
    SendMessageW(g_pRepairPage, WM_REPAIR_PROGRESS, static_cast<WPARAM>(done), static_cast<LPARAM>(total));
}
