// The audio output, the sink of the pipeline: TALBasicAudioOut (pins, Enabled, master pumping, the
// stored format) and TALAudioOut (the sound device, prefill, the notification queue, device choice by
// name with alternatives, errors and warnings), with the state it shares with its device thread
// (TALAudioParams), that thread (TALWaveThread) and the device settings (TALAudioOutDevice).
//
// The device is opened paused in the format of the last start-wave and starts once more than
// PrefillInterval milliseconds have been written. Notifications wait in a queue while the device
// already holds more than one buffer; every finished buffer is released on the device thread, which
// then moves the queue on. The device thread also steers the device's playback rate (within
// +-1000 ppm) from the depth of queued audio, so that the latency between the producer and the
// speaker stays bounded however far the sound card's clock is off. A device that goes away while
// playing is reported through OnWarning; the next start plays on the default device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_buffer.h"
#include "audio/audio_pins.h"
#include "audio/error_events.h"
#include "framework/collection.h"
#include "framework/component.h"
#include "framework/lp_thread.h"
#include "framework/value_pins.h"
#include "platform/audio/wave_out.h"
#include "signal/main_thread_notify.h"
#include "signal/notify_thread.h"
#include "signal/operation_list.h"

namespace sib {

class TALAudioOut;

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

using TALWaveProcessMessage = std::function<void(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr)>;

// The output's device thread: device messages are appended from the platform's delivery thread and
// handled here one at a time, in order. Messages still pending when the thread ends are dropped.
class TALWaveThread : public TLPThread {
 public:
  TALWaveThread(TComponent* AOwner, TALWaveProcessMessage AOnProcess);
  ~TALWaveThread() override;

  // Any thread; nothing once the thread is terminating.
  void Append(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr);
  // Drops the messages not yet handled.
  void DiscardPending();
  // Ends the thread after the message in progress and waits for it. Not from the thread itself.
  void Stop();
  // Waits until every message appended so far has been handled. Not from the thread itself.
  void WaitUntilIdle();

 protected:
  void Execute() override;

 private:
  struct TALWaveItemNode {
    WaveOutHandle hwo;
    std::uint32_t uMsg;
    WaveHeader* AWaveHdr;
  };

  TALWaveProcessMessage FOnProcess;
  std::mutex FSection;
  std::condition_variable FSemaphore;
  std::condition_variable FIdle;
  std::deque<TALWaveItemNode> FItems;
  bool FBusy = false;
  bool FStopping = false;
};

class TALAudioOutDeviceItem : public TLPCollectionItem {
  SIB_CLASS(TALAudioOutDeviceItem, TLPCollectionItem)
 public:
  explicit TALAudioOutDeviceItem(TCollection* Collection);
  static TPropertyList PublishedProperties() {
    return {prop("DeviceName", &TALAudioOutDeviceItem::DeviceName, &TALAudioOutDeviceItem::SetDeviceName)};
  }
  std::string DeviceName() const { return FLock->Getter(FDeviceName); }
  void SetDeviceName(std::string Value) { FLock->Setter(FDeviceName, Value, {}); }
  std::string GetDisplayName() const override { return DeviceName(); }

 private:
  std::string FDeviceName;
};

class TALAudioOutDevice;

class TALAudioOutDeviceItems : public TLPCollection {
  SIB_CLASS(TALAudioOutDeviceItems, TLPCollection)
 public:
  explicit TALAudioOutDeviceItems(TALAudioOutDevice* AOwnerProperty);
  // A new item named after the device that the fewest items name (the first such in device order),
  // or "Default" without devices.
  TALAudioOutDeviceItem* Add();
  TALAudioOutDeviceItem* Items(int Index) const { return static_cast<TALAudioOutDeviceItem*>(TCollection::Items(Index)); }
  TALAudioOutDevice* GetOwnerProperty() const { return FOwnerProperty; }

