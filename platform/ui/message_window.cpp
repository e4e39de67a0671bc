#include "platform/ui/message_window.h"

namespace sib {

MessageWindow::MessageWindow(MessageHandler handler) : MessageWindow(Application::Instance(), std::move(handler)) {}

MessageWindow::MessageWindow(Application& application, MessageHandler handler)
    : application_(application), handle_(application.CreateWindow(std::move(handler))) {}

MessageWindow::~MessageWindow() { application_.DestroyWindow(handle_); }

bool MessageWindow::PostMessage(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
  return application_.PostMessage(handle_, msg, wParam, lParam);
}

bool MessageWindow::Post(std::function<void()> work) { return application_.Post(handle_, std::move(work)); }

bool MessageWindow::SetTimer(std::uint32_t id, std::uint32_t intervalMs) {
  return application_.SetTimer(handle_, id, intervalMs);
}

bool MessageWindow::KillTimer(std::uint32_t id) { return application_.KillTimer(handle_, id); }

}  // namespace sib
