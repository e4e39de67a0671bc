// The wave player (TALWavePlayer): the common player's file side for RIFF WAVE files. It opens a
// file through the wave reader (platform/media/wave_file.h), chooses the PCM format it delivers,
// reads blocks of frames and decodes coded audio (ADPCM, A-law, µ-law, IEEE float) to 16-bit PCM on
// the way (platform/media/wave_decoder.h), rewinds and closes.
//
// Failures to open are reported through OnError; when no handler marks one handled it is raised as
// ESLException "<text> - <code in decimal> - <code in upper-case hex>". A coded file whose decoder
// cannot be opened is reported the same way and stays closed: its bytes are never played as PCM.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/common_player.h"
#include "audio/error_events.h"
#include "platform/media/wave_decoder.h"
#include "platform/media/wave_file.h"

namespace sib {

using TSLTextCaptionEvent = TEvent<TObject*, const std::string&>;

class TALWavePlayer : public TALCommonPlayer {
  SIB_CLASS(TALWavePlayer, TALCommonPlayer)
 public:
  explicit TALWavePlayer(TComponent* AOwner);
  ~TALWavePlayer() override;

  static TPropertyList PublishedProperties() {
    return {
        prop("OnCaptionText", &TALWavePlayer::FOnCaptionText),
        prop("OnError", &TALWavePlayer::FOnError, &TALWavePlayer::SetOnError),
    };
  }
  void SetOnCaptionText(TSLTextCaptionEvent Value) { FOnCaptionText = std::move(Value); }
  void SetOnError(TSLErrorEvent Value);

 protected:
  void OpenFile() override;
  // Caller holds the lock.
  void CloseFile() override;
  void StartPlaying(bool ARestart) override;
  void ResetPosition() override;
  std::int32_t ReadSamples(std::uint8_t* ABuffer, std::int32_t ACount) override;
  // The reader offers no caption streams, so there is never a caption to deliver.
  void ProcessCaptions() override {}

  // Hands the error to OnError; raises ESLException unless the handler marks it handled.
  void ReportError(const std::string& AText, std::int32_t ACode);

  std::unique_ptr<WaveFile> FAVIFile;
  std::unique_ptr<WaveStream> FAudioStream;
  std::int32_t FReadPosition = 0;
  std::int32_t FAudioStart = 0;
  std::unique_ptr<WaveDecoder> FPACMStream;
  TALWaveFormatExtensible FUncompressedAudioFormat;
  std::int32_t FUncompressedLength = 0;
  std::int32_t FExtractPosition = 0;
  std::vector<std::uint8_t> FUncompressedBuffer;
  std::int32_t FOldTextStart = -1;
  TSLTextCaptionEvent FOnCaptionText;
  TSLErrorEvent FOnError;
  // The stream's format exactly as stored.
  std::vector<std::uint8_t> lpFormat;

 private:
  // Announces the opened file's format downstream with a start-wave when nothing runs yet, on a
  // restart, or when a file replaced while running delivers another format than the one announced:
  // the running stream is then stopped first, so that the output plays out the old format and opens
  // the device again in the new one instead of playing the new samples at the old rate.
  void AnnounceFormat(bool ARestart);

  // Chooses FWaveFormat (and opens the decoder of a coded source). False when the decoder cannot be
  // opened; ADecoderResult then holds its code.
  bool ChooseDeliveredFormat(const WaveStream& AStream, std::unique_ptr<WaveDecoder>& ADecoder,
                             MediaResult& ADecoderResult);
  // Copies pending decoded frames to ABuffer; returns how many.
  std::int32_t ExtractPending(std::uint8_t* ABuffer, std::int32_t ACount, std::uint32_t AFrameBytes);
  // Decodes ABytes coded bytes held in ABuffer back into ABuffer (at most ACount frames), keeping the
  // surplus; returns the frames placed.
  std::int32_t DecodeInPlace(std::uint8_t* ABuffer, std::int32_t ABytes, std::int32_t ACount,
                             std::uint32_t AFrameBytes);

  // What the last start-wave announced.
  TALWaveFormatExtensible FAnnouncedFormat;
};

}  // namespace sib
