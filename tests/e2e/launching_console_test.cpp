// Windows that carry the target's title without being the application: the console Halvik was
// started from, and the system's ghost of a hung window; and one that only looks like a ghost.

#include <gtest/gtest.h>

#include <fstream>

#include "e2e_support.h"

namespace halvik::e2e {
namespace {

using Values = std::vector<int>;

std::string contentsOf(const std::wstring& path) {
  std::ifstream file(path.c_str());
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A console program titles its console with the command that holds the target, as the command
// prompt does for a host script, and starts Halvik (with the launcher's options); the console lies
// above the target.
void expectConsolePassedOver(const std::wstring& launcherOptions) {
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Started From A Console");
  const auto target = startTarget(title);
  const std::wstring result = temporaryDirectory() + title + L".txt";
  StartedProcess launcher(L"wineconsole.exe " + quoted(binaryPath(L"console_launcher.exe")) + L" " +
                          quoted(result) + L" " + quoted(binaryPath(L"halvik.exe")) + L" " +
                          quoted(title + L"|" + host.name()) + launcherOptions);
  ASSERT_TRUE(launcher.waitForExit(60000));
  EXPECT_EQ(contentsOf(result), "halvik ended\nconsole still there\nconsole writable\n");
  EXPECT_EQ(host.saved(), (Values{0, 1}));
  EXPECT_TRUE(target.process.waitForExit(5000));
  DeleteFileW(result.c_str());
}

// Wine hands a GUI program its parent's console.
TEST(LaunchingConsole, IsNeverTakenForTheTarget) { expectConsolePassedOver(L""); }

// Windows gives a GUI program none, as DETACHED_PROCESS does under Wine: Halvik attaches to its
// launcher's console to learn it.
TEST(LaunchingConsole, IsNeverTakenForTheTargetByAProgramWithoutAConsole) {
  expectConsolePassedOver(L" detached");
}

// Any program may register a window class named Ghost; only the system's are passed over.
TEST(GhostWindow, OfAnOrdinaryProgramIsFoundLikeAnyOther) {
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Ghost Class");
  const auto target = startTarget(title, L"--class=Ghost");
  runHalvik(title + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 1}));
  EXPECT_TRUE(target.process.waitForExit(5000));
}

// Windows shows a ghost, hosted by dwm.exe, above a window whose application stopped reading its
// messages; Wine does not, so a copy of the target program named so shows one.
TEST(GhostWindow, IsNeverTakenForTheHungWindow) {
  const ProgramCopy windowManager(L"target_app.exe", L"dwm.exe");
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Hung");
  const auto target = startTarget(title, L"--on-close=ignore");
  const auto ghost = startTarget(title + L" (Not Responding)", L"--class=Ghost --on-close=ignore",
                                 windowManager.path());
  const double seconds = runHalvik(title + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 2}));
  EXPECT_GE(seconds, 50.0);
  EXPECT_LT(seconds, 70.0);
  EXPECT_TRUE(target.process.waitForExit(5000));
  EXPECT_FALSE(ghost.process.waitForExit(0)) << "the ghost's process was ended";
}

}  // namespace
}  // namespace halvik::e2e
