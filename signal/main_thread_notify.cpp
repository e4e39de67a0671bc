#include "signal/main_thread_notify.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/message_window.h"

namespace sib {
namespace {

// WParam: the notify object; LParam: its serial number.
constexpr std::uint32_t kNotifyMessage = 0x8600;

std::atomic<std::uint64_t> gNextSerial{1};

}  // namespace

// The process's hidden window and the list of live notify objects. Every notify object holds a
// reference to the node, so the node and its window live exactly as long as some notify object does.
class TSLMainWindowNode : public std::enable_shared_from_this<TSLMainWindowNode> {
 public:
  explicit TSLMainWindowNode(Application& AApplication)
      : FApplication(AApplication),
        FForm(std::make_unique<MessageWindow>(AApplication, [this](Message& AMessage) { HandleMessage(AMessage); })) {}

  ~TSLMainWindowNode() {
    // The window goes first: that drops its queued messages and, on another thread, waits for a
    // handler still running on the main thread, which then finds the node gone and does nothing.
    FForm.reset();
  }

  // Makes the node when there is none and lists the item on it.
  static std::shared_ptr<TSLMainWindowNode> AddReff(TSLMainThreadNotify* ANotifyItem) {
    static std::mutex instanceLock;
    static std::weak_ptr<TSLMainWindowNode> instance;
    std::lock_guard guard(instanceLock);
    std::shared_ptr<TSLMainWindowNode> node = instance.lock();
    if (!node) {
      node = std::make_shared<TSLMainWindowNode>(Application::Instance());
      instance = node;
    }
    std::lock_guard listGuard(node->FMutex);
    node->FNotifyList.push_back(ANotifyItem);
    return node;
  }

  // Takes the item off the list, so that its queued messages find nothing. Off the main thread it
  // first waits for a callback of the item that the main thread is running.
  void RemoveReff(TSLMainThreadNotify* ANotifyItem) {
    std::unique_lock guard(FMutex);
    if (!FApplication.IsMainThread()) {
      FCallEnded.wait(guard, [&] { return std::find(FRunning.begin(), FRunning.end(), ANotifyItem) == FRunning.end(); });
    }
    std::erase(FNotifyList, ANotifyItem);
    ANotifyItem->FOnNotify.reset();
  }

  bool IsMainThread() const { return FApplication.IsMainThread(); }

  void Post(const TSLMainThreadNotify* ANotifyItem) {
    FApplication.PostMessage(FForm->Handle(), kNotifyMessage, reinterpret_cast<std::uintptr_t>(ANotifyItem),
                             static_cast<std::intptr_t>(ANotifyItem->FSerial));
  }

 private:
  // Main thread.
  void HandleMessage(Message& AMessage) {
    if (AMessage.Msg != kNotifyMessage) return;
    // A callback may free the last notify object and with it this node: keep it until we are done.
    const std::shared_ptr<TSLMainWindowNode> self = weak_from_this().lock();
    if (!self) return;
    TSLMainThreadNotify* item = nullptr;
    std::shared_ptr<const TNotifyEvent> callback;
    {
      std::lock_guard guard(FMutex);
      item = FindLiveItem(AMessage.WParam, static_cast<std::uint64_t>(AMessage.LParam));
      if (!item) return;
      callback = item->FOnNotify;
      FRunning.push_back(item);
    }
    AMessage.Result = 1;
    RunningCall call(*this, item);
    if (callback) (*callback)(item);
  }

  // Called with FMutex held.
  TSLMainThreadNotify* FindLiveItem(std::uintptr_t AAddress, std::uint64_t ASerial) const {
    for (TSLMainThreadNotify* item : FNotifyList) {
      if (reinterpret_cast<std::uintptr_t>(item) == AAddress && item->FSerial == ASerial) return item;
    }
    return nullptr;
  }

  // Ends the record of a running callback, also when the callback throws.
  class RunningCall {
   public:
    RunningCall(TSLMainWindowNode& ANode, TSLMainThreadNotify* AItem) : FNode(ANode), FItem(AItem) {}
    RunningCall(const RunningCall&) = delete;
    RunningCall& operator=(const RunningCall&) = delete;
    ~RunningCall() {
      {
        std::lock_guard guard(FNode.FMutex);
        // The newest record of the item: callbacks nest when a callback runs the message loop.
        auto found = std::find(FNode.FRunning.rbegin(), FNode.FRunning.rend(), FItem);
        if (found != FNode.FRunning.rend()) FNode.FRunning.erase(std::next(found).base());
      }
      FNode.FCallEnded.notify_all();
    }

   private:
    TSLMainWindowNode& FNode;
    TSLMainThreadNotify* FItem;
  };

  Application& FApplication;
  std::mutex FMutex;  // guards FNotifyList, FRunning and the items' FOnNotify
  std::condition_variable FCallEnded;
  std::vector<TSLMainThreadNotify*> FNotifyList;
  // The items whose callbacks the main thread runs now, innermost last. Only addresses are kept:
  // an item freed by its own callback stays listed here until that callback returns.
  std::vector<TSLMainThreadNotify*> FRunning;
  std::unique_ptr<MessageWindow> FForm;
};

TSLMainThreadNotify::TSLMainThreadNotify(TNotifyEvent AOnNotify)
    : FOnNotify(std::make_shared<const TNotifyEvent>(std::move(AOnNotify))),
      FSerial(gNextSerial.fetch_add(1, std::memory_order_relaxed)) {
  FNode = TSLMainWindowNode::AddReff(this);
}

TSLMainThreadNotify::~TSLMainThreadNotify() { FNode->RemoveReff(this); }

void TSLMainThreadNotify::Notify(bool ForcePost) {
  if (ForcePost || !FNode->IsMainThread()) {
    FNode->Post(this);
    return;
  }
  // A copy of the reference, so that the callback may free this object.
  const std::shared_ptr<const TNotifyEvent> callback = FOnNotify;
  if (callback) (*callback)(this);
}

}  // namespace sib
