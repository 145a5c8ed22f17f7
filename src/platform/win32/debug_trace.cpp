#include "platform/win32/debug_trace.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace halvik::win32 {

struct QueuedLine {
  std::size_t droppedBefore;
  std::string text;
};

// Shared by the program's thread and the trace thread: either may be the last to let go of it.
struct DebugTrace::Queue {
  std::mutex mutex;
  std::condition_variable lineQueued;
  std::condition_variable writtenOut;
  std::deque<QueuedLine> lines;
  std::size_t dropped = 0;
  bool writing = false;
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
    queue->writing = true;
    lock.unlock();
    if (line.droppedBefore > 0) {
      output(queue->prefix, std::to_string(line.droppedBefore) + " trace lines dropped");
    }
    output(queue->prefix, line.text);
    lock.lock();
    queue->writing = false;
    queue->writtenOut.notify_all();
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
  queue_->lineQueued.notify_one();
}

void DebugTrace::finish() {
  std::unique_lock<std::mutex> lock(queue_->mutex);
  queue_->writtenOut.wait_for(lock, std::chrono::milliseconds(FinishLimitMilliseconds), [&] {
    return queue_->closed || (queue_->lines.empty() && !queue_->writing);
  });
}

}  // namespace halvik::win32
