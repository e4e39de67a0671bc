#include "audio/media_buffer.h"

#include <mutex>

namespace sib {

bool TMLSmartMediaBuffer::GetTimeStampAvailable() {
  std::lock_guard guard(FCriticalSection);
  return FTimeStampAvailable;
}

void TMLSmartMediaBuffer::SetTimeStampAvailable(bool AValue) {
  std::lock_guard guard(FCriticalSection);
  FTimeStampAvailable = AValue;
}

std::int64_t TMLSmartMediaBuffer::GetTimeStampBegin() {
  std::lock_guard guard(FCriticalSection);
  return FTimeStampBegin;
}

void TMLSmartMediaBuffer::SetTimeStampBegin(std::int64_t AValue) {
  std::lock_guard guard(FCriticalSection);
  FTimeStampBegin = AValue;
}

std::int64_t TMLSmartMediaBuffer::GetTimeStampEnd() {
  std::lock_guard guard(FCriticalSection);
  return FTimeStampEnd;
}

void TMLSmartMediaBuffer::SetTimeStampEnd(std::int64_t AValue) {
  std::lock_guard guard(FCriticalSection);
  FTimeStampEnd = AValue;
}

void TMLSmartMediaBuffer::SetTimeData(TMLSmartMediaBuffer& AOther) {
  if (&AOther == this) return;
  bool available;
  std::int64_t begin, end;
  {
    // One lock at a time, so that two blocks copying from each other cannot deadlock.
    std::lock_guard guard(AOther.FCriticalSection);
    available = AOther.FTimeStampAvailable;
    begin = AOther.FTimeStampBegin;
    end = AOther.FTimeStampEnd;
  }
  std::lock_guard guard(FCriticalSection);
  FTimeStampAvailable = available;
  FTimeStampBegin = begin;
  FTimeStampEnd = end;
}

void TMLSmartMediaBuffer::CopyTimeDataLocked(TMLSmartMediaBuffer& ATarget) {
  // The target is a fresh block that no other thread can see yet, so it needs no lock of its own;
  // taking it here would nest two block locks in an order that pooled blocks can reverse.
  ATarget.FTimeStampAvailable = FTimeStampAvailable;
  ATarget.FTimeStampBegin = FTimeStampBegin;
  ATarget.FTimeStampEnd = FTimeStampEnd;
}

TMLSmartMediaBuffer& TMLTimeStamp::Block() const {
  return static_cast<TMLSmartMediaBuffer&>(*FIntBuffer.DataContainer());
}

bool TMLTimeStamp::Available() const { return Block().GetTimeStampAvailable(); }
void TMLTimeStamp::SetAvailable(bool AValue) { Block().SetTimeStampAvailable(AValue); }
std::int64_t TMLTimeStamp::BeginTime() const { return Block().GetTimeStampBegin(); }
void TMLTimeStamp::SetBeginTime(std::int64_t AValue) { Block().SetTimeStampBegin(AValue); }
std::int64_t TMLTimeStamp::EndTime() const { return Block().GetTimeStampEnd(); }
void TMLTimeStamp::SetEndTime(std::int64_t AValue) { Block().SetTimeStampEnd(AValue); }

TMLMediaBuffer::TMLMediaBuffer(TMLSmartMediaBuffer* ADataContainer, std::uint32_t ASize)
    : TSLGenericBuffer(ADataContainer, ASize) {}

TMLMediaBuffer::TMLMediaBuffer(std::unique_ptr<TMLSmartMediaBuffer> AFreshBlock, std::uint32_t ASize)
    : TSLGenericBuffer(std::unique_ptr<TSLSmartBuffer>(std::move(AFreshBlock)), ASize) {}

TMLMediaBuffer::TMLMediaBuffer(TSLViewOf, TMLMediaBuffer& AOther)
    : TSLGenericBuffer(TSLViewOf{}, AOther) {}

}  // namespace sib
