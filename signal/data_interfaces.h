// The data buffer interfaces through which components pass blocks of data to each other: the root
// `ISLData`, the byte-level `ISLDataBuffer`, and the typed families (block, real, integer, complex,
// real matrix). Each interface lists its operations in slot order. The buffer classes that implement
// them live in generic_buffer.h and the typed *_buffer.h headers.
//
// Parameters that are interfaces are borrowed (the callee adds a reference if it keeps one); results
// are references. Data pointers returned by Read are for reading only; Write and Modify return
// pointers into a block that the buffer has made its own (copy on write).
#pragma once

#include <cstdint>
#include <string>

#include "platform/core/interface.h"

namespace sib {

class TSLBasicBuffer;
class TSLSequenceStamp;

// One complex element: real part, then imaginary part.
struct TOWRealComplex {
  double Re = 0.0;
  double Im = 0.0;
  friend bool operator==(const TOWRealComplex&, const TOWRealComplex&) = default;
};

// Which side of a threshold an element must lie on to be replaced by it.
enum class TSLThresholdType { ttLess, ttGreater };
// Scaling of correlation results: none, divided by the source length, or by the number of terms.
enum class TSLCorrelationType { ctNone, ctNormA, ctNormB };
// The norm of a vector: largest magnitude, sum of magnitudes, or the Euclidean length.
enum class TSLNormType { ntInf, ntL1, ntL2 };

class ISLData : public IInterface {
 public:
  static constexpr TGUID IID = "{B9246BCA-4961-415C-945F-257B3EA0ECFC}"_guid;
  using Parent = IInterface;

  // The buffer object behind the interface.
  virtual TSLBasicBuffer* GetInstance() = 0;
  // A new buffer object of the same class on the same storage block; copies no data.
  virtual RefPtr<ISLData> MakeCopy() = 0;
};

class ISLDataBuffer : public ISLData {
 public:
  static constexpr TGUID IID = "{CA519E69-AECD-43D8-89CF-3B55E15541ED}"_guid;
  using Parent = ISLData;

  // Makes this buffer view the other's block and size; copies no data.
  virtual void Assign(ISLDataBuffer* Other) = 0;
  virtual bool IsEqual(ISLDataBuffer* Other) = 0;
  virtual const std::uint8_t* ByteRead() = 0;
  // Makes the block private without keeping its contents, then returns the first data byte.
  virtual std::uint8_t* ByteWrite() = 0;
  // Makes the block private keeping its contents, then returns the first data byte.
  virtual std::uint8_t* ByteModify() = 0;
  virtual std::uint32_t GetByteSize() = 0;
  virtual std::uint32_t GetSize() = 0;
  // Owned by the buffer; valid while the buffer lives.
  virtual TSLSequenceStamp* GetSequenceStamp() = 0;
  // Copies Count bytes (typed buffers: elements or frames) into Target. Raises ERangeError when
  // either range lies outside its buffer.
  virtual void CopyData(std::uint32_t SourceOffset, ISLDataBuffer* Target, std::uint32_t TargetOffset,
                        std::uint32_t Count) = 0;
  // Gives the buffer a block of its own when the block has other owners; true when it moved.
  virtual bool Unique(bool PreserveData) = 0;
  virtual void SaveToFile(const std::string& AFileName) = 0;
  virtual void LoadFromFile(const std::string& AFileName) = 0;
};

class ISLGenericBuffer : public ISLDataBuffer {
 public:
  static constexpr TGUID IID = "{D4612012-7681-404F-ACCB-1086DA16207B}"_guid;
  using Parent = ISLDataBuffer;
};

class ISLLinearDataBuffer : public ISLDataBuffer {
 public:
  static constexpr TGUID IID = "{4C550C77-77FF-4AF4-A959-C1085B1DE2F4}"_guid;
  using Parent = ISLDataBuffer;

  // Sets the number of elements.
  virtual void Resize(std::uint32_t Size, bool PreserveData) = 0;
};

// Bytes. Arithmetic saturates to 0..255; division is integer division by each element.
class ISLBlockBuffer : public ISLLinearDataBuffer {
 public:
  static constexpr TGUID IID = "{1D7F6725-9466-43E9-9B6C-164FAB691FEA}"_guid;
  using Parent = ISLLinearDataBuffer;

