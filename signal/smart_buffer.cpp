#include "signal/smart_buffer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>

#include "platform/core/errors.h"
#include "signal/buffer_pool.h"

namespace sib {

std::uint32_t TSLPooledMemory::RoundedSize(std::uint64_t ASize) {
  if (ASize <= 4) return 4;
  if (ASize >= kMaxBlockSize) return kMaxBlockSize;
  return static_cast<std::uint32_t>(std::bit_ceil(ASize));
}

TSLPooledMemory::TSLPooledMemory(std::uint64_t ARequestedSize) {
  // A larger request cannot be held: handing out a smaller block would let the caller write past it.
  if (ARequestedSize > kMaxBlockSize) throw EOutOfMemory("Out of memory");
  FAllocatedSize = RoundedSize(ARequestedSize);
  FDataPtr = static_cast<std::uint8_t*>(TSLSmartBufferManager::Instance().Allocate(FAllocatedSize));
}

TSLPooledMemory::~TSLPooledMemory() { TSLSmartBufferManager::Instance().Deallocate(FDataPtr, FAllocatedSize); }

void TSLPooledMemory::CopyFrom(const TSLPooledMemory& AOther) {
  if (&AOther == this) return;
  std::memcpy(FDataPtr, AOther.FDataPtr, std::min(FAllocatedSize, AOther.FAllocatedSize));
}

TSLSmartBuffer::TSLSmartBuffer() { FLiveBlocks.fetch_add(1, std::memory_order_relaxed); }

TSLSmartBuffer::~TSLSmartBuffer() { FLiveBlocks.fetch_sub(1, std::memory_order_relaxed); }

void* TSLSmartBuffer::operator new(std::size_t ASize) {
  return TSLSmartBufferManager::Instance().Allocate(static_cast<std::uint32_t>(ASize));
}

void TSLSmartBuffer::operator delete(void* ABlock, std::size_t ASize) {
  TSLSmartBufferManager::Instance().Deallocate(ABlock, static_cast<std::uint32_t>(ASize));
}

void TSLSmartBuffer::AddReff(bool AOwnsData) {
  std::lock_guard guard(FCriticalSection);
  if (AOwnsData) ++FCountOwners;
  ++FCountTransports;
}

void TSLSmartBuffer::RemoveReff(bool AOwnsData) {
  bool last = false;
  {
    std::lock_guard guard(FCriticalSection);
    if (AOwnsData && FCountOwners > 0) --FCountOwners;
    if (FCountTransports <= 0) return;
    last = --FCountTransports == 0;
  }
  // The block is counted intrusively, like every shared object: the last viewer frees it.
  if (last) delete this;
}

void TSLSmartBuffer::RemoveOwnerShip() {
  std::lock_guard guard(FCriticalSection);
  if (FCountOwners > 0) --FCountOwners;
}

bool TSLSmartBuffer::SingleOwner() {
  std::lock_guard guard(FCriticalSection);
  return FCountOwners < 2;
}

std::int32_t TSLSmartBuffer::CountOwners() {
  std::lock_guard guard(FCriticalSection);
  return FCountOwners;
}

std::int32_t TSLSmartBuffer::CountTransports() {
  std::lock_guard guard(FCriticalSection);
  return FCountTransports;
}

TSLSmartMemoryBuffer::TSLSmartMemoryBuffer(std::uint64_t ASize) : FMemory(ASize) {}

std::unique_ptr<TSLSmartMemoryBuffer> TSLSmartMemoryBuffer::Create(std::uint32_t ASize, bool) {
  return std::make_unique<TSLSmartMemoryBuffer>(ASize);
}

std::unique_ptr<TSLSmartMemoryBuffer> TSLSmartMemoryBuffer::CreateData(const void* AData, std::uint32_t ASize,
                                                                       bool) {
  auto block = std::make_unique<TSLSmartMemoryBuffer>(ASize);
  if (AData && ASize > 0) std::memcpy(block->GetRawData(), AData, ASize);
  return block;
}

std::unique_ptr<TSLSmartMemoryBuffer> TSLSmartMemoryBuffer::CreateEx(TSLSmartMemoryBuffer& AOther, bool APreserve) {
  auto block = std::make_unique<TSLSmartMemoryBuffer>(AOther.GetAllocatedSize());
  if (APreserve) block->CopyFrom(AOther);
  return block;
}

std::unique_ptr<TSLSmartBuffer> TSLSmartMemoryBuffer::Clone(bool APreserve) { return CreateEx(*this, APreserve); }

void TSLSmartMemoryBuffer::ReleaseMemory() { TSLSmartBufferManager::Instance().ReleaseMemory(); }

}  // namespace sib
