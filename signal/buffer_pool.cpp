#include "signal/buffer_pool.h"

#include <algorithm>
#include <new>

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

TSLSmartBufferList::~TSLSmartBufferList() { FreeSurplus(0); }

std::size_t TSLSmartBufferList::FreeSurplus(std::size_t AKeep) {
  std::size_t freed = 0;
  while (BufferList.size() > AKeep) {
    void* block = BufferList.back();
    BufferList.pop_back();
    unpoisonLent(block, FSize);
    freePoolMemory(block);
    freed += FSize;
  }
  return freed;
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
  if (FLastList && FLastList->FSize == ASize) return *FLastList;
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
  if (FMemoryLimit && FBytesHeld + ASize > *FMemoryLimit) throw EOutOfMemory("Out of memory");
  void* block = ::operator new(ASize, kPoolAlignment, std::nothrow);
  if (!block) throw EOutOfMemory("Out of memory");
  FBytesHeld += ASize;
  return block;
}

void* TSLSmartBufferManager::Allocate(std::uint32_t ASize) {
  if (ASize == 0) return nullptr;
  std::lock_guard guard(FLock);
  TSLSmartBufferList& list = FindOrAddList(ASize);
  list.ResetCountDown();
  if (list.BufferList.empty()) return AllocateFresh(ASize);
  // The most recently returned block is the likeliest to be in the cache.
  void* block = list.BufferList.back();
  list.BufferList.pop_back();
  unpoisonLent(block, ASize);
  return block;
}

void TSLSmartBufferManager::Deallocate(void* ADataPtr, std::uint32_t ASize) {
  if (!ADataPtr) return;
  std::lock_guard guard(FLock);
  TSLSmartBufferList& list = FindOrAddList(ASize);
  list.BufferList.push_back(ADataPtr);
  poisonFree(ADataPtr, ASize);
  list.ResetCountDown();
}

void TSLSmartBufferManager::TrimTick() {
  std::lock_guard guard(FLock);
  for (std::size_t i = ChainsList.size(); i-- > 0;) {
    TSLSmartBufferList& list = *ChainsList[i];
    if (list.FCountDown > 0) --list.FCountDown;
    FBytesHeld -= list.FreeSurplus(list.FCountDown);
    if (list.FCountDown == 0) {
      if (FLastList == &list) FLastList = nullptr;
      ChainsList.erase(ChainsList.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

void TSLSmartBufferManager::ReleaseMemory() {
  std::lock_guard guard(FLock);
  for (auto& list : ChainsList) FBytesHeld -= list->FreeSurplus(0);
  ChainsList.clear();
  FLastList = nullptr;
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
