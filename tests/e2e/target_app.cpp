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
//   --lifetime=MS         exit by itself after MS milliseconds (default 300000)

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
  // A test target must never outlive a broken test run, so there is always a limit.
  DWORD lifetime_ms = 300000;
};

constexpr wchar_t kHelperClass[] = L"HalvikTargetHelper";
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
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  ParseCommandLine();
  HANDLE lifetime = CreateThread(nullptr, 0, LifetimeThread, nullptr, 0, nullptr);
  if (lifetime != nullptr) CloseHandle(lifetime);
  // Exit codes 2 and 3 tell a test that the target itself could not start.
  if (!g_options.has_title) return 2;
  if (!RegisterClasses(instance)) return 3;

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

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam)
                                : static_cast<int>(g_options.exit_code);
}
