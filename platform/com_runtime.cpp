#include "platform/com_runtime.h"

#include <map>
#include <mutex>

namespace {

struct Registry {
    std::mutex lock;
    std::map<std::string, CoServerRegistration> servers;
    std::map<DWORD, std::pair<CLSID, IUnknown*>> running;
    DWORD nextRunning = 1;
};

// Reached through a function so that servers may register from static
// initialisers of any translation unit.
Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

thread_local int t_initCount = 0;

std::optional<CoServerRegistration> Take(Registry& registry, const std::string& progId) {
    auto it = registry.servers.find(progId);
    if (it == registry.servers.end())
        return std::nullopt;
    CoServerRegistration previous = std::move(it->second);
    registry.servers.erase(it);
    return previous;
}

}  // namespace

std::optional<CoServerRegistration> CoRegisterServer(const std::string& progId, const CLSID& clsid,
                                                     CoClassFactory factory) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    auto previous = Take(registry, progId);
    registry.servers[progId] = {clsid, std::move(factory)};
    return previous;
}

std::optional<CoServerRegistration> CoRevokeServer(const std::string& progId) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    return Take(registry, progId);
}

void CoRestoreServer(const std::string& progId, const std::optional<CoServerRegistration>& registration) {
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    Take(registry, progId);
    if (registration)
        registry.servers[progId] = *registration;
}

HRESULT CoInitialize(void*) { return t_initCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
    if (t_initCount > 0)
        --t_initCount;
}

bool CoIsInitialized() { return t_initCount > 0; }

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (!progId || !clsid)
        return E_INVALIDARG;
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    auto it = registry.servers.find(progId);
    if (it == registry.servers.end())
        return CO_E_CLASSSTRING;
    *clsid = it->second.clsid;
    return S_OK;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID riid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!CoIsInitialized())
        return CO_E_NOTINITIALIZED;
    if (outer)
        return E_INVALIDARG;  // no server here supports aggregation
    CoClassFactory create;
    {
        Registry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        for (const auto& [progId, server] : registry.servers)
            if (server.clsid == clsid)
                create = server.create;
    }
    if (!create)
        return REGDB_E_CLASSNOTREG;
    // Created outside the lock: starting a server may take a while.
    return create(riid, object);
}

HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD, DWORD* registration) {
    if (!object || !registration)
        return E_INVALIDARG;
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    object->AddRef();
    *registration = registry.nextRunning++;
    registry.running[*registration] = {clsid, object};
    return S_OK;
}

HRESULT RevokeActiveObject(DWORD registration, void*) {
    IUnknown* object = nullptr;
    {
        Registry& registry = TheRegistry();
        std::lock_guard guard(registry.lock);
        auto it = registry.running.find(registration);
        if (it == registry.running.end())
            return E_INVALIDARG;
        object = it->second.second;
        registry.running.erase(it);
    }
    object->Release();
    return S_OK;
}

HRESULT GetActiveObject(REFCLSID clsid, void*, IUnknown** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!CoIsInitialized())
        return CO_E_NOTINITIALIZED;
    Registry& registry = TheRegistry();
    std::lock_guard guard(registry.lock);
    for (const auto& [id, entry] : registry.running)
        if (entry.first == clsid) {
            entry.second->AddRef();
            *object = entry.second;
            return S_OK;
        }
    return MK_E_UNAVAILABLE;
}