  virtual const std::uint8_t* Read() = 0;
  virtual std::uint8_t* Write() = 0;
  virtual std::uint8_t* Modify() = 0;
  virtual void Add(ISLBlockBuffer* Right) = 0;
  virtual void Subtract(ISLBlockBuffer* Right) = 0;
  virtual void Multiply(ISLBlockBuffer* Right) = 0;
  virtual void Divide(ISLBlockBuffer* Right) = 0;
  virtual void SetValue(std::uint8_t AValue) = 0;
  virtual void Zero() = 0;
  virtual std::uint8_t GetItem(std::uint32_t Index) = 0;
  virtual void SetItem(std::uint32_t Index, std::uint8_t AValue) = 0;
};

class ISLIntegerBuffer;

// Doubles. Conversions to and from foreign arrays work on GetSize elements of the caller's array.
class ISLRealBuffer : public ISLLinearDataBuffer {
 public:
  static constexpr TGUID IID = "{032C61EC-364E-4739-A2FE-E7DA0BA64939}"_guid;
  using Parent = ISLLinearDataBuffer;

  virtual const double* Read() = 0;
  virtual double* Write() = 0;
  virtual double* Modify() = 0;
  virtual double GetItem(std::uint32_t Index) = 0;
  virtual void SetItem(std::uint32_t Index, double AValue) = 0;
  // Element n becomes AMagnitude * sin(pi/2 * n^2 / GetSize): a chirp for tests and demos.
  virtual void VectorJaehne(double AMagnitude) = 0;
  virtual void Add(ISLRealBuffer* Right) = 0;
  virtual void Subtract(ISLRealBuffer* Right) = 0;
  virtual void Multiply(ISLRealBuffer* Right) = 0;
  // A zero divisor gives 1e15 for a positive dividend, -1e14 for a negative one, NaN for 0.
  virtual void Divide(ISLRealBuffer* Right) = 0;
  virtual void SetValue(double AValue) = 0;
  virtual void AddValue(double AValue) = 0;
  virtual void SubtractValue(double AValue) = 0;
  virtual void MultiplyValue(double AValue) = 0;
  virtual void DivideValue(double AValue) = 0;
  virtual void Zero() = 0;
  // To 32-bit and 16-bit integers: rounded to nearest (ties to even) or truncated, saturated to the
  // target's range; NaN becomes 0.
  virtual void ToInt(std::int32_t* AOutBuffer, bool ARound) = 0;
  virtual void ToShort(std::int16_t* AOutBuffer, bool ARound) = 0;
  virtual void ToSingle(float* AOutBuffer) = 0;
  // Resize to ASize elements and convert them.
  virtual void FromInt(const std::int32_t* AInBuffer, std::uint32_t ASize) = 0;
  virtual void FromShort(const std::int16_t* AInBuffer, std::uint32_t ASize) = 0;
  virtual void FromSingle(const float* AInBuffer, std::uint32_t ASize) = 0;
  // Element i becomes (Src[i] - AOffset) / AFactor.
  virtual void NormalizeFrom(ISLRealBuffer* Src, double AOffset, double AFactor) = 0;
  virtual void Normalize(double AOffset, double AFactor) = 0;
  virtual double Dot(ISLRealBuffer* Other) = 0;
  // ttLess: elements below AThreshold become AThreshold; ttGreater: elements above it.
  virtual void Threshold(double AThreshold, TSLThresholdType AType) = 0;
  virtual void ThresholdFrom(ISLRealBuffer* Src, double AThreshold, TSLThresholdType AType) = 0;
  virtual void Sqr() = 0;
  virtual void SqrFrom(ISLRealBuffer* Src) = 0;
  virtual void Sqrt() = 0;
  virtual void SqrtFrom(ISLRealBuffer* Src) = 0;
  // Element n (n < GetSize) becomes the sum over i of Src[i] * Src[i + n], scaled by AType.
  virtual void AutoCorr(ISLRealBuffer* Src, TSLCorrelationType AType) = 0;
  // Element n becomes the sum over i of Src1[i] * Src2[i + n + ALoLag] (Src2 is 0 outside itself).
  virtual void CrossCorr(ISLRealBuffer* Src1, ISLRealBuffer* Src2, std::int32_t ALoLag) = 0;
  virtual void Abs() = 0;
  virtual void AbsFrom(ISLRealBuffer* Src) = 0;
  virtual void Exp() = 0;
  virtual void ExpFrom(ISLRealBuffer* Src) = 0;
  virtual void Ln() = 0;
  virtual void LnFrom(ISLRealBuffer* Src) = 0;
  virtual double Mean() = 0;
  // The sample standard deviation (divided by GetSize - 1); 0 for fewer than two elements.
  virtual double StdDev() = 0;
  // This buffer becomes the full convolution of the two sources (size Src1 + Src2 - 1).
  virtual void Convolve(ISLRealBuffer* Src1, ISLRealBuffer* Src2) = 0;
  virtual double Norm(TSLNormType AType) = 0;
  // Minimum and maximum of an empty buffer are 0 at index -1; the first of equal extremes wins.
  virtual double GetMinValue() = 0;
  virtual double GetMaxValue() = 0;
  virtual std::int32_t GetMinIndex() = 0;
  virtual std::int32_t GetMaxIndex() = 0;
  virtual void GetMin(double& AValue, std::int32_t& AIndex) = 0;
  virtual void GetMax(double& AValue, std::int32_t& AIndex) = 0;
  // The same over the elements AStart to AStart + ACount - 1 that exist.
  virtual void GetMinRestricted(std::uint32_t AStart, std::uint32_t ACount, double& AValue,
                                std::int32_t& AIndex) = 0;
  virtual void GetMaxRestricted(std::uint32_t AStart, std::uint32_t ACount, double& AValue,
                                std::int32_t& AIndex) = 0;
};

// 32-bit integers. Add, Subtract, Multiply and their value forms saturate; Divide and Mod truncate
// toward zero and raise EDivByZero for a zero divisor; shift counts are taken modulo 32 and right
// shifts are arithmetic.
class ISLIntegerBuffer : public ISLLinearDataBuffer {
 public:
  static constexpr TGUID IID = "{51D45274-AF18-4746-BBF1-94C82F07139B}"_guid;
  using Parent = ISLLinearDataBuffer;

