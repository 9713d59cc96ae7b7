#pragma once
// The repair page's animation control: plays a looping animation from the
// program's resources, centred and on a transparent background. The repair job
// stops it with ACM_STOP at every ending.
#include <QWidget>

#include "platform/window.h"

class QMovie;

constexpr UINT ACM_OPEN = WM_USER + 103;
constexpr UINT ACM_PLAY = WM_USER + 101;

class CAnimateCtrl : public QWidget, public CWnd {
    Q_OBJECT
public:
    explicit CAnimateCtrl(QWidget* parent);
    ~CAnimateCtrl() override;

    // Loads animation resource `id`; false when there is none.
    bool Open(int id);
    // Plays from the first frame, repeating for ever.
    void Play();
    void Stop();
    bool IsPlaying() const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QMovie* m_pMovie = nullptr;
};
