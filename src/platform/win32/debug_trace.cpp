#include "platform/win32/debug_trace.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/win32/unique_handle.h"

namespace halvik::win32 {

struct QueuedLine {
  std::size_t droppedBefore;
  std::string text;
};

// Shared by the program's thread and the trace thread: either may be the last to let go of it.
struct DebugTrace::Queue {
  std::mutex mutex;
  std::condition_variable lineQueued;
  // Set while nothing is queued or being written. An event, not a condition variable: the runtime's
  // timed wait on one looks up system functions, which takes the loader lock, and a host stuck in
  // loading holds that lock for good.
  UniqueHandle writtenOut{CreateEventW(nullptr, TRUE, TRUE, nullptr)};
  std::deque<QueuedLine> lines;
  std::size_t dropped = 0;
  bool closed = false;
  std::wstring prefix = L"halvik[" + std::to_wstring(GetCurrentProcessId()) + L"]: ";
};

namespace {

// The line is ASCII, so widening it character by character is exact.
void output(const std::wstring& prefix, const std::string& line) {
  const std::wstring text = prefix + std::wstring(line.begin(), line.end()) + L"\n";
  OutputDebugStringW(text.c_str());
}

}  // namespace

// The lock is never held across a write, which may wait for a viewer.
void DebugTrace::writeLines(const std::shared_ptr<Queue>& queue) {
  std::unique_lock<std::mutex> lock(queue->mutex);
  for (;;) {
    queue->lineQueued.wait(lock, [&] { return queue->closed || !queue->lines.empty(); });
    if (queue->closed) return;
    const QueuedLine line = std::move(queue->lines.front());
    queue->lines.pop_front();
    lock.unlock();
    if (line.droppedBefore > 0) {
      output(queue->prefix, std::to_string(line.droppedBefore) + " trace lines dropped");
    }
    output(queue->prefix, line.text);
    lock.lock();
    if (queue->lines.empty()) SetEvent(queue->writtenOut.get());
  }
}

DebugTrace::DebugTrace() : queue_(std::make_shared<Queue>()) {
  try {
    std::thread([queue = queue_] { writeLines(queue); }).detach();
  } catch (const std::system_error&) {
    queue_->closed = true;  // no thread: every line is dropped
  }
}

DebugTrace::~DebugTrace() {
  const std::lock_guard<std::mutex> lock(queue_->mutex);
  queue_->closed = true;
  queue_->lineQueued.notify_one();
}

void DebugTrace::write(const std::string& line) {
  const std::lock_guard<std::mutex> lock(queue_->mutex);
  if (queue_->closed || queue_->lines.size() >= QueuedLines) {
    ++queue_->dropped;
    return;
  }
  queue_->lines.push_back({std::exchange(queue_->dropped, 0), line});
  ResetEvent(queue_->writtenOut.get());
  queue_->lineQueued.notify_one();
}

// Without an event, the wait fails at once.
void DebugTrace::finish() {
  WaitForSingleObject(queue_->writtenOut.get(), FinishLimitMilliseconds);
}

}  // namespace halvik::win32
