// The buffer classes that every data buffer builds on. A buffer is a small reference-counted object
// that views a storage block (smart_buffer.h); several buffers may view one block, and a buffer that
// writes first makes the block its own (copy on write, `Unique`).
//
//   TSLBasicBuffer          ISLData
//   TSLGenericBuffer        ISLDataBuffer, ISLGenericBuffer: the block, its byte size, copy on write
//   TSLMemoryBuffer         a generic buffer on pooled memory blocks
//   TSLLinearMemoryBuffer   ISLLinearDataBuffer: a resizable array of equal elements
//
// The typed buffers (block, real, integer, complex, real matrix) derive from these in their own
// headers; the audio buffer of the audio library derives from TSLGenericBuffer.
//
// Buffers are made by the static Create* functions, which return a reference. A buffer is used by
// one thread at a time; its block may be shared between threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "signal/data_interfaces.h"
#include "signal/smart_buffer.h"

namespace sib {

class TSLGenericBuffer;

// A view of the sequence number of a buffer's current block. All buffers that share a block share
// its number.
class TSLSequenceStamp {
 public:
  explicit TSLSequenceStamp(TSLGenericBuffer& ABuffer) : FIntBuffer(ABuffer) {}

  bool Available() const;
  void SetAvailable(bool AValue);
  std::int64_t BufferNumber() const;
  void SetBufferNumber(std::int64_t AValue);

 private:
  TSLGenericBuffer& FIntBuffer;
};

class TSLBasicBuffer : public Implements<ISLData> {
 public:
  TSLBasicBuffer* GetInstance() override { return this; }
};

// Constructor tag: the new buffer views another buffer's block.
struct TSLViewOf {};

class TSLGenericBuffer : public TSLBasicBuffer, public ISLGenericBuffer {
 public:
  // Views an existing block as one of its owners; FCharSize := ASize.
  TSLGenericBuffer(TSLSmartBuffer* ADataContainer, std::uint32_t ASize);
  // Takes a block that nobody views yet.
  TSLGenericBuffer(std::unique_ptr<TSLSmartBuffer> AFreshBlock, std::uint32_t ASize);
  // Views AOther's block with AOther's size.
  TSLGenericBuffer(TSLViewOf, TSLGenericBuffer& AOther);
  ~TSLGenericBuffer() override;

  static RefPtr<TSLGenericBuffer> Create(TSLSmartBuffer* ADataContainer, std::uint32_t ASize);
  static RefPtr<TSLGenericBuffer> CreateEx(TSLGenericBuffer& AOther);
  // Raise EInvalidOperation when the object behind AOther is not a data buffer.
  static RefPtr<TSLGenericBuffer> CreateUniversal(ISLData* AOther);
  static RefPtr<TSLGenericBuffer> CreateCopy(ISLGenericBuffer* AOther);
  // The generic buffer behind an interface; raises EInvalidOperation when there is none.
  static TSLGenericBuffer& BufferBehind(ISLData* AData);

  IInterface* QueryInterface(const TGUID& iid) override { return TSLBasicBuffer::QueryInterface(iid); }
  std::int32_t AddRef() override { return TSLBasicBuffer::AddRef(); }
  std::int32_t Release() override { return TSLBasicBuffer::Release(); }

