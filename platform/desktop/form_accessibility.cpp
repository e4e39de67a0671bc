#include "platform/desktop/form_accessibility.h"

#include <cmath>
#include <functional>

#include "platform/ui/win_control.h"

namespace sib {

namespace {

// Calls `Visit` for `Control` and everything inside it, parents first, children in creation order.
void ForEachControl(TControl& Control, const std::function<void(TControl&)>& Visit) {
  Visit(Control);
  if (auto* parent = dynamic_cast<TWinControl*>(&Control))
    for (int i = 0; i < parent->ControlCount(); ++i) ForEachControl(*parent->Controls(i), Visit);
}

TRect OnScreen(const TControl& Control, double Scale, TPoint Origin) {
  const TPoint at = Control.ClientToForm({0, 0});
  const auto scaled = [&](int v) { return static_cast<int>(std::lround(v * Scale)); };
  return TRect::FromSize(Origin.X + scaled(at.X), Origin.Y + scaled(at.Y), scaled(Control.Width()),
                         scaled(Control.Height()));
}

// The role an item takes in its control: a menu's items are commands (with a check mark where they
// have one), every other control's are the rows of a list.
TAccessibleRole ItemRole(TAccessibleRole Owner, const TAccessibleItem& Item) {
  if (Owner != TAccessibleRole::Menu) return TAccessibleRole::ListItem;
  return Item.Checkable ? TAccessibleRole::CheckMenuItem : TAccessibleRole::MenuItem;
}

}  // namespace

// Tells the bridge's owner when the form is destroyed before it.
class TFormAccessibilityWatch : public TComponent {
  SIB_CLASS(TFormAccessibilityWatch, TComponent)
 public:
  explicit TFormAccessibilityWatch(TComponent* AOwner) : TComponent(AOwner) {}

  TFormAccessibility* Owner = nullptr;

  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && Owner && AComponent == Owner->FForm) Owner->FormGone();
  }
};

TFormAccessibility::TFormAccessibility(TForm& AForm, Application& ALoop, AtspiBridge::Options AOptions)
    : FForm(&AForm), FPosts(ALoop, [](Message&) {}), FWatch(MakeComponent<TFormAccessibilityWatch>()) {
  FWatch->Owner = this;
  FWatch->FreeNotification(FForm);
  if (AOptions.ApplicationName.empty()) AOptions.ApplicationName = AForm.Caption();
  // The bridge's thread: whether anyone listens, and the requests, wait their turn on the main thread.
  AOptions.OnListening = [this](bool on) { FPosts.Post([this, on] { Listen(on); }); };
  FBridge = std::make_unique<AtspiBridge>(std::move(AOptions), [this](const AtspiRequest& request, AtspiDone done) {
    FPosts.Post([this, request, done = std::move(done)]() mutable {
      const AtspiDone answer = std::move(done);  // answered as this ends, also when the request raises
      try {
        Act(request, answer);
      } catch (...) {
        answer->Fail();
        throw;
      }
    });
  });
}

TFormAccessibility::~TFormAccessibility() {
  if (FBridge) FBridge->Close();
  FBridge.reset();
  if (!FForm) return;
  if (FForm->AccessibleListener() == this) FForm->SetAccessibleListener(nullptr);
  FWatch->RemoveFreeNotification(FForm);
}

void TFormAccessibility::FormGone() {
  FBridge->Close();
  FBridge->Publish({});
  FForm = nullptr;
  FIds.clear();
  FItemIds.clear();
  FItems.clear();
}

void TFormAccessibility::Listen(bool On) {
  FListening = On;
  if (!FForm) return;
  FForm->SetAccessibleListener(On ? this : nullptr);
  if (On) Refresh();
}

void TFormAccessibility::AccessibleChanged(TControl& /*Control*/) {
  if (!FListening || FRefreshPosted) return;
  FRefreshPosted = FPosts.Post([this] {
    FRefreshPosted = false;
    Refresh();
  });
}

void TFormAccessibility::Refresh() {
  if (FForm && FBridge) FBridge->Publish(Read());
}

AtspiTree TFormAccessibility::Read() {
  AtspiTree tree;
  if (!FForm) return tree;
  const double scale = FForm->Window() ? FForm->Window()->ScaleFactor() : 1.0;
  AddNode(tree, *FForm, 0, scale, FForm->ClientOriginOnScreen());
  // Forget the controls that are gone, so that a new one at the same address gets a new id.
  std::map<const TControl*, std::uint32_t> live;
  ForEachControl(*FForm, [&](TControl& control) { live[&control] = FIds[&control]; });
  FIds = std::move(live);
  for (auto item = FItemIds.begin(); item != FItemIds.end();) {
    if (FIds.count(item->first.first) && tree.Find(item->second)) {
      ++item;
    } else {
      FItems.erase(item->second);
      item = FItemIds.erase(item);
    }
  }
  return tree;
}

