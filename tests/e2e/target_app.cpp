// target_app: a tiny GUI program that end-to-end tests start and then find, close or kill.
//
// Options (all --name=value, unknown ones are ignored):
//   --title=TEXT          title of the main window (required)
//   --class=NAME          window class of the main window (default HalvikTargetWindow)
//   --on-close=MODE       close | ignore | delay:MS | ask  (reaction to WM_CLOSE)
//   --exit-code=N         exit code on a normal end (default 0)
//   --owned-only          main window is an owned pop-up of a hidden, untitled window
//   --topmost             main window gets WS_EX_TOPMOST
//   --hidden              main window is created but never shown
//   --worker-window       a second thread keeps a hidden window "TITLE (worker)", which refuses
//                         WM_CLOSE, above the main window
//   --palette             the main window owns a visible overlapped window "TITLE (palette)"
//                         above it, which on WM_CLOSE closes only itself
//   --shell               a hidden window of the program is the shell window before the main
//                         window appears; exit code 4 when it cannot be made so
//   --lifetime=MS         exit by itself after MS milliseconds (default 300000)
//   --start-halvik=NAME   once the main window is there, start halvik.exe from this program's
//                         folder as its child, as a host does, with "TITLE|NAME" (or "TITLE" when
//                         NAME is empty); exit by itself, with the exit code, once it has ended

// windows.h also declares CommandLineToArgvW (shellapi.h) as long as WIN32_LEAN_AND_MEAN is unset.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

enum class CloseMode { kClose, kIgnore, kDelay, kAsk };

struct Options {
  std::wstring title;
  bool has_title = false;
  std::wstring class_name = L"HalvikTargetWindow";
  CloseMode on_close = CloseMode::kClose;
  UINT delay_ms = 0;
  UINT exit_code = 0;
  bool owned_only = false;
  bool topmost = false;
  bool hidden = false;
  bool worker_window = false;
  bool palette = false;
  bool shell = false;
  bool start_halvik = false;
  std::wstring halvik_variable;
  // A test target must never outlive a broken test run, so there is always a limit.
  DWORD lifetime_ms = 300000;
};

constexpr wchar_t kHelperClass[] = L"HalvikTargetHelper";
constexpr wchar_t kPaletteClass[] = L"HalvikTargetPalette";
constexpr UINT_PTR kCloseTimerId = 1;
// Stored in GWLP_USERDATA once a window has reacted to WM_CLOSE, so repeated
// WM_CLOSE messages neither restart the delay timer nor open a second question.
constexpr LONG_PTR kClosePending = 1;

Options g_options;
HWND g_main = nullptr;

UINT ParseNumber(const std::wstring& text) {
  // Base 10 only, so "010" is ten; "-1" wraps to 0xFFFFFFFF like a real exit code would.
  return static_cast<UINT>(std::wcstoul(text.c_str(), nullptr, 10));
}

void ParseCommandLine() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.compare(0, 2, L"--") != 0) continue;
    const size_t eq = arg.find(L'=');
    const std::wstring name = arg.substr(2, eq == std::wstring::npos ? std::wstring::npos : eq - 2);
    const std::wstring value = eq == std::wstring::npos ? L"" : arg.substr(eq + 1);
    if (name == L"title") {
      g_options.title = value;
      g_options.has_title = true;
    } else if (name == L"class" && !value.empty()) {
      g_options.class_name = value;
    } else if (name == L"on-close") {
      if (value == L"ignore") {
        g_options.on_close = CloseMode::kIgnore;
      } else if (value == L"ask") {
        g_options.on_close = CloseMode::kAsk;
      } else if (value.compare(0, 6, L"delay:") == 0) {
        g_options.on_close = CloseMode::kDelay;
        g_options.delay_ms = ParseNumber(value.substr(6));
      } else {
        g_options.on_close = CloseMode::kClose;
      }
    } else if (name == L"exit-code") {
      g_options.exit_code = ParseNumber(value);
    } else if (name == L"owned-only") {
      g_options.owned_only = true;
    } else if (name == L"topmost") {
      g_options.topmost = true;
    } else if (name == L"hidden") {
      g_options.hidden = true;
    } else if (name == L"worker-window") {
      g_options.worker_window = true;
    } else if (name == L"palette") {
      g_options.palette = true;
    } else if (name == L"shell") {
      g_options.shell = true;
    } else if (name == L"start-halvik") {
      g_options.start_halvik = true;
      g_options.halvik_variable = value;
    } else if (name == L"lifetime") {
      g_options.lifetime_ms = ParseNumber(value);
    }
  }
  LocalFree(argv);
}

// Runs on its own thread so the limit holds even if the message loop is stuck.
DWORD WINAPI LifetimeThread(LPVOID) {
  Sleep(g_options.lifetime_ms);
  ExitProcess(g_options.exit_code);
  return 0;
}

// The hidden owner and the "Save changes?" question both refuse WM_CLOSE: the
// question mimics an editor that waits for an answer nobody gives.
LRESULT CALLBACK HelperProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_CLOSE) return 0;
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

