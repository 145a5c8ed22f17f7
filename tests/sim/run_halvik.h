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
  int hostObjectsAlive;  // when Form_Load returned
};

// Starts the program on the simulated desktop with the argument text after its own path.
inline RunResult runHalvik(SimDesktop& desktop, const std::wstring& argumentText) {
  desktop.commandLineText = L"\"C:\\Program Files\\Halvik\\halvik.exe\" " + argumentText;
  HalvikForm form(desktop);
  form.Form_Load();
  const RunState& run = form.runState();
  return {
      run.Target,      run.VariableName,         run.Outcome, run.TargetWindow, run.TargetProcess,
      run.TargetTitle, desktop.host.objectsAlive};
}

}  // namespace halvik::sim
