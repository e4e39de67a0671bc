// Signal stream pins: the stream identities of the signal components and their registries, the
// common send function of the signal streams, the generic signal source and sink pins
// (TSLOWSourcePin, TSLOWSinkPin) with their typed variants, the notifications that belong to signal
// streams (pause, resume, supplied buffer, start with a sample rate) and the format converters
// between the signal types.
//
// A signal pin hands everything it receives from the other side of its connections to its owner
// through one callback (TSLOperationEvent), on the sender's thread. A source pin remembers the last
// start it sent, replays it to a sink that joins later and tells a sink that leaves that the stream
// stopped. The audio pins (audio/audio_pins.h) build on these.
//
// The types and converters are registered by SLRegisterSignalStreamTypes, which every signal pin's
// constructor makes sure has run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "framework/pin.h"
#include "framework/value_pins.h"
#include "signal/data_interfaces.h"

namespace sib {

// ---- Stream identities ------------------------------------------------------------------------------

#define SIB_SL_STREAM(Name, ParentIntf, Guid) \
  class Name : public ParentIntf {            \
   public:                                    \
    static constexpr TGUID IID = Guid##_guid; \
    using Parent = ParentIntf;                \
  };

SIB_SL_STREAM(IOWSLGenericStream, IOWDataStream, "{20ACBC6D-DA0D-4359-8C78-CE0067D009A0}")
SIB_SL_STREAM(IOWSLChannelStream, IOWSLGenericStream, "{DB6DD866-611D-4DC4-B46F-459CF8F02ECD}")
SIB_SL_STREAM(IOWSLBinaryStream, IOWSLChannelStream, "{BD807B57-05AE-44E0-A99F-3D9BAD83395E}")
SIB_SL_STREAM(IOWSLRealStream, IOWSLChannelStream, "{58041272-EF20-4696-87E6-9EE46ABFBD89}")
SIB_SL_STREAM(IOWSLIntegerStream, IOWSLChannelStream, "{473B965F-AB43-4493-B9E3-BEE9CF0803D4}")
SIB_SL_STREAM(IOWSLComplexStream, IOWSLChannelStream, "{BD797143-D7C6-4033-B686-9ABA658346CF}")
SIB_SL_STREAM(IOWSLStringStream, IOWSLChannelStream, "{939000AB-3C12-4A1D-89B5-33DA284E4929}")
SIB_SL_STREAM(IOWSLRealMatrixStream, IOWSLChannelStream, "{3A3BA3E1-0184-41DA-AA08-5412DD5F2B83}")
// Any signal: the type every signal source and sink offers. A pin that answers for it answers for the
// generic signal stream too, so that the generic dispatch reaches it.
SIB_SL_STREAM(IOWSLUniversalStream, IOWSLGenericStream, "{949B7FD0-421F-4F1B-B8D2-87969D3E66E0}")

#undef SIB_SL_STREAM

// Identities registered by name only.
inline constexpr TGUID IID_OWSLPairedBuffersStream = "{F4D70F89-B478-4D08-990F-AD03759D0E31}"_guid;
inline constexpr TGUID IID_OWUserControlStream = "{9E7972F6-919B-491D-A094-18722B974429}"_guid;

// ---- Notifications ----------------------------------------------------------------------------------

class TOWSLPauseOperation : public TOWNotifyOperation {};
class TOWSLResumeOperation : public TOWNotifyOperation {};

// A data buffer on its way downstream. The buffer object that travels is never the sender's own: the
// constructor stores a new buffer object on the same block, so every receiver of one send sees that
// object, and a write through it first copies a shared block.
class TOWSuppliedBufferOperation : public TOWSuppliedOperation {
 public:
  explicit TOWSuppliedBufferOperation(ISLData* ABuffer) : Buffer(ABuffer ? ABuffer->MakeCopy() : RefPtr<ISLData>()) {}
  RefPtr<ISLData> Buffer;
};

// A start that names the stream's sample rate; the base's Rate holds the same value as a Single.
class TOWStartSampleRateOperation : public TOWStartRateOperation {
 public:
  explicit TOWStartSampleRateOperation(double ASampleRate)
      : TOWStartRateOperation(static_cast<float>(ASampleRate)), SampleRate(ASampleRate) {}
  double SampleRate;
};

// ---- Registries -------------------------------------------------------------------------------------

// Registers the signal stream names, their send function, the stream entries and the converters of
// this unit. Runs once; every signal pin's constructor calls it, so it has run before a pin exists.
void SLRegisterSignalStreamTypes();

// The common send function of the signal streams (registered for the channel, binary, real, integer,
// complex, string, paired-buffers and real-matrix streams, and by the audio unit for the audio
// stream). A start with a sample rate sent to a receiver of real data arrives as a plain one with an
// eighth of the rate, to a receiver of integer data with a quarter; everything else reaches the
// receiver's generic signal stream unchanged. Nothing is sent for a new link.
TOWNotifyResult SLSendSignal(TOWBasicPin* Sender, IOWStream* Handler, const TGUID* DataTypeID,
                             IOWNotifyOperation* Operation, TOWNotifyState State);

// What the second registry knows about a stream that carries buffers of fixed-size elements.
using TSLCreateBufferFunc = RefPtr<ISLData> (*)(std::uint32_t AElementCount);
using TSLReleaseBufferFunc = void (*)(RefPtr<ISLData>& ABuffer);
struct TSLOWStreamTypeEntry {
  TGUID ID;
  std::uint32_t ElementSize = 0;
  TSLCreateBufferFunc CreateBuffer = nullptr;
  TSLReleaseBufferFunc ReleaseBuffer = nullptr;
};

// Registering an identity again replaces its two functions and keeps its element size.
void SLRegisterStreamTypeEntry(const TGUID& ID, std::uint32_t AElementSize, TSLCreateBufferFunc ACreate,
                               TSLReleaseBufferFunc ARelease);
std::optional<TSLOWStreamTypeEntry> SLFindStreamTypeEntry(const TGUID& ID);
// A snapshot in registration order.
std::vector<TSLOWStreamTypeEntry> SLStreamTypeEntries();

// ---- Pins -------------------------------------------------------------------------------------------

// How a signal pin hands what it receives to its owner. Runs on the sender's thread without the pin's
// lock.
using TSLOperationEvent = std::function<TOWNotifyResult(TOWBasicPin* Sender, const TGUID* DataTypeID,
                                                        IOWNotifyOperation* Operation, TOWNotifyState State)>;

// Generic data dispatch of a source pin: nothing for a new link; otherwise the connection type's
// registered send function when it has one (the common send function above for the signal types),
// else the receiver's generic signal stream, failing that its data stream.
TOWNotifyResult SLDispatchToSink(TOWBasicPin* Sender, IOWStream* Handler, const TGUID* DataTypeID,
                                 IOWNotifyOperation* Operation, TOWNotifyState State);

class TSLOWSourcePin : public TOWPinStreams<TOWSourcePin, IOWClockStream, IOWSLUniversalStream> {
 public:
  TSLOWSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent = {},
                 TNotifyEvent AOnConnect = {});

