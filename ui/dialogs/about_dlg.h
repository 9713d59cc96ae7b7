#pragma once
// The about box: logo, the program's version and four links to the maker's pages.
#include <QDialog>
#include <QFont>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/win_types.h"
#include "ui/controls/gdiplus_bitmap.h"

class CXCmdBtn;
class CHyperLink;

// The fixed part of a version resource: the file version's two double words.
struct FixedFileVersion {
    std::uint32_t dwFileVersionMS;
    std::uint32_t dwFileVersionLS;
};

// The version resource of the program, as set by the build; none when the build
// set none.
std::optional<FixedFileVersion> ReadFileVersionResource();
// "a.b.c.d" from the version's four words, or "2.0" without a version.
QString FormatFileVersion(const std::optional<FixedFileVersion>& version);
// The program's file version as text.
QString GetFileVersionString();

// Pixel height of the about box's 10-point text font for a screen of the given
// resolution: the divisor keeps the text about the same height in the
// fixed-size box.
int AboutFontPixelSize(int dpiX, int dpiY);

// Opens the address behind language key `addressKey`; on failure the browser
// fallback or the error box of `ReportShellError`.
void OpenLink(const char* addressKey);
// What a failed opening of `address` does: results 0, 2 and 31 open it with the
// fallback browser, results with a system text show it in an error box captioned
// "IDS_ERROR", others nothing.
void ReportShellError(int code, const std::string& address);

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 50056;
    static constexpr int kLogoId = 50055;
    static constexpr int kCloseImage = 50049;
    static constexpr int kOkImage = 50054;
    static constexpr int kLinkAbout = 50051;
    static constexpr int kLinkUninstall = 50052;
    static constexpr int kLinkLicense = 50053;
    static constexpr int kLinkPolicy = 50057;

    explicit CAboutDlg(QWidget* pParent = nullptr);
    ~CAboutDlg() override;

    // Sets the dialog up and runs it modally; IDOK or IDCANCEL.
    int DoModal();
    // The set-up alone (DoModal runs it first).
    BOOL OnInitDialog();

    const QString& VersionString() const { return m_strVersion; }
    int DottedLineX() const { return m_nDottedX; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    BOOL CreateButtons();
    BOOL CreateLinks();
    void SpaceLinkRow();
    void LoadTexts();
    void OnCommand(int id);

    CXCmdBtn* m_pBtnClose = nullptr;
    CXCmdBtn* m_pBtnOk = nullptr;
    CHyperLink* m_pLinks[4] = {};
    CGdiPlusBitmapResource m_logo;
    QString m_strVersionLabel;
    QString m_strVersion;
    QFont m_fontText;
    int m_nDottedX = 63;  // the dotted line between the license and policy links
    bool m_bInitialised = false;
};
