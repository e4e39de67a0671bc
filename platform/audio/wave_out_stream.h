// One open output device as the waveOut functions see it: the queue of written headers, the pull
// side that a driver's port calls (render), the rate interpolator, and the delivery thread that
// passes completions to the caller's callback.
//
// Threads and locks:
// - API calls (write, reset, ...) take apiMutex_ briefly (it keeps the port alive against close) and
//   the port's device lock for the queue; they never wait for the device thread.
// - render runs on the driver's thread under the port's device lock only; it never allocates and
//   hands finished headers to the delivery thread through a preallocated single-producer ring
//   (producers are serialised by the device lock) and a semaphore post.
// - The delivery thread calls the callback without holding any of these locks.
#pragma once

#include <semaphore.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/rate_interpolator.h"
#include "platform/audio/wave_out.h"
#include "platform/audio/wave_out_driver.h"
#include "platform/core/thread.h"

namespace sib {

class WaveOutStream final : public WaveOutRenderer {
 public:
  WaveOutStream(WaveOutHandle handle, const WaveOutFormat& format, WaveOutCallback callback, WaveOutStart start);
  ~WaveOutStream() override;
  WaveOutStream(const WaveOutStream&) = delete;
  WaveOutStream& operator=(const WaveOutStream&) = delete;

  // Takes the driver's opened port, starts the delivery thread (which sends kWomOpen), then the port.
  void begin(std::unique_ptr<WaveOutPort> port);

  MMResult prepareHeader(WaveHeader* header);
  MMResult unprepareHeader(WaveHeader* header);
  MMResult write(WaveHeader* header);
  MMResult pause() { return setPaused(true); }
  MMResult restart() { return setPaused(false); }
  MMResult reset();
  MMResult close();
  MMResult status(WaveOutStatus& status);
  MMResult setRateAdjust(double ppm);

  // Waits until every completion raised so far has been passed to the callback (no-op when called
  // from the callback).
  void waitUntilDelivered() override;

  void render(std::byte* out, std::uint32_t frames) override;
  void deviceLost() override;

 private:
  struct PortLock;

  MMResult setPaused(bool paused);
  bool usable() const { return !closed_ && port_; }  // apiMutex_ held
  bool onDeliveryThread() const;
  std::uint64_t framesOf(const WaveHeader* header) const;
  void pullInput(std::size_t frames);
  void finishFinishedHeads();
  void finishHead();
  void renderSilence(std::byte* out, std::size_t frames);
  void renderChunk(std::byte* out, std::size_t frames, std::int64_t ppb);
  void waitDelivered(std::uint64_t target);
  void deliveryLoop();
  void deliverCompletions();
  bool portReportsLoss();
  void stopDevice();

  const WaveOutHandle handle_;
  const WaveOutFormat format_;        // the stream's format
  const WaveOutFormat deviceFormat_;  // what render fills
  const WaveOutCallback callback_;

  std::mutex apiMutex_;
  std::unique_ptr<WaveOutPort> port_;  // guarded by apiMutex_; null once closed
  bool closed_ = false;                // guarded by apiMutex_

  // Guarded by the port's device lock.
  bool paused_;
  bool primed_ = false;  // something has been played since open or reset
  WaveHeader* head_ = nullptr;
  WaveHeader* tail_ = nullptr;
  std::uint64_t headFrame_ = 0;  // frames of head_ already taken
  std::uint64_t writtenFrames_ = 0;
  std::uint64_t writtenHeaders_ = 0;
  std::uint64_t completedHeaders_ = 0;
  std::uint64_t underrunFrames_ = 0;
  RateInterpolator interpolator_;
  std::vector<double> frame_;
  bool raisedCompletion_ = false;

  std::atomic<std::int64_t> rateAdjustPpb_{0};
  std::atomic<bool> lost_{false};

  // Completion ring: written under the device lock, read by the delivery thread.
  std::vector<WaveHeader*> ring_;
  std::atomic<std::uint64_t> ringTail_{0};
  std::uint64_t ringHead_ = 0;  // delivery thread only

  sem_t wake_;
  bool pollForLoss_ = false;  // set before the delivery thread starts
  std::atomic<bool> stopping_{false};
  std::atomic<std::thread::id> deliveryThreadId_{};
  std::mutex deliveredMutex_;
  std::condition_variable deliveredChanged_;
  std::atomic<std::uint64_t> deliveredHeaders_{0};
  bool deliveryEnded_ = false;  // guarded by deliveredMutex_
  std::unique_ptr<Thread> deliveryThread_;
};

}  // namespace sib
