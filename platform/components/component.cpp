#include "platform/components/component.h"

#include <algorithm>
#include <mutex>

#include "platform/components/filer.h"
#include "platform/core/format.h"

namespace sib {

namespace {

void eraseOne(std::vector<TComponent*>& list, TComponent* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}

}  // namespace

// --- TPersistent ----------------------------------------------------------------------------------

void TPersistent::Assign(TPersistent* Source) {
  if (Source) Source->AssignTo(this);
  else AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) {
  if (Dest) Dest->AssignError(this);
  throw EConvertError("Cannot assign a " + ClassName() + " to a nil");
}

void TPersistent::AssignError(TPersistent* Source) {
  const std::string sourceName = Source ? Source->ClassName() : std::string("nil");
  throw EConvertError(formatText("Cannot assign a %s to a %s", {sourceName, ClassName()}));
}

void TPersistent::DefineProperties(TFiler&) {}

// --- TComponent -----------------------------------------------------------------------------------

TPropertyList TComponent::PublishedProperties() {
  return {
      prop("Name", &TComponent::Name, &TComponent::SetName).stored(false),
      prop("Tag", &TComponent::tag_).defaultValue(0),
  };
}

void TComponent::DefineProperties(TFiler& Filer) {
  TPersistent::DefineProperties(Filer);
  const bool placed = designInfo_.Left != 0 || designInfo_.Top != 0;
  Filer.DefineProperty(
      "Left", [this](TReader& Reader) { designInfo_.Left = Reader.ReadInteger(); },
      [this](TWriter& Writer) { Writer.WriteInteger(designInfo_.Left); }, placed);
  Filer.DefineProperty(
      "Top", [this](TReader& Reader) { designInfo_.Top = Reader.ReadInteger(); },
      [this](TWriter& Writer) { Writer.WriteInteger(designInfo_.Top); }, placed);
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  RemoveFreeNotifications();
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
  if (globalRoot_) UnregisterGlobalRoot(this);
}

void TComponent::SetName(const std::string& NewName) {
  if (NewName == name_) return;
  if (!NewName.empty() && !IsValidIdent(NewName))
    throw EComponentError(formatText("'%s' is not a valid component name", {NewName}));
  if (owner_) owner_->ValidateRename(this, name_, NewName);
  SetReference(false);
  const std::string old = std::exchange(name_, NewName);
  try {
    SetReference(true);
  } catch (...) {
    name_ = old;
    SetReference(true);
    throw;
  }
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  SetStateFlag(csDesigning, Value);
  if (SetChildren)
    for (TComponent* c : components_) c->SetDesigning(Value, true);
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw ERangeError(formatText("List index out of bounds (%d)", {Index}));
  return components_[static_cast<std::size_t>(Index)];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto it = std::find(owner_->components_.begin(), owner_->components_.end(), this);
  return static_cast<int>(it - owner_->components_.begin());
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : components_)
    if (class_detail::sameText(c->name_, AName)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent) throw EInvalidOperation("Cannot insert a nil component");
  if (AComponent->owner_) throw EComponentError("Component " + AComponent->name_ + " already has an owner");
  for (const TComponent* c = this; c; c = c->owner_)
    if (c == AComponent) throw EComponentError("A component cannot own itself or its owners");
  ValidateRename(AComponent, std::string(), AComponent->name_);
  components_.push_back(AComponent);
  AComponent->owner_ = this;
  try {
    AComponent->SetReference(true);
  } catch (...) {
    components_.pop_back();
    AComponent->owner_ = nullptr;
    throw;
  }
  if (state_.Contains(csDesigning)) AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->owner_ != this) return;
  Notification(AComponent, opRemove);
  AComponent->SetReference(false);
  eraseOne(components_, AComponent);
  AComponent->owner_ = nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent) != freeNotifies_.end()) return;
  freeNotifies_.push_back(AComponent);
  AComponent->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  eraseOne(freeNotifies_, AComponent);
  eraseOne(AComponent->freeNotifies_, this);
}

void TComponent::BeforeDestruction() {
  if (!state_.Contains(csDestroying)) Destroying();
}

