#include "automation/powerpoint_automation.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <utility>

#include "automation/auto_wrap.h"
#include "automation/impress_server.h"
#include "platform/com_runtime.h"
#include "platform/com_windows.h"
#include "platform/text_encoding.h"

CPowerPointAutomation g_pptAutomation;

const PowerPointFrameClass kPowerPointFrameClasses[6] = {
    {"PP97FrameClass", 97},   {"PP9FrameClass", 2000},  {"PP10FrameClass", 2002},
    {"PP11FrameClass", 2003}, {"PP12FrameClass", 2007}, {"PPTFrameClass", 2010},
};

namespace {

// Installed with the program: the server of "PowerPoint.Application" is
// registered when the process starts, if the office suite behind it exists.
const bool g_serverRegistered = RegisterImpressServer();

// A reference to an object fetched inside one member, released when the
// member returns.
class CDispatchRef {
public:
    CDispatchRef() = default;
    ~CDispatchRef() { Clear(); }
    CDispatchRef(const CDispatchRef&) = delete;
    CDispatchRef& operator=(const CDispatchRef&) = delete;

    IDispatch* get() const { return m_p; }
    IDispatch** out() {
        Clear();
        return &m_p;
    }
    IDispatch* Detach() { return std::exchange(m_p, nullptr); }

private:
    void Clear() {
        if (m_p)
            std::exchange(m_p, nullptr)->Release();
    }
    IDispatch* m_p = nullptr;
};

// Calls a member that returns an object; `*out` receives it (null when the
// call fails or returns something else).
template <typename... Arguments>
HRESULT CallForObject(WORD kind, IDispatch** out, IDispatch* object, LPCOLESTR member, int argumentCount,
                      const Arguments&... arguments) {
    VARIANT result;
    HRESULT hr = AutoWrap(kind, &result, object, member, argumentCount, arguments...);
    if (SUCCEEDED(hr) && result.vt == VT_DISPATCH)
        *out = std::exchange(result.pdispVal, nullptr);
    VariantClear(&result);
    return hr;
}

HRESULT GetProperty(IDispatch** out, IDispatch* object, LPCOLESTR member) {
    return CallForObject(DISPATCH_PROPERTYGET, out, object, member, 0);
}

constexpr LONG kMsoTrue = -1;
constexpr LONG kMsoGroup = 6, kMsoTable = 19;  // Shape.Type of a group, of a table
constexpr int kGroupDepth = 16;      // groups inside groups are read this deep
constexpr LONG kTableCells = 65536;  // the cells of one table that are read at most

// A whole-number property of `object`; 0 when it cannot be read or is no number.
LONG LongProperty(IDispatch* object, LPCOLESTR member) {
    VARIANT result;
    const HRESULT hr = AutoWrap(DISPATCH_PROPERTYGET, &result, object, member, 0);
    LONG value = 0;
    if (SUCCEEDED(hr) && result.vt == VT_I4)
        value = result.lVal;
    else if (SUCCEEDED(hr) && result.vt == VT_BOOL)
        value = result.boolVal ? kMsoTrue : 0;
    VariantClear(&result);
    return value;
}

// A text property of `object`; empty when it cannot be read.
std::string StringProperty(IDispatch* object, LPCOLESTR member) {
    VARIANT result;
    const HRESULT hr = AutoWrap(DISPATCH_PROPERTYGET, &result, object, member, 0);
    std::string text;
    if (SUCCEEDED(hr) && result.vt == VT_BSTR && result.bstrVal)
        text.assign(result.bstrVal, SysStringLen(result.bstrVal));
    VariantClear(&result);
    return text;
}

// Keeps a newly fetched object in a field, releasing the one it replaces.
void Keep(IDispatch*& field, IDispatch* value) {
    if (field)
        field->Release();
    field = value;
}

void ReleaseField(IDispatch*& field) {
    if (field)
        std::exchange(field, nullptr)->Release();
}

// HasText answers true with 1 or -1, as a boolean or a number.
HRESULT ReadHasText(IDispatch* frame, bool& hasText) {
    VARIANT result;
    HRESULT hr = AutoWrap(DISPATCH_PROPERTYGET, &result, frame, "HasText", 0);
    LONG value = 0;
    if (result.vt == VT_BOOL)
        value = result.boolVal;
    else if (result.vt == VT_I4)
        value = result.lVal;
    hasText = SUCCEEDED(hr) && (value == 1 || value == -1);
    VariantClear(&result);
    return hr;
}

// The whole file, or nothing when it cannot be read.
std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) : std::string();
}

