#include "platform/win32/call_thread.h"

#include <exception>

#include "platform/failure.h"
#include "platform/win32/com.h"
#include "platform/win32/message_pump.h"

namespace halvik::win32 {
namespace {

constexpr auto CallTimedOut = static_cast<std::uint32_t>(RPC_E_TIMEOUT);

// Waits until the handle is signalled or the limit has passed, dispatching the thread's messages
// meanwhile; true when it was signalled. The remaining time is taken from the clock on every pass.
bool waitDispatchingMessages(HANDLE handle, DWORD limitMilliseconds) {
  const ULONGLONG due = GetTickCount64() + limitMilliseconds;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const auto remaining = static_cast<DWORD>(now < due ? due - now : 0);
    switch (MsgWaitForMultipleObjects(1, &handle, FALSE, remaining, QS_ALLINPUT)) {
      case WAIT_OBJECT_0:
        return true;
      case WAIT_OBJECT_0 + 1:
        dispatchWaitingMessages();
        break;
      default:  // the time ran out, or the wait failed and cannot be retried without spinning
        return false;
    }
  }
}

}  // namespace

struct CallThread::Shared {
  UniqueHandle callReady{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle callDone{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  Call call;          // may be empty
  bool last = false;  // the thread ends after this call
  std::exception_ptr thrown;
};

CallThread::CallThread(DWORD endLimitMilliseconds)
    : shared_(std::make_shared<Shared>()), endLimitMilliseconds_(endLimitMilliseconds) {
  if (!shared_->callReady || !shared_->callDone) return;
  // The thread owns a reference of its own: it may outlive this object.
  auto threadsReference = std::make_unique<std::shared_ptr<Shared>>(shared_);
  thread_.reset(CreateThread(nullptr, 0, threadMain, threadsReference.get(), 0, nullptr));
  if (thread_) threadsReference.release();
}

CallThread::~CallThread() {
  try {
    end(nullptr);
  } catch (...) {
    // Passed over by design: a destructor has no one to tell, and a thread that did not end is
    // left to the end of the process.
  }
}

void CallThread::run(Call call, DWORD limitMilliseconds) {
  if (stuck_) throw Failure(CallTimedOut, "HalvikForm", "the host did not answer an earlier call");
  if (!thread_) {
    throw Failure(static_cast<std::uint32_t>(E_OUTOFMEMORY), "HalvikForm", "no thread for calls");
  }
  shared_->thrown = nullptr;
  shared_->call = std::move(call);
  SetEvent(shared_->callReady.get());
  if (!waitDispatchingMessages(shared_->callDone.get(), limitMilliseconds)) {
    stuck_ = true;
    throw Failure(CallTimedOut, "HalvikForm", "the host did not answer in time");
  }
  if (shared_->thrown) std::rethrow_exception(shared_->thrown);
}

void CallThread::end(Call lastCall) {
  if (ended_) return;
  ended_ = true;
  if (!thread_ || stuck_) return;  // a stuck thread is left to the end of the process
  shared_->thrown = nullptr;
  shared_->call = std::move(lastCall);
  shared_->last = true;
  SetEvent(shared_->callReady.get());
  if (!waitDispatchingMessages(thread_.get(), endLimitMilliseconds_)) {
    stuck_ = true;
    throw Failure(CallTimedOut, "HalvikForm", "the call thread did not end in time");
  }
  if (shared_->thrown) std::rethrow_exception(shared_->thrown);
}

DWORD WINAPI CallThread::threadMain(void* threadsReference) {
  const std::unique_ptr<std::shared_ptr<Shared>> owned(
      static_cast<std::shared_ptr<Shared>*>(threadsReference));
  Shared& shared = **owned;
  const ComApartment apartment(COINIT_MULTITHREADED);
  for (;;) {
    WaitForSingleObject(shared.callReady.get(), INFINITE);
    try {
      if (shared.call) shared.call();
    } catch (...) {
      shared.thrown = std::current_exception();  // handed to the waiting caller
    }
    shared.call = nullptr;  // what the call owns is released here, in the apartment that used it
    if (shared.last) return 0;  // the caller waits for the thread itself, apartment left
    SetEvent(shared.callDone.get());
  }
}

}  // namespace halvik::win32
