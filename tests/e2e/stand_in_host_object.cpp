// The host object and its journal, shared by the in-process and the out-of-process stand-in.

#include "stand_in_host.h"

#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "platform/win32/com.h"
#include "platform/win32/unique_handle.h"

namespace stand_in_host {
namespace {

// Long enough to outlast any run of the program, short enough to end a forgotten hang.
constexpr DWORD HangLimitMilliseconds = 240000;
LONG g_live_objects = 0;
LONG g_server_locks = 0;
LONG g_calls_in_progress = 0;
ULONGLONG g_last_activity = GetTickCount64();
// The variables whose modes asked the final Release and the DLL's detach never to return; empty
// when none did.
std::wstring g_endless_release;
std::wstring g_endless_unload;
LONG g_silent_window_started = 0;

// Marks a call under way for as long as it lives.
class Activity {
 public:
  Activity() {
    InterlockedIncrement(&g_calls_in_progress);
    g_last_activity = GetTickCount64();
  }
  ~Activity() {
    g_last_activity = GetTickCount64();
    InterlockedDecrement(&g_calls_in_progress);
  }
  Activity(const Activity&) = delete;
  Activity& operator=(const Activity&) = delete;
};

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

// The journal directory from the registry; empty when none is set.
std::wstring JournalDirectory() {
  wchar_t directory[MAX_PATH] = {};
  DWORD bytes = sizeof directory - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, JournalsKey, JournalsValue, RRF_RT_REG_SZ, nullptr, directory,
                   &bytes) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return directory;
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

// A variable's journal: "CreateVar" makes it exist, "SaveVar\t<value>" stores a value.
VarState LookUp(const std::string& journal) {
  const std::string saved_prefix = "SaveVar\t";
  VarState state;
  size_t start = 0;
  while (start < journal.size()) {
    size_t end = journal.find('\n', start);
    if (end == std::string::npos) end = journal.size();
    std::string line = journal.substr(start, end - start);
    // Tolerate seed files written with Windows line endings.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "CreateVar") {
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

// How the caller passed each argument, in the order written: "ref BSTR", "ref I2", "BSTR", ….
std::string ArgumentTypes(const DISPPARAMS& params) {
  std::string types;
  for (UINT index = params.cArgs; index-- > 0;) {
    const VARTYPE type = params.rgvarg[index].vt;
    if (!types.empty()) types += ", ";
    if (type & VT_BYREF) types += "ref ";
    switch (type & VT_TYPEMASK) {
      case VT_BSTR:
        types += "BSTR";
        break;
      case VT_I2:
        types += "I2";
        break;
      default:
        types += "type " + std::to_string(type & VT_TYPEMASK);
    }
  }
  return types;
}

// A mode file holds the name of its mode, perhaps followed by a line break.
bool ModeIs(const std::string& mode, const std::string& name) {
  return mode.compare(0, name.size(), name) == 0;
}

// Holds the calling thread until the test lets go of the variable, or the hang limit has passed.
void WaitForRelease(const std::wstring& variable) {
  const ScopedHandle released(
      CreateEventW(nullptr, TRUE, FALSE, ReleaseEventName(variable).c_str()));
  if (released) WaitForSingleObject(released.get(), HangLimitMilliseconds);
}

struct SilentWindow {
  std::wstring variable;
  HANDLE shown;  // the starter's, which waits for it
};

// Shows a titled top-level window, then reads no more messages: a message sent to the window
// waits until the test lets go.
DWORD WINAPI SilentWindowThread(void* parameter) {
  const std::unique_ptr<SilentWindow> silent(static_cast<SilentWindow*>(parameter));
  const std::wstring title = L"Halvik stand-in host window " + silent->variable;
  const HWND window = CreateWindowExW(0, L"STATIC", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                      0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  SetEvent(silent->shown);
  WaitForRelease(silent->variable);
  if (window) DestroyWindow(window);
  return 0;
}

// Once per process; returns when the window is shown.
void ShowSilentWindow(const std::wstring& variable) {
  if (InterlockedExchange(&g_silent_window_started, 1) != 0) return;
  const ScopedHandle shown(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!shown) return;
  auto silent = std::make_unique<SilentWindow>(SilentWindow{variable, shown.get()});
  const ScopedHandle thread(CreateThread(nullptr, 0, SilentWindowThread, silent.get(), 0, nullptr));
  if (!thread) return;
  silent.release();
  WaitForSingleObject(shown.get(), INFINITE);  // the thread sets it whether or not it got a window
}

HRESULT Fail(EXCEPINFO* info, const wchar_t* description) {
  if (info) {
    ZeroMemory(info, sizeof *info);
    info->wCode = 0;
    info->scode = E_FAIL;
    // Ownership of both strings passes to the caller, as IDispatch::Invoke requires.
    info->bstrSource = SysAllocString(ProgId);
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

  // Names become file names: only letters, digits, '-' and '_' may reach the disk.
  if (name.empty() || name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                             "0123456789-_") != std::string::npos) {
    return Fail(info, L"Variable name unfit for a journal file");
  }
  const std::wstring directory = JournalDirectory();
  const std::wstring stem =
      directory.empty() ? std::wstring() : directory + L"\\" + std::wstring(name_bstr);
  const std::wstring path = directory.empty() ? std::wstring() : stem + L".txt";
  std::string mode;
  if (!stem.empty()) ReadJournal(stem + L".mode", &mode);
  const std::string tail = method.journal_name;
  {
    JournalLock lock;
    AppendLine(path, "Types\t" + tail + "\t" + ArgumentTypes(params) + "\n");
    if (ModeIs(mode, "fail")) {
      AppendLine(path, "Failed\t" + tail + "\n");
      return Fail(info, L"Host told to fail");
    }
    if (ModeIs(mode, "hang")) AppendLine(path, "Hung\t" + tail + "\n");
  }
  // Answers no earlier than the test that asked for it lets it go, and then with a failure.
  if (ModeIs(mode, "hang")) {
    WaitForRelease(name_bstr);
    return Fail(info, L"Host told to hang");
  }
  if (ModeIs(mode, "silent-window")) ShowSilentWindow(name_bstr);
  if (ModeIs(mode, "endless-release")) g_endless_release = name_bstr;
  if (ModeIs(mode, "endless-unload")) g_endless_unload = name_bstr;

  JournalLock lock;
  std::string journal;
  if (!ReadJournal(path, &journal)) return Fail(info, L"Cannot read the journal");
  const VarState state = LookUp(journal);

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
  HostObject() {
    InterlockedIncrement(&g_live_objects);
    g_last_activity = GetTickCount64();
  }
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
    if (left == 0) {
      if (!g_endless_release.empty()) WaitForRelease(g_endless_release);
      delete this;
    }
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
    const Activity activity;
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

}  // namespace

IClassFactory* factory() { return &g_factory; }

void holdUnloadIfTold() {
  if (!g_endless_unload.empty()) WaitForRelease(g_endless_unload);
}

bool objectsAlive() { return g_live_objects != 0 || g_server_locks != 0; }

ULONGLONG idleMilliseconds() {
  return g_calls_in_progress != 0 ? 0 : GetTickCount64() - g_last_activity;
}

}  // namespace stand_in_host
