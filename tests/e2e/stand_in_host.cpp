// Stand-in for the home-automation host's "homeseer.application" automation object, used by the
// end-to-end tests so Halvik can be exercised under Wine without the real host installed.
//
// It is an in-process COM server exposing a hand-written IDispatch with SaveVar, GetVar and
// CreateVar. Every call is recorded in a plain-text journal (path in HALVIK_HOST_STORE) that the
// tests inspect afterwards and may seed beforehand with "CreateVar\t<name>" lines. The journal is
// also the only state: it is re-read on every call, so the tests and the DLL never disagree.
// Setting HALVIK_HOST_FAIL=1 makes every method fail, to exercise Halvik's error handling, and
// HALVIK_HOST_ABSENT=1 refuses to create the object at all, as if the host were not installed.

#include <windows.h>  // Own block so it stays first: the OLE headers rely on it.

#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "platform/win32/com.h"
#include "platform/win32/unique_handle.h"

namespace {

// {87AE71F0-CD12-4097-96B0-EA5144124DE7}
const CLSID kClsid = {0x87ae71f0, 0xcd12, 0x4097, {0x96, 0xb0, 0xea, 0x51, 0x44, 0x12, 0x4d, 0xe7}};
const wchar_t kClsidText[] = L"{87AE71F0-CD12-4097-96B0-EA5144124DE7}";
const wchar_t kProgId[] = L"homeseer.application";
const wchar_t kDescription[] = L"Halvik test stand-in for the home-automation host";

HMODULE g_module = nullptr;
LONG g_live_objects = 0;
LONG g_server_locks = 0;

enum : DISPID { kSaveVar = 1, kGetVar = 2, kCreateVar = 3 };

struct Method {
  const wchar_t* name;
  const char* journal_name;
  DISPID id;
  UINT arg_count;
};
const Method kMethods[] = {{L"SaveVar", "SaveVar", kSaveVar, 2},
                           {L"GetVar", "GetVar", kGetVar, 1},
                           {L"CreateVar", "CreateVar", kCreateVar, 1}};

using ScopedVariant = halvik::win32::UniqueVariant;
using ScopedHandle = halvik::win32::UniqueHandle;

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using ScopedKey = std::unique_ptr<HKEY__, KeyCloser>;

// Returns false when the variable is not set at all (distinct from set-but-empty).
bool GetEnv(const wchar_t* name, std::wstring* value) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return false;
  value->assign(size, L'\0');
  DWORD len = GetEnvironmentVariableW(name, &(*value)[0], size);
  if (len == 0 || len >= size) return false;
  value->resize(len);
  return true;
}

std::string ToUtf8(const wchar_t* text, int len) {
  int size = len > 0 ? WideCharToMultiByte(CP_UTF8, 0, text, len, nullptr, 0, nullptr, nullptr) : 0;
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, len, &out[0], size, nullptr, nullptr);
  return out;
}

// Opens per call and shares everything, so tests (or another process) can read and append at any
// time. Null when the open fails.
ScopedHandle OpenJournal(const std::wstring& path, DWORD access, DWORD disposition) {
  HANDLE h =
      CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return ScopedHandle(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

// An empty path means "no journal": nothing exists. A missing file is an empty journal.
bool ReadJournal(const std::wstring& path, std::string* text) {
  text->clear();
  if (path.empty()) return true;
  ScopedHandle file = OpenJournal(path, GENERIC_READ, OPEN_EXISTING);
  if (!file) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  char buffer[16384];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    text->append(buffer, got);
  }
  return true;
}

// FILE_APPEND_DATA without FILE_WRITE_DATA makes each write land at the current end of file, and a
// whole line goes out in one write so a reader never sees half a field. Concurrent writers under
// Wine additionally need JournalLock.
bool AppendLine(const std::wstring& path, const std::string& line) {
  if (path.empty()) return true;
  ScopedHandle file = OpenJournal(path, FILE_APPEND_DATA, OPEN_ALWAYS);
  DWORD written = 0;
  return file &&
         WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
         written == line.size();
}

// Wine emulates append-only handles by seeking to the end before each write, which races between
// processes (lines were lost when several processes appended at once). A named mutex makes each
// call's read-and-append atomic across all processes of the Wine session. The timeout keeps a
// wedged peer from hanging a test forever; on timeout the call proceeds unlocked and ReleaseMutex
// is a harmless no-op.
class JournalLock {
 public:
  JournalLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\HalvikStandInHostJournal")) {
    if (mutex_) WaitForSingleObject(mutex_.get(), 10000);  // WAIT_ABANDONED still grants it.
  }
  ~JournalLock() {
    if (mutex_) ReleaseMutex(mutex_.get());
  }
  JournalLock(const JournalLock&) = delete;
  JournalLock& operator=(const JournalLock&) = delete;

 private:
  ScopedHandle mutex_;
};

