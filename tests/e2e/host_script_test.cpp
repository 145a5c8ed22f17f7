// The host-script example as a user runs it: Wine's own script host starts halvik.exe through the
// example, which waits on the host variable and says what the outcome means.

#include <gtest/gtest.h>

#include <fstream>

#include "e2e_support.h"

namespace halvik::e2e {
namespace {

TEST(HostScriptExample, ClosesNotepadAndSaysSo) {
  HostJournal host{HostKind::OutOfProcess};
  // A file of its own gives the editor a title that no other test's editor has.
  const std::wstring file = L"Halvik script " + std::to_wstring(GetCurrentProcessId()) + L".txt";
  const std::wstring path = temporaryDirectory() + file;
  std::ofstream(path.c_str()) << "unchanged\n";
  const std::wstring title = file + L" - Notepad";
  StartedProcess editor(L"notepad.exe " + quoted(path));
  ASSERT_NE(waitForWindow(title), nullptr);

  const std::string printed =
      outputOf(L"cscript.exe //nologo " + quoted(binaryPath(L"close-and-wait.vbs")) + L" " +
                   quoted(binaryPath(L"halvik.exe")) + L" " + quoted(title) + L" " + host.name(),
               150000);

  const std::string name(host.name().begin(), host.name().end());
  EXPECT_EQ(printed, name + " = 1: the application closed on request\r\n");
  EXPECT_TRUE(editor.waitForExit(5000));
  // The script's own 0 first, so that no earlier outcome is taken for this one; then Halvik's.
  EXPECT_EQ(host.saved(), (std::vector<int>{0, 0, 1}));
  DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace halvik::e2e
