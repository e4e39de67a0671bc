// Connections between pins and the delivery of operations along them.
#include "framework/pin.h"

#include <gtest/gtest.h>

#include <thread>

#include "pin_test_components.h"

namespace sib::test {
namespace {

using PinTest = PinFixture;

std::vector<std::uint32_t> ids(const std::vector<Delivery>& deliveries) {
  std::vector<std::uint32_t> result;
  for (const auto& d : deliveries) result.push_back(d.OperationID);
  return result;
}

TEST_F(PinTest, APinDoesNotConnectToItself) {
  auto* amp = Make<TTestAmplifier>("amp1");
  EXPECT_FALSE(amp->OutputPin()->Connect(amp->OutputPin()));
  EXPECT_FALSE(amp->InputPin()->Connect(amp->InputPin()));
}

TEST_F(PinTest, ASinkConnectedToASecondSourceLeavesTheFirst) {
  auto* a = Make<TTestPlayer>("a");
  auto* b = Make<TTestPlayer>("b");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(out->InputPin()->Connect(a->OutputPin()));
  ASSERT_TRUE(out->InputPin()->Connect(b->OutputPin()));
  EXPECT_EQ(out->InputPin()->SourcePin(), b->OutputPin());
  EXPECT_EQ(a->OutputPin()->SinkCount(), 0u);
  EXPECT_FALSE(a->OutputPin()->IsConnectedTo(out->InputPin()));
  EXPECT_TRUE(b->OutputPin()->IsConnectedTo(out->InputPin()));
}

TEST_F(PinTest, ConnectingFromTheSourceSideGoesThroughTheSink) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(player->OutputPin()->Connect(out->InputPin()));
  EXPECT_EQ(out->InputPin()->SourcePin(), player->OutputPin());
  EXPECT_EQ(out->InputPin()->UpStreamID(), IOWTestStream::IID);
  EXPECT_EQ(out->InputPin()->DownStreamID(), IOWTestStream::IID);
}

TEST_F(PinTest, ConnectingAgainWithTheSameAfterPinChangesNothing) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* first = Make<TTestOutput>("first");
  auto* second = Make<TTestOutput>("second");
  ASSERT_TRUE(first->InputPin()->Connect(player->OutputPin()));
  ASSERT_TRUE(second->InputPin()->ConnectAfter(player->OutputPin(), first->InputPin()));
  const auto newLinksBefore = second->InputPin()->Received.Count();
  EXPECT_TRUE(second->InputPin()->ConnectAfter(player->OutputPin(), first->InputPin()));
  EXPECT_EQ(player->OutputPin()->SinkCount(), 2u);
  EXPECT_EQ(second->InputPin()->Received.Count(), newLinksBefore) << "no second new-link notification";
  EXPECT_TRUE(player->OutputPin()->IsConnectedToAfter(second->InputPin(), first->InputPin()));
}

TEST_F(PinTest, ANewConnectionSendsOneNewLinkNotification) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(out->InputPin()->Connect(player->OutputPin()));
  const auto received = out->InputPin()->Received.Deliveries();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].State, (TOWNotifyState{nsNewLink, nsLastIteration}));
}

TEST_F(PinTest, ConnectionsThatCloseALoopThroughFunctionSourcesAreRefused) {
  auto* amp = Make<TTestAmplifier>("amp1");
  auto* amp2 = Make<TTestAmplifier>("amp2");
  EXPECT_FALSE(amp->OutputPin()->Connect(amp->InputPin()));
  EXPECT_FALSE(amp->InputPin()->Connect(amp->OutputPin()));
  ASSERT_TRUE(amp2->InputPin()->Connect(amp->OutputPin()));
  EXPECT_FALSE(amp->InputPin()->Connect(amp2->OutputPin()));
  EXPECT_FALSE(amp->InputPin()->IsConnected());
}

