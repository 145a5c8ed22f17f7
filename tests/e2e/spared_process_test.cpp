// Processes whose windows a title may name on behalf of others are never ended through a title;
// named by process ID, they are ended as asked.

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace halvik::e2e {
namespace {

using Values = std::vector<int>;

constexpr DWORD StillActive = 259;

// A target that ignores the close request, named by title: after the grace period it is spared,
// and after the second one its window remains.
void expectSparedWhenNamedByTitle(const std::wstring& title, const Target& target) {
  HostJournal host;
  host.createVariable();
  const double seconds = runHalvik(title + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, -2}));
  EXPECT_GE(seconds, 100.0);
  EXPECT_LT(seconds, 130.0);
  EXPECT_FALSE(target.process.waitForExit(0)) << "the process was ended";
}

// The frame host of Store apps, by its image name alone.
class FrameHost : public ::testing::Test {
 protected:
  ProgramCopy frameHost{L"target_app.exe", L"ApplicationFrameHost.exe"};
};

TEST_F(FrameHost, NamedByTitleItIsNeverEnded) {
  const auto title = uniqueTitle(L"Frame Host");
  const auto target = startTarget(title, L"--on-close=ignore", frameHost.path());
  expectSparedWhenNamedByTitle(title, target);
}

// Spared, it still goes by itself within the second grace period: that is a close, not a forced
// end.
TEST_F(FrameHost, LeavingByItselfAfterBeingSparedIsAClose) {
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Frame Host Leaving");
  const auto target = startTarget(title, L"--on-close=ignore --lifetime=62000", frameHost.path());
  const double seconds = runHalvik(title + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 1}));
  EXPECT_GE(seconds, 55.0);
  EXPECT_LT(seconds, 80.0);
}

TEST_F(FrameHost, NamedByProcessIdItIsEnded) {
  HostJournal host;
  host.createVariable();
  const auto target =
      startTarget(uniqueTitle(L"Frame Host By Process"), L"--on-close=ignore", frameHost.path());
  const double seconds = runHalvik(std::to_wstring(target.process.id()) + L"|" + host.name());
  EXPECT_EQ(host.saved(), (Values{0, 2}));
  EXPECT_GE(seconds, 50.0);
  EXPECT_LT(seconds, 70.0);
  ASSERT_TRUE(target.process.waitForExit(5000));
  EXPECT_EQ(target.process.exitCode(), StillActive);
}

// A host script may close its host's own dialog by title: when the dialog stays, the host that
// started Halvik is spared, and learns that Halvik ended.
TEST(Launcher, NamedByTitleItIsNeverEnded) {
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Host Dialog");
  const auto dialog =
      startTarget(title, L"--on-close=ignore --exit-code=7 --start-halvik=" + host.name());
  ASSERT_TRUE(dialog.process.waitForExit(150000)) << "the host did not learn that Halvik ended";
  EXPECT_EQ(dialog.process.exitCode(), 7u) << "the host was ended";
  EXPECT_EQ(host.saved(), (Values{0, -2}));
}

// Wine sets no shell window; the target makes itself the shell for as long as it runs. This suite
// runs alone (see CMakeLists.txt).
TEST(ShellTarget, NamedByTitleItIsNeverEnded) {
  const auto title = uniqueTitle(L"Shell");
  const auto target = startTarget(title, L"--shell --on-close=ignore");
  DWORD shellProcess = 0;
  GetWindowThreadProcessId(GetShellWindow(), &shellProcess);
  ASSERT_EQ(shellProcess, target.process.id()) << "the target is not the shell";
  expectSparedWhenNamedByTitle(title, target);
}

}  // namespace
}  // namespace halvik::e2e