void TComponent::Loaded() { SetStateFlag(csLoading, false); }

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // An owned component may go while the news travels; walk down and re-check the bound each step.
  for (std::size_t i = components_.size(); i > 0;) {
    --i;
    if (i >= components_.size()) {
      if (components_.empty()) break;
      i = components_.size() - 1;
    }
    components_[i]->Notification(AComponent, Operation);
  }
}

void TComponent::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) {
  if (!Root) return;
  for (TComponent* c : Root->components_) {
    TComponent* parent = c->GetParentComponent();
    if (parent == this || (this == Root && parent == nullptr)) Proc(c);
  }
}

TComponent* TComponent::GetRootComponent() {
  TComponent* c = this;
  while (c->owner_ && !c->IsRootClass() && !c->owner_->HoldsRoots()) c = c->owner_;
  return c;
}

void TComponent::SetStateFlag(TComponentStateFlag Flag, bool On) {
  if (On) state_.Include(Flag);
  else state_.Exclude(Flag);
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::SetReference(bool Enable) {
  if (!owner_ || name_.empty()) return;
  if (const TFieldInfo* f = owner_->ClassType().FindField(name_)) f->Set(owner_, Enable ? this : nullptr);
}

void TComponent::DestroyComponents() {
  // Runs in the destructor: the owner's own fields are gone, so only the base notification runs,
  // which still tells the remaining owned components that one of them is leaving.
  while (!components_.empty()) {
    TComponent* c = components_.back();
    Notification(c, opRemove);
    eraseOne(components_, c);
    c->owner_ = nullptr;
    TComponentDeleter{}(c);
  }
}

void TComponent::RemoveFreeNotifications() {
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    eraseOne(other->freeNotifies_, this);
    other->Notification(this, opRemove);
  }
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName) const {
  if (NewName.empty() || (AComponent && class_detail::sameText(CurName, NewName))) return;
  TComponent* existing = FindComponent(NewName);
  if (existing && existing != AComponent)
    throw EComponentError(formatText("A component named %s already exists", {NewName}));
}

// --- Creation and destruction ---------------------------------------------------------------------

void TComponentDeleter::operator()(TComponent* component) const noexcept {
  if (!component) return;
  component->BeforeDestruction();
  delete component;
}

void FreeComponent(TComponent* component) { TComponentDeleter{}(component); }

TComponentPtr<> CreateComponentOfClass(const TClassInfo& componentClass, TComponent* owner) {
  if (!componentClass.InheritsFrom(TComponent::StaticClass()) || !componentClass.Factory())
    throw EInvalidOperation("Class " + componentClass.ClassName() + " cannot create components");
  TObject* created = componentClass.Factory()(owner);
  return TComponentPtr<>(static_cast<TComponent*>(created));
}

// --- Global roots ---------------------------------------------------------------------------------

namespace {

struct GlobalRoots {
  std::mutex mutex;
  std::vector<TComponent*> roots;
};

GlobalRoots& globalRoots() {
  static GlobalRoots g;
  return g;
}

}  // namespace

bool RegisterGlobalRoot(TComponent* root) {
  if (!root || root->globalRoot_) return false;
  GlobalRoots& g = globalRoots();
  std::lock_guard lock(g.mutex);
  g.roots.push_back(root);
  root->globalRoot_ = true;
  return true;
}

void UnregisterGlobalRoot(TComponent* root) {
  if (!root || !root->globalRoot_) return;
  GlobalRoots& g = globalRoots();
  std::lock_guard lock(g.mutex);
  eraseOne(g.roots, root);
  root->globalRoot_ = false;
}

TComponent* FindGlobalComponent(std::string_view name) {
  if (name.empty()) return nullptr;
  GlobalRoots& g = globalRoots();
  std::lock_guard lock(g.mutex);
  for (TComponent* root : g.roots)
    if (class_detail::sameText(root->Name(), name)) return root;
  return nullptr;
}

bool IsValidIdent(std::string_view name) {
  if (name.empty()) return false;
  auto isAlpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!isAlpha(name.front())) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) { return isAlpha(c) || (c >= '0' && c <= '9'); });
}

}  // namespace sib
