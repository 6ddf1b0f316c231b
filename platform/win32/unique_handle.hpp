// An owned kernel handle (file, process), closed when it goes out of scope.
#pragma once

#include <utility>

#include "platform/win32/windows_api.hpp"

namespace qor::win32 {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  // Takes both of the API's "no handle" values (null and INVALID_HANDLE_VALUE).
  explicit UniqueHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  explicit operator bool() const { return handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  void reset() {
    if (handle_ != nullptr) CloseHandle(std::exchange(handle_, nullptr));
  }
  // Closes now; false when closing failed (GetLastError tells why).
  bool close() { return handle_ == nullptr || CloseHandle(std::exchange(handle_, nullptr)) != FALSE; }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace qor::win32
