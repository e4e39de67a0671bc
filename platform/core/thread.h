// A named thread: the body runs in Execute(); Terminate() asks it to end (it polls Terminated()),
// WaitFor() joins. The name shows in debuggers and `top -H` (the first 15 characters).
// Every thread is joined before its object dies: the destructor terminates and waits.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace sib {

enum class ThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

class Thread {
 public:
  explicit Thread(std::string name);
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  virtual ~Thread();

  // Starts the body on a new thread; call once, after construction has completed.
  void Start();
  void Terminate() { terminated_.store(true, std::memory_order_release); }
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
  // Joins the thread; safe to call more than once and from the destructor of a derived class.
  void WaitFor();
  bool Finished() const { return finished_.load(std::memory_order_acquire); }

  const std::string& Name() const { return name_; }
  // Best effort: Highest and TimeCritical ask for real-time scheduling, from the desktop's
  // RealtimeKit when the process may not take it itself (realtime.h); refused, nothing changes.
  void SetPriority(ThreadPriority priority);

  // Names the calling thread.
  static void NameCurrentThread(const std::string& name);

 protected:
  virtual void Execute() = 0;

 private:
  std::string name_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int> tid_{0};  // the kernel's id of the running thread, 0 until it runs
};

}  // namespace sib
