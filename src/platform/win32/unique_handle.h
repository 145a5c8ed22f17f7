#pragma once

#include <windows.h>

namespace halvik::win32 {

// Owns a handle whose "none" value is null, closing it with a closer fixed at compile time.
template <typename Handle, BOOL(WINAPI* Close)(Handle)>
class UniqueAnyHandleNull {
 public:
  UniqueAnyHandleNull() = default;
  explicit UniqueAnyHandleNull(Handle handle) : handle_(handle) {}
  ~UniqueAnyHandleNull() { reset(); }
  UniqueAnyHandleNull(const UniqueAnyHandleNull&) = delete;
  UniqueAnyHandleNull& operator=(const UniqueAnyHandleNull&) = delete;
  UniqueAnyHandleNull(UniqueAnyHandleNull&& other) noexcept : handle_(other.release()) {}
  UniqueAnyHandleNull& operator=(UniqueAnyHandleNull&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  Handle release() {
    Handle handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset(Handle handle = nullptr) {
    if (handle_ != nullptr) Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

// Process and event handles.
using UniqueHandle = UniqueAnyHandleNull<HANDLE, ::CloseHandle>;

}  // namespace halvik::win32
