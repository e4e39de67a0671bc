#include "signal/buffer_pool.h"

#include <algorithm>
#include <new>
#include <thread>

#include "platform/core/errors.h"

#if defined(__SANITIZE_ADDRESS__)
#define SIB_POOL_POISONING 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SIB_POOL_POISONING 1
#endif
#endif

#ifdef SIB_POOL_POISONING
#include <sanitizer/asan_interface.h>
#endif

namespace sib {

namespace {

// Free blocks are poisoned under the address sanitizer so that a use after release is reported even
// though the memory stays in the process.
void poisonFree(void* block, std::size_t size) {
#ifdef SIB_POOL_POISONING
  ASAN_POISON_MEMORY_REGION(block, size);
#else
  (void)block;
  (void)size;
#endif
}

void unpoisonLent(void* block, std::size_t size) {
#ifdef SIB_POOL_POISONING
  ASAN_UNPOISON_MEMORY_REGION(block, size);
#else
  (void)block;
  (void)size;
#endif
}

constexpr std::align_val_t kPoolAlignment{TSLSmartBufferManager::kAlignment};

}  // namespace

void freePoolMemory(void* ADataPtr) { ::operator delete(ADataPtr, kPoolAlignment); }

void TSLPoolLock::lock() {
  int spins = 0;
  while (FLocked.exchange(true, std::memory_order_acquire)) {
    while (FLocked.load(std::memory_order_relaxed)) {
      if (++spins < 100) {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
      } else {
        std::this_thread::yield();
      }
    }
  }
}

TSLSmartBufferList::~TSLSmartBufferList() {
  for (void* block : BufferList) {
    unpoisonLent(block, FSize);
    freePoolMemory(block);
  }
}

std::size_t TSLSmartBufferList::TakeSurplus(std::size_t AKeep, std::vector<void*>& AReleased) {
  std::size_t taken = 0;
  while (BufferList.size() > AKeep) {
    void* block = BufferList.back();
    BufferList.pop_back();
    unpoisonLent(block, FSize);
    AReleased.push_back(block);
    taken += FSize;
  }
  return taken;
}

void TSLSmartBufferList::ResetCountDown() {
  FCountDown = static_cast<std::uint32_t>(BufferList.size()) + TSLSmartBufferManager::kGraceTicks;
}

TSLSmartBufferManager::~TSLSmartBufferManager() {
  SetTickSource(nullptr);
  ReleaseMemory();
}

TSLSmartBufferManager& TSLSmartBufferManager::Instance() {
  // Made on first use, so anything that allocates from the pool during static initialisation is
  // destroyed before the pool.
  static TSLSmartBufferManager manager;
  return manager;
}

TSLSmartBufferList& TSLSmartBufferManager::FindOrAddList(std::uint32_t ASize) {
  auto found = std::find_if(ChainsList.begin(), ChainsList.end(),
                            [ASize](const std::unique_ptr<TSLSmartBufferList>& list) { return list->FSize == ASize; });
  if (found == ChainsList.end()) {
    ChainsList.push_back(std::make_unique<TSLSmartBufferList>(ASize));
    found = ChainsList.end() - 1;
  }
  FLastList = found->get();
  return *FLastList;
}

void* TSLSmartBufferManager::AllocateFresh(std::uint32_t ASize) {
  {
    std::lock_guard guard(FLock);
    if (FMemoryLimit && FBytesHeld + ASize > *FMemoryLimit) throw EOutOfMemory("Out of memory");
    FBytesHeld += ASize;  // reserved before the system is asked, so that the limit holds for everyone
  }
  void* block = ::operator new(ASize, kPoolAlignment, std::nothrow);
  if (!block) {
    std::lock_guard guard(FLock);
    FBytesHeld -= ASize;
    throw EOutOfMemory("Out of memory");
  }
  return block;
}

void* TSLSmartBufferManager::Allocate(std::uint32_t ASize) {
  if (ASize == 0) return nullptr;
  {
    std::lock_guard guard(FLock);
    TSLSmartBufferList& list = ListFor(ASize);
    list.ResetCountDown();
    if (!list.BufferList.empty()) {
      // The most recently returned block is the likeliest to be in the cache.
      void* block = list.BufferList.back();
      list.BufferList.pop_back();
      unpoisonLent(block, ASize);
      return block;
    }
  }
  return AllocateFresh(ASize);
}

void TSLSmartBufferManager::Deallocate(void* ADataPtr, std::uint32_t ASize) {
  if (!ADataPtr) return;
  std::lock_guard guard(FLock);
  TSLSmartBufferList& list = ListFor(ASize);
  list.BufferList.push_back(ADataPtr);
  poisonFree(ADataPtr, ASize);
  list.ResetCountDown();
}

void TSLSmartBufferManager::TrimTick() {
  std::vector<void*> released;
  {
    std::lock_guard guard(FLock);
    for (std::size_t i = ChainsList.size(); i-- > 0;) {
      TSLSmartBufferList& list = *ChainsList[i];
      if (list.FCountDown > 0) --list.FCountDown;
      FBytesHeld -= list.TakeSurplus(list.FCountDown, released);
      if (list.FCountDown == 0) {
        if (FLastList == &list) FLastList = nullptr;
        ChainsList.erase(ChainsList.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
  }
  for (void* block : released) freePoolMemory(block);
}

void TSLSmartBufferManager::ReleaseMemory() {
  std::vector<std::unique_ptr<TSLSmartBufferList>> lists;
  {
    std::lock_guard guard(FLock);
    for (auto& list : ChainsList) FBytesHeld -= list->BufferList.size() * list->FSize;
    lists.swap(ChainsList);
    FLastList = nullptr;
  }
  // The lists free their blocks as they go, outside the lock.
}

void TSLSmartBufferManager::SetTickSource(std::unique_ptr<ISLTickSource> ASource) {
  std::lock_guard guard(FTimerLock);
  if (FTimer) FTimer->Stop();
  FTimer = std::move(ASource);
  if (FTimer) FTimer->Start(kTrimIntervalMs, [this] { TrimTick(); });
}

void TSLSmartBufferManager::SetMemoryLimit(std::optional<std::size_t> ALimit) {
  std::lock_guard guard(FLock);
  FMemoryLimit = ALimit;
}

std::vector<TSLSmartBufferManager::TListState> TSLSmartBufferManager::ListStates() {
  std::lock_guard guard(FLock);
  std::vector<TListState> states;
  states.reserve(ChainsList.size());
  for (const auto& list : ChainsList) states.push_back({list->FSize, list->BufferList.size(), list->FCountDown});
  return states;
}

std::optional<TSLSmartBufferManager::TListState> TSLSmartBufferManager::ListState(std::uint32_t ASize) {
  for (const TListState& state : ListStates())
    if (state.Size == ASize) return state;
  return std::nullopt;
}

std::size_t TSLSmartBufferManager::BytesHeld() {
  std::lock_guard guard(FLock);
  return FBytesHeld;
}

}  // namespace sib
