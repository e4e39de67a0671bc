#include "platform/audio/mm_result.h"

#include "platform/core/format.h"

namespace sib {

std::string waveOutErrorText(MMResult code) {
  switch (code) {
    case kMMNoError: return "The operation completed successfully.";
    case kMMError: return "The audio driver reported an unspecified error.";
    case kMMBadDeviceId: return "There is no audio device with this number.";
    case kMMAllocated: return "The audio device is already in use.";
    case kMMInvalidHandle: return "The audio device handle is not valid.";
    case kMMNoDriver: return "The audio device is not available (no driver, or the device was removed).";
    case kMMNoMemory: return "Too many buffers are outstanding on the audio device.";
    case kMMInvalidParam: return "A parameter of the call is not valid.";
    case kWaveBadFormat: return "The audio device cannot play this wave format.";
    case kWaveStillPlaying: return "Buffers are still queued on the audio device.";
    case kWaveUnprepared: return "The wave header has not been prepared.";
    default: return formatText("Unknown audio device error %u.", {code});
  }
}

}  // namespace sib
