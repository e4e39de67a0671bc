#include "framework/format_converter.h"

#include <vector>

namespace sib {

TOWConnectionType OWFindRegisteredConverter(const TOWPinStreamType& AOffered, TOWBasicPin* ASink) {
  const std::vector<TOWTypeConverterEntry> registered = OWFormatConverters();
  for (auto entry = registered.rbegin(); entry != registered.rend(); ++entry) {
    for (std::size_t i = AOffered.Count(); i-- > 0;) {
      if (entry->InputID == AOffered.GetID(i) && ASink->SupportsType(entry->OutputID)) {
        TOWConnectionType result;
        result.ID = entry->InputID;
        result.ConverterClass = entry->ConverterClass;
        result.ConverterOutputID = entry->OutputID;
        return result;
      }
    }
  }
  return {};
}

TOWFormatConverter::TOWFormatConverter(TComponent* AOwner) : TOWConverterBase(AOwner) {}

void TOWFormatConverter::BeforeDestruction() {
  FOutputPin.reset();
  FInputPin.reset();
  TOWConverterBase::BeforeDestruction();
}

void TOWFormatConverter::SetPins(TOWPinRef<TOWSinkPin> AInputPin, TOWPinRef<TOWSourcePin> AOutputPin) {
  FInputPin = std::move(AInputPin);
  FOutputPin = std::move(AOutputPin);
  FOutputPin->FunctionSources().Add(FInputPin.get());
}

}  // namespace sib
