// The amplifier's hot path and copy on write, each beside its baseline in the same run:
// MultiplyReal on a 1024-frame stereo 16-bit block in cache against memcpy of the same 4 KiB, and
// MakeCopy + Unique(True) on a shared block against allocating and copying the same bytes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "audio/audio_buffer.h"

namespace sib {
namespace {

constexpr std::uint32_t kFrames = 1024;
constexpr std::size_t kBytes = kFrames * 4;

RefPtr<TALAudioBuffer> noiseBlock() {
  std::vector<std::int16_t> samples(kFrames * 2);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (auto& s : samples) s = static_cast<std::int16_t>(sample(random));
  return TALAudioBuffer::CreateData(samples.data(), 44100, 16, 2, kFrames);
}

void BM_Memcpy4KiB(benchmark::State& state) {
  // Source and target a little more than 4 KiB apart: at exactly 4 KiB every load would wait on the
  // store to the same cache set (4K aliasing) and the baseline would be far slower than memcpy is.
  std::vector<std::uint8_t> arena(2 * kBytes + 256, 1);
  const std::uint8_t* from = arena.data();
  std::uint8_t* to = arena.data() + kBytes + 256;
  for (auto _ : state) {
    std::memcpy(to, from, kBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_Memcpy4KiB);

// The argument is the vector level: 0 plain, 1 SSE2, 2 AVX2, 3 AVX-512 (levels the processor lacks
// are skipped).
void BM_MultiplyRealStereo16(benchmark::State& state) {
  const auto wanted = static_cast<samples::TVectorLevel>(state.range(0));
  if (samples::setVectorLevel(wanted) != wanted) {
    state.SkipWithError("not offered by this processor");
    samples::setVectorLevel(samples::bestVectorLevel());
    return;
  }
  RefPtr<TALAudioBuffer> buffer = noiseBlock();
  for (auto _ : state) {
    buffer->MultiplyReal(0.1);
    benchmark::ClobberMemory();
    buffer->MultiplyReal(9.9);  // keeps the samples from decaying to zero
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes * 2));
  static constexpr const char* kLevels[] = {"plain", "sse2", "avx2", "avx512"};
  state.SetLabel(kLevels[state.range(0)]);
  samples::setVectorLevel(samples::bestVectorLevel());
}
BENCHMARK(BM_MultiplyRealStereo16)->DenseRange(0, 3);

// The loop alone, without the buffer's copy-on-write check.
void BM_MultiplyRealKernel16(benchmark::State& state) {
  RefPtr<TALAudioBuffer> buffer = noiseBlock();
  std::uint8_t* samples = buffer->Modify();
  for (auto _ : state) {
    samples::multiplyReal(samples, kFrames * 2, 16, 0.1);
    benchmark::ClobberMemory();
    samples::multiplyReal(samples, kFrames * 2, 16, 9.9);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes * 2));
}
BENCHMARK(BM_MultiplyRealKernel16);

void BM_MakeCopyUniqueShared(benchmark::State& state) {
  RefPtr<TALAudioBuffer> buffer = noiseBlock();
  for (auto _ : state) {
    RefPtr<ISLData> copy = buffer->MakeCopy();
    RefPtr<IALAudioBuffer> audio = queryInterface<IALAudioBuffer>(copy);
    audio->Unique(true);
    benchmark::DoNotOptimize(audio->Read());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_MakeCopyUniqueShared);

// Baseline: a fresh heap block of the copied size (the 4 KiB of samples plus the 40-byte record,
// rounded up as the pool rounds it) and a copy into it.
void BM_MallocCopyFree(benchmark::State& state) {
  const std::size_t size = TSLPooledMemory::RoundedSize(kBytes + kALHeaderSize);
  std::vector<std::uint8_t> from(size, 3);
  for (auto _ : state) {
    void* block = std::malloc(size);
    std::memcpy(block, from.data(), size);
    benchmark::DoNotOptimize(block);
    std::free(block);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_MallocCopyFree);

}  // namespace
}  // namespace sib