  // ISLData and the class's own operations, in slot order.
  TSLBasicBuffer* GetInstance() override { return this; }
  RefPtr<ISLData> MakeCopy() override;
  virtual RefPtr<ISLData> MakeIntfCopy() { return MakeCopy(); }
  void CopyData(std::uint32_t SourceOffset, ISLDataBuffer* Target, std::uint32_t TargetOffset,
                std::uint32_t Count) override;
  void Assign(ISLDataBuffer* Other) override;
  bool IsEqual(ISLDataBuffer* Other) override;
  bool Unique(bool PreserveData) override { return MakeUnique(PreserveData); }
  virtual bool MakeUnique(bool PreserveData);
  std::uint32_t GetByteSize() override { return FCharSize; }
  std::uint32_t GetSize() override { return FCharSize; }
  // Refreshes what the buffer derives from its block (the data pointer, cached headers).
  virtual void UpdateFields();
  const std::uint8_t* ByteRead() override { return FDataPtr; }
  std::uint8_t* ByteWrite() override;
  std::uint8_t* ByteModify() override;
  // Records the block the buffer views; reference counts are the caller's business.
  virtual void SetDataContainer(TSLSmartBuffer* ADataContainer) { pDataContainer = ADataContainer; }
  // The buffer stops counting as an owner of its block but still views it.
  virtual void RemoveOwnerShip();

  TSLSequenceStamp* GetSequenceStamp() override { return &FSequenceStamp; }
  void SaveToFile(const std::string& AFileName) override;
  void LoadFromFile(const std::string& AFileName) override;

  RefPtr<ISLDataBuffer> GetDataBufferIntf();
  // The buffer as its root interfaces, without a reference; for passing a buffer held by its class
  // to an operation that takes an interface (a class with several interface chains converts to
  // neither implicitly).
  ISLData* AsDataIntf() { return static_cast<ISLGenericBuffer*>(this); }
  ISLDataBuffer* AsDataBufferIntf() { return static_cast<ISLGenericBuffer*>(this); }
  bool OwnsData() const { return FOwnsData; }
  TSLSmartBuffer* DataContainer() const { return pDataContainer; }
  static std::int64_t LiveBuffers() { return FLiveBuffers.load(std::memory_order_relaxed); }

 protected:
  IInterface* FindInterface(const TGUID& iid) override;

  // Runs once the most derived constructor has finished (Construct and ConstructView call it).
  virtual void AfterConstruction();
  // Sets the bytes in use so that GetByteSize returns ABytes (views and Assign pass the other
  // buffer's GetByteSize, whatever the two classes keep in front of their data).
  virtual void SetViewedByteSize(std::uint32_t ABytes) { FCharSize = ABytes; }
  // Moves the buffer to ANew: a reference to ANew is added and the one to the old block dropped
  // (both per FOwnsData), then UpdateFields.
  void ExchangeDataContainer(TSLSmartBuffer* ANew);
  // Raises ERangeError unless [AOffset, AOffset + ACount) lies within ALimit.
  static void CheckRange(std::uint64_t AOffset, std::uint64_t ACount, std::uint64_t ALimit);

  template <class T, class... Args>
  static RefPtr<T> Construct(Args&&... args) {
    RefPtr<T> buffer = makeRef<T>(std::forward<Args>(args)...);
    buffer->AfterConstruction();
    return buffer;
  }
  template <class T>
  static RefPtr<T> ConstructView(TSLGenericBuffer& AOther) {
    RefPtr<T> buffer = Construct<T>(TSLViewOf{}, AOther);
    buffer->SetViewedByteSize(AOther.GetByteSize());
    return buffer;
  }
  template <class T>
  static RefPtr<ISLData> AsData(const RefPtr<T>& ABuffer) {
    return RefPtr<ISLData>(static_cast<ISLGenericBuffer*>(ABuffer.get()));
  }

  TSLSequenceStamp FSequenceStamp{*this};
  std::uint8_t* FDataPtr = nullptr;
  std::uint32_t FCharSize = 0;
  TSLSmartBuffer* pDataContainer = nullptr;
  bool FOwnsData = true;

 private:
  void CountNewBuffer();
  static inline std::atomic<std::int64_t> FLiveBuffers{0};
};

// Adds an interface chain (Primary and its parents) to a buffer class. The buffer interfaces share
// their parents, so each chain brings its own copies of the inherited operations; this forwards them
// to the class's one implementation, and answers queries for the chain's identities.
template <class Base, class Primary>
class TSLWithInterface : public Base, public Primary {
 public:
  using Base::Base;

