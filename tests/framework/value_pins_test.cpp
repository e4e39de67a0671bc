// Value pins, clock pins, state hubs and the standard converters.
#include "framework/value_pins.h"

#include <gtest/gtest.h>

#include "pin_test_components.h"

namespace sib::test {
namespace {

// Pins owned by one component of the fixture's root, held by the test.
class ValuePinsTest : public PinFixture {
 protected:
  void SetUp() override {
    PinFixture::SetUp();
    owner_ = Make<TTestOutput>("c1");
  }
  template <class T, class... Args>
  TOWPinRef<T> Pin(Args&&... args) {
    return makePin<T>(owner_, owner_->Lock().get(), std::forward<Args>(args)...);
  }

  TTestOutput* owner_ = nullptr;
};

TEST_F(ValuePinsTest, ARealSinkGetsTheCurrentValueOnConnectingAndThenEveryChange) {
  auto source = Pin<TOWRealSourcePin>();
  std::vector<double> seen;
  auto sink = Pin<TOWRealSinkPin>(TOWRealChangeEvent([&](TOWPin*, double v) { seen.push_back(v); }));
  source->SetValue(1.5);
  ASSERT_TRUE(sink->Connect(source.get()));
  EXPECT_FALSE(sink->IsConnectedByConverterTo(source.get()));
  EXPECT_EQ(seen, std::vector<double>{1.5});
  source->SetValue(2.5);
  source->SetValue(2.5);
  EXPECT_EQ(seen, (std::vector<double>{1.5, 2.5})) << "the same value is not sent again";
  source->SubmitReal(2.5);
  EXPECT_EQ(seen, (std::vector<double>{1.5, 2.5, 2.5}));
  EXPECT_EQ(sink->Value(), 2.5);
}

TEST_F(ValuePinsTest, AFloatSinkOnARealSourceGetsSingles) {
  auto source = Pin<TOWRealSourcePin>();
  auto sink = Pin<TOWFloatSinkPin>();
  ASSERT_TRUE(sink->Connect(source.get()));
  EXPECT_EQ(sink->UpStreamID(), GUID_NULL) << "a value sink declares no types of its own";
  EXPECT_EQ(sink->DownStreamID(), IOWFloatStream::IID);
  source->SetValue(0.1);
  EXPECT_EQ(sink->Value(), 0.1f);
}

TEST_F(ValuePinsTest, AnIntegerOnlySourceReachesARealSinkConvertedToReal) {
  auto source = Pin<TTestSourcePin>(IOWIntegerStream::IID);
  auto sink = Pin<TOWRealSinkPin>();
  ASSERT_TRUE(sink->Connect(source.get()));
  ASSERT_NE(dynamic_cast<TOWIntToRealFormatConverter*>(sink->FormatConverter()), nullptr);
  for (std::int32_t v : {3, -8, 2147483647}) {
    source->Notify(newOperation<TOWSuppliedIntegerOperation>(v));
    EXPECT_EQ(sink->Value(), static_cast<double>(v));
  }
}

TEST_F(ValuePinsTest, ARangedIntegerReachesARangedRealSinkWithItsRange) {
  auto source = Pin<TTestSourcePin>(IOWIntRangedStream::IID);
  struct RangedRealSink : TOWPinStreams<TOWSinkPin, IOWRealRangedStream> {
    using TOWPinStreams::TOWPinStreams;
    TOWNotifyResult DispatchData(const TGUID*, IOWNotifyOperation* op, TOWNotifyState) override {
      if (auto* full = operationAs<TOWSuppliedRealValueRangeOperation>(op)) last = {full->Value, full->Min, full->Max};
      else if (auto* single = operationAs<TOWSuppliedSingleOperation>(op)) last = {single->Value, -1, -1};
      return {};
    }
    std::array<double, 3> last{};
  };
  auto sink = Pin<RangedRealSink>();
  ASSERT_TRUE(sink->Connect(source.get()));
  ASSERT_NE(dynamic_cast<TOWIntToRealRangedFormatConverter*>(sink->FormatConverter()), nullptr);
  source->Notify(newOperation<TOWSuppliedIntValueRangeOperation>(5, 0, 10));
  EXPECT_EQ(sink->last, (std::array<double, 3>{5, 0, 10}));
  source->Notify(newOperation<TOWSuppliedIntRangeOperation>(1, 2));
  EXPECT_EQ(sink->last, (std::array<double, 3>{5, 0, 10})) << "ranges alone are not passed on";
  source->Notify(newOperation<TOWSuppliedIntegerOperation>(7));
  EXPECT_EQ(sink->last, (std::array<double, 3>{7, -1, -1}));
}

TEST_F(ValuePinsTest, AClockSinkTicksForClockOperationsAndSuppliedValues) {
  auto source = Pin<TOWRealSourcePin>();
  int ticks = 0;
  auto sink = Pin<TOWClockSinkPin>(TOWClockEvent([&](TOWPin*) { ++ticks; }));
  ASSERT_TRUE(sink->Connect(source.get()));
  EXPECT_EQ(sink->DownStreamID(), IOWClockStream::IID);
  ticks = 0;
  source->Clock();
  source->SubmitReal(3.0);
  source->Notify(newOperation<TOWStartOperation>());
  EXPECT_EQ(ticks, 2);
}

TEST_F(ValuePinsTest, AClockSinkTellsItsSourceWhetherItNeedsTicks) {
  std::vector<bool> requests;
  auto source = Pin<TOWClockSourcePin>(
      [&](TOWBasicPin*, const TGUID*, IOWNotifyOperation* op, TOWNotifyState) {
        if (auto* needed = operationAs<TOWClockNeededOperation>(op)) requests.push_back(needed->Enabled);
        return TOWNotifyResult{};
      });
  auto sink = Pin<TOWClockSinkPin>();
  ASSERT_TRUE(sink->Connect(source.get()));
  sink->Notify(newOperation<TOWClockNeededOperation>(true));
  EXPECT_EQ(requests, std::vector<bool>{true});
}

TEST_F(ValuePinsTest, ATimeRangedStateSendsTheValueAndThenTheTimeItStandsFor) {
  const TDateTime t0 = 45000.0;
  struct Row {
    std::int64_t value, min, max;
    TDateTime expected;
  };
  const Row rows[] = {{50, 0, 100, t0 + 0.5}, {7, 7, 7, t0}, {0, 0, 100, t0}, {100, 0, 100, t0 + 1}};
  for (const Row& row : rows) {
    auto state = Pin<TOWInt64TimeRangedStatePin>();
    auto int64Sink = Pin<TOWInt64AndRangedSinkPin>();
    auto timeSink = Pin<TOWDateTimeSinkPin>();
    ASSERT_TRUE(int64Sink->Connect(state.get()));
    ASSERT_TRUE(timeSink->Connect(state.get()));
    std::vector<std::string> order;
    int64Sink->OnDataChange = TOWInt64ValueRangeChangeEvent(
        [&](TOWPin*, std::int64_t, std::int64_t, std::int64_t, bool) { order.push_back("int64"); });
    timeSink->OnDataChange = TOWDateTimeChangeEvent([&](TOWPin*, TDateTime) { order.push_back("time"); });
    state->SubmitValueRange(row.value, row.min, row.max, t0, t0 + 1);
    EXPECT_EQ(order, (std::vector<std::string>{"int64", "time"})) << row.value;
    EXPECT_EQ(int64Sink->Value(), row.value);
    EXPECT_EQ(int64Sink->Max(), row.max);
    EXPECT_DOUBLE_EQ(timeSink->Value(), row.expected) << row.value << " in " << row.min << ".." << row.max;
  }
}

TEST_F(ValuePinsTest, TwoBoolStatePinsShareAHubNamedAfterTheRoot) {
  std::vector<bool> seenByB;
  auto a = Pin<TOWBoolStatePin>();
  auto b = Pin<TOWBoolStatePin>(TOWBoolChangeEvent([&](TOWPin*, bool v) { seenByB.push_back(v); }));
  a->SetValue(true);
  ASSERT_TRUE(a->Connect(b.get()));
  ASSERT_NE(a->GetDispatcher(), nullptr);
  EXPECT_EQ(a->GetDispatcher(), b->GetDispatcher());
  EXPECT_EQ(a->GetDispatcher()->Name(), "Form1Link1");
  EXPECT_EQ(a->PinCount(), 2u);
  EXPECT_TRUE(b->Value()) << "the pin that joins is brought up to date";
  EXPECT_TRUE(a->IsConnectedTo(b.get()));

  a->SetValue(false);
  EXPECT_FALSE(b->Value());
  b->SetValue(true);
  EXPECT_TRUE(a->Value());
  ASSERT_FALSE(seenByB.empty());
  EXPECT_FALSE(seenByB.back());

  b->Disconnect();
  EXPECT_EQ(a->GetDispatcher(), nullptr);
  EXPECT_EQ(TOWStateDispatcher::Count(), 0u);
  a->SetValue(false);
  EXPECT_TRUE(b->Value()) << "the other pin is left alone";
}

TEST_F(ValuePinsTest, ASecondHubOfTheSameRootTakesTheNextNumber) {
  auto a = Pin<TOWBoolStatePin>();
  auto b = Pin<TOWBoolStatePin>();
  auto c = Pin<TOWBoolStatePin>();
  auto d = Pin<TOWBoolStatePin>();
  ASSERT_TRUE(a->Connect(b.get()));
  ASSERT_TRUE(c->Connect(d.get()));
  EXPECT_EQ(c->GetDispatcher()->Name(), "Form1Link2");
  a->Disconnect();
  auto e = Pin<TOWBoolStatePin>();
  auto f = Pin<TOWBoolStatePin>();
  ASSERT_TRUE(e->Connect(f.get()));
  EXPECT_EQ(e->GetDispatcher()->Name(), "Form1Link1");
}

TEST_F(ValuePinsTest, ABoolSinkJoinsAStateAndFollowsIt) {
  auto state = Pin<TOWBoolStatePin>();
  auto sink = Pin<TOWBoolSinkPin>();
  state->SetValue(true);
  ASSERT_TRUE(sink->Connect(state.get()));
  EXPECT_TRUE(sink->IsStateConnected());
  EXPECT_TRUE(sink->Value());
  state->SetValue(false);
  EXPECT_FALSE(sink->Value());
}

TEST_F(ValuePinsTest, AStringSinkKeepsTheLastString) {
  auto source = Pin<TTestSourcePin>(IOWStringStream::IID);
  std::string seen;
  auto sink = Pin<TOWStringSinkPin>(TOWStringChangeEvent([&](TOWPin*, std::string v) { seen = v; }));
  ASSERT_TRUE(sink->Connect(source.get()));
  source->Notify(newOperation<TOWSuppliedStringOperation>("Pink.wav"));
  EXPECT_EQ(sink->Value(), "Pink.wav");
  EXPECT_EQ(seen, "Pink.wav");
  source->Notify(newOperation<TOWSuppliedIntegerOperation>(3));
  EXPECT_EQ(sink->Value(), "Pink.wav") << "other operations are ignored";
}

}  // namespace
}  // namespace sib::test
