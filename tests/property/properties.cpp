#include "property/properties.h"

#include <algorithm>
#include <iterator>

namespace halvik::property {
namespace {

using sim::SimWindow;
using Windows = std::vector<SimWindow>;

constexpr Ticks LongestRun = 2 * MaxWaitRounds * sim::milliseconds(WaitRoundMilliseconds);

// The windows no title search may take: the console the program was started from and the window
// that holds it, and the system's ghosts of hung windows (owned by the window manager, or by a
// program that cannot be told); another program's window of that class is found like any other.
bool passedOver(sim::SimDesktop& desktop, const SimWindow& window) {
  const std::wstring& image = desktop.process(window.process).imagePath;
  const bool systemGhost =
      window.className == L"Ghost" && (image.empty() || image == L"C:\\Windows\\System32\\dwm.exe");
  return systemGhost || window.handle == desktop.console.window ||
         window.handle == desktop.console.holder;
}

// The desktop as the program reads it: titles cut to its text buffer, untitled windows never
// matching, handles with the top bit set counting as none.
WindowHandle firstWindowWithTitle(sim::SimDesktop& desktop, const Windows& windows,
                                  const std::wstring& title) {
  const auto wanted = desktop.upperCase(title);
  for (const auto& window : windows) {
    const auto text = window.title.substr(0, TextBufferChars);
    if (!text.empty() && desktop.upperCase(text).find(wanted) != std::wstring::npos &&
        !passedOver(desktop, window)) {
      return window.handle;
    }
  }
  return 0;
}

WindowHandle firstParentlessWindow(const Windows& windows, ProcessId process) {
  for (const auto& window : windows) {
    const bool parentless = window.owner == 0 || !window.ownerIsParent;
    if (process != 0 && parentless && window.process == process) return window.handle;
  }
  return 0;
}

// The first visible window of the process without any owner, else its first parentless one.
WindowHandle mainWindow(const Windows& windows, ProcessId process) {
  for (const auto& window : windows) {
    if (process != 0 && window.process == process && window.visible && window.owner == 0) {
      return window.handle;
    }
  }
  return firstParentlessWindow(windows, process);
}

bool ownsParentlessWindow(const Windows& windows, ProcessId process) {
  return firstParentlessWindow(windows, process) > 0;
}

bool hostWorks(const sim::SimHost& host) { return host.installed && host.failingCalls.empty(); }

std::vector<std::wstring> expectedHostCalls(const sim::RunResult& run, bool variableKnown) {
  const std::wstring& name = run.variableName;
  const auto start = run.outcome == OutcomeNoTarget ? OutcomeNoTarget : OutcomeStarted;
  std::vector<std::wstring> calls{L"create homeseer.application"};
  calls.push_back(variableKnown ? L"SaveVar " + name + L" " + std::to_wstring(start)
                                : L"failed SaveVar " + name);
  calls.push_back(L"GetVar " + name);
  if (!variableKnown) calls.push_back(L"CreateVar " + name);
  calls.push_back(L"SaveVar " + name + L" " + std::to_wstring(run.outcome));
  return calls;
}

std::size_t countStarting(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(),
                    [&](const std::string& line) { return line.rfind(prefix, 0) == 0; }));
}

// Whether the poll's traced rounds each begin with round 1 and end with the title gone or the last
// round, as many as the rounds waited at most.
bool pollsTracedAtTheirEnds(const std::vector<std::string>& lines, std::size_t rounds) {
  const std::string poll = "poll round ";
  std::vector<std::string> traced;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(traced),
               [&](const std::string& line) { return line.rfind(poll, 0) == 0; });
  const auto number = [&](const std::string& line) { return std::stoi(line.substr(poll.size())); };
  for (std::size_t i = 0; i < traced.size(); ++i) {
    const bool pollEnds = i + 1 == traced.size() || number(traced[i + 1]) == 1;
    if ((i == 0 && number(traced[i]) != 1) ||
        (pollEnds && traced[i].find("title gone") == std::string::npos &&
         number(traced[i]) != MaxWaitRounds))
      return false;
  }
  return traced.size() <= rounds && (rounds == 0) == traced.empty();
}

