#include "ui/pages/step_page.h"

#include <QActionGroup>
#include <QLineEdit>
#include <QMenu>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "ui/pages/wizard_frame.h"
#include "platform/file_ops.h"
#include "ui/controls/control_styles.h"
#include "ui/controls/picture_resources.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/dialogs/about_dlg.h"
#include "ui/dialogs/tips_dlg.h"
#include "ui/pages/page_painting.h"
#include "ui/pages/shell_targets.h"
#include "ui/pages/web_addresses.h"
#include "ui/settings/settings.h"

namespace {

// Native names of the languages, in the order of their indexes.
const char* const kLanguageMenuNames[kLanguageCount] = {"English", "Français", "Deutsch", "Italiano",
                                                        "Español"};

// Help-menu pictures: the check bitmaps of the items and of the language entry.
constexpr int kHelpFilePicture = 121;
constexpr int kSupportPicture = 40015;
constexpr int kUpdatePicture = 122;
constexpr int kAboutPicture = 123;
constexpr int kCurrentLanguagePicture = 1055;
constexpr int kOtherLanguagePicture = 299;

QIcon MenuIcon(int picture) { return QIcon(PictureResourcePath(picture)); }

}  // namespace

CStepPage::CStepPage(CWizardFrame* frame, const QString& name) : QWidget(frame), m_pFrame(frame) {
    setObjectName(name);
    SetParent(frame);
    // Pages paint every pixel themselves.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CStepPage::~CStepPage() {
    if (m_pTipsDlg)
        delete m_pTipsDlg.data();
    g_nHotButtonId = -1;
}

bool CStepPage::CreatePage(int pageId) {
    g_nHotButtonId = -1;
    SetDlgCtrlID(this, pageId);
    setGeometry(0, 0, layout::kFrameWidth, layout::kFrameHeight);
    m_fontHeader = MakePageFont(this, layout::kHeaderPoints);
    if (!OnCreate())
        return false;
    NameControls();
    return true;
}

void CStepPage::NameControls() {
    // Controls that draw pictures rather than words, and links whose caption
    // does not say where they lead.
    const struct {
        const char* object;
        const char* nameKey;  // nullptr: the caption is the name
        const char* descriptionKey;
    } kNames[] = {{"btnHome", "IDS_ACC_HOME", nullptr},
                  {"btnSocial", "IDS_ACC_SHARE", "IDS_ACC_SHARE_DESC"},
                  {"btnLogo", "IDS_RUNNING3", nullptr},
                  {"btnHelp", nullptr, "IDS_ACC_HELP_DESC"},
                  {"btnFaq", nullptr, "IDS_ACC_FAQ_DESC"}};
    for (CXCmdBtn* button : findChildren<CXCmdBtn*>(Qt::FindDirectChildrenOnly)) {
        button->setAccessibleName(button->m_strText);
        button->setAccessibleDescription(button->m_strSubText);
        for (const auto& entry : kNames) {
            if (button->objectName() != QLatin1String(entry.object))
                continue;
            if (entry.nameKey)
                button->setAccessibleName(Text(entry.nameKey));
            if (entry.descriptionKey)
                button->setAccessibleDescription(Text(entry.descriptionKey));
        }
    }
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("editPath"), Qt::FindDirectChildrenOnly))
        edit->setAccessibleName(Text(::GetDlgCtrlID(edit) == layout::kIdSourcePath ? "IDS_ACC_SOURCE"
                                                                                   : "IDS_ACC_DESTINATION"));
}

QString CStepPage::Text(const char* key) const { return QString::fromStdString(LoadLangString(key)); }

CXCmdBtn* CStepPage::CreateButton(int id, const layout::Rect& rect, const layout::Pictures& pictures,
                                  const char* captionKey, bool enabled) {
    auto* button = new CXCmdBtn;
    button->m_nNormalImage = pictures.normal;
    button->m_nHoverImage = pictures.hover;
    button->m_nPressedImage = pictures.pressed;
    button->m_bNotifyParent = true;
    if (captionKey)
        button->m_strText = Text(captionKey);
    const DWORD style = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | (enabled ? 0 : WS_DISABLED);
    if (!button->Create(QString(), style, rect.ToQRect(), this, static_cast<UINT>(id))) {
        delete button;
        return nullptr;
    }
    return button;
}

bool CStepPage::CreateLogo() {
    CXCmdBtn* logo = CreateButton(layout::kIdLogo, layout::kLogoRect, layout::kLogoPictures, nullptr, false);
    if (!logo)
        return false;
    logo->m_bSticky = TRUE;
    logo->setObjectName(QStringLiteral("btnLogo"));
    return true;
}

