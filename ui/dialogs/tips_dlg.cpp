#include "ui/dialogs/tips_dlg.h"

#include <QCloseEvent>
#include <QPainter>
#include <QWindow>
#include <fstream>

#include "platform/ini_file.h"
#include "ui/controls/control_styles.h"
#include "ui/controls/widget_message.h"
#include "ui/controls/xcmd_btn.h"
#include "ui/settings/settings.h"

std::string g_strTipText;

namespace {

constexpr const char* kTipsFile = "Tips.Txt";
constexpr const char* kTipCounterKey = "IDS_TIPS";
constexpr int kTipsUsed = 5;

// The note's top above the owner's bottom edge, by tip length: the longer the
// tip, the taller the note (its height is -top - 35).
struct NoteRow {
    int lengthBelow;
    int top;
};
const NoteRow kNoteRows[] = {
    {50, -75}, {100, -95}, {150, -115}, {200, -135}, {250, -175}, {300, -195},
};
constexpr int kNoteLeftFromRight = 507;
constexpr int kNoteWidth = 503;
constexpr int kNoteBottomGap = 35;

const QColor kNoteColour(249, 251, 147);
const QColor kNoteTextColour(100, 100, 100);
constexpr int kTextLeft = 50;
constexpr int kTextTop = 10;

struct NoteButton {
    int id;
    QRect rect;
    int image;
    const char* name;
    DWORD style;
};
const NoteButton kNoteButtons[] = {
    {CTipsDlg::kCloseId, QRect(485, 0, 16, 16), 303, "tipsCloseButton", WS_CHILD | WS_VISIBLE},
    {CTipsDlg::kIconId, QRect(10, 5, 24, 24), 326, "tipsIcon", WS_CHILD | WS_VISIBLE | WS_DISABLED},
};

// The counter's leading digit; anything else, or a digit past the tips used, is 0.
int ReadTipCounter(const char* section) {
    const std::string value = ReadSetting(section, kTipCounterKey);
    if (value.empty() || value.front() < '0' || value.front() > '9') return 0;
    const int counter = value.front() - '0';
    return counter < kTipsUsed ? counter : 0;
}

void WriteTipCounter(const char* section, int counter) {
    const std::string digit(1, static_cast<char>('0' + counter));
    WriteSetting(section, kTipCounterKey, digit);
}

void StripLineEnd(std::string& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
}

void StripByteOrderMark(std::string& line) {
    if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
}

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

// The picked tip: its number (from 1) and its line in "Tips.Txt".
int g_nPickedTip = 0;
std::string g_strPickedTipLine;

// The tips file of the language in use: "Tips/German.Txt" in the program folder.
std::string LanguageTipsPath() {
    return g_strAppFolder + "Tips/" + kLanguageNames[ReadLanguageIndex()] + ".Txt";
}

// Line `number` (from 1) of a tips file, not counting blank lines; empty when there is none.
std::string TipLine(const std::string& path, int number) {
    std::ifstream file(path);
    std::string line;
    bool firstLine = true;
    for (int found = 0; found < number && std::getline(file, line);) {
        StripLineEnd(line);
        if (firstLine) StripByteOrderMark(line);
        firstLine = false;
        if (!IsBlank(line) && ++found == number) return line;
    }
    return {};
}

}  // namespace

void TranslatePickedTip() {
    // "Tips.Txt" is the English text; another language has its own file.
    const std::string translated = g_nPickedTip > 0 ? TipLine(LanguageTipsPath(), g_nPickedTip) : std::string();
    g_strTipText = translated.empty() ? g_strPickedTipLine : translated;
}

