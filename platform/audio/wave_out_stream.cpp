#include "platform/audio/wave_out_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sib {
namespace {

// Output frames rendered between two pulls from the header queue; bounds the interpolator's history.
constexpr std::size_t kChunkFrames = 256;
// Frames of the directly played past handed to the interpolator when it takes over: its whole window.
constexpr std::size_t kDirectTailFrames = 2 * RateInterpolator::kHalfTaps;

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

// The stream's samples for the device: the same bytes, except 24-bit samples, which are widened.
void copyForDevice(const WaveOutFormat& format, const std::byte* in, std::size_t frames, std::byte* out) {
  if (sampleKindOf(format) == SampleKind::S24) {
    for (std::size_t i = 0; i < frames * format.channels; ++i, in += 3, out += 4) {
      const auto raw = static_cast<std::uint32_t>(std::to_integer<unsigned>(in[0]) << 8 |
                                                  std::to_integer<unsigned>(in[1]) << 16 |
                                                  std::to_integer<unsigned>(in[2]) << 24);
      std::memcpy(out, &raw, 4);
    }
    return;
  }
  std::memcpy(out, in, frames * format.blockAlign);
}

}  // namespace

WaveOutStream::WaveOutStream(WaveOutHandle handle, const WaveOutFormat& format, WaveOutCallback callback,
                             WaveOutStart start)
    : handle_(handle),
      format_(format),
      deviceFormat_(deviceFormatFor(format)),
      callback_(std::move(callback)),
      paused_(start == WaveOutStart::Paused),
      directTail_(kDirectTailFrames * deviceFormat_.blockAlign),
      interpolator_(format.channels, kChunkFrames),
      frame_(format.channels),
      finished_(kMaxOutstandingBuffers),
      delivering_(kMaxOutstandingBuffers) {}

WaveOutStream::~WaveOutStream() {
  bool sendClose = false;
  {
    std::lock_guard api(apiMutex_);
    sendClose = !closeSent_ && begun_;
    closed_ = true;
    closeSent_ = true;
  }
  stopKeeper();
  std::unique_ptr<WaveOutPort> port;
  {
    std::lock_guard api(apiMutex_);
    port = std::move(port_);
  }
  port.reset();
  if (sendClose) callback_(handle_, kWomClose, nullptr);
}

void WaveOutStream::begin(std::unique_ptr<WaveOutPort> port, const DeviceSource& source) {
  source_ = source;
  const std::uint32_t idleMs = source.driver != nullptr ? source.driver->idleMillisecondsBeforeClosing() : 0;
  idleLimitFrames_ = std::uint64_t{idleMs} * format_.samplesPerSec / 1000;
  if (idleLimitFrames_ > 0) {
    keeper_ = std::make_unique<RunThread>("sib.wave-keeper", [this] { keep(); });
    keeper_->Start();
  }
  callback_(handle_, kWomOpen, nullptr);
  // Started before it is published: a driver may take its own locks in start(), and none of them
  // may be taken inside apiMutex_.
  port->start();
  std::lock_guard api(apiMutex_);
  periodFrames_ = port->periodFrames();
  port_ = std::move(port);
  begun_ = true;
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
  std::lock_guard queue(queueMutex_);
  if (writtenHeaders_ - completedHeaders_ >= kMaxOutstandingBuffers) return kMMNoMemory;
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
  wantDeviceIfPlayable();
  return kMMNoError;
}

MMResult WaveOutStream::setPaused(bool paused) {
  std::lock_guard api(apiMutex_);
  if (!usable()) return kMMInvalidHandle;
  std::lock_guard queue(queueMutex_);
  paused_ = paused;
  wantDeviceIfPlayable();
  return kMMNoError;
}

MMResult WaveOutStream::reset() {
  std::unique_lock api(apiMutex_);
  if (!usable()) return kMMInvalidHandle;
  std::unique_lock queue(queueMutex_);
  while (head_ != nullptr) finishHead();
  interpolator_.clear();
  direct_ = true;
  directFrames_ = 0;
  directTailFrames_ = 0;
  writtenFrames_ = 0;
  primed_ = false;
  // The callback may write the buffers again: no lock of the API's is held while it runs.
  api.unlock();
  deliverFinished(queue);
  return kMMNoError;
}

