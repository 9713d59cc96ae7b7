#include "ui/dialogs/about_dlg.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "platform/message_box.h"
#include "platform/shell_execute.h"
#include "ui/controls/control_styles.h"
#include "ui/controls/hyperlink.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/dialogs/modal_runner.h"
#include "ui/settings/settings.h"

namespace {

constexpr int kWidth = 435;
constexpr int kHeight = 190;
constexpr std::size_t kTextSize = 1000;  // language-file lookups, characters
constexpr int kCloseId = 2;
constexpr int kOkId = 1;

const QColor kLinkColour(12, 111, 173);
const QColor kFrameColour(86, 86, 86);
const QColor kRuleColour(180, 180, 180);
constexpr int kFrameWidth = 2;
constexpr int kRuleY = 70;
constexpr int kDottedX = 63, kDottedTop = 127, kDottedBottom = 145;
// Room on either side of the dotted line between the two links of a row.
constexpr int kDottedBefore = 3, kDottedAfter = 7;
const QPoint kVersionLabelAt(20, 77);
const QPoint kVersionAt(72, 77);
const QRect kLogoRect(13, 13, 287, 44);

struct AboutLink {
    int id;
    const char* textKey;
    QRect rect;
    const char* addressKey;
    const char* name;
};
// Rectangles are left, top, width, height from the client's top left.
const AboutLink kLinks[] = {
    {CAboutDlg::kLinkUninstall, "IDS_UNINSTALL_URL_TXT", QRect(20, 99, 35, 20), "IDS_UNINSTALL_URL",
     "linkUninstall"},
    {CAboutDlg::kLinkLicense, "IDS_LICENSE_URL_TXT", QRect(20, 126, 40, 20), "IDS_LICENSE_URL",
     "linkLicense"},
    {CAboutDlg::kLinkPolicy, "IDS_POLICY_URL_TXT", QRect(70, 126, 100, 20), "IDS_POLICY_URL",
     "linkPolicy"},
    {CAboutDlg::kLinkAbout, "IDS_URL_ABOUT", QRect(20, 151, 100, 20), "IDS_URL_ABOUT", "linkAbout"},
};

// Results after which the address goes to the fallback browser.
bool OpensInFallbackBrowser(int code) {
    return code == SE_ERR_OOM || code == SE_ERR_FNF || code == SE_ERR_NOASSOC;
}

QString LangText(const char* key) {
    return QString::fromStdString(LoadLangString(key, kTextSize));
}

// Screen resolutions and the divisor that keeps the text height.
struct DpiRow {
    int low, high, divisor;
};
const DpiRow kDpiRows[] = {{97, 125, 92}, {127, 150, 102}};
constexpr int kDefaultDivisor = 72;
constexpr int kTextPoints = 10;

int MulDiv(int number, int numerator, int denominator) {
    const long long product = static_cast<long long>(number) * numerator;
    return static_cast<int>((product + denominator / 2) / denominator);
}

}  // namespace

std::optional<FixedFileVersion> ReadFileVersionResource() {
#ifdef DECKMEND_VERSION_MAJOR
    return FixedFileVersion{(DECKMEND_VERSION_MAJOR << 16) | DECKMEND_VERSION_MINOR,
                            (DECKMEND_VERSION_PATCH << 16) | DECKMEND_VERSION_TWEAK};
#else
    return std::nullopt;
#endif
}

QString FormatFileVersion(const std::optional<FixedFileVersion>& version) {
    if (!version) return QStringLiteral("2.0");
    return QStringLiteral("%1.%2.%3.%4")
        .arg(version->dwFileVersionMS >> 16)
        .arg(version->dwFileVersionMS & 0xFFFF)
        .arg(version->dwFileVersionLS >> 16)
        .arg(version->dwFileVersionLS & 0xFFFF);
}

QString GetFileVersionString() {
    return FormatFileVersion(ReadFileVersionResource());
}

int AboutFontPixelSize(int dpiX, int dpiY) {
    int divisor = kDefaultDivisor;
    for (const DpiRow& row : kDpiRows)
        if (dpiX >= row.low && dpiX <= row.high && dpiY >= row.low && dpiY <= row.high)
            divisor = row.divisor;
    return MulDiv(kTextPoints, dpiY, divisor);
}

void ReportShellError(int code, const std::string& address) {
    if (OpensInFallbackBrowser(code)) {
        ShellExecuteW(nullptr, "Open", "iexplore.exe", address, "", SW_SHOW);
        return;
    }
    if (const char* text = ShellErrorText(code))
        MessageBoxW(nullptr, text, LoadLangString("IDS_ERROR", kTextSize), MB_ICONERROR);
}

void OpenLink(const char* addressKey) {
    const std::string address = LoadLangString(addressKey, kTextSize);
    const int result = ShellExecuteW(nullptr, "Open", address, "", "", SW_SHOW);
    if (result <= 32) ReportShellError(result, address);
}

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("aboutBox"));
}

CAboutDlg::~CAboutDlg() = default;

int CAboutDlg::DoModal() {
    OnInitDialog();
    const int result = RunModal(*this);
    return result == kOkId ? IDOK : IDCANCEL;
}

