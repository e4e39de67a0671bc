// The typed buffers' element operations: saturation and division rules, the real buffer's special
// division by zero, conversions, statistics and correlations, the complex operations and item access.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "signal/block_buffer.h"
#include "signal/complex_buffer.h"
#include "signal/integer_buffer.h"
#include "signal/real_buffer.h"
#include "signal/real_matrix_buffer.h"

namespace sib {
namespace {

template <class Buffer>
auto valuesOf(Buffer& buffer) {
  using Element = std::remove_cv_t<std::remove_pointer_t<decltype(buffer.Read())>>;
  return std::vector<Element>(buffer.Read(), buffer.Read() + buffer.GetSize());
}

RefPtr<TSLRealBuffer> reals(std::vector<double> values) {
  return TSLRealBuffer::CreateData(values.data(), static_cast<std::uint32_t>(values.size()));
}

RefPtr<TSLIntegerBuffer> integers(std::vector<std::int32_t> values) {
  return TSLIntegerBuffer::CreateData(values.data(), static_cast<std::uint32_t>(values.size()));
}

TEST(TypedBufferTest, ItemAccessOutsideTheBufferRaisesTheRangeErrorWithTheIndex) {
  RefPtr<TSLRealBuffer> buffer = TSLRealBuffer::CreateValue(0.0, 10);
  try {
    buffer->GetItem(buffer->GetSize());
    FAIL() << "expected ERangeError";
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), "Index out of range = 10");
  }
  RefPtr<TSLRealBuffer> sharer = TSLRealBuffer::CreateEx(*buffer);
  EXPECT_THROW(buffer->SetItem(10, 1.0), ERangeError);
  EXPECT_NE(buffer->DataContainer(), sharer->DataContainer()) << "SetItem made the block unique before checking";
}

TEST(TypedBufferTest, RealDivisionByZeroGivesTheLargeStandInValues) {
  RefPtr<TSLRealBuffer> buffer = reals({1, -1, 0, 6});
  buffer->Divide(reals({0, 0, 0, 3}).get());
  EXPECT_EQ(buffer->GetItem(0), 1e15);
  EXPECT_EQ(buffer->GetItem(1), -1e14);
  EXPECT_TRUE(std::isnan(buffer->GetItem(2)));
  EXPECT_EQ(buffer->GetItem(3), 2.0);
}

TEST(TypedBufferTest, TwoBufferOperationsWorkOnTheShorterLength) {
  RefPtr<TSLRealBuffer> buffer = reals({1, 2, 3});
  buffer->Add(reals({10, 20}).get());
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{11, 22, 3}));
  buffer->Multiply(buffer.get());
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{121, 484, 9}));
}

TEST(TypedBufferTest, NeutralRealValuesLeaveASharedBlockShared) {
  RefPtr<TSLRealBuffer> buffer = reals({4, 8});
  RefPtr<TSLRealBuffer> sharer = TSLRealBuffer::CreateEx(*buffer);
  buffer->AddValue(0);
  buffer->SubtractValue(0);
  buffer->MultiplyValue(1);
  buffer->DivideValue(0);
  buffer->DivideValue(1);
  EXPECT_EQ(buffer->DataContainer(), sharer->DataContainer());
  buffer->DivideValue(4);
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{1, 2}));
  EXPECT_EQ(valuesOf(*sharer), (std::vector<double>{4, 8}));
}

TEST(TypedBufferTest, ToShortRoundsHalvesToEvenOrTruncatesAndSaturates) {
  RefPtr<TSLRealBuffer> buffer = reals({1.5, 2.5, -2.5, -1.7, 40000, -40000, std::nan("")});
  std::vector<std::int16_t> rounded(7), truncated(7);
  buffer->ToShort(rounded.data(), true);
  buffer->ToShort(truncated.data(), false);
  EXPECT_EQ(rounded, (std::vector<std::int16_t>{2, 2, -2, -2, 32767, -32768, 0}));
  EXPECT_EQ(truncated, (std::vector<std::int16_t>{1, 2, -2, -1, 32767, -32768, 0}));
  std::vector<std::int32_t> ints(7);
  buffer->ToInt(ints.data(), true);
  EXPECT_EQ(ints[4], 40000);
  std::vector<std::int16_t> words{-3, 7};
  buffer->FromShort(words.data(), 2);
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{-3, 7}));
}

