// The common part of the typed buffers (block, real, integer, complex): a linear memory buffer of one
// element type with the constructors every typed class has, the data pointers, item access and the
// loops that element operations are built from. Self is the concrete class, Primary its interface.
//
// Every operation that changes data makes the block unique first: keeping the contents for
// operations that read them, without keeping them for those that overwrite every element.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "signal/generic_buffer.h"
#include "signal/signal_errors.h"

namespace sib {

template <class Self, class Primary, class Element>
class TSLTypedBuffer : public TSLWithLinearInterface<TSLLinearMemoryBuffer, Primary> {
  using Base = TSLWithLinearInterface<TSLLinearMemoryBuffer, Primary>;

 public:
  using Base::Base;

  // An empty buffer.
  static RefPtr<Self> Create() { return CreateSize(0); }
  // ASize elements of unspecified value.
  static RefPtr<Self> CreateSize(std::uint32_t ASize) {
    const std::uint64_t bytes = std::uint64_t{ASize} * sizeof(Element);
    auto block = std::make_unique<TSLSmartMemoryBuffer>(bytes);
    return TSLGenericBuffer::template Construct<Self>(std::unique_ptr<TSLSmartBuffer>(std::move(block)),
                                                      static_cast<std::uint32_t>(bytes));
  }
  // A copy of ASize elements.
  static RefPtr<Self> CreateData(const Element* AData, std::uint32_t ASize) {
    RefPtr<Self> buffer = CreateSize(ASize);
    if (ASize > 0) std::memcpy(buffer->Write(), AData, std::size_t{ASize} * sizeof(Element));
    return buffer;
  }
  // ASize elements of AValue.
  static RefPtr<Self> CreateValue(Element AValue, std::uint32_t ASize) {
    RefPtr<Self> buffer = CreateSize(ASize);
    std::fill_n(buffer->Write(), ASize, AValue);
    return buffer;
  }
  // Views of another buffer's block; no data is copied.
  static RefPtr<Self> CreateEx(TSLGenericBuffer& AOther) {
    return TSLGenericBuffer::template ConstructView<Self>(AOther);
  }
  static RefPtr<Self> CreateUniversal(ISLData* AOther) { return CreateEx(TSLGenericBuffer::BufferBehind(AOther)); }
  static RefPtr<Self> CreateCopy(Primary* AOther) { return CreateEx(TSLGenericBuffer::BufferBehind(AOther)); }

  RefPtr<ISLData> MakeCopy() override { return TSLGenericBuffer::AsData(CreateEx(*this)); }
  std::uint32_t GetElementSize() override { return sizeof(Element); }

  // Equal only to a buffer of the same class with the same bytes.
  bool IsEqual(ISLDataBuffer* Other) override {
    if (!Other || !dynamic_cast<Self*>(Other->GetInstance())) return false;
    return Base::IsEqual(Other);
  }

  const Element* Read() override { return reinterpret_cast<const Element*>(this->ByteRead()); }
  Element* Write() override { return reinterpret_cast<Element*>(this->ByteWrite()); }
  Element* Modify() override { return reinterpret_cast<Element*>(this->ByteModify()); }

  Element GetItem(std::uint32_t Index) override {
    if (Index >= this->GetSize()) raiseIndexOutOfRange(Index);
    return Read()[Index];
  }
  void SetItem(std::uint32_t Index, Element AValue) override {
    Element* data = Modify();
    if (Index >= this->GetSize()) raiseIndexOutOfRange(Index);
    data[Index] = AValue;
  }
  void Zero() override { std::fill_n(Write(), this->GetSize(), Element{}); }

