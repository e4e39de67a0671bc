// State hubs: a hub (TOWStateDispatcher) is joined by any number of pins, and an operation sent by one
// member reaches every other member. TOWStatePin is a pin that connects only through a hub.
//
// Hubs are named (the root's name, "Link" and a number unless created by name) and kept in two global
// lists, one for pins being designed and one for running pins, under the pin registry's lock. A hub
// takes its own lock for membership changes and releases it before calling members; a member's
// removal waits until deliveries through the hub in progress have ended. A hub left with one member
// lets it go, and a hub without members destroys itself.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/pin.h"

namespace sib {

struct TOWDispatcherPinStorage {
  TOWBasicPin* DConnectionPin = nullptr;  // the pin that receives: the member itself or a converter's input
  TOWBasicPin* RealPin = nullptr;
  TOWBasicPin* AfterPin = nullptr;
};

class TOWStateDispatcher : public TOWPinObject {
  SIB_CLASS(TOWStateDispatcher, TOWPinObject)
 public:
  ~TOWStateDispatcher() override;

  // A new hub named after AOwnerForm ("<root>Link<n>").
  static TOWStateDispatcher* Create(TComponent* AOwnerForm, bool ADesignTime);
  static TOWStateDispatcher* CreateNamed(const std::string& AName, bool ADesignTime);
  static TOWStateDispatcher* GetByName(const std::string& AName, bool ADesignTime);
  // The hub of that name, or a new one made by APin's CreateNamedDispatcher.
  static TOWStateDispatcher* GetByNameCreate(TOWBasicPin* APin, const std::string& AName, bool ADesignTime);
  static std::string GetUniqueName(TComponent* AOwnerForm, bool ADesignTime);
  static bool IsUniqueName(const std::string& AName, bool ADesignTime);
  // The number of hubs that exist, for tests and diagnostics.
  static std::size_t Count();

  // The state connection between two pins: joins them through the hub one of them is in, or a new one.
  static bool ConnectPins(TOWBasicPin* APin, TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin);
  // The connection type from AFrom to ATo as a hub uses it: AFrom's types from the most preferred; else,
  // when converters may be used and ATo is a sink, a converter of the hub and then a registered one.
  static TOWConnectionType FindTypeBetween(TOWBasicPin* AFrom, TOWBasicPin* ATo, bool AUseConverters,
                                           const TOWStateDispatcher* AHub = nullptr);

  const std::string& Name() const { return FName; }
  bool DesignTime() const { return FDesignTime; }
  bool AddPin(TOWBasicPin* AConnectionPin, TOWBasicPin* ARealPin) { return AddPinAfter(AConnectionPin, ARealPin, nullptr); }
  bool AddPinAfter(TOWBasicPin* AConnectionPin, TOWBasicPin* ARealPin, TOWBasicPin* ANotifyAfterPin);
  // Takes ownership of a converter whose input stands for a member.
  void AddConverter(TComponentPtr<TOWFormatConverter> AConverter);
  // APin leaves. May destroy the hub (when it has no members left): do not use it afterwards.
  void RemovePin(TOWBasicPin* APin);
  bool IsConnectedTo(TOWBasicPin* APin);
  bool IsConnectedToAfter(TOWBasicPin* APin, TOWBasicPin* ANotifyAfterPin);
  void DisconnectAll();
  bool CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin, bool AUseConverters);
  bool CanJoin(TOWBasicPin* APin);
  // Its members belong to more than one root.
  bool IsCrosForm();
  bool ConnectedToForm(TComponent* AOwnerComponent);
  std::size_t PinCount();
  std::vector<TOWDispatcherPinStorage> Members();

  // Hands Operation from ASender to every other member (or to ATarget only), in hub order.
  void Deliver(TOWBasicPin* ASender, TOWBasicPin* ATarget, IOWNotifyOperation* Operation, TOWNotifyState AState);
  // Brings a member that just joined up to date with the hub's state.
  void Resynchronise(TOWBasicPin* APin);
  // A use of the hub for one delivery; empty while a member is leaving.
  DestroyLockSection Use() { return FDestroyLock->Lock(); }

  // Storage: the hub part of a pin's "State" or "StateConverter" value.
  void WriteHubPart(TWriter& Writer, TOWBasicPin* APin);

  void PinRemoved(TOWBasicPin* APin) override;
  void PinReplaced(TOWBasicPin* AOldPin, TOWBasicPin* ANewPin) override;

 private:
  TOWStateDispatcher(std::string AName, bool ADesignTime);
  static std::vector<std::unique_ptr<TOWStateDispatcher>>& List(bool ADesignTime);
  // Removes the hub from its list and frees it once it has no members.
  void FreeIfEmpty();

  std::string FName;
  bool FDesignTime;
  std::vector<TOWDispatcherPinStorage> FPins;
  std::vector<TComponentPtr<TOWFormatConverter>> FFormatConverters;
  std::vector<TComponent*> FSavedForms;
  std::int32_t FCountSaved = 0;
  RefPtr<IOWDestroyLock> FDestroyLock;
};

// A pin that connects only through a state hub.
class TOWStatePin : public TOWPin {
  SIB_CLASS(TOWStatePin, TOWPin)
 public:
  TOWStatePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr);
  ~TOWStatePin() override;

  TOWPinType GetPinType() const override { return ptState; }
  bool TestConnection(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool IsCompatible(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool DependsOn(TOWBasicPin*) override { return false; }
  bool ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  void Disconnect() override;
  void DisconnectFrom(TOWBasicPin* AOtherPin) override;
  bool IsConnected() override { return IsStateConnected(); }
  bool IsConnectedTo(TOWBasicPin* AOtherPin) override { return IsConnectedByStateTo(AOtherPin); }
  // Delivers to the other members of the hub.
  TOWNotifyResult Notify(IOWNotifyOperation* Operation) override;
  using TOWBasicPin::Notify;
  std::size_t PinCount();
  // Connects to the compatible pin named ASinkName ("<component>.<path>", optionally with the root's
  // name in front) among the components of ARoot's root, or of the own root. An empty name disconnects.
  bool TryLinkTo(TComponent* ARoot, const std::string& ASinkName);
};

}  // namespace sib