bool anyContains(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

bool printableAscii(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

// Every property, stated once. With a call made to fail, each still holds, with the failure rule's
// consequences where they are named: a window search that fails as the outcome is decided counts
// as "no window" before the forced end and as "still a window" after it.
void checkProperties(const Scenario& scenario, sim::SimDesktop& desktop, const Windows& atStart,
                     RunFacts& facts) {
  const auto expect = [&](bool holds, const char* property) {
    if (!holds) facts.violations.emplace_back(property);
  };
  if (!facts.result) return;
  const sim::RunResult& run = *facts.result;
  const Observations& seen = facts.seen;
  const std::int16_t outcome = run.outcome;
  // The run's last look at the desktop failed: what it then decided, it decided blind.
  const bool decidedBlind = seen.lastSearchFailure == desktop.now();
  const Windows& atEnd = desktop.windows();

  // It always ends by itself, and leaves nothing behind.
  expect(desktop.now() <= LongestRun, "the run ends within two polls of 50 rounds");
  expect(outcome == -3 || outcome == -2 || outcome == -1 || (outcome >= 1 && outcome <= 4),
         "the outcome is one of -3, -2, -1, 1, 2, 3, 4");
  expect(run.hostObjectsAlive == 0 && run.eventsOpen == 0 && run.processesOpen == 0,
         "no host object, event or process handle is open when Form_Load returns");
  expect(seen.overlappingWaits == 0, "waits never overlap");
  expect(seen.waitsEnded == seen.waitsBegun, "each begun wait ends once, raising OnTimer");

  // It closes and ends nothing but the target, and never itself.
  const auto& closes = facts.closeRequests;
  expect(closes.size() <= 1 && (closes.empty() || closes[0] == run.targetWindow),
         "at most one close request, only to the resolved target window");
  for (const auto& window : atStart) {
    expect(window.handle != run.targetWindow || !passedOver(desktop, window) ||
               scenario.spelledProcess,
           "the launching console and ghosts are never the target of a title");
  }
  if (!seen.injected && !run.target.empty()) {
    const WindowHandle named = scenario.spelledProcess
                                   ? mainWindow(atStart, *scenario.spelledProcess)
                                   : firstWindowWithTitle(desktop, atStart, run.target);
    expect(run.targetWindow == named &&
               (!scenario.spelledProcess || run.targetProcess == *scenario.spelledProcess),
           "the target is the topmost window the text names, or the main window of the process "
           "it spells");
  }
  expect(seen.terminations.size() <= 1, "at most one termination");
  for (const auto& ended : seen.terminations) {
    expect(ended.process == run.targetProcess, "only the resolved target process is ended");
    expect(ended.process != desktop.ownProcessId, "Halvik never ends its own process");
    expect(ended.exitCode == ended.exitCodeBefore,
           "an ended process keeps the exit code it had, 259 for a running one");
    expect(ownsParentlessWindow(ended.desktopThen, ended.process),
           "only a process that owns a parentless top-level window is ended");
    const sim::SimProcess& process = desktop.process(ended.process);
    expect(!process.critical, "a critical process is never ended");
    expect(scenario.spelledProcess ||
               (ended.process != desktop.shell &&
                std::find(std::begin(SparedForTitles), std::end(SparedForTitles),
                          process.imagePath) == std::end(SparedForTitles)),
           "the shell's processes and those whose program cannot be told are never ended for a "
           "title");
    expect(scenario.spelledProcess || ended.process != desktop.launcher.value,
           "the program that started Halvik is never ended for a title");
    expect(firstWindowWithTitle(desktop, ended.walkBefore, run.targetTitle) != 0,
           "only after the first poll ended with the title present");
  }

  // The outcome tells what happened.
  expect((outcome == OutcomeNoTarget) == run.target.empty(), "-3 exactly when there is no target");
  expect((outcome == OutcomeNotFound) == (!run.target.empty() && run.targetWindow == 0),
         "-1 exactly when no target window was found");
  if (outcome == OutcomeNoTarget || outcome == OutcomeNotFound) {
    expect(closes.empty() && desktop.now() == 0, "-3 and -1: nothing is closed or waited for");
  }
  const bool endAccepted = !seen.terminations.empty() && seen.terminations.back().accepted;
  if (outcome == OutcomeClosed || outcome == OutcomeProcessWindowGone ||
      outcome == OutcomeNotFound || outcome == OutcomeNoTarget) {
    expect(!endAccepted, "1, 3, -1 and -3 mean nothing was ended");
  }
  if (outcome == OutcomeKilled || outcome == OutcomeKilledTitleRemains) {
    expect(endAccepted, "2 and 4 come only after the system accepted the forced end");
  }
  if (outcome == OutcomeKillFailed) {
    expect(seen.forcedEndBegun || seen.holdRefused,
           "-2 comes only after the escalation reached the forced end");
  }

  // No single failure shortens a grace period.
  if (seen.closeRequested) {
    const Ticks gracePeriod = MaxWaitRounds * sim::milliseconds(WaitRoundMilliseconds);
    const Ticks firstEnded = *seen.closeRequested + gracePeriod;
    expect(!seen.forcedEndBegun || *seen.forcedEndBegun >= firstEnded,
           "the forced end never comes before 50 s after the close request");
    if (outcome == OutcomeProcessWindowGone) {
      expect(desktop.now() >= firstEnded, "3 comes no earlier than 50 s after the close request");
    }
    if (outcome == OutcomeKilledTitleRemains || outcome == OutcomeKillFailed) {
      expect(desktop.now() >= firstEnded + gracePeriod,
             "4 and -2 come no earlier than 100 s after the close request");
    }
  }
  if (outcome == OutcomeClosed || outcome == OutcomeKilled) {
    expect(firstWindowWithTitle(desktop, atEnd, run.targetTitle) == 0,
           "1 and 2: no window carries the title at the end");
  }
  if (outcome == OutcomeProcessWindowGone || outcome == OutcomeKilledTitleRemains) {
    expect(decidedBlind || !ownsParentlessWindow(atEnd, run.targetProcess),
           "3 and 4: the process owns no parentless top-level window at the end");
  }
  if (outcome == OutcomeKillFailed) {
    expect(decidedBlind || ownsParentlessWindow(atEnd, run.targetProcess),
           "-2: the process still owns a parentless top-level window at the end");
  }

  // The trace tells each decision once, in printable ASCII, and every failure passed over.
  const auto& lines = desktop.traceLines;
  const bool ending = outcome == OutcomeKilled || outcome == OutcomeKilledTitleRemains ||
                      outcome == OutcomeKillFailed;
  const auto outcomeLine =
      std::find(lines.begin(), lines.end(), "outcome: " + std::to_string(outcome));
  expect(std::all_of(lines.begin(), lines.end(), printableAscii),
         "every trace line is printable ASCII");
  expect(!lines.empty() && lines[0].rfind("arguments: target \"", 0) == 0 &&
             countStarting(lines, "arguments: ") == 1,
         "the trace begins with the argument text as split");
  expect(countStarting(lines, "target named by ") == (run.target.empty() ? 0u : 1u) &&
             (run.target.empty() ||
              anyContains(lines, ", process " + std::to_string(run.targetProcess) + ", title ")),
         "a target is traced once, with its process");
  expect(countStarting(lines, "close request: ") == closes.size(), "the close request is traced");
  expect(
      pollsTracedAtTheirEnds(lines, static_cast<std::size_t>(seen.waitsBegun + seen.eventsRefused)),
      "each poll is traced from its first round to its last");
  expect(countStarting(lines, "forced end of process ") == (ending ? 1u : 0u) ||
             (outcome >= OutcomeClosed && countStarting(lines, "forced end of process ") == 1),
         "the forced end is traced once when the outcome follows it, and never before a close "
         "request");
  const auto forcedEnd = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("forced end of process ", 0) == 0;
  });
  const std::string endResult =
      forcedEnd == lines.end() ? "" : forcedEnd->substr(forcedEnd->find(": ") + 2);
  expect((endResult == "done" || endResult.rfind("failed: TerminateProcess", 0) == 0) ==
             !seen.terminations.empty(),
         "the forced end is traced as done or as failed by the system exactly when it was asked of "
         "the system");
  expect(countStarting(lines, "outcome: ") == 1 && outcomeLine != lines.end() &&
             std::all_of(outcomeLine + 1, lines.end(),
                         [](const std::string& line) { return line.rfind("host: ", 0) == 0; }),
         "the outcome is traced once, followed only by the final report's host calls");
  expect(run.variableName.empty() == (countStarting(lines, "host: ") == 0),
         "host calls are traced exactly when there is a variable");
  expect(
      !seen.injected || seen.injected == FaultKind::Truthful || anyContains(lines, "passed over: "),
      "a failure passed over is traced");
  expect(lines.size() <= 2 * MaxWaitRounds + 16, "nothing is traced per window searched");

  // The host hears the truth, and only when a variable was given.
  const auto& hostCalls = desktop.host.calls;
  if (run.variableName.empty()) {
    expect(hostCalls.empty(), "without a variable no host object is ever created");
  } else if (hostWorks(scenario.host) && seen.injected != FaultKind::InHost) {
    const bool known = scenario.host.variables.count(run.variableName) != 0;
    expect(hostCalls == expectedHostCalls(run, known),
           "a working host sees the start value, GetVar, CreateVar when the variable was missing, "
           "and the outcome");
  }
}

