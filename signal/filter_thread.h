// The threaded filter base: the threading settings of a filter (TSLThreading), its optional worker
// thread with a bounded operation queue (TSLFilterThread), and the filter classes that route the
// notifications arriving from upstream (TSLBasicThreadedFilter), add an Enabled switch and pin
// (TSLBasicThreadedEnableFilter) and process each data buffer into a copy of itself
// (TSLBasicCommonFilter). The audio filters (audio/amplifier.h) derive from the last one.
//
// Without a worker a buffer is processed on the thread that delivers it, under the component's write
// lock. With a worker (Threading.Enabled at the start) the delivering thread only queues and the worker
// processes, one operation at a time in arrival order, under the same lock. The queue holds at most
// Threading.QueueSize operations: a producer that runs ahead waits, with its holds on the filter's lock
// given up, until the worker has taken one. Nothing is dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "framework/lp_component.h"
#include "framework/lp_thread.h"
#include "framework/sync.h"
#include "framework/value_pins.h"
#include "signal/data_interfaces.h"
#include "signal/operation_list.h"
#include "signal/signal_pins.h"

namespace sib {

enum TThreadPriority : std::uint8_t { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
SIB_ENUM_NAMES(TThreadPriority, tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical)

class TSLThreading : public TLPPersistent {
  SIB_CLASS(TSLThreading, TLPPersistent)
 public:
  // APriorityNotify runs after every change of Priority.
  TSLThreading(TLPComponent* AOwner, TLPPropUpdateFunc APriorityNotify);

  static TPropertyList PublishedProperties() {
    return {
        prop("Enabled", &TSLThreading::Enabled, &TSLThreading::SetEnabled).defaultValue(false),
        prop("Priority", &TSLThreading::Priority, &TSLThreading::SetPriority).defaultValue(tpNormal),
        prop("QueueSize", &TSLThreading::QueueSize, &TSLThreading::SetQueueSize).defaultValue(15),
    };
  }

  // Takes effect at the next start.
  bool Enabled() const { return FLock->Getter(FEnabled); }
  void SetEnabled(bool AValue) { FLock->Setter(FEnabled, AValue, {}); }
  // Applies to a running worker at once.
  TThreadPriority Priority() const { return FLock->Getter(FPriority); }
  void SetPriority(TThreadPriority AValue);
  // Takes effect at the next start.
  std::uint32_t QueueSize() const { return FLock->Getter(FQueueSize); }
  void SetQueueSize(std::uint32_t AValue) { FLock->Setter(FQueueSize, AValue, {}); }

 private:
  bool FEnabled = false;
  TThreadPriority FPriority = tpNormal;
  TLPPropUpdateFunc FPriorityNotify;
  std::uint32_t FQueueSize = 15;
};

ThreadPriority ToThreadPriority(TThreadPriority APriority);

class TSLFilterThread;
// The filter's processing callback; runs on the worker.
using TSLFilterThreadNotify = std::function<void(TSLFilterThread* Sender, IOWNotifyOperation* Operation)>;

class TSLFilterThread : public TLPThread {
 public:
  // The way to make one: named "<owner name>.TSLFilterThread" (shown as "<owner>.filter"), started at
  // once with AThreading's priority. The bound of the queue is AThreading's QueueSize at this moment
  // (at least 1).
  static std::shared_ptr<TSLFilterThread> CreateEx(TLPComponent* AOwner, TSLThreading* AThreading,
                                                   TSLFilterThreadNotify AOwnerNotify);
  TSLFilterThread(TLPComponent* AOwner, TSLThreading* AThreading, TSLFilterThreadNotify AOwnerNotify);
  ~TSLFilterThread() override;

  // The delivering thread: queues AValue, first waiting while the queue is full. Returns false when
  // the worker was terminated meanwhile (the operation is then dropped with the worker).
  bool PushOperation(OperationRef AValue);
  // Signalled whenever the worker has drained the queue.
  TOWEvent& GetQueueEvent() { return FQueueEmptyEvent; }
  // Ends the loop after the operation in progress and waits for it, unless the loop never started.
  // Operations still queued are discarded with the thread.
  void Terminate();
  std::int32_t QueuedCount() { return FOperationQueue.ItemsCount(); }
  std::int32_t QueueBound() const { return FQueueBound; }

 protected:
  void Execute() override;

