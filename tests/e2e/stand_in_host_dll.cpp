// stand_in_host.dll: the stand-in host object in the caller's process, and the registration of
// both stand-ins under one class: the DLL as its in-process server and stand_in_host_server.exe,
// beside it, as its local server. COM tries the DLL first; a caller whose environment has
// HALVIK_HOST_OUT_OF_PROCESS=1 is refused here and so gets the local server, and one with
// HALVIK_HOST_ABSENT=1 gets a factory that makes nothing, as if the host were not installed (a
// refusal here would only send it on to the local server). With HALVIK_HOST_STUCK_LOADING=1 the
// DLL never returns from loading, as a host stuck in its DllMain.

#include <olectl.h>

#include <memory>
#include <string>

#include "stand_in_host.h"

namespace {

const wchar_t kDescription[] = L"Halvik test stand-in for the home-automation host";

HMODULE g_module = nullptr;

bool EnvironmentSays(const wchar_t* name) {
  wchar_t value[4] = {};
  return GetEnvironmentVariableW(name, value, 4) == 1 && value[0] == L'1';
}

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using ScopedKey = std::unique_ptr<HKEY__, KeyCloser>;

bool SetString(const std::wstring& subkey, const wchar_t* value_name, const std::wstring& data) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &raw, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  ScopedKey key(raw);
  const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key.get(), value_name, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(data.c_str()), bytes) == ERROR_SUCCESS;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD len = GetModuleFileNameW(g_module, &path[0], static_cast<DWORD>(path.size()));
    if (len == 0) return std::wstring();
    if (len < path.size()) return path.substr(0, len);
    path.resize(path.size() * 2);
  }
}

class AbsentHostFactory : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = riid == IID_IUnknown || riid == IID_IClassFactory ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown*, REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return REGDB_E_CLASSNOTREG;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

AbsentHostFactory g_absent_host;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    // A host stuck as it loads holds the loader lock for good.
    while (EnvironmentSays(L"HALVIK_HOST_STUCK_LOADING")) Sleep(INFINITE);
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    stand_in_host::holdUnloadIfTold();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != stand_in_host::ClassId || EnvironmentSays(L"HALVIK_HOST_OUT_OF_PROCESS")) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  if (EnvironmentSays(L"HALVIK_HOST_ABSENT")) return g_absent_host.QueryInterface(riid, ppv);
  return stand_in_host::factory()->QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return stand_in_host::objectsAlive() ? S_FALSE : S_OK; }

STDAPI DllUnregisterServer() {
  const std::wstring clsid_key = std::wstring(L"CLSID\\") + stand_in_host::ClassIdText;
  LSTATUS a = RegDeleteTreeW(HKEY_CLASSES_ROOT, clsid_key.c_str());
  LSTATUS b = RegDeleteTreeW(HKEY_CLASSES_ROOT, stand_in_host::ProgId);
  // Already absent counts as unregistered.
  bool ok = (a == ERROR_SUCCESS || a == ERROR_FILE_NOT_FOUND) &&
            (b == ERROR_SUCCESS || b == ERROR_FILE_NOT_FOUND);
  return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllRegisterServer() {
  try {
    const std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    const std::wstring server =
        L"\"" + path.substr(0, path.find_last_of(L"\\/") + 1) + L"stand_in_host_server.exe\"";
    const std::wstring clsid_key = std::wstring(L"CLSID\\") + stand_in_host::ClassIdText;
    const std::wstring inproc_key = clsid_key + L"\\InprocServer32";
    const std::wstring prog_id = stand_in_host::ProgId;
    bool ok = SetString(prog_id, nullptr, kDescription) &&
              SetString(prog_id + L"\\CLSID", nullptr, stand_in_host::ClassIdText) &&
              SetString(clsid_key, nullptr, kDescription) && SetString(inproc_key, nullptr, path) &&
              SetString(inproc_key, L"ThreadingModel", L"Apartment") &&
              SetString(clsid_key + L"\\LocalServer32", nullptr, server) &&
              SetString(clsid_key + L"\\ProgID", nullptr, prog_id);
    if (ok) return S_OK;
  } catch (...) {  // std::bad_alloc from the key strings; fall through to clean up.
  }
  DllUnregisterServer();
  return SELFREG_E_CLASS;
}
