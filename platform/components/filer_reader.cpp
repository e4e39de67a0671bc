// TReader: loading a stored description into a root, and creating a root from one.
#include "platform/components/filer.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <new>

namespace sib {

namespace {

using class_detail::sameText;

std::vector<std::string_view> splitDots(std::string_view name) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = name.find('.', start);
    parts.push_back(name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
    if (dot == std::string_view::npos) return parts;
    start = dot + 1;
  }
}

std::string describe(TObject& instance) {
  if (auto* c = dynamic_cast<TComponent*>(&instance); c && !c->Name().empty()) return c->Name();
  return instance.ClassName();
}

bool isSpecialFloat(const TValueNode& v, double& value) {
  if (v.Type != vaIdent) return false;
  if (v.Text == "INF") value = std::numeric_limits<double>::infinity();
  else if (v.Text == "NAN") value = std::numeric_limits<double>::quiet_NaN();
  else return false;
  return true;
}

bool ownedBy(TComponent& owner, const TComponent* candidate) {
  for (int i = 0; i < owner.ComponentCount(); ++i)
    if (owner.Components(i) == candidate) return true;
  return false;
}

// Every class a description names must be a registered component class.
void checkClasses(const TObjectNode& node) {
  for (const TObjectNode& child : node.Children) {
    const TClassInfo* cls = GetClass(child.ClassName);
    if (!cls || !cls->InheritsFrom(TComponent::StaticClass()) || !cls->Factory())
      throw EDescriptionError(child.Pos, "Class " + child.ClassName + " not found");
    checkClasses(child);
  }
}

std::string uniqueRootName(const std::string& stored) {
  if (!FindGlobalComponent(stored)) return stored;
  for (int i = 1;; ++i) {
    std::string candidate = stored + "_" + std::to_string(i);
    if (!FindGlobalComponent(candidate)) return candidate;
  }
}

// Runs `f`; any failure that is not yet a description error becomes one at `pos`.
template <class F>
void atPlace(TTextPos pos, const std::string& context, F&& f) {
  try {
    f();
  } catch (const EDescriptionError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    throw EDescriptionError(pos, context + ": " + e.what());
  }
}

}  // namespace

// --- TReader: values ------------------------------------------------------------------------------

TReader::TReader(TComponent& root, std::string storedRootName)
    : TFiler(root), storedRootName_(std::move(storedRootName)) {}

void TReader::BeginValue(const TValueNode& value) {
  frames_.clear();
  frames_.push_back({&value, 1, 0, value.Pos});
}

bool TReader::ValueConsumed() const { return frames_.size() == 1 && frames_[0].index == frames_[0].count; }

TValueType TReader::NextValue() const {
  if (frames_.empty()) return vaNull;
  const Frame& f = frames_.back();
  return f.index < f.count ? f.values[f.index].Type : vaNull;
}

bool TReader::EndOfList() const { return NextValue() == vaNull; }

void TReader::Error(const std::string& message) const {
  TTextPos pos;
  if (!frames_.empty()) {
    const Frame& f = frames_.back();
    pos = f.index < f.count ? f.values[f.index].Pos : f.pos;
  }
  throw EDescriptionError(pos, message);
}

const TValueNode& TReader::Current(TValueType expected) const {
  const TValueType next = NextValue();
  if (next != expected)
    Error(std::string(ValueTypeName(expected)) + " expected, found " + ValueTypeName(next));
  const Frame& f = frames_.back();
  return f.values[f.index];
}

const TValueNode& TReader::Take(TValueType expected) {
  const TValueNode& v = Current(expected);
  ++frames_.back().index;
  return v;
}

void TReader::ReadListBegin() {
  const TValueNode& list = Take(vaList);
  frames_.push_back({list.Elements.data(), list.Elements.size(), 0, list.Pos});
}

void TReader::ReadListEnd() {
  if (frames_.size() < 2) Error("No list is open");
  if (!EndOfList()) Error("End of list expected");
  frames_.pop_back();
}

std::string TReader::ReadIdent() { return Take(vaIdent).Text; }