BOOL CAboutDlg::OnInitDialog() {
    if (m_bInitialised) return TRUE;
    m_bInitialised = true;
    QFont font(QString::fromLatin1(g_bWindows6 ? "Segoe UI" : "Trebuchet MS"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(AboutFontPixelSize(logicalDpiX(), logicalDpiY()));
    m_fontText = font;

    setFixedSize(kWidth, kHeight);
    QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area = over ? over->frameGeometry()
                            : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                                : QRect(0, 0, kWidth, kHeight));
    move(area.center() - rect().center());
    m_logo.Load(kLogoId);
    LoadTexts();
    if (CreateButtons()) CreateLinks();
    return TRUE;
}

void CAboutDlg::LoadTexts() {
    m_strVersionLabel = LangText("IDS_VERSION_TEXT");
    setWindowTitle(LangText("IDS_ABOUT"));
    m_strVersion = GetFileVersionString();
}

BOOL CAboutDlg::CreateButtons() {
    m_pBtnClose = new CXCmdBtn;
    m_pBtnClose->setObjectName(QStringLiteral("aboutCloseButton"));
    m_pBtnClose->m_nNormalImage = m_pBtnClose->m_nHoverImage = m_pBtnClose->m_nPressedImage = kCloseImage;
    m_pBtnClose->m_bNotifyParent = true;
    if (!m_pBtnClose->Create(QString(), WS_CHILD | WS_VISIBLE | BS_OWNERDRAW,
                             QRect(kWidth - 25, 7, 18, 18), this, kCloseId))
        return FALSE;

    m_pBtnOk = new CXCmdBtn;
    m_pBtnOk->setObjectName(QStringLiteral("aboutOkButton"));
    m_pBtnOk->m_nNormalImage = m_pBtnOk->m_nHoverImage = m_pBtnOk->m_nPressedImage = kOkImage;
    m_pBtnOk->m_bNotifyParent = true;
    if (!m_pBtnOk->Create(QString(), WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, QRect(308, 135, 109, 43),
                          this, kOkId)) {
        MessageBoxW(nullptr, "Failed to create OK button", "", MB_OK);
        return FALSE;
    }
    return TRUE;
}

BOOL CAboutDlg::CreateLinks() {
    for (std::size_t i = 0; i < std::size(kLinks); ++i) {
        const AboutLink& entry = kLinks[i];
        auto* link = new CHyperLink;
        link->setObjectName(QString::fromLatin1(entry.name));
        if (!link->Create(LangText(entry.textKey), WS_CHILD | WS_VISIBLE | SS_NOTIFY, entry.rect, this,
                          static_cast<UINT>(entry.id))) {
            delete link;
            MessageBoxW(nullptr, "Hyper-link creation fails", "", MB_OK);
            return FALSE;
        }
        link->SetUnderline(true);
        link->SetColours(kLinkColour, kLinkColour, kLinkColour);
        link->SetBkColour(Qt::white);
        link->SetTextColour(kLinkColour);
        m_pLinks[i] = link;
    }
    SpaceLinkRow();
    return TRUE;
}

// The license and policy links share a row. A caption longer than its place
// (as in some languages) pushes the dotted line and the policy link to the
// right instead of running into them.
void CAboutDlg::SpaceLinkRow() {
    QWidget* license = GetDlgItem(this, kLinkLicense);
    QWidget* policy = GetDlgItem(this, kLinkPolicy);
    if (!license || !policy) return;
    const int licenseEnd = license->x() + license->width();
    m_nDottedX = std::max(kDottedX, licenseEnd + kDottedBefore);
    policy->move(std::max(policy->x(), m_nDottedX + kDottedAfter), policy->y());
}

void CAboutDlg::OnCommand(int id) {
    switch (id) {
    case kOkId:
    case kCloseId:
        done(id);
        return;
    default:
        break;
    }
    for (const AboutLink& link : kLinks)
        if (link.id == id) OpenLink(link.addressKey);
}

bool CAboutDlg::event(QEvent* event) {
    if (const CWidgetMessageEvent* message = AsWidgetMessage(event)) {
        if (message->message == WM_COMMAND) OnCommand(LOWORD(message->wParam));
        return true;
    }
    return QDialog::event(event);
}

void CAboutDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kFrameColour);
    painter.fillRect(rect().adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth), Qt::white);

    painter.setFont(m_fontText);
    painter.setPen(kLinkColour);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    painter.drawText(QRect(kVersionLabelAt, QSize(width(), height())), flags, m_strVersionLabel);
    painter.drawText(QRect(kVersionAt, QSize(width(), height())), flags, m_strVersion);

    painter.setPen(QPen(kRuleColour, 1, Qt::SolidLine));
    painter.drawLine(1, kRuleY, width() - 2, kRuleY);
    painter.setPen(QPen(kRuleColour, 1, Qt::DotLine));
    painter.drawLine(m_nDottedX, kDottedTop, m_nDottedX, kDottedBottom);

    if (!m_logo.IsEmpty()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(kLogoRect, m_logo.Bitmap());
    }
}
