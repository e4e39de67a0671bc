// The waveform output's default driver: SDL2's audio output devices, each fed by a pull callback on
// SDL's audio thread. SDL converts the stream's format to whatever the sound card takes.
//
// A stream that has had nothing to play for half a second closes its SDL device, which ends SDL's
// audio thread, and opens it again when it has something to play (wave_out_stream.h).
//
// A device that goes away is reported as kWomDeviceLost: the main loop passes SDL's events to
// waveOutHandleSdlEvent, and without a main loop the device's own callback sees SDL's status turn to
// stopped within a period.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "platform/core/mm_result.h"

namespace sib {

class WaveOutDriver;

WaveOutDriver& sdlWaveOutDriver();

// Reports SDL_AUDIODEVICEREMOVED for an output device opened here; other events are ignored.
void waveOutHandleSdlEvent(const SDL_Event& event);

// Restarts SDL's audio with the named driver ("dummy", "disk", "pulseaudio", ...; nullptr lets SDL
// choose, honouring SDL_AUDIODRIVER). kMMAllocated while a device of this driver is open;
// kMMNoDriver when SDL cannot start that driver.
MMResult selectSdlAudioDriver(const char* name);

// SDL's ids of the devices open now, oldest first.
std::vector<std::uint32_t> openSdlAudioDeviceIds();

}  // namespace sib
