#pragma once

#include "driver/halvik_form.h"
#include "sim/sim_desktop.h"

namespace halvik::sim {

struct RunResult {
  std::wstring target;
  std::wstring variableName;
  std::int16_t outcome;
  WindowHandle targetWindow;
  ProcessId targetProcess;
  std::wstring targetTitle;
  // What was still open when Form_Load returned.
  int hostObjectsAlive;
  int eventsOpen;
  int processesOpen;
};

// Starts the program on the simulated desktop with the argument text after its own path. The
// program sees the desktop through the given platform, which may wrap it.
inline RunResult runHalvik(SimDesktop& desktop, const std::wstring& argumentText,
                           Platform& platform) {
  desktop.commandLineText = L"\"C:\\Program Files\\Halvik\\halvik.exe\" " + argumentText;
  HalvikForm form(platform);
  form.Form_Load();
  const RunState& run = form.runState();
  return {run.Target,
          run.VariableName,
          run.Outcome,
          run.TargetWindow,
          run.TargetProcess,
          run.TargetTitle,
          desktop.host.objectsAlive,
          desktop.eventsOpen(),
          desktop.processesOpen()};
}

inline RunResult runHalvik(SimDesktop& desktop, const std::wstring& argumentText) {
  return runHalvik(desktop, argumentText, desktop);
}

}  // namespace halvik::sim
