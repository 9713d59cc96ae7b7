#include "cli/console_progress.h"

#include <cstdio>

namespace {
constexpr int kBarWidth = 40;
}

void CConsoleProgress::Update(std::uint64_t done, std::uint64_t total) {
    if (total == 0)
        return;
    int percent = done >= total ? 100 : static_cast<int>(done * 100 / total);
    int shown = m_nPercent.load();
    while (percent > shown && !m_nPercent.compare_exchange_weak(shown, percent)) {
    }
}

void CConsoleProgress::Draw() {
    const int percent = m_nPercent.load();
    if (!m_bDraw || percent == m_nDrawn)
        return;
    m_nDrawn = percent;
    const int filled = percent * kBarWidth / 100;
    std::fprintf(stderr, "\rRepairing [%.*s%.*s] %3d%%", filled, "########################################",
                 kBarWidth - filled, "                                        ", percent);
    std::fflush(stderr);
}

void CConsoleProgress::Finish() {
    Draw();
    if (m_bDraw && m_nDrawn >= 0)
        std::fputc('\n', stderr);
}