struct VarState {
  bool exists = false;
  bool saved = false;
  short value = 0;
};

VarState LookUp(const std::string& journal, const std::string& name) {
  const std::string created = "CreateVar\t" + name;
  const std::string saved_prefix = "SaveVar\t" + name + "\t";
  VarState state;
  size_t start = 0;
  while (start < journal.size()) {
    size_t end = journal.find('\n', start);
    if (end == std::string::npos) end = journal.size();
    std::string line = journal.substr(start, end - start);
    // Tolerate seed files written with Windows line endings.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == created) {
      state.exists = true;
    } else if (line.compare(0, saved_prefix.size(), saved_prefix) == 0) {
      state.saved = true;
      state.value =
          static_cast<short>(std::strtol(line.c_str() + saved_prefix.size(), nullptr, 10));
    }
    start = end + 1;
  }
  return state;
}

HRESULT Fail(EXCEPINFO* info, const wchar_t* description) {
  if (info) {
    ZeroMemory(info, sizeof *info);
    info->wCode = 0;
    info->scode = E_FAIL;
    // Ownership of both strings passes to the caller, as IDispatch::Invoke requires.
    info->bstrSource = SysAllocString(kProgId);
    info->bstrDescription = SysAllocString(description);
  }
  return DISP_E_EXCEPTION;
}

