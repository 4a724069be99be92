// Memory for large buffers that are filled once from start to end (a file being
// read, the text area of a table being loaded). Such a buffer is mapped on a
// 2 MB boundary and offered to the kernel for huge pages, so filling 8 MB costs a
// handful of page faults instead of two thousand small ones. Where huge pages
// are not available it is ordinary mapped memory.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

namespace wayfind::platform {

// Buffers at least this large are worth mapping this way.
inline constexpr size_t kLargeBufferBytes = size_t{2} << 20;

// A buffer of bytes bytes, or nullptr when the memory cannot be had.
void* allocateLarge(size_t bytes);
// Gives back the pages beyond keep bytes (keep > 0) of a buffer of bytes bytes;
// answers the bytes the buffer still holds.
size_t shrinkLarge(void* buffer, size_t bytes, size_t keep);
void freeLarge(void* buffer, size_t bytes);

// Offers the whole 2 MB pages inside a block that malloc or new handed out (a
// large vector's room, reserved before it is filled) to the kernel for huge
// pages. Only worth it before the block's pages are first written; blocks
// smaller than two huge pages are left alone.
void adviseHugePages(const void* block, size_t bytes);

// An allocator for a vector that may grow large (the arrays of a build): from
// kLargeBufferBytes on, its room is allocateLarge's, in huge pages from the
// first byte (the last part short of a huge page in small ones, so that what
// the vector holds is what it takes); below that, the heap's.
template <class T>
struct LargeAllocator {
  static_assert(alignof(T) <= alignof(std::max_align_t));
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) {}

  T* allocate(size_t n) {
    void* p = large(n) ? allocateLarge(n * sizeof(T)) : std::malloc(n * sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) {
    if (large(n)) {
      freeLarge(p, n * sizeof(T));
    } else {
      std::free(p);
    }
  }
  friend bool operator==(const LargeAllocator&, const LargeAllocator&) { return true; }

 private:
  static bool large(size_t n) { return n * sizeof(T) >= kLargeBufferBytes; }
};
template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

// Room for a vector about to be filled with n elements, offered for huge pages
// when it is large.
template <class Vector>
void reserveLarge(Vector& v, size_t n) {
  v.reserve(n);
  adviseHugePages(v.data(), v.capacity() * sizeof(*v.data()));
}

}  // namespace wayfind::platform
