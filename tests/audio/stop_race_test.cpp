// Writes from the window racing a component's stop on another thread: the amplifier's level and the
// output's error handler. The stopping thread uses the state it guards for as long as its stop lasts;
// a write that got no section must leave that state alone (ThreadSanitizer sees any write that does
// not) and lands normally once the stop has ended.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "audio/amplifier.h"
#include "audio/audio_out.h"
#include "framework/sync.h"
#include "platform/audio/simulated_wave_out.h"
#include "platform/core/errors.h"
#include "platform/ui/application.h"
#include "tests/audio/audio_chain.h"

namespace sib {
namespace {

// Holds `component`'s stop section on a thread of its own and runs `use` under it, once before the
// constructor returns and then over and over until Release; the caller's writes in between race the
// stop.
class StopOnAnotherThread {
 public:
  template <class Use>
  StopOnAnotherThread(TLPComponent& component, Use use)
      : thread_([this, &component, use] {
          LockSection stop = component.Lock()->StopLock();
          use();
          stopping_.Signal();
          while (!release_.WaitFor(0)) use();
        }) {
    stopping_.WaitFor(kInfinite);
  }
  ~StopOnAnotherThread() { Release(); }
  void Release() {
    if (!thread_.joinable()) return;
    release_.Signal();
    thread_.join();
  }

 private:
  TOWEvent stopping_{true, false};
  TOWEvent release_{true, false};
  std::thread thread_;
};

TEST(StopRaceTest, ALevelWrittenWhileTheAmplifierStopsIsNotStoredAndTheNextOneIs) {
  TComponentPtr<TALAmplifier> amp = MakeComponent<TALAmplifier>();
  amp->SetCoefficient(0.1);
  double seen = 0;
  StopOnAnotherThread stop(*amp, [&] { seen = amp->Coefficient(); });
  amp->SetCoefficient(0.5);
  stop.Release();
  EXPECT_EQ(amp->Coefficient(), 0.1) << "the write during the stop was stored";
  EXPECT_EQ(seen, 0.1) << "the stopping thread saw the window's write";
  amp->SetCoefficient(0.5);
  EXPECT_EQ(amp->Coefficient(), 0.5);
}

TALWaveFormatExtensible channellessFormat() {
  TALWaveFormatExtensible format;
  format.Format = {kALWaveFormatExtensible, 0, 44100, 88200, 2, 16, kALExtensibleSize};
  format.wValidBitsPerSample = 16;
  format.dwChannelMask = 1;
  format.SubFormat = kALSubFormatPcm;
  return format;
}

TEST(StopRaceTest, AnErrorHandlerSetWhileTheOutputStopsIsNotInstalledAndTheNextOneIs) {
  Application app;
  SimulatedWaveOut sim;
  ScopedWaveOutDriver driver{sim};
  TComponentPtr<test::TTestAudioProducer> producer = MakeComponent<test::TTestAudioProducer>();
  TComponentPtr<TALAudioOut> out = MakeComponent<TALAudioOut>();
  ASSERT_TRUE(out->InputPin()->Connect(producer->OutputPin()));
  std::string handledBy;
  auto handler = [&handledBy](std::string name) {
    return TSLErrorEvent([&handledBy, name](TObject*, const std::string&, std::int32_t, bool& handled) {
      handledBy = name;
      handled = true;
    });
  };
  // The stopping thread sets its own handler again and again: it holds the lock, so its writes land.
  {
    StopOnAnotherThread stop(*out, [&] { out->SetOnError(handler("stopping thread")); });
    out->SetOnError(handler("window"));
  }
  // An open that fails goes to the handler installed: the stopping thread's.
  const TALWaveFormatExtensible bad = channellessFormat();
  out->SetEnabled(false);
  producer->OutputPin()->Notify(newOperation<TOWStartWaveOperation>(&bad, false));
  EXPECT_NO_THROW(out->SetEnabled(true));
  EXPECT_EQ(handledBy, "stopping thread");

  out->SetOnError(handler("window"));
  out->SetEnabled(false);
  EXPECT_NO_THROW(out->SetEnabled(true));
  EXPECT_EQ(handledBy, "window");
}

}  // namespace
}  // namespace sib
