// ScopedHandle: owns a kernel handle (event, thread, mutex, port) and closes it
// when it goes away. Both null and INVALID_HANDLE_VALUE count as "no handle".
#pragma once

#include <windows.h>

namespace qbase {

class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() { Close(); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // For functions that hand a new handle out through a pointer: the current
  // handle is closed first.
  HANDLE* Receive() {
    Close();
    return &handle_;
  }

  void Reset(HANDLE handle = nullptr) {
    Close();
    handle_ = handle;
  }
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

 private:
  void Close() {
    if (IsValid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

  HANDLE handle_ = nullptr;
};

}  // namespace qbase
