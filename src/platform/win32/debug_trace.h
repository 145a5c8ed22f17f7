#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>

namespace halvik::win32 {

// The run's trace on its way to the system's debug-output stream, each line prefixed
// "halvik[<pid>]: ". While a viewer listens, OutputDebugStringW waits for it, up to some 10
// seconds a line, behind a lock that every program of the logon shares; so the lines go through a
// small bounded queue to one thread of their own that writes them. A line that finds the queue
// full is dropped and counted, and the count is written before the next line that gets through.
// Neither the run nor the program's end waits on that thread: it is never joined, and a write
// still held by a stalled viewer ends with the process.
// The thread is made for the first line somebody reads, so that a run nobody follows pays neither
// for its start nor for its end; and never once host code may be loaded, which may hold the lock a
// new thread needs at its start for good. A line read only after that is dropped.
class DebugTrace {
 public:
  static constexpr std::size_t QueuedLines = 64;
  // The most the program's end gives the thread to write what is still queued.
  static constexpr DWORD FinishLimitMilliseconds = 250;

  DebugTrace();
  // Lets the thread go, without waiting for it.
  ~DebugTrace();
  DebugTrace(const DebugTrace&) = delete;
  DebugTrace& operator=(const DebugTrace&) = delete;

  // Queues the line, or drops it; never waits for the thread.
  void write(const std::string& line);
  // Called before host code can be loaded: from then on, no thread is made for the lines.
  void makeNoMoreThreads() { mayStartWriter_ = false; }
  // Waits until the queue is written out, but at most FinishLimitMilliseconds.
  void finish();

 private:
  struct Queue;
  static void writeLines(Queue& queue);
  bool ensureWriter();

  std::shared_ptr<Queue> queue_;
  bool mayStartWriter_ = true;
  bool writerStarted_ = false;
};

}  // namespace halvik::win32