  virtual const std::int32_t* Read() = 0;
  virtual std::int32_t* Write() = 0;
  virtual std::int32_t* Modify() = 0;
  virtual std::int32_t GetItem(std::uint32_t Index) = 0;
  virtual void SetItem(std::uint32_t Index, std::int32_t AValue) = 0;
  virtual void Add(ISLIntegerBuffer* Right) = 0;
  virtual void Subtract(ISLIntegerBuffer* Right) = 0;
  virtual void Multiply(ISLIntegerBuffer* Right) = 0;
  virtual void Divide(ISLIntegerBuffer* Right) = 0;
  virtual void ModBuffer(ISLIntegerBuffer* Right) = 0;
  virtual void AndBuffer(ISLIntegerBuffer* Right) = 0;
  virtual void OrBuffer(ISLIntegerBuffer* Right) = 0;
  virtual void XorBuffer(ISLIntegerBuffer* Right) = 0;
  virtual void LShift(ISLIntegerBuffer* Right) = 0;
  virtual void RShift(ISLIntegerBuffer* Right) = 0;
  virtual void SetValue(std::int32_t AValue) = 0;
  virtual void AddValue(std::int32_t AValue) = 0;
  virtual void SubtractValue(std::int32_t AValue) = 0;
  virtual void MultiplyValue(std::int32_t AValue) = 0;
  virtual void DivideValue(std::int32_t AValue) = 0;
  virtual void ModValue(std::int32_t AValue) = 0;
  virtual void AndValue(std::int32_t AValue) = 0;
  virtual void OrValue(std::int32_t AValue) = 0;
  virtual void XorValue(std::int32_t AValue) = 0;
  virtual void LShiftValue(std::uint32_t AValue) = 0;
  virtual void RShiftValue(std::uint32_t AValue) = 0;
  virtual void Zero() = 0;
  virtual std::int64_t Dot(ISLIntegerBuffer* Other) = 0;
  // 0 for an empty buffer.
  virtual std::int32_t GetMinValue() = 0;
  virtual std::int32_t GetMaxValue() = 0;
};

// Pairs of doubles with complex arithmetic (IEEE results for a zero divisor).
class ISLComplexBuffer : public ISLLinearDataBuffer {
 public:
  static constexpr TGUID IID = "{FA61019A-FF10-4472-9F8C-89DC48D5C792}"_guid;
  using Parent = ISLLinearDataBuffer;

