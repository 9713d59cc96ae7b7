#pragma once
// The command line's stand-ins for the repair page and the main frame: they take
// the job's messages on the main thread, as the wizard's pages do, and draw a
// text progress bar.
#include <cstdint>
#include <string>

#include "platform/window.h"

class CConsoleFrame : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The job sent the frame back to the start page: the repair failed or was cancelled.
    bool BackToStart() const { return m_bBackToStart; }

private:
    bool m_bBackToStart = false;
};

class CConsolePage : public CWnd {
public:
    CConsolePage(CConsoleFrame& frame, bool drawBar);
    ~CConsolePage() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Redraws the bar when the percentage has moved (the 50 ms timer's work).
    void OnTimer();
    int Percent() const { return m_nPercent; }
    bool Over() const { return m_bOver; }

private:
    class CAnimation : public CWnd {
    public:
        LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return 0; }
    };

    void DrawBar();

    CAnimation m_animation;
    bool m_bDrawBar;
    int m_nPercent = 0;
    int m_nDrawn = -1;
    bool m_bOver = false;
};
