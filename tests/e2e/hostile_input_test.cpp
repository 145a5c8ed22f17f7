// Argument texts and titles that a careless or hostile caller could hand the real program: each
// run ends by itself with the right outcome, reported to the host, and ends nothing that should
// live.

#include <gtest/gtest.h>

#include <cwchar>

#include "e2e_support.h"

namespace halvik::e2e {
namespace {

using Values = std::vector<int>;

// Runs halvik.exe with the argument text, reporting to a fresh variable; returns what it reported.
Values reported(const std::wstring& target) {
  HostJournal host;
  host.createVariable();
  runHalvik(target + L"|" + host.name(), 30000);
  return host.saved();
}

std::wstring hexadecimal(DWORD number) {
  wchar_t text[16];
  std::swprintf(text, 16, L"&H%lX", static_cast<unsigned long>(number));
  return text;
}

TEST(HostileInput, OddTargetsEndPromptlyInTheRightOutcome) {
  const auto bystander = startTarget(uniqueTitle(L"Bystander"), L"--on-close=ignore");
  EXPECT_EQ(reported(std::wstring(32000, L'x')), (Values{0, -1}));
  EXPECT_EQ(reported(L"   "), (Values{-3, -3}));
  EXPECT_EQ(reported(L"\t\t"), (Values{-3, -3}));     // blanks after the program's path separate
  EXPECT_EQ(reported(L"x\t\t"), (Values{0, -1}));     // tabs inside are text, and no title has them
  EXPECT_EQ(reported(L"\"\"\"\""), (Values{0, -1}));  // quotes are text too
  EXPECT_EQ(reported(L"99999999999"), (Values{0, -1}));  // no process ID
  EXPECT_EQ(reported(L"-0.4"), (Values{0, -1}));         // process 0 is nobody
  EXPECT_FALSE(bystander.process.waitForExit(0));
}

TEST(HostileInput, TitlesAreMatchedAsTheyStandWithinTheirFirst254Characters) {
  const std::wstring world = L"\u041f\u0440\u0438\u0432\u0435\u0442 \u4e16\u754c \U0001F600";
  const auto exact = startTarget(uniqueTitle(L"Exact") + L" " + world);
  EXPECT_EQ(reported(world), (Values{0, 1}));
  EXPECT_TRUE(exact.process.waitForExit(5000));

  // Cyrillic in other letter case: every locale maps it.
  const auto otherCase = startTarget(uniqueTitle(L"Case") + L" " + world);
  EXPECT_EQ(reported(L"\u043f\u0420\u0418\u0412\u0415\u0422"), (Values{0, 1}));
  EXPECT_TRUE(otherCase.process.waitForExit(5000));

  const auto start = uniqueTitle(L"Long");
  const auto longTitle = startTarget(start + std::wstring(260 - start.size(), L'-') + L"tail end");
  EXPECT_EQ(reported(L"-tail end"), (Values{0, -1}));
  EXPECT_FALSE(longTitle.process.waitForExit(0));
}

TEST(HostileInput, ProcessIdsInEveryFormTheParserTakes) {
  const auto byHex = startTarget(uniqueTitle(L"Hex"));
  EXPECT_EQ(reported(hexadecimal(byHex.process.id())), (Values{0, 1}));
  EXPECT_TRUE(byHex.process.waitForExit(5000));

  const auto byExponent = startTarget(uniqueTitle(L"Exponent"));
  const std::wstring exponent = std::to_wstring(byExponent.process.id()) + L"0e-1";
  EXPECT_EQ(reported(exponent), (Values{0, 1}));
  EXPECT_TRUE(byExponent.process.waitForExit(5000));
}

}  // namespace
}  // namespace halvik::e2e
