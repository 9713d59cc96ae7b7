#pragma once
// The repair's progress as a text bar on the terminal.
#include <atomic>
#include <cstdint>

class CConsoleProgress {
public:
    explicit CConsoleProgress(bool draw) : m_bDraw(draw) {}
    // Called on the job's thread: the bar never goes back.
    void Update(std::uint64_t done, std::uint64_t total);
    // Called on the main thread: redraws when the percentage has moved.
    void Draw();
    // Ends the bar's line.
    void Finish();

private:
    bool m_bDraw;
    std::atomic<int> m_nPercent{0};
    int m_nDrawn = -1;
};