std::string TReader::ReadString() { return Take(vaString).Text; }

std::int32_t TReader::ReadInteger() {
  const std::int64_t value = Current(vaInteger).Integer;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
    Error("Integer out of range");
  ++frames_.back().index;
  return static_cast<std::int32_t>(value);
}

std::int64_t TReader::ReadInt64() { return Take(vaInteger).Integer; }

double TReader::ReadFloat() {
  const TValueType next = NextValue();
  if (next == vaInteger) return static_cast<double>(Take(vaInteger).Integer);
  if (next == vaIdent) {
    double special = 0;
    if (!isSpecialFloat(Current(vaIdent), special)) Error("float expected, found identifier");
    ++frames_.back().index;
    return special;
  }
  return Take(vaFloat).Float;
}

bool TReader::ReadBoolean() {
  const std::string& text = Current(vaIdent).Text;
  bool value = false;
  if (sameText(text, "True")) value = true;
  else if (!sameText(text, "False")) Error("Boolean expected, found " + text);
  ++frames_.back().index;
  return value;
}

std::vector<std::uint8_t> TReader::ReadBinary() { return Take(vaBinary).Bytes; }

void TReader::SkipValue() {
  if (EndOfList()) Error("value expected, found end of list");
  ++frames_.back().index;
}

void TReader::DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc&, bool) {
  if (propHandled_ || !ReadData || !sameText(Name, propName_)) return;
  propHandled_ = true;
  ReadData(*this);
}

void TReader::DefineBinaryProperty(const std::string& Name, const TBinaryReadProc& ReadData,
                                   const TBinaryWriteProc&, bool) {
  if (propHandled_ || !ReadData || !sameText(Name, propName_)) return;
  propHandled_ = true;
  ReadData(Take(vaBinary).Bytes);
}

// --- TReader: loading -----------------------------------------------------------------------------

void TReader::Load(const TObjectNode& tree) {
  checkClasses(tree);
  TComponent& root = *Root();
  const std::string oldName = root.Name();
  bool registered = false;
  try {
    root.SetStateFlag(csLoading, true);
    root.SetStateFlag(csReading, true);
    loaded_.push_back(&root);
    if (root.Name().empty() && !tree.Name.empty())
      atPlace(tree.Pos, "Error naming the root", [&] { root.SetName(uniqueRootName(tree.Name)); });
    registered = RegisterGlobalRoot(&root);
    ReadBody(root, tree);
    ResolveFixups();
    for (TComponent* c : loaded_) c->SetStateFlag(csReading, false);
    for (std::size_t i = 0; i < loaded_.size(); ++i) loaded_[i]->Loaded();
  } catch (...) {
    Rollback(oldName, registered);
    throw;
  }
}

void TReader::Rollback(const std::string& oldRootName, bool registeredRoot) noexcept {
  TComponent& root = *Root();
  for (std::size_t i = loaded_.size(); i > 1; --i) {
    TComponent* c = loaded_[i - 1];
    if (ownedBy(root, c)) FreeComponent(c);
  }
  loaded_.clear();
  fixups_.clear();
  root.SetStateFlag(csLoading, false);
  root.SetStateFlag(csReading, false);
  try {
    root.SetName(oldRootName);
  } catch (...) {
    // The former name was valid before the load; it can only clash with a component that the
    // load left behind, and all of those are gone.
  }
  if (registeredRoot) UnregisterGlobalRoot(&root);
}

void TReader::ReadBody(TComponent& instance, const TObjectNode& node) {
  for (const TPropertyNode& p : node.Properties) ApplyProperty(instance, p);
  for (const TObjectNode& child : node.Children) ReadChild(instance, child);
}

