#include "platform/win32/abandonable_call.h"

#include <exception>
#include <memory>
#include <system_error>
#include <thread>

#include "platform/failure.h"
#include "platform/win32/com.h"
#include "platform/win32/last_error.h"
#include "platform/win32/message_wait.h"
#include "platform/win32/unique_handle.h"

namespace halvik::win32 {

bool runAbandonableCall(std::function<void()> call, DWORD limitMilliseconds) {
  // Shared by the caller and the thread: either may be the last to let go of it.
  struct Run {
    std::function<void()> call;
    std::exception_ptr thrown;
    UniqueHandle ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  };
  const auto run = std::make_shared<Run>();
  run->call = std::move(call);
  if (!run->ended) throwLastError("CreateEventW", "no event for a call");
  try {
    std::thread([run] {
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
    }).detach();
  } catch (const std::system_error&) {
    throw Failure(static_cast<std::uint32_t>(E_OUTOFMEMORY), "CreateThread",
                  "no thread for a call");
  }
  if (!waitDispatchingMessages(run->ended.get(), limitMilliseconds)) return false;
  if (run->thrown) std::rethrow_exception(run->thrown);
  return true;
}

}  // namespace halvik::win32
