// Pins and their connections, in one include: the trunk of the pin class tree (framework/basic_pin.h),
// sources (framework/source_pin.h), sinks (framework/sink_pin.h), format converters
// (framework/format_converter.h) and the process-wide pin registry (framework/pin_registry.h).
//
// Components talk to each other only through pins. A source pin is connected to any number of sinks, a
// sink to at most one source; every connection is made by the sink. An operation is delivered
// synchronously on the caller's thread: a source hands it to each of its sinks in turn, a sink hands
// one back to its source. While the receiving side runs, the delivering thread holds neither the pin's
// lock nor its owner component's lock, so receivers may call back into the sender.
//
// Lifetime: a component owns its pins and destroys them through TOWPinRef (framework/basic_pin.h), which runs the
// destroy protocol while the pin is still whole: it waits for deliveries through the pin, leaves every
// connection and has every other pin forget it. The owner should hold its stop lock while it destroys
// its pins, so that deliveries into the component in progress on other threads pass its lock.
//
// How a component uses pins:
//
//   class TALAmplifier : public TLPComponent {
//     SIB_CLASS(TALAmplifier, TLPComponent)
//    public:
//     explicit TALAmplifier(TComponent* AOwner)
//         : TLPComponent(AOwner),
//           FInputPin(makePin<TMySinkPin>(this, FLock.get())),      // the owner lock is the component's
//           FOutputPin(makePin<TMySourcePin>(this, FLock.get())) {
//       FOutputPin->FunctionSources().Add(FInputPin.get());       // output computed from input: no loops
//     }
//     TMySinkPin* InputPin() const { return FInputPin.get(); }
//     static TPropertyList PublishedProperties() {                 // published: names and stored links
//       return {prop("InputPin", &TALAmplifier::InputPin), prop("OutputPin", &TALAmplifier::OutputPin)};
//     }
//     void BeforeDestruction() override {
//       { LockSection stop = FLock->StopLock(); FInputPin.reset(); FOutputPin.reset(); }  // inputs first
//       TLPComponent::BeforeDestruction();
//     }
//    private:
//     TOWPinRef<TMySinkPin> FInputPin;
//     TOWPinRef<TMySourcePin> FOutputPin;
//   };
//
// A source pin class declares the types it offers, most preferred last, with AddStreamType(ID, submit);
// OWStreamSubmit() hands the operation to the receiving pin's stream interface for that type. A sink
// pin class implements the stream interfaces it accepts (TOWPinStreams<TOWSinkPin, IMyStream>) and
// overrides DispatchData; it declares types itself only to talk upstream. Sending is
// `FOutputPin->Notify(newOperation<TOWStartOperation>())` downstream or `FInputPin->Notify(op)`
// upstream; the pin gives up the component's lock during the call, so call it with or without the
// lock held. A new operation class derives from TOWNotifyOperation (or a subclass) and carries public
// fields; receivers test it with operationAs<T>(op). Stored links come for free: the pins define their
// extra values ("Form", "SinkPins", "SourcePin", ...) in DefineProperties under their property name.
#pragma once

#include "framework/basic_pin.h"
#include "framework/format_converter.h"
#include "framework/pin_registry.h"
#include "framework/sink_pin.h"
#include "framework/source_pin.h"
