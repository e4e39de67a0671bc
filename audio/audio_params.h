// What the audio output shares with its device thread: the buffers on the device (TALWaveBuffer), the
// parameter block behind the parameter lock (IALAudioParams / TALAudioParams), and a scope that holds
// that lock (TALParamsSection). The lock comes after the component's lock and is never held while the
// output calls upstream.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "audio/audio_buffer.h"
#include "platform/audio/wave_out.h"
#include "platform/core/interface.h"

namespace sib {

// One buffer on the device: the header points into Data's own samples, which Data keeps alive.
struct TALWaveBuffer {
  WaveOutHandle HOut = 0;
  WaveHeader WaveHdr;
  RefPtr<IALAudioBuffer> Data;
};

// The state the output shares with its device thread. The accessors do not lock; callers hold
// Lock/Unlock around them.
class IALAudioParams : public IInterface {
 public:
  static constexpr TGUID IID = "{EDF390D0-01DA-47DE-BE7D-8ECEB497AE7D}"_guid;
  virtual bool GetIsOpen() = 0;
  virtual void SetIsOpen(bool Value) = 0;
  virtual bool GetIsPump() = 0;
  virtual void SetIsPump(bool Value) = 0;
  virtual std::vector<std::unique_ptr<TALWaveBuffer>>& GetList() = 0;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

class TALAudioParams : public Implements<IALAudioParams> {
 public:
  bool GetIsOpen() override { return FIsOpen; }
  void SetIsOpen(bool Value) override { FIsOpen = Value; }
  bool GetIsPump() override { return FIsPump; }
  void SetIsPump(bool Value) override { FIsPump = Value; }
  std::vector<std::unique_ptr<TALWaveBuffer>>& GetList() override { return FBufferList; }
  void Lock() override { FSection.lock(); }
  void Unlock() override { FSection.unlock(); }

 private:
  bool FIsOpen = false;
  bool FIsPump = false;
  std::vector<std::unique_ptr<TALWaveBuffer>> FBufferList;
  std::recursive_mutex FSection;
};

// Holds the parameter lock for a scope.
class TALParamsSection {
 public:
  explicit TALParamsSection(IALAudioParams& AParams) : FParams(&AParams) { FParams->Lock(); }
  ~TALParamsSection() { Leave(); }
  TALParamsSection(const TALParamsSection&) = delete;
  TALParamsSection& operator=(const TALParamsSection&) = delete;
  void Leave() {
    if (FParams) FParams->Unlock();
    FParams = nullptr;
  }

 private:
  IALAudioParams* FParams;
};

}  // namespace sib
