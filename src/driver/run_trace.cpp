#include "driver/run_trace.h"

#include <cstdio>

namespace halvik {
namespace {

constexpr char32_t FirstBeyondUtf16Unit = 0x10000;

void appendEscaped(std::string& out, std::uint32_t unit) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
  out += escaped;
}

std::string hex(std::uint32_t number) {
  char text[12];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(number));
  return text;
}

std::string windowName(WindowHandle window) {
  return window == 0 ? "no window" : "window " + hex(static_cast<std::uint32_t>(window));
}

// An error number as the trace writes it: a system error code as "error N", also when it travels
// as an error number (0x8007xxxx); any other number (a status, an automation error) in hexadecimal.
std::string errorText(std::uint32_t number) {
  const std::uint32_t code = (number >> 16) == 0x8007u ? number & 0xFFFFu : number;
  return code > 0 && code <= 0xFFFFu ? "error " + std::to_string(code) : hex(number);
}

std::string failureText(const Failure& failure) {
  std::string text = errorText(failure.number());
  if (!failure.source().empty()) text += " from " + failure.source();
  if (!failure.description().empty()) text += ": " + failure.description();
  return text;
}

}  // namespace

std::string traceQuoted(const std::wstring& text) {
  std::string quoted = "\"";
  for (std::size_t i = 0; i < text.size() && i < TracedTextChars; ++i) {
    const auto c = static_cast<char32_t>(text[i]);
    if (c == U'"' || c == U'\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c >= U' ' && c <= U'~') {
      quoted += static_cast<char>(c);
    } else if (c < FirstBeyondUtf16Unit) {
      appendEscaped(quoted, c);
    } else {  // a 32-bit wchar_t: written as its UTF-16 surrogate pair
      appendEscaped(quoted, 0xD800 + ((c - FirstBeyondUtf16Unit) >> 10));
      appendEscaped(quoted, 0xDC00 + ((c - FirstBeyondUtf16Unit) & 0x3FF));
    }
  }
  quoted += '"';
  if (text.size() > TracedTextChars) quoted += "...";
  return quoted;
}

std::string hostCallText(const char* member, const std::wstring& argument,
                         std::optional<std::int16_t> value) {
  std::string text = std::string(member) + "(" + traceQuoted(argument);
  if (value) text += ", " + std::to_string(*value);
  return text + ")";
}

void RunTrace::arguments(const SplitArguments& arguments) {
  write("arguments: target " + traceQuoted(arguments.Target) + ", variable " +
        traceQuoted(arguments.VariableName));
}

void RunTrace::launcher(const LaunchingProcess& launcher) {
  if (launcher.value != 0) {
    write("launcher: process " + std::to_string(launcher.value) + " held");
  } else if (launcher.error != 0) {
    write("launcher: none held, " + errorText(launcher.error));
  } else {
    write("launcher: none held, its ID names a younger process");
  }
}

void RunTrace::target(const RunState& run) {
  const char* naming = run.NamedBy == TargetNaming::ByProcessId ? "process ID" : "title";
  write("target named by " + std::string(naming) + ": " + windowName(run.TargetWindow) +
        ", process " + std::to_string(run.TargetProcess) + ", title " +
        traceQuoted(run.TargetTitle));
}

void RunTrace::holdNotTaken(const RunState& run) {
  write("ownership: process " + std::to_string(run.TargetProcess) +
        " could not be held; it will not be ended");
}

void RunTrace::holdGivenUp(const RunState& run) {
  write("ownership: " + windowName(run.TargetWindow) + " no longer belongs to process " +
        std::to_string(run.TargetProcess) + "; it will not be ended");
}

void RunTrace::held(const RunState& run) {
  write("ownership: process " + std::to_string(run.TargetProcess) + " held");
}

void RunTrace::session(const OwnSession& session) {
  if (!session.sessionZero && session.visibleWindowStation) return;
  const std::string where =
      session.sessionZero && !session.visibleWindowStation
          ? "session 0, window station not visible"
          : (session.sessionZero ? "session 0" : "window station not visible");
  write("session: " + where + "; no user's windows can be seen from here");
}

void RunTrace::closeRequest(WindowHandle window, const CloseRequest& request) {
  const std::string result =
      request.posted.value ? "posted to "
                           : "refused by Windows, " + errorText(request.posted.error) + ", for ";
  write("close request: " + result + windowName(window) +
        (request.stillExists ? ", which still exists" : ", which is gone"));
}

// The first and the last round of a poll, and every round in which something happened (the title
// went, or a failure was passed over): the rounds between them changed nothing, and the next line's
// number counts them.
void RunTrace::pollRound(const PollRound& round) {
  const bool eventful = !round.titlePresent || round.searchFailure || round.waitFailure;
  if (round.round != 1 && round.round != MaxWaitRounds && !eventful) return;
  const std::string verdict =
      round.searchFailure
          ? "title counts as present, search passed over: " + failureText(*round.searchFailure)
          : (round.titlePresent ? "title present" : "title gone");
  const std::string waitedOut = round.waitFailure ? "; waited out without its wait, passed over: " +
                                                        failureText(*round.waitFailure)
                                                  : "";
  write("poll round " + std::to_string(round.round) + ": " + verdict + waitedOut);
}

void RunTrace::processWindow(ProcessId process, WindowHandle window) {
  write("ownership: process " + std::to_string(process) + " owns " +
        (window > 0 ? windowName(window) : "no parentless top-level window"));
}

void RunTrace::forcedEnd(ProcessId process, const ForcedEnd& end) {
  std::string result = "done";
  if (end.kind == ForcedEnd::Kind::Refused) result = "refused by rule: " + std::string(end.reason);
  if (end.kind == ForcedEnd::Kind::Failed)
    result = "failed: " + std::string(end.reason) + " " + errorText(end.error);
  write("forced end of process " + std::to_string(process) + ": " + result);
}

void RunTrace::hostCall(const std::string& call) { write("host: " + call + " -> done"); }

void RunTrace::hostAnswer(const std::string& call, const std::optional<std::wstring>& answer) {
  write("host: " + call + " -> " + (answer ? traceQuoted(*answer) : "no text"));
}

void RunTrace::hostCallFailed(const std::string& call, const Failure& failure) {
  write("host: " + call + " -> failed, passed over: " + failureText(failure));
}

void RunTrace::passedOver(const Failure& failure) { write("passed over: " + failureText(failure)); }

void RunTrace::outcome(std::int16_t outcome) { write("outcome: " + std::to_string(outcome)); }

}  // namespace halvik
