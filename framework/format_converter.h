// TOWFormatConverter: a component between a source and a sink whose stream types differ, and the
// search of the converter registry for one.
#pragma once

#include "framework/sink_pin.h"
#include "framework/source_pin.h"

namespace sib {

// The most recently registered converter from one of AOffered's types (the most preferred first) to a
// type ASink supports; not found when there is none.
TOWConnectionType OWFindRegisteredConverter(const TOWPinStreamType& AOffered, TOWBasicPin* ASink);

// Converts between two stream types. It creates its input and output pins (owned by it, with it as
// their owner and no owner lock) and records the input as a function source of the output. A source
// creates the converters it needs and destroys each when no sink is left on its output.
class TOWFormatConverter : public TOWConverterBase {
  SIB_CLASS(TOWFormatConverter, TComponent)
 public:
  explicit TOWFormatConverter(TComponent* AOwner = nullptr);
  // Destroys the pins while the converter is whole.
  void BeforeDestruction() override;
  TOWSinkPin* InputPin() const { return FInputPin.get(); }
  TOWSourcePin* OutputPin() const { return FOutputPin.get(); }
  // The pair of types the converter was created for (from the converter registry).
  void SetConversion(const TGUID& AInputID, const TGUID& AOutputID) {
    FInputID = AInputID;
    FOutputID = AOutputID;
  }
  const TGUID& InputID() const { return FInputID; }
  const TGUID& OutputID() const { return FOutputID; }

 protected:
  // Called once by the derived class's constructor.
  void SetPins(TOWPinRef<TOWSinkPin> AInputPin, TOWPinRef<TOWSourcePin> AOutputPin);

 private:
  TOWPinRef<TOWSinkPin> FInputPin;
  TOWPinRef<TOWSourcePin> FOutputPin;
  TGUID FInputID{};
  TGUID FOutputID{};
};

}  // namespace sib
