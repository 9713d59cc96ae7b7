#include "support/recording_server.h"

#include <atomic>
#include <cstdio>
#include <set>

#include "automation/powerpoint_automation.h"

namespace {

constexpr CLSID kFakeClsid = {0x0FA4E000, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}};

// What a member returns when nothing is scripted.
const std::map<std::string, std::string> kReturnedObjects = {
    {"Presentations.Open", "Presentation"},  {"Presentations.Add", "Presentation"},
    {"Slides.Add", "Slide"},                 {"Application.ActiveWindow", "Window"},
    {"Presentation.SlideShowWindow", "Window"}, {"Shapes.AddTextbox", "Shape"},
    {"Shapes.AddPicture", "Shape"},          {"Shapes.Title", "Shape"},
    {"Shapes.Item", "Shape"},                {"BuiltInDocumentProperties.Item", "Property"},
};
const std::set<std::string> kMethodsWithoutResult = {"Select", "Delete", "Unselect", "SaveAs", "Save", "Close",
                                                    "Quit", "GotoSlide", "ApplyTheme", "ApplyTemplate"};

std::string Describe(const VARIANT& v) {
    char number[64];
    switch (v.vt) {
    case VT_I4: return "I4 " + std::to_string(v.lVal);
    case VT_UI1: return "UI1 " + std::to_string(v.bVal);
    case VT_BOOL: return "BOOL " + std::to_string(v.boolVal);
    case VT_R4:
        std::snprintf(number, sizeof(number), "R4 %g", static_cast<double>(v.fltVal));
        return number;
    case VT_BSTR: return "BSTR " + std::string(v.bstrVal ? v.bstrVal : "", SysStringLen(v.bstrVal));
    case VT_EMPTY: return "EMPTY";
    default: return "VT " + std::to_string(v.vt);
    }
}

const char* KindName(WORD kind) {
    switch (kind) {
    case DISPATCH_METHOD: return "METHOD";
    case DISPATCH_PROPERTYGET: return "GET";
    case DISPATCH_PROPERTYPUT: return "PUT";
    default: return "KIND?";
    }
}

}  // namespace

struct CRecordingServer::State {
    std::vector<std::string> log;
    std::map<std::string, std::vector<FakeAnswer>> script;
    std::map<std::string, std::size_t> used;
    std::set<std::string> unknown;
    std::atomic<long> live{0};
    HRESULT createFailure = S_OK;
    std::string frameClass;
    HWND frame = nullptr;

    FakeAnswer Next(const std::string& call) {
        auto it = script.find(call);
        if (it == script.end() || it->second.empty())
            return Default(call);
        std::size_t& n = used[call];
        const FakeAnswer& answer = it->second[std::min(n, it->second.size() - 1)];
        ++n;
        return answer;
    }

    FakeAnswer Default(const std::string& call) {
        std::string member = call.substr(call.find('.') + 1);
        if (call == "Application.Path")
            return FakeAnswer::Str("C:\\Program Files\\Microsoft Office\\Office14");
        if (member == "Count")
            return FakeAnswer::I4(0);
        if (member == "HasText")
            return FakeAnswer::Boolean(false);
        if (kMethodsWithoutResult.count(member))
            return FakeAnswer::None();
        auto named = kReturnedObjects.find(call);
        return FakeAnswer::Obj(named != kReturnedObjects.end() ? named->second : member);
    }

    void ShowFrame() {
        if (!frameClass.empty() && !frame)
            frame = CreateFrameWindow(frameClass, [this](UINT message, WPARAM, LPARAM) {
                log.push_back(message == WM_CLOSE ? "[frame WM_CLOSE]" : "[frame message]");
            });
    }
    void EndFrame() {
        if (frame)
            DestroyFrameWindow(frame);
        frame = nullptr;
    }
};

