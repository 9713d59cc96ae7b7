#include "repair/ppt/slide_builder.h"

#include "automation/powerpoint_automation.h"

namespace {

constexpr int kSaveAs = 1;

class CSessionSlideBuilder final : public CSlideBuilder {
public:
    LONG MapSlideLayout(std::uint32_t layoutValue) override { return g_pptAutomation.MapSlideLayout(layoutValue); }
    HRESULT GetSlideCount(LONG& count) override { return g_pptAutomation.GetSlideCount(count); }
    HRESULT AddSlide(LONG index, LONG layout) override { return g_pptAutomation.AddSlide(index, layout); }
    HRESULT SetSlideTitle(const std::string& text, float left, float top, float width, float height) override {
        return g_pptAutomation.SetSlideTitle(text, left, top, width, height);
    }
    HRESULT AddTextBox(const std::string& text, float left, float top, float width, float height) override {
        return g_pptAutomation.AddTextBox(text, left, top, width, height);
    }
    HRESULT SetFont() override { return g_pptAutomation.SetFont(); }
    HRESULT AddPicture(const std::string& file, float left, float top, float width, float height) override {
        return g_pptAutomation.AddPicture(file, left, top, width, height);
    }
    HRESULT DeleteEmptyShapes() override { return g_pptAutomation.DeleteEmptyShapes(); }
    HRESULT DeleteSlideIfEmpty() override { return g_pptAutomation.DeleteSlideIfEmpty(); }
    HRESULT SetNotesText(const std::string& text) override { return g_pptAutomation.SetNotesText(text); }
    HRESULT SavePresentation(const std::string& path) override {
        return g_pptAutomation.SavePresentation(path, kSaveAs);
    }
};

CSessionSlideBuilder g_sessionBuilder;
CSlideBuilder* g_pBuilder = nullptr;

}  // namespace

CSlideBuilder& SlideBuilder() { return g_pBuilder ? *g_pBuilder : g_sessionBuilder; }

CSlideBuilder* SetSlideBuilder(CSlideBuilder* builder) {
    CSlideBuilder* previous = g_pBuilder;
    g_pBuilder = builder;
    return previous;
}
