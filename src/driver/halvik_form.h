#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "driver/run_state.h"
#include "platform/platform.h"
#include "wait/c_wait_n_dispatch.h"

namespace halvik {

// The program's one window object. It is never shown: creating it runs Form_Load, which does the
// whole job. Each subsystem defines its own operations: the run in driver/, the lookups, the close
// request, the forced end and the poll in window_ops/.
class HalvikForm {
 public:
  static constexpr std::size_t TextBufferChars = 254;
  static constexpr std::int16_t MaxWaitRounds = 50;
  static constexpr std::int32_t WaitRoundMilliseconds = 1000;

  explicit HalvikForm(Platform& platform) : platform_(platform) {}

  // Splits the argument text, resolves the target, runs the escalation and reports to the host.
  void Form_Load();
  const RunState& runState() const { return state_; }

  // Window lookup.
  WindowHandle fEnumWindows(const std::wstring& DesiredWindow, std::wstring& windowClass);
  WindowHandle InstanceToWnd(ProcessId target_pid);

  // Close request, forced end and disappearance poll.
  bool fCloseApp(const WindowHandle& hwnd);
  bool Kill(ProcessId lProcessID);
  std::int16_t waitForNoWindow(const std::wstring& Title);

 private:
  std::wstring fWindowText(WindowHandle window);
  std::wstring fWindowClass(WindowHandle window);

  void resolveTarget();
  void holdTargetProcess();
  void runEscalation();
  bool titleGoneWithinGracePeriod();
  void reportStart();
  void reportOutcome();
  HostAutomation& host();

  Platform& platform_;
  RunState state_;
  // The wait of the poll under way. Nothing here handles its OnTimer event.
  std::unique_ptr<CWaitNDispatch> timer;
};

}  // namespace halvik