namespace {

class CFakeObject : public IDispatch {
public:
    CFakeObject(std::shared_ptr<CRecordingServer::State> state, std::string name)
        : m_state(std::move(state)), m_name(std::move(name)) {
        ++m_state->live;
    }

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            AddRef();
            *object = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        std::string call = m_name + "." + names[0];
        if (!(riid == IID_NULL) || count != 1 || lcid != LOCALE_USER_DEFAULT) {
            m_state->log.push_back("!GetIDsOfNames " + call);
            return E_INVALIDARG;
        }
        if (m_state->unknown.count(call)) {
            m_state->log.push_back(call + " UNKNOWN");
            return DISP_E_UNKNOWNNAME;
        }
        m_members.push_back(names[0]);
        *ids = static_cast<DISPID>(m_members.size());
        return S_OK;
    }

    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD kind, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override {
        if (id < 1 || static_cast<std::size_t>(id) > m_members.size())
            return DISP_E_MEMBERNOTFOUND;
        std::string call = m_name + "." + m_members[id - 1];
        std::string entry = call + " " + KindName(kind) + "(";
        for (UINT i = 0; params && i < params->cArgs; ++i)
            entry += (i ? ", " : "") + Describe(params->rgvarg[i]);
        entry += ")";
        bool put = kind == DISPATCH_PROPERTYPUT;
        bool namedOk = put ? params && params->cArgs == 1 && params->cNamedArgs == 1 &&
                                 params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT
                           : !params || params->cNamedArgs == 0;
        if (!(riid == IID_NULL) || lcid != LOCALE_SYSTEM_DEFAULT || !namedOk) {
            m_state->log.push_back("!" + entry);
            return E_INVALIDARG;
        }
        m_state->log.push_back(entry);

        FakeAnswer answer = put ? FakeAnswer::None() : m_state->Next(call);
        if (call == "Application.Quit" && SUCCEEDED(answer.hr))
            m_state->EndFrame();
        if (FAILED(answer.hr) || !result)
            return answer.hr;
        switch (answer.kind) {
        case FakeAnswer::Object:
            result->vt = VT_DISPATCH;
            result->pdispVal = new CFakeObject(m_state, answer.text);
            break;
        case FakeAnswer::Long:
            result->vt = VT_I4;
            result->lVal = answer.value;
            break;
        case FakeAnswer::Bool:
            result->vt = VT_BOOL;
            result->boolVal = static_cast<VARIANT_BOOL>(answer.value);
            break;
        case FakeAnswer::String:
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(answer.text.data(), static_cast<UINT>(answer.text.size()));
            break;
        case FakeAnswer::Nothing:
            break;
        }
        return answer.hr;
    }

private:
    ~CFakeObject() override { --m_state->live; }

    std::shared_ptr<CRecordingServer::State> m_state;
    std::string m_name;
    std::vector<std::string> m_members;
    std::atomic<ULONG> m_refs{1};
};

}  // namespace

CRecordingServer::CRecordingServer(const std::string& frameClass) : m_state(std::make_shared<State>()) {
    m_state->frameClass = frameClass;
    std::weak_ptr<State> weak = m_state;
    m_previous = CoRegisterServer(kPowerPointProgId, kFakeClsid, [weak](REFIID riid, void** object) -> HRESULT {
        auto state = weak.lock();
        if (!state)
            return REGDB_E_CLASSNOTREG;
        if (FAILED(state->createFailure))
            return state->createFailure;
        state->log.push_back("[create Application]");
        state->ShowFrame();
        auto* application = new CFakeObject(state, "Application");
        HRESULT hr = application->QueryInterface(riid, object);
        application->Release();
        return hr;
    });
}

CRecordingServer::~CRecordingServer() {
    if (m_running)
        RevokeActiveObject(m_running, nullptr);
    CoRestoreServer(kPowerPointProgId, m_previous);
    m_state->EndFrame();
}

void CRecordingServer::Script(const std::string& call, std::vector<FakeAnswer> answers) {
    m_state->script[call] = std::move(answers);
    m_state->used.erase(call);
}

void CRecordingServer::Unknown(const std::string& call) { m_state->unknown.insert(call); }
void CRecordingServer::FailCreation(HRESULT hr) { m_state->createFailure = hr; }

void CRecordingServer::RegisterRunning() {
    auto* running = new CFakeObject(m_state, "RunningApplication");
    RegisterActiveObject(running, kFakeClsid, 0, &m_running);
    running->Release();
}

const std::vector<std::string>& CRecordingServer::Log() const { return m_state->log; }
void CRecordingServer::ClearLog() { m_state->log.clear(); }
long CRecordingServer::LiveObjects() const { return m_state->live.load(); }
HWND CRecordingServer::Frame() const { return m_state->frame; }