bool CStepPage::CreateHeaderLinks() {
    m_pBtnHelp = CreateButton(layout::kIdHelp, {0, layout::kLinkRowTop, 0, layout::kLinkRowBottom},
                              layout::kHelpPictures, "IDS_RHELP");
    m_pBtnFaq = CreateButton(layout::kIdFaq, {0, layout::kLinkRowTop, 0, layout::kLinkRowBottom},
                             layout::kFaqPictures, "IDS_FAQ");
    if (!m_pBtnHelp || !m_pBtnFaq)
        return false;
    m_pBtnHelp->setObjectName(QStringLiteral("btnHelp"));
    m_pBtnFaq->setObjectName(QStringLiteral("btnFaq"));
    PlaceHeaderLinks();
    return true;
}

// Right to left from x 880: the help link, then the FAQ link 20 pixels before it.
void CStepPage::PlaceHeaderLinks() {
    const int helpRight = m_nLinkRight;
    const int helpLeft = helpRight - layout::kHelpCharWidth * static_cast<int>(m_pBtnHelp->m_strText.size()) -
                         layout::kLinkIconRoom;
    const int faqRight = helpLeft - layout::kLinkGap;
    const int faqLeft = faqRight - layout::kFaqCharWidth * static_cast<int>(m_pBtnFaq->m_strText.size()) -
                        layout::kLinkIconRoom;
    const int height = layout::kLinkRowBottom - layout::kLinkRowTop;
    m_pBtnHelp->setGeometry(helpLeft, layout::kLinkRowTop, helpRight - helpLeft, height);
    m_pBtnFaq->setGeometry(faqLeft, layout::kLinkRowTop, faqRight - faqLeft, height);
}

bool CStepPage::CreateHome(const layout::Pictures& pictures, bool enabled, bool visible) {
    CXCmdBtn* home = CreateButton(layout::kIdHome, layout::kHomeRect, pictures, nullptr, false);
    if (!home)
        return false;
    home->setObjectName(QStringLiteral("btnHome"));
    home->setEnabled(enabled);
    home->setVisible(visible);
    return true;
}

bool CStepPage::CreateSocial() {
    CXCmdBtn* social = CreateButton(layout::kIdSocial, layout::kSocialRect, layout::kSocialPictures, nullptr);
    if (!social)
        return false;
    social->m_bSticky = TRUE;
    social->setObjectName(QStringLiteral("btnSocial"));
    return true;
}

bool CStepPage::CreateTips(const std::string& section) {
    const bool found = PickTip(section.c_str()) != FALSE;
    m_pBtnTips = CreateButton(layout::kIdTips, layout::kTipsRect, layout::kTipsPictures, nullptr);
    if (!m_pBtnTips)
        return false;
    m_pBtnTips->setObjectName(QStringLiteral("btnTips"));
    m_pBtnTips->m_bSticky = TRUE;
    if (found) {
        m_pBtnTips->m_strText = Text("IDS_TIPS");
        m_pBtnTips->m_strSubText = QString::fromStdString(g_strTipText);
        FitTipsButton();
    } else {
        m_pBtnTips->m_bGreyText = TRUE;
        m_pBtnTips->hide();
    }
    return true;
}

// A tip longer than the footer place of the tips button would be cut off: the
// button then grows to the left (its right edge stays), as far as the social icon.
void CStepPage::FitTipsButton() {
    const CaptionLayout text = LayoutCaption(layout::kTipsPictureSize, static_cast<int>(m_pBtnTips->m_strText.size()),
                                             true, g_bWindows6);
    QFont font(QString::fromLatin1(text.face));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(text.points);
    const QFontMetrics metrics(font, m_pBtnTips);
    const QRect tipPlace = SubTextRectAfter(text, metrics, m_pBtnTips->m_strText);
    const int tipWidth = metrics.horizontalAdvance(m_pBtnTips->m_strSubText);
    const int needed = tipPlace.x() + std::min(tipWidth, tipPlace.width()) + layout::kTipsEndRoom;
    const int left = std::clamp(layout::kTipsRect.right - needed, layout::kTipsLeftmost, layout::kTipsRect.left);
    QRect place = layout::kTipsRect.ToQRect();
    place.setLeft(left);
    m_pBtnTips->setGeometry(place);
}

QLineEdit* CStepPage::CreatePathEdit(int id, const QFont& font) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("editPath"));
    SetDlgCtrlID(edit, id);
    edit->setGeometry(layout::kPathRect.ToQRect());
    edit->setFont(font);
    edit->setReadOnly(true);
    return edit;
}

void CStepPage::FixFrameSize() {
    if (m_pFrame)
        m_pFrame->setFixedSize(layout::kFrameWidth, layout::kFrameHeight);
}

void CStepPage::SendCommandToFrame(int step) { SendMessageW(m_pFrame, WM_COMMAND, static_cast<WPARAM>(step), 0); }

LRESULT CStepPage::WindowProc(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND)
        OnCommand(LOWORD(wParam));
    return 0;
}

