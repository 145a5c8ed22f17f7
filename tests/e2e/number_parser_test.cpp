// The system's number parser decides whether a target is a process ID; this pins what it accepts.

#include <gtest/gtest.h>

#include "driver/process_id_target.h"
#include "platform/failure.h"
#include "platform/win32/win32_platform.h"

namespace halvik::e2e {
namespace {

TEST(RealNumberParser, DecidesWhichTargetsAreProcessIds) {
  win32::Win32Platform platform;
  const std::pair<const wchar_t*, ProcessId> processIds[] = {
      {L"1234", 1234}, {L"1234.5", 1234}, {L"12.5", 12}, {L"13.5", 14}, {L"&H10", 16},
      {L"&O17", 15},   {L"1e3", 1000},    {L"-5", -5},   {L" 12", 12},  {L"1,234", 1234}};
  for (const auto& [text, expected] : processIds) {
    const auto number = platform.parseNumber(text);
    ASSERT_TRUE(number) << "not a number: " << text;
    EXPECT_EQ(toProcessId(*number), expected) << text;
  }

  for (const auto* title : {L"12abc", L"", L"Untitled - Notepad"}) {
    EXPECT_FALSE(platform.parseNumber(title)) << title;
  }

  const auto tooLarge = platform.parseNumber(L"99999999999");
  ASSERT_TRUE(tooLarge);
  EXPECT_THROW(toProcessId(*tooLarge), Failure);
}

}  // namespace
}  // namespace halvik::e2e
