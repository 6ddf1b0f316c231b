// COM for the length of one use: the apartment and owned interface
// pointers.
#pragma once

#include <utility>

#include "platform/win32/windows_api.hpp"

namespace qor::win32 {

// COM initialised on this thread for the object's lifetime. A thread that
// already has another apartment kind keeps it; COM is usable either way.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// An owned interface pointer, released when it goes out of scope.
template <class Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // Where a creating call puts the pointer (void** as CoCreateInstance and
  // QueryInterface take it); the pointer held before is released.
  void** put() {
    if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
    return reinterpret_cast<void**>(&pointer_);
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace qor::win32
