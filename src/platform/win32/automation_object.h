#pragma once

#include <windows.h>  // first: the other system headers rely on it

#include <oaidl.h>
#include <wrl/client.h>

#include <functional>

#include "platform/failure.h"
#include "platform/platform.h"

namespace halvik::win32 {

// The host's automation object, called late-bound by member name: the name is passed as a text
// reference and the value as a reference to a 16-bit integer, as an automation client does.
// Every call, its creation and its release included, runs on a thread of its own that can be left
// behind, so a host that never answers costs each call at most its limit; activation may start
// the host application and gets longer. After a call that never ended, or whose wait failed so
// that its end is unknown, every later call fails at once, and the object is never released: that
// call may still be using it.
class AutomationObject : public HostAutomation {
 public:
  static constexpr DWORD ActivationLimitMilliseconds = 60000;
  static constexpr DWORD CallLimitMilliseconds = 30000;

  // Throws Failure when the object cannot be created in time.
  explicit AutomationObject(const std::wstring& progId);
  ~AutomationObject() override;

  void SaveVar(const std::wstring& name, std::int16_t value) override {
    callMember(L"SaveVar", DISPATCH_METHOD, name, value);
  }
  std::optional<std::wstring> GetVar(const std::wstring& name) override {
    return callMember(L"GetVar", DISPATCH_METHOD | DISPATCH_PROPERTYGET, name);
  }
  void CreateVar(const std::wstring& name) override {
    callMember(L"CreateVar", DISPATCH_METHOD, name);
  }

 private:
  // Calls the member with the variable's name and, when given, a value; the answer when it is
  // text.
  std::optional<std::wstring> callMember(const wchar_t* member, WORD flags,
                                         const std::wstring& name,
                                         std::optional<std::int16_t> value = std::nullopt);
  void runOnHostThread(std::function<void()> call, DWORD limitMilliseconds);

  Microsoft::WRL::ComPtr<IDispatch> object_;
  // Why every call is refused, once a call may still be running.
  std::optional<Failure> refusal_;
};

}  // namespace halvik::win32