void TFormAccessibility::AddNode(AtspiTree& Tree, const TControl& Control, std::uint32_t Parent, double Scale,
                                 TPoint Origin) {
  const TAccessibleDescription d = Control.Accessible();
  AtspiNode node;
  node.Id = IdOf(&Control);
  node.Parent = Parent;
  node.Role = d.Role;
  node.Name = d.Name;
  node.Description = d.Description;
  node.States = d.States;
  node.Range = d.Range;
  node.Actions = d.Actions;
  node.Text = d.Text;
  node.LabelledBy = d.LabelledBy ? IdOf(d.LabelledBy) : 0;
  node.Extents = OnScreen(Control, Scale, Origin);
  node.SelectsChildren = d.Role == TAccessibleRole::ListBox || d.Role == TAccessibleRole::Menu;
  const std::size_t at = Tree.Nodes.size();
  Tree.Nodes.push_back(node);
  std::vector<std::uint32_t> children;
  // Items: one row each, the height of the control divided among them (they have no place of their own).
  for (std::size_t i = 0; i < d.Items.size(); ++i) {
    AtspiNode item;
    item.Id = ItemIdOf(&Control, static_cast<int>(i));
    item.Parent = node.Id;
    item.Role = ItemRole(d.Role, d.Items[i]);
    item.Name = d.Items[i].Name;
    item.States = d.States * TAccessibleStates{asEnabled, asVisible, asShowing};
    item.States.Include(asSelectable);
    if (d.Items[i].Selected) item.States.Include(asSelected);
    if (d.Items[i].Checkable) item.States.Include(asCheckable);
    if (d.Items[i].Checked) item.States.Include(asChecked);
    item.Extents = node.Extents;
    children.push_back(item.Id);
    Tree.Nodes.push_back(std::move(item));
  }
  if (const auto* parent = dynamic_cast<const TWinControl*>(&Control))
    for (int i = 0; i < parent->ControlCount(); ++i) {
      children.push_back(IdOf(parent->Controls(i)));
      AddNode(Tree, *parent->Controls(i), node.Id, Scale, Origin);
    }
  Tree.Nodes[at].Children = std::move(children);
}

std::uint32_t TFormAccessibility::IdOf(const TControl* Control) {
  std::uint32_t& id = FIds[Control];
  if (id == 0) id = FNextId++;
  return id;
}

std::uint32_t TFormAccessibility::ItemIdOf(const TControl* Control, int Index) {
  std::uint32_t& id = FItemIds[{Control, Index}];
  if (id == 0) {
    id = FNextId++;
    FItems[id] = {Control, Index};
  }
  return id;
}

TControl* TFormAccessibility::ControlOf(std::uint32_t Id) const {
  TControl* found = nullptr;
  if (!FForm || Id == 0) return nullptr;
  ForEachControl(*FForm, [&](TControl& control) {
    const auto known = FIds.find(&control);
    if (known != FIds.end() && known->second == Id) found = &control;
  });
  return found;
}

void TFormAccessibility::Act(const AtspiRequest& Request, const AtspiDone& Done) {
  // An item's requests are its list's: choosing it. The list's own come as they are.
  AtspiRequest request = Request;
  if (const auto item = FItems.find(Request.Node); item != FItems.end()) {
    request.Node = FIds.count(item->second.first) ? FIds.at(item->second.first) : 0;
    request.Kind = AtspiRequestKind::SelectItem;
    request.Argument = item->second.second;
  }
  TControl* control = ControlOf(request.Node);
  bool done = false;
  if (control) {
    switch (request.Kind) {
      case AtspiRequestKind::Action:
        done = control->DoAccessibleAction(request.Argument);
        break;
      case AtspiRequestKind::SetValue:
        done = control->SetAccessibleValue(request.Value);
        break;
      case AtspiRequestKind::SelectItem:
        done = control->SelectAccessibleItem(request.Argument);
        break;
      case AtspiRequestKind::GrabFocus:
        if (auto* windowed = dynamic_cast<TWinControl*>(control); windowed && windowed->CanFocus()) {
          windowed->SetFocus();
          done = true;
        }
        break;
    }
  }
  if (!done) Done->Fail();
  // What the request changed is published before the caller hears that it took effect.
  Refresh();
}

}  // namespace sib
