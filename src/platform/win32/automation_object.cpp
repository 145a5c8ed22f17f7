#include "platform/win32/automation_object.h"

#include <oleauto.h>

#include "platform/failure.h"
#include "platform/win32/com.h"

namespace halvik::win32 {
namespace {

void throwIfFailed(HRESULT result, const char* what) {
  if (FAILED(result)) throw Failure(static_cast<std::uint32_t>(result), "HalvikForm", what);
}

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

void invoke(IDispatch& object, const wchar_t* member, WORD flags, VARIANTARG* argumentsLastFirst,
            UINT argumentCount, VARIANT* result) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
  DISPID memberId = DISPID_UNKNOWN;
  throwIfFailed(object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &memberId),
                "no such member");

  DISPPARAMS parameters{argumentsLastFirst, nullptr, argumentCount, 0};
  UniqueExcepInfo exception;
  UINT badArgument = 0;
  const HRESULT invoked = object.Invoke(memberId, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                        result, exception.get(), &badArgument);
  throwIfFailed(invoked, "automation call failed");
}

}  // namespace

AutomationObject::AutomationObject(const std::wstring& progId) {
  thread_.run(
      [dispatch = dispatch_, progId] {
        CLSID classId;
        throwIfFailed(CLSIDFromProgID(progId.c_str(), &classId), "no such automation object");
        throwIfFailed(CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch,
                                       reinterpret_cast<void**>(dispatch->GetAddressOf())),
                      "automation object could not be created");
      },
      ActivationLimitMilliseconds);
}

AutomationObject::~AutomationObject() {
  // Releasing the object is a call on the host too, and so is the end of the call thread, whose
  // leaving its apartment may unload the host's code: the two share one call limit.
  try {
    thread_.end([dispatch = dispatch_] { dispatch->Reset(); });
  } catch (...) {
    // Passed over by design, whatever it is: the run is over, and a release that failed or a
    // thread that did not end is left to the end of the process, which does not wait for it.
  }
}

void AutomationObject::SaveVar(const std::wstring& name, std::int16_t value) {
  thread_.run(
      [dispatch = dispatch_, name, value] {
        UniqueBstr nameText(name);
        SHORT valueCopy = value;
        // Automation passes arguments last first.
        VARIANTARG arguments[] = {integerReference(valueCopy), textReference(nameText)};
        invoke(*dispatch->Get(), L"SaveVar", DISPATCH_METHOD, arguments, 2, nullptr);
      },
      CallLimitMilliseconds);
}

std::optional<std::wstring> AutomationObject::GetVar(const std::wstring& name) {
  // The answer belongs to the call: a late one must not write where this caller has moved on.
  auto answer = std::make_shared<std::optional<std::wstring>>();
  thread_.run(
      [dispatch = dispatch_, name, answer] {
        UniqueBstr nameText(name);
        VARIANTARG arguments[] = {textReference(nameText)};
        UniqueVariant result;
        invoke(*dispatch->Get(), L"GetVar", DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments, 1,
               result.get());
        // Text passed by reference is text all the same.
        UniqueVariant value;
        throwIfFailed(VariantCopyInd(value.get(), result.get()), "answer could not be read");
        if ((*value).vt == VT_BSTR) {
          *answer = std::wstring((*value).bstrVal, SysStringLen((*value).bstrVal));
        }
      },
      CallLimitMilliseconds);
  return *answer;
}

void AutomationObject::CreateVar(const std::wstring& name) {
  thread_.run(
      [dispatch = dispatch_, name] {
        UniqueBstr nameText(name);
        VARIANTARG arguments[] = {textReference(nameText)};
        invoke(*dispatch->Get(), L"CreateVar", DISPATCH_METHOD, arguments, 1, nullptr);
      },
      CallLimitMilliseconds);
}

}  // namespace halvik::win32