TEST(TypedBufferTest, RealStatisticsAndExtremes) {
  RefPtr<TSLRealBuffer> buffer = reals({2, 4, 4, 4, 5, 5, 7, 9});
  EXPECT_DOUBLE_EQ(buffer->Mean(), 5.0);
  EXPECT_DOUBLE_EQ(buffer->StdDev(), std::sqrt(32.0 / 7.0));
  EXPECT_DOUBLE_EQ(buffer->Dot(reals({1, 1}).get()), 6.0);
  EXPECT_DOUBLE_EQ(reals({3, -4})->Norm(TSLNormType::ntL2), 5.0);
  EXPECT_DOUBLE_EQ(reals({3, -4})->Norm(TSLNormType::ntL1), 7.0);
  EXPECT_DOUBLE_EQ(reals({3, -4})->Norm(TSLNormType::ntInf), 4.0);
  EXPECT_EQ(buffer->GetMinIndex(), 0);
  EXPECT_EQ(buffer->GetMaxValue(), 9.0);
  EXPECT_EQ(buffer->GetMaxIndex(), 7);
  EXPECT_EQ(reals({1, 3, 3})->GetMaxIndex(), 1) << "the first of equal extremes";
  double value;
  std::int32_t index;
  buffer->GetMinRestricted(4, 2, value, index);
  EXPECT_EQ(value, 5.0);
  EXPECT_EQ(index, 4);
  TSLRealBuffer::Create()->GetMax(value, index);
  EXPECT_EQ(index, -1);
}

TEST(TypedBufferTest, RealElementFunctions) {
  RefPtr<TSLRealBuffer> buffer = reals({-4, 0.25, 9});
  buffer->Threshold(0, TSLThresholdType::ttLess);
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{0, 0.25, 9}));
  buffer->Sqrt();
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{0, 0.5, 3}));
  buffer->SqrFrom(reals({-3, 2}).get());
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{9, 4}));
  buffer->AbsFrom(reals({-1.5}).get());
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{1.5}));
  buffer->ExpFrom(reals({0, 1}).get());
  buffer->Ln();
  EXPECT_DOUBLE_EQ(buffer->GetItem(1), 1.0);
  buffer->NormalizeFrom(reals({10, 20}).get(), 10, 5);
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{0, 2}));
  buffer->Sqr();
  buffer->SqrtFrom(buffer.get());
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{0, 2})) << "a From form may read its own buffer";
}

TEST(TypedBufferTest, RealCorrelationsAndConvolution) {
  RefPtr<TSLRealBuffer> result = TSLRealBuffer::CreateSize(3);
  result->AutoCorr(reals({1, 2, 3}).get(), TSLCorrelationType::ctNone);
  EXPECT_EQ(valuesOf(*result), (std::vector<double>{14, 8, 3}));
  result->AutoCorr(reals({1, 2, 3}).get(), TSLCorrelationType::ctNormB);
  EXPECT_EQ(valuesOf(*result), (std::vector<double>{14 * (1.0 / 3), 8 * (1.0 / 2), 3}));
  result->CrossCorr(reals({1, 2}).get(), reals({1, 10, 100}).get(), -1);
  EXPECT_EQ(valuesOf(*result), (std::vector<double>{2, 21, 210}));
  result->Convolve(reals({1, 2}).get(), reals({1, 1, 1}).get());
  EXPECT_EQ(valuesOf(*result), (std::vector<double>{1, 3, 3, 2}));
  result->Resize(4, false);
  result->VectorJaehne(2.0);
  EXPECT_DOUBLE_EQ(result->GetItem(0), 0.0);
  EXPECT_DOUBLE_EQ(result->GetItem(2), 2.0 * std::sin(std::numbers::pi / 2 * 4 / 4));
}

TEST(TypedBufferTest, BytesSaturateAndDivideAsIntegers) {
  std::vector<std::uint8_t> left{200, 10, 20, 9}, right{100, 20, 20, 2};
  auto make = [](std::vector<std::uint8_t>& v) { return TSLBlockBuffer::CreateData(v.data(), 4); };
  RefPtr<TSLBlockBuffer> sum = make(left), difference = make(left), product = make(left), quotient = make(left);
  sum->Add(make(right).get());
  difference->Subtract(make(right).get());
  product->Multiply(make(right).get());
  quotient->Divide(make(right).get());
  EXPECT_EQ(valuesOf(*sum), (std::vector<std::uint8_t>{255, 30, 40, 11}));
  EXPECT_EQ(valuesOf(*difference), (std::vector<std::uint8_t>{100, 0, 0, 7}));
  EXPECT_EQ(valuesOf(*product), (std::vector<std::uint8_t>{255, 200, 255, 18}));
  EXPECT_EQ(valuesOf(*quotient), (std::vector<std::uint8_t>{2, 0, 1, 4}));
  std::vector<std::uint8_t> zeros{1, 0};
  EXPECT_THROW(make(left)->Divide(TSLBlockBuffer::CreateData(zeros.data(), 2).get()), EDivByZero);
}

