#pragma once
// The tip of the day: one line of "Tips.Txt" picked per page (`PickTip`) and the
// yellow note (`CTipsDlg`) that shows it at the bottom right of the main window
// for five seconds.
#include <QDialog>
#include <QRect>
#include <QTimer>
#include <optional>
#include <string>

#include "platform/win_types.h"

class CXCmdBtn;

// The tip picked by the last `PickTip`: the tips button's sub-text and the note's text.
extern std::string g_strTipText;

// Picks the next of the first five tips of "Tips.Txt" in the program folder,
// stores it in `g_strTipText` and advances the counter "IDS_TIPS" of `section`
// in the settings file. FALSE when the file is missing or has no tip.
BOOL PickTip(const char* section);
// Puts the picked tip into `g_strTipText` in the language in use: the n-th tip
// of "Tips/<Language>.Txt", else the line of "Tips.Txt" (English).
void TranslatePickedTip();

// The note's place for a tip of `tipLength` characters, relative to the owner
// window's rectangle `owner` (screen coordinates).
QRect TipsNoteGeometry(int tipLength, const QRect& owner);

class CTipsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 298;
    static constexpr int kCloseId = 1047;
    static constexpr int kIconId = 365;
    static constexpr int kTimerId = 1;
    static constexpr int kTicksShown = 5;

    // `pParent` is the page: the note is placed by the page's main window. The
    // note is a window of its own, which the page deletes in its destructor.
    explicit CTipsDlg(QWidget* pParent);
    ~CTipsDlg() override;

    // Makes the note ready to show: placed for the current tip, buttons made,
    // the five-second timer started. Pages call it, then show(), on every click
    // of their tips button; the note is reused, not made anew.
    BOOL Create(UINT templateId = kTemplateId);

    // One tick of the one-second timer; the fifth closes the note.
    void OnTimer(UINT id);
    int Ticks() const { return m_nTicks; }
    bool TimerRunning() const { return m_timer.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    BOOL OnInitDialog();
    void CreateButtons();
    void PlaceNote();
    void OnCloseButton();

    QWidget* m_pPage;
    CXCmdBtn* m_pBtnClose = nullptr;
    CXCmdBtn* m_pBtnIcon = nullptr;
    int m_nTicks = 0;
    QTimer m_timer;
};
