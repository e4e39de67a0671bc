// The program's start, and how it ends when something fails on the way.
//
// The steps, in order: initialise the application, let the main window own the task-bar button, set
// the title "Sibilon", create the main window (its description loaded, every component's Loaded, then
// its creation handler), and run the message loop until it is terminated; the exit code is then 0.
//
// An error on the way ends the program with exit code 1. Everything created so far is destroyed
// first, its threads joined, so that nothing plays or ticks behind the message box; then the error is
// shown in a modal box with its text. An exception that is not of the framework's error class shows
// its own text, or "Unexpected error" when it has none. Errors raised by handlers while the loop runs
// never come here: the loop shows them in the same kind of box and goes on.
#pragma once

#include <exception>
#include <string>

#include "platform/core/errors.h"

namespace sib {

inline constexpr int kExitStartFailed = 1;

// What the start needs from the application object. Main thread only.
class IStartUpHost {
 public:
  virtual ~IStartUpHost() = default;
  virtual void Initialize() = 0;
  virtual void SetMainFormOnTaskBar(bool Value) = 0;
  virtual void SetTitle(const std::string& Value) = 0;
  // Creates the main window; a window whose creation fails is destroyed before the error leaves.
  virtual void CreateMainForm() = 0;
  virtual void Run() = 0;
  // Destroys every window made so far and what it owns, joining their threads.
  virtual void DestroyForms() = 0;
  // Shows the error in a modal message box and returns once the user has closed it.
  virtual void ShowException(const Exception& E) = 0;
};

// Runs the steps above; returns the process's exit code.
int RunApplication(IStartUpHost& AHost);

// The error as the framework's class: itself, or one carrying the exception's own text, or
// "Unexpected error" for an exception without text.
Exception FrameworkError(const std::exception& AError);
Exception FrameworkError(std::exception_ptr AError);

}  // namespace sib
