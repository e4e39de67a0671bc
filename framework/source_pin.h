// TOWSourcePin: a pin that delivers to any number of sinks, in an order its receivers can change,
// through converters where the types need them; and the list of sinks it is computed from
// (TOWSinkPinList, TOWFunctionSinkPinList), which keeps sends from looping back.
#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

#include "framework/basic_pin.h"

namespace sib {

// The sinks a source names as its function sources: what leaves the source is computed from what
// arrives at them. Adding or removing a sink keeps the sink's dependant list in step.
class TOWSinkPinList {
 public:
  explicit TOWSinkPinList(TOWSourcePin* AOwner) : FOwner(AOwner) {}
  virtual ~TOWSinkPinList() = default;
  void Add(TOWBasicSinkPin* APin);
  void Remove(TOWBasicSinkPin* APin);
  std::size_t Count() const;
  TOWBasicSinkPin* operator[](std::size_t Index) const;
  bool Contains(const TOWBasicPin* APin) const;
  std::vector<TOWBasicSinkPin*> Snapshot() const;

 protected:
  virtual void Added(TOWBasicSinkPin*) {}
  virtual void Removed(TOWBasicSinkPin*) {}
  std::vector<TOWBasicSinkPin*> FList;
  TOWSourcePin* FOwner;
};

class TOWFunctionSinkPinList : public TOWSinkPinList {
 public:
  using TOWSinkPinList::TOWSinkPinList;

 protected:
  void Added(TOWBasicSinkPin* APin) override;
  void Removed(TOWBasicSinkPin* APin) override;
};

class TOWSourcePin : public TOWStreamPin {
  SIB_CLASS(TOWSourcePin, TOWStreamPin)
 public:
  TOWSourcePin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr);
  ~TOWSourcePin() override;

  TOWPinType GetPinType() const override { return ptSource; }
  std::size_t SinkCount();
  // The connected pin of connection Index.
  TOWBasicPin* GetSink(std::size_t Index);
  std::size_t ConverterCount();
  TOWFunctionSinkPinList& FunctionSources() { return FFunctionSources; }

  bool CanSupply(TOWBasicPin* ASink, bool AUseConverters);
  bool IsCompatible(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool TestConnection(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin, bool AUseConverters) override;
  bool ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  virtual bool LinkSink(TOWBasicPin* APin, TOWBasicPin* ANotifyAfterPin);
  void AddConnection(TOWBasicPin* APin, TOWBasicPin* AAfterPin) override;
  void RemoveConnection(TOWBasicPin* APin, bool AKeep) override;
  void Disconnect() override;
  void DisconnectFrom(TOWBasicPin* AOtherPin) override;
  bool DependsOn(TOWBasicPin* AOtherPin) override;
  bool DirectDependsOn(TOWBasicPin* AOtherPin) override;
  TOWBasicPin* GetNotifyAfterPin(TOWBasicPin* APin) override;
  TGUID GetConnectionID(TOWBasicPin* AOtherPin) override;
  TGUID GetPrimaryConnectionID() override;
  bool IsConnected() override;
  bool IsConnectedTo(TOWBasicPin* AOtherPin) override;
  bool IsConnectedToAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  bool IsConnectedByConverterTo(TOWBasicPin* AOtherPin) override;
  std::size_t GetConnectedPinCount() override;
  TOWBasicPin* GetConnectedPin(std::size_t Index) override;
  TOWBasicPin* GetConnectedAfterPin(std::size_t Index) override;
  void PinRemoved(TOWBasicPin* APin) override;
  void PinReplaced(TOWBasicPin* AOldPin, TOWBasicPin* ANewPin) override;

  // Delivers to every sink; answers [] (the sinks' answers only reorder the connections).
  TOWNotifyResult Notify(IOWNotifyOperation* Operation) override;
  using TOWBasicPin::Notify;
  // Delivers to the connections of APin only, or to every sink when APin is null.
  TOWNotifyResult SendToSinks(TOWBasicPin* APin, IOWNotifyOperation* Operation);
  virtual void SendNewLink(TOWBasicPin* ASink, TOWBasicPin* AConnectionPin, TOWSubmit ASubmitFunction);
  virtual void SendNewLinkTo(TOWBasicPin* ASink);

  // Storage.
  bool HasSinks();
  bool HasLinkData() override;
  void ReadLinks(TReader& Reader) override;
  virtual void WriteSinkPins(TWriter& Writer);

  // Where the first connection type between this source and ASink would come from.
  TOWConnectionType FindConnectionType(TOWBasicPin* ASink, bool AUseConverters, bool ACreateNew);
  // A copy of the connection entries, for tests and diagnostics.
  TOWPinEntryList Entries();

 protected:
  // After a send whose receivers changed the data (or while levels are still raised): lowers the
  // levels, sorts by level and keeps every entry behind its after-pin. Write section held.
  void ReorderSinks();
  // Moves each entry behind its after-pin where it stands earlier. Write section held.
  void PlaceAfterPinsLocked();
  void RemoveEntryLocked(TOWBasicPin* APin);
  void RemoveAllEntriesLocked(TOWBasicPin* APin);
  void RemoveConverterConnectionsLocked(TOWBasicPin* APin);
  // Tells a sink that this source lets it go; skipped for a pin that no longer exists.
  void DetachSinkQuietly(TOWBasicPin* ASink, bool AKeep);
  bool DirectTypeExists(TOWSourcePin* ASource, TOWBasicPin* ASink);

  TOWPinEntryList FSinkPins;
  std::vector<TComponentPtr<TOWFormatConverter>> FFormatConverters;
  TOWFunctionSinkPinList FFunctionSources;
  bool FInDependOn = false;
  std::atomic<bool> FInDisconnect{false};
  // Some connection's ModificationLevel is above 0, so the next send reorders.
  std::atomic<bool> FLevelsRaised{false};
};

// Raises the framework's error for a send that loops back to its own source.
[[noreturn]] void OWRaiseDependsOnItself();

}  // namespace sib
