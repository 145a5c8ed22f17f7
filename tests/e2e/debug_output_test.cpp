// The run's trace as a debug-output viewer reads it. The stream belongs to every program of the
// Wine prefix, so this suite runs alone (see CMakeLists.txt) and keeps only halvik.exe's lines.

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <regex>
#include <thread>

#include "e2e_support.h"

namespace halvik::e2e {
namespace {

constexpr DWORD StreamBufferBytes = 4096;  // the process ID, then the text

// A viewer built as Windows' viewers are: it owns the section DBWIN_BUFFER and the events
// DBWIN_BUFFER_READY (the writer may write) and DBWIN_DATA_READY (a line is there). One that never
// answers never says the buffer is ready, and every writer waits for it.
class DebugOutputViewer {
 public:
  explicit DebugOutputViewer(bool answers) {
    EXPECT_TRUE(section_ && bufferReady_ && dataReady_ && stop_ && view_)
        << "the stream cannot be opened, error " << GetLastError();
    if (answers && view_) reader_ = std::thread([this] { read(); });
  }
  ~DebugOutputViewer() {
    SetEvent(stop_.get());
    if (reader_.joinable()) reader_.join();
    if (view_) UnmapViewOfFile(view_);
  }

  // The lines the process wrote, in order, without their ends of line.
  std::vector<std::string> linesOf(DWORD process) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    for (const auto& [writer, text] : received_) {
      if (writer == process) lines.push_back(text.substr(0, text.find_last_not_of('\n') + 1));
    }
    return lines;
  }

 private:
  static win32::UniqueHandle namedEvent(const wchar_t* name) {
    return win32::UniqueHandle(CreateEventW(nullptr, FALSE, FALSE, name));
  }

  void read() {
    const HANDLE wakes[] = {dataReady_.get(), stop_.get()};
    for (;;) {
      SetEvent(bufferReady_.get());
      if (WaitForMultipleObjects(2, wakes, FALSE, INFINITE) != WAIT_OBJECT_0) return;
      const auto* text = static_cast<const char*>(view_) + sizeof(DWORD);
      DWORD writer = 0;
      std::memcpy(&writer, view_, sizeof writer);
      const std::lock_guard<std::mutex> lock(mutex_);
      received_.emplace_back(writer, std::string(text, strnlen(text, StreamBufferBytes - 4)));
    }
  }

  win32::UniqueHandle section_{CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                  StreamBufferBytes, L"DBWIN_BUFFER")};
  win32::UniqueHandle bufferReady_ = namedEvent(L"DBWIN_BUFFER_READY");
  win32::UniqueHandle dataReady_ = namedEvent(L"DBWIN_DATA_READY");
  win32::UniqueHandle stop_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  void* view_ = section_ ? MapViewOfFile(section_.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;
  std::mutex mutex_;
  std::vector<std::pair<DWORD, std::string>> received_;
  std::thread reader_;
};

std::string regexEscaped(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

std::string ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string hexWindow(HWND window) {
  char text[12];
  std::snprintf(text, sizeof text, "0x%08X",
                static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(window)));
  return text;
}

TEST(DebugOutput, RunThatEndsInOneIsTracedDecisionByDecision) {
  DebugOutputViewer viewer(/*answers=*/true);
  HostJournal host;
  host.createVariable();
  const auto title = uniqueTitle(L"Caf\u00e9");
  const auto target = startTarget(title);
  StartedProcess halvik(quoted(binaryPath(L"halvik.exe")) + L" " + title + L"|" + host.name());
  ASSERT_TRUE(halvik.waitForExit(30000));
  ASSERT_EQ(host.saved(), (std::vector<int>{0, 1}));

  // The title as the trace writes it, with the character outside ASCII escaped.
  const auto accent = title.find(L'\u00e9');
  const std::string traced = regexEscaped("\"" + ascii(title.substr(0, accent)) + "\\u00E9" +
                                          ascii(title.substr(accent + 1)) + "\"");
  const std::string variable = regexEscaped("\"" + ascii(host.name()) + "\"");
  const std::string process = std::to_string(target.process.id());
  const std::string launcher = std::to_string(GetCurrentProcessId());
  std::string lines;
  for (const auto& line : viewer.linesOf(halvik.id())) lines += line + "\n";
  const std::string prefix = "halvik\\[" + std::to_string(halvik.id()) + "\\]: ";
  const std::string expected =
      prefix + "arguments: target " + traced + ", variable " + variable + "\n" +  //
      prefix + "launcher: process " + launcher + " held\n" +                      //
      prefix + "host: CreateObject\\(\"homeseer\\.application\"\\) -> done\n" +   //
      prefix + "host: SaveVar\\(" + variable + ", 0\\) -> done\n" +               //
      prefix + "target named by title: window " + hexWindow(target.window) + ", process " +
      process + ", title " + traced + "\n" +                  //
      prefix + "ownership: process " + process + " held\n" +  //
      prefix + "close request: posted to window " + hexWindow(target.window) +
      ", which (still exists|is gone)\n" +                     //
      "(" + prefix + "poll round \\d+: title present\n)*" +    //
      prefix + "poll round \\d+: title gone\n" +               //
      prefix + "outcome: 1\n" +                                //
      prefix + "host: GetVar\\(" + variable + "\\) -> .*\n" +  //
      prefix + "host: SaveVar\\(" + variable + ", 1\\) -> done\n";
  EXPECT_TRUE(std::regex_match(lines, std::regex(expected))) << lines << "\ndoes not match\n"
                                                             << expected;
}

// A viewer that never answers holds every write for about 10 s; the run does not wait for them,
// nor does its end.
TEST(DebugOutput, ViewerThatNeverAnswersLengthensARunByLessThanASecond) {
  const auto plainTitle = uniqueTitle(L"Unheard");
  const auto plainTarget = startTarget(plainTitle);
  const double plain = runHalvik(plainTitle + L"|", 30000);

  DebugOutputViewer viewer(/*answers=*/false);
  const auto title = uniqueTitle(L"Unheard");
  const auto target = startTarget(title);
  const double unheard = runHalvik(title + L"|", 30000);
  EXPECT_TRUE(target.process.waitForExit(5000));
  EXPECT_LT(unheard, plain + 1.0) << "without a viewer " << plain << " s";
}

}  // namespace
}  // namespace halvik::e2e