  // What the sinks send back reaches the owner's operation event.
  TOWNotifyResult DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) override;
  // Sends to every sink, then remembers a start and forgets it on a stop.
  TOWNotifyResult Notify(IOWNotifyOperation* Operation) override;
  using TOWBasicPin::Notify;
  void BCBNotify(IOWNotifyOperation* Operation) { Notify(Operation); }
  // Sends ABuffer (as a new buffer object on the same block) to every sink. Never raises: an error
  // downstream is dropped and the result is then empty.
  TOWNotifyResult SubmitBuffer(ISLData* ABuffer);
  void Stop();
  void EndStop();

  // A sink that joins first receives the remembered start, then the connect event runs.
  void AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin) override;
  // A sink that leaves is sent one stop first.
  void RemoveConnection(TOWBasicPin* APin, bool AKeep) override;

  // The last start sent, or none.
  OperationRef StartOperation();

 protected:
  TOWNotifyResult DataDispatch(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                               TOWNotifyState State) {
    return SLDispatchToSink(this, Handler, DataTypeID, Operation, State);
  }
  TOWSubmit DataSubmit() { return TOWSubmit::Bind<&TSLOWSourcePin::DataDispatch>(this); }
  // Sends AOperation to the connections of APin alone, with the pin's own lock given up.
  void SendTo(TOWBasicPin* APin, const OperationRef& AOperation);
  // Sends a stop to the connection of APin alone, also while a destroy lock holds off other sends.
  void SendStopWhileLeaving(TOWBasicPin* APin);

  OperationRef FStartOperation;
  TNotifyEvent FOnConnect;
  TSLOperationEvent FOperationEvent;

 private:
  TOWNotifyResult ClockDispatch(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                TOWNotifyState State);
};

