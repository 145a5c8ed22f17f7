#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>

#include "property/properties.h"

namespace halvik::property {
namespace {

constexpr std::uint64_t GeneratedRuns = 20000;
constexpr int FailingSeedsShown = 10;

std::string joined(const std::vector<std::string>& violations) {
  std::string text;
  for (const auto& violation : violations) text += "\n  " + violation;
  return text;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// HALVIK_SEED=<number> runs that one seed alone.
TEST(RandomRuns, KeepEveryPromiseOnGeneratedDesktops) {
  const char* onlySeed = std::getenv("HALVIK_SEED");
  const std::uint64_t first = onlySeed ? std::strtoull(onlySeed, nullptr, 10) : 1;
  const std::uint64_t last = onlySeed ? first : GeneratedRuns;
  const auto started = std::chrono::steady_clock::now();
  std::map<int, int> outcomes;
  int failingSeeds = 0;
  std::uint64_t runs = 0;
  for (auto seed = first; seed <= last && failingSeeds < FailingSeedsShown; ++seed, ++runs) {
    SeededSource random(seed);
    const Scenario scenario = generateScenario(random);
    const RunFacts run = checkScenario(scenario);
    if (run.result) ++outcomes[run.result->outcome];
    if (!run.violations.empty()) ++failingSeeds;
    EXPECT_TRUE(run.violations.empty())
        << "seed " << seed << " (HALVIK_SEED=" << seed << " runs it alone), failing call "
        << scenario.failingCall << ":" << joined(run.violations);
  }
  std::cout << runs << " generated runs in " << secondsSince(started) << " s; outcomes:";
  for (const auto& [outcome, count] : outcomes) std::cout << " " << outcome << " x" << count;
  std::cout << "\n";
}

WindowPlan windowOf(const std::wstring& title, ProcessId process, CloseReaction reaction) {
  WindowPlan window;
  window.title = title;
  window.process = process;
  window.reaction = reaction;
  window.reactionDelay = sim::seconds(2);
  return window;
}

// Each outcome's typical run: an editor (process 100) beside a clock (200), input arriving during
// the waits, and a host that knows "Status".
Scenario typicalRun(const std::wstring& argumentText, CloseReaction reaction) {
  Scenario scenario;
  scenario.windows = {windowOf(L"Report.txt - Editor", 100, reaction),
                      windowOf(L"Clock", 200, CloseReaction::Ignores)};
  scenario.inputs = {{sim::milliseconds(500), true},
                     {sim::milliseconds(1500), false},
                     {sim::milliseconds(51500), true}};
  scenario.host.variables = {L"Status"};
  scenario.argumentText = argumentText;
  return scenario;
}

TEST(FaultMatrix, EachCallFailingInTurnKeepsEveryPromise) {
  std::map<std::int16_t, Scenario> typical;
  typical[OutcomeNoTarget] = typicalRun(L" |Status", CloseReaction::Quits);
  typical[OutcomeNotFound] = typicalRun(L"Calendar|Status", CloseReaction::Quits);
  typical[OutcomeClosed] = typicalRun(L"report|Status", CloseReaction::Quits);
  typical[OutcomeClosed].host.variables.clear();
  typical[OutcomeKilled] = typicalRun(L"100|Status", CloseReaction::AsksToSave);
  typical[OutcomeKilled].processes[100].endDelay = sim::milliseconds(300);
  typical[OutcomeKilled].spelledProcess = 100;
  typical[OutcomeKillFailed] = typicalRun(L"Report|Status", CloseReaction::Ignores);
  typical[OutcomeKillFailed].processes[100].acceptsTermination = false;
  for (const auto reaction :
       {CloseReaction::ReappearsUnderAnotherProcess, CloseReaction::Ignores}) {
    auto& scenario = typical[reaction == CloseReaction::Ignores ? OutcomeKilledTitleRemains
                                                                : OutcomeProcessWindowGone];
    scenario = typicalRun(L"Report|Status", reaction);
    scenario.windows.push_back(
        windowOf(L"Report.txt - Editor (read-only)", 300, CloseReaction::Ignores));
    scenario.windows[0].reappearsUnder = 300;
  }

  const auto started = std::chrono::steady_clock::now();
  int faultedRuns = 0;
  for (auto& [outcome, scenario] : typical) {
    const RunFacts clean = checkScenario(scenario);
    ASSERT_TRUE(clean.result && clean.result->outcome == outcome && clean.violations.empty())
        << "typical run for " << outcome << ":" << joined(clean.violations);
    for (scenario.failingCall = 1; scenario.failingCall <= clean.seen.calls;
         ++scenario.failingCall) {
      const RunFacts faulted = checkScenario(scenario);
      ++faultedRuns;
      EXPECT_TRUE(faulted.violations.empty())
          << "typical run for " << outcome << ", call " << scenario.failingCall
          << " failing:" << joined(faulted.violations);
    }
  }
  std::cout << faultedRuns << " faulted runs in " << secondsSince(started) << " s\n";
}

}  // namespace
}  // namespace halvik::property
