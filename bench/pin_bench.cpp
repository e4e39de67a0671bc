// One operation delivered from a source pin to one and to two sinks, against a plain virtual call per
// sink measured in the same run. The binary counts heap allocations (it replaces operator new), and
// each benchmark reports the allocations per delivery in its "allocs" counter.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "framework/lp_component.h"
#include "framework/pin.h"
#include "framework/value_pins.h"

namespace {

std::atomic<std::uint64_t> gAllocations{0};

void* countedAllocation(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return countedAllocation(size); }
void* operator new[](std::size_t size) { return countedAllocation(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace sib {
namespace {

class IOWBenchStream : public IOWDataStream {
 public:
  static constexpr TGUID IID = "{C2E5A3B1-7D4F-4E2A-9B6C-1F0E8D7A6B5C}"_guid;
  using Parent = IOWDataStream;
};

class TBenchSinkPin : public TOWPinStreams<TOWSinkPin, IOWBenchStream> {
 public:
  using TOWPinStreams::TOWPinStreams;
  TOWNotifyResult DispatchData(const TGUID*, IOWNotifyOperation* Operation, TOWNotifyState) override {
    benchmark::DoNotOptimize(Operation);
    ++Received;
    return {};
  }
  std::uint64_t Received = 0;
};

class TBenchSourcePin : public TOWSourcePin {
 public:
  TBenchSourcePin(TComponent* AOwner, IOWLock* AOwnerLock) : TOWSourcePin(AOwner, AOwnerLock) {
    AddStreamType(IOWBenchStream::IID, OWStreamSubmit());
  }
};

class TBenchComponent : public TLPComponent {
  SIB_CLASS(TBenchComponent, TLPComponent)
 public:
  using TLPComponent::TLPComponent;
  void BeforeDestruction() override {
    {
      LockSection stop = FLock->StopLock();
      Sinks.clear();
      Source.reset();
    }
    TLPComponent::BeforeDestruction();
  }
  TOWPinRef<TOWSourcePin> Source;
  std::vector<TOWPinRef<TBenchSinkPin>> Sinks;
};

// The baseline: what a delivery does at the least, one virtual call per receiver.
class Receiver {
 public:
  virtual ~Receiver() = default;
  virtual TOWNotifyResult Receive(IOWNotifyOperation* Operation, TOWNotifyState State) = 0;
};

class CountingReceiver final : public Receiver {
 public:
  TOWNotifyResult Receive(IOWNotifyOperation* Operation, TOWNotifyState) override {
    benchmark::DoNotOptimize(Operation);
    ++Received;
    return {};
  }
  std::uint64_t Received = 0;
};

void reportAllocations(benchmark::State& state, std::uint64_t before) {
  const auto allocations = static_cast<double>(gAllocations.load(std::memory_order_relaxed) - before);
  state.counters["allocs"] = benchmark::Counter(allocations / static_cast<double>(state.iterations()));
}

void BM_VirtualCallPerSink(benchmark::State& state) {
  const auto sinks = static_cast<std::size_t>(state.range(0));
  std::vector<std::unique_ptr<Receiver>> receivers;
  for (std::size_t i = 0; i < sinks; ++i) receivers.push_back(std::make_unique<CountingReceiver>());
  OperationRef operation = newOperation<TOWNotifyOperation>();
  const std::uint64_t before = gAllocations.load(std::memory_order_relaxed);
  for (auto _ : state) {
    for (std::size_t i = 0; i < receivers.size(); ++i) {
      Receiver* receiver = receivers[i].get();
      benchmark::DoNotOptimize(receiver);
      receiver->Receive(operation.get(), i + 1 == receivers.size() ? TOWNotifyState{nsLastIteration} : TOWNotifyState{});
    }
  }
  reportAllocations(state, before);
}
BENCHMARK(BM_VirtualCallPerSink)->Arg(1)->Arg(2)->Arg(8);

void BM_SourcePinDelivery(benchmark::State& state) {
  const auto sinks = static_cast<std::size_t>(state.range(0));
  auto form = MakeComponent<TComponent>();
  auto* sender = NewComponent<TBenchComponent>(*form);
  auto* receiver = NewComponent<TBenchComponent>(*form);
  sender->Source = makePin<TBenchSourcePin>(sender, sender->Lock().get());
  for (std::size_t i = 0; i < sinks; ++i) {
    receiver->Sinks.push_back(makePin<TBenchSinkPin>(receiver, receiver->Lock().get()));
    if (!receiver->Sinks.back()->Connect(sender->Source.get())) state.SkipWithError("the sink did not connect");
  }
  OperationRef operation = newOperation<TOWNotifyOperation>();
  sender->Source->Notify(operation);  // fills the per-thread caches of lock sections
  const std::uint64_t before = gAllocations.load(std::memory_order_relaxed);
  for (auto _ : state) sender->Source->Notify(operation.get());
  reportAllocations(state, before);
  if (receiver->Sinks.front()->Received < static_cast<std::uint64_t>(state.iterations()))
    state.SkipWithError("deliveries were lost");
}
// Up to four connections are copied on the stack; eight show the one allocation of a longer copy.
BENCHMARK(BM_SourcePinDelivery)->Arg(1)->Arg(2)->Arg(8);

// The other direction: a sink notifying its source.
void BM_SinkPinUpstream(benchmark::State& state) {
  auto form = MakeComponent<TComponent>();
  auto* sender = NewComponent<TBenchComponent>(*form);
  auto* receiver = NewComponent<TBenchComponent>(*form);
  auto clockSource = makePin<TOWClockSourcePin>(sender, sender->Lock().get(),
                                                [](TOWBasicPin*, const TGUID*, IOWNotifyOperation* op, TOWNotifyState) {
                                                  benchmark::DoNotOptimize(op);
                                                  return TOWNotifyResult{};
                                                });
  auto clockSink = makePin<TOWClockSinkPin>(receiver, receiver->Lock().get());
  if (!clockSink->Connect(clockSource.get())) state.SkipWithError("the sink did not connect");
  OperationRef operation = newOperation<TOWClockNeededOperation>(true);
  clockSink->Notify(operation);
  const std::uint64_t before = gAllocations.load(std::memory_order_relaxed);
  for (auto _ : state) clockSink->Notify(operation.get());
  reportAllocations(state, before);
  clockSink.reset();
  clockSource.reset();
}
BENCHMARK(BM_SinkPinUpstream);

}  // namespace
}  // namespace sib