HWND FindPowerPointFrame(std::int16_t* version) {
    for (const auto& frame : kPowerPointFrameClasses)
        if (HWND window = FindWindowW(frame.className, nullptr)) {
            if (version)
                *version = frame.version;
            return window;
        }
    return nullptr;
}

}  // namespace

CPowerPointAutomation::CPowerPointAutomation() = default;

CPowerPointAutomation::~CPowerPointAutomation() {
    Reset();
    CoUninitialize();
}

void CPowerPointAutomation::Reset() {
    m_pApplication = m_pPresentations = m_pPresentation = nullptr;
    m_pSlides = m_pSlide = m_pSelection = m_pTextRange = nullptr;
    m_strAppPath.clear();
    m_strPresentationPath.clear();
    m_strFileName.clear();
    m_strDesignName.clear();
    m_strPictureName.clear();
    m_pDocProperties = {};
    m_hr = S_OK;
    m_nVersion = 2000;
}

bool CPowerPointAutomation::FindServerClass(CLSID& clsid) {
    m_hr = CLSIDFromProgID(kPowerPointProgId, &clsid);
    return SUCCEEDED(m_hr);
}

bool CPowerPointAutomation::CreateApplication(const CLSID& clsid) {
    // A PowerPoint that already runs is only probed, never used.
    IUnknown* running = nullptr;
    if (SUCCEEDED(GetActiveObject(clsid, nullptr, &running))) {
        IDispatch* probe = nullptr;
        if (SUCCEEDED(running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&probe))) && probe)
            probe->Release();
        running->Release();
    }

    // Interfaces left from an earlier session that failed half way belong to
    // a server that is no longer used: let them go before connecting anew.
    ReleaseInterfaces();
    m_hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(&m_pApplication));
    if (FAILED(m_hr))
        m_pApplication = nullptr;
    return SUCCEEDED(m_hr);
}

void CPowerPointAutomation::SetVisible() {
    m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, m_pApplication, "Visible", 1, CComVariant::Bool(1));
}

void CPowerPointAutomation::SetDisplayAlerts(int nAlertMode) {
    if (nAlertMode != 0 && nAlertMode != 1)
        return;
    m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, m_pApplication, "DisplayAlerts", 1,
                    CComVariant::I4(nAlertMode == 0 ? 1 : 2));
}

void CPowerPointAutomation::DetectVersion(BOOL bVisible, bool keepVersionFor97) {
    std::int16_t version = 0;
    HWND window = FindPowerPointFrame(&version);
    if (!window)
        return;
    if (!(keepVersionFor97 && version == 97))
        m_nVersion = version;
    if (!bVisible)
        ShowWindow(window, SW_HIDE);
}

std::string CPowerPointAutomation::OpenPresentation(const std::string& path, BOOL bVisible, int nAlertMode) {
    return Open(path, bVisible, nAlertMode, false);
}

std::string CPowerPointAutomation::OpenPresentationReadOnly(const std::string& path) {
    return Open(path, FALSE, 0, true);
}

std::string CPowerPointAutomation::Open(const std::string& path, BOOL bVisible, int nAlertMode, bool readOnly) {
    if (path.empty())
        return {};  // the open dialog, cancelled
    CoInitialize(nullptr);
    CLSID clsid{};
    if (!FindServerClass(clsid))
        return {};
    // A server that cannot be created shows in the next call, on a null object.
    CreateApplication(clsid);

    IDispatch* presentations = nullptr;
    m_hr = GetProperty(&presentations, m_pApplication, "Presentations");
    Keep(m_pPresentations, presentations);
    if (FAILED(m_hr))
        return {};

    SetVisible();
    Sleep(50);

    IDispatch* presentation = nullptr;
    if (readOnly)
        m_hr = CallForObject(DISPATCH_METHOD, &presentation, m_pPresentations, "Open", 2,
                             CComVariant::I4(kMsoTrue), CComVariant::Bstr(path));
    else
        m_hr = CallForObject(DISPATCH_METHOD, &presentation, m_pPresentations, "Open", 1, CComVariant::Bstr(path));
    Keep(m_pPresentation, presentation);
    if (FAILED(m_hr))
        return {};

    SetDisplayAlerts(nAlertMode);
    if (FAILED(m_hr))
        return {};

    DetectVersion(bVisible, true);
    m_strPresentationPath = path;
    return path;
}