 private:
  TALAudioOutDevice* FOwnerProperty;
};

// Which output device plays: by product name, "Default" (any case) for the platform's default device,
// with alternatives tried in order when the named device is absent.
class TALAudioOutDevice : public TLPPersistent {
  SIB_CLASS(TALAudioOutDevice, TLPPersistent)
 public:
  explicit TALAudioOutDevice(TALAudioOut* AOwner);
  ~TALAudioOutDevice() override;
  static TPropertyList PublishedProperties() {
    return {
        prop("AlternativeDevices", &TALAudioOutDevice::AlternativeDevices, &TALAudioOutDevice::SetAlternativeDevices),
        prop("DeviceName", &TALAudioOutDevice::DeviceName, &TALAudioOutDevice::SetDeviceName).defaultValue("Default"),
    };
  }
  TALAudioOutDeviceItems* AlternativeDevices() const { return FAlternativeDevices.get(); }
  void SetAlternativeDevices(TALAudioOutDeviceItems* Value) { FAlternativeDevices->Assign(Value); }
  std::string DeviceName() const { return FLock->Getter(FDeviceName); }
  void SetDeviceName(std::string Value) { FLock->Setter(FDeviceName, Value, {}); }

  // The device number, or kWaveMapper for the default device.
  int GetDeviceID();
  // Appends the name of every output device; stops at a device whose name cannot be read.
  void GetDeviceList(std::vector<std::string>& Values);
  // Without a window toolkit at hand the choice is not offered: returns false.
  bool ShowDeviceSelctDialog() { return false; }

 private:
  // The number of the device named exactly AName, or kWaveMapper; 0 when a device cannot be read.
  int LookUp(const std::string& AName);

  std::unique_ptr<TALAudioOutDeviceItems> FAlternativeDevices;
  std::string FDeviceName = "Default";
  TALAudioOut* FOwner;
};

class TALBasicAudioOut : public TLPComponent {
  SIB_CLASS(TALBasicAudioOut, TLPComponent)
 public:
  explicit TALBasicAudioOut(TComponent* AOwner);
  ~TALBasicAudioOut() override;

  static TPropertyList PublishedProperties() {
    return {
        prop("Enabled", &TALBasicAudioOut::Enabled, &TALBasicAudioOut::SetEnabled).defaultValue(true),
        prop("MasterPumping", &TALBasicAudioOut::MasterPumping, &TALBasicAudioOut::SetMasterPumping),
        prop("InputPin", &TALBasicAudioOut::InputPin),
        prop("EnablePin", &TALBasicAudioOut::EnablePin),
        prop("ClockOutputPin", &TALBasicAudioOut::ClockOutputPin),
    };
  }
  bool Enabled() const { return FLock->Getter(FEnabled); }
  void SetEnabled(bool Value);
  TLPMasterPumping* MasterPumping() const { return FMasterPumping.get(); }
  void SetMasterPumping(TLPMasterPumping* Value) { FMasterPumping->Assign(Value); }
  TALOWAudioSinkPin* InputPin() const { return FInputPin.get(); }
  TOWBoolStatePin* EnablePin() const { return FEnablePin.get(); }
  TOWClockSourcePin* ClockOutputPin() const { return FClockOutputPin.get(); }

  // Reads the keys of older versions: "PumpPriority", "EnableMasterPumping", "PreFillEnabled".
  void DefineProperties(TFiler& Filer) override;
  void BeforeDestruction() override;

 protected:
  virtual void EnabledChanged() {}
  virtual TOWNotifyResult InputNotify(TOWBasicPin*, const TGUID*, IOWNotifyOperation*, TOWNotifyState) { return {}; }
  void SetWaveFormat(const TALWaveFormatExtensible* AFormat);

  TOWPinRef<TALOWAudioSinkPin> FInputPin;
  TOWPinRef<TOWBoolStatePin> FEnablePin;
  TOWPinRef<TOWClockSourcePin> FClockOutputPin;
  bool FEnabled = true;
  std::unique_ptr<TLPMasterPumping> FMasterPumping;
  std::optional<TALWaveFormatExtensible> FWaveFormat;
};

class TALAudioOut : public TALBasicAudioOut {
  SIB_CLASS(TALAudioOut, TALBasicAudioOut)
 public:
  explicit TALAudioOut(TComponent* AOwner);
  ~TALAudioOut() override;

