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

}  // namespace

AutomationObject::AutomationObject(const std::wstring& progId) {
  CLSID classId;
  throwIfFailed(CLSIDFromProgID(progId.c_str(), &classId), "no such automation object");
  throwIfFailed(CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch,
                                 reinterpret_cast<void**>(dispatch_.GetAddressOf())),
                "automation object could not be created");
}

void AutomationObject::SaveVar(const std::wstring& name, std::int16_t value) {
  UniqueBstr nameText(name);
  SHORT valueCopy = value;
  // Automation passes arguments last first.
  VARIANTARG arguments[] = {integerReference(valueCopy), textReference(nameText)};
  invoke(L"SaveVar", DISPATCH_METHOD, arguments, 2, nullptr);
}

std::optional<std::wstring> AutomationObject::GetVar(const std::wstring& name) {
  UniqueBstr nameText(name);
  VARIANTARG arguments[] = {textReference(nameText)};
  UniqueVariant answer;
  invoke(L"GetVar", DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments, 1, answer.get());
  // Text passed by reference is text all the same.
  UniqueVariant value;
  throwIfFailed(VariantCopyInd(value.get(), answer.get()), "answer could not be read");
  if ((*value).vt != VT_BSTR) return std::nullopt;
  return std::wstring((*value).bstrVal, SysStringLen((*value).bstrVal));
}

void AutomationObject::CreateVar(const std::wstring& name) {
  UniqueBstr nameText(name);
  VARIANTARG arguments[] = {textReference(nameText)};
  invoke(L"CreateVar", DISPATCH_METHOD, arguments, 1, nullptr);
}

void AutomationObject::invoke(const wchar_t* member, WORD flags, VARIANTARG* argumentsLastFirst,
                              UINT argumentCount, VARIANT* result) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
  DISPID memberId = DISPID_UNKNOWN;
  throwIfFailed(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &memberId),
                "no such member");

  DISPPARAMS parameters{argumentsLastFirst, nullptr, argumentCount, 0};
  UniqueExcepInfo exception;
  UINT badArgument = 0;
  const HRESULT invoked = dispatch_->Invoke(memberId, IID_NULL, LOCALE_USER_DEFAULT, flags,
                                            &parameters, result, exception.get(), &badArgument);
  throwIfFailed(invoked, "automation call failed");
}

}  // namespace halvik::win32