HRESULT CPowerPointAutomation::NewPresentation(BOOL bVisible, int nAlertMode) {
    m_hr = 1;
    CoInitialize(nullptr);
    CLSID clsid{};
    if (!FindServerClass(clsid) || !CreateApplication(clsid))
        return m_hr = 1;

    SetVisible();
    Sleep(50);
    SetDisplayAlerts(nAlertMode);
    if (FAILED(m_hr))
        return m_hr;

    m_hr = AddPresentation();
    if (m_hr != 0)
        return m_hr;

    DetectVersion(bVisible, false);
    return m_hr;
}

HRESULT CPowerPointAutomation::AddPresentation() {
    IDispatch* presentations = nullptr;
    m_hr = GetProperty(&presentations, m_pApplication, "Presentations");
    Keep(m_pPresentations, presentations);
    if (FAILED(m_hr))
        return m_hr;

    VARIANT path;
    m_hr = AutoWrap(DISPATCH_PROPERTYGET, &path, m_pApplication, "Path", 0);
    if (SUCCEEDED(m_hr) && path.vt == VT_BSTR)
        m_strAppPath.assign(path.bstrVal ? path.bstrVal : "", SysStringLen(path.bstrVal));
    VariantClear(&path);
    if (FAILED(m_hr))
        return m_hr;

    IDispatch* presentation = nullptr;
    m_hr = CallForObject(DISPATCH_METHOD, &presentation, m_pPresentations, "Add", 1, CComVariant::I4(1));
    Keep(m_pPresentation, presentation);
    return m_hr;
}

HRESULT CPowerPointAutomation::SavePresentation(const std::string& path, int nMode) {
    if (!m_pApplication)
        return m_hr = E_FAIL;
    if (nMode == 1)
        m_hr = AutoWrap(DISPATCH_METHOD, nullptr, m_pPresentation, "SaveAs", 1, CComVariant::Bstr(path));
    else
        m_hr = AutoWrap(DISPATCH_METHOD, nullptr, m_pPresentation, "Save", 0);
    return m_hr;
}

HRESULT CPowerPointAutomation::GetSlideCount(LONG& count) {
    IDispatch* slides = nullptr;
    m_hr = GetProperty(&slides, m_pPresentation, "Slides");
    Keep(m_pSlides, slides);
    if (FAILED(m_hr))
        return m_hr;

    VARIANT result;
    m_hr = AutoWrap(DISPATCH_PROPERTYGET, &result, m_pSlides, "Count", 0);
    if (SUCCEEDED(m_hr))
        count = result.vt == VT_I4 ? result.lVal : 0;
    VariantClear(&result);
    return m_hr;
}

HRESULT CPowerPointAutomation::ClosePresentation() {
    if (!m_pPresentation)
        return m_hr = E_FAIL;
    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, m_pPresentation, "Close", 0);
    ReleaseField(m_pTextRange);
    ReleaseField(m_pSelection);
    ReleaseField(m_pSlide);
    ReleaseField(m_pSlides);
    ReleaseField(m_pPresentation);
    return m_hr;
}

HRESULT CPowerPointAutomation::GetTextLength(LONG& count) {
    count = 0;
    return ForEachShapeText([&count](std::string_view text) { count += static_cast<LONG>(Utf8Length(text)); });
}

HRESULT CPowerPointAutomation::GetTexts(std::vector<std::string>& texts) {
    texts.clear();
    return ForEachShapeText([&texts](std::string_view text) { texts.emplace_back(text); });
}

HRESULT CPowerPointAutomation::ForEachShapeText(const std::function<void(std::string_view)>& take) {
    LONG slideCount = 0;
    if (FAILED(GetSlideCount(slideCount)))
        return m_hr;
    for (LONG i = 1; i <= slideCount; ++i) {
        CDispatchRef slide, shapes;
        m_hr = CallForObject(DISPATCH_METHOD, slide.out(), m_pSlides, "Item", 1, CComVariant::I4(i));
        if (FAILED(m_hr))
            return m_hr;
        m_hr = GetProperty(shapes.out(), slide.get(), "Shapes");
        if (FAILED(m_hr))
            return m_hr;
        TakeShapeTexts(shapes.get(), take, 0);
    }
    return m_hr = S_OK;
}