bool CStepPage::event(QEvent* event) {
    if (const CWidgetMessageEvent* message = AsWidgetMessage(event)) {
        if (message->message == WM_COMMAND)
            OnCommand(LOWORD(message->wParam));
        else if (message->message == WM_DROP_HIGHLIGHT)
            ForwardDropHighlight(this, message->wParam);
        return true;
    }
    return QWidget::event(event);
}

void CStepPage::OnCommand(int id) {
    switch (id) {
    case layout::kIdHelp:
        OnHelpMenu();
        return;
    case layout::kIdFaq:
        OpenWebPage(this, web::kFaqPage);
        return;
    case layout::kIdSocial:
        OpenWebPage(this, web::kSocialPage);
        return;
    case layout::kIdSupport:
        OpenWebPage(this, web::kSupportPage);
        return;
    case layout::kIdHelpFile:
        OpenHelp(this);
        return;
    case layout::kIdUpdate:
        OpenWebPage(this, web::kUpdatePage);
        return;
    case layout::kIdTips:
        OnShowTips();
        return;
    case layout::kIdAbout:
        OnAbout();
        return;
    default:
        if (id >= layout::kIdLanguageFirst && id <= layout::kIdLanguageLast)
            OnLanguage(id - layout::kIdLanguageFirst);
        return;
    }
}

QMenu* CStepPage::BuildHelpMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("helpMenu"));
    QMenu* languages = menu->addMenu(Text("IDS_MENU_LANGUAGE"));
    languages->setObjectName(QStringLiteral("languageMenu"));
    const int current = ReadLanguageIndex();
    auto* group = new QActionGroup(languages);
    for (int index = 0; index < kLanguageCount; ++index) {
        QAction* action = languages->addAction(QString::fromUtf8(kLanguageMenuNames[index]));
        action->setCheckable(true);
        action->setChecked(index == current);
        action->setData(layout::kIdLanguageFirst + index);
        action->setObjectName(QStringLiteral("language%1").arg(index));
        group->addAction(action);
    }
    languages->setIcon(MenuIcon(current == 0 ? kCurrentLanguagePicture : kOtherLanguagePicture));
    const struct {
        const char* caption;
        int command;
        int picture;
    } items[] = {{"IDS_MENU_HELP", layout::kIdHelpFile, kHelpFilePicture},
                 {"IDS_MENU_SUPPORT", layout::kIdSupport, kSupportPicture},
                 {"IDS_MENU_UPDATE", layout::kIdUpdate, kUpdatePicture},
                 {"IDS_MENU_ABOUT", layout::kIdAbout, kAboutPicture}};
    for (const auto& item : items) {
        QAction* action = menu->addAction(MenuIcon(item.picture), Text(item.caption));
        action->setData(item.command);
        action->setObjectName(QStringLiteral("menu%1").arg(item.command));
    }
    return menu;
}

void CStepPage::OnHelpMenu() {
    QMenu* menu = BuildHelpMenu();
    // The chosen item's command runs once the menu is gone.
    int command = 0;
    for (QAction* action : menu->findChildren<QAction*>())
        connect(action, &QAction::triggered, menu, [&command, action] { command = action->data().toInt(); });
    const QPoint below = m_pBtnHelp ? m_pBtnHelp->mapToGlobal(QPoint(0, m_pBtnHelp->height())) : QCursor::pos();
    menu->exec(below);
    delete menu;
    if (command)
        OnCommand(command);
}

void CStepPage::OnLanguage(int index) {
    if (!SwitchLanguage(index))
        return;
    ApplyHeaderTexts();
    ApplyTexts();
    NameControls();
    update();
}

void CStepPage::ApplyHeaderTexts() {
    if (m_pBtnFaq)
        m_pBtnFaq->m_strText = Text("IDS_FAQ");
    if (m_pBtnHelp)
        m_pBtnHelp->m_strText = Text("IDS_RHELP");
    if (m_pBtnHelp && m_pBtnFaq)
        PlaceHeaderLinks();
    if (m_pBtnTips) {
        TranslatePickedTip();
        m_pBtnTips->m_strText = Text("IDS_TIPS");
        m_pBtnTips->m_strSubText = QString::fromStdString(g_strTipText);
        FitTipsButton();
    }
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->update();
}

void CStepPage::OnShowTips() {
    // The page's note is made once and shown again on every click.
    if (!m_pTipsDlg)
        m_pTipsDlg = new CTipsDlg(this);
    m_pTipsDlg->Create();
    m_pTipsDlg->show();
}

void CStepPage::CloseTipsDlg() {
    if (m_pTipsDlg)
        delete m_pTipsDlg.data();
}

void CStepPage::OnAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CStepPage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    PaintBands(painter, rect());
    PaintHeaderPanel(painter, m_strHeader, m_fontHeader);
}
