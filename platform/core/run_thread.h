// A named thread whose body is a function given at construction, for threads that are plain loops of
// their owners (the audio device's delivery thread, the media timer's thread). Joined on destruction:
// the body must return once its owner has asked it to (the owner's own flag, set before the thread is
// destroyed).
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/core/thread.h"

namespace sib {

class RunThread final : public Thread {
 public:
  RunThread(std::string name, std::function<void()> body) : Thread(std::move(name)), body_(std::move(body)) {}
  ~RunThread() override {
    Terminate();
    WaitFor();
  }

 protected:
  void Execute() override { body_(); }

 private:
  std::function<void()> body_;
};

}  // namespace sib