BOOL PickTip(const char* section) {
    const int next = ReadTipCounter(section);
    // The tips file lives in the program folder; opening it by its full path
    // leaves the process's current folder alone.
    std::ifstream file(g_strAppFolder + kTipsFile);
    g_strTipText.clear();
    g_strPickedTipLine.clear();
    g_nPickedTip = 0;
    if (!file) return FALSE;

    std::string line;
    std::string lastTip;
    int lastNumber = 0;
    bool firstLine = true;
    for (int number = 0; number < kTipsUsed && std::getline(file, line);) {
        StripLineEnd(line);
        if (firstLine) StripByteOrderMark(line);
        firstLine = false;
        if (IsBlank(line)) continue;
        lastTip = line;
        lastNumber = number + 1;
        if (number == next) {
            WriteTipCounter(section, next == kTipsUsed - 1 ? 0 : next + 1);
            break;
        }
        ++number;
    }
    // Fewer tips than the counter: the last one is shown and the counter stays.
    g_strPickedTipLine = lastTip;
    g_nPickedTip = lastNumber;
    if (lastTip.empty()) return FALSE;
    TranslatePickedTip();
    return TRUE;
}

QRect TipsNoteGeometry(int tipLength, const QRect& owner) {
    // Tips of 300 characters and more take the tallest note, so that the note
    // stays by the main window and shows as much of the tip as it can.
    int top = std::end(kNoteRows)[-1].top;
    for (const NoteRow& row : kNoteRows) {
        if (tipLength < row.lengthBelow) {
            top = row.top;
            break;
        }
    }
    const int ownerRight = owner.x() + owner.width();
    const int ownerBottom = owner.y() + owner.height();
    return {ownerRight - kNoteLeftFromRight, ownerBottom + top, kNoteWidth, -top - kNoteBottomGap};
}

CTipsDlg::CTipsDlg(QWidget* pParent)
    : QDialog(nullptr, Qt::Tool | Qt::FramelessWindowHint), m_pPage(pParent) {
    setObjectName(QStringLiteral("tipsNote"));
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(10);
    setFont(font);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(kTimerId); });
}

CTipsDlg::~CTipsDlg() {
    g_nHotButtonId = -1;
}

BOOL CTipsDlg::Create(UINT) {
    return OnInitDialog();
}

BOOL CTipsDlg::OnInitDialog() {
    g_nHotButtonId = -1;
    PlaceNote();
    CreateButtons();
    m_nTicks = 0;
    m_timer.start();
    update();
    return TRUE;
}

void CTipsDlg::PlaceNote() {
    QWidget* owner = m_pPage ? m_pPage->window() : nullptr;
    const QRect ownerRect = owner ? owner->frameGeometry() : QRect();
    const int length = static_cast<int>(QString::fromStdString(g_strTipText).size());
    setGeometry(TipsNoteGeometry(length, ownerRect));
    // Kept above the main window without being its child, so that the page alone owns it.
    if (owner && owner->windowHandle()) {
        winId();
        windowHandle()->setTransientParent(owner->windowHandle());
    }
}

void CTipsDlg::CreateButtons() {
    if (m_pBtnClose) return;
    CXCmdBtn** owners[] = {&m_pBtnClose, &m_pBtnIcon};
    for (std::size_t i = 0; i < std::size(kNoteButtons); ++i) {
        const NoteButton& entry = kNoteButtons[i];
        auto* button = new CXCmdBtn;
        button->setObjectName(QString::fromLatin1(entry.name));
        button->m_nNormalImage = button->m_nHoverImage = button->m_nPressedImage = entry.image;
        button->m_bNotifyParent = true;
        button->Create(QString(), entry.style | BS_OWNERDRAW, entry.rect, this, static_cast<UINT>(entry.id));
        *owners[i] = button;
    }
}

void CTipsDlg::OnTimer(UINT id) {
    if (id != kTimerId) return;
    if (++m_nTicks == kTicksShown) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CTipsDlg::OnCloseButton() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

bool CTipsDlg::event(QEvent* event) {
    if (const CWidgetMessageEvent* message = AsWidgetMessage(event)) {
        if (message->message == WM_COMMAND && LOWORD(message->wParam) == kCloseId) OnCloseButton();
        return true;
    }
    return QDialog::event(event);
}

void CTipsDlg::closeEvent(QCloseEvent* event) {
    m_timer.stop();
    QDialog::closeEvent(event);
}

void CTipsDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kNoteColour);
    painter.setPen(kNoteTextColour);
    const QRect textRect(kTextLeft, kTextTop, width() - kTextLeft, height() - kTextTop);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QString::fromStdString(g_strTipText));
}
