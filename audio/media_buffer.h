// The media layer between the generic data buffer and the audio buffer: a storage block that carries
// a time stamp (`TMLSmartMediaBuffer`), the buffer that views one (`TMLMediaBuffer`) and the view of
// the stamp (`TMLTimeStamp`). All buffers that share a block share its time stamp, and a clone of the
// block carries it along. Times are in 100-nanosecond units.
#pragma once

#include <cstdint>
#include <memory>

#include "signal/generic_buffer.h"

namespace sib {

class TMLTimeStamp;

class IMLMediaBuffer : public ISLDataBuffer {
 public:
  static constexpr TGUID IID = "{D4894B42-BC18-4BDD-9AA0-320612A44E5F}"_guid;
  using Parent = ISLDataBuffer;

  // Owned by the buffer; valid while the buffer lives.
  virtual TMLTimeStamp* GetTimeStamp() = 0;
};

class TMLSmartMediaBuffer : public TSLSmartBuffer {
 public:
  TMLSmartMediaBuffer() = default;

  // Each accessor holds the block's lock while it reads or writes.
  bool GetTimeStampAvailable();
  void SetTimeStampAvailable(bool AValue);
  std::int64_t GetTimeStampBegin();
  void SetTimeStampBegin(std::int64_t AValue);
  std::int64_t GetTimeStampEnd();
  void SetTimeStampEnd(std::int64_t AValue);
  // Copies the three time fields of AOther.
  virtual void SetTimeData(TMLSmartMediaBuffer& AOther);

 protected:
  // Copies this block's time fields into ATarget, a fresh block that no other thread can reach yet;
  // called with this block's lock held.
  void CopyTimeDataLocked(TMLSmartMediaBuffer& ATarget);

 private:
  bool FTimeStampAvailable = false;
  std::int64_t FTimeStampBegin = 0;
  std::int64_t FTimeStampEnd = 0;
};

class TMLMediaBuffer;

// A view of the time stamp of a media buffer's current block.
class TMLTimeStamp {
 public:
  explicit TMLTimeStamp(TMLMediaBuffer& ABuffer) : FIntBuffer(ABuffer) {}

  bool Available() const;
  void SetAvailable(bool AValue);
  std::int64_t BeginTime() const;
  void SetBeginTime(std::int64_t AValue);
  std::int64_t EndTime() const;
  void SetEndTime(std::int64_t AValue);

 private:
  TMLSmartMediaBuffer& Block() const;
  TMLMediaBuffer& FIntBuffer;
};

class TMLMediaBuffer : public TSLGenericBuffer {
 public:
  TMLMediaBuffer(TMLSmartMediaBuffer* ADataContainer, std::uint32_t ASize);
  TMLMediaBuffer(std::unique_ptr<TMLSmartMediaBuffer> AFreshBlock, std::uint32_t ASize);
  TMLMediaBuffer(TSLViewOf, TMLMediaBuffer& AOther);

  virtual TMLTimeStamp* GetTimeStamp() { return &FTimeStamp; }

 private:
  TMLTimeStamp FTimeStamp{*this};
};

}  // namespace sib