TEST_F(PinTest, ASourceDeliversToEverySinkAndMarksOnlyTheLastCall) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* first = Make<TTestOutput>("first");
  auto* second = Make<TTestOutput>("second");
  ASSERT_TRUE(first->InputPin()->Connect(player->OutputPin()));
  ASSERT_TRUE(second->InputPin()->Connect(player->OutputPin()));
  first->InputPin()->Received.Clear();
  second->InputPin()->Received.Clear();

  OperationRef op = newOperation<TOWStartOperation>();
  EXPECT_TRUE(player->OutputPin()->Notify(op).Empty());

  const auto a = first->InputPin()->Received.Deliveries();
  const auto b = second->InputPin()->Received.Deliveries();
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(a[0].OperationID, op->Instance()->OperationID());
  EXPECT_EQ(a[0].State, TOWNotifyState{});
  EXPECT_EQ(b[0].State, TOWNotifyState{nsLastIteration});
}

TEST_F(PinTest, ConnectionsWhoseReceiversChangeTheDataDriftToTheEndButFollowTheirAfterPin) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* s1 = Make<TTestOutput>("s1");
  auto* s2 = Make<TTestOutput>("s2");
  auto* s3 = Make<TTestOutput>("s3");
  ASSERT_TRUE(s2->InputPin()->Connect(player->OutputPin()));
  ASSERT_TRUE(s3->InputPin()->Connect(player->OutputPin()));
  ASSERT_TRUE(s1->InputPin()->ConnectAfter(player->OutputPin(), s2->InputPin()));
  std::vector<std::string> order;
  for (auto* c : {s1, s2, s3}) {
    c->InputPin()->Received.OnReceive([&order, c](IOWNotifyOperation*, TOWNotifyState) {
      order.push_back(c->Name());
      return c->Name() == "s2" ? TOWNotifyResult{nrDataChanged} : TOWNotifyResult{};
    });
  }
  for (int round = 0; round < 4; ++round) {
    order.clear();
    player->OutputPin()->Notify(newOperation<TOWNotifyOperation>());
    ASSERT_EQ(order.size(), 3u);
    const auto s2At = std::find(order.begin(), order.end(), "s2") - order.begin();
    const auto s1At = std::find(order.begin(), order.end(), "s1") - order.begin();
    EXPECT_GT(s1At, s2At) << "round " << round;
    if (round > 0) {
      EXPECT_EQ(order.front(), "s3") << "the changing connection moved behind the others";
    }
  }
}

TEST_F(PinTest, ASinkNotifiesItsSourceAndGetsItsAnswer) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(out->InputPin()->Connect(player->OutputPin()));
  player->OutputPin()->Upstream.OnReceive([](IOWNotifyOperation*, TOWNotifyState) { return TOWNotifyResult{nrDataChanged}; });
  OperationRef op = newOperation<TOWPumpRequestOperation>();
  EXPECT_EQ(out->InputPin()->Notify(op), TOWNotifyResult{nrDataChanged});
  const auto received = player->OutputPin()->Upstream.Deliveries();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].OperationID, op->Instance()->OperationID());
  EXPECT_EQ(received[0].State, TOWNotifyState{nsLastIteration});
}

TEST_F(PinTest, AReceiverMayChangeTheOperationAndTheSenderReadsItBack) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(out->InputPin()->Connect(player->OutputPin()));
  out->InputPin()->Received.OnReceive([out](IOWNotifyOperation* op, TOWNotifyState) {
    if (auto* request = operationAs<TOWPumpRequestOperation>(op)) request->Pump = out;
    return TOWNotifyResult{};
  });
  OperationRef op = newOperation<TOWPumpRequestOperation>(player, ptMaster, 0, 1.0f);
  player->OutputPin()->Notify(op);
  EXPECT_EQ(operationAs<TOWPumpRequestOperation>(op.get())->Pump, out);
}

TEST_F(PinTest, ASinkWithoutOwnTypesConnectsButDeliversNothingUpstream) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* holder = Make<TTestOutput>("holder");
  auto quiet = makePin<TTestSinkPin>(holder, holder->Lock().get(), /*talksUpstream=*/false);
  auto ignoring = makePin<TTestSinkPin>(holder, holder->Lock().get());
  ignoring->SetIgnoreUpstream(true);
  ASSERT_TRUE(quiet->Connect(player->OutputPin()));
  ASSERT_TRUE(ignoring->Connect(player->OutputPin()));
  EXPECT_TRUE(quiet->Notify(newOperation<TOWStopOperation>()).Empty());
  EXPECT_EQ(player->OutputPin()->Upstream.Count(), 0u);
}