class TSLOWSinkPin : public TOWPinStreams<TOWSinkPin, IOWSLUniversalStream> {
 public:
  TSLOWSinkPin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent = {});

  // What the source sends reaches the owner's operation event.
  TOWNotifyResult DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) override;
  void BCBNotify(IOWNotifyOperation* Operation) { Notify(Operation); }
  // Sends a master-pump request naming ASender upstream.
  TOWNotifyResult MasterPump(const void* ASender);

 protected:
  // The data dispatch on the way upstream: the source's generic signal stream.
  TOWNotifyResult SinkDataDispatch(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                   TOWNotifyState State);
  TOWSubmit DataSubmit() { return TOWSubmit::Bind<&TSLOWSinkPin::SinkDataDispatch>(this); }

  TSLOperationEvent FOperationEvent;
};

// A signal pin class that answers for the further stream interfaces Streams; receipt still goes to the
// owner's operation event.
template <class Base, class... Streams>
class TSLOWTypedPin : public TOWPinStreams<Base, Streams...> {
 public:
  using TOWPinStreams<Base, Streams...>::TOWPinStreams;
  TOWNotifyResult DispatchData(const TGUID* DataTypeID, IOWNotifyOperation* Operation, TOWNotifyState State) override {
    return Base::DispatchData(DataTypeID, Operation, State);
  }
};

// A source pin that declares stream Stream after its base's types, served by the generic data
// dispatch.
template <class Stream>
class TSLOWDataSourcePin : public TSLOWTypedPin<TSLOWSourcePin, Stream> {
 public:
  TSLOWDataSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent = {},
                     TNotifyEvent AOnConnect = {})
      : TSLOWTypedPin<TSLOWSourcePin, Stream>(AOwner, AOwnerLock, std::move(AOperationEvent), std::move(AOnConnect)) {
    this->AddStreamType(Stream::IID, this->DataSubmit());
  }
};

template <class Stream>
class TSLOWDataSinkPin : public TSLOWTypedPin<TSLOWSinkPin, Stream> {
 public:
  TSLOWDataSinkPin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent = {})
      : TSLOWTypedPin<TSLOWSinkPin, Stream>(AOwner, AOwnerLock, std::move(AOperationEvent)) {
    this->AddStreamType(Stream::IID, this->DataSubmit());
  }
};

class TSLOWBinarySourcePin : public TSLOWDataSourcePin<IOWSLBinaryStream> {
 public:
  using TSLOWDataSourcePin::TSLOWDataSourcePin;
};
class TSLOWIntegerSourcePin : public TSLOWDataSourcePin<IOWSLIntegerStream> {
 public:
  using TSLOWDataSourcePin::TSLOWDataSourcePin;
};
class TSLOWRealMatrixSourcePin : public TSLOWDataSourcePin<IOWSLRealMatrixStream> {
 public:
  using TSLOWDataSourcePin::TSLOWDataSourcePin;
};
class TSLOWIntegerSinkPin : public TSLOWDataSinkPin<IOWSLIntegerStream> {
 public:
  using TSLOWDataSinkPin::TSLOWDataSinkPin;
};
class TSLOWRealSinkPin : public TSLOWDataSinkPin<IOWSLRealStream> {
 public:
  using TSLOWDataSinkPin::TSLOWDataSinkPin;
};
class TSLOWComplexSinkPin : public TSLOWDataSinkPin<IOWSLComplexStream> {
 public:
  using TSLOWDataSinkPin::TSLOWDataSinkPin;
};

