#include "framework/component.h"

namespace sib {

// Stored once the description writer and reader are in place.
void DefineFloatsProperty(TFiler&, TObject*) {}

}  // namespace sib
