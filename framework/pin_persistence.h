// Pin persistence: the names of pins, the lookup of pins by name, placeholders for pins that stored
// links name before they exist (TOWUnloadedPin), and the readers and writers of a pin's stored values.
//
// A pin's values are stored under its property name: "Form" (the root's name), "State" (its hub),
// "SinkPins" (a source's sinks), "SourcePin" and "StateConverter" (a sink's source or hub converter).
// Links name the other pin by its full dotted name. When the other pin does not exist yet, a
// placeholder bearing its name takes the link; the real pin takes over the placeholder's links when
// it reads its own values. Names read from storage that begin with the stored root's name are read
// as names on the current root, so a window stored as `Form1` and loaded under another name finds
// its own pins.
//
// Placeholders live in one process-wide list, which owns them; taking one out destroys it. Loading and
// saving run on the main thread.
#pragma once

#include <string>
#include <vector>

#include "framework/pin.h"

namespace sib {

class TOWUnloadedPin : public TOWBasicPin {
  SIB_CLASS(TOWUnloadedPin, TOWBasicPin)
 public:
  // Creates the placeholder and puts it into the placeholder list, which owns it.
  static TOWUnloadedPin* Create(TComponent* ARoot, TOWPinType AType, const std::string& APinIdentName,
                                const std::string& APinDisplayName, const std::string& ACreatedFrom);
  ~TOWUnloadedPin() override;

  // Hands every link over to APin, then leaves the placeholder list and is destroyed.
  void PopulatePinAndDestroy(TOWBasicPin* APin);

  const std::string& CreatedFrom() const { return FCreatedFrom; }
  // The links made to the placeholder: the other pin as RealPin, its after-pin as NotifyAfterPin.
  TOWPinEntryList Records();

  TOWPinType GetPinType() const override { return FType; }
  bool ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  void AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin) override;
  void RemoveConnection(TOWBasicPin* APin, bool AKeep) override;
  // Without links left (and no editor showing it) the placeholder destroys itself.
  void ConnectionRemoved() override;
  void SetInEditor(bool AValue) override;
  void Disconnect() override;
  void DisconnectFrom(TOWBasicPin* AOtherPin) override;
  void PinRemoved(TOWBasicPin* APin) override;
  void PinReplaced(TOWBasicPin* AOldPin, TOWBasicPin* ANewPin) override;
  bool IsConnected() override;
  bool IsConnectedTo(TOWBasicPin* AOtherPin) override;
  TOWBasicPin* GetNotifyAfterPin(TOWBasicPin* APin) override;
  bool TestConnection(TOWBasicPin*, bool) override { return true; }
  bool IsCompatible(TOWBasicPin*, bool) override { return true; }
  bool DependsOn(TOWBasicPin*) override { return false; }
  bool IsDesigning() const override { return true; }
  TOWConnectionType FindTypeTo(TOWBasicPin*, bool) override { return {}; }
  TOWNotifyResult NotifyState(TOWBasicPin*, IOWNotifyOperation*, TOWNotifyState) override { return {}; }
  std::string GetFullName(bool IncludeRootForm) override;
  std::string GetFullIdentName(bool IncludeRootForm) override;
  std::string GetName() override;
  std::size_t GetConnectedPinCount() override;
  TOWBasicPin* GetConnectedPin(std::size_t Index) override;

 private:
  TOWUnloadedPin(TOWPinType AType, std::string AIdentName, std::string ADisplayName, std::string ACreatedFrom);

  std::string FDisplayName;
  std::string FIdentName;
  TOWPinType FType;
  TOWPinEntryList FConnectedPins;
  std::string FCreatedFrom;
  bool FInRemove = false;
};

// Lookups over a list of pins, under the registry lock; the first match or nullptr.
TOWBasicPin* OWGetByIdentName(const std::vector<TOWBasicPin*>& AList, TComponent* ARoot, const std::string& APinName);
TOWBasicPin* OWGetByDisplayName(const std::vector<TOWBasicPin*>& AList, TComponent* ARoot, const std::string& APinName);
// The pin of the registry with that name, or a new placeholder; none for an empty name.
TOWBasicPin* OWGetByNameCreate(TComponent* ARoot, TOWPinType AType, const std::string& APinIdentName,
                               const std::string& APinDisplayName, const std::string& ACreatedFrom);

// The placeholders waiting for their pins, in creation order.
std::vector<TOWUnloadedPin*> OWPlaceholders();
// Destroys every placeholder still waiting (at shutdown, and between tests).
void OWFreePlaceholders();

// Lets APin take over the links of every placeholder that bears its name.
void OWResolvePlaceholders(TOWPin* APin);
// A design-time pin whose partner's component goes away keeps a placeholder of the partner (named as
// the partner is), optionally linked to ASelf at once.
TOWBasicPin* OWKeepPlaceholderFor(TOWBasicPin* ASelf, TOWBasicPin* APartner, TOWPinType AType, bool AConnect = true);

// The hub part of a "State" or "StateConverter" value: the hub's name, the member list being read and
// ignored.
std::string OWReadHubPart(TReader& Reader);

}  // namespace sib
