// Signal pins: the remembered start and the stop a leaving sink gets, the sample rate of a start as
// real and integer receivers see it, errors downstream of SubmitBuffer, a real source feeding a
// single-value sink, and the converters.
#include "signal/signal_pins.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "signal/block_buffer.h"
#include "signal/integer_buffer.h"
#include "signal/real_buffer.h"

namespace sib {
namespace {

// What a signal pin's owner receives.
struct Log {
  std::vector<IOWNotifyOperation*> ops;  // kept alive by refs
  std::vector<OperationRef> refs;
  std::function<void(IOWNotifyOperation*)> onReceive;
  TSLOperationEvent Event() {
    return [this](TOWBasicPin*, const TGUID*, IOWNotifyOperation* op, TOWNotifyState) {
      refs.emplace_back(op);
      ops.push_back(op);
      if (onReceive) onReceive(op);
      return TOWNotifyResult{};
    };
  }
  template <class T>
  T* At(std::size_t i) {
    return i < ops.size() ? operationAs<T>(ops[i]) : nullptr;
  }
};

RefPtr<ISLData> integers(std::vector<std::int32_t> values) {
  return RefPtr<ISLData>(TSLIntegerBuffer::CreateData(values.data(), static_cast<std::uint32_t>(values.size()))->AsDataIntf());
}

TEST(SignalPins, ASinkConnectedAfterAStartReceivesThatStartFirst) {
  Log log;
  auto source = makePin<TSLOWIntegerSourcePin>(nullptr, nullptr);
  auto sink = makePin<TSLOWIntegerSinkPin>(nullptr, nullptr, log.Event());
  source->Notify(newOperation<TOWStartSampleRateOperation>(1000.0));
  ASSERT_TRUE(sink->Connect(source.get()));
  source->SubmitBuffer(integers({1}).get());
  ASSERT_EQ(log.ops.size(), 2u);
  EXPECT_TRUE(log.At<TOWStartOperation>(0));
  EXPECT_TRUE(log.At<TOWSuppliedBufferOperation>(1));
}

TEST(SignalPins, AfterAStopAConnectingSinkReceivesNothing) {
  Log log;
  auto source = makePin<TSLOWIntegerSourcePin>(nullptr, nullptr);
  auto sink = makePin<TSLOWIntegerSinkPin>(nullptr, nullptr, log.Event());
  source->Notify(newOperation<TOWStartOperation>());
  source->Stop();
  ASSERT_TRUE(sink->Connect(source.get()));
  EXPECT_TRUE(log.ops.empty());
  EXPECT_FALSE(source->StartOperation());
}

TEST(SignalPins, RemovingASinkSendsItOneStop) {
  Log log;
  auto source = makePin<TSLOWIntegerSourcePin>(nullptr, nullptr);
  auto sink = makePin<TSLOWIntegerSinkPin>(nullptr, nullptr, log.Event());
  ASSERT_TRUE(sink->Connect(source.get()));
  sink->Disconnect();
  ASSERT_EQ(log.ops.size(), 1u);
  EXPECT_TRUE(log.At<TOWStopOperation>(0));
}

TEST(SignalPins, StartSampleRateArrivesAsAnEighthAtRealAndAQuarterAtIntegerReceivers) {
  struct Row {
    const char* name;
    double expected;
  };
  Log realLog, integerLog;
  auto realSource = makePin<TSLOWRealSourcePin>(nullptr, nullptr);
  auto realSink = makePin<TSLOWRealSinkPin>(nullptr, nullptr, realLog.Event());
  auto intSource = makePin<TSLOWIntegerSourcePin>(nullptr, nullptr);
  auto intSink = makePin<TSLOWIntegerSinkPin>(nullptr, nullptr, integerLog.Event());
  ASSERT_TRUE(realSink->Connect(realSource.get()));
  ASSERT_TRUE(intSink->Connect(intSource.get()));
  OperationRef start = newOperation<TOWStartSampleRateOperation>(44100.0);
  realSource->Notify(start);
  intSource->Notify(start);
  Log* logs[] = {&realLog, &integerLog};
  const Row rows[] = {{"real", 5512.5}, {"integer", 11025}};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(rows[i].name);
    ASSERT_EQ(logs[i]->ops.size(), 1u);
    auto* received = logs[i]->At<TOWStartSampleRateOperation>(0);
    ASSERT_TRUE(received);
    EXPECT_NE(received, start->Instance());
    EXPECT_DOUBLE_EQ(received->SampleRate, rows[i].expected);
  }
}

TEST(SignalPins, AnErrorInAReceiverMakesSubmitBufferReturnEmptyAndTheSenderGoesOn) {
  Log log;
  int calls = 0;
  log.onReceive = [&](IOWNotifyOperation*) {
    if (++calls == 1) throw std::runtime_error("receiver failed");
  };
  auto source = makePin<TSLOWIntegerSourcePin>(nullptr, nullptr);
  auto sink = makePin<TSLOWIntegerSinkPin>(nullptr, nullptr, log.Event());
  ASSERT_TRUE(sink->Connect(source.get()));
  EXPECT_TRUE(source->SubmitBuffer(integers({1}).get()).Empty());
  source->SubmitBuffer(integers({2}).get());
  EXPECT_EQ(calls, 2);
}

TEST(SignalPins, SubmittedBufferIsANewObjectOnTheSameBlock) {
  Log log;
  auto source = makePin<TSLOWIntegerSourcePin>(nullptr, nullptr);
  auto sink = makePin<TSLOWIntegerSinkPin>(nullptr, nullptr, log.Event());
  ASSERT_TRUE(sink->Connect(source.get()));
  RefPtr<ISLData> sent = integers({7, 8});
  source->SubmitBuffer(sent.get());
  auto* supplied = log.At<TOWSuppliedBufferOperation>(0);
  ASSERT_TRUE(supplied);
  EXPECT_NE(supplied->Buffer.get(), sent.get());
  EXPECT_EQ(TSLGenericBuffer::BufferBehind(supplied->Buffer.get()).DataContainer(),
            TSLGenericBuffer::BufferBehind(sent.get()).DataContainer());
}

TEST(SignalPins, RealSourceWithFloatFeedsASingleValueSinkTheFirstElement) {
  auto source = makePin<TSLOWRealSourcePin>(nullptr, nullptr, TSLOperationEvent(), TNotifyEvent(), true);
  auto sink = makePin<TOWFloatSinkPin>(nullptr, nullptr);
  ASSERT_TRUE(sink->Connect(source.get()));
  const double values[] = {2.5, 7.0};
  source->SubmitBuffer(TSLRealBuffer::CreateData(values, 2)->AsDataIntf());
  EXPECT_FLOAT_EQ(sink->Value(), 2.5f);
}

TEST(SignalConverters, IntegerToRealMakesDoubles) {
  auto converter = MakeComponent<TSLOWIntToRealFormatConverter>();
  std::vector<double> received;
  auto sink = makePin<TSLOWRealSinkPin>(nullptr, nullptr, [&](TOWBasicPin*, const TGUID*, IOWNotifyOperation* op, TOWNotifyState) {
    if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(op)) {
      RefPtr<ISLRealBuffer> real = queryInterface<ISLRealBuffer>(supplied->Buffer.get());
      for (std::uint32_t i = 0; real && i < real->GetSize(); ++i) received.push_back(real->GetItem(i));
    }
    return TOWNotifyResult{};
  });
  ASSERT_TRUE(sink->Connect(converter->OutputPin()));
  OperationRef op = newOperation<TOWSuppliedBufferOperation>(integers({1, -2, 3}).get());
  dynamic_cast<TSLOWSinkPin*>(converter->InputPin())->DispatchData(&IOWSLIntegerStream::IID, op.get(), {});
  EXPECT_EQ(received, (std::vector<double>{1.0, -2.0, 3.0}));
  sink->Disconnect();
}