  virtual const TOWRealComplex* Read() = 0;
  virtual TOWRealComplex* Write() = 0;
  virtual TOWRealComplex* Modify() = 0;
  virtual TOWRealComplex GetItem(std::uint32_t Index) = 0;
  virtual void SetItem(std::uint32_t Index, TOWRealComplex AValue) = 0;
  // New real buffers holding the real, respectively imaginary, parts.
  virtual RefPtr<ISLRealBuffer> GetReal() = 0;
  virtual RefPtr<ISLRealBuffer> GetImaginary() = 0;
  virtual void Add(ISLComplexBuffer* Right) = 0;
  virtual void Subtract(ISLComplexBuffer* Right) = 0;
  virtual void Multiply(ISLComplexBuffer* Right) = 0;
  virtual void Divide(ISLComplexBuffer* Right) = 0;
  virtual void AddValue(TOWRealComplex AValue) = 0;
  virtual void SubtractValue(TOWRealComplex AValue) = 0;
  virtual void MultiplyValue(TOWRealComplex AValue) = 0;
  virtual void DivideValue(TOWRealComplex AValue) = 0;
  // Resizes to the smaller of the two sizes and joins the parts.
  virtual void SetBuffer(ISLRealBuffer* AReal, ISLRealBuffer* AImag) = 0;
  virtual void SetValue(double AReal, double AImag) = 0;
  virtual void SetValue(TOWRealComplex AValue) = 0;
  virtual void Zero() = 0;
  // Element i becomes (Src[i] - AOffset) / AFactor.
  virtual void NormalizeFrom(ISLComplexBuffer* Src, TOWRealComplex AOffset, double AFactor) = 0;
  virtual void Normalize(TOWRealComplex AOffset, double AFactor) = 0;
  // The sum of products, without conjugation.
  virtual TOWRealComplex Dot(ISLComplexBuffer* Other) = 0;
  // ttLess: elements whose magnitude is below AThreshold are scaled up to it, keeping their phase
  // (0 becomes AThreshold); ttGreater: elements above it are scaled down to it.
  virtual void Threshold(double AThreshold, TSLThresholdType AType) = 0;
  virtual void ThresholdFrom(ISLComplexBuffer* Src, double AThreshold, TSLThresholdType AType) = 0;
  virtual void Sqr() = 0;
  virtual void SqrFrom(ISLComplexBuffer* Src) = 0;
  // The principal square root.
  virtual void Sqrt() = 0;
  virtual void SqrtFrom(ISLComplexBuffer* Src) = 0;
  // Element n becomes the sum over i of Src[i + n] * conj(Src[i]), scaled by AType.
  virtual void AutoCorr(ISLComplexBuffer* Src, TSLCorrelationType AType) = 0;
  // Element n becomes the sum over i of Src1[i] * Src2[i + n + ALoLag] (Src2 is 0 outside itself).
  virtual void CrossCorr(ISLComplexBuffer* Src1, ISLComplexBuffer* Src2, std::int32_t ALoLag) = 0;
  // New real buffers: the angle (atan2), the magnitude, and the squared magnitude of each element.
  virtual RefPtr<ISLRealBuffer> Phase() = 0;
  virtual RefPtr<ISLRealBuffer> Magnitude() = 0;
  virtual RefPtr<ISLRealBuffer> PowerSpectrum() = 0;
};

// Rows of reals. The row and matrix operations are not provided; the interfaces identify the
// buffers for the pins that carry them.
class ISLRealBufferArray : public ISLData {
 public:
  static constexpr TGUID IID = "{7917F92D-A6A1-4209-9491-F36F589B1006}"_guid;
  using Parent = ISLData;
};

class ISLRealMatrixBuffer : public ISLRealBufferArray {
 public:
  static constexpr TGUID IID = "{F3CA41F1-2B7E-49F4-8E08-7B78E6031B57}"_guid;
  using Parent = ISLRealBufferArray;
};

}  // namespace sib
