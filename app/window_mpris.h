// The main window on the desktop's media-player control (platform/desktop/mpris_service.h): media
// keys, the desktop's sound menu and scripts start and stop the noise, set its level, choose it, bring
// the window to the front and end the program, and every change the window makes is announced.
//
// A command acts as a person would, through the window's controls, so that their events reach the
// window's handlers and the window always shows the truth:
//   Play, Pause, Stop, PlayPause  a click of the start button when the state is to change (Pause
//                                 stops: the window knows only started and stopped)
//   Volume                        the level track bar set to Volume × its range
//   Next, Previous                the spinner moved to the neighbouring noise, none past the ends
//   Raise                         the window shown and brought to the front
//   Quit                          a click of the exit button
// and a later start of the program hands its arguments over (Open of the program's own interface):
// the window is brought to the front, then OnOpen acts on them.
//
// Commands arrive on the bus's thread and are handed over to the main thread through the message
// loop; everything else runs on the main thread. The window may go first (the program's start failed
// after the window was made): the control then ends with it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "platform/desktop/mpris_service.h"
#include "platform/ui/message_window.h"

namespace sib {

class TWindowMprisWatch;

class TWindowMpris {
 public:
  // The control for `AWindow`, on the message loop `ALoop`. `AAddress` is the bus's (none: the
  // session's, as MprisService has it); `AOnNotice` as MprisService's (none: standard error).
  TWindowMpris(TForm1& AWindow, Application& ALoop, std::optional<std::string> AAddress = std::nullopt,
               std::function<void(const std::string&)> AOnNotice = nullptr);
  ~TWindowMpris();
  TWindowMpris(const TWindowMpris&) = delete;
  TWindowMpris& operator=(const TWindowMpris&) = delete;

  // The service, while the window lives; nullptr after.
  MprisService* Service() const { return FService.get(); }

  // What the window shows, as the bus tells it.
  static MprisState StateOf(const TForm1& AWindow);

  // What a later start's arguments do, on the main thread, once the window is at the front: the
  // refusal's text, or "" when they were taken.
  std::function<std::string(const std::vector<std::string>&)> OnOpen;

 private:
  friend class TWindowMprisWatch;

  void Act(MprisCommand ACommand, double AValue);
  void Open(const std::vector<std::string>& AArguments, const MprisDone& ADone);
  void WindowGone();

  TForm1* FWindow;
  MessageWindow FPosts;  // the commands' way to the main thread; what is queued dies with it
  TComponentPtr<TWindowMprisWatch> FWatch;
  std::unique_ptr<MprisService> FService;  // first to go: its thread posts no more
};

}  // namespace sib
