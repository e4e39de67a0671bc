// Recycled<T>: class-specific allocation that keeps a few freed blocks of T per thread for reuse.
// For small objects created and freed at a high rate, such as lock sections, where the general heap
// would cost more than the work the object does. Put it as a base of the most-derived class only.
#pragma once

#include <cstddef>
#include <new>

namespace sib {

template <class T, std::size_t Keep = 16>
class Recycled {
 public:
  static void* operator new(std::size_t size) {
    Cache& cache = threadCache();
    if (size == sizeof(T) && cache.count > 0) return cache.blocks[--cache.count];
    return ::operator new(size);
  }
  static void operator delete(void* block, std::size_t size) {
    Cache& cache = threadCache();
    if (size == sizeof(T) && cache.count < Keep) {
      cache.blocks[cache.count++] = block;
      return;
    }
    ::operator delete(block);
  }

 private:
  struct Cache {
    void* blocks[Keep];
    std::size_t count = 0;
    ~Cache() {
      while (count > 0) ::operator delete(blocks[--count]);
    }
  };
  static Cache& threadCache() {
    thread_local Cache cache;
    return cache;
  }
};

}  // namespace sib
