#pragma once

#include <windows.h>  // first: the other system headers rely on it

#include <oaidl.h>
#include <wrl/client.h>

#include <memory>

#include "platform/platform.h"
#include "platform/win32/call_thread.h"

namespace halvik::win32 {

// The host's automation object, called late-bound by member name: the name is passed as a text
// reference and the value as a reference to a 16-bit integer, as an automation client does.
// Every call is made on a call thread of its own, so a host that never answers costs each call at
// most its limit: activation may start the host application and gets longer.
class AutomationObject : public HostAutomation {
 public:
  static constexpr DWORD ActivationLimitMilliseconds = 60000;
  static constexpr DWORD CallLimitMilliseconds = 30000;

  // Throws Failure when the object cannot be created in time.
  explicit AutomationObject(const std::wstring& progId);
  ~AutomationObject() override;

  void SaveVar(const std::wstring& name, std::int16_t value) override;
  std::optional<std::wstring> GetVar(const std::wstring& name) override;
  void CreateVar(const std::wstring& name) override;

 private:
  using Dispatch = Microsoft::WRL::ComPtr<IDispatch>;

  CallThread thread_{CallLimitMilliseconds};
  // Used and released only on the call thread; shared with the calls, which may outlive this.
  std::shared_ptr<Dispatch> dispatch_ = std::make_shared<Dispatch>();
};

}  // namespace halvik::win32
