// Which output device the audio output plays on (TALAudioOutDevice): a device by product name, or
// "Default" (any case) for the platform's default device, with alternatives (TALAudioOutDeviceItems
// of TALAudioOutDeviceItem) tried in order when the named device is absent. A device whose
// capabilities cannot be read is reported through the output's OnWarning.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/lp_collection.h"
#include "framework/lp_component.h"

namespace sib {

class TALAudioOut;

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
  // What FindDevice returns when a device's capabilities could not be read.
  static constexpr int kUnreadableDevice = -2;
  // The number of the first device, in device order, whose product name AMatches; kWaveMapper when
  // none does, kUnreadableDevice (after the warning) when a device before the match cannot be read.
  int FindDevice(const std::function<bool(const std::string& AProductName)>& AMatches);
  // The number of the device named exactly AName, or kWaveMapper; 0 when a device cannot be read.
  int LookUp(const std::string& AName);

  std::unique_ptr<TALAudioOutDeviceItems> FAlternativeDevices;
  std::string FDeviceName = "Default";
  TALAudioOut* FOwner;
};

}  // namespace sib
