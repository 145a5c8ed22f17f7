#pragma once

// One generated run: a desktop, a host, input for the program's own queue, an argument text and
// the one call, if any, that fails. Plain data, so that a run can be built again with a change.

#include <map>
#include <optional>
#include <vector>

#include "property/random_source.h"
#include "sim/sim_desktop.h"

namespace halvik::property {

// Programs of processes that show windows for others, and a program that cannot be told (empty):
// none of them is ever ended for a title.
inline const std::wstring SparedForTitles[] = {
    L"C:\\Windows\\System32\\ApplicationFrameHost.exe", L"C:\\WINDOWS\\Explorer.EXE",
    L"C:\\Windows\\System32\\dwm.exe", L"C:\\Windows\\System32\\taskhostw.exe", L""};

enum class CloseReaction { Ignores, Quits, AsksToSave, ReappearsUnderAnotherProcess };

struct WindowPlan {
  std::wstring title;
  ProcessId process = 0;
  std::optional<std::size_t> owner;  // an earlier window that owns this one
  bool ownerIsParent = true;         // a pop-up, which GetParent ties to its owner
  bool visible = true;
  bool ghost = false;  // the system's stand-in for a hung window
  CloseReaction reaction = CloseReaction::Ignores;
  Ticks reactionDelay = 0;
  ProcessId reappearsUnder = 0;
};

struct InputPlan {
  Ticks when = 0;
  bool bringsMessage = true;  // or only wakes the program
};

struct Scenario {
  std::vector<WindowPlan> windows;  // topmost first
  std::map<ProcessId, sim::SimProcess> processes;
  std::vector<InputPlan> inputs;
  sim::SimHost host;
  ProcessId shell = 0;
  ProcessId launcher = 0;  // the program that started Halvik
  // The console Halvik was started from, and the window that holds it (itself when none does).
  std::optional<std::size_t> console;
  std::size_t consoleHolder = 0;
  std::wstring argumentText;
  // The process ID the target spells when it is a number; 0 when that lies outside 32 bits.
  std::optional<ProcessId> spelledProcess;
  std::uint32_t failingCall = 0;  // counted from 1 over the calls that can fail; 0: none fails
  // Every window search fails from the one time until the other (both 0: never).
  Ticks searchFailsFrom = 0;
  Ticks searchFailsUntil = 0;
};

Scenario generateScenario(RandomSource& random);
void build(const Scenario& scenario, sim::SimDesktop& desktop);

}  // namespace halvik::property
