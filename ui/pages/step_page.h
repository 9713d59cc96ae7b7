#pragma once
// What the three wizard step pages share: the header (logo, help menu with the
// language choice, FAQ link, social link, tips button), the background bands
// and header panel, and the routing of commands from their buttons.
#include <QFont>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/window.h"
#include "ui/pages/page_layout.h"

class CWizardFrame;
class CTipsDlg;
class CXCmdBtn;
class QLineEdit;
class QMenu;

class CStepPage : public QWidget, public CWnd {
    Q_OBJECT
public:
    ~CStepPage() override;

    // Creates the page's controls (its OnCreate); false when a control cannot
    // be created, and the frame then has no page.
    bool CreatePage(int pageId);
    // The page's own handling of the destruction of its window.
    virtual void DestroyWindow() {}
    // Messages sent through the platform (SendMessageW): commands, and what a page adds.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    CStepPage(CWizardFrame* frame, const QString& name);

    virtual bool OnCreate() = 0;
    // A command from a button or the help menu; the header's are handled here.
    virtual void OnCommand(int id);
    // Texts of the page's own controls, read again after a language switch.
    virtual void ApplyTexts() {}

    // The header and footer, created in the order of the pages' tables.
    bool CreateLogo();
    bool CreateHeaderLinks();
    bool CreateHome(const layout::Pictures& pictures, bool enabled, bool visible);
    bool CreateSocial();
    // Picks the tip of the day for `section` and creates the tips button.
    bool CreateTips(const std::string& section);
    // A command button at `rect` with its pictures and caption key.
    CXCmdBtn* CreateButton(int id, const layout::Rect& rect, const layout::Pictures& pictures,
                           const char* captionKey, bool enabled = true);
    // The read-only field that shows a chosen path, beside the Browse button.
    QLineEdit* CreatePathEdit(int id, const QFont& font);
    // Removes the frame's sizing border and maximise box.
    void FixFrameSize();

    // Closes and deletes the tip note, when there is one.
    void CloseTipsDlg();
    void SendCommandToFrame(int step);
    CWizardFrame* Frame() const { return m_pFrame; }
    QString Text(const char* key) const;

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    QString m_strHeader;
    QFont m_fontHeader;

private:
    void OnHelpMenu();
    QMenu* BuildHelpMenu();
    void OnLanguage(int index);
    void ApplyHeaderTexts();
    void OnShowTips();
    void OnAbout();
    void PlaceHeaderLinks();
    void FitTipsButton();
    // Accessible names and descriptions of the page's controls, in the language in use.
    void NameControls();

    CWizardFrame* m_pFrame;
    CXCmdBtn* m_pBtnHelp = nullptr;
    CXCmdBtn* m_pBtnFaq = nullptr;
    CXCmdBtn* m_pBtnTips = nullptr;
    QPointer<CTipsDlg> m_pTipsDlg;
    int m_nLinkRight = layout::kLinkRightStart;
};