RunFacts runScenario(const Scenario& scenario) {
  sim::SimDesktop desktop;
  build(scenario, desktop);
  const Windows atStart = desktop.windows();
  FaultyPlatform platform(desktop, scenario.failingCall, scenario.searchFailsFrom,
                          scenario.searchFailsUntil);
  RunFacts facts;
  try {
    facts.result = sim::runHalvik(desktop, scenario.argumentText, platform);
  } catch (const std::exception& escaped) {
    facts.violations.push_back(std::string("Form_Load returns, and nothing escapes it: ") +
                               escaped.what());
  }
  facts.seen = platform.seen;
  facts.closeRequests = desktop.closeRequests;
  checkProperties(scenario, desktop, atStart, facts);
  return facts;
}

std::vector<ProcessId> endedProcesses(const RunFacts& run) {
  std::vector<ProcessId> ended;
  for (const auto& termination : run.seen.terminations) ended.push_back(termination.process);
  return ended;
}

}  // namespace

RunFacts checkScenario(const Scenario& scenario) {
  RunFacts facts = runScenario(scenario);
  const auto& injected = facts.seen.injected;
  const bool hostFailed = !hostWorks(scenario.host) || injected == FaultKind::InHost;
  // Another failing call would fall elsewhere with a working host's calls counted in.
  if (!facts.result || !hostFailed || (injected && *injected != FaultKind::InHost)) return facts;

  Scenario withWorkingHost = scenario;
  withWorkingHost.host.installed = true;
  withWorkingHost.host.failingCalls.clear();
  withWorkingHost.failingCall = 0;
  const RunFacts reference = runScenario(withWorkingHost);
  if (!reference.result || reference.result->outcome != facts.result->outcome ||
      reference.closeRequests != facts.closeRequests ||
      endedProcesses(reference) != endedProcesses(facts)) {
    facts.violations.emplace_back(
        "a failing or absent host changes nothing of what is closed, ended or decided");
  }
  return facts;
}

}  // namespace halvik::property