TEST_F(PinTest, PinsWithoutACommonTypeOrConverterRefuseToConnect) {
  auto* holder = Make<TTestOutput>("holder");
  auto source = makePin<TTestSourcePin>(holder, holder->Lock().get(), IID_OWOtherTestStream);
  EXPECT_FALSE(holder->InputPin()->Connect(source.get()));
  EXPECT_FALSE(source->Connect(holder->InputPin()));
  EXPECT_EQ(source->SinkCount(), 0u);
}

TEST_F(PinTest, AnExceptionOfAReceiverReachesTheSenderWithItsLocksRestored) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(out->InputPin()->Connect(player->OutputPin()));
  out->InputPin()->Received.OnReceive([](IOWNotifyOperation*, TOWNotifyState) -> TOWNotifyResult {
    throw ESLException("device failed");
  });
  LockSection held = player->Lock()->WriteLock();
  EXPECT_THROW(player->OutputPin()->Notify(newOperation<TOWNotifyOperation>()), ESLException);
  EXPECT_EQ(player->Lock()->Instance()->HoldsOfCurrentThread(), 1);
  EXPECT_EQ(player->OutputPin()->InSending(), 0);
  EXPECT_EQ(player->OutputPin()->IntLock()->HoldsOfCurrentThread(), 0);
}

TEST_F(PinTest, TheOwnerLockIsGivenUpWhileTheReceiverRuns) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(out->InputPin()->Connect(player->OutputPin()));
  std::int32_t holdsDuringCall = -1;
  std::int32_t pinHoldsDuringCall = -1;
  out->InputPin()->Received.OnReceive([&](IOWNotifyOperation*, TOWNotifyState) {
    holdsDuringCall = player->Lock()->Instance()->HoldsOfCurrentThread();
    pinHoldsDuringCall = player->OutputPin()->IntLock()->HoldsOfCurrentThread();
    return TOWNotifyResult{};
  });
  LockSection held = player->Lock()->WriteLock();
  LockSection nested = player->Lock()->ReadLock();
  player->OutputPin()->Notify(newOperation<TOWNotifyOperation>());
  EXPECT_EQ(holdsDuringCall, 0);
  EXPECT_EQ(pinHoldsDuringCall, 0);
  EXPECT_EQ(player->Lock()->Instance()->HoldsOfCurrentThread(), 2);
}

// A receiver that sends back into its own source without a declared dependency.
TEST_F(PinTest, ASendNestedMoreThan200DeepRaisesAndRestoresCountersAndLocks) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(out->InputPin()->Connect(player->OutputPin()));
  int depth = 0;
  out->InputPin()->Received.OnReceive([&](IOWNotifyOperation* op, TOWNotifyState) {
    ++depth;
    return player->OutputPin()->Notify(op);
  });
  LockSection held = player->Lock()->WriteLock();
  try {
    player->OutputPin()->Notify(newOperation<TOWNotifyOperation>());
    FAIL() << "no exception";
  } catch (const EOWException& e) {
    EXPECT_EQ(e.Message(), "The pin depends on itself. Please protect with functional dependency.");
  }
  EXPECT_EQ(depth, 201);
  EXPECT_EQ(player->OutputPin()->InSending(), 0);
  EXPECT_EQ(player->OutputPin()->IntLock()->HoldsOfCurrentThread(), 0);
  EXPECT_EQ(player->Lock()->Instance()->HoldsOfCurrentThread(), 1);
  EXPECT_EQ(out->Lock()->Instance()->HoldsOfCurrentThread(), 0);
  out->InputPin()->Received.OnReceive(nullptr);
  out->InputPin()->Received.Clear();
  player->OutputPin()->Notify(newOperation<TOWNotifyOperation>());
  EXPECT_EQ(out->InputPin()->Received.Count(), 1u) << "the pin still delivers";
}