  static TPropertyList PublishedProperties() {
    return {
        prop("PrefillInterval", &TALAudioOut::PrefillInterval, &TALAudioOut::SetPrefillInterval).defaultValue(300),
        prop("Device", &TALAudioOut::Device, &TALAudioOut::SetDevice),
        prop("OnError", &TALAudioOut::FOnError, &TALAudioOut::SetOnError),
        prop("OnWarning", &TALAudioOut::FOnWarning, &TALAudioOut::SetOnWarning),
    };
  }
  std::uint32_t PrefillInterval() const { return FLock->Getter(FPrefillInterval); }
  void SetPrefillInterval(std::uint32_t Value) { FLock->Setter(FPrefillInterval, Value, {}); }
  TALAudioOutDevice* Device() const { return FDevice.get(); }
  void SetDevice(TALAudioOutDevice* Value) { FDevice->Assign(Value); }
  void SetOnError(TSLErrorEvent Value);
  void SetOnWarning(TSLWarningEvent Value);

  // Drops the queued notifications; an open device is reset (its buffers come back) and paused, and
  // the prefill phase begins again.
  void Flush();
  void BeforeDestruction() override;

  // Waits until the device thread has handled every device message received so far (for tools and
  // tests that drive a simulated device).
  void WaitUntilDeviceIdle();
  // The audio waiting between the input pin and the speaker, in stream frames: the device's queue
  // plus the buffers in the notification queue.
  std::uint64_t QueuedFrames();
  // The open device's status; false while no device is open.
  bool GetDeviceStatus(WaveOutStatus& AStatus);

  // Hands an error to OnError and raises ESLException ("%s - %u - %x") unless the handler marks it
  // handled; a warning only goes to OnWarning.
  void Error(const std::string& AText, MMResult ACode);
  void Warning(const std::string& AText, MMResult ACode);

  // The depth of queued audio the rate steering holds the output at, in milliseconds. Steering is
  // for sources on their own clock; while the output pumps the pipeline, the device plays at its
  // nominal rate.
  static constexpr double kTargetLatencyMs = 80.0;
  // How hard the steering pulls: ppm per millisecond of depth away from the target.
  static constexpr double kSteeringPpmPerMs = 20.0;

 protected:
  void EnabledChanged() override;
  TOWNotifyResult InputNotify(TOWBasicPin* Sender, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                              TOWNotifyState State) override;

 private:
  void ProcessQueue(bool FromDevice);
  bool ProcessOperation(const OperationRef& Operation, bool FromDevice);
  void ProcessPumpRequest(TOWPumpRequestOperation* ARequest);
  void ClaimPump(TOWPumpRequestOperation* ARequest);  // parameter lock held
  void OpenDevice(const TALWaveFormatExtensible& AFormat);
  void CloseDevice(bool ClearPump);
  void PlayBuffer(const RefPtr<TALAudioBuffer>& ABuffer);
  void Pause();
  void Resume();
  void DoFlush();
  void DeviceMessage(std::uint32_t uMsg, WaveOutHandle hwo, WaveHeader* AWaveHdr);
  void BufferDone(WaveOutHandle hwo, WaveHeader* AWaveHdr);
  void DeviceLost();
  void SteerRate();
  void MasterPump();
  void PushOperation(IOWNotifyOperation* Operation);
  OperationRef PopOperation();

  WaveOutHandle HOut = 0;
  std::uint32_t FPrefillInterval = 300;
  RefPtr<IALAudioParams> FParams;
  std::atomic<bool> FStopped{false};
  std::unique_ptr<TALAudioOutDevice> FDevice;
  std::unique_ptr<TALWaveThread> FWaveThread;
  std::unique_ptr<TSLNotifyThread> FNotifyThread;
  std::unique_ptr<TSLMainThreadNotify> FProcessNotify;
  bool FResumed = false;
  bool FPaused = true;
  std::int32_t FMissedPumps = 0;
  std::unique_ptr<TSLOperationList> FBufferQueue;
  bool FStartResumed = false;
  std::int32_t FStopping = 0;
  std::int64_t FStartInterval = 0;
  TSLErrorEvent FOnError;
  TSLWarningEvent FOnWarning;

  // Frames of the buffers waiting in FBufferQueue (component lock).
  std::uint64_t FQueuedBufferFrames = 0;
  std::uint32_t FSampleRate = 0;
  // Smoothed depth of queued audio, milliseconds (device thread); negative until the first sample.
  double FAverageDepthMs = -1.0;
  // The device went away; the next open goes to the default device (parameter lock).
  bool FDeviceLost = false;
};

}  // namespace sib
