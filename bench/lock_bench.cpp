// Uncontended lock sections against a bare recursive mutex lock/unlock pair measured in the same run.
#include <benchmark/benchmark.h>

#include <mutex>

#include "framework/destroy_lock.h"
#include "framework/lock.h"

namespace sib {
namespace {

void BM_BareRecursiveMutexPair(benchmark::State& state) {
  std::recursive_mutex m;
  for (auto _ : state) {
    m.lock();
    benchmark::ClobberMemory();
    m.unlock();
  }
}
BENCHMARK(BM_BareRecursiveMutexPair);

void BM_ReadSection(benchmark::State& state) {
  auto lock = makeRef<TOWLock>();
  for (auto _ : state) {
    LockSection s = lock->ReadLock();
    benchmark::DoNotOptimize(s.get());
  }
}
BENCHMARK(BM_ReadSection);

void BM_WriteSection(benchmark::State& state) {
  auto lock = makeRef<TOWLock>();
  for (auto _ : state) {
    LockSection s = lock->WriteLock();
    benchmark::DoNotOptimize(s.get());
  }
}
BENCHMARK(BM_WriteSection);

// Three nested sections per iteration; the figure is per section.
void BM_WriteSectionNested3(benchmark::State& state) {
  auto lock = makeRef<TOWLock>();
  for (auto _ : state) {
    LockSection a = lock->WriteLock();
    LockSection b = lock->ReadLock();
    LockSection c = lock->WriteLock();
    benchmark::DoNotOptimize(c.get());
  }
  state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_WriteSectionNested3);

// A section nested in an outer one that is held throughout: the common case inside a component.
void BM_WriteSectionInsideHeld(benchmark::State& state) {
  auto lock = makeRef<TOWLock>();
  LockSection outer = lock->WriteLock();
  for (auto _ : state) {
    LockSection s = lock->WriteLock();
    benchmark::DoNotOptimize(s.get());
  }
}
BENCHMARK(BM_WriteSectionInsideHeld);

void BM_DestroyLockUse(benchmark::State& state) {
  auto lock = makeRef<TOWDestroyLock>(nullptr);
  for (auto _ : state) {
    DestroyLockSection s = lock->Lock();
    benchmark::DoNotOptimize(s.get());
  }
}
BENCHMARK(BM_DestroyLockUse);

}  // namespace
}  // namespace sib
