#include "driver/argument_text.h"

#include <gtest/gtest.h>

namespace halvik {
namespace {

TEST(ArgumentText, FollowsTheProgramPathQuotedOrNot) {
  const std::wstring path = LR"(C:\Program Files\Halvik\halvik.exe)";
  EXPECT_EQ(argumentText(LR"("C:\Program Files\halvik.exe" Untitled - Notepad|X)", path),
            L"Untitled - Notepad|X");
  EXPECT_EQ(argumentText(L"halvik.exe   \t  Notepad  ", path), L"Notepad  ");
  EXPECT_EQ(argumentText(LR"("C:\halvik.exe""quoted")", path), LR"("quoted")");
  EXPECT_EQ(argumentText(LR"("C:\halvik.exe")", path), L"");
  EXPECT_EQ(argumentText(L"halvik.exe", path), L"");
  EXPECT_EQ(argumentText(L"", path), L"");
}

// Windows runs a program named by a path with blanks unquoted, and hands it the line as written.
TEST(ArgumentText, FollowsTheProgramsOwnPathUnquoted) {
  const std::wstring path = LR"(C:\Program Files\Halvik\halvik.exe)";
  EXPECT_EQ(argumentText(LR"(C:\Program Files\Halvik\halvik.exe Untitled - Notepad|X)", path),
            L"Untitled - Notepad|X");
  EXPECT_EQ(argumentText(LR"(c:\program files\halvik\HALVIK  Notepad)", path), L"Notepad");
  EXPECT_EQ(argumentText(LR"(C:\Program Files\Halvik\halvik.exe)", path), L"");
  // Only the program's own path, and only as a whole: otherwise the first blank ends the path.
  EXPECT_EQ(argumentText(LR"(C:\Program Files\Other\halvik.exe Notepad)", path),
            LR"(Files\Other\halvik.exe Notepad)");
  EXPECT_EQ(argumentText(LR"(C:\Program Files\Halvik\halvik.exe2 Notepad)", path),
            LR"(Files\Halvik\halvik.exe2 Notepad)");
}

TEST(ArgumentText, WithoutSeparatorIsAllTarget) {
  const auto split = splitArgumentText(L"  Untitled - Notepad  ");
  EXPECT_EQ(split.Target, L"Untitled - Notepad");
  EXPECT_EQ(split.VariableName, L"");
}

TEST(ArgumentText, SplitsTargetAndVariableAndTrimsOnlySpaces) {
  const auto split = splitArgumentText(L"  Untitled - Notepad  |  Status  ");
  EXPECT_EQ(split.Target, L"Untitled - Notepad");
  EXPECT_EQ(split.VariableName, L"Status");

  const auto tabs = splitArgumentText(L"\tNotepad\t|\tStatus ");
  EXPECT_EQ(tabs.Target, L"\tNotepad\t");
  EXPECT_EQ(tabs.VariableName, L"\tStatus");
}

TEST(ArgumentText, IgnoresFieldsAfterTheSecond) {
  const auto split = splitArgumentText(L"a|b|c");
  EXPECT_EQ(split.Target, L"a");
  EXPECT_EQ(split.VariableName, L"b");
}

TEST(ArgumentText, KeepsEmptyFields) {
  EXPECT_EQ(splitArgumentText(L"|").Target, L"");
  EXPECT_EQ(splitArgumentText(L"|").VariableName, L"");
  EXPECT_EQ(splitArgumentText(L"|Status").VariableName, L"Status");
  EXPECT_EQ(splitArgumentText(L"Notepad|").VariableName, L"");
  EXPECT_EQ(splitArgumentText(L"Notepad||Status").VariableName, L"");
}

TEST(ArgumentText, KeepsQuotes) {
  EXPECT_EQ(splitArgumentText(LR"( "My App" |V)").Target, LR"("My App")");
}

}  // namespace
}  // namespace halvik