 protected:
  // Element i of this buffer becomes f(element i, Right[i]) for i below both sizes.
  template <class F>
  void Combine(Primary* Right, F f) {
    if (!Right) throw EInvalidOperation("The operation needs a second buffer");
    const std::uint32_t count = std::min(this->GetSize(), Right->GetSize());
    // This buffer first: when Right is this buffer, its data moves along.
    Element* data = Modify();
    const Element* right = Right->Read();
    for (std::uint32_t i = 0; i < count; ++i) data[i] = f(data[i], right[i]);
  }
  // Every element becomes f(element).
  template <class F>
  void Apply(F f) {
    const std::uint32_t count = this->GetSize();
    Element* data = Modify();
    for (std::uint32_t i = 0; i < count; ++i) data[i] = f(data[i]);
  }
  // Every element becomes AValue.
  void Fill(Element AValue) { std::fill_n(Write(), this->GetSize(), AValue); }
  // This buffer takes the size of Src and element i becomes f(Src[i]). Src may be this buffer.
  template <class SrcElement, class F>
  void ApplyFrom(const SrcElement* ASource, std::uint32_t ACount, F f) {
    this->Resize(ACount, false);
    Element* data = Write();
    for (std::uint32_t i = 0; i < ACount; ++i) data[i] = f(ASource[i]);
  }
  template <class F>
  void ApplyFrom(Primary* Src, F f) {
    if (!Src) throw EInvalidOperation("The operation needs a source buffer");
    // Src keeps its block alive while this buffer moves away from it.
    RefPtr<Primary> source(Src);
    ApplyFrom(source->Read(), source->GetSize(), f);
  }
};

// A copy of a buffer's elements, for operations whose result may overwrite their own source.
template <class Interface>
auto copyElements(Interface* ABuffer) {
  if (!ABuffer) throw EInvalidOperation("The operation needs a source buffer");
  const auto* data = ABuffer->Read();
  using Element = std::remove_cv_t<std::remove_pointer_t<decltype(data)>>;
  return std::vector<Element>(data, data + ABuffer->GetSize());
}

// The factor a correlation term of lag ALag is scaled by, for a source of ALength elements.
inline double correlationScale(TSLCorrelationType AType, std::size_t ALength, std::size_t ALag) {
  switch (AType) {
    case TSLCorrelationType::ctNormA:
      return ALength > 0 ? 1.0 / static_cast<double>(ALength) : 0.0;
    case TSLCorrelationType::ctNormB:
      return ALength > ALag ? 1.0 / static_cast<double>(ALength - ALag) : 0.0;
    case TSLCorrelationType::ctNone:
      break;
  }
  return 1.0;
}

// Correlation lag n (n < ALags) of a source with itself: the sum over i of ASource[i + n] times
// AConjugate(ASource[i]), scaled by AType.
template <class T, class Conjugate>
std::vector<T> autoCorrelate(const std::vector<T>& ASource, std::uint32_t ALags, TSLCorrelationType AType,
                             Conjugate AConjugate) {
  std::vector<T> result(ALags);
  for (std::uint32_t n = 0; n < ALags; ++n) {
    T sum{};
    for (std::size_t i = 0; i + n < ASource.size(); ++i) sum += ASource[i + n] * AConjugate(ASource[i]);
    result[n] = sum * correlationScale(AType, ASource.size(), n);
  }
  return result;
}

// Lag n (n < ALags) of two sources: the sum over i of AFirst[i] times ASecond[i + n + ALoLag], where
// ASecond counts as 0 outside itself.
template <class T>
std::vector<T> crossCorrelate(const std::vector<T>& AFirst, const std::vector<T>& ASecond, std::uint32_t ALags,
                              std::int32_t ALoLag) {
  std::vector<T> result(ALags);
  for (std::uint32_t n = 0; n < ALags; ++n) {
    T sum{};
    for (std::size_t i = 0; i < AFirst.size(); ++i) {
      const std::int64_t j = static_cast<std::int64_t>(i) + n + ALoLag;
      if (j >= 0 && j < static_cast<std::int64_t>(ASecond.size())) sum += AFirst[i] * ASecond[static_cast<std::size_t>(j)];
    }
    result[n] = sum;
  }
  return result;
}

}  // namespace sib
