// Result codes of the audio device and media timer functions: 0 is success, anything else names the
// failure. The numbers are stable because they reach the user inside error messages ("... - 32 - 20").
// The sentences that describe them are the audio layer's (waveOutErrorText in platform/audio/wave_out.h).
#pragma once

#include <cstdint>

namespace sib {

using MMResult = std::uint32_t;

inline constexpr MMResult kMMNoError = 0;
inline constexpr MMResult kMMError = 1;            // a failure the driver did not explain
inline constexpr MMResult kMMBadDeviceId = 2;      // no device has this number
inline constexpr MMResult kMMAllocated = 4;        // the device is in use
inline constexpr MMResult kMMInvalidHandle = 5;    // not an open device (or already closed)
inline constexpr MMResult kMMNoDriver = 6;         // no audio driver, or the device has gone away
inline constexpr MMResult kMMNoMemory = 7;         // too many buffers outstanding on the device
inline constexpr MMResult kMMInvalidParam = 11;    // a null pointer, a bad period, a call from the wrong thread
inline constexpr MMResult kWaveBadFormat = 32;     // the device cannot play this format
inline constexpr MMResult kWaveStillPlaying = 33;  // buffers are still queued on the device
inline constexpr MMResult kWaveUnprepared = 34;    // the header was not prepared

}  // namespace sib