  IInterface* QueryInterface(const TGUID& iid) override { return Base::QueryInterface(iid); }
  std::int32_t AddRef() override { return Base::AddRef(); }
  std::int32_t Release() override { return Base::Release(); }

  TSLBasicBuffer* GetInstance() override { return Base::GetInstance(); }
  RefPtr<ISLData> MakeCopy() override { return Base::MakeCopy(); }
  void Assign(ISLDataBuffer* Other) override { Base::Assign(Other); }
  bool IsEqual(ISLDataBuffer* Other) override { return Base::IsEqual(Other); }
  const std::uint8_t* ByteRead() override { return Base::ByteRead(); }
  std::uint8_t* ByteWrite() override { return Base::ByteWrite(); }
  std::uint8_t* ByteModify() override { return Base::ByteModify(); }
  std::uint32_t GetByteSize() override { return Base::GetByteSize(); }
  std::uint32_t GetSize() override { return Base::GetSize(); }
  TSLSequenceStamp* GetSequenceStamp() override { return Base::GetSequenceStamp(); }
  void CopyData(std::uint32_t SourceOffset, ISLDataBuffer* Target, std::uint32_t TargetOffset,
                std::uint32_t Count) override {
    Base::CopyData(SourceOffset, Target, TargetOffset, Count);
  }
  bool Unique(bool PreserveData) override { return Base::Unique(PreserveData); }
  void SaveToFile(const std::string& AFileName) override { Base::SaveToFile(AFileName); }
  void LoadFromFile(const std::string& AFileName) override { Base::LoadFromFile(AFileName); }

 protected:
  IInterface* FindInterface(const TGUID& iid) override {
    if (IInterface* found = interface_detail::find<Primary>(static_cast<Primary*>(this), iid)) return found;
    return Base::FindInterface(iid);
  }
};

// The same for a chain that includes ISLLinearDataBuffer.
template <class Base, class Primary>
class TSLWithLinearInterface : public TSLWithInterface<Base, Primary> {
 public:
  using TSLWithInterface<Base, Primary>::TSLWithInterface;
  void Resize(std::uint32_t Size, bool PreserveData) override { Base::Resize(Size, PreserveData); }
};

class TSLMemoryBuffer : public TSLGenericBuffer {
 public:
  using TSLGenericBuffer::TSLGenericBuffer;

  // A new block of ASize bytes.
  static RefPtr<TSLMemoryBuffer> CreateSize(std::uint32_t ASize);
  static RefPtr<TSLMemoryBuffer> Create(TSLSmartMemoryBuffer* ADataContainer, std::uint32_t ASize);
  static RefPtr<TSLMemoryBuffer> CreateEx(TSLGenericBuffer& AOther);

  RefPtr<ISLData> MakeCopy() override;
  std::uint32_t GetSize() override { return FCharSize / GetElementSize(); }
  // A new block for ASize elements.
  virtual std::unique_ptr<TSLSmartBuffer> CreateDataContainer(std::uint32_t ASize);
  virtual std::uint32_t GetElementSize() { return 1; }
  virtual std::uint32_t GetCharSize() { return FCharSize; }
};

class TSLLinearMemoryBuffer : public TSLWithInterface<TSLMemoryBuffer, ISLLinearDataBuffer> {
 public:
  using TSLWithInterface::TSLWithInterface;

  static RefPtr<TSLLinearMemoryBuffer> CreateSize(std::uint32_t ASize);
  static RefPtr<TSLLinearMemoryBuffer> CreateEx(TSLGenericBuffer& AOther);

  RefPtr<ISLData> MakeCopy() override;
  // Sizes in elements. A shrink that keeps the data stays on the block; so does a growth that keeps
  // the data when the buffer is the block's only owner and the block has room. Otherwise the buffer
  // moves to a new block, with the old contents copied when PreserveData.
  void Resize(std::uint32_t Size, bool PreserveData) override;
};

}  // namespace sib
