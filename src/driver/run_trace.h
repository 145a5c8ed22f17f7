#pragma once

// The run's trace: one line for each decision, for whoever follows the run in the system's
// debug-output stream. Nothing is written per window searched, nor for a second of a poll in which
// nothing changed.

#include <cstdint>
#include <optional>
#include <string>

#include "driver/argument_text.h"
#include "driver/run_state.h"
#include "platform/failure.h"
#include "platform/platform.h"
#include "window_ops/window_ops.h"

namespace halvik {

// The text in double quotes, in printable ASCII whatever the system's code page: every other
// character is written as \uXXXX (UTF-16), a quote as \" and a backslash as \\. A text longer than
// TracedTextChars is cut there and followed by "...", so that a line fits the stream's buffer.
constexpr std::size_t TracedTextChars = 300;
std::string traceQuoted(const std::wstring& text);

// A host call as the trace names it: SaveVar("Status", 0).
std::string hostCallText(const char* member, const std::wstring& argument,
                         std::optional<std::int16_t> value = std::nullopt);

class RunTrace {
 public:
  explicit RunTrace(Platform& platform) : platform_(platform) {}

  void arguments(const SplitArguments& arguments);
  // The program that started this one, as the start found it.
  void launcher(const LaunchingProcess& launcher);
  // Written only where no user's windows can be seen: the run goes on all the same.
  void session(const OwnSession& session);
  void target(const RunState& run);
  // The hold on the target process: not taken, given up (its window's owner changed), or kept.
  void holdNotTaken(const RunState& run);
  void holdGivenUp(const RunState& run);
  void held(const RunState& run);
  void closeRequest(WindowHandle window, const CloseRequest& request);
  void pollRound(const PollRound& round);
  void processWindow(ProcessId process, WindowHandle window);
  void forcedEnd(ProcessId process, const ForcedEnd& end);
  // A host call: made, answered (with text or not), or failed and passed over.
  void hostCall(const std::string& call);
  void hostAnswer(const std::string& call, const std::optional<std::wstring>& answer);
  void hostCallFailed(const std::string& call, const Failure& failure);
  void passedOver(const Failure& failure);
  void outcome(std::int16_t outcome);

 private:
  void write(const std::string& line) { platform_.trace(line); }

  Platform& platform_;
};

}  // namespace halvik
