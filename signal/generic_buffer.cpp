#include "signal/generic_buffer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/core/format.h"
#include "signal/signal_errors.h"

namespace sib {

void raiseIndexOutOfRange(std::uint64_t AIndex) {
  throw ERangeError(formatText("Index out of range = %u", {AIndex}));
}

void raiseChannelOutOfRange(std::uint64_t AChannel) {
  throw ERangeError(formatText("Channel out of range = %u", {AChannel}));
}

void raiseDivByZero() { throw EDivByZero("Division by zero"); }

bool TSLSequenceStamp::Available() const { return FIntBuffer.DataContainer()->BufferNumberAvailable(); }

void TSLSequenceStamp::SetAvailable(bool AValue) { FIntBuffer.DataContainer()->SetBufferNumberAvailable(AValue); }

std::int64_t TSLSequenceStamp::BufferNumber() const { return FIntBuffer.DataContainer()->BufferNumber(); }

void TSLSequenceStamp::SetBufferNumber(std::int64_t AValue) { FIntBuffer.DataContainer()->SetBufferNumber(AValue); }

TSLGenericBuffer::TSLGenericBuffer(TSLSmartBuffer* ADataContainer, std::uint32_t ASize)
    : FCharSize(ASize), pDataContainer(ADataContainer) {
  if (!pDataContainer) throw EInvalidOperation("A data buffer needs a storage block");
  pDataContainer->AddReff(FOwnsData);
  CountNewBuffer();
}

TSLGenericBuffer::TSLGenericBuffer(std::unique_ptr<TSLSmartBuffer> AFreshBlock, std::uint32_t ASize)
    : FCharSize(ASize), pDataContainer(AFreshBlock.get()) {
  if (!pDataContainer) throw EInvalidOperation("A data buffer needs a storage block");
  pDataContainer->AddReff(FOwnsData);
  AFreshBlock.release();  // from here on the block lives by its reference count
  CountNewBuffer();
}

TSLGenericBuffer::TSLGenericBuffer(TSLViewOf, TSLGenericBuffer& AOther)
    : TSLGenericBuffer(AOther.pDataContainer, AOther.FCharSize) {
  FDataPtr = AOther.FDataPtr;
}

TSLGenericBuffer::~TSLGenericBuffer() {
  pDataContainer->RemoveReff(FOwnsData);
  FLiveBuffers.fetch_sub(1, std::memory_order_relaxed);
}

void TSLGenericBuffer::CountNewBuffer() { FLiveBuffers.fetch_add(1, std::memory_order_relaxed); }

RefPtr<TSLGenericBuffer> TSLGenericBuffer::Create(TSLSmartBuffer* ADataContainer, std::uint32_t ASize) {
  return Construct<TSLGenericBuffer>(ADataContainer, ASize);
}

RefPtr<TSLGenericBuffer> TSLGenericBuffer::CreateEx(TSLGenericBuffer& AOther) {
  return ConstructView<TSLGenericBuffer>(AOther);
}

RefPtr<TSLGenericBuffer> TSLGenericBuffer::CreateUniversal(ISLData* AOther) { return CreateEx(BufferBehind(AOther)); }

RefPtr<TSLGenericBuffer> TSLGenericBuffer::CreateCopy(ISLGenericBuffer* AOther) {
  return CreateEx(BufferBehind(AOther));
}

TSLGenericBuffer& TSLGenericBuffer::BufferBehind(ISLData* AData) {
  auto* buffer = AData ? dynamic_cast<TSLGenericBuffer*>(AData->GetInstance()) : nullptr;
  if (!buffer) throw EInvalidOperation("The data is not a data buffer");
  return *buffer;
}

IInterface* TSLGenericBuffer::FindInterface(const TGUID& iid) {
  if (IInterface* found = interface_detail::find<ISLGenericBuffer>(static_cast<ISLGenericBuffer*>(this), iid))
    return found;
  return TSLBasicBuffer::FindInterface(iid);
}

void TSLGenericBuffer::AfterConstruction() {
  SetDataContainer(pDataContainer);
  UpdateFields();
}

RefPtr<ISLData> TSLGenericBuffer::MakeCopy() { return AsData(CreateEx(*this)); }

void TSLGenericBuffer::CheckRange(std::uint64_t AOffset, std::uint64_t ACount, std::uint64_t ALimit) {
  if (AOffset + ACount > ALimit) raiseIndexOutOfRange(AOffset + ACount);
}

void TSLGenericBuffer::CopyData(std::uint32_t SourceOffset, ISLDataBuffer* Target, std::uint32_t TargetOffset,
                                std::uint32_t Count) {
  if (!Target) throw EInvalidOperation("CopyData needs a target buffer");
  CheckRange(SourceOffset, Count, GetByteSize());
  CheckRange(TargetOffset, Count, Target->GetByteSize());
  if (Count == 0) return;
  // The target first: when it is this buffer, making it unique moves the source too.
  std::uint8_t* target = Target->ByteModify() + TargetOffset;
  std::memmove(target, ByteRead() + SourceOffset, Count);
}

void TSLGenericBuffer::Assign(ISLDataBuffer* Other) {
  RefPtr<ISLGenericBuffer> generic = queryInterface<ISLGenericBuffer>(Other);
  TSLGenericBuffer& other = BufferBehind(generic.get());
  if (&other == this) return;
  if (other.pDataContainer != pDataContainer) ExchangeDataContainer(other.pDataContainer);
  SetViewedByteSize(other.GetByteSize());
}

bool TSLGenericBuffer::IsEqual(ISLDataBuffer* Other) {
  if (!Other) return false;
  const std::uint32_t size = GetByteSize();
  if (Other->GetByteSize() != size) return false;
  return size == 0 || std::memcmp(ByteRead(), Other->ByteRead(), size) == 0;
}

bool TSLGenericBuffer::MakeUnique(bool PreserveData) {
  if (pDataContainer->SingleOwner()) return false;
  std::unique_ptr<TSLSmartBuffer> clone = pDataContainer->Clone(PreserveData);
  ExchangeDataContainer(clone.release());
  return true;
}

void TSLGenericBuffer::ExchangeDataContainer(TSLSmartBuffer* ANew) {
  TSLSmartBuffer* old = pDataContainer;
  ANew->AddReff(FOwnsData);
  SetDataContainer(ANew);
  old->RemoveReff(FOwnsData);
  UpdateFields();
}

void TSLGenericBuffer::UpdateFields() {
  std::uint8_t* raw = pDataContainer->GetRawData();
  FDataPtr = raw ? raw + pDataContainer->GetDataOffset() : nullptr;
}

std::uint8_t* TSLGenericBuffer::ByteWrite() {
  Unique(false);
  return FDataPtr;
}

std::uint8_t* TSLGenericBuffer::ByteModify() {
  Unique(true);
  return FDataPtr;
}

void TSLGenericBuffer::RemoveOwnerShip() {
  if (!FOwnsData) return;
  pDataContainer->RemoveOwnerShip();
  FOwnsData = false;
}

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void raiseFileError(const char* what, const std::string& name, int error) {
  throw EInOutError(formatText("%s \"%s\". %s", {what, name, std::strerror(error)}));
}

}  // namespace