// The texts of every shape of `shapes`, those inside groups and table cells
// included; `depth` counts the groups around them.
void CPowerPointAutomation::TakeShapeTexts(IDispatch* shapes, const std::function<void(std::string_view)>& take,
                                           int depth) {
    const LONG shapeCount = LongProperty(shapes, "Count");
    for (LONG k = 1; k <= shapeCount; ++k) {
        CDispatchRef shape, inside;
        if (FAILED(CallForObject(DISPATCH_METHOD, shape.out(), shapes, "Item", 1, CComVariant::I4(k))))
            continue;
        const LONG type = LongProperty(shape.get(), "Type");
        if (type == kMsoGroup) {
            if (depth < kGroupDepth && SUCCEEDED(GetProperty(inside.out(), shape.get(), "GroupItems")))
                TakeShapeTexts(inside.get(), take, depth + 1);
        } else if (type == kMsoTable) {
            if (SUCCEEDED(GetProperty(inside.out(), shape.get(), "Table")))
                TakeCellTexts(inside.get(), take);
        } else {
            take(ShapeText(shape.get()));
        }
    }
}

// The text of every cell of `table`, row by row.
void CPowerPointAutomation::TakeCellTexts(IDispatch* table, const std::function<void(std::string_view)>& take) {
    CDispatchRef rows, columns;
    if (FAILED(GetProperty(rows.out(), table, "Rows")) || FAILED(GetProperty(columns.out(), table, "Columns")))
        return;
    const LONG rowCount = LongProperty(rows.get(), "Count"), columnCount = LongProperty(columns.get(), "Count");
    if (rowCount <= 0 || columnCount <= 0 || rowCount > kTableCells / columnCount)
        return;
    for (LONG row = 1; row <= rowCount; ++row)
        for (LONG column = 1; column <= columnCount; ++column) {
            CDispatchRef cell, shape, frame, range;
            if (FAILED(CallForObject(DISPATCH_METHOD, cell.out(), table, "Cell", 2, CComVariant::I4(column),
                                     CComVariant::I4(row))) ||
                FAILED(GetProperty(shape.out(), cell.get(), "Shape")) ||
                FAILED(GetProperty(frame.out(), shape.get(), "TextFrame")) ||
                FAILED(GetProperty(range.out(), frame.get(), "TextRange")))
                continue;
            take(StringProperty(range.get(), "Text"));
        }
}

// The text of `shape`; empty for a shape without text or one
// that cannot be read.
std::string CPowerPointAutomation::ShapeText(IDispatch* shape) {
    CDispatchRef frame, range;
    if (LongProperty(shape, "HasTextFrame") == 0 || FAILED(GetProperty(frame.out(), shape, "TextFrame")) ||
        FAILED(GetProperty(range.out(), frame.get(), "TextRange")))
        return {};
    return StringProperty(range.get(), "Text");
}

HRESULT CPowerPointAutomation::ExportSlidePictures(const std::string& folder, LONG count, LONG width,
                                                   std::chrono::milliseconds budget,
                                                   std::vector<std::string>& pictures) {
    pictures.clear();
    const auto end = std::chrono::steady_clock::now() + budget;
    LONG slideCount = 0;
    if (FAILED(GetSlideCount(slideCount)))
        return m_hr;
    for (LONG i = 1; i <= std::min(count, slideCount) && std::chrono::steady_clock::now() < end; ++i) {
        const std::string path = (std::filesystem::path(folder) / ("__slide" + std::to_string(i) + ".png")).string();
        CDispatchRef slide;
        m_hr = CallForObject(DISPATCH_METHOD, slide.out(), m_pSlides, "Item", 1, CComVariant::I4(i));
        if (SUCCEEDED(m_hr))
            m_hr = AutoWrap(DISPATCH_METHOD, nullptr, slide.get(), "Export", 3, CComVariant::I4(width),
                            CComVariant::Bstr("PNG"), CComVariant::Bstr(path));
        std::string picture = SUCCEEDED(m_hr) ? ReadWholeFile(path) : std::string();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        if (picture.empty())
            return m_hr = FAILED(m_hr) ? m_hr : E_FAIL;
        pictures.push_back(std::move(picture));
    }
    return m_hr = S_OK;
}

