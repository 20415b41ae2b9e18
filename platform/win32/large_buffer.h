// large_buffer.h — memory for the platform's large buffers: texture levels
// and sound buffers.
//
// Provides: platform::LargeBufferAllocator, a standard allocator, and
// platform::LargeBuffer<T>, a vector that uses it. A new program touches
// every page of its textures and sounds once, and on some virtual machines
// the first touch of each 4 KiB page costs far more than filling it: there
// start-up spent most of its time in page faults. Blocks of kLargeBlockBytes
// and more are mapped on their own, 2 MiB aligned and rounded up to whole
// 2 MiB, and offered to the kernel for transparent huge pages, so it can map
// them 2 MiB at a time (where it cannot, it maps 4 KiB pages as before; the
// contents are the same). Smaller blocks come from the heap.
// Depends on: the C++ standard library; mmap and madvise on Linux.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>

#include <cstdint>
#define VELMORA_LARGE_BUFFER_PAGES 1
#endif

namespace platform {

constexpr size_t kHugePageBytes = size_t{2} << 20;
constexpr size_t kLargeBlockBytes = size_t{1} << 20;

// The bytes mapped for a block of `bytes`: whole huge pages for a large
// block, 0 for one the heap gives.
constexpr size_t LargeBlockMapping(size_t bytes) {
  if (bytes < kLargeBlockBytes) return 0;
  return (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
}

#if defined(VELMORA_LARGE_BUFFER_PAGES)
// Maps `mapped` bytes (a multiple of kHugePageBytes) at a huge page boundary;
// null when the system refuses.
inline void* MapLargeBlock(size_t mapped) {
  // Map one huge page more than needed and give back what lies before the
  // first boundary and after the block.
  const size_t reserve = mapped + kHugePageBytes;
  void* raw = mmap(nullptr, reserve, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t end = start + reserve;
  if (end > aligned + mapped) munmap(reinterpret_cast<void*>(aligned + mapped), end - (aligned + mapped));
  void* block = reinterpret_cast<void*>(aligned);
  madvise(block, mapped, MADV_HUGEPAGE);  // advice only: without it the block still works
  return block;
}
#endif

template <class T>
class LargeBufferAllocator {
 public:
  using value_type = T;

  LargeBufferAllocator() = default;
  template <class U>
  LargeBufferAllocator(const LargeBufferAllocator<U>&) noexcept {}

  T* allocate(size_t n) {
    // Room for the rounding and the alignment on top, so no size wraps.
    if (n > (static_cast<size_t>(-1) - 2 * kHugePageBytes) / sizeof(T)) throw std::bad_array_new_length();
#if defined(VELMORA_LARGE_BUFFER_PAGES)
    if (const size_t mapped = LargeBlockMapping(n * sizeof(T))) {
      void* block = MapLargeBlock(mapped);
      if (block == nullptr) throw std::bad_alloc();
      return static_cast<T*>(block);
    }
#endif
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }

  void deallocate(T* p, size_t n) noexcept {
#if defined(VELMORA_LARGE_BUFFER_PAGES)
    if (const size_t mapped = LargeBlockMapping(n * sizeof(T))) {
      munmap(p, mapped);
      return;
    }
#else
    static_cast<void>(n);
#endif
    ::operator delete(p);
  }

  template <class U>
  bool operator==(const LargeBufferAllocator<U>&) const noexcept {
    return true;
  }
};

template <class T>
using LargeBuffer = std::vector<T, LargeBufferAllocator<T>>;

}  // namespace platform