TEST_F(PinTest, DestroyingAComponentLeavesEveryConnectionOfItsPins) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* amp = Make<TTestAmplifier>("amp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(amp->InputPin()->Connect(player->OutputPin()));
  ASSERT_TRUE(out->InputPin()->Connect(amp->OutputPin()));
  const std::size_t pinsBefore = TOWPinRegistry::Count();
  FreeComponent(amp);
  EXPECT_EQ(TOWPinRegistry::Count(), pinsBefore - 2);
  EXPECT_FALSE(player->OutputPin()->IsConnected());
  EXPECT_EQ(player->OutputPin()->SinkCount(), 0u);
  EXPECT_FALSE(out->InputPin()->IsConnected());
  EXPECT_EQ(out->InputPin()->SourcePin(), nullptr);
  EXPECT_TRUE(player->OutputPin()->Notify(newOperation<TOWNotifyOperation>()).Empty());
}

TEST_F(PinTest, TheAmplifierPassesOperationsDownTheChain) {
  auto* player = Make<TTestPlayer>("wp1");
  auto* amp = Make<TTestAmplifier>("amp1");
  auto* out = Make<TTestOutput>("out1");
  ASSERT_TRUE(amp->InputPin()->Connect(player->OutputPin()));
  ASSERT_TRUE(out->InputPin()->Connect(amp->OutputPin()));
  out->InputPin()->Received.Clear();
  OperationRef op = newOperation<TOWStartOperation>();
  player->OutputPin()->Notify(op);
  EXPECT_EQ(ids(out->InputPin()->Received.Deliveries()), std::vector<std::uint32_t>{op->Instance()->OperationID()});
  EXPECT_TRUE(amp->OutputPin()->DependsOn(amp->InputPin()));
  EXPECT_TRUE(out->InputPin()->DependsOn(player->OutputPin()));
  EXPECT_TRUE(amp->OutputPin()->DirectDependsOn(amp->InputPin()));
}

// ---- Converters -----------------------------------------------------------------------------------

class ConverterTest : public PinTest {
 protected:
  void SetUp() override {
    PinTest::SetUp();
    holder_ = Make<TTestOutput>("holder");
    source_ = makePin<TTestSourcePin>(holder_, holder_->Lock().get(), IOWIntegerStream::IID);
  }
  void TearDown() override {
    source_.reset();
    PinTest::TearDown();
  }
  TOWPinRef<TOWRealSinkPin> RealSink() { return makePin<TOWRealSinkPin>(holder_, holder_->Lock().get()); }

  TTestOutput* holder_ = nullptr;
  TOWPinRef<TTestSourcePin> source_;
};

TEST_F(ConverterTest, AnIntegerSourceReachesARealSinkThroughAConverter) {
  auto sink = RealSink();
  ASSERT_TRUE(sink->Connect(source_.get()));
  EXPECT_TRUE(sink->IsConnectedByConverterTo(source_.get()));
  EXPECT_TRUE(source_->IsConnectedByConverterTo(sink.get()));
  ASSERT_NE(sink->FormatConverter(), nullptr);
  EXPECT_NE(dynamic_cast<TOWIntToRealFormatConverter*>(sink->FormatConverter()), nullptr);
  EXPECT_EQ(sink->SourcePin(), source_.get());
  EXPECT_EQ(source_->ConverterCount(), 1u);

  source_->Notify(newOperation<TOWSuppliedIntegerOperation>(42));
  EXPECT_EQ(sink->Value(), 42.0);
  sink->Disconnect();
  EXPECT_EQ(source_->ConverterCount(), 0u);
  EXPECT_EQ(sink->FormatConverter(), nullptr);
}

