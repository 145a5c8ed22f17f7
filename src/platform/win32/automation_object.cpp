#include "platform/win32/automation_object.h"

#include <oleauto.h>

#include <memory>

#include "platform/failure.h"
#include "platform/win32/abandonable_call.h"
#include "platform/win32/com.h"
#include "platform/win32/system_failure.h"

namespace halvik::win32 {
namespace {

VARIANTARG textReference(UniqueBstr& text) {
  VARIANTARG argument;
  VariantInit(&argument);
  argument.vt = VT_BYREF | VT_BSTR;
  argument.pbstrVal = text.addressof();
  return argument;
}

VARIANTARG integerReference(SHORT& value) {
  VARIANTARG argument;
  VariantInit(&argument);
  argument.vt = VT_BYREF | VT_I2;
  argument.piVal = &value;
  return argument;
}

}  // namespace

AutomationObject::AutomationObject(const std::wstring& progId) {
  // The object belongs to the call until it ends in time: a late one must not write here.
  const auto created = std::make_shared<Microsoft::WRL::ComPtr<IDispatch>>();
  runOnHostThread(
      [created, progId] {
        CLSID classId;
        throwIfFailed(CLSIDFromProgID(progId.c_str(), &classId), "CLSIDFromProgID",
                      "no such automation object");
        throwIfFailed(CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch,
                                       reinterpret_cast<void**>(created->GetAddressOf())),
                      "CoCreateInstance", "the automation object could not be created");
      },
      ActivationLimitMilliseconds);
  object_ = std::move(*created);
}

AutomationObject::~AutomationObject() {
  // A call that never ended may still be using the object, and a release could wait for it: the
  // reference is kept to the end of the process.
  if (refusal_) object_.Detach();
  if (!object_) return;
  // Releasing the object is a call on the host too, and may run its teardown.
  try {
    runOnHostThread([object = object_.Detach()] { object->Release(); }, CallLimitMilliseconds);
  } catch (...) {
    // Passed over by design, whatever it was: the run is over, and a release that failed or never
    // ended is left to the end of the process, which does not wait for it.
  }
}

std::optional<std::wstring> AutomationObject::callMember(const wchar_t* member, WORD flags,
                                                         const std::wstring& name,
                                                         std::optional<std::int16_t> value) {
  // The answer belongs to the call: a late one must not write where this caller has moved on.
  const auto answer = std::make_shared<std::optional<std::wstring>>();
  // The object itself is safe to use from the call: it is released only after calls that ended.
  runOnHostThread(
      [object = object_.Get(), member, flags, name, value, answer] {
        LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
        DISPID memberId = DISPID_UNKNOWN;
        throwIfFailed(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &memberId),
                      "IDispatch::GetIDsOfNames", "no such member");

        UniqueBstr nameText(name);
        SHORT valueCopy = value.value_or(0);
        // Automation passes arguments last first.
        VARIANTARG arguments[] = {integerReference(valueCopy), textReference(nameText)};
        const UINT count = value ? 2 : 1;
        DISPPARAMS parameters{arguments + 2 - count, nullptr, count, 0};
        UniqueVariant result;
        UniqueExcepInfo exception;
        UINT badArgument = 0;
        throwIfFailed(object->Invoke(memberId, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                     result.get(), exception.get(), &badArgument),
                      "IDispatch::Invoke", "the automation call failed");
        // Text passed by reference is text all the same.
        UniqueVariant text;
        throwIfFailed(VariantCopyInd(text.get(), result.get()), "VariantCopyInd",
                      "the answer could not be read");
        if ((*text).vt == VT_BSTR) {
          *answer = std::wstring((*text).bstrVal, SysStringLen((*text).bstrVal));
        }
      },
      CallLimitMilliseconds);
  return *answer;
}

void AutomationObject::runOnHostThread(std::function<void()> call, DWORD limitMilliseconds) {
  constexpr auto CallTimedOut = static_cast<std::uint32_t>(RPC_E_TIMEOUT);
  if (refusal_) throw *refusal_;
  const HandleWaitEnd waited = runAbandonableCall(std::move(call), limitMilliseconds);
  switch (waited.end) {
    case HandleWaitEnd::Signalled:
      return;
    case HandleWaitEnd::TimedOut:
      refusal_.emplace(CallTimedOut, "host call", "an earlier call never ended");
      throw Failure(CallTimedOut, "host call", "the host did not answer in time");
    case HandleWaitEnd::Failed:
      refusal_ = systemFailure(waited.error, "host call", "an earlier call's wait failed");
      throw systemFailure(waited.error, "WaitForSingleObject", "the wait for the host call failed");
  }
}

}  // namespace halvik::win32
