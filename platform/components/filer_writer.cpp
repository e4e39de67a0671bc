// TWriter: saving a root and its components into a stored description.
#include "platform/components/filer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace sib {

namespace {

class StateFlag {
 public:
  StateFlag(TComponent& c, TComponentStateFlag flag) : c_(c), flag_(flag) { c_.SetStateFlag(flag_, true); }
  ~StateFlag() { c_.SetStateFlag(flag_, false); }
  StateFlag(const StateFlag&) = delete;
  StateFlag& operator=(const StateFlag&) = delete;

 private:
  TComponent& c_;
  TComponentStateFlag flag_;
};

// A float of single precision as the shortest digits that give it back, read as a double: the text
// then shows those digits.
TValueNode SingleValue(float AValue) {
  double value = AValue;
  if (std::isfinite(AValue)) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, AValue);
    if (ec == std::errc()) std::from_chars(buffer, end, value);
  }
  return FloatValue(value);
}

}  // namespace

// --- TWriter --------------------------------------------------------------------------------------

void TWriter::Add(TValueNode value) {
  if (!inWriteData_) throw EInvalidOperation("Values can only be written by a DefineProperty writer");
  if (open_.empty()) top_.push_back(std::move(value));
  else open_.back()->Elements.push_back(std::move(value));
}

void TWriter::WriteListBegin() {
  TValueNode list;
  list.Type = vaList;
  Add(std::move(list));
  open_.push_back(open_.empty() ? &top_.back() : &open_.back()->Elements.back());
}

void TWriter::WriteListEnd() {
  if (open_.empty()) throw EInvalidOperation("WriteListEnd without an open list");
  open_.pop_back();
}

void TWriter::WriteIdent(std::string_view Ident) { Add(IdentValue(std::string(Ident))); }
void TWriter::WriteString(std::string_view Value) { Add(StringValue(std::string(Value))); }
void TWriter::WriteInteger(std::int64_t Value) { Add(IntegerValue(Value)); }
void TWriter::WriteFloat(double Value) { Add(FloatValue(Value)); }

void TWriter::WriteSingle(float Value) { Add(SingleValue(Value)); }

void TWriter::WriteBoolean(bool Value) { Add(IdentValue(Value ? "True" : "False")); }

void TWriter::WriteBinary(std::span<const std::uint8_t> Bytes) {
  TValueNode v;
  v.Type = vaBinary;
  v.Bytes.assign(Bytes.begin(), Bytes.end());
  Add(std::move(v));
}

void TWriter::DefineProperty(const std::string& Name, const TReaderProc&, const TWriterProc& WriteData, bool HasData) {
  if (!HasData || !WriteData) return;
  if (!out_ || inWriteData_) throw EInvalidOperation("DefineProperty " + Name + " outside DefineProperties");
  top_.clear();
  open_.clear();
  inWriteData_ = true;
  try {
    WriteData(*this);
  } catch (...) {
    inWriteData_ = false;
    throw;
  }
  inWriteData_ = false;
  if (!open_.empty() || top_.size() != 1)
    throw EInvalidOperation("The writer of " + Name + " must write exactly one complete value");
  out_->push_back({prefix_ + Name, {}, std::move(top_.front())});
  top_.clear();
}

void TWriter::DefineBinaryProperty(const std::string& Name, const TBinaryReadProc&, const TBinaryWriteProc& WriteData,
                                   bool HasData) {
  if (!HasData || !WriteData) return;
  if (!out_ || inWriteData_) throw EInvalidOperation("DefineBinaryProperty " + Name + " outside DefineProperties");
  TValueNode v;
  v.Type = vaBinary;
  v.Bytes = WriteData();
  out_->push_back({prefix_ + Name, {}, std::move(v)});
}

TObjectNode TWriter::WriteComponent(TComponent& component) {
  TObjectNode node;
  node.Name = component.Name();
  node.ClassName = component.ClassName();
  StateFlag writing(component, csWriting);
  WriteProperties(component, "", node.Properties);
  visiting_.push_back(&component);
  component.GetChildren(
      [&](TComponent* child) {
        if (std::find(visiting_.begin(), visiting_.end(), child) == visiting_.end())
          node.Children.push_back(WriteComponent(*child));
      },
      Root());
  visiting_.pop_back();
  return node;
}

