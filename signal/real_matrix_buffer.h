// TSLRealMatrixBuffer: rows x columns of doubles, stored row after row. A view of a buffer that is not
// a matrix sees its doubles as one row.
#pragma once

#include "signal/generic_buffer.h"

namespace sib {

class TSLRealMatrixBuffer : public TSLWithInterface<TSLMemoryBuffer, ISLRealMatrixBuffer> {
 public:
  using TSLWithInterface::TSLWithInterface;

  static RefPtr<TSLRealMatrixBuffer> CreateSize(std::uint32_t ARows, std::uint32_t ACols);
  // Copies ARows x ACols doubles from AData.
  static RefPtr<TSLRealMatrixBuffer> CreateData(const double* AData, std::uint32_t ARows, std::uint32_t ACols);
  static RefPtr<TSLRealMatrixBuffer> CreateValue(double AValue, std::uint32_t ARows, std::uint32_t ACols);
  static RefPtr<TSLRealMatrixBuffer> CreateEx(TSLGenericBuffer& AOther);
  static RefPtr<TSLRealMatrixBuffer> CreateUniversal(ISLData* AOther);
  static RefPtr<TSLRealMatrixBuffer> CreateCopy(ISLRealMatrixBuffer* AOther);

  RefPtr<ISLData> MakeCopy() override;
  RefPtr<ISLRealMatrixBuffer> GetMatArrayIntf() { return RefPtr<ISLRealMatrixBuffer>(this); }
  std::uint32_t GetElementSize() override { return sizeof(double); }
  std::int32_t GetRows() const { return FRows; }
  std::int32_t GetCols() const { return FCols; }

 private:
  std::int32_t FCols = 0;
  std::int32_t FRows = 0;
};

}  // namespace sib