HRESULT CPowerPointAutomation::ClosePowerPoint(BOOL bSave, const std::string& path, int nMode) {
    if (!m_pApplication)
        return m_hr = E_FAIL;
    if (bSave == 1)
        SavePresentation(path, nMode);

    if (m_pPresentation) {
        m_hr = AutoWrap(DISPATCH_METHOD, nullptr, m_pPresentation, "Close", 0);
        if (m_hr == 0)
            ReleaseField(m_pPresentation);
        if (HWND window = FindPowerPointFrame(nullptr))
            PostMessageW(window, WM_CLOSE, 0, 0);
    }

    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, m_pApplication, "Quit", 0);
    if (m_hr == 0)
        ReleaseField(m_pApplication);

    ReleaseInterfaces();
    return m_hr;
}

void CPowerPointAutomation::ReleaseInterfaces() {
    ReleaseField(m_pTextRange);
    ReleaseField(m_pSelection);
    ReleaseField(m_pSlide);
    ReleaseField(m_pSlides);
    ReleaseField(m_pPresentation);
    ReleaseField(m_pPresentations);
    ReleaseField(m_pApplication);
}

LONG CPowerPointAutomation::MapSlideLayout(std::uint32_t layoutValue) {
    switch (layoutValue) {
    case 0x00000000: m_nLayout = 1; break;
    case 0x01000000: m_nLayout = 2; break;
    case 0x02000000:
    case 0x08000000: m_nLayout = 3; break;
    case 0x07000000:
    case 0x10000000: m_nLayout = 11; break;
    case 0x09000000: m_nLayout = 25; break;
    case 0x0A000000: m_nLayout = 26; break;
    case 0x0B000000:
    case 0x11000000: m_nLayout = 27; break;
    case 0x0D000000:
    case 0x12000000: m_nLayout = 28; break;
    case 0x0E000000: m_nLayout = 24; break;
    case 0x0F000000: m_nLayout = 15; break;
    default: m_nLayout = 12; break;
    }
    return m_nLayout;
}

HRESULT CPowerPointAutomation::FindWindowObject(IDispatch** window) {
    m_hr = GetProperty(window, m_pApplication, "ActiveWindow");
    if (FAILED(m_hr))
        m_hr = GetProperty(window, m_pPresentation, "SlideShowWindow");
    return m_hr;
}

HRESULT CPowerPointAutomation::AddSlide(LONG index, LONG layout) {
    IDispatch* slides = nullptr;
    m_hr = GetProperty(&slides, m_pPresentation, "Slides");
    Keep(m_pSlides, slides);
    if (FAILED(m_hr))
        return m_hr;
    IDispatch* slide = nullptr;
    m_hr = CallForObject(DISPATCH_METHOD, &slide, m_pSlides, "Add", 2, CComVariant::I4(layout),
                         CComVariant::I4(index));
    Keep(m_pSlide, slide);
    if (FAILED(m_hr))
        return m_hr;

    CDispatchRef window, view;
    if (FAILED(FindWindowObject(window.out())))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, window.get(), "ViewType", 1, CComVariant::I4(1));
    if (FAILED(m_hr))
        return m_hr;
    m_hr = GetProperty(view.out(), window.get(), "View");
    if (FAILED(m_hr))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, view.get(), "GotoSlide", 1, CComVariant::I4(index));
    return m_hr;
}

HRESULT CPowerPointAutomation::ShownSlideShapes(IDispatch* window, IDispatch** selection, IDispatch** shapes) {
    m_hr = GetProperty(selection, window, "Selection");
    if (FAILED(m_hr))
        return m_hr;
    CDispatchRef slideRange;
    m_hr = GetProperty(slideRange.out(), *selection, "SlideRange");
    if (FAILED(m_hr))
        return m_hr;
    m_hr = GetProperty(shapes, slideRange.get(), "Shapes");
    return m_hr;
}