void TWriter::WriteProperties(TObject& instance, const std::string& prefix, std::vector<TPropertyNode>& out) {
  if (std::find(visiting_.begin(), visiting_.end(), &instance) != visiting_.end()) return;
  visiting_.push_back(&instance);
  for (const TPropInfo* prop : instance.ClassType().Properties()) WriteProperty(instance, *prop, prefix, out);
  if (auto* persistent = dynamic_cast<TPersistent*>(&instance)) {
    const std::string savedPrefix = std::exchange(prefix_, prefix);
    std::vector<TPropertyNode>* savedOut = std::exchange(out_, &out);
    persistent->DefineProperties(*this);
    prefix_ = savedPrefix;
    out_ = savedOut;
  }
  visiting_.pop_back();
}

bool TWriter::WriteProperty(TObject& instance, const TPropInfo& prop, const std::string& prefix,
                            std::vector<TPropertyNode>& out) {
  if (!prop.IsStored(&instance)) return false;
  const std::string name = prefix + prop.Name();
  const TTypeInfo& type = prop.PropType();
  if (prop.Kind() == tkClass) {
    TObject* object = prop.GetObject(&instance);
    if (auto* component = dynamic_cast<TComponent*>(object)) {
      const std::string reference = prop.IsWritable() ? ReferenceName(*component) : std::string();
      if (reference.empty()) return false;
      out.push_back({name, {}, IdentValue(reference)});
    } else if (auto* collection = dynamic_cast<TCollection*>(object)) {
      out.push_back({name, {}, CollectionValue(*collection)});
    } else if (object) {
      WriteProperties(*object, name + ".", out);
    }
    return true;
  }
  if (!prop.IsWritable() || prop.IsDefaultValue(&instance)) return false;
  TValueNode value;
  switch (prop.Kind()) {
    case tkInteger: {
      const std::int64_t v = prop.GetOrd(&instance);
      const std::string* ident = type.IntToIdent(v);
      value = ident ? IdentValue(*ident) : IntegerValue(v);
      break;
    }
    case tkEnumeration: {
      const std::int64_t v = prop.GetOrd(&instance);
      value = v >= 0 && v < static_cast<std::int64_t>(type.EnumNames.size())
                  ? IdentValue(type.EnumNames[static_cast<std::size_t>(v)])
                  : IntegerValue(v);
      break;
    }
    case tkSet: {
      const auto bits = static_cast<std::uint64_t>(prop.GetOrd(&instance));
      value.Type = vaSet;
      const auto& names = type.ElementType->EnumNames;
      for (std::size_t i = 0; i < names.size() && i < 64; ++i)
        if (bits & (std::uint64_t{1} << i)) value.Elements.push_back(IdentValue(names[i]));
      break;
    }
    case tkFloat: {
      const double v = prop.GetFloat(&instance);
      value = type.FloatType == ftSingle ? SingleValue(static_cast<float>(v)) : FloatValue(v);
      break;
    }
    case tkString:
      value = StringValue(prop.GetString(&instance));
      break;
    case tkMethod: {
      const std::string method = prop.GetMethodName(&instance);
      if (method.empty() || prop.GetMethodData(&instance) != Root()) return false;
      value = IdentValue(method);
      break;
    }
    case tkClass:
      break;
  }
  out.push_back({name, {}, std::move(value)});
  return true;
}

TValueNode TWriter::CollectionValue(TCollection& collection) {
  TValueNode value;
  value.Type = vaCollection;
  for (int i = 0; i < collection.Count(); ++i) {
    TItemNode item;
    WriteProperties(*collection.Items(i), "", item.Properties);
    value.Items.push_back(std::move(item));
  }
  return value;
}

std::string TWriter::ReferenceName(TComponent& component) const {
  TComponent* root = Root();
  if (&component == root) return root->Name();
  if (component.Owner() == root) return component.Name();
  // A component of another root: its dotted path from that root.
  std::string path = component.Name();
  TComponent* c = &component;
  while (c->Owner() && c->GetRootComponent() != c) {
    c = c->Owner();
    if (c->Name().empty()) return {};
    path = c->Name() + "." + path;
  }
  return component.Name().empty() ? std::string() : path;
}

std::string SaveDescription(TComponent& root) {
  TWriter writer(root);
  return FormatDescription(writer.WriteComponent(root));
}

}  // namespace sib
