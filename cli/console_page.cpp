#include "cli/console_page.h"

#include <cstdio>

#include "repair/job/messages.h"

namespace {
constexpr int kBarWidth = 40;
}

LRESULT CConsoleFrame::WindowProc(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (wParam & 0xFFFF) == kStepStartPage)
        m_bBackToStart = true;
    return 0;
}

CConsolePage::CConsolePage(CConsoleFrame& frame, bool drawBar) : m_bDrawBar(drawBar) {
    SetParent(&frame);
    SetDlgItem(kRepairAnimationId, &m_animation);
}

CConsolePage::~CConsolePage() {
    if (m_bDrawBar && m_nDrawn >= 0)
        std::fputc('\n', stderr);
}

LRESULT CConsolePage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_REPAIR_PROGRESS: {
        // The bar never goes back.
        auto done = static_cast<std::uint32_t>(wParam);
        auto total = static_cast<std::uint32_t>(lParam);
        int percent = total ? static_cast<int>(std::uint64_t{done} * 100 / total) : 0;
        if (percent > 100)
            percent = 100;
        if (percent > m_nPercent)
            m_nPercent = percent;
        return 0;
    }
    case WM_DESTROY:
        m_bOver = true;
        OnTimer();
        return 0;
    default:
        return 0;
    }
}

void CConsolePage::OnTimer() {
    if (m_bDrawBar && m_nPercent != m_nDrawn)
        DrawBar();
}

void CConsolePage::DrawBar() {
    m_nDrawn = m_nPercent;
    int filled = m_nPercent * kBarWidth / 100;
    std::fprintf(stderr, "\rRepairing [%.*s%.*s] %3d%%", filled,
                 "########################################", kBarWidth - filled,
                 "                                        ", m_nPercent);
    std::fflush(stderr);
}
