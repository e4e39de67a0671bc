// The process-wide pool of free memory blocks, keyed by exact size, from which storage blocks take
// their memory and their own objects (smart_buffer.h). A timer trims the pool when demand falls:
// every tick counts each size's grace down, and once a size has been idle for eight ticks its surplus
// free blocks are released one per tick until the size disappears.
//
// The pool does not own a timer itself: it is driven through a tick source (`ISLTickSource`). In the
// program that is the main loop's timer (pool_timer.h); tests drive `TrimTick` by hand.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace sib {

// Calls a function periodically. Start may be called again after Stop; Stop waits for nothing but
// guarantees that no tick starts after it returns when called on the ticking thread.
class ISLTickSource {
 public:
  virtual ~ISLTickSource() = default;
  virtual void Start(std::uint32_t AIntervalMs, std::function<void()> AOnTick) = 0;
  virtual void Stop() = 0;
};

// The free blocks of one size. Used only under the manager's lock.
class TSLSmartBufferList {
 public:
  explicit TSLSmartBufferList(std::uint32_t ASize) : FSize(ASize) {}
  TSLSmartBufferList(const TSLSmartBufferList&) = delete;
  TSLSmartBufferList& operator=(const TSLSmartBufferList&) = delete;
  // Returns every free block to the system.
  ~TSLSmartBufferList();

  // Moves free blocks from the end of the list into AReleased until at most AKeep remain; returns
  // their bytes. The caller frees them (freePoolMemory) once it has left the pool's lock.
  std::size_t TakeSurplus(std::size_t AKeep, std::vector<void*>& AReleased);
  void ResetCountDown();

  const std::uint32_t FSize;
  std::vector<void*> BufferList;
  std::uint32_t FCountDown = 0;
};

// The pool's lock: held only for a list lookup and a push or pop, so a waiter spins briefly (then
// yields) instead of sleeping. Memory is taken from and given back to the system outside it.
class TSLPoolLock {
 public:
  void lock();
  void unlock() { FLocked.store(false, std::memory_order_release); }

 private:
  std::atomic<bool> FLocked{false};
};

class TSLSmartBufferManager {
 public:
  static constexpr std::uint32_t kTrimIntervalMs = 200;
  // Ticks an idle size keeps all its free blocks.
  static constexpr std::uint32_t kGraceTicks = 8;
  static constexpr std::size_t kAlignment = 32;

  TSLSmartBufferManager() = default;
  TSLSmartBufferManager(const TSLSmartBufferManager&) = delete;
  TSLSmartBufferManager& operator=(const TSLSmartBufferManager&) = delete;
  // Stops the tick source and returns every free block to the system. Blocks still lent out must
  // not come back afterwards.
  ~TSLSmartBufferManager();

  // The one pool of the process, made on first use and freed when the program ends.
  static TSLSmartBufferManager& Instance();

  // A block of exactly ASize bytes aligned to 32 bytes; nullptr for 0. Raises EOutOfMemory
  // ("Out of memory") when no memory can be had; nothing is allocated then.
  void* Allocate(std::uint32_t ASize);
  // Takes back a block that Allocate gave for the same ASize. nullptr is ignored.
  void Deallocate(void* ADataPtr, std::uint32_t ASize);
  // One trimming pass; the tick source calls it every kTrimIntervalMs.
  void TrimTick();
  // Returns every free block to the system and forgets every size.
  void ReleaseMemory();

  // Stops and replaces the current tick source (none: no trimming), then starts the new one.
  void SetTickSource(std::unique_ptr<ISLTickSource> ASource);

  // Test hook: caps the bytes the pool may hold from the system (lent out plus free). Fresh memory
  // beyond the cap is refused as if the system had none. std::nullopt removes the cap.
  void SetMemoryLimit(std::optional<std::size_t> ALimit);

  // For tests and diagnostics.
  struct TListState {
    std::uint32_t Size = 0;
    std::size_t FreeBlocks = 0;
    std::uint32_t CountDown = 0;
  };
  std::vector<TListState> ListStates();
  std::optional<TListState> ListState(std::uint32_t ASize);
  // Bytes held from the system: blocks lent out plus free blocks.
  std::size_t BytesHeld();

 private:
  // Called with FLock held.
  TSLSmartBufferList& ListFor(std::uint32_t ASize) {
    if (FLastList && FLastList->FSize == ASize) [[likely]]
      return *FLastList;
    return FindOrAddList(ASize);
  }
  TSLSmartBufferList& FindOrAddList(std::uint32_t ASize);
  void* AllocateFresh(std::uint32_t ASize);

  TSLPoolLock FLock;
  std::vector<std::unique_ptr<TSLSmartBufferList>> ChainsList;
  // The last list used: most traffic is one size after another of the same size.
  TSLSmartBufferList* FLastList = nullptr;
  std::size_t FBytesHeld = 0;
  std::optional<std::size_t> FMemoryLimit;

  std::mutex FTimerLock;  // orders SetTickSource against destruction
  std::unique_ptr<ISLTickSource> FTimer;
};

// Frees memory that Allocate gave; used by the lists and by the pool when a size is forgotten.
void freePoolMemory(void* ADataPtr);

}  // namespace sib
