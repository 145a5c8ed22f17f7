#include "platform/win32/debug_trace.h"

#include <deque>
#include <utility>

#include "platform/win32/system_thread.h"
#include "platform/win32/unique_handle.h"

namespace halvik::win32 {

struct QueuedLine {
  std::size_t droppedBefore = 0;
  std::string text;
};

// Shared by the program's thread and the trace thread: either may be the last to let go of it.
struct DebugTrace::Queue {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE lineQueued = CONDITION_VARIABLE_INIT;
  // Set while nothing is queued or being written. An event, so that the end waits for it with a
  // plain timed wait: the program's last moment depends on no lock the writer takes.
  UniqueHandle writtenOut{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
  std::deque<QueuedLine> lines;
  std::size_t dropped = 0;
  bool closed = false;
  std::wstring prefix = L"halvik[" + std::to_wstring(GetCurrentProcessId()) + L"]: ";
};

namespace {

// Holds the lock exclusively for its scope.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  SRWLOCK& lock_;
};

// Whether anybody reads the stream: a debugger of this process, or a viewer, which makes the
// stream's "buffer ready" event under the name OutputDebugStringW looks for (an event that exists
// but may not be opened is a viewer's all the same). Asking costs a fraction of writing a line,
// which raises an exception for a debugger and then looks for the viewer's objects itself; so a
// line nobody reads is never queued, and no thread is made for it.
bool anybodyListens() {
  if (IsDebuggerPresent()) return true;
  const UniqueHandle ready(OpenEventW(SYNCHRONIZE, FALSE, L"DBWIN_BUFFER_READY"));
  return ready || GetLastError() == ERROR_ACCESS_DENIED;
}

// The line is ASCII, so widening it character by character is exact.
void output(const std::wstring& prefix, const std::string& line) {
  const std::wstring text = prefix + std::wstring(line.begin(), line.end()) + L"\n";
  OutputDebugStringW(text.c_str());
}

}  // namespace

// The lock is never held across a write, which may wait for a viewer.
void DebugTrace::writeLines(Queue& queue) {
  for (;;) {
    QueuedLine line;
    {
      const ExclusiveLock held(queue.lock);
      if (queue.lines.empty()) SetEvent(queue.writtenOut.get());
      while (!queue.closed && queue.lines.empty()) {
        SleepConditionVariableSRW(&queue.lineQueued, &queue.lock, INFINITE, 0);
      }
      if (queue.closed) return;
      line = std::move(queue.lines.front());
      queue.lines.pop_front();
    }
    if (line.droppedBefore > 0) {
      output(queue.prefix, std::to_string(line.droppedBefore) + " trace lines dropped");
    }
    output(queue.prefix, line.text);
  }
}

DebugTrace::DebugTrace() : queue_(std::make_shared<Queue>()) {}

// Asks for the thread at the first call that still may. False while none was ever asked for;
// true once one was, and if the system refused it, the closed queue drops every line.
bool DebugTrace::ensureWriter() {
  if (!writerStarted_ && mayStartWriter_) {
    writerStarted_ = true;
    if (startThread([queue = queue_] { writeLines(*queue); }) != ERROR_SUCCESS) {
      queue_->closed = true;
    }
  }
  return writerStarted_;
}

DebugTrace::~DebugTrace() {
  const ExclusiveLock held(queue_->lock);
  queue_->closed = true;
  WakeConditionVariable(&queue_->lineQueued);
}

void DebugTrace::write(const std::string& line) {
  if (!anybodyListens() || !ensureWriter()) return;
  const ExclusiveLock held(queue_->lock);
  if (queue_->closed || queue_->lines.size() >= QueuedLines) {
    ++queue_->dropped;
    return;
  }
  queue_->lines.push_back({std::exchange(queue_->dropped, 0), line});
  ResetEvent(queue_->writtenOut.get());
  WakeConditionVariable(&queue_->lineQueued);
}

// Without an event, the wait fails at once.
void DebugTrace::finish() {
  WaitForSingleObject(queue_->writtenOut.get(), FinishLimitMilliseconds);
}

}  // namespace halvik::win32
