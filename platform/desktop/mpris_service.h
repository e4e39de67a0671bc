// MprisService: the desktop's standard media-player control on the session bus, through which media
// keys, a desktop's sound menu and scripts (playerctl) find a player and command it. The player
// appears as org.mpris.MediaPlayer2.<Name> (or, when another process holds that name,
// org.mpris.MediaPlayer2.<Name>.instance<pid>) with the object /org/mpris/MediaPlayer2 and two
// interfaces: the root one (identity, desktop entry, Raise, Quit) and the player one (playback
// status, Play, Pause, PlayPause, Stop, Next, Previous, Volume, the metadata of what plays).
//
// Beside them, when asked for (Options::OnOpen), the program's own interface on the same object,
// kInstanceInterface, with one method, Open (an array of strings): a later start of the program hands
// its command-line arguments to the one that runs (running_instance.h).
//
// The service speaks plain values and callbacks and knows nothing of what it stands for: the program
// publishes what it shows (Publish) and carries out the commands it is handed (CommandHandler).
//
// Threads: the bus belongs to a thread of the service's own, named "mpris", joined when the service
// dies. Commands arrive on that thread; the handler hands them over to whoever acts on them and
// returns at once. A caller's call is answered once the command has taken effect (see MprisReply), so
// a script that asks for the status right after "play" reads "Playing". The thread never waits for
// anything but that answer, and never for longer than Options::CommandLimit.
//
// The service connects only to the bus that DBUS_SESSION_BUS_ADDRESS names; it never starts one, and
// it connects on its own thread, so a slow or absent bus never delays the program. Without a bus it
// says why once (Options::OnNotice) and the program goes on as before.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sib {

inline constexpr const char* kInstanceInterface = "org.example.sibilon.Instance";

class RunThread;

enum class MprisCommand : std::uint8_t { Raise, Quit, Play, Pause, PlayPause, Stop, Next, Previous, SetVolume };

// What the player shows, as the bus reports it.
struct MprisState {
  bool Playing = false;
  double Volume = 0;  // 0.0 to 1.0
  std::string Title;  // what plays
  int Track = 0;      // its number among the choices; names the track (mpris:trackid)
  bool CanGoNext = false;
  bool CanGoPrevious = false;

  bool operator==(const MprisState&) const = default;
};

namespace mpris_detail {
struct Core;
}

// The answer to one command. The handler passes it on with the work and releases it (the last copy)
// once the command has taken effect or has been found to do nothing; the caller's call is answered
// then. Any thread.
class MprisReply {
 public:
  MprisReply(std::shared_ptr<mpris_detail::Core> ACore, std::uint64_t ASerial);
  ~MprisReply();
  MprisReply(const MprisReply&) = delete;
  MprisReply& operator=(const MprisReply&) = delete;

  // The command could not be carried out: the caller gets an error carrying `Why`.
  void Refuse(std::string Why);

 private:
  std::shared_ptr<mpris_detail::Core> FCore;
  std::uint64_t FSerial;
};
using MprisDone = std::shared_ptr<MprisReply>;

class MprisService {
 public:
  enum class Status : std::uint8_t {
    Connecting,  // waiting for the bus to answer
    Serving,     // owns its name and answers
    Off,         // no bus, or it went away: nothing more happens
  };

  struct Options {
    std::string Name;          // the last part of the bus name: letters, digits and underscores
    std::string Identity;      // the player's name as people read it
    std::string DesktopEntry;  // the base name of its desktop entry
    bool CanRaise = false;     // whether Raise means anything (a window to bring to the front)
    // The bus's address; none: DBUS_SESSION_BUS_ADDRESS, read when the service is made.
    std::optional<std::string> Address;
    // Told once, on the service's thread, why there is no control from the desktop: a whole line
    // without the program's name, told before the status turns Off. None: the line goes to standard
    // error after "Name: ".
    std::function<void(const std::string&)> OnNotice;
    // How long a caller waits at most for its command to take effect; then it is answered anyway
    // (the command still takes effect when its turn comes).
    std::chrono::milliseconds CommandLimit{2000};
    // Called on the service's thread for each Open of kInstanceInterface with its arguments; like a
    // CommandHandler it must not block and hands the work over with `Done`, whose refusal reaches the
    // caller. None: the interface is not offered.
    std::function<void(std::vector<std::string> Arguments, std::shared_ptr<MprisReply> Done)> OnOpen;

    // This program's own: its name on the bus and its desktop entry's base name as the build has
    // them, and its name as people read it.
    static Options ThisProgram();
  };

  // Called on the service's thread for each command. `Value` is the volume for SetVolume, already
  // within 0.0 to 1.0, and 0 otherwise. It must not block: hand the work over, with `Done`.
  using CommandHandler = std::function<void(MprisCommand Command, double Value, MprisDone Done)>;

  // Starts the service's thread, which connects and asks for the name.
  MprisService(Options AOptions, const MprisState& AState, CommandHandler AOnCommand);
  // Leaves the bus and joins the thread. A call waiting for its command is answered with an error.
  ~MprisService();
  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;

  // Any thread. What the player shows now; the changes since the last announcement are announced
  // on the bus (PropertiesChanged) from the service's thread.
  void Publish(const MprisState& AState);

  Status CurrentStatus() const;
  // Waits while the status is `AStatus`, at most `Limit`; the status then.
  Status WaitWhile(Status AStatus, std::chrono::milliseconds Limit) const;
  // The bus name it owns once serving; empty before.
  std::string BusName() const;

 private:
  std::shared_ptr<mpris_detail::Core> FCore;
  std::unique_ptr<RunThread> FThread;
};

}  // namespace sib