TEST_F(ConverterTest, TwoSinksShareOneConverterWhichIsFedOnce) {
  auto first = RealSink();
  auto second = RealSink();
  int firstChanges = 0;
  int secondChanges = 0;
  first->OnDataChange = TOWRealChangeEvent([&](TOWPin*, double) { ++firstChanges; });
  second->OnDataChange = TOWRealChangeEvent([&](TOWPin*, double) { ++secondChanges; });
  ASSERT_TRUE(first->Connect(source_.get()));
  ASSERT_TRUE(second->Connect(source_.get()));
  EXPECT_EQ(source_->ConverterCount(), 1u);
  EXPECT_EQ(first->FormatConverter(), second->FormatConverter());
  int converterInputs = 0;
  auto* input = dynamic_cast<TOWIntegerSinkPin*>(first->FormatConverter()->InputPin());
  ASSERT_NE(input, nullptr);
  auto forward = input->OnDataChange;
  input->OnDataChange = TOWIntegerChangeEvent([&, forward](TOWPin* p, std::int32_t v) {
    ++converterInputs;
    forward(p, v);
  });
  firstChanges = secondChanges = 0;
  source_->Notify(newOperation<TOWSuppliedIntegerOperation>(7));
  EXPECT_EQ(converterInputs, 1);
  EXPECT_EQ(firstChanges, 1);
  EXPECT_EQ(secondChanges, 1);
  EXPECT_EQ(second->Value(), 7.0);

  first->Disconnect();
  EXPECT_EQ(source_->ConverterCount(), 1u) << "the other sink still uses it";
  second->Disconnect();
  EXPECT_EQ(source_->ConverterCount(), 0u);
}

TEST_F(ConverterTest, DestroyingTheSourceDestroysItsConverters) {
  auto sink = RealSink();
  ASSERT_TRUE(sink->Connect(source_.get()));
  const std::size_t pins = TOWPinRegistry::Count();
  source_.reset();
  EXPECT_EQ(TOWPinRegistry::Count(), pins - 3) << "the source and the converter's two pins";
  EXPECT_FALSE(sink->IsConnected());
  EXPECT_EQ(sink->FormatConverter(), nullptr);
}

// ---- Registries and operations --------------------------------------------------------------------

TEST(StreamTypeRegistry, NamesTypesAsRegistered) {
  struct Row {
    TGUID id;
    const char* name;
  };
  const Row rows[] = {
      {GUID_NULL, "NIL ID"},
      {IOWStringStream::IID, "Sting"},
      {IOWClockStream::IID, "Clock"},
      {IOWRealRangedStream::IID, "Ranged Real single"},
      {IOWDateTimeRangedStream::IID, "{92419B6E-F281-455A-852F-8253D761E30B}"},
  };
  for (const Row& row : rows) EXPECT_EQ(OWStreamTypeName(row.id), row.name) << row.name;
}

TEST(StreamTypeRegistry, RegisteringAConverterAgainReplacesItsClass) {
  const TGUID in = "{11111111-2222-3333-4444-555555555555}"_guid;
  const TGUID out = "{66666666-7777-8888-9999-AAAAAAAAAAAA}"_guid;
  OWRegisterFormatConverter(in, out, &createFormatConverter<TOWIntToRealFormatConverter>);
  OWRegisterFormatConverter(in, out, &createFormatConverter<TOWIntToFloatFormatConverter>);
  EXPECT_EQ(OWFindFormatConverter(in, out), &createFormatConverter<TOWIntToFloatFormatConverter>);
  EXPECT_EQ(OWFindFormatConverter(out, in), nullptr);
}

TEST(Operations, ConsecutiveOperationsHaveConsecutiveIDs) {
  OperationRef a = newOperation<TOWStartOperation>();
  OperationRef b = newOperation<TOWStopOperation>();
  EXPECT_EQ(b->Instance()->OperationID(), a->Instance()->OperationID() + 1);
}

TEST(Operations, ReceiversTellOperationsApartByClass) {
  OperationRef endStop = newOperation<TOWEndStopOperation>();
  OperationRef supplied = newOperation<TOWSuppliedRealValueRangeOperation>(0.5, 0.0, 1.0);
  EXPECT_TRUE(operationIs<TOWStopOperation>(endStop.get()));
  EXPECT_FALSE(operationIs<TOWStartOperation>(endStop.get()));
  EXPECT_TRUE(operationIs<TOWClockOperation>(supplied.get())) << "a supplied value is also a clock tick";
  EXPECT_TRUE(operationIs<TOWSuppliedRealOperation>(supplied.get()));
  EXPECT_EQ(operationAs<TOWSuppliedRealValueRangeOperation>(supplied.get())->Max, 1.0);
}

}  // namespace
}  // namespace sib::test
