// One 1024-frame stereo 16-bit block through source pin -> TALAmplifier -> sink pin, beside the
// amplifier's own work on the same block alone (a private copy scaled by MultiplyReal). The
// difference is what the pipeline adds per block: operations, buffer views, locks and dispatch.
#include <benchmark/benchmark.h>

#include <vector>

#include "audio/amplifier.h"
#include "audio/audio_buffer.h"
#include "audio/audio_pins.h"

namespace sib {
namespace {

constexpr std::uint32_t kFrames = 1024;
constexpr double kCoefficient = 0.1;

RefPtr<TALAudioBuffer> makeBlock() {
  std::vector<std::int16_t> samples(kFrames * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 37 - 16000);
  return TALAudioBuffer::CreateData(samples.data(), 44100, 16, 2, kFrames);
}

class TBenchProducer : public TLPComponent {
 public:
  explicit TBenchProducer(TComponent* AOwner)
      : TLPComponent(AOwner), FOutputPin(makePin<TALOWAudioSourcePin>(this, FLock.get())) {}
  void BeforeDestruction() override {
    {
      LockSection stop = FLock->StopLock();
      FOutputPin.reset();
    }
    TLPComponent::BeforeDestruction();
  }
  TOWPinRef<TALOWAudioSourcePin> FOutputPin;
};

class TBenchConsumer : public TLPComponent {
 public:
  explicit TBenchConsumer(TComponent* AOwner)
      : TLPComponent(AOwner),
        FInputPin(makePin<TALOWAudioSinkPin>(this, FLock.get(),
                                             [this](TOWBasicPin*, const TGUID*, IOWNotifyOperation* op, TOWNotifyState) {
                                               if (operationIs<TOWSuppliedBufferOperation>(op)) ++Received;
                                               return TOWNotifyResult{};
                                             })) {}
  void BeforeDestruction() override {
    {
      LockSection stop = FLock->StopLock();
      FInputPin.reset();
    }
    TLPComponent::BeforeDestruction();
  }
  TOWPinRef<TALOWAudioSinkPin> FInputPin;
  std::int64_t Received = 0;
};

// Baseline: what the amplifier must do to a block in any case.
void BM_MultiplyRealAlone(benchmark::State& state) {
  RefPtr<TALAudioBuffer> block = makeBlock();
  for (auto _ : state) {
    RefPtr<TALAudioBuffer> out = TALAudioBuffer::CreateEx(*block);
    out->MultiplyReal(kCoefficient);
    benchmark::DoNotOptimize(out->Read());
  }
}
BENCHMARK(BM_MultiplyRealAlone);

void BM_SourceAmplifierSink(benchmark::State& state) {
  auto producer = MakeComponent<TBenchProducer>();
  auto amp = MakeComponent<TALAmplifier>();
  auto consumer = MakeComponent<TBenchConsumer>();
  amp->InputPin()->Connect(producer->FOutputPin.get());
  consumer->FInputPin->Connect(amp->OutputPin());
  amp->SetCoefficient(kCoefficient);
  TALWaveFormatExtensible format;
  makeBlock()->GetWaveFormat(format);
  producer->FOutputPin->Notify(newOperation<TOWStartWaveOperation>(&format, false));
  RefPtr<TALAudioBuffer> block = makeBlock();
  for (auto _ : state) {
    // The player makes a fresh, unstamped buffer for each block; a view of the same block stands in.
    RefPtr<TALAudioBuffer> sent = TALAudioBuffer::CreateEx(*block);
    sent->GetTimeStamp()->SetAvailable(false);
    producer->FOutputPin->SubmitBuffer(sent->AsDataIntf());
  }
  if (consumer->Received != static_cast<std::int64_t>(state.iterations())) state.SkipWithError("blocks lost");
  producer->FOutputPin->Stop();
}
BENCHMARK(BM_SourceAmplifierSink);

}  // namespace
}  // namespace sib
