#include "platform/media/wave_format.h"

namespace sib {
namespace {

TGUID loadGuid(const std::uint8_t* at) {
  TGUID guid;
  guid.D1 = loadLe32(at);
  guid.D2 = loadLe16(at + 4);
  guid.D3 = loadLe16(at + 6);
  for (std::size_t i = 0; i < guid.D4.size(); ++i) guid.D4[i] = at[8 + i];
  return guid;
}

// The extensible sub-formats that carry a format tag: the PCM GUID with another first field.
std::uint16_t tagOfSubFormat(const TGUID& subFormat) {
  TGUID base = subFormat;
  base.D1 = kWaveSubFormatPcm.D1;
  if (base != kWaveSubFormatPcm || subFormat.D1 > 0xFFFF) return 0;
  return static_cast<std::uint16_t>(subFormat.D1);
}

}  // namespace

bool decodeWaveFormat(std::span<const std::uint8_t> stored, WaveFormatFields& fields) {
  fields = WaveFormatFields{};
  if (stored.size() < kWaveFormatBaseSize) return false;
  const std::uint8_t* p = stored.data();
  fields.wFormatTag = loadLe16(p);
  fields.nChannels = loadLe16(p + 2);
  fields.nSamplesPerSec = loadLe32(p + 4);
  fields.nAvgBytesPerSec = loadLe32(p + 8);
  fields.nBlockAlign = loadLe16(p + 12);
  fields.wBitsPerSample = loadLe16(p + 14);
  fields.encoding = fields.wFormatTag;
  if (stored.size() >= kWaveFormatExSize) {
    fields.cbSize = loadLe16(p + 16);
    const std::size_t available = stored.size() - kWaveFormatExSize;
    fields.extra = stored.subspan(kWaveFormatExSize, fields.cbSize < available ? fields.cbSize : available);
  }
  if (fields.extra.size() >= 2) fields.wValidBitsPerSample = loadLe16(p + 18);
  if (fields.wFormatTag != kWaveFormatExtensible) return true;

  if (stored.size() < kWaveFormatExtensibleSize || fields.cbSize < kWaveFormatExtensibleSize - kWaveFormatExSize)
    return false;
  fields.dwChannelMask = loadLe32(p + 20);
  fields.SubFormat = loadGuid(p + 24);
  fields.encoding = tagOfSubFormat(fields.SubFormat);
  return true;
}

bool isIntegerPcm(const WaveFormatFields& fields) { return fields.encoding == kWaveFormatPcm; }

bool isUsableWaveFormat(const WaveFormatFields& fields) {
  if (fields.nChannels == 0 || fields.nChannels > kWaveMaxChannels) return false;
  if (fields.nSamplesPerSec == 0 || fields.nSamplesPerSec > kWaveMaxSampleRate) return false;
  if (fields.nBlockAlign == 0 || fields.nAvgBytesPerSec == 0) return false;
  if (!isIntegerPcm(fields)) return true;  // the decoder judges the rest of a coded format

  // Integer PCM is delivered as stored: frames must be whole containers, one per channel.
  const unsigned bits = fields.wBitsPerSample;
  if (bits == 0 || bits > 32) return false;
  const unsigned containerBytes = (bits + 7) / 8;
  if (fields.nBlockAlign != fields.nChannels * containerBytes) return false;
  if (fields.wFormatTag == kWaveFormatExtensible &&
      (fields.wValidBitsPerSample == 0 || fields.wValidBitsPerSample > bits))
    return false;
  return true;
}

}  // namespace sib
