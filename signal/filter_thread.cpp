#include "signal/filter_thread.h"

#include <algorithm>

namespace sib {

// ---- TSLThreading -----------------------------------------------------------------------------------

TSLThreading::TSLThreading(TLPComponent* AOwner, TLPPropUpdateFunc APriorityNotify)
    : TLPPersistent(AOwner, *AOwner->Lock()), FPriorityNotify(APriorityNotify) {}

void TSLThreading::SetPriority(TThreadPriority AValue) {
  {
    LockSection write = FLock->WriteLock();
    if (!write) return;
    FPriority = AValue;
  }
  if (FPriorityNotify) FPriorityNotify();
}

ThreadPriority ToThreadPriority(TThreadPriority APriority) {
  switch (APriority) {
    case tpIdle: return ThreadPriority::Idle;
    case tpLowest: return ThreadPriority::Lowest;
    case tpLower: return ThreadPriority::Lower;
    case tpNormal: return ThreadPriority::Normal;
    case tpHigher: return ThreadPriority::Higher;
    case tpHighest: return ThreadPriority::Highest;
    case tpTimeCritical: return ThreadPriority::TimeCritical;
  }
  return ThreadPriority::Normal;
}

// ---- TSLFilterThread --------------------------------------------------------------------------------

std::shared_ptr<TSLFilterThread> TSLFilterThread::CreateEx(TLPComponent* AOwner, TSLThreading* AThreading,
                                                           TSLFilterThreadNotify AOwnerNotify) {
  auto thread = std::make_shared<TSLFilterThread>(AOwner, AThreading, std::move(AOwnerNotify));
  thread->Start();
  thread->SetPriority(ToThreadPriority(AThreading->Priority()));
  return thread;
}

TSLFilterThread::TSLFilterThread(TLPComponent* AOwner, TSLThreading* AThreading, TSLFilterThreadNotify AOwnerNotify)
    : TLPThread(AOwner, "TSLFilterThread", "filter"),
      FLock(AOwner->Lock()),
      FOwnerNotify(std::move(AOwnerNotify)),
      FOperationQueue(RefPtr<IOWLock>(FLock.get())),
      FQueueBound(static_cast<std::int32_t>(std::clamp<std::uint32_t>(AThreading->QueueSize(), 1, 0x7FFFFFFF))) {}

TSLFilterThread::~TSLFilterThread() {
  Terminate();
  WaitFor();
}

bool TSLFilterThread::PushOperation(OperationRef AValue) {
  FQueueEmptyEvent.Reset();
  while (!Terminated() && FOperationQueue.ItemsCount() >= FQueueBound) {
    // The worker needs the filter's lock to drain the queue.
    LockSection givenUp = FLock->UnlockAll();
    FProcessedEvent.WaitFor(kInfinite);
  }
  if (Terminated()) return false;
  FOperationQueue.Push(std::move(AValue), false);
  FEvent.Signal();
  return true;
}

void TSLFilterThread::Execute() {
  AnnounceThreadName();
  FWorkerId.store(std::this_thread::get_id());
  while (!Terminated()) {
    FStarted.store(true);
    FEvent.WaitFor(kInfinite);
    while (!Terminated()) {
      OperationRef operation = FOperationQueue.Pop();
      if (!operation) break;
      // Taking an operation off makes room at once, so a producer is not held for the processing.
      FProcessedEvent.Signal();
      FOwnerNotify(this, operation.get());
    }
    FQueueEmptyEvent.Signal();
  }
  FTerminatedEvent.Signal();
}

void TSLFilterThread::Terminate() {
  TLPThread::Terminate();
  FEvent.Signal();
  // A producer waiting for room must not wait for a worker that is gone.
  FProcessedEvent.Signal();
  if (FStarted.load() && std::this_thread::get_id() != FWorkerId.load()) FTerminatedEvent.WaitFor(kInfinite);
}

// ---- TSLBasicThreadedFilter -------------------------------------------------------------------------

TSLBasicThreadedFilter::TSLBasicThreadedFilter(TComponent* AOwner)
    : TLPComponent(AOwner),
      FThreading(std::make_unique<TSLThreading>(this, TLPPropUpdateFunc(this, &TSLBasicThreadedFilter::PriorityChanged))) {}

TSLBasicThreadedFilter::~TSLBasicThreadedFilter() {
  LockSection stop = FLock->StopLock();
  FFilterThread.reset();
  FThreading.reset();
}

void TSLBasicThreadedFilter::SetThreading(TSLThreading* AValue) {
  if (AValue) FThreading->Assign(AValue);
}

void TSLBasicThreadedFilter::BeforeDestruction() {
  {
    LockSection stop = FLock->StopLock();
    StopThread();
    DestroyPins();
  }
  TLPComponent::BeforeDestruction();
}

std::shared_ptr<TSLFilterThread> TSLBasicThreadedFilter::FilterThread() {
  LockSection read = FLock->ReadLock();
  if (!read) return nullptr;
  return FFilterThread;
}

void TSLBasicThreadedFilter::PriorityChanged() {
  LockSection write = FLock->WriteLock();
  if (write && FFilterThread) FFilterThread->SetPriority(ToThreadPriority(FThreading->Priority()));
}

TOWNotifyResult TSLBasicThreadedFilter::InputNotification(TOWBasicPin*, const TGUID*, IOWNotifyOperation* Operation,
                                                          TOWNotifyState State) {
  LockSection write = FLock->WriteLock();
  if (!write) return {};
  if (operationIs<TOWStartSampleRateOperation>(Operation)) {
    StartThread();
  } else if (operationIs<TOWStopOperation>(Operation)) {
    StopThread();
  } else if (operationIs<TOWSuppliedBufferOperation>(Operation)) {
    return ProcessSuppliedBuffer(Operation, State);
  }
  return ForwardOperation(Operation);
}

void TSLBasicThreadedFilter::ThreadProcessOperation(IOWNotifyOperation* Operation) {
  LockSection write = FLock->WriteLock();
  if (write) ProcessOperation(Operation);
}

TOWNotifyResult TSLBasicThreadedFilter::ProcessOperation(IOWNotifyOperation* Operation) {
  auto* supplied = operationAs<TOWSuppliedBufferOperation>(Operation);
  if (!supplied) return {};
  RefPtr<ISLDataBuffer> buffer = queryInterface<ISLDataBuffer>(supplied->Buffer.get());
  return buffer ? ProcessDataBuffer(buffer.get()) : TOWNotifyResult{};
}

TOWNotifyResult TSLBasicThreadedFilter::ProcessSuppliedBuffer(IOWNotifyOperation* Operation, TOWNotifyState) {
  if (!CanProcess()) return {};
  if (FFilterThread) {
    std::shared_ptr<TSLFilterThread> worker = FFilterThread;
    worker->PushOperation(OperationRef(Operation));
    return {};
  }
  return ProcessOperation(Operation);
}

void TSLBasicThreadedFilter::StopThread() {
  if (FFilterThread) {
    LockSection stop = FLock->StopLock();
    std::shared_ptr<TSLFilterThread> worker = std::move(FFilterThread);
    FFilterThread.reset();
    worker->Terminate();
  }
  FRunning = false;
}

void TSLBasicThreadedFilter::StartThread() {
  FRunning = true;
  if (FThreading->Enabled() && !FFilterThread)
    FFilterThread = TSLFilterThread::CreateEx(this, FThreading.get(), [this](TSLFilterThread*, IOWNotifyOperation* op) {
      ThreadProcessOperation(op);
    });
}

TOWNotifyResult TSLBasicThreadedFilter::ForwardOperation(IOWNotifyOperation* Operation) {
  if (OWIsDestroying(this)) return {};
  TOWSourcePin* output = GetOutputPin();
  return output ? output->Notify(Operation) : TOWNotifyResult{};
}

// ---- TSLBasicThreadedEnableFilter -------------------------------------------------------------------

TSLBasicThreadedEnableFilter::TSLBasicThreadedEnableFilter(TComponent* AOwner)
    : TSLBasicThreadedFilter(AOwner),
      FEnablePin(makePin<TOWBoolSinkPin>(this, FLock.get(),
                                         TOWBoolSinkPin::TEventType([this](TOWPin*, bool AValue) { SetEnabled(AValue); }))) {}

void TSLBasicThreadedEnableFilter::UpdateEnabled(bool AValue) {
  const TLPPropUpdateFunc changed = TLPPropUpdateFunc::FromFunction(
      [](void* self) { static_cast<TSLBasicThreadedEnableFilter*>(self)->EnabledChanged(); }, this);
  FLock->Setter(FEnabled, AValue, changed);
}

void TSLBasicThreadedEnableFilter::DestroyPins() {
  FEnablePin.reset();
  TSLBasicThreadedFilter::DestroyPins();
}

// ---- TSLBasicCommonFilter ---------------------------------------------------------------------------

TOWNotifyResult TSLBasicCommonFilter::ProcessSuppliedBuffer(IOWNotifyOperation* Operation, TOWNotifyState) {
  if (FFilterThread) {
    std::shared_ptr<TSLFilterThread> worker = FFilterThread;
    worker->PushOperation(OperationRef(Operation));
    return {};
  }
  auto* supplied = operationAs<TOWSuppliedBufferOperation>(Operation);
  if (!supplied || !supplied->Buffer) return {};
  RefPtr<ISLDataBuffer> in = queryInterface<ISLDataBuffer>(supplied->Buffer->MakeCopy().get());
  if (!in) return {};
  RefPtr<ISLDataBuffer> out = queryInterface<ISLDataBuffer>(in->MakeCopy().get());
  return ProcessData(in.get(), out.get());
}

TOWNotifyResult TSLBasicCommonFilter::ProcessDataBuffer(ISLDataBuffer* ABuffer) {
  RefPtr<ISLDataBuffer> out = queryInterface<ISLDataBuffer>(ABuffer->MakeCopy().get());
  if (out) ProcessData(ABuffer, out.get());
  return {};
}

}  // namespace sib
