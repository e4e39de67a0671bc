#include "platform/core/thread.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include "platform/core/realtime.h"

namespace sib {

Thread::Thread(std::string name) : name_(std::move(name)) {}

Thread::~Thread() {
  Terminate();
  WaitFor();
}

void Thread::Start() {
  thread_ = std::thread([this] {
    tid_.store(gettid(), std::memory_order_release);
    tid_.notify_all();
    NameCurrentThread(name_);
    Execute();
    finished_.store(true, std::memory_order_release);
  });
}

void Thread::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Thread::SetPriority(ThreadPriority priority) {
  if (!thread_.joinable()) return;
  const pthread_t handle = thread_.native_handle();
  if (priority >= ThreadPriority::Highest) {
    sched_param param{};
    param.sched_priority = priority == ThreadPriority::TimeCritical ? sched_get_priority_max(SCHED_FIFO) : 10;
    if (pthread_setschedparam(handle, SCHED_FIFO, &param) == 0) return;
    // A desktop user gets real-time scheduling from the desktop, for the thread's kernel id; without
    // it the thread keeps the normal policy.
    tid_.wait(0, std::memory_order_acquire);
    makeThreadRealtime(tid_.load(std::memory_order_acquire), param.sched_priority);
  }
}

void Thread::NameCurrentThread(const std::string& name) {
  pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

}  // namespace sib
