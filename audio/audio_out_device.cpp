#include "audio/audio_out_device.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "audio/audio_out.h"
#include "platform/audio/wave_out.h"

namespace sib {

namespace {

std::string upperCase(std::string AText) {
  std::transform(AText.begin(), AText.end(), AText.begin(), [](unsigned char c) { return std::toupper(c); });
  return AText;
}

bool isDefaultName(const std::string& AName) { return upperCase(AName) == "DEFAULT"; }

}  // namespace

TALAudioOutDeviceItem::TALAudioOutDeviceItem(TCollection* Collection) : TLPCollectionItem(Collection) {}

TALAudioOutDeviceItems::TALAudioOutDeviceItems(TALAudioOutDevice* AOwnerProperty)
    : TLPCollection(AOwnerProperty, TALAudioOutDeviceItem::StaticClass()), FOwnerProperty(AOwnerProperty) {}

TALAudioOutDeviceItem* TALAudioOutDeviceItems::Add() {
  std::vector<std::string> devices;
  FOwnerProperty->GetDeviceList(devices);
  std::string name = "Default";
  if (!devices.empty()) {
    std::map<std::string, int> uses;
    for (int i = 0; i < Count(); ++i) ++uses[Items(i)->DeviceName()];
    name = *std::min_element(devices.begin(), devices.end(),
                             [&uses](const std::string& a, const std::string& b) { return uses[a] < uses[b]; });
  }
  auto* item = static_cast<TALAudioOutDeviceItem*>(TCollection::Add());
  item->SetDeviceName(name);
  return item;
}

TALAudioOutDevice::TALAudioOutDevice(TALAudioOut* AOwner)
    : TLPPersistent(AOwner),
      FAlternativeDevices(std::make_unique<TALAudioOutDeviceItems>(this)),
      FOwner(AOwner) {}

TALAudioOutDevice::~TALAudioOutDevice() = default;

int TALAudioOutDevice::FindDevice(const std::function<bool(const std::string& AProductName)>& AMatches) {
  const std::uint32_t count = waveOutGetNumDevs();
  for (std::uint32_t id = 0; id < count; ++id) {
    WaveOutCaps caps;
    if (const MMResult result = waveOutGetDevCaps(id, caps); result != kMMNoError) {
      if (FOwner) FOwner->Warning("Can't get device capabilities.", result);
      return kUnreadableDevice;
    }
    if (AMatches(caps.productName)) return static_cast<int>(id);
  }
  return kWaveMapper;
}

void TALAudioOutDevice::GetDeviceList(std::vector<std::string>& Values) {
  FindDevice([&Values](const std::string& AProductName) {
    Values.push_back(AProductName);
    return false;
  });
}

int TALAudioOutDevice::LookUp(const std::string& AName) {
  const std::string name = AName.substr(0, kMaxProductNameLength);
  const int id = FindDevice([&name](const std::string& AProductName) { return AProductName == name; });
  return id == kUnreadableDevice ? 0 : id;
}

int TALAudioOutDevice::GetDeviceID() {
  const std::string name = DeviceName();
  if (isDefaultName(name)) return kWaveMapper;
  if (const int id = LookUp(name); id != kWaveMapper) return id;
  for (int i = 0; i < FAlternativeDevices->Count(); ++i) {
    const std::string alternative = FAlternativeDevices->Items(i)->DeviceName();
    if (isDefaultName(alternative)) return kWaveMapper;
    if (const int id = LookUp(alternative); id != kWaveMapper) return id;
  }
  return kWaveMapper;
}

}  // namespace sib
