// Cost of feeding an output device, per second of 44.1 kHz stereo 16-bit audio: the device pulling
// written buffers unchanged and with the playback rate steered, against copying the same bytes
// period by period with memcpy (the least any pull callback does), measured in the same run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/audio/simulated_wave_out.h"
#include "platform/audio/wave_out.h"

namespace sib {
namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kPeriod = 512;
constexpr std::size_t kFrameBytes = 4;

void BM_MemcpyPeriods(benchmark::State& state) {
  std::vector<std::byte> source(kRate * kFrameBytes, std::byte{1});
  std::vector<std::byte> period(kPeriod * kFrameBytes);
  for (auto _ : state) {
    for (std::size_t offset = 0; offset + period.size() <= source.size(); offset += period.size()) {
      std::memcpy(period.data(), source.data() + offset, period.size());
      benchmark::ClobberMemory();
    }
  }
  state.SetLabel("per second of audio");
}
BENCHMARK(BM_MemcpyPeriods)->Unit(benchmark::kMicrosecond);

// Ten 100 ms buffers that the callback writes again as soon as they are done: an endless stream.
void renderSeconds(benchmark::State& state, double ppm) {
  SimulatedWaveOut simulated({.periodFrames = kPeriod, .keepRecord = false});
  ScopedWaveOutDriver use(simulated);
  std::vector<std::byte> samples(kRate * kFrameBytes);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::byte>(i * 7);
  std::vector<std::unique_ptr<WaveHeader>> headers;
  std::atomic<bool> looping{true};
  WaveOutHandle out = 0;
  waveOutOpen(&out, 0, WaveOutFormat{WaveSampleType::Pcm, 2, kRate, 16, 4},
              [&looping](WaveOutHandle handle, WaveOutMessage message, WaveHeader* header) {
                if (message == kWomDone && looping.load()) waveOutWrite(handle, header);
              });
  waveOutSetRateAdjust(out, ppm);
  for (std::size_t i = 0; i < 10; ++i) {
    auto header = std::make_unique<WaveHeader>();
    header->data = samples.data() + i * samples.size() / 10;
    header->bufferLength = static_cast<std::uint32_t>(samples.size() / 10);
    waveOutPrepareHeader(out, header.get());
    waveOutWrite(out, header.get());
    headers.push_back(std::move(header));
  }
  for (auto _ : state) simulated.advance(std::chrono::seconds(1));
  looping.store(false);
  waveOutReset(out);
  waveOutClose(out);
  state.SetLabel("per second of audio");
}

void BM_DeviceUnsteered(benchmark::State& state) { renderSeconds(state, 0.0); }
BENCHMARK(BM_DeviceUnsteered)->Unit(benchmark::kMicrosecond);

void BM_DeviceSteered200ppm(benchmark::State& state) { renderSeconds(state, 200.0); }
BENCHMARK(BM_DeviceSteered200ppm)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace sib