void OnClose(HWND hwnd) {
  if (GetWindowLongPtrW(hwnd, GWLP_USERDATA) == kClosePending) return;
  switch (g_options.on_close) {
    case CloseMode::kClose:
      DestroyWindow(hwnd);
      break;
    case CloseMode::kIgnore:
      break;
    case CloseMode::kDelay:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, kClosePending);
      SetTimer(hwnd, kCloseTimerId, g_options.delay_ms, nullptr);
      break;
    case CloseMode::kAsk:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, kClosePending);
      // Owned (hWndParent = hwnd) but top-level, like a real modal prompt.
      CreateWindowExW(0, kHelperClass, L"Save changes?", WS_POPUP | WS_CAPTION | WS_VISIBLE, 120,
                      120, 240, 120, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
      EnableWindow(hwnd, FALSE);
      break;
  }
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_CLOSE:
      OnClose(hwnd);
      return 0;
    case WM_TIMER:
      if (wparam != kCloseTimerId) break;
      KillTimer(hwnd, kCloseTimerId);
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      if (hwnd == g_main) PostQuitMessage(static_cast<int>(g_options.exit_code));
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

bool RegisterClasses(HINSTANCE instance) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = g_options.class_name.c_str();
  if (!RegisterClassExW(&wc)) return false;
  wc.lpfnWndProc = HelperProc;
  wc.lpszClassName = kHelperClass;
  if (!RegisterClassExW(&wc)) return false;
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = kPaletteClass;
  return RegisterClassExW(&wc) != 0;
}

// Created after the main window, so it lies above it, as the hidden windows of a framework's
// threads often do. The main thread waits until it exists; it goes when the process ends.
DWORD WINAPI WorkerThread(LPVOID created) {
  const std::wstring title = g_options.title + L" (worker)";
  CreateWindowExW(0, kHelperClass, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                  nullptr, GetModuleHandleW(nullptr), nullptr);
  SetEvent(static_cast<HANDLE>(created));
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

bool StartWorkerWindow() {
  HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (created == nullptr) return false;
  HANDLE worker = CreateThread(nullptr, 0, WorkerThread, created, 0, nullptr);
  const bool started = worker != nullptr && WaitForSingleObject(created, INFINITE) == WAIT_OBJECT_0;
  if (worker != nullptr) CloseHandle(worker);
  CloseHandle(created);
  return started;
}

// An overlapped window with an owner, no pop-up: GetParent does not name its owner.
bool CreatePalette(HINSTANCE instance) {
  const std::wstring title = g_options.title + L" (palette)";
  return CreateWindowExW(0, kPaletteClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 420,
                         100, 160, 200, g_main, nullptr, instance, nullptr) != nullptr;
}

// SetShellWindow is undocumented and MinGW-w64's headers do not declare it; user32 exports it. The
// shell window stays hidden and untitled: the main window is another window of the shell's
// process, one that a title can name.
bool BecomeShell(HINSTANCE instance) {
  using SetShellWindow = BOOL(WINAPI*)(HWND);
  const auto set_shell_window = reinterpret_cast<SetShellWindow>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetShellWindow")));
  HWND shell = CreateWindowExW(0, kHelperClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               instance, nullptr);
  return set_shell_window != nullptr && shell != nullptr && set_shell_window(shell);
}

DWORD WINAPI HalvikWatch(LPVOID halvik) {
  WaitForSingleObject(halvik, INFINITE);
  ExitProcess(g_options.exit_code);
  return 0;
}

bool StartHalvik() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"halvik.exe";
  std::wstring command_line = L"\"" + path + L"\" " + g_options.title;
  if (!g_options.halvik_variable.empty()) command_line += L"|" + g_options.halvik_variable;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  HANDLE watch = CreateThread(nullptr, 0, HalvikWatch, started.hProcess, 0, nullptr);
  if (watch != nullptr) CloseHandle(watch);
  return watch != nullptr;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  ParseCommandLine();
  HANDLE lifetime = CreateThread(nullptr, 0, LifetimeThread, nullptr, 0, nullptr);
  if (lifetime != nullptr) CloseHandle(lifetime);
  // Exit codes 2 and 3 tell a test that the target itself could not start.
  if (!g_options.has_title) return 2;
  if (!RegisterClasses(instance)) return 3;
  if (g_options.shell && !BecomeShell(instance)) return 4;

  const DWORD visible = g_options.hidden ? 0 : WS_VISIBLE;
  const DWORD ex_style = g_options.topmost ? WS_EX_TOPMOST : 0;
  DWORD style = WS_OVERLAPPEDWINDOW | visible;
  HWND owner = nullptr;
  if (g_options.owned_only) {
    // Never shown and untitled: only there so the main window has an owner.
    owner = CreateWindowExW(0, kHelperClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                            nullptr);
    if (owner == nullptr) return 3;
    style = WS_POPUP | WS_CAPTION | visible;
  }
  g_main = CreateWindowExW(ex_style, g_options.class_name.c_str(), g_options.title.c_str(), style,
                           100, 100, 300, 200, owner, nullptr, instance, nullptr);
  if (g_main == nullptr) return 3;
  if (g_options.palette && !CreatePalette(instance)) return 3;
  if (g_options.worker_window && !StartWorkerWindow()) return 3;
  if (g_options.start_halvik && !StartHalvik()) return 3;

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam)
                                : static_cast<int>(g_options.exit_code);
}
