#pragma once
// A stand-in for PowerPoint, registered under "PowerPoint.Application" for as
// long as it lives: every late-bound call is logged as
//   Object.Member KIND(TYPE value, ...)
// with the arguments in the order they arrive (last parameter first), and is
// answered as scripted. Objects are named after what returned them
// (Presentations.Open gives a "Presentation", Shapes.Item a "Shape", ...).
// Calls that break the wire rules (locale, IID, named argument) are logged
// with a leading "!" and fail.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/com_runtime.h"
#include "platform/com_types.h"
#include "platform/com_windows.h"

struct FakeAnswer {
    enum Kind { Object, Long, Bool, String, Nothing };
    HRESULT hr = S_OK;
    Kind kind = Nothing;
    std::string text;  // object name or string value
    LONG value = 0;

    static FakeAnswer Fails(HRESULT hr) { return {hr, Nothing, {}, 0}; }
    static FakeAnswer Obj(const std::string& name) { return {S_OK, Object, name, 0}; }
    static FakeAnswer I4(LONG value) { return {S_OK, Long, {}, value}; }
    static FakeAnswer Boolean(bool value) { return {S_OK, Bool, {}, value ? -1 : 0}; }
    static FakeAnswer Str(const std::string& text) { return {S_OK, String, text, 0}; }
    static FakeAnswer None() { return {}; }
};

class CRecordingServer {
public:
    // `frameClass`: the window class of the frame window the server shows
    // while it runs; empty for none.
    explicit CRecordingServer(const std::string& frameClass = "PPTFrameClass");
    ~CRecordingServer();
    CRecordingServer(const CRecordingServer&) = delete;
    CRecordingServer& operator=(const CRecordingServer&) = delete;

    // Answers for "Object.Member", used in turn; the last one repeats.
    void Script(const std::string& call, std::vector<FakeAnswer> answers);
    // GetIDsOfNames of "Object.Member" fails with DISP_E_UNKNOWNNAME.
    void Unknown(const std::string& call);
    // Creating the server fails with this code.
    void FailCreation(HRESULT hr);
    // Registers a running instance that GetActiveObject finds.
    void RegisterRunning();

    const std::vector<std::string>& Log() const;
    void ClearLog();
    // Fake objects alive now.
    long LiveObjects() const;
    HWND Frame() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
    std::optional<CoServerRegistration> m_previous;
    DWORD m_running = 0;
};