TEST(SignalConverters, IntegerToBinaryPassesTheSameTwelveBytes) {
  auto converter = MakeComponent<TSLOWIntToBinaryFormatConverter>();
  std::vector<std::uint8_t> received;
  auto sink = makePin<TSLOWDataSinkPin<IOWSLBinaryStream>>(
      nullptr, nullptr, [&](TOWBasicPin*, const TGUID*, IOWNotifyOperation* op, TOWNotifyState) {
        if (auto* supplied = operationAs<TOWSuppliedBufferOperation>(op)) {
          RefPtr<ISLBlockBuffer> bytes = queryInterface<ISLBlockBuffer>(supplied->Buffer.get());
          if (bytes) received.assign(bytes->Read(), bytes->Read() + bytes->GetSize());
        }
        return TOWNotifyResult{};
      });
  ASSERT_TRUE(sink->Connect(converter->OutputPin()));
  RefPtr<ISLData> data = integers({1, -2, 3});
  OperationRef op = newOperation<TOWSuppliedBufferOperation>(data.get());
  dynamic_cast<TSLOWSinkPin*>(converter->InputPin())->DispatchData(&IOWSLIntegerStream::IID, op.get(), {});
  ASSERT_EQ(received.size(), 12u);
  const auto* original = TSLGenericBuffer::BufferBehind(data.get()).ByteRead();
  EXPECT_TRUE(std::equal(received.begin(), received.end(), original));
  sink->Disconnect();
}

TEST(SignalRegistries, StreamEntriesExistInOrderAndKeepTheirSizeWhenRegisteredAgain) {
  SLRegisterSignalStreamTypes();
  const std::vector<TSLOWStreamTypeEntry> entries = SLStreamTypeEntries();
  ASSERT_GE(entries.size(), 5u);
  EXPECT_EQ(entries[0].ID, IOWSLChannelStream::IID);
  EXPECT_EQ(entries[2].ID, IOWSLRealStream::IID);
  EXPECT_EQ(entries[2].ElementSize, 8u);
  SLRegisterStreamTypeEntry(IOWSLRealStream::IID, 99, entries[2].CreateBuffer, entries[2].ReleaseBuffer);
  EXPECT_EQ(SLFindStreamTypeEntry(IOWSLRealStream::IID)->ElementSize, 8u);
  RefPtr<ISLData> buffer = entries[3].CreateBuffer(4);
  EXPECT_EQ(queryInterface<ISLIntegerBuffer>(buffer.get())->GetSize(), 4u);
  EXPECT_EQ(OWStreamTypeName(IOWSLRealStream::IID), "SL real array");
}

}  // namespace
}  // namespace sib