void TSLGenericBuffer::SaveToFile(const std::string& AFileName) {
  FileHandle file(std::fopen(AFileName.c_str(), "wb"));
  if (!file) raiseFileError("Cannot create file", AFileName, errno);
  const std::uint32_t size = GetByteSize();
  if (size > 0 && std::fwrite(ByteRead(), 1, size, file.get()) != size)
    raiseFileError("Cannot write file", AFileName, errno);
  if (std::fclose(file.release()) != 0) raiseFileError("Cannot write file", AFileName, errno);
}

void TSLGenericBuffer::LoadFromFile(const std::string& AFileName) {
  FileHandle file(std::fopen(AFileName.c_str(), "rb"));
  if (!file) raiseFileError("Cannot open file", AFileName, errno);
  const std::uint32_t size = GetByteSize();
  if (size == 0) return;
  if (std::fread(ByteWrite(), 1, size, file.get()) != size) throw EInOutError("Read beyond end of file");
}

RefPtr<ISLDataBuffer> TSLGenericBuffer::GetDataBufferIntf() {
  return RefPtr<ISLDataBuffer>(static_cast<ISLGenericBuffer*>(this));
}

RefPtr<TSLMemoryBuffer> TSLMemoryBuffer::CreateSize(std::uint32_t ASize) {
  return Construct<TSLMemoryBuffer>(std::unique_ptr<TSLSmartBuffer>(TSLSmartMemoryBuffer::Create(ASize)), ASize);
}

RefPtr<TSLMemoryBuffer> TSLMemoryBuffer::Create(TSLSmartMemoryBuffer* ADataContainer, std::uint32_t ASize) {
  return Construct<TSLMemoryBuffer>(static_cast<TSLSmartBuffer*>(ADataContainer), ASize);
}

RefPtr<TSLMemoryBuffer> TSLMemoryBuffer::CreateEx(TSLGenericBuffer& AOther) {
  return ConstructView<TSLMemoryBuffer>(AOther);
}

RefPtr<ISLData> TSLMemoryBuffer::MakeCopy() { return AsData(CreateEx(*this)); }

std::unique_ptr<TSLSmartBuffer> TSLMemoryBuffer::CreateDataContainer(std::uint32_t ASize) {
  return std::make_unique<TSLSmartMemoryBuffer>(std::uint64_t{ASize} * GetElementSize());
}

RefPtr<TSLLinearMemoryBuffer> TSLLinearMemoryBuffer::CreateSize(std::uint32_t ASize) {
  return Construct<TSLLinearMemoryBuffer>(std::unique_ptr<TSLSmartBuffer>(TSLSmartMemoryBuffer::Create(ASize)),
                                          ASize);
}

RefPtr<TSLLinearMemoryBuffer> TSLLinearMemoryBuffer::CreateEx(TSLGenericBuffer& AOther) {
  return ConstructView<TSLLinearMemoryBuffer>(AOther);
}

RefPtr<ISLData> TSLLinearMemoryBuffer::MakeCopy() { return AsData(CreateEx(*this)); }

void TSLLinearMemoryBuffer::Resize(std::uint32_t Size, bool PreserveData) {
  const std::uint32_t element = GetElementSize();
  if (Size == 0) {
    FCharSize = 0;
    UpdateFields();
    return;
  }
  const std::uint32_t current = GetSize();
  if (Size == current) return;
  const std::uint64_t bytes = std::uint64_t{Size} * element;
  const std::uint32_t capacity = pDataContainer->GetAllocatedSize() - pDataContainer->GetDataOffset();
  const bool keepBlock =
      PreserveData && (Size < current || (pDataContainer->SingleOwner() && capacity / element >= Size));
  if (keepBlock) {
    FCharSize = static_cast<std::uint32_t>(bytes);
    UpdateFields();
    return;
  }
  std::unique_ptr<TSLSmartBuffer> block = CreateDataContainer(Size);
  if (PreserveData) {
    const std::uint32_t newCapacity = block->GetAllocatedSize() - block->GetDataOffset();
    std::memcpy(block->GetRawData() + block->GetDataOffset(), FDataPtr, std::min(capacity, newCapacity));
  }
  ExchangeDataContainer(block.release());
  FCharSize = static_cast<std::uint32_t>(bytes);
}

}  // namespace sib
