// TOWBasicSinkPin and TOWSinkPin: a pin connected to at most one source, which makes the connection,
// chooses the type it talks upstream in and hands operations back to its source.
#pragma once

#include <string>
#include <vector>

#include "framework/basic_pin.h"

namespace sib {

class TOWBasicSinkPin : public TOWStreamPin {
  SIB_CLASS(TOWBasicSinkPin, TOWStreamPin)
 public:
  using TOWStreamPin::TOWStreamPin;
  ~TOWBasicSinkPin() override;

  bool IgnoreUpstream() const { return FIgnoreUpstream; }
  void SetIgnoreUpstream(bool AValue) { FIgnoreUpstream = AValue; }
  virtual bool UpstreamCompatible(TOWSourcePin* ASource, bool AUseConverters);
  void PinRemoved(TOWBasicPin* APin) override;
  const std::vector<TOWSourcePin*>& FunctionDependants() const { return FFunctionDependants; }

 protected:
  friend class TOWFunctionSinkPinList;
  std::vector<TOWSourcePin*> FFunctionDependants;
  bool FIgnoreUpstream = false;
};

class TOWSinkPin : public TOWBasicSinkPin {
  SIB_CLASS(TOWSinkPin, TOWBasicSinkPin)
 public:
  TOWSinkPin(TComponent* AOwner, IOWLock* AOwnerLock = nullptr);
  ~TOWSinkPin() override;

  TOWPinType GetPinType() const override { return ptSink; }
  // The connected source (which may be a placeholder while loading), or none.
  TOWBasicPin* SourcePin();
  void SetSourcePin(TOWBasicPin* APin) { Connect(APin); }
  // The converter between source and sink, or none.
  TOWFormatConverter* FormatConverter();
  TGUID UpStreamID();
  TGUID DownStreamID();
  std::string UpStreamLinkName() { return OWStreamTypeName(UpStreamID()); }
  std::string DownStreamLinkName() { return OWStreamTypeName(DownStreamID()); }

  bool IsCompatible(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool TestConnection(TOWBasicPin* AOtherPin, bool AUseConverters) override;
  bool CanConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin, bool AUseConverters) override;
  bool ConnectAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  void RemoveConnection(TOWBasicPin* APin, bool AKeep) override;
  void Disconnect() override;
  void DisconnectFrom(TOWBasicPin* AOtherPin) override;
  bool DependsOn(TOWBasicPin* AOtherPin) override;
  bool DirectDependsOn(TOWBasicPin* AOtherPin) override;
  TGUID GetConnectionID(TOWBasicPin* AOtherPin) override;
  TGUID GetPrimaryConnectionID() override;
  bool IsConnected() override;
  bool IsConnectedTo(TOWBasicPin* AOtherPin) override;
  bool IsConnectedToAfter(TOWBasicPin* AOtherPin, TOWBasicPin* ANotifyAfterPin) override;
  bool IsConnectedByConverterTo(TOWBasicPin* AOtherPin) override;
  std::size_t GetConnectedPinCount() override;
  TOWBasicPin* GetConnectedPin(std::size_t Index) override;
  void PinRemoved(TOWBasicPin* APin) override;
  void DropSourceLink() override;

  // Hands Operation to the source; [] when there is none, while the owner is being stopped, or while
  // the pin is being destroyed.
  TOWNotifyResult Notify(IOWNotifyOperation* Operation) override;
  using TOWBasicPin::Notify;

  // Storage.
  bool HasSourceData();
  bool HasStateConverterData() override;
  bool HasLinkData() override;
  void ReadLinks(TReader& Reader) override;
  virtual void WriteSourcePin(TWriter& Writer);
  virtual void ReadStateConverter(TReader& Reader);
  virtual void WriteStateConverter(TWriter& Writer);
  // Links to the source stored under the given names ("nil" disconnects).
  bool TryLinkTo(TComponent* Root, const std::string& ASourceIdentName, const std::string& ASourceDisplayName,
                 bool SaveForm);

 protected:
  friend class TOWSourcePin;
  friend class TOWUnloadedPin;
  friend class TOWStateDispatcher;
  void ClearSourceFields();
  // Removes the current source, if any, telling it first.
  void DetachSource();
  bool AttachSource(TOWSourcePin* ASource, TOWBasicPin* ANotifyAfterPin);

  TOWBasicPin* FConnectionSourcePin = nullptr;
  TOWBasicPin* FRealSourcePin = nullptr;
  TOWBasicPin* FIntRealSourcePin = nullptr;
  TOWSubmit FSubmitFunction;
  TGUID FConnectedID{};
  bool FInConnect = false;
};

// The type a sink uses to talk to its source: among the sink's own types that the source supports,
// AFoundType when it is one of them, else the most preferred; empty when there is none.
TGUID OWChooseUpstreamType(TOWStreamPin* ASink, TOWBasicPin* ASource, const TGUID& AFoundType);

}  // namespace sib
