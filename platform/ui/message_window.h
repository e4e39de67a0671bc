// A hidden message window: an address on the application's message loop for posted messages,
// posted work and timers. Its handler runs on the main thread. Destroying the window drops what was
// posted to it and not yet handled, and kills its timers, so that nothing reaches an owner that is
// gone.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/ui/application.h"

namespace sib {

class MessageWindow {
 public:
  // On Application::Instance().
  explicit MessageWindow(MessageHandler handler);
  MessageWindow(Application& application, MessageHandler handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  WindowHandle Handle() const { return handle_; }
  Application& Owner() const { return application_; }

  // Any thread; see Application.
  bool PostMessage(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
  bool Post(std::function<void()> work);
  bool SetTimer(std::uint32_t id, std::uint32_t intervalMs);
  bool KillTimer(std::uint32_t id);

 private:
  Application& application_;
  const WindowHandle handle_;
};

}  // namespace sib
