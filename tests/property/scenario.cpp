#include "property/scenario.h"

#include <cwchar>
#include <cwctype>
#include <iterator>

namespace halvik::property {
namespace {

constexpr ProcessId OwnProcess = 7000;  // the simulated desktop's own process ID for Halvik
constexpr ProcessId Processes[] = {100, 200, 300, OwnProcess};
constexpr ProcessId ProcessWithoutWindows = 400;
constexpr std::uint32_t LatestFailingCall = 300;
// Title pieces without digits, so that no piece of a title reads as a process ID.
const wchar_t* const TitleWords[] = {
    L"Report.txt - Editor", L"report", L"Отчёт",         L"報告書",
    L"\U0001F600 Chat",     L"Ärger",  L"Save changes?", L"Editor"};

// Each choice drawn in a statement of its own: the order in which operands are evaluated is
// unspecified, and the same seed must build the same run with every compiler.
Ticks anyDelay(RandomSource& random) {
  const Ticks wholeSeconds = sim::seconds(random.below(120));
  return wholeSeconds + sim::milliseconds(random.below(1000));
}

std::wstring anyTitle(RandomSource& random) {
  switch (random.below(6)) {
    case 0:
      return L"";
    case 1: {  // 254 or 300 characters, the distinctive word first or last
      const std::wstring word = random.pick(TitleWords);
      const std::size_t length = random.chance(50) ? 254 : 300;
      const std::wstring filler(length - word.size(), L'.');
      return random.chance(50) ? word + filler : filler + word;
    }
    default: {  // one to three words: titles often contain one another
      std::wstring title = random.pick(TitleWords);
      for (auto more = random.below(3); more > 0; --more)
        title += std::wstring(L" - ") + random.pick(TitleWords);
      return title;
    }
  }
}

std::wstring mixedCase(RandomSource& random, std::wstring text) {
  for (auto& c : text) {
    if (random.chance(30))
      c = static_cast<wchar_t>(random.chance(50) ? std::towupper(c) : std::towlower(c));
  }
  return text;
}

std::wstring withSpaces(RandomSource& random, const std::wstring& text) {
  const std::wstring before(random.below(3), L' ');
  return before + text + std::wstring(random.below(3), L' ');
}

// A number in one of the forms the parser accepts; halves round to even, and every ID here is even.
std::wstring spelled(RandomSource& random, ProcessId id) {
  const wchar_t* const forms[] = {L"%u",     L"+%u",  L"%u.",  L"%u.5", L"%u00e-2", L"%uE+0",
                                  L"%u0E-1", L"&H%X", L"&h%x", L"&O%o", L"&o%o"};
  wchar_t text[32];
  std::swprintf(text, std::size(text), random.pick(forms), static_cast<unsigned>(id));
  return text;
}

void generateTarget(RandomSource& random, Scenario& scenario) {
  std::wstring target;
  switch (random.below(8)) {
    case 0:
      break;  // no target, or only blanks
    case 1: {
      const wchar_t* const outOfRange[] = {L"2147483648", L"-2147483649", L"1e10", L"&H1FFFFFFFF",
                                           L"2147483647.5"};
      target = random.pick(outOfRange);
      scenario.spelledProcess = 0;
      break;
    }
    case 2:
    case 3: {
      const ProcessId ids[] = {100, 200, 300, OwnProcess, ProcessWithoutWindows};
      scenario.spelledProcess = random.pick(ids);
      target = spelled(random, *scenario.spelledProcess);
      break;
    }
    default: {  // a piece of a window's title, in any letter case
      const std::wstring title =
          scenario.windows.empty() ? random.pick(TitleWords)
                                   : scenario.windows[random.below(scenario.windows.size())].title;
      const std::size_t start = random.below(title.size() + 1);
      target = mixedCase(random, title.substr(start, 1 + random.below(title.size() - start + 1)));
    }
  }
  // Tabs and quotes belong to the target, so a number so wrapped is a title text.
  if (random.chance(15)) {
    const std::wstring wrapper = random.chance(50) ? L"\t" : L"\"";
    target = wrapper + target + wrapper;
    scenario.spelledProcess.reset();
  }
  scenario.argumentText = withSpaces(random, target);
}

}  // namespace

Scenario generateScenario(RandomSource& random) {
  Scenario scenario;
  for (const ProcessId id : Processes) {
    auto& process = scenario.processes[id];
    process.canOpen = random.chance(85);
    process.acceptsTermination = random.chance(85);
    process.endDelay = random.chance(50) ? 0 : anyDelay(random);
    process.windowsOutliveProcess = random.chance(15);
    if (random.chance(10)) process.exitCode = random.chance(50) ? 0 : 3;
    process.critical = random.chance(5);
    if (random.chance(10)) process.imagePath = random.pick(SparedForTitles);
  }
  if (random.chance(20)) scenario.shell = random.pick(Processes);
  if (random.chance(20)) scenario.launcher = random.pick(Processes);

  for (auto count = random.below(7); count > 0; --count) {
    WindowPlan window;
    window.title = anyTitle(random);
    const auto processIndex = random.below(std::size(Processes));
    window.process = Processes[processIndex];
    if (!scenario.windows.empty() && random.chance(20)) {
      window.owner = random.below(scenario.windows.size());
      window.ownerIsParent = random.chance(70);
    }
    window.visible = random.chance(80);
    window.ghost = random.chance(10);
    window.reaction = static_cast<CloseReaction>(random.below(4));
    window.reactionDelay = random.chance(30) ? 0 : anyDelay(random);
    const auto otherIndex = processIndex + 1 + random.below(std::size(Processes) - 1);
    window.reappearsUnder = Processes[otherIndex % std::size(Processes)];
    scenario.windows.push_back(window);
  }

  if (!scenario.windows.empty() && random.chance(20)) {
    scenario.console = random.below(scenario.windows.size());
    scenario.consoleHolder = random.below(scenario.windows.size());
  }

  for (auto count = random.below(4); count > 0; --count) {
    scenario.inputs.push_back({anyDelay(random), random.chance(70)});
  }

  generateTarget(random, scenario);
  if (random.chance(70)) {
    const wchar_t* const names[] = {L"", L"Status", L"Halvik state"};
    scenario.argumentText += L"|" + withSpaces(random, random.pick(names));
    if (random.chance(20)) scenario.argumentText += L"|Status";
  }

  scenario.host.installed = random.chance(85);
  if (random.chance(50)) scenario.host.variables = {L"Status", L"Halvik state"};
  if (random.chance(15)) {
    const wchar_t* const members[] = {L"SaveVar", L"GetVar", L"CreateVar"};
    scenario.host.failingCalls.insert(random.pick(members));
  }
  if (random.chance(25)) scenario.failingCall = 1 + random.below(LatestFailingCall);
  if (random.chance(15)) {
    scenario.searchFailsFrom = anyDelay(random);
    scenario.searchFailsUntil = scenario.searchFailsFrom + anyDelay(random);
  }
  return scenario;
}

void build(const Scenario& scenario, sim::SimDesktop& desktop) {
  desktop.ownProcessId = OwnProcess;
  std::vector<WindowHandle> handles;
  for (const auto& plan : scenario.windows) {
    const WindowHandle owner = plan.owner ? handles[*plan.owner] : 0;
    const WindowHandle handle = desktop.addWindow(plan.title, plan.process, owner);
    handles.push_back(handle);
    desktop.window(handle).ownerIsParent = plan.ownerIsParent;
    desktop.window(handle).visible = plan.visible;
    if (plan.ghost) desktop.window(handle).className = L"Ghost";
    switch (plan.reaction) {
      case CloseReaction::Ignores:
        break;
      case CloseReaction::Quits:
        desktop.quitsOnClose(handle, plan.reactionDelay);
        break;
      case CloseReaction::AsksToSave:
        desktop.asksToSaveOnClose(handle);
        break;
      case CloseReaction::ReappearsUnderAnotherProcess:
        desktop.window(handle).onClose = [&desktop, handle, plan] {
          desktop.destroyWindow(handle);
          desktop.at(desktop.now() + plan.reactionDelay,
                     [&desktop, plan] { desktop.addWindow(plan.title, plan.reappearsUnder); });
        };
        break;
    }
  }
  for (const auto& [id, process] : scenario.processes) desktop.process(id) = process;
  for (const auto& input : scenario.inputs) {
    if (input.bringsMessage) {
      desktop.messageArrivesAt(input.when, [] {});
    } else {
      desktop.wakeWithoutMessageAt(input.when);
    }
  }
  desktop.host = scenario.host;
  desktop.shell = scenario.shell;
  desktop.launcher = {scenario.launcher, 0};
  if (scenario.console) {
    desktop.console = {handles[*scenario.console], handles[scenario.consoleHolder]};
  }
}

}  // namespace halvik::property
