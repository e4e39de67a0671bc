// Surroundings for tests of the desktop's media-player control: a private session bus (a dbus-daemon
// of its own, in a private folder, started by the test and stopped when the object dies), a socket
// that takes connections and never answers (a bus that hangs), a client of the bus in this process
// (sd-bus), and bus clients run as programs (playerctl, dbus-send) with the bus's address.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

struct sd_bus;

namespace sib::test {

// A session bus of its own, for this test alone.
class SessionBus {
 public:
  struct Options {
    // Starts the desktop's services on demand, as a desktop session's bus does (the accessibility
    // bus launcher among them), with a runtime, home and settings folder of the bus's own, so that
    // nothing of the user's is read or written; `Environment` ("NAME=value") is theirs too (a display).
    bool DesktopServices = false;
    std::vector<std::string> Environment{};
  };
  SessionBus() : SessionBus(Options{}) {}
  explicit SessionBus(const Options& AOptions);
  ~SessionBus();
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;

  // "unix:path=...", as DBUS_SESSION_BUS_ADDRESS holds it.
  const std::string& Address() const { return FAddress; }
  // Ends the bus at once, as a crashed or ended desktop session does.
  void Kill();

 private:
  std::filesystem::path FFolder;
  std::string FAddress;
  std::unique_ptr<ChildProcess> FDaemon;
};

// A socket that accepts connections into its backlog and never reads: a bus that does not answer.
class SilentBus {
 public:
  SilentBus();
  ~SilentBus();
  SilentBus(const SilentBus&) = delete;
  SilentBus& operator=(const SilentBus&) = delete;

  const std::string& Address() const { return FAddress; }

 private:
  std::filesystem::path FFolder;
  std::string FAddress;
  int FSocket = -1;
};

// What a program printed and how it ended.
struct ClientResult {
  int ExitCode = -1;
  std::string Output;  // standard output, without the last line's end
  std::string Errors;  // standard error
};

// Runs a program found on PATH with DBUS_SESSION_BUS_ADDRESS set to `Address`, and waits for it.
ClientResult RunBusClient(const std::string& Address, const std::vector<std::string>& Argv);

// The command lines of the clients a script would use: playerctl on our player, and dbus-send calling
// `Member` (with its interface) of `Destination`'s player object, or setting its Volume.
inline std::vector<std::string> PlayerctlCommand(std::vector<std::string> Args) {
  Args.insert(Args.begin(), {"playerctl", "--player=sibilon"});
  return Args;
}
inline std::vector<std::string> DbusSendCommand(const std::string& Destination, const std::string& Member,
                                                const std::vector<std::string>& Arguments = {}) {
  std::vector<std::string> argv = {"dbus-send", "--session", "--print-reply", "--dest=" + Destination,
                                   "/org/mpris/MediaPlayer2", Member};
  argv.insert(argv.end(), Arguments.begin(), Arguments.end());
  return argv;
}
inline std::vector<std::string> DbusSetVolumeCommand(const std::string& Destination, const std::string& Value) {
  return DbusSendCommand(Destination, "org.freedesktop.DBus.Properties.Set",
                         {"string:org.mpris.MediaPlayer2.Player", "string:Volume", "variant:double:" + Value});
}

// A connection of this process to a bus, on the calling thread (calls block until answered).
class BusClient {
 public:
  explicit BusClient(const std::string& Address);
  ~BusClient();
  BusClient(const BusClient&) = delete;
  BusClient& operator=(const BusClient&) = delete;

  // A method of the player without arguments; the error's name and text ("name: text"), or "" when it
  // succeeded.
  std::string Call(const std::string& Destination, const std::string& Interface, const std::string& Member);
  // Sends the call and returns without waiting; Answered() tells whether its answer has come and
  // WaitForAnswer() waits for it ("" or the error, as Call).
  void Send(const std::string& Destination, const std::string& Interface, const std::string& Member);
  bool Answered();
  std::string WaitForAnswer(std::chrono::milliseconds Limit);

  // A property as text: strings as they are, booleans "true"/"false", numbers as printed by %g,
  // the metadata as "trackid title"; the error ("name: text") when it fails.
  std::string Get(const std::string& Destination, const std::string& Interface, const std::string& Property);
  // Sets Volume; "" or the error.
  std::string SetVolume(const std::string& Destination, double Volume);

  // From now on, collects the names of the properties that PropertiesChanged announces.
  void WatchChanges();
  // Waits for the next announcement; its property names, space-separated (empty after `Limit`).
  std::string NextChange(std::chrono::milliseconds Limit);

  // The owners of names that begin with `Prefix`.
  std::vector<std::string> NamesStartingWith(const std::string& Prefix);
  // Waits until a name that begins with `Prefix` is owned (a program has come up on the bus); the
  // first such name, or "" after `Limit`.
  std::string WaitForNameStartingWith(const std::string& Prefix, std::chrono::milliseconds Limit);

 private:
  // Handles one message that has come, or waits up to `Limit` for one; whether there was one.
  bool Process(std::chrono::milliseconds Limit);

  sd_bus* FBus = nullptr;
  std::vector<std::string> FChanges;
  std::uint64_t FSentCookie = 0;
  std::optional<std::string> FAnswer;
};

}  // namespace sib::test
