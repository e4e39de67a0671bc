// Small components and pins for the pin tests: a test stream type, a source and a sink pin that record
// what they receive, and three components that stand for the program's player, amplifier and audio
// output, on a form-like root.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "framework/lp_component.h"
#include "framework/pin.h"
#include "framework/pin_persistence.h"
#include "framework/value_pins.h"
#include "platform/components/filer.h"

namespace sib::test {

// The stream type of the test pins.
class IOWTestStream : public IOWDataStream {
 public:
  static constexpr TGUID IID = "{6A1F0C52-3B7E-4D0A-9C61-2F8E5D4B7A10}"_guid;
  using Parent = IOWDataStream;
};

// A stream type no test pin supports.
inline constexpr TGUID IID_OWOtherTestStream = "{0B3C5E7F-1A2D-4F60-8E9B-C7D6A5B4C3E2}"_guid;

struct Delivery {
  std::uint32_t OperationID;
  TOWNotifyState State;
};

// What a pin received, safe to read from the test's thread.
class Recorder {
 public:
  using Handler = std::function<TOWNotifyResult(IOWNotifyOperation*, TOWNotifyState)>;

  TOWNotifyResult Receive(IOWNotifyOperation* Operation, TOWNotifyState State) {
    Handler handler;
    {
      std::lock_guard guard(mutex_);
      deliveries_.push_back({Operation->Instance()->OperationID(), State});
      handler = handler_;
    }
    return handler ? handler(Operation, State) : TOWNotifyResult{};
  }
  void OnReceive(Handler handler) {
    std::lock_guard guard(mutex_);
    handler_ = std::move(handler);
  }
  std::vector<Delivery> Deliveries() {
    std::lock_guard guard(mutex_);
    return deliveries_;
  }
  std::size_t Count() {
    std::lock_guard guard(mutex_);
    return deliveries_.size();
  }
  void Clear() {
    std::lock_guard guard(mutex_);
    deliveries_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<Delivery> deliveries_;
  Handler handler_;
};

// Offers the test type downstream and receives what its sinks send back.
class TTestSourcePin : public TOWPinStreams<TOWSourcePin, IOWTestStream> {
 public:
  explicit TTestSourcePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr, TGUID AType = IOWTestStream::IID)
      : TOWPinStreams(AOwner, AOwnerLock) {
    AddStreamType(AType, OWStreamSubmit());
  }
  TOWNotifyResult DispatchData(const TGUID*, IOWNotifyOperation* Operation, TOWNotifyState State) override {
    return Upstream.Receive(Operation, State);
  }
  Recorder Upstream;
};

// Receives the test type; with `talksUpstream` it also declares the type, so that it can notify its
// source.
class TTestSinkPin : public TOWPinStreams<TOWSinkPin, IOWTestStream> {
 public:
  explicit TTestSinkPin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr, bool talksUpstream = true)
      : TOWPinStreams(AOwner, AOwnerLock) {
    if (talksUpstream) AddStreamType(IOWTestStream::IID, OWStreamSubmit());
  }
  TOWNotifyResult DispatchData(const TGUID*, IOWNotifyOperation* Operation, TOWNotifyState State) override {
    return Received.Receive(Operation, State);
  }
  Recorder Received;
};

// A component holds its pins through TOWPinRef and destroys them in BeforeDestruction, under its stop
// lock, while it is whole: deliveries into it that are still running on other threads then pass its
// lock, and the pins wait for them.
class TTestComponentBase : public TLPComponent {
  SIB_CLASS(TTestComponentBase, TLPComponent)
 public:
  using TLPComponent::TLPComponent;
  void BeforeDestruction() override {
    {
      LockSection stop = FLock->StopLock();
      DestroyPins();
    }
    TLPComponent::BeforeDestruction();
  }

 protected:
  virtual void DestroyPins() = 0;
};

