// One open output device as the waveOut functions see it: the queue of written headers, the pull
// side that a driver's port calls (render), and the rate interpolator.
//
// Threads and locks:
// - API calls (write, reset, ...) take apiMutex_ briefly (it keeps the port alive against close) and
//   queueMutex_ for the queue; they never wait for the device's thread, only for a render under way.
// - render runs on the driver's thread (with the driver's own lock held) and holds queueMutex_ while
//   it reads the queue; it never allocates. The headers it finishes are passed to the callback at its
//   end, on the driver's thread, once it has let queueMutex_ go: no thread of ours stands between the
//   sound card and the caller, and the caller's thread, woken, finds the queue free.
// - A driver that wants it (idleMillisecondsBeforeClosing) has its port closed once the stream has had
//   nothing to play for that long, and opened again when something is to be played (a write while
//   running, a restart with buffers queued). A keeper thread of the stream's own does both, so that
//   neither the device's thread (which cannot close its own port) nor an API caller waits for it; it
//   sleeps in between. Callers see no difference but the time a reopened device takes to start.
// - Until the first rate adjustment other than 0, the samples are copied to the device as they are;
//   the interpolator takes over from then on.
#pragma once

#include <atomic>
#include <condition_variable>
#include <utility>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/rate_interpolator.h"
#include "platform/core/run_thread.h"
#include "platform/audio/wave_out.h"
#include "platform/audio/wave_out_driver.h"

namespace sib {

class WaveOutStream final : public WaveOutRenderer {
 public:
  WaveOutStream(WaveOutHandle handle, const WaveOutFormat& format, WaveOutCallback callback, WaveOutStart start);
  ~WaveOutStream() override;
  WaveOutStream(const WaveOutStream&) = delete;
  WaveOutStream& operator=(const WaveOutStream&) = delete;

  // Where the port came from, to open another one after an idle close.
  struct DeviceSource {
    WaveOutDriver* driver = nullptr;
    int deviceId = kWaveMapper;
    std::uint32_t periodFrames = 0;  // asked for
  };

  // Sends kWomOpen, then takes the driver's opened port and starts it.
  void begin(std::unique_ptr<WaveOutPort> port, const DeviceSource& source);

  MMResult prepareHeader(WaveHeader* header);
  MMResult unprepareHeader(WaveHeader* header);
  MMResult write(WaveHeader* header);
  MMResult pause() { return setPaused(true); }
  MMResult restart() { return setPaused(false); }
  MMResult reset();
  MMResult close();
  MMResult status(WaveOutStatus& status);
  MMResult setRateAdjust(double ppm);

  void render(std::byte* out, std::uint32_t frames) override;
  void deviceLost() override;

 private:
  MMResult setPaused(bool paused);
  bool usable() const { return begun_ && !closed_; }  // apiMutex_ held
  // Nothing to play for `frames` more device frames (queue lock held): may give the device up.
  void noteIdle(std::size_t frames);
  // Something may be playable again (queue lock held): takes the device back if it was given up.
  void wantDeviceIfPlayable();
  void callKeeper();
  // The keeper thread's loop, and what it does.
  void keep();
  void closeIdlePort();
  void reopenPort();
  void stopKeeper();
  std::uint64_t framesOf(const WaveHeader* header) const;
  // Device lock held for all of these.
  void pullInput(std::size_t frames);
  void finishFinishedHeads();
  void finishHead();
  void renderSilence(std::byte* out, std::size_t frames);
  void renderChunk(std::byte* out, std::size_t frames, std::int64_t ppb);
  // Of `frames` frames at out, `produced` were filled: the rest become silence.
  void fillShortfall(std::byte* out, std::size_t produced, std::size_t frames);
  std::size_t renderDirect(std::byte* out, std::size_t frames);
  void keepDirectTail(const std::byte* played, std::size_t frames);
  void startInterpolating();
  // Passes the finished headers to the callback; gives up `queue` (held) first.
  void deliverFinished(std::unique_lock<std::mutex>& queue);

  const WaveOutHandle handle_;
  const WaveOutFormat format_;        // the stream's format
  const WaveOutFormat deviceFormat_;  // what render fills
  const WaveOutCallback callback_;

  std::mutex apiMutex_;
  std::unique_ptr<WaveOutPort> port_;  // guarded by apiMutex_; null once closed or while let go
  bool begun_ = false;                 // guarded by apiMutex_
  bool closed_ = false;                // guarded by apiMutex_
  std::uint32_t periodFrames_ = 0;     // of the first port; guarded by apiMutex_
  DeviceSource source_;                // set by begin, before any other thread sees the stream
  std::uint64_t idleLimitFrames_ = 0;  // set by begin; 0: the port is never closed for idling

  // The keeper (only with an idle limit). keeperCalled_ and keeperStop_ are guarded by keeperMutex_,
  // which is taken last, after any other lock.
  std::mutex keeperMutex_;
  std::condition_variable keeperWake_;
  bool keeperCalled_ = false;
  bool keeperStop_ = false;
  std::unique_ptr<RunThread> keeper_;

  // Guarded by queueMutex_, which render holds while it runs.
  std::mutex queueMutex_;
  bool paused_;
  bool primed_ = false;  // something has been played since open or reset
  std::uint64_t idleFrames_ = 0;  // device frames rendered in a row with an empty queue
  bool letGo_ = false;            // the port is (being) closed until something is to be played
  WaveHeader* head_ = nullptr;
  WaveHeader* tail_ = nullptr;
  std::uint64_t headFrame_ = 0;  // frames of head_ already taken
  std::uint64_t writtenFrames_ = 0;
  std::uint64_t writtenHeaders_ = 0;
  std::uint64_t completedHeaders_ = 0;
  std::uint64_t underrunFrames_ = 0;
  // Samples go to the device as they are (no adjustment yet since open or reset); directFrames_ are
  // the frames played so, before the interpolator took over.
  bool direct_ = true;
  std::uint64_t directFrames_ = 0;
  // The last frames played directly, in the device's format: the interpolator's past when it takes
  // over, so that the switch is seamless.
  std::vector<std::byte> directTail_;
  std::size_t directTailFrames_ = 0;
  RateInterpolator interpolator_;
  std::vector<double> frame_;
  // Headers finished in this render call (or reset), passed to the callback at its end; room for all
  // the device may hold, made once, so that the driver's thread never allocates. delivering_ holds
  // the batch being passed on, under deliveryMutex_.
  std::vector<WaveHeader*> finished_;
  std::size_t finishedCount_ = 0;
  std::mutex deliveryMutex_;
  std::vector<WaveHeader*> delivering_;

  std::atomic<std::int64_t> rateAdjustPpb_{0};
  std::atomic<bool> lost_{false};
  std::atomic<bool> lossReported_{false};
  bool closeSent_ = false;  // guarded by apiMutex_
};

}  // namespace sib
