// The block pool against the general heap: taking and returning a 4 KiB block, the pool's steady
// state, beside malloc/free of the same size in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "signal/buffer_pool.h"
#include "signal/real_buffer.h"

namespace sib {
namespace {

constexpr std::uint32_t kBlock = 4096;

void BM_PoolAllocateRelease4KiB(benchmark::State& state) {
  TSLSmartBufferManager& pool = TSLSmartBufferManager::Instance();
  pool.Deallocate(pool.Allocate(kBlock), kBlock);
  for (auto _ : state) {
    void* block = pool.Allocate(kBlock);
    benchmark::DoNotOptimize(block);
    pool.Deallocate(block, kBlock);
  }
}
BENCHMARK(BM_PoolAllocateRelease4KiB);

void BM_MallocFree4KiB(benchmark::State& state) {
  for (auto _ : state) {
    void* block = std::malloc(kBlock);
    benchmark::DoNotOptimize(block);
    std::free(block);
  }
}
BENCHMARK(BM_MallocFree4KiB);

// A whole buffer: the block object and its memory from the pool, the buffer object from the heap.
void BM_RealBufferCreateRelease(benchmark::State& state) {
  for (auto _ : state) {
    RefPtr<TSLRealBuffer> buffer = TSLRealBuffer::CreateSize(kBlock / sizeof(double));
    benchmark::DoNotOptimize(buffer.get());
  }
}
BENCHMARK(BM_RealBufferCreateRelease);

}  // namespace
}  // namespace sib
