#pragma once

#include <windows.h>  // first: the other system headers rely on it

#include <oleauto.h>

#include <string>

#include "platform/win32/system_failure.h"

namespace halvik::win32 {

// Initialises COM for the thread in the given apartment model and uninitialises it at the end.
class ComApartment {
 public:
  explicit ComApartment(COINIT model) : initialised_(SUCCEEDED(CoInitializeEx(nullptr, model))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

class UniqueBstr {
 public:
  // Throws Failure when the text cannot be allocated: a null BSTR would pass as empty text.
  explicit UniqueBstr(const std::wstring& text)
      : bstr_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (bstr_ == nullptr) throwOutOfMemory("SysAllocStringLen");
  }
  ~UniqueBstr() { SysFreeString(bstr_); }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;

  BSTR get() const { return bstr_; }
  BSTR* addressof() { return &bstr_; }

 private:
  BSTR bstr_;
};

class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&variant_); }
  ~UniqueVariant() { VariantClear(&variant_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;

  VARIANT* get() { return &variant_; }
  const VARIANT& operator*() const { return variant_; }

 private:
  VARIANT variant_;
};

// The strings an automation call may hand back in its exception information.
class UniqueExcepInfo {
 public:
  UniqueExcepInfo() : info_() {}
  ~UniqueExcepInfo() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
  }
  UniqueExcepInfo(const UniqueExcepInfo&) = delete;
  UniqueExcepInfo& operator=(const UniqueExcepInfo&) = delete;

  EXCEPINFO* get() { return &info_; }

 private:
  EXCEPINFO info_;
};

}  // namespace halvik::win32
