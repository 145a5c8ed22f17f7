#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "platform/win32/unique_handle.h"

namespace halvik::win32 {

// Makes calls on a thread of its own, in a multithreaded COM apartment of its own, while the
// program's thread waits for each with a time limit and keeps dispatching its messages. A host
// application that never answers can then cost the program the limit, never the run: a blocked
// cross-process COM call cannot be cancelled portably (Wine ignores a message filter's request
// to cancel, and has no CoCancelCall), but it can be left behind.
//
// The program's logic stays on its one thread: only the calls made through this object run here.
// A call that runs past its limit is left running; every later call then fails at once, and the
// thread is abandoned to the end of the process. So a call must own everything it touches
// (capture by value, share by shared_ptr): it may finish after its caller has given up on it.
class CallThread {
 public:
  using Call = std::function<void()>;

  // Ending the thread, its last call included, may take at most endLimitMilliseconds.
  explicit CallThread(DWORD endLimitMilliseconds);
  // Ends the thread as end() does, unless that has been done; a failure is passed over.
  ~CallThread();
  CallThread(const CallThread&) = delete;
  CallThread& operator=(const CallThread&) = delete;

  // Runs the call on the thread and returns what it threw, as it threw it. Throws Failure when
  // the call does not end within the limit, or when an earlier call never ended.
  void run(Call call, DWORD limitMilliseconds);

  // Runs the call as the thread's last, then ends the thread, waiting for both together at most
  // the end limit: leaving the thread's COM apartment may run host code too (it may unload it).
  // Throws what the call threw, or Failure when the thread has not ended in time; it is then
  // abandoned to the end of the process. No call may be run after this.
  void end(Call lastCall);

 private:
  struct Shared;
  static DWORD WINAPI threadMain(void* shared);

  std::shared_ptr<Shared> shared_;
  UniqueHandle thread_;
  DWORD endLimitMilliseconds_;
  bool stuck_ = false;
  bool ended_ = false;
};

}  // namespace halvik::win32