TEST(TypedBufferTest, IntegerArithmeticSaturatesDividesTowardZeroAndShifts) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  RefPtr<TSLIntegerBuffer> buffer = integers({kMax, kMin, -7, 7});
  buffer->AddValue(1);
  EXPECT_EQ(valuesOf(*buffer), (std::vector<std::int32_t>{kMax, kMin + 1, -6, 8}));
  buffer->Divide(integers({1, -1, 4, -3}).get());
  EXPECT_EQ(valuesOf(*buffer), (std::vector<std::int32_t>{kMax, kMax, -1, -2}));
  buffer = integers({-7, 7, -1, 1});
  buffer->ModValue(3);
  EXPECT_EQ(valuesOf(*buffer), (std::vector<std::int32_t>{-1, 1, -1, 1}));
  buffer->LShiftValue(33);
  EXPECT_EQ(valuesOf(*buffer), (std::vector<std::int32_t>{-2, 2, -2, 2}));
  buffer->RShift(integers({1, 1, 0, 1}).get());
  EXPECT_EQ(valuesOf(*buffer), (std::vector<std::int32_t>{-1, 1, -2, 1}));
  buffer->MultiplyValue(kMax);
  EXPECT_EQ(valuesOf(*buffer), (std::vector<std::int32_t>{-kMax, kMax, kMin, kMax}));
  EXPECT_EQ(integers({3, -4})->Dot(integers({5, 6}).get()), -9);
  EXPECT_EQ(integers({3, -4})->GetMinValue(), -4);
  EXPECT_THROW(buffer->DivideValue(0), EDivByZero);
  EXPECT_THROW(buffer->ModBuffer(integers({1, 0}).get()), EDivByZero);
}

TEST(TypedBufferTest, ComplexArithmeticAndParts) {
  std::vector<TOWRealComplex> values{{1, 2}, {3, -4}};
  RefPtr<TSLComplexBuffer> buffer = TSLComplexBuffer::CreateData(values.data(), 2);
  std::vector<TOWRealComplex> factors{{0, 1}, {2, 0}};
  buffer->Multiply(TSLComplexBuffer::CreateData(factors.data(), 2).get());
  EXPECT_EQ(valuesOf(*buffer), (std::vector<TOWRealComplex>{{-2, 1}, {6, -8}}));
  buffer->DivideValue({2, 0});
  EXPECT_EQ(buffer->GetItem(1), (TOWRealComplex{3, -4}));
  EXPECT_DOUBLE_EQ(buffer->Magnitude()->GetItem(0), std::sqrt(1.25));
  EXPECT_DOUBLE_EQ(buffer->Magnitude()->GetItem(1), 5.0);
  EXPECT_EQ(valuesOf(*buffer->PowerSpectrum()), (std::vector<double>{1.25, 25}));
  EXPECT_DOUBLE_EQ(buffer->Phase()->GetItem(1), std::atan2(-4.0, 3.0));
  EXPECT_EQ(valuesOf(*buffer->GetImaginary()), (std::vector<double>{0.5, -4}));
  buffer->SetBuffer(reals({1, 2, 3}).get(), reals({-1, -2}).get());
  EXPECT_EQ(valuesOf(*buffer), (std::vector<TOWRealComplex>{{1, -1}, {2, -2}}));
  EXPECT_EQ(buffer->Dot(buffer.get()), (TOWRealComplex{0, -10}));
  buffer->Threshold(10, TSLThresholdType::ttLess);
  EXPECT_DOUBLE_EQ(buffer->Magnitude()->GetItem(0), 10.0) << "raised to the threshold, keeping the phase";
  EXPECT_DOUBLE_EQ(buffer->Phase()->GetItem(0), -std::numbers::pi / 4);
  std::vector<TOWRealComplex> pair{{0, 1}, {1, 0}};
  RefPtr<TSLComplexBuffer> correlation = TSLComplexBuffer::CreateSize(2);
  correlation->AutoCorr(TSLComplexBuffer::CreateData(pair.data(), 2).get(), TSLCorrelationType::ctNone);
  EXPECT_EQ(valuesOf(*correlation), (std::vector<TOWRealComplex>{{2, 0}, {0, -1}}));
}

TEST(TypedBufferTest, MatrixViewsOfPlainBuffersAreOneRow) {
  RefPtr<TSLRealMatrixBuffer> matrix = TSLRealMatrixBuffer::CreateValue(1.0, 3, 4);
  EXPECT_EQ(matrix->GetRows(), 3);
  EXPECT_EQ(matrix->GetCols(), 4);
  EXPECT_EQ(matrix->GetByteSize(), 96u);
  RefPtr<TSLRealMatrixBuffer> copy = TSLRealMatrixBuffer::CreateUniversal(matrix->MakeCopy().get());
  EXPECT_EQ(copy->GetRows(), 3);
  RefPtr<TSLRealMatrixBuffer> row = TSLRealMatrixBuffer::CreateUniversal(reals({1, 2, 3})->AsDataIntf());
  EXPECT_EQ(row->GetRows(), 1);
  EXPECT_EQ(row->GetCols(), 3);
  EXPECT_TRUE(supports<ISLRealBufferArray>(matrix->GetMatArrayIntf().get()));
}

}  // namespace
}  // namespace sib