// With AUseFloat it also feeds single-value sinks: each real buffer as its first element.
class TSLOWRealSourcePin : public TSLOWTypedPin<TSLOWSourcePin, IOWSLRealStream> {
 public:
  TSLOWRealSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent = {},
                     TNotifyEvent AOnConnect = {}, bool AUseFloat = false);
  virtual TOWNotifyResult NotificationSingle(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                             TOWNotifyState State);

 private:
  TOWNotifyResult NotificationSingleThunk(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                          TOWNotifyState State) {
    return NotificationSingle(Handler, DataTypeID, Operation, State);
  }
};

// Also feeds plain string sinks, which get the supplied string notifications unchanged.
class TSLOWStringSourcePin : public TSLOWTypedPin<TSLOWSourcePin, IOWSLStringStream> {
 public:
  TSLOWStringSourcePin(TComponent* AOwner, IOWLock* AOwnerLock, TSLOperationEvent AOperationEvent = {},
                       TNotifyEvent AOnConnect = {});
  virtual TOWNotifyResult NotificationString(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                             TOWNotifyState State);

 private:
  TOWNotifyResult NotificationStringThunk(IOWStream* Handler, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                          TOWNotifyState State) {
    return NotificationString(Handler, DataTypeID, Operation, State);
  }
};

// ---- Converters -------------------------------------------------------------------------------------

// A converter whose input pin hands every notification to Convert and whose output pin passes what
// comes back from downstream on upstream. Pins are made without an owner lock.
class TSLOWFormatConverter : public TOWFormatConverter {
  SIB_CLASS(TSLOWFormatConverter, TOWFormatConverter)
 public:
  using TOWFormatConverter::TOWFormatConverter;

 protected:
  // A supplied buffer becomes ConvertBuffer's result, sent in a new supplied-buffer notification;
  // every other notification passes unchanged. Returns the output pin's result.
  TOWNotifyResult InputOperation(TOWBasicPin* Sender, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                 TOWNotifyState State);
  TOWNotifyResult OutputOperation(TOWBasicPin* Sender, const TGUID* DataTypeID, IOWNotifyOperation* Operation,
                                  TOWNotifyState State);
  virtual RefPtr<ISLData> ConvertBuffer(ISLData* ABuffer) = 0;
  TSLOperationEvent InputEvent();
  TSLOperationEvent OutputEvent();
};

// Builds and installs both pins of a converter.
template <class In, class Out>
class TSLOWPinConverter : public TSLOWFormatConverter {
 public:
  explicit TSLOWPinConverter(TComponent* AOwner = nullptr) : TSLOWFormatConverter(AOwner) {
    auto input = makePin<In>(this, nullptr, InputEvent());
    auto output = makeOutput();
    SetPins(std::move(input), std::move(output));
  }

 private:
  TOWPinRef<Out> makeOutput() {
    if constexpr (std::is_same_v<Out, TSLOWRealSourcePin>) return makePin<Out>(this, nullptr, OutputEvent(), TNotifyEvent(), true);
    else return makePin<Out>(this, nullptr, OutputEvent());
  }
};

