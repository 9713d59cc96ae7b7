#pragma once
#include <QObject>

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pickTipCounterCases();
    void pageSectionsRotateIndependently();
    void noteGeometryFollowsTipLength();
    void noteShowsTipAndClosesAfterFiveTicks();
    void noteShownAgainClosesAgain();
    void noteCloseButtonClosesIt();
    void aboutBoxLayout();
    void aboutLinkRowMakesRoomForLongCaptions();
    void aboutBoxPainting();
    void aboutBoxButtonsEndIt();
    void aboutLinksOpenTheirAddresses();
    void shellErrorsFallBackOrReport();
    void versionString();
    void aboutFontFollowsScreenResolution();
};
