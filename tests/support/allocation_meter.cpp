#include "tests/support/allocation_meter.hpp"

#include <atomic>
#include <new>

#include "tests/support/allocation_calls.hpp"

namespace qor::test {
namespace {

std::atomic<std::size_t> live_bytes{0};
std::atomic<std::size_t> peak_bytes{0};

void* allocate(std::size_t n, std::size_t alignment) {
  void* p = allocate_block(n == 0 ? 1 : n, alignment);
  if (p == nullptr) return nullptr;
  const std::size_t now = live_bytes += block_size(p, alignment);
  std::size_t peak = peak_bytes.load();
  while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {
  }
  return p;
}

void release(void* p, std::size_t alignment = 0) {
  if (p == nullptr) return;
  live_bytes -= block_size(p, alignment);
  free_block(p, alignment);
}

}  // namespace

std::size_t AllocationMeter::live() { return live_bytes.load(); }
std::size_t AllocationMeter::peak() { return peak_bytes.load(); }
void AllocationMeter::reset_peak() { peak_bytes.store(live_bytes.load()); }

}  // namespace qor::test

using qor::test::allocate;
using qor::test::release;

void* operator new(std::size_t n) {
  if (void* p = allocate(n, 0)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, std::align_val_t a) {
  if (void* p = allocate(n, static_cast<std::size_t>(a))) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n, std::align_val_t a) { return operator new(n, a); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, 0); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t a) noexcept { release(p, static_cast<std::size_t>(a)); }
void operator delete[](void* p, std::align_val_t a) noexcept { release(p, static_cast<std::size_t>(a)); }
void operator delete(void* p, std::size_t, std::align_val_t a) noexcept { release(p, static_cast<std::size_t>(a)); }
void operator delete[](void* p, std::size_t, std::align_val_t a) noexcept { release(p, static_cast<std::size_t>(a)); }
