#pragma once
// Ids, rectangles, pictures and colours of the wizard pages, in one place.
#include <QColor>
#include <QRect>

namespace layout {

// Rectangles are given as left, top, right, bottom in page pixels.
struct Rect {
    int left, top, right, bottom;
    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
};

// PNG resource numbers for the normal, hover and pressed state.
struct Pictures {
    int normal, hover, pressed;
};

// The main frame and its pages.
inline constexpr int kFrameWidth = 888;
inline constexpr int kFrameHeight = 530;
inline constexpr int kAppIcon = 102;
inline constexpr int kStartPageId = 1013;
inline constexpr int kRepairPageId = 1014;
inline constexpr int kSavePageId = 1016;

// Background: two dark bands of 30 pixels at the top and bottom, lighter between.
inline constexpr int kBandHeight = 30;
inline const QColor kBandColour(0, 97, 152);
inline const QColor kMiddleColour(17, 115, 170);
// Header panel: a grey strip holding the header sentence above a white field.
inline constexpr Rect kPanelStrip{60, 75, 824, 105};
inline constexpr Rect kPanelField{60, 105, 824, 420};
inline const QColor kPanelStripColour(222, 222, 222);
inline constexpr int kHeaderTextX = 70;
inline constexpr int kHeaderTextY = 80;

// Control ids shared by the pages.
inline constexpr int kIdLogo = 365;
inline constexpr int kIdHelp = 108;
inline constexpr int kIdFaq = 348;
inline constexpr int kIdHome = 120;
inline constexpr int kIdSocial = 350;
inline constexpr int kIdTips = 343;
inline constexpr int kIdBrowse = 368;
// Start page.
inline constexpr int kIdRepair = 369;
inline constexpr int kIdSourcePath = 367;
// Repair page.
inline constexpr int kIdProgress = 370;
inline constexpr int kIdCancel = 371;
inline constexpr int kIdAnimation = 377;
inline constexpr int kAnimationResource = 317;
// Save page.
inline constexpr int kIdSave = 375;
inline constexpr int kIdDestinationPath = 376;
inline constexpr int kIdReport = 378;

// Help menu commands; the language commands are kIdLanguageFirst + index.
inline constexpr int kIdHelpFile = 40011;
inline constexpr int kIdUpdate = 40012;
inline constexpr int kIdAbout = 40013;
inline constexpr int kIdSupport = 40014;
inline constexpr int kIdLanguageFirst = 40043;
inline constexpr int kIdLanguageLast = 40047;

// Header and footer, the same on every page.
inline constexpr Rect kLogoRect{5, 5, 98, 26};
inline constexpr Rect kHomeRect{13, 40, 45, 72};
inline constexpr Rect kSocialRect{10, 480, 26, 496};
inline constexpr Rect kTipsRect{506, 480, 850, 496};
inline constexpr Pictures kLogoPictures{289, 289, 289};
inline constexpr Pictures kHelpPictures{109, 257, 110};
inline constexpr Pictures kFaqPictures{233, 233, 233};
inline constexpr Pictures kSocialPictures{276, 276, 276};
inline constexpr Pictures kTipsPictures{235, 235, 235};
inline constexpr int kTipsPictureSize = 16;
// A long tip widens the tips button to the left, up to here (right of the social icon).
inline constexpr int kTipsLeftmost = 40;
inline constexpr int kTipsEndRoom = 6;
// Header links are placed right to left on this row.
inline constexpr int kLinkRowTop = 5;
inline constexpr int kLinkRowBottom = 21;
inline constexpr int kLinkRightStart = 880;
inline constexpr int kLinkGap = 20;
// Width of a link: per caption character, plus room for its icon.
inline constexpr int kHelpCharWidth = 8;
inline constexpr int kFaqCharWidth = 10;
inline constexpr int kLinkIconRoom = 16;

// The path field and Browse button of the start and save pages.
inline constexpr Rect kPathRect{108, 200, 658, 226};
inline constexpr Rect kBrowseRect{670, 200, 774, 226};
// The large action button: Repair and Save.
inline constexpr Rect kActionRect{255, 280, 638, 379};

// Start page.
inline constexpr Pictures kStartHomePictures{313, 111, 113};
inline constexpr Pictures kStartBrowsePictures{308, 307, 309};
inline constexpr Pictures kRepairPictures{315, 314, 316};

// Repair page.
inline constexpr Rect kCancelRect{660, 312, 764, 338};
inline constexpr Rect kProgressRect{110, 310, 648, 340};
inline constexpr Rect kAnimationRect{70, 150, 800, 290};
inline constexpr Pictures kCancelPictures{320, 321, 322};
// The line under the bar that names the phase of the repair.
inline constexpr Rect kPhaseRect{110, 344, 648, 366};
inline constexpr int kIdPhase = 379;
inline constexpr int kProgressTimerMs = 50;

// Save page.
inline constexpr Pictures kSaveHomePictures{112, 111, 113};
inline constexpr Pictures kSavePictures{324, 323, 325};
inline constexpr Pictures kSaveBrowsePictures{320, 321, 322};
// The recovery report, at the top of the white field.
inline constexpr Rect kReportRect{70, 110, 814, 190};
// Below it, the repaired file's first slides in a row that scrolls; an
// enlarged slide covers the white field.
inline constexpr Rect kPreviewRect{70, 192, 814, 272};
inline constexpr int kPreviewThumbnailHeight = 54;
// Below the preview, the destination and Save.
inline constexpr Rect kSavePathRect{108, 278, 658, 304};
inline constexpr Rect kSaveBrowseRect{670, 278, 774, 304};
inline constexpr Rect kSaveActionRect{255, 313, 638, 412};
inline constexpr int kReportPoints = 9;
// Items of the report named one by one; the rest are counted.
inline constexpr int kReportItemsShown = 3;

// Fonts: header sentence and path fields, in points.
inline constexpr int kHeaderPoints = 10;
inline constexpr int kLargePoints = 12;

}  // namespace layout