 private:
  RefPtr<ILPLock> FLock;
  TSLFilterThreadNotify FOwnerNotify;
  TOWEvent FEvent{false, false};
  TOWEvent FProcessedEvent{false, false};
  std::atomic<bool> FStarted{false};
  TOWEvent FTerminatedEvent{true, false};
  TSLOperationList FOperationQueue;
  TOWEvent FQueueEmptyEvent{true, true};
  std::int32_t FQueueBound;
  // Terminate called from the worker's own callback must not wait for itself.
  std::atomic<std::thread::id> FWorkerId{};
};

class TSLBasicThreadedFilter : public TLPComponent {
  SIB_CLASS(TSLBasicThreadedFilter, TLPComponent)
 public:
  explicit TSLBasicThreadedFilter(TComponent* AOwner);
  ~TSLBasicThreadedFilter() override;

  static TPropertyList PublishedProperties() {
    return {prop("Threading", &TSLBasicThreadedFilter::Threading, &TSLBasicThreadedFilter::SetThreading)};
  }
  TSLThreading* Threading() const { return FThreading.get(); }
  // Copies the settings.
  void SetThreading(TSLThreading* AValue);

  // Stops the worker and destroys the pins, under the stop lock, while the filter is whole.
  void BeforeDestruction() override;

  // Operations arriving from upstream; the input pin's operation event.
  virtual TOWNotifyResult InputNotification(TOWBasicPin* Sender, const TGUID* DataTypeID,
                                            IOWNotifyOperation* Operation, TOWNotifyState State);
  bool Running() const { return FRunning; }
  // The worker, or none; for tests and diagnostics.
  std::shared_ptr<TSLFilterThread> FilterThread();

 protected:
  virtual bool CanProcess() { return true; }
  virtual void ThreadProcessOperation(IOWNotifyOperation* Operation);
  virtual TOWNotifyResult ProcessOperation(IOWNotifyOperation* Operation);
  virtual TOWNotifyResult ProcessDataBuffer(ISLDataBuffer*) { return {}; }
  virtual TOWNotifyResult ProcessSuppliedBuffer(IOWNotifyOperation* Operation, TOWNotifyState State);
  virtual void EnabledChanged() {}
  virtual void StopThread();
  virtual void StartThread();
  virtual TOWNotifyResult ForwardOperation(IOWNotifyOperation* Operation);
  virtual TOWSourcePin* GetOutputPin() { return nullptr; }
  // Destroys the pins of the class and calls the inherited version; runs under the stop lock.
  virtual void DestroyPins() {}
  void PriorityChanged();

  std::unique_ptr<TSLThreading> FThreading;
  // Shared with a delivering thread that waits in PushOperation, so that a stop on another thread
  // cannot free the worker under it.
  std::shared_ptr<TSLFilterThread> FFilterThread;
  bool FRunning = false;
};

class TSLBasicThreadedEnableFilter : public TSLBasicThreadedFilter {
  SIB_CLASS(TSLBasicThreadedEnableFilter, TSLBasicThreadedFilter)
 public:
  explicit TSLBasicThreadedEnableFilter(TComponent* AOwner);

  static TPropertyList PublishedProperties() {
    return {
        prop("Enabled", &TSLBasicThreadedEnableFilter::Enabled, &TSLBasicThreadedEnableFilter::SetEnabled)
            .defaultValue(true),
        prop("EnablePin", &TSLBasicThreadedEnableFilter::EnablePin),
    };
  }
  bool Enabled() const { return FLock->Getter(FEnabled); }
  void SetEnabled(bool AValue) { UpdateEnabled(AValue); }
  TOWBoolSinkPin* EnablePin() const { return FEnablePin.get(); }

 protected:
  bool CanProcess() override { return FEnabled; }
  virtual void UpdateEnabled(bool AValue);
  void DestroyPins() override;

  TOWPinRef<TOWBoolSinkPin> FEnablePin;
  bool FEnabled = true;
};

class TSLBasicCommonFilter : public TSLBasicThreadedEnableFilter {
  SIB_CLASS(TSLBasicCommonFilter, TSLBasicThreadedEnableFilter)
 public:
  using TSLBasicThreadedEnableFilter::TSLBasicThreadedEnableFilter;

 protected:
  // Queues to the worker, or processes a private view of the buffer into another at once. Does not
  // consult CanProcess: the filters check Enabled themselves.
  TOWNotifyResult ProcessSuppliedBuffer(IOWNotifyOperation* Operation, TOWNotifyState State) override;
  // The worker's path: processes into a copy; nobody waits for the result.
  TOWNotifyResult ProcessDataBuffer(ISLDataBuffer* ABuffer) override;
  // AIn is the incoming buffer, AOut a view of the same block to write the result into.
  virtual TOWNotifyResult ProcessData(ISLDataBuffer*, ISLDataBuffer*) { return {}; }
  virtual bool UsesOutputPrepare() { return false; }
};

}  // namespace sib