HRESULT CPowerPointAutomation::WriteSelectedText(IDispatch* selection, IDispatch* frame, const std::string& text) {
    IDispatch* textRange = nullptr;
    m_hr = GetProperty(&textRange, selection, "TextRange");
    Keep(m_pTextRange, textRange);
    if (FAILED(m_hr))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, m_pTextRange, "Text", 1, CComVariant::Bstr(text));
    if (FAILED(m_hr))
        return m_hr;
    bool hasText = false;
    m_hr = ReadHasText(frame, hasText);
    if (FAILED(m_hr))
        return m_hr;
    if (!hasText)
        return m_hr = 1;
    m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, frame, "AutoSize", 1, CComVariant::I4(1));
    if (FAILED(m_hr))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, frame, "WordWrap", 1, CComVariant::I4(-1));
    return m_hr;
}

HRESULT CPowerPointAutomation::PlaceTitleText(IDispatch* selection, IDispatch* slideShapes, const std::string& text) {
    CDispatchRef title, shapeRange, frame;
    m_hr = GetProperty(title.out(), slideShapes, "Title");
    if (FAILED(m_hr))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, title.get(), "Select", 0);
    if (FAILED(m_hr))
        return m_hr;
    m_hr = GetProperty(shapeRange.out(), selection, "ShapeRange");
    if (FAILED(m_hr))
        return m_hr;
    m_hr = GetProperty(frame.out(), shapeRange.get(), "TextFrame");
    if (FAILED(m_hr))
        return m_hr;
    bool hasText = false;
    m_hr = ReadHasText(frame.get(), hasText);
    if (FAILED(m_hr))
        return m_hr;
    if (!hasText)
        return WriteSelectedText(selection, frame.get(), text);

    // The title is taken. Only the title slide has a second place for text:
    // its subtitle, when that is still empty.
    if (m_nLayout != 1)
        return m_hr = 1;
    CDispatchRef second, secondFrame;
    m_hr = CallForObject(DISPATCH_METHOD, second.out(), slideShapes, "Item", 1, CComVariant::I4(2));
    if (FAILED(m_hr))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, second.get(), "Select", 0);
    if (FAILED(m_hr))
        return m_hr;
    m_hr = GetProperty(secondFrame.out(), second.get(), "TextFrame");
    if (FAILED(m_hr))
        return m_hr;
    m_hr = ReadHasText(secondFrame.get(), hasText);
    if (FAILED(m_hr))
        return m_hr;
    if (hasText)
        return m_hr = 1;
    return WriteSelectedText(selection, secondFrame.get(), text);
}

HRESULT CPowerPointAutomation::SetSlideTitle(const std::string& text, float, float, float, float) {
    CDispatchRef window, selection, shownShapes, slideShapes;
    if (FAILED(FindWindowObject(window.out())))
        return m_hr;
    if (FAILED(ShownSlideShapes(window.get(), selection.out(), shownShapes.out())))
        return m_hr;
    m_hr = GetProperty(slideShapes.out(), m_pSlide, "Shapes");
    if (FAILED(m_hr))
        return m_hr;

    HRESULT placed = PlaceTitleText(selection.get(), slideShapes.get(), text);
    if (FAILED(placed))
        return m_hr = placed;
    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, selection.get(), "Unselect", 0);
    // A refusal (1) outlives the Unselect: it tells the caller to use a text box.
    if (SUCCEEDED(m_hr) && placed != 0)
        m_hr = placed;
    return m_hr;
}

