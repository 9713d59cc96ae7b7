#pragma once
#include <QObject>

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void picturesLoadByNumberAtTheirSizes();
    void missingPictureLeavesBitmapEmpty();
    void animationPlaysInALoop();
    void pictureFollowsTheButtonState();
    void disabledButtonDrawsNormalPictureAndTakesNoClick();
    void clickSendsCommandToParent();
    void captionLayoutTable();
    void captionIsDrawnWhereTheTableSays();
    void subTextOfASmallLinkStartsAfterItsCaption();
    void greyTextFlagGreysSmallButtonsOnly();
    void hoveringAnotherButtonDropsTheStickyHighlight();
    void leavingANotifyingStickyButtonDropsItsHighlight();
    void stickyButtonWithoutNotifyKeepsHighlightUntilAnotherIsHovered();
    void linkPressReleasedOutsideSendsNoCommand();
    void linkClickSendsCommandWithItsId();
    void linkFitsItselfToItsText();
    void linkDrawsUnderlinedTextInItsColours();
};
