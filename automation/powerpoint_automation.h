#pragma once
// The connection to PowerPoint ("PowerPoint.Application") through late-bound
// calls by member name: starting it, opening or creating a presentation,
// building slides in it, saving, counting slides and closing it again. Every
// member returns its result (0 = success) and keeps it in `m_hr`.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com_types.h"

inline constexpr const char* kPowerPointProgId = "PowerPoint.Application";

class CPowerPointAutomation {
public:
    CPowerPointAutomation();
    ~CPowerPointAutomation();
    CPowerPointAutomation(const CPowerPointAutomation&) = delete;
    CPowerPointAutomation& operator=(const CPowerPointAutomation&) = delete;

    // The session.
    // The path when the presentation is open, an empty string on any failure.
    // An empty path would ask the user for a file; there is no file dialog in
    // this build, so it gives the empty string of a cancelled dialog.
    std::string OpenPresentation(const std::string& path, BOOL bVisible = FALSE, int nAlertMode = 0);
    // Opens `path` read-only, as the office itself reads it: the presentation
    // can be measured or saved under another name, never over its file.
    std::string OpenPresentationReadOnly(const std::string& path);
    // Closes the open presentation without saving; PowerPoint keeps running.
    HRESULT ClosePresentation();
    // 0 with a new empty presentation; 1 when PowerPoint cannot be started.
    HRESULT NewPresentation(BOOL bVisible, int nAlertMode);
    HRESULT AddPresentation();
    void SetVisible();
    // nMode 1: SaveAs under `path`; otherwise Save in place.
    HRESULT SavePresentation(const std::string& path, int nMode);
    HRESULT GetSlideCount(LONG& count);
    // Characters of text in the shapes of all slides of the open presentation.
    HRESULT GetTextLength(LONG& count);
    // The text of every shape with text on the slides, one entry a shape, in order.
    HRESULT GetTexts(std::vector<std::string>& texts);
    // PNG pictures of the first `count` slides of the open presentation,
    // `width` pixels wide in the slides' proportions: each is exported into
    // `folder` (Slide.Export), read back and removed again. No slide is begun
    // once `budget` has passed; a slide that cannot be exported ends the list,
    // and the pictures made until then stay.
    HRESULT ExportSlidePictures(const std::string& folder, LONG count, LONG width,
                                std::chrono::milliseconds budget, std::vector<std::string>& pictures);
    HRESULT ClosePowerPoint(BOOL bSave, const std::string& path, int nMode);
    // Forgets every interface without releasing it; back to the constructed state.
    void Reset();

    // Building slides.
    LONG MapSlideLayout(std::uint32_t layoutValue);
    HRESULT AddSlide(LONG index, LONG layout);
    // The geometry is accepted and not used: a title keeps its placeholder's place.
    HRESULT SetSlideTitle(const std::string& text, float left, float top, float width, float height);
    HRESULT AddTextBox(const std::string& text, float left, float top, float width, float height);
    HRESULT SetFont();
    HRESULT AddPicture(const std::string& fileName, float left, float top, float width, float height);
    // Writes `text` into the notes body of the slide added last.
    HRESULT SetNotesText(const std::string& text);
    HRESULT DeleteEmptyShapes();
    HRESULT DeleteSlideIfEmpty();
    HRESULT ApplyDesign();
    HRESULT SetDocumentProperties();

    // Design file that ApplyDesign tries first, and its fallback.
    std::string DesignPath() const;
    std::string FallbackDesignPath() const;

    // Title, subject and author, filled by the record scanner.
    std::array<std::string, 3> m_pDocProperties;
    IDispatch* m_pApplication = nullptr;
    IDispatch* m_pPresentations = nullptr;
    IDispatch* m_pPresentation = nullptr;
    IDispatch* m_pSlides = nullptr;
    IDispatch* m_pSlide = nullptr;
    IDispatch* m_pSelection = nullptr;
    IDispatch* m_pTextRange = nullptr;
    std::string m_strAppPath;
    std::int16_t m_nVersion = 2000;
    std::string m_strPresentationPath;
    std::string m_strFileName;
    std::string m_strDesignName;
    std::string m_strPictureName;
    HRESULT m_hr = S_OK;
    LONG m_nLayout = 0;

private:
    std::string Open(const std::string& path, BOOL bVisible, int nAlertMode, bool readOnly);
    HRESULT ForEachShapeText(const std::function<void(std::string_view)>& take);
    void TakeShapeTexts(IDispatch* shapes, const std::function<void(std::string_view)>& take, int depth);
    void TakeCellTexts(IDispatch* table, const std::function<void(std::string_view)>& take);
    std::string ShapeText(IDispatch* shape);
    // The class registered for PowerPoint's ProgID; false when not installed.
    bool FindServerClass(CLSID& clsid);
    // A new Application object in m_pApplication; false when it cannot be created.
    bool CreateApplication(const CLSID& clsid);
    void SetDisplayAlerts(int nAlertMode);
    // Sets m_nVersion from PowerPoint's frame window and hides it unless bVisible.
    void DetectVersion(BOOL bVisible, bool keepVersionFor97);
    HRESULT FindWindowObject(IDispatch** window);
    HRESULT ShownSlideShapes(IDispatch* window, IDispatch** selection, IDispatch** shapes);
    // Writes `text` into the selected shape: TextRange, Text, HasText again and,
    // when it holds text, AutoSize and WordWrap on `frame`. 1 when no text stuck.
    HRESULT WriteSelectedText(IDispatch* selection, IDispatch* frame, const std::string& text);
    HRESULT PlaceTitleText(IDispatch* selection, IDispatch* slideShapes, const std::string& text);
    void ReleaseInterfaces();
};

extern CPowerPointAutomation g_pptAutomation;

// Frame window classes of PowerPoint generations, newest last.
struct PowerPointFrameClass {
    const char* className;
    std::int16_t version;
};
extern const PowerPointFrameClass kPowerPointFrameClasses[6];