void TReader::ReadChild(TComponent& parent, const TObjectNode& node) {
  TComponent& root = *Root();
  const TClassInfo& cls = *GetClass(node.ClassName);
  const std::string context = "Error creating " + (node.Name.empty() ? node.ClassName : node.Name);
  TComponentPtr<> created;
  atPlace(node.Pos, context, [&] { created = CreateComponentOfClass(cls, &root); });
  if (created->Owner() != &root)
    throw EDescriptionError(node.Pos, context + ": the class does not take the root as its owner");
  TComponent& c = *created;
  c.SetStateFlag(csLoading, true);
  c.SetStateFlag(csReading, true);
  loaded_.push_back(created.release());  // the root owns it; a failed load destroys it
  atPlace(node.Pos, context, [&] {
    c.AfterConstruction();
    c.SetName(node.Name);
    c.SetParentComponent(&parent);
  });
  ReadBody(c, node);
}

void TReader::ApplyProperty(TObject& instance, const TPropertyNode& property) {
  atPlace(property.Pos, "Error reading " + describe(instance) + "." + property.Name, [&] {
    const std::vector<std::string_view> path = splitDots(property.Name);
    TObject* object = &instance;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
      const TPropInfo* prop = object->ClassType().FindProperty(path[i]);
      if (!prop)
        throw EDescriptionError(property.Pos,
                                "Property " + std::string(path[i]) + " does not exist in " + object->ClassName());
      TObject* sub = prop->Kind() == tkClass ? prop->GetObject(object) : nullptr;
      if (!dynamic_cast<TPersistent*>(sub) || dynamic_cast<TComponent*>(sub))
        throw EDescriptionError(property.Pos, "Property " + std::string(path[i]) + " of " + object->ClassName() +
                                                  " holds no object of its own");
      object = sub;
    }
    const std::string name(path.back());
    if (const TPropInfo* prop = object->ClassType().FindProperty(name)) {
      ApplyValue(*object, *prop, property.Value);
    } else if (auto* persistent = dynamic_cast<TPersistent*>(object)) {
      ReadDefined(*persistent, name, property);
    } else {
      throw EDescriptionError(property.Pos, "Property " + name + " does not exist in " + object->ClassName());
    }
  });
}

void TReader::ReadDefined(TPersistent& instance, const std::string& name, const TPropertyNode& property) {
  propName_ = name;
  propHandled_ = false;
  BeginValue(property.Value);
  instance.DefineProperties(*this);
  const bool handled = propHandled_;
  const bool consumed = ValueConsumed();
  frames_.clear();
  propName_.clear();
  propHandled_ = false;
  if (!handled)
    throw EDescriptionError(property.Pos, "Property " + name + " does not exist in " + instance.ClassName());
  if (!consumed) throw EDescriptionError(property.Pos, "The value of " + property.Name + " was not read to its end");
}

void TReader::ApplyValue(TObject& instance, const TPropInfo& prop, const TValueNode& value) {
  const TTypeInfo& type = prop.PropType();
  auto wrongValue = [&]() {
    throw EDescriptionError(value.Pos, "Invalid value for property " + prop.Name() + " of type " + type.Name + ": " +
                                           ValueTypeName(value.Type));
  };
  switch (prop.Kind()) {
    case tkInteger: {
      std::int64_t v = value.Integer;
      if (value.Type != vaInteger && !(value.Type == vaIdent && type.IdentToInt(value.Text, v))) wrongValue();
      prop.SetOrd(&instance, v);
      break;
    }
    case tkEnumeration: {
      if (value.Type != vaIdent) wrongValue();
      const int v = type.EnumValue(value.Text);
      if (v < 0) throw EDescriptionError(value.Pos, "Invalid value " + value.Text + " for property " + prop.Name());
      prop.SetOrd(&instance, v);
      break;
    }
    case tkSet: {
      if (value.Type != vaSet) wrongValue();
      std::uint64_t bits = 0;
      for (const TValueNode& element : value.Elements) {
        const int v = type.ElementType->EnumValue(element.Text);
        if (v < 0)
          throw EDescriptionError(element.Pos, "Invalid value " + element.Text + " for property " + prop.Name());
        bits |= std::uint64_t{1} << v;
      }
      prop.SetOrd(&instance, static_cast<std::int64_t>(bits));
      break;
    }
    case tkFloat: {
      double v = value.Float;
      if (value.Type == vaInteger) v = static_cast<double>(value.Integer);
      else if (value.Type != vaFloat && !isSpecialFloat(value, v)) wrongValue();
      prop.SetFloat(&instance, v);
      break;
    }
    case tkString:
      if (value.Type != vaString) wrongValue();
      prop.SetString(&instance, value.Text);
      break;
    case tkClass:
      if (value.Type == vaCollection) {
        auto* collection = dynamic_cast<TCollection*>(prop.GetObject(&instance));
        if (!collection) wrongValue();
        ReadCollection(*collection, value);
      } else if (value.Type == vaIdent && sameText(value.Text, "nil")) {
        prop.SetObject(&instance, nullptr);
      } else if (value.Type == vaIdent && type.ClassType->InheritsFrom(TComponent::StaticClass())) {
        if (!prop.IsWritable()) throw EDescriptionError(value.Pos, "Property " + prop.Name() + " is read-only");
        fixups_.push_back({&instance, &prop, value.Text, value.Pos});
      } else {
        wrongValue();
      }
      break;
    case tkMethod: {
      if (value.Type != vaIdent) wrongValue();
      if (sameText(value.Text, "nil")) {
        prop.SetMethod(&instance, nullptr, nullptr);
        break;
      }
      TComponent* root = Root();
      const TMethodInfo* method = root->ClassType().FindMethod(value.Text);
      if (!method)
        throw EDescriptionError(value.Pos, "Method " + value.Text + " not found in " + root->ClassName());
      prop.SetMethod(&instance, method, root);
      break;
    }
  }
}