class TSLOWIntToBinaryFormatConverter
    : public TSLOWPinConverter<TSLOWIntegerSinkPin, TSLOWBinarySourcePin> {
  SIB_CLASS(TSLOWIntToBinaryFormatConverter, TSLOWFormatConverter)
 public:
  using TSLOWPinConverter::TSLOWPinConverter;

 protected:
  RefPtr<ISLData> ConvertBuffer(ISLData* ABuffer) override;
};
class TSLOWRealToBinaryFormatConverter
    : public TSLOWPinConverter<TSLOWRealSinkPin, TSLOWBinarySourcePin> {
  SIB_CLASS(TSLOWRealToBinaryFormatConverter, TSLOWFormatConverter)
 public:
  using TSLOWPinConverter::TSLOWPinConverter;

 protected:
  RefPtr<ISLData> ConvertBuffer(ISLData* ABuffer) override;
};
class TSLOWComplexToBinaryFormatConverter
    : public TSLOWPinConverter<TSLOWComplexSinkPin, TSLOWBinarySourcePin> {
  SIB_CLASS(TSLOWComplexToBinaryFormatConverter, TSLOWFormatConverter)
 public:
  using TSLOWPinConverter::TSLOWPinConverter;

 protected:
  RefPtr<ISLData> ConvertBuffer(ISLData* ABuffer) override;
};
class TSLOWIntToRealFormatConverter
    : public TSLOWPinConverter<TSLOWIntegerSinkPin, TSLOWRealSourcePin> {
  SIB_CLASS(TSLOWIntToRealFormatConverter, TSLOWFormatConverter)
 public:
  using TSLOWPinConverter::TSLOWPinConverter;

 protected:
  RefPtr<ISLData> ConvertBuffer(ISLData* ABuffer) override;
};
class TSLOWRealToRealMatrixFormatConverter
    : public TSLOWPinConverter<TSLOWRealSinkPin, TSLOWRealMatrixSourcePin> {
  SIB_CLASS(TSLOWRealToRealMatrixFormatConverter, TSLOWFormatConverter)
 public:
  using TSLOWPinConverter::TSLOWPinConverter;

 protected:
  RefPtr<ISLData> ConvertBuffer(ISLData* ABuffer) override;
};

// Value-to-string converters: each value received on the value sink leaves the string source as a
// supplied string.
template <class InPin, class V>
class TSLOWValueToStringFormatConverter : public TOWFormatConverter {
 public:
  explicit TSLOWValueToStringFormatConverter(TComponent* AOwner = nullptr) : TOWFormatConverter(AOwner) {
    auto output = makePin<TSLOWStringSourcePin>(this, nullptr);
    FOut = output.get();
    auto input = makePin<InPin>(this, nullptr, TEvent<TOWPin*, V>([this](TOWPin*, V AValue) { Send(AValue); }));
    SetPins(std::move(input), std::move(output));
  }

 protected:
  virtual std::string Text(V AValue) = 0;

 private:
  void Send(V AValue) { FOut->Notify(newOperation<TOWSuppliedStringOperation>(Text(AValue))); }
  TSLOWStringSourcePin* FOut;
};

class TSLOWTimeToStringFormatConverter : public TSLOWValueToStringFormatConverter<TOWDateTimeSinkPin, TDateTime> {
  SIB_CLASS(TSLOWTimeToStringFormatConverter, TOWFormatConverter)
 public:
  using TSLOWValueToStringFormatConverter::TSLOWValueToStringFormatConverter;

 protected:
  // "yyyy-mm-dd hh:nn:ss".
  std::string Text(TDateTime AValue) override;
};
class TSLOWIntegerToStringFormatConverter
    : public TSLOWValueToStringFormatConverter<TOWIntegerSinkPin, std::int32_t> {
  SIB_CLASS(TSLOWIntegerToStringFormatConverter, TOWFormatConverter)
 public:
  using TSLOWValueToStringFormatConverter::TSLOWValueToStringFormatConverter;

 protected:
  std::string Text(std::int32_t AValue) override;
};
class TSLOWRealToStringFormatConverter : public TSLOWValueToStringFormatConverter<TOWRealSinkPin, double> {
  SIB_CLASS(TSLOWRealToStringFormatConverter, TOWFormatConverter)
 public:
  using TSLOWValueToStringFormatConverter::TSLOWValueToStringFormatConverter;

 protected:
  // The general float format: up to 15 significant digits.
  std::string Text(double AValue) override;
};

}  // namespace sib
