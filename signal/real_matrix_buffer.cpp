#include "signal/real_matrix_buffer.h"

#include <algorithm>
#include <cstring>

#include "platform/core/errors.h"

namespace sib {

RefPtr<TSLRealMatrixBuffer> TSLRealMatrixBuffer::CreateSize(std::uint32_t ARows, std::uint32_t ACols) {
  const std::uint64_t elements = std::uint64_t{ARows} * ACols;
  const std::uint64_t bytes = elements * sizeof(double);
  auto block = std::make_unique<TSLSmartMemoryBuffer>(bytes);
  RefPtr<TSLRealMatrixBuffer> buffer =
      Construct<TSLRealMatrixBuffer>(std::unique_ptr<TSLSmartBuffer>(std::move(block)), static_cast<std::uint32_t>(bytes));
  buffer->FRows = static_cast<std::int32_t>(ARows);
  buffer->FCols = static_cast<std::int32_t>(ACols);
  return buffer;
}

RefPtr<TSLRealMatrixBuffer> TSLRealMatrixBuffer::CreateData(const double* AData, std::uint32_t ARows,
                                                            std::uint32_t ACols) {
  RefPtr<TSLRealMatrixBuffer> buffer = CreateSize(ARows, ACols);
  if (buffer->GetByteSize() > 0) std::memcpy(buffer->ByteWrite(), AData, buffer->GetByteSize());
  return buffer;
}

RefPtr<TSLRealMatrixBuffer> TSLRealMatrixBuffer::CreateValue(double AValue, std::uint32_t ARows,
                                                             std::uint32_t ACols) {
  RefPtr<TSLRealMatrixBuffer> buffer = CreateSize(ARows, ACols);
  std::fill_n(reinterpret_cast<double*>(buffer->ByteWrite()), buffer->GetSize(), AValue);
  return buffer;
}

RefPtr<TSLRealMatrixBuffer> TSLRealMatrixBuffer::CreateEx(TSLGenericBuffer& AOther) {
  RefPtr<TSLRealMatrixBuffer> buffer = ConstructView<TSLRealMatrixBuffer>(AOther);
  if (auto* matrix = dynamic_cast<TSLRealMatrixBuffer*>(&AOther)) {
    buffer->FRows = matrix->FRows;
    buffer->FCols = matrix->FCols;
  } else {
    buffer->FRows = 1;
    buffer->FCols = static_cast<std::int32_t>(buffer->GetSize());
  }
  return buffer;
}

RefPtr<TSLRealMatrixBuffer> TSLRealMatrixBuffer::CreateUniversal(ISLData* AOther) {
  return CreateEx(BufferBehind(AOther));
}

RefPtr<TSLRealMatrixBuffer> TSLRealMatrixBuffer::CreateCopy(ISLRealMatrixBuffer* AOther) {
  return CreateEx(BufferBehind(AOther));
}

RefPtr<ISLData> TSLRealMatrixBuffer::MakeCopy() { return AsData(CreateEx(*this)); }

}  // namespace sib