HRESULT CPowerPointAutomation::AddTextBox(const std::string& text, float left, float top, float width,
                                          float height) {
    CDispatchRef window, selection, shapes, shape, shapeRange, frame;
    if (FAILED(FindWindowObject(window.out())))
        return m_hr;
    if (FAILED(ShownSlideShapes(window.get(), selection.out(), shapes.out())))
        return m_hr;
    Keep(m_pSelection, selection.Detach());

    m_hr = CallForObject(DISPATCH_METHOD, shape.out(), shapes.get(), "AddTextbox", 5, CComVariant::R4(height),
                         CComVariant::R4(width), CComVariant::R4(top), CComVariant::R4(left),
                         CComVariant::R4(1.0f));
    if (FAILED(m_hr))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, shape.get(), "Select", 0);
    if (FAILED(m_hr))
        return m_hr;
    m_hr = GetProperty(shapeRange.out(), m_pSelection, "ShapeRange");
    if (FAILED(m_hr))
        return m_hr;
    m_hr = GetProperty(frame.out(), shapeRange.get(), "TextFrame");
    if (FAILED(m_hr))
        return m_hr;
    IDispatch* textRange = nullptr;
    m_hr = GetProperty(&textRange, m_pSelection, "TextRange");
    Keep(m_pTextRange, textRange);
    if (FAILED(m_hr))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, m_pTextRange, "Text", 1, CComVariant::Bstr(text));
    if (FAILED(m_hr))
        return m_hr;

    bool hasText = false;
    m_hr = ReadHasText(frame.get(), hasText);
    if (FAILED(m_hr))
        return m_hr;
    if (hasText) {
        m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, frame.get(), "AutoSize", 1, CComVariant::I4(1));
        if (FAILED(m_hr))
            return m_hr;
        m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, frame.get(), "WordWrap", 1, CComVariant::I4(-1));
        if (FAILED(m_hr))
            return m_hr;
    }
    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, m_pSelection, "Unselect", 0);
    return m_hr;
}

HRESULT CPowerPointAutomation::SetFont() {
    CDispatchRef font;
    m_hr = GetProperty(font.out(), m_pTextRange, "Font");
    if (FAILED(m_hr))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, font.get(), "NameAscii", 1, CComVariant::Bstr("Calibri"));
    if (SUCCEEDED(m_hr))
        m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, font.get(), "Bold", 1, CComVariant::UI1(0));
    if (SUCCEEDED(m_hr))
        m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, font.get(), "Size", 1, CComVariant::UI1(15));
    if (SUCCEEDED(m_hr))
        m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, font.get(), "Italic", 1, CComVariant::UI1(1));
    return m_hr;
}

HRESULT CPowerPointAutomation::AddPicture(const std::string& fileName, float left, float top, float width,
                                          float height) {
    CDispatchRef window, selection, shapes, picture;
    if (FAILED(FindWindowObject(window.out())))
        return m_hr;
    if (FAILED(ShownSlideShapes(window.get(), selection.out(), shapes.out())))
        return m_hr;
    // Shapes.AddPicture(FileName, LinkToFile, SaveWithDocument, Left, Top, Width, Height)
    m_hr = CallForObject(DISPATCH_METHOD, picture.out(), shapes.get(), "AddPicture", 7, CComVariant::R4(height),
                         CComVariant::R4(width), CComVariant::R4(top), CComVariant::R4(left), CComVariant::I4(1),
                         CComVariant::I4(0), CComVariant::Bstr(fileName));
    return m_hr;
}

HRESULT CPowerPointAutomation::SetNotesText(const std::string& text) {
    if (!m_pSlide)
        return m_hr = E_FAIL;
    CDispatchRef notesPage, shapes, placeholders, body, frame, range;
    m_hr = GetProperty(notesPage.out(), m_pSlide, "NotesPage");
    if (SUCCEEDED(m_hr))
        m_hr = GetProperty(shapes.out(), notesPage.get(), "Shapes");
    if (SUCCEEDED(m_hr))
        m_hr = GetProperty(placeholders.out(), shapes.get(), "Placeholders");
    // The second placeholder of a notes page is its body, after the slide's picture.
    if (SUCCEEDED(m_hr))
        m_hr = CallForObject(DISPATCH_METHOD, body.out(), placeholders.get(), "Item", 1, CComVariant::I4(2));
    if (SUCCEEDED(m_hr))
        m_hr = GetProperty(frame.out(), body.get(), "TextFrame");
    if (SUCCEEDED(m_hr))
        m_hr = GetProperty(range.out(), frame.get(), "TextRange");
    if (SUCCEEDED(m_hr))
        m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, range.get(), "Text", 1, CComVariant::Bstr(text));
    return m_hr;
}

