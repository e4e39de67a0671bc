// Storage blocks: the memory that data buffers view. A block counts the buffers that view it
// (transports) and, among them, those that count as its owners; copy on write asks whether a block
// has more than one owner. The block frees itself when its last transport goes. Block objects and
// their memory both come from the pool (buffer_pool.h).
//
// `TSLSmartBuffer` is the bookkeeping; `TSLSmartMemoryBuffer` adds a block of pooled memory whose
// size is rounded up to a power of two. `TSLPooledMemory` is that memory on its own, shared with the
// audio block of the audio library.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/sync.h"

namespace sib {

// Pooled memory of a power-of-two size (at least 4 bytes). Raises EOutOfMemory ("Out of memory")
// for a request above kMaxBlockSize or when the pool has no memory.
class TSLPooledMemory {
 public:
  static constexpr std::uint32_t kMaxBlockSize = 1u << 30;

  explicit TSLPooledMemory(std::uint64_t ARequestedSize);
  TSLPooledMemory(const TSLPooledMemory&) = delete;
  TSLPooledMemory& operator=(const TSLPooledMemory&) = delete;
  ~TSLPooledMemory();

  // The smallest power of two 2^i (2 <= i <= 30) not below ASize; 2^30 for anything above.
  static std::uint32_t RoundedSize(std::uint64_t ASize);

  std::uint8_t* Data() const { return FDataPtr; }
  std::uint32_t Size() const { return FAllocatedSize; }
  // Copies the smaller of the two sizes from AOther.
  void CopyFrom(const TSLPooledMemory& AOther);

 private:
  std::uint8_t* FDataPtr;
  std::uint32_t FAllocatedSize;
};

class TSLSmartBuffer {
 public:
  TSLSmartBuffer();
  TSLSmartBuffer(const TSLSmartBuffer&) = delete;
  TSLSmartBuffer& operator=(const TSLSmartBuffer&) = delete;
  virtual ~TSLSmartBuffer();

  // The block objects themselves are taken from the pool, keyed by the class's size.
  static void* operator new(std::size_t ASize);
  static void operator delete(void* ABlock, std::size_t ASize);

  // One more viewer; an owner too when AOwnsData.
  virtual void AddReff(bool AOwnsData);
  // One viewer less (and one owner less when AOwnsData). Frees the block when the last viewer goes:
  // the caller must not touch the block afterwards.
  virtual void RemoveReff(bool AOwnsData);
  // One owner less; the viewer stays.
  virtual void RemoveOwnerShip();
  // True when fewer than two owners remain: an owner may then write in place.
  virtual bool SingleOwner();
  // A new block of the same class and allocated size, holding a copy of the contents when
  // APreserve. Nobody views it yet.
  virtual std::unique_ptr<TSLSmartBuffer> Clone(bool APreserve) = 0;

  // The memory, its allocated size, and where the data starts in it (after any header the block
  // keeps in front of its data). A block without memory returns nullptr and 0.
  virtual std::uint8_t* GetRawData() { return nullptr; }
  virtual std::uint32_t GetAllocatedSize() { return 0; }
  virtual std::uint32_t GetDataOffset() { return 0; }

  // The block's lock guards its counts and, in subclasses, other shared fields. Reads and writes
  // enter the same critical section.
  void EnterRead() { FCriticalSection.Enter(); }
  void LeaveRead() { FCriticalSection.Leave(); }
  void EnterWrite() { FCriticalSection.Enter(); }
  void LeaveWrite() { FCriticalSection.Leave(); }

  // The sequence stamp of the block (sequence_stamp in generic_buffer.h reads and writes these).
  // Read and written as whole values without the lock.
  bool BufferNumberAvailable() const { return FBufferNumberAvailable.load(std::memory_order_relaxed); }
  void SetBufferNumberAvailable(bool AValue) { FBufferNumberAvailable.store(AValue, std::memory_order_relaxed); }
  std::int64_t BufferNumber() const { return FBufferNumber.load(std::memory_order_relaxed); }
  void SetBufferNumber(std::int64_t AValue) { FBufferNumber.store(AValue, std::memory_order_relaxed); }

  // For tests and diagnostics.
  std::int32_t CountOwners();
  std::int32_t CountTransports();
  static std::int64_t LiveBlocks() { return FLiveBlocks.load(std::memory_order_relaxed); }

 protected:
  TOWCriticalSection FCriticalSection;

 private:
  std::int32_t FCountOwners = 0;
  std::int32_t FCountTransports = 0;
  std::atomic<bool> FBufferNumberAvailable{false};
  std::atomic<std::int64_t> FBufferNumber{0};
  static inline std::atomic<std::int64_t> FLiveBlocks{0};
};

class TSLSmartMemoryBuffer : public TSLSmartBuffer {
 public:
  // Create: a block of at least ASize bytes. ExactSize has no effect: sizes are always rounded so
  // that nearby sizes share the pool's lists.
  static std::unique_ptr<TSLSmartMemoryBuffer> Create(std::uint32_t ASize, bool AExactSize = false);
  // CreateData: the same, then ASize bytes copied from AData when it is given.
  static std::unique_ptr<TSLSmartMemoryBuffer> CreateData(const void* AData, std::uint32_t ASize,
                                                          bool AExactSize = false);
  // CreateEx: a block of AOther's allocated size, with all of it copied when APreserve.
  static std::unique_ptr<TSLSmartMemoryBuffer> CreateEx(TSLSmartMemoryBuffer& AOther, bool APreserve);

  explicit TSLSmartMemoryBuffer(std::uint64_t ASize);

  std::unique_ptr<TSLSmartBuffer> Clone(bool APreserve) override;
  std::uint8_t* GetRawData() override { return FMemory.Data(); }
  std::uint32_t GetAllocatedSize() override { return FMemory.Size(); }

  // Copies the smaller of the two allocated sizes from AOther.
  void CopyFrom(TSLSmartMemoryBuffer& AOther) { FMemory.CopyFrom(AOther.FMemory); }
  // Empties the pool.
  static void ReleaseMemory();

 private:
  TSLPooledMemory FMemory;
};

}  // namespace sib
