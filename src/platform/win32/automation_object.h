#pragma once

#include <windows.h>  // first: the other system headers rely on it

#include <oaidl.h>
#include <wrl/client.h>

#include "platform/platform.h"

namespace halvik::win32 {

// The host's automation object, called late-bound by member name: the name is passed as a text
// reference and the value as a reference to a 16-bit integer, as an automation client does.
class AutomationObject : public HostAutomation {
 public:
  // Throws Failure when the object cannot be created.
  explicit AutomationObject(const std::wstring& progId);

  void SaveVar(const std::wstring& name, std::int16_t value) override;
  std::optional<std::wstring> GetVar(const std::wstring& name) override;
  void CreateVar(const std::wstring& name) override;

 private:
  void invoke(const wchar_t* member, WORD flags, VARIANTARG* argumentsLastFirst, UINT argumentCount,
              VARIANT* result);

  Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

}  // namespace halvik::win32
