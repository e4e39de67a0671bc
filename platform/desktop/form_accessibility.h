// TFormAccessibility: a form on the desktop's accessibility bus. It reads what each control of the
// form says of itself (TControl::Accessible) into the bridge's plain tree (atspi_bridge.h) and carries
// out the bridge's requests through the controls themselves (DoAccessibleAction, SetAccessibleValue,
// SelectAccessibleItem, SetFocus), so that their events reach the form's handlers as input would. It
// knows no control by name.
//
// While the bridge serves, the form's listener is this object: a control's news posts one reading of
// the whole tree to the message loop (news that comes while one is waiting joins it). While it does
// not, nothing is read and nothing is posted.
//
// Main thread, but for the bridge's handler. The form may go first: the bridge then answers every
// request with an error until this object dies.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/desktop/atspi_bridge.h"
#include "platform/ui/form.h"
#include "platform/ui/message_window.h"

namespace sib {

class TFormAccessibilityWatch;

class TFormAccessibility : private IAccessibleListener {
 public:
  // `AOptions` as AtspiBridge's; an empty ApplicationName becomes the form's caption.
  TFormAccessibility(TForm& AForm, Application& ALoop, AtspiBridge::Options AOptions = {});
  ~TFormAccessibility() override;
  TFormAccessibility(const TFormAccessibility&) = delete;
  TFormAccessibility& operator=(const TFormAccessibility&) = delete;

  AtspiBridge& Bridge() const { return *FBridge; }

  // The tree as the form says it now (what is published).
  AtspiTree Read();

 private:
  friend class TFormAccessibilityWatch;

  void AccessibleChanged(TControl& Control) override;
  void Listen(bool On);
  void Refresh();
  void Act(const AtspiRequest& Request, const AtspiDone& Done);
  void FormGone();

  std::uint32_t IdOf(const TControl* Control);
  std::uint32_t ItemIdOf(const TControl* Control, int Index);
  void AddNode(AtspiTree& Tree, const TControl& Control, std::uint32_t Parent, double Scale, TPoint Origin);
  // The live control with id `Id`, or nullptr (gone, or never one).
  TControl* ControlOf(std::uint32_t Id) const;

  TForm* FForm;
  MessageWindow FPosts;
  TComponentPtr<TFormAccessibilityWatch> FWatch;
  bool FListening = false;
  bool FRefreshPosted = false;
  std::uint32_t FNextId = 1;
  std::map<const TControl*, std::uint32_t> FIds;
  std::map<std::pair<const TControl*, int>, std::uint32_t> FItemIds;
  std::map<std::uint32_t, std::pair<const TControl*, int>> FItems;  // an item's control and index
  std::unique_ptr<AtspiBridge> FBridge;                             // first to go: its thread posts no more
};

}  // namespace sib
