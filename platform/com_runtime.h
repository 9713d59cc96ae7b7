#pragma once
// The object runtime: per-thread initialisation, the registry of local servers
// by ProgID, object creation and the table of running objects. A ProgID that
// no server was registered for behaves as an application that is not
// installed: CLSIDFromProgID fails with CO_E_CLASSSTRING.
#include <functional>
#include <optional>
#include <string>

#include "platform/com_types.h"

// Creates a new instance of a server's class object and returns the interface
// `riid` of it in `*object` (with one reference), or a failure code.
using CoClassFactory = std::function<HRESULT(REFIID riid, void** object)>;

struct CoServerRegistration {
    CLSID clsid;
    CoClassFactory create;
};

// Makes `factory` the server of `progId` under `clsid`, replacing any earlier
// one, and returns the registration it replaced.
std::optional<CoServerRegistration> CoRegisterServer(const std::string& progId, const CLSID& clsid,
                                                     CoClassFactory factory);
// Removes the server of `progId` and returns its registration.
std::optional<CoServerRegistration> CoRevokeServer(const std::string& progId);

// Puts `registration` (or nothing) back as the server of `progId`: undoes a
// CoRegisterServer or CoRevokeServer with the value that it returned.
void CoRestoreServer(const std::string& progId, const std::optional<CoServerRegistration>& registration);

// Counted per thread: S_OK the first time, S_FALSE when already initialised.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
// True while the calling thread is initialised.
bool CoIsInitialized();

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
// Needs an initialised thread (CO_E_NOTINITIALIZED otherwise); the class must
// be registered (REGDB_E_CLASSNOTREG otherwise).
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** object);

// The running object table: registration keeps a reference until revoked.
HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* registration);
HRESULT RevokeActiveObject(DWORD registration, void* reserved);
// MK_E_UNAVAILABLE when no object of the class runs.
HRESULT GetActiveObject(REFCLSID clsid, void* reserved, IUnknown** object);
