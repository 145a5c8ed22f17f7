#include "platform/win32/abandonable_call.h"

#include <exception>
#include <memory>

#include "platform/win32/com.h"
#include "platform/win32/system_failure.h"
#include "platform/win32/system_thread.h"
#include "platform/win32/unique_handle.h"

namespace halvik::win32 {

HandleWaitEnd runAbandonableCall(std::function<void()> call, DWORD limitMilliseconds) {
  // Shared by the caller and the thread: either may be the last to let go of it.
  struct Run {
    std::function<void()> call;
    std::exception_ptr thrown;
    UniqueHandle ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  };
  const auto run = std::make_shared<Run>();
  run->call = std::move(call);
  if (!run->ended) throwLastError("CreateEventW", "no event for a call");
  const DWORD noThread = startThread([run] {
    {
      const ComApartment apartment(COINIT_MULTITHREADED);
      try {
        run->call();
      } catch (...) {
        run->thrown = std::current_exception();  // handed to the waiting caller
      }
      run->call = nullptr;  // what the call owns is released in the apartment that used it
    }
    SetEvent(run->ended.get());
  });
  if (noThread != ERROR_SUCCESS) {
    throw systemFailure(noThread, "_beginthreadex", "no thread for a call");
  }
  const HandleWaitEnd waited = waitDispatchingMessages(run->ended.get(), limitMilliseconds);
  if (waited.end == HandleWaitEnd::Signalled && run->thrown) std::rethrow_exception(run->thrown);
  return waited;
}

}  // namespace halvik::win32