MMResult WaveOutStream::close() {
  {
    std::lock_guard api(apiMutex_);
    if (!usable()) return kMMInvalidHandle;
    {
      std::lock_guard queue(queueMutex_);
      if (head_ != nullptr) return kWaveStillPlaying;
    }
    closed_ = true;
    closeSent_ = true;
  }
  stopKeeper();  // from here on no port is opened or closed but here
  std::unique_ptr<WaveOutPort> port;
  {
    std::lock_guard api(apiMutex_);
    port = std::move(port_);
  }
  port.reset();  // render has returned for the last time
  callback_(handle_, kWomClose, nullptr);
  return kMMNoError;
}

MMResult WaveOutStream::status(WaveOutStatus& status) {
  std::lock_guard api(apiMutex_);
  if (!usable()) return kMMInvalidHandle;
  std::lock_guard queue(queueMutex_);
  const std::uint64_t played =
      directFrames_ + (direct_ ? 0 : static_cast<std::uint64_t>(interpolator_.position()));
  status.playedFrames = played;
  status.queuedFrames = writtenFrames_ > played ? writtenFrames_ - played : 0;
  status.underrunFrames = underrunFrames_;
  status.periodFrames = periodFrames_;
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

// ---- device side (port's thread, device lock held) ----

void WaveOutStream::render(std::byte* out, std::uint32_t frames) {
  std::unique_lock queue(queueMutex_);
  if (paused_ || lost_.load(std::memory_order_relaxed)) {
    renderSilence(out, frames);
    if (head_ == nullptr) noteIdle(frames);
    return;
  }
  const std::int64_t ppb = rateAdjustPpb_.load(std::memory_order_relaxed);
  finishFinishedHeads();
  if (direct_ && ppb != 0) startInterpolating();
  if (direct_) {
    fillShortfall(out, renderDirect(out, frames), frames);
  } else {
    for (std::size_t left = frames; left > 0;) {
      const std::size_t chunk = std::min(left, kChunkFrames);
      renderChunk(out, chunk, ppb);
      out += chunk * deviceFormat_.blockAlign;
      left -= chunk;
    }
  }
  if (head_ == nullptr) {
    noteIdle(frames);
  } else {
    idleFrames_ = 0;
  }
  deliverFinished(queue);
}

std::size_t WaveOutStream::renderDirect(std::byte* out, std::size_t frames) {
  std::size_t produced = 0;
  while (produced < frames && head_ != nullptr) {
    const std::size_t take =
        static_cast<std::size_t>(std::min<std::uint64_t>(frames - produced, framesOf(head_) - headFrame_));
    copyForDevice(format_, head_->data + headFrame_ * format_.blockAlign, take,
                  out + produced * deviceFormat_.blockAlign);
    headFrame_ += take;
    produced += take;
    finishFinishedHeads();
  }
  directFrames_ += produced;
  keepDirectTail(out, produced);
  return produced;
}

void WaveOutStream::keepDirectTail(const std::byte* played, std::size_t frames) {
  const std::size_t frameBytes = deviceFormat_.blockAlign;
  if (frames >= kDirectTailFrames) {
    std::memcpy(directTail_.data(), played + (frames - kDirectTailFrames) * frameBytes, directTail_.size());
    directTailFrames_ = kDirectTailFrames;
    return;
  }
  const std::size_t kept = std::min(directTailFrames_, kDirectTailFrames - frames);
  std::memmove(directTail_.data(), directTail_.data() + (directTailFrames_ - kept) * frameBytes, kept * frameBytes);
  std::memcpy(directTail_.data() + kept * frameBytes, played, frames * frameBytes);
  directTailFrames_ = kept + frames;
}

// The interpolator starts on the frames just played directly, as if it had played them itself.
void WaveOutStream::startInterpolating() {
  direct_ = false;
  interpolator_.clear();
  const std::size_t frames = directTailFrames_;
  double* past = interpolator_.append(frames);
  const std::size_t samples = frames * format_.channels;
  if (sampleKindOf(format_) == SampleKind::S24) {  // widened for the device: back to 24-bit values
    decodeSamples(SampleKind::S32, directTail_.data(), samples, past);
    for (std::size_t i = 0; i < samples; ++i) past[i] /= 256;
  } else {
    decodeSamples(sampleKindOf(format_), directTail_.data(), samples, past);
  }
  const double* skipped = nullptr;
  interpolator_.takeUnchanged(frames, 0, skipped);
  directFrames_ -= frames;  // counted again in the interpolator's position
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
  fillShortfall(out, produced, frames);
}

// Something produced primes the stream; the frames that could not be produced are silence, and count
// as an underrun once the stream is primed.
void WaveOutStream::fillShortfall(std::byte* out, std::size_t produced, std::size_t frames) {
  if (produced > 0) primed_ = true;
  if (produced == frames) return;
  renderSilence(out + produced * deviceFormat_.blockAlign, frames - produced);
  if (primed_) underrunFrames_ += frames - produced;
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
// so the flags change last and the header goes to the callback only after that.
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
  ++completedHeaders_;
  // Room for every header the device may hold (write refuses more): the list never overflows.
  finished_[finishedCount_++] = header;
}

// The queue lock is given up before the callback runs: whoever the callback wakes (the caller's
// thread, to write the next buffer) finds the queue free instead of waiting for this render to end.
// The delivery lock, taken before the queue lock goes, keeps the messages in order between a render
// and a reset.
void WaveOutStream::deliverFinished(std::unique_lock<std::mutex>& queue) {
  if (finishedCount_ == 0) return;
  std::lock_guard delivery(deliveryMutex_);
  std::swap(finished_, delivering_);
  const std::size_t count = std::exchange(finishedCount_, 0);
  queue.unlock();
  for (std::size_t i = 0; i < count; ++i) callback_(handle_, kWomDone, delivering_[i]);
}

// ---- letting the device go while there is nothing to play ----

void WaveOutStream::noteIdle(std::size_t frames) {
  if (idleLimitFrames_ == 0 || letGo_) return;
  idleFrames_ += frames;
  if (idleFrames_ < idleLimitFrames_) return;
  letGo_ = true;
  callKeeper();
}

void WaveOutStream::wantDeviceIfPlayable() {
  if (!letGo_ || paused_ || head_ == nullptr) return;
  letGo_ = false;
  idleFrames_ = 0;
  callKeeper();
}

// Taken under the queue lock, on the device's thread too: the keeper holds its lock only to look at
// its flags.
void WaveOutStream::callKeeper() {
  {
    std::lock_guard keeper(keeperMutex_);
    keeperCalled_ = true;
  }
  keeperWake_.notify_one();
}

// Each call makes the port what the stream wants now; a call that comes while the keeper works on the
// last one makes it look again.
void WaveOutStream::keep() {
  while (true) {
    {
      std::unique_lock keeper(keeperMutex_);
      keeperWake_.wait(keeper, [this] { return keeperCalled_ || keeperStop_; });
      if (keeperStop_) return;
      keeperCalled_ = false;
    }
    bool wanted;
    {
      std::lock_guard queue(queueMutex_);
      wanted = !letGo_;
    }
    if (wanted) {
      reopenPort();
    } else {
      closeIdlePort();
    }
  }
}

void WaveOutStream::closeIdlePort() {
  std::unique_ptr<WaveOutPort> port;
  {
    std::lock_guard api(apiMutex_);
    if (closed_) return;
    std::lock_guard queue(queueMutex_);
    if (!letGo_) return;
    port = std::move(port_);
  }
  // Closing waits for a render under way, whose callback may call the API: no lock of ours is held.
  port.reset();
}

// A device that cannot be opened again counts as lost: the caller hears of it as of any other loss.
void WaveOutStream::reopenPort() {
  {
    std::lock_guard api(apiMutex_);
    if (closed_ || port_ || lost_.load(std::memory_order_acquire)) return;
  }
  std::unique_ptr<WaveOutPort> port;
  if (source_.driver->openPort(source_.deviceId, deviceFormat_, source_.periodFrames, *this, port) != kMMNoError) {
    deviceLost();
    return;
  }
  port->start();
  std::unique_ptr<WaveOutPort> unused;
  {
    std::lock_guard api(apiMutex_);
    if (closed_) {
      unused = std::move(port);
    } else {
      port_ = std::move(port);
    }
  }
}

void WaveOutStream::stopKeeper() {
  if (!keeper_) return;
  {
    std::lock_guard keeper(keeperMutex_);
    keeperStop_ = true;
  }
  keeperWake_.notify_one();
  keeper_.reset();
}

void WaveOutStream::deviceLost() {
  lost_.store(true, std::memory_order_release);
  if (!lossReported_.exchange(true, std::memory_order_acq_rel)) callback_(handle_, kWomDeviceLost, nullptr);
}

}  // namespace sib
