// "_Floats": ordinary streaming leaves out floats equal to 0, so a property whose constructor sets
// another value would come back wrong after loading. This stored value lists the published
// floating-point properties (not dates or times) that are 0, as (name value) pairs, and restores them.
#include <vector>

#include "framework/lp_component.h"
#include "platform/components/filer.h"

namespace sib {
namespace {

std::vector<const TPropInfo*> ZeroFloats(TObject& Instance) {
  std::vector<const TPropInfo*> zeros;
  for (const TPropInfo* prop : Instance.ClassType().Properties()) {
    if (prop->Kind() != tkFloat || prop->PropType().IsDateTimeType()) continue;
    if (prop->GetFloat(&Instance) == 0) zeros.push_back(prop);
  }
  return zeros;
}

void WriteFloats(TWriter& Writer, TObject& Instance) {
  Writer.WriteListBegin();
  for (const TPropInfo* prop : ZeroFloats(Instance)) {
    Writer.WriteListBegin();
    Writer.WriteIdent(prop->Name());
    Writer.WriteFloat(prop->GetFloat(&Instance));
    Writer.WriteListEnd();
  }
  Writer.WriteListEnd();
}

void ReadFloats(TReader& Reader, TObject& Instance) {
  Reader.ReadListBegin();
  while (!Reader.EndOfList()) {
    Reader.ReadListBegin();
    const std::string name = Reader.ReadIdent();
    const double value = Reader.ReadFloat();
    Reader.ReadListEnd();
    const TPropInfo* prop = Instance.ClassType().FindProperty(name);
    if (!prop) continue;  // a property that this version no longer has
    try {
      prop->SetFloat(&Instance, value);
    } catch (const std::exception&) {
      // A property of another kind now, or a setter that refuses 0: the object keeps its value.
    }
  }
  Reader.ReadListEnd();
}

}  // namespace

void DefineFloatsProperty(TFiler& Filer, TObject* Instance) {
  Filer.DefineProperty(
      "_Floats", [Instance](TReader& Reader) { ReadFloats(Reader, *Instance); },
      [Instance](TWriter& Writer) { WriteFloats(Writer, *Instance); }, !ZeroFloats(*Instance).empty());
}

}  // namespace sib
