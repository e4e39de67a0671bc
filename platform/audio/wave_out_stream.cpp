#include "platform/audio/wave_out_stream.h"

#include "platform/core/run_thread.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

namespace sib {
namespace {

// Output frames rendered between two pulls from the header queue; bounds the interpolator's history.
constexpr std::size_t kChunkFrames = 256;
// How often a device that cannot report its loss is asked whether it is still there.
constexpr long kLossPollNanoseconds = 250'000'000;

enum class SampleKind { U8, S16, S24, S32, F32 };

SampleKind sampleKindOf(const WaveOutFormat& format) {
  if (format.sampleType == WaveSampleType::Float) return SampleKind::F32;
  switch (format.bitsPerSample) {
    case 8: return SampleKind::U8;
    case 16: return SampleKind::S16;
    case 24: return SampleKind::S24;
    default: return SampleKind::S32;
  }
}

template <class T>
T loadSample(const std::byte* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <class T>
void storeSample(std::byte* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

// Samples are little-endian, as in wave files and on the machines we run on.
void decodeSamples(SampleKind kind, const std::byte* in, std::size_t samples, double* out) {
  switch (kind) {
    case SampleKind::U8:
      for (std::size_t i = 0; i < samples; ++i) out[i] = static_cast<double>(std::to_integer<int>(in[i]) - 128);
      break;
    case SampleKind::S16:
      for (std::size_t i = 0; i < samples; ++i) out[i] = loadSample<std::int16_t>(in + 2 * i);
      break;
    case SampleKind::S24:
      for (std::size_t i = 0; i < samples; ++i) {
        const std::byte* s = in + 3 * i;
        const auto raw = static_cast<std::uint32_t>(std::to_integer<unsigned>(s[0]) |
                                                    (std::to_integer<unsigned>(s[1]) << 8) |
                                                    (std::to_integer<unsigned>(s[2]) << 16));
        out[i] = static_cast<double>(static_cast<std::int32_t>(raw << 8) >> 8);
      }
      break;
    case SampleKind::S32:
      for (std::size_t i = 0; i < samples; ++i) out[i] = loadSample<std::int32_t>(in + 4 * i);
      break;
    case SampleKind::F32:
      for (std::size_t i = 0; i < samples; ++i) out[i] = loadSample<float>(in + 4 * i);
      break;
  }
}

// Integral values (everything at 0 ppm) come back exactly; interpolated ones round to nearest.
std::int64_t roundClamped(double value, std::int64_t low, std::int64_t high) {
  if (!(value > static_cast<double>(low))) return low;
  if (value >= static_cast<double>(high)) return high;
  // Round half to even without a library call: adding and removing 1.5 * 2^52 leaves no fraction
  // bits (the values here are far below 2^51).
  constexpr double kRounder = 0x1.8p52;
  return static_cast<std::int64_t>((value + kRounder) - kRounder);
}

template <SampleKind kKind>
void encodeSample(double value, std::byte* out) {
  if constexpr (kKind == SampleKind::U8) {
    *out = static_cast<std::byte>(roundClamped(value, -128, 127) + 128);
  } else if constexpr (kKind == SampleKind::S16) {
    storeSample(out, static_cast<std::int16_t>(roundClamped(value, INT16_MIN, INT16_MAX)));
  } else if constexpr (kKind == SampleKind::S24) {  // widened for the device
    storeSample(out, static_cast<std::int32_t>(roundClamped(value, -(1 << 23), (1 << 23) - 1) * 256));
  } else if constexpr (kKind == SampleKind::S32) {
    storeSample(out, static_cast<std::int32_t>(roundClamped(value, INT32_MIN, INT32_MAX)));
  } else {
    storeSample(out, static_cast<float>(value));
  }
}

// Produces up to `frames` device frames; returns how many the interpolator's input allowed.
template <SampleKind kKind>
std::size_t produceFrames(RateInterpolator& interpolator, std::int64_t ppb, double* frame, std::size_t channels,
                          std::byte* out, std::size_t frames) {
  constexpr std::size_t width = kKind == SampleKind::U8 ? 1 : kKind == SampleKind::S16 ? 2 : 4;
  const double* unchanged = nullptr;
  std::size_t produced = interpolator.takeUnchanged(frames, ppb, unchanged);
  for (std::size_t i = 0; i < produced * channels; ++i, out += width) encodeSample<kKind>(unchanged[i], out);
  for (; produced < frames && interpolator.canProduce(); ++produced) {
    interpolator.produce(frame, ppb);
    for (std::size_t c = 0; c < channels; ++c, out += width) encodeSample<kKind>(frame[c], out);
  }
  return produced;
}

}  // namespace

struct WaveOutStream::PortLock {
  explicit PortLock(WaveOutPort& port) : port_(port) { port_.lock(); }
  ~PortLock() { port_.unlock(); }
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;
  WaveOutPort& port_;
};

WaveOutStream::WaveOutStream(WaveOutHandle handle, const WaveOutFormat& format, WaveOutCallback callback,
                             WaveOutStart start)
    : handle_(handle),
      format_(format),
      deviceFormat_(deviceFormatFor(format)),
      callback_(std::move(callback)),
      paused_(start == WaveOutStart::Paused),
      interpolator_(format.channels, kChunkFrames),
      frame_(format.channels),
      ring_(kMaxOutstandingBuffers) {
  sem_init(&wake_, 0, 0);
}

WaveOutStream::~WaveOutStream() {
  std::unique_ptr<WaveOutPort> port;
  {
    std::lock_guard api(apiMutex_);
    closed_ = true;
    port = std::move(port_);
  }
  port.reset();
  stopDevice();
  sem_destroy(&wake_);
}

void WaveOutStream::begin(std::unique_ptr<WaveOutPort> port) {
  pollForLoss_ = port->pollsForLoss();
  deliveryThread_ = std::make_unique<RunThread>("sib.wave-out", [this] { deliveryLoop(); });
  deliveryThread_->Start();
  deliveryThread_->SetPriority(ThreadPriority::Highest);
  // Started before it is published: a driver may take its own locks in start(), and none of them
  // may be taken inside apiMutex_.
  port->start();
  std::lock_guard api(apiMutex_);
  port_ = std::move(port);
}

bool WaveOutStream::onDeliveryThread() const {
  return deliveryThreadId_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

std::uint64_t WaveOutStream::framesOf(const WaveHeader* header) const {
  return header->bufferLength / format_.blockAlign;
}

MMResult WaveOutStream::prepareHeader(WaveHeader* header) {
  std::lock_guard api(apiMutex_);
  if (!usable()) return kMMInvalidHandle;
  if (header == nullptr || (header->data == nullptr && header->bufferLength > 0)) return kMMInvalidParam;
  header->flags.fetch_or(kWaveHeaderPrepared, std::memory_order_acq_rel);
  return kMMNoError;
}

MMResult WaveOutStream::unprepareHeader(WaveHeader* header) {
  std::lock_guard api(apiMutex_);
  if (!usable()) return kMMInvalidHandle;
  if (header == nullptr) return kMMInvalidParam;
  if ((header->flags.load(std::memory_order_acquire) & kWaveHeaderInQueue) != 0) return kWaveStillPlaying;
  header->flags.fetch_and(~kWaveHeaderPrepared, std::memory_order_acq_rel);
  return kMMNoError;
}

MMResult WaveOutStream::write(WaveHeader* header) {
  std::lock_guard api(apiMutex_);
  if (!usable()) return kMMInvalidHandle;
  if (header == nullptr) return kMMInvalidParam;
  const std::uint32_t flags = header->flags.load(std::memory_order_acquire);
  if ((flags & kWaveHeaderPrepared) == 0) return kWaveUnprepared;
  if ((flags & kWaveHeaderInQueue) != 0) return kWaveStillPlaying;
  if (lost_.load(std::memory_order_acquire)) return kMMNoDriver;
  PortLock device(*port_);
  if (writtenHeaders_ - deliveredHeaders_.load(std::memory_order_acquire) >= kMaxOutstandingBuffers) {
    return kMMNoMemory;
  }
  header->next = nullptr;
  header->flags.store((flags | kWaveHeaderInQueue) & ~kWaveHeaderDone, std::memory_order_release);
  if (tail_ != nullptr) {
    tail_->next = header;
  } else {
    head_ = header;
  }
  tail_ = header;
  writtenFrames_ += framesOf(header);
  ++writtenHeaders_;
  return kMMNoError;
}

MMResult WaveOutStream::setPaused(bool paused) {
  std::lock_guard api(apiMutex_);
  if (!usable()) return kMMInvalidHandle;
  PortLock device(*port_);
  paused_ = paused;
  return kMMNoError;
}

MMResult WaveOutStream::reset() {
  std::uint64_t target = 0;
  {
    std::lock_guard api(apiMutex_);
    if (!usable()) return kMMInvalidHandle;
    PortLock device(*port_);
    while (head_ != nullptr) finishHead();
    interpolator_.clear();
    writtenFrames_ = 0;
    primed_ = false;
    target = completedHeaders_;
    if (raisedCompletion_) {
      raisedCompletion_ = false;
      sem_post(&wake_);
    }
  }
  if (!onDeliveryThread()) waitDelivered(target);
  return kMMNoError;
}

MMResult WaveOutStream::close() {
  std::unique_ptr<WaveOutPort> port;
  {
    std::lock_guard api(apiMutex_);
    if (!usable()) return kMMInvalidHandle;
    if (onDeliveryThread()) return kMMInvalidParam;
    {
      PortLock device(*port_);
      if (head_ != nullptr) return kWaveStillPlaying;
    }
    closed_ = true;
    port = std::move(port_);
  }
  port.reset();
  stopDevice();
  return kMMNoError;
}

void WaveOutStream::stopDevice() {
  if (!deliveryThread_) return;
  stopping_.store(true, std::memory_order_release);
  sem_post(&wake_);
  deliveryThread_.reset();  // joins after the last messages and kWomClose
}

MMResult WaveOutStream::status(WaveOutStatus& status) {
  std::lock_guard api(apiMutex_);
  if (!usable()) return kMMInvalidHandle;
  PortLock device(*port_);
  const auto played = static_cast<std::uint64_t>(interpolator_.position());
  status.playedFrames = played;
  status.queuedFrames = writtenFrames_ > played ? writtenFrames_ - played : 0;
  status.underrunFrames = underrunFrames_;
  status.rateAdjustPpm = static_cast<double>(rateAdjustPpb_.load(std::memory_order_relaxed)) / 1000.0;
  status.deviceLost = lost_.load(std::memory_order_acquire);
  return kMMNoError;
}

MMResult WaveOutStream::setRateAdjust(double ppm) {
  std::lock_guard api(apiMutex_);
  if (!usable()) return kMMInvalidHandle;
  if (std::isnan(ppm)) return kMMInvalidParam;
  const double clamped = std::clamp(ppm, -kMaxRateAdjustPpm, kMaxRateAdjustPpm);
  rateAdjustPpb_.store(std::llround(clamped * 1000.0), std::memory_order_relaxed);
  return kMMNoError;
}

void WaveOutStream::waitUntilDelivered() {
  std::uint64_t target = 0;
  {
    std::lock_guard api(apiMutex_);
    if (!usable()) return;
    PortLock device(*port_);
    target = completedHeaders_;
  }
  if (!onDeliveryThread()) waitDelivered(target);
}

void WaveOutStream::waitDelivered(std::uint64_t target) {
  std::unique_lock lock(deliveredMutex_);
  deliveredChanged_.wait(lock, [&] { return deliveredHeaders_.load() >= target || deliveryEnded_; });
}

// ---- device side (port's thread, device lock held) ----

void WaveOutStream::render(std::byte* out, std::uint32_t frames) {
  if (paused_ || lost_.load(std::memory_order_relaxed)) {
    renderSilence(out, frames);
    return;
  }
  const std::int64_t ppb = rateAdjustPpb_.load(std::memory_order_relaxed);
  finishFinishedHeads();
  for (std::size_t left = frames; left > 0;) {
    const std::size_t chunk = std::min(left, kChunkFrames);
    renderChunk(out, chunk, ppb);
    out += chunk * deviceFormat_.blockAlign;
    left -= chunk;
  }
  if (raisedCompletion_) {
    raisedCompletion_ = false;
    sem_post(&wake_);
  }
}

void WaveOutStream::renderChunk(std::byte* out, std::size_t frames, std::int64_t ppb) {
  pullInput(interpolator_.inputWanted(frames, ppb));
  std::size_t produced = 0;
  double* frame = frame_.data();
  switch (sampleKindOf(format_)) {
    case SampleKind::U8: produced = produceFrames<SampleKind::U8>(interpolator_, ppb, frame, format_.channels, out, frames); break;
    case SampleKind::S16: produced = produceFrames<SampleKind::S16>(interpolator_, ppb, frame, format_.channels, out, frames); break;
    case SampleKind::S24: produced = produceFrames<SampleKind::S24>(interpolator_, ppb, frame, format_.channels, out, frames); break;
    case SampleKind::S32: produced = produceFrames<SampleKind::S32>(interpolator_, ppb, frame, format_.channels, out, frames); break;
    case SampleKind::F32: produced = produceFrames<SampleKind::F32>(interpolator_, ppb, frame, format_.channels, out, frames); break;
  }
  if (produced > 0) primed_ = true;
  if (produced < frames) {
    renderSilence(out + produced * deviceFormat_.blockAlign, frames - produced);
    if (primed_) underrunFrames_ += frames - produced;
  }
}

void WaveOutStream::renderSilence(std::byte* out, std::size_t frames) {
  const auto silence = static_cast<std::byte>(sampleKindOf(format_) == SampleKind::U8 ? 0x80 : 0);
  std::memset(out, std::to_integer<int>(silence), frames * deviceFormat_.blockAlign);
}

void WaveOutStream::pullInput(std::size_t frames) {
  const SampleKind kind = sampleKindOf(format_);
  while (frames > 0 && head_ != nullptr) {
    const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(frames, framesOf(head_) - headFrame_));
    double* into = interpolator_.append(take);
    decodeSamples(kind, head_->data + headFrame_ * format_.blockAlign, take * format_.channels, into);
    headFrame_ += take;
    frames -= take;
    finishFinishedHeads();
  }
}

void WaveOutStream::finishFinishedHeads() {
  while (head_ != nullptr && headFrame_ >= framesOf(head_)) finishHead();
}

// The header leaves the queue. Its memory may be reused by the caller as soon as the flags say so,
// so the flags change last; the ring only carries the pointer.
void WaveOutStream::finishHead() {
  WaveHeader* header = head_;
  head_ = header->next;
  if (head_ == nullptr) tail_ = nullptr;
  header->next = nullptr;
  headFrame_ = 0;
  std::uint32_t flags = header->flags.load(std::memory_order_relaxed);
  while (!header->flags.compare_exchange_weak(flags, (flags & ~kWaveHeaderInQueue) | kWaveHeaderDone,
                                              std::memory_order_release, std::memory_order_relaxed)) {
  }
  const std::uint64_t tail = ringTail_.load(std::memory_order_relaxed);
  ring_[tail % ring_.size()] = header;
  ringTail_.store(tail + 1, std::memory_order_release);
  ++completedHeaders_;
  raisedCompletion_ = true;
}

void WaveOutStream::deviceLost() {
  lost_.store(true, std::memory_order_release);
  sem_post(&wake_);
}

// ---- delivery thread ----

void WaveOutStream::deliveryLoop() {
  deliveryThreadId_.store(std::this_thread::get_id(), std::memory_order_release);
  callback_(handle_, kWomOpen, nullptr);
  bool lossReported = false;
  while (!stopping_.load(std::memory_order_acquire)) {
    if (pollForLoss_) {
      timespec deadline{};
      clock_gettime(CLOCK_REALTIME, &deadline);
      deadline.tv_nsec += kLossPollNanoseconds;
      if (deadline.tv_nsec >= 1'000'000'000) {
        deadline.tv_nsec -= 1'000'000'000;
        ++deadline.tv_sec;
      }
      sem_timedwait(&wake_, &deadline);
    } else {
      while (sem_wait(&wake_) != 0 && errno == EINTR) {
      }
    }
    deliverCompletions();
    if (!lossReported && (lost_.load(std::memory_order_acquire) || (pollForLoss_ && portReportsLoss()))) {
      lost_.store(true, std::memory_order_release);
      lossReported = true;
      callback_(handle_, kWomDeviceLost, nullptr);
    }
  }
  deliverCompletions();
  callback_(handle_, kWomClose, nullptr);
  {
    std::lock_guard lock(deliveredMutex_);
    deliveryEnded_ = true;
  }
  deliveredChanged_.notify_all();
}

void WaveOutStream::deliverCompletions() {
  const std::uint64_t tail = ringTail_.load(std::memory_order_acquire);
  while (ringHead_ < tail) {
    WaveHeader* header = ring_[ringHead_ % ring_.size()];
    ++ringHead_;
    callback_(handle_, kWomDone, header);
    {
      std::lock_guard lock(deliveredMutex_);
      deliveredHeaders_.fetch_add(1, std::memory_order_release);
    }
    deliveredChanged_.notify_all();
  }
}

bool WaveOutStream::portReportsLoss() {
  std::lock_guard api(apiMutex_);
  return port_ && port_->lost();
}

}  // namespace sib