// Fetches argument `index` (0 = first as written by the caller; DISPPARAMS stores them reversed)
// as type `vt`. VariantCopyInd removes the VT_BYREF the real caller uses; the conversion accepts
// anything else coercible, with an invariant locale so results do not depend on the machine.
HRESULT GetArg(const DISPPARAMS& params, UINT index, VARTYPE vt, ScopedVariant* out,
               UINT* arg_err) {
  UINT position = params.cArgs - 1 - index;
  HRESULT hr = VariantCopyInd(out->get(), &params.rgvarg[position]);
  if (SUCCEEDED(hr)) hr = VariantChangeTypeEx(out->get(), out->get(), LOCALE_INVARIANT, 0, vt);
  if (FAILED(hr)) {
    if (arg_err) *arg_err = position;
    return (hr == E_OUTOFMEMORY || hr == DISP_E_OVERFLOW) ? hr : DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

HRESULT Run(const Method& method, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* info,
            UINT* arg_err) {
  ScopedVariant name_arg;
  HRESULT hr = GetArg(params, 0, VT_BSTR, &name_arg, arg_err);
  if (FAILED(hr)) return hr;
  BSTR name_bstr = V_BSTR(name_arg.get());
  const std::string name = ToUtf8(name_bstr, static_cast<int>(SysStringLen(name_bstr)));
  // A tab or line break in a name would corrupt the journal's line/field structure.
  if (name.find_first_of("\t\r\n") != std::string::npos) {
    return Fail(info, L"Variable name contains a tab or line break");
  }

  short value = 0;
  if (method.id == kSaveVar) {
    ScopedVariant value_arg;
    hr = GetArg(params, 1, VT_I2, &value_arg, arg_err);
    if (FAILED(hr)) return hr;
    value = V_I2(value_arg.get());
  }

  std::wstring path;
  if (!GetEnv(L"HALVIK_HOST_STORE", &path)) path.clear();
  const std::string tail = std::string(method.journal_name) + "\t" + name;
  JournalLock lock;

  std::wstring fail_flag;
  if (GetEnv(L"HALVIK_HOST_FAIL", &fail_flag) && fail_flag == L"1") {
    AppendLine(path, "Failed\t" + tail + "\n");
    return Fail(info, L"Host told to fail");
  }

  std::string journal;
  if (!ReadJournal(path, &journal)) return Fail(info, L"Cannot read the journal");
  const VarState state = LookUp(journal, name);

  if (method.id == kSaveVar) {
    if (!state.exists) return Fail(info, L"Variable does not exist");
    char number[16];
    std::snprintf(number, sizeof number, "%d", static_cast<int>(value));
    if (!AppendLine(path, tail + "\t" + number + "\n")) {
      return Fail(info, L"Cannot write the journal");
    }
    return S_OK;
  }

  if (!AppendLine(path, tail + "\n")) return Fail(info, L"Cannot write the journal");
  if (method.id == kGetVar && result) {
    if (!state.exists) {
      V_BSTR(result) = SysAllocString(L"Name not found");
      if (!V_BSTR(result)) return E_OUTOFMEMORY;
      V_VT(result) = VT_BSTR;
    } else if (state.saved) {
      V_VT(result) = VT_I2;
      V_I2(result) = state.value;
    }
  }
  return S_OK;
}

class HostObject : public IDispatch {
 public:
  HostObject() { InterlockedIncrement(&g_live_objects); }
  virtual ~HostObject() { InterlockedDecrement(&g_live_objects); }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }

  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    if (count == 0) return S_OK;
    // Only the member name (first entry) can resolve: the methods take no named arguments.
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const Method& method : kMethods) {
      if (names[0] && _wcsicmp(names[0], method.name) == 0) ids[0] = method.id;
    }
    for (UINT i = 0; i < count; ++i) {
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }

  STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT* arg_err) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    const Method* method = nullptr;
    for (const Method& candidate : kMethods) {
      if (candidate.id == id) method = &candidate;
    }
    // Late-bound callers often send DISPATCH_METHOD | DISPATCH_PROPERTYGET; both are fine.
    if (!method || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != method->arg_count) return DISP_E_BADPARAMCOUNT;
    if (result) VariantInit(result);
    try {
      return Run(*method, *params, result, info, arg_err);
    } catch (...) {  // Only std::bad_alloc is possible; never let it cross the COM boundary.
      return E_OUTOFMEMORY;
    }
  }

 private:
  LONG refs_ = 1;
};

// One static factory: its lifetime is the DLL's, so reference counting is nominal.
class Factory : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    HostObject* object = new (std::nothrow) HostObject();
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&g_server_locks);
    } else {
      InterlockedDecrement(&g_server_locks);
    }
    return S_OK;
  }
};

Factory g_factory;

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

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  std::wstring absent;
  if (clsid != kClsid || (GetEnv(L"HALVIK_HOST_ABSENT", &absent) && absent == L"1")) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return (g_live_objects == 0 && g_server_locks == 0) ? S_OK : S_FALSE; }

STDAPI DllUnregisterServer() {
  const std::wstring clsid_key = std::wstring(L"CLSID\\") + kClsidText;
  LSTATUS a = RegDeleteTreeW(HKEY_CLASSES_ROOT, clsid_key.c_str());
  LSTATUS b = RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  // Already absent counts as unregistered.
  bool ok = (a == ERROR_SUCCESS || a == ERROR_FILE_NOT_FOUND) &&
            (b == ERROR_SUCCESS || b == ERROR_FILE_NOT_FOUND);
  return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllRegisterServer() {
  try {
    const std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    const std::wstring clsid_key = std::wstring(L"CLSID\\") + kClsidText;
    const std::wstring server_key = clsid_key + L"\\InprocServer32";
    const std::wstring prog_id = kProgId;
    bool ok = SetString(prog_id, nullptr, kDescription) &&
              SetString(prog_id + L"\\CLSID", nullptr, kClsidText) &&
              SetString(clsid_key, nullptr, kDescription) && SetString(server_key, nullptr, path) &&
              SetString(server_key, L"ThreadingModel", L"Apartment") &&
              SetString(clsid_key + L"\\ProgID", nullptr, prog_id);
    if (ok) return S_OK;
  } catch (...) {  // std::bad_alloc from the key strings; fall through to clean up.
  }
  DllUnregisterServer();
  return SELFREG_E_CLASS;
}