HRESULT CPowerPointAutomation::DeleteEmptyShapes() {
    if (!m_pSlide)
        return m_hr = 0;
    CDispatchRef shapes;
    m_hr = GetProperty(shapes.out(), m_pSlide, "Shapes");
    for (LONG i = 1; SUCCEEDED(m_hr);) {
        CDispatchRef shape, frame;
        m_hr = CallForObject(DISPATCH_METHOD, shape.out(), shapes.get(), "Item", 1, CComVariant::I4(i));
        if (FAILED(m_hr))
            break;
        m_hr = AutoWrap(DISPATCH_METHOD, nullptr, shape.get(), "Select", 0);
        if (FAILED(m_hr))
            break;
        m_hr = GetProperty(frame.out(), shape.get(), "TextFrame");
        if (FAILED(m_hr))
            break;
        bool hasText = false;
        m_hr = ReadHasText(frame.get(), hasText);
        if (FAILED(m_hr))
            break;
        if (hasText)
            ++i;
        else
            m_hr = AutoWrap(DISPATCH_METHOD, nullptr, shape.get(), "Delete", 0);
    }
    return m_hr;
}

HRESULT CPowerPointAutomation::DeleteSlideIfEmpty() {
    if (!m_pSlide)
        return m_hr = 0;
    m_hr = 0;
    CDispatchRef shapes, first;
    HRESULT hr = GetProperty(shapes.out(), m_pSlide, "Shapes");
    if (SUCCEEDED(hr))
        hr = CallForObject(DISPATCH_METHOD, first.out(), shapes.get(), "Item", 1, CComVariant::I4(1));
    if (FAILED(hr))
        m_hr = AutoWrap(DISPATCH_METHOD, nullptr, m_pSlide, "Delete", 0);
    return m_hr;
}

namespace {

bool UsesThemes(std::int16_t version) { return version == 2007 || version == 2010; }

std::string DesignFolder(const std::string& appPath, std::int16_t version) {
    // The parent of PowerPoint's program folder: cut at the first backslash
    // from 11 characters before the end.
    std::size_t from = appPath.size() > 11 ? appPath.size() - 11 : 0;
    std::size_t cut = appPath.find('\\', from);
    std::string folder = cut == std::string::npos ? std::string() : appPath.substr(0, cut);
    if (version == 2007)
        return folder + "\\Document Themes 12\\";
    if (version == 2010)
        return folder + "\\Document Themes 14\\";
    return folder + "\\Templates\\Presentation Designs\\";
}

std::string DefaultDesignFile(std::int16_t version) { return UsesThemes(version) ? "Origin.thmx" : "Edge.pot"; }

}  // namespace

std::string CPowerPointAutomation::DesignPath() const {
    std::string folder = DesignFolder(m_strAppPath, m_nVersion);
    if (m_strDesignName.empty() || m_strDesignName == "Default Design")
        return folder + DefaultDesignFile(m_nVersion);
    return folder + m_strDesignName + (UsesThemes(m_nVersion) ? ".thmx" : ".pot");
}

std::string CPowerPointAutomation::FallbackDesignPath() const {
    return DesignFolder(m_strAppPath, m_nVersion) + DefaultDesignFile(m_nVersion);
}

HRESULT CPowerPointAutomation::ApplyDesign() {
    const char* member = UsesThemes(m_nVersion) ? "ApplyTheme" : "ApplyTemplate";
    CDispatchRef master;
    m_hr = GetProperty(master.out(), m_pPresentation, "SlideMaster");
    if (FAILED(m_hr))
        return m_hr;
    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, master.get(), member, 1, CComVariant::Bstr(DesignPath()));
    if (SUCCEEDED(m_hr))
        return m_hr;
    IDispatch* target = UsesThemes(m_nVersion) ? master.get() : m_pPresentation;
    m_hr = AutoWrap(DISPATCH_METHOD, nullptr, target, member, 1, CComVariant::Bstr(FallbackDesignPath()));
    return m_hr;
}

HRESULT CPowerPointAutomation::SetDocumentProperties() {
    if (!m_pApplication)
        return m_hr;
    CDispatchRef properties;
    m_hr = GetProperty(properties.out(), m_pPresentation, "BuiltInDocumentProperties");
    for (LONG item = 1; item <= 3 && SUCCEEDED(m_hr); ++item) {
        CDispatchRef property;
        m_hr = CallForObject(DISPATCH_PROPERTYGET, property.out(), properties.get(), "Item", 1,
                             CComVariant::I4(item));
        if (SUCCEEDED(m_hr))
            m_hr = AutoWrap(DISPATCH_PROPERTYPUT, nullptr, property.get(), "Value", 1,
                            CComVariant::Bstr(m_pDocProperties[item - 1]));
    }
    return m_hr;
}