// Stands for the wave player: one output pin.
class TTestPlayer : public TTestComponentBase {
  SIB_CLASS(TTestPlayer, TTestComponentBase)
 public:
  explicit TTestPlayer(TComponent* AOwner)
      : TTestComponentBase(AOwner), FOutputPin(makePin<TTestSourcePin>(this, FLock.get())) {}
  TTestSourcePin* OutputPin() const { return FOutputPin.get(); }
  static TPropertyList PublishedProperties() { return {prop("OutputPin", &TTestPlayer::OutputPin)}; }

 protected:
  void DestroyPins() override { FOutputPin.reset(); }
  TOWPinRef<TTestSourcePin> FOutputPin;
};

// Stands for the amplifier: what arrives at the input leaves through the output.
class TTestAmplifier : public TTestComponentBase {
  SIB_CLASS(TTestAmplifier, TTestComponentBase)
 public:
  explicit TTestAmplifier(TComponent* AOwner)
      : TTestComponentBase(AOwner),
        FInputPin(makePin<TTestSinkPin>(this, FLock.get())),
        FOutputPin(makePin<TTestSourcePin>(this, FLock.get())) {
    FOutputPin->FunctionSources().Add(FInputPin.get());
    FInputPin->Received.OnReceive([this](IOWNotifyOperation* op, TOWNotifyState) {
      TOWSourcePin* output = FOutputPin.get();
      return output ? output->Notify(op) : TOWNotifyResult{};
    });
  }
  TTestSinkPin* InputPin() const { return FInputPin.get(); }
  TTestSourcePin* OutputPin() const { return FOutputPin.get(); }
  static TPropertyList PublishedProperties() {
    return {prop("InputPin", &TTestAmplifier::InputPin), prop("OutputPin", &TTestAmplifier::OutputPin)};
  }

 protected:
  // The input goes first: once it is gone, nothing delivered through it can reach the output.
  void DestroyPins() override {
    FInputPin.reset();
    FOutputPin.reset();
  }
  TOWPinRef<TTestSinkPin> FInputPin;
  TOWPinRef<TTestSourcePin> FOutputPin;
};

// Stands for the audio output: one input pin.
class TTestOutput : public TTestComponentBase {
  SIB_CLASS(TTestOutput, TTestComponentBase)
 public:
  explicit TTestOutput(TComponent* AOwner)
      : TTestComponentBase(AOwner), FInputPin(makePin<TTestSinkPin>(this, FLock.get())) {}
  TTestSinkPin* InputPin() const { return FInputPin.get(); }
  static TPropertyList PublishedProperties() { return {prop("InputPin", &TTestOutput::InputPin)}; }

 protected:
  void DestroyPins() override { FInputPin.reset(); }
  TOWPinRef<TTestSinkPin> FInputPin;
};

// A form-like root: the root of the components it owns.
class TPinTestForm : public TComponent {
  SIB_CLASS(TPinTestForm, TComponent)
 public:
  using TComponent::TComponent;
  bool IsRootClass() const override { return true; }
};

inline void registerPinTestClasses() { RegisterClasses<TPinTestForm, TTestPlayer, TTestAmplifier, TTestOutput>(); }

// A root named Form1 for the test's components; afterwards no pin, placeholder or hub is left.
class PinFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    registerPinTestClasses();
    baselinePins_ = TOWPinRegistry::Count();
    form_ = MakeComponent<TPinTestForm>();
    form_->SetName("Form1");
  }
  void TearDown() override {
    form_.reset();
    OWFreePlaceholders();
    EXPECT_EQ(TOWPinRegistry::Count(), baselinePins_) << "a pin outlived its component";
    EXPECT_EQ(TOWStateDispatcher::Count(), 0u);
  }

  template <class T>
  T* Make(const std::string& name) {
    T* component = NewComponent<T>(*form_);
    component->SetName(name);
    return component;
  }

  std::size_t baselinePins_ = 0;
  TComponentPtr<TPinTestForm> form_;
};

}  // namespace sib::test