void TReader::ReadCollection(TCollection& collection, const TValueNode& value) {
  collection.BeginUpdate();
  struct EndUpdate {
    TCollection& c;
    ~EndUpdate() { c.EndUpdate(); }
  } end{collection};
  collection.Clear();
  for (const TItemNode& itemNode : value.Items) {
    TCollectionItem* item = collection.Add();
    for (const TPropertyNode& p : itemNode.Properties) ApplyProperty(*item, p);
  }
}

void TReader::ResolveFixups() {
  for (const Fixup& f : fixups_) {
    TComponent* target = FindReference(f.name);
    if (!target) throw EDescriptionError(f.pos, "Component " + f.name + " not found");
    atPlace(f.pos, "Error reading " + f.prop->Name(), [&] { f.prop->SetObject(f.instance, target); });
  }
  fixups_.clear();
}

TComponent* TReader::FindReference(std::string_view name) const {
  TComponent* root = Root();
  const std::vector<std::string_view> parts = splitDots(name);
  auto isRootName = [&](std::string_view n) {
    return (!root->Name().empty() && sameText(n, root->Name())) || (!storedRootName_.empty() && sameText(n, storedRootName_));
  };
  if (parts.size() == 1) {
    if (TComponent* c = root->FindComponent(name)) return c;
    if (isRootName(name)) return root;
    return FindGlobalComponent(name);
  }
  TComponent* c = isRootName(parts[0]) ? root : FindGlobalComponent(parts[0]);
  for (std::size_t i = 1; c && i < parts.size(); ++i) c = c->FindComponent(parts[i]);
  return c;
}

// --- Entry points ---------------------------------------------------------------------------------

void LoadDescription(std::string_view text, TComponent& root) {
  const TObjectNode tree = ParseDescription(text);
  TReader reader(root, tree.Name);
  reader.Load(tree);
}

TComponentPtr<> CreateFromDescription(std::string_view text) {
  const TObjectNode tree = ParseDescription(text);
  const TClassInfo* cls = GetClass(tree.ClassName);
  if (!cls || !cls->InheritsFrom(TComponent::StaticClass()) || !cls->Factory())
    throw EDescriptionError(tree.Pos, "Class " + tree.ClassName + " not found");
  TComponentPtr<> root;
  atPlace(tree.Pos, "Error creating " + tree.ClassName, [&] {
    root = CreateComponentOfClass(*cls, nullptr);
    root->SetStateFlag(csLoading, true);
    root->AfterConstruction();
  });
  TReader reader(*root, tree.Name);
  reader.Load(tree);
  return root;
}

}  // namespace sib
