#include "platform/desktop/mpris_service.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/core/run_thread.h"

namespace sib {
namespace mpris_detail {
namespace {

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kBusNamePrefix = "org.mpris.MediaPlayer2.";
// The reply codes of the bus's RequestName.
constexpr std::uint32_t kPrimaryOwner = 1;
constexpr std::uint32_t kAlreadyOwner = 4;
// How long the closing thread lets the bus take what is still queued (the answer to Quit).
constexpr std::chrono::milliseconds kFlushLimit{250};

std::uint64_t MonotonicMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
}

std::string ErrorText(int negativeErrno) { return std::strerror(-negativeErrno); }

}  // namespace

struct Core : std::enable_shared_from_this<Core> {
  Core(MprisService::Options AOptions, const MprisState& AState, MprisService::CommandHandler AOnCommand)
      : options(std::move(AOptions)), onCommand(std::move(AOnCommand)), state(AState) {}
  ~Core() {
    if (wakeFd >= 0) ::close(wakeFd);
  }

  const MprisService::Options options;
  const MprisService::CommandHandler onCommand;
  std::string address;  // the bus's, fixed before the thread starts
  int wakeFd = -1;      // an eventfd that ends the thread's wait

  // Shared with other threads.
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  MprisState state;  // as last published
  MprisService::Status status = MprisService::Status::Connecting;
  std::string busName;
  bool stopping = false;
  std::uint64_t lastSerial = 0;  // the newest command handed out
  std::uint64_t waiting = 0;     // the command whose answer the thread waits for (0: none)
  bool answered = false;
  std::optional<std::string> refusal;

  // The thread's own.
  sd_bus* bus = nullptr;
  MprisState announced;
  bool askedForInstance = false;
  bool turnedOff = false;

  void Wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
  }

  MprisState Snapshot() const {
    std::lock_guard lock(mutex);
    return state;
  }
  bool Stopping() const {
    std::lock_guard lock(mutex);
    return stopping;
  }

  void Run();
  bool Connect();
  void Loop();
  void WaitForWork();
  void Announce();
  void Close();
  int RequestName(const std::string& name);
  // The name asked for now: the player's own, or after it was found taken, one for this process.
  std::string AskedName() const;
  void Serve(const std::string& name);
  void TurnOff(const std::string& reason);

  // Hands the command to the handler and waits for its answer; the refusal, if any.
  std::optional<std::string> Perform(MprisCommand command, double value);
  // Hands work over with a reply through `hand` and waits for the answer; the refusal, if any.
  std::optional<std::string> Await(const std::function<void(MprisDone)>& hand);

  static int OnOpen(sd_bus_message* message, void* userdata, sd_bus_error* error);

  static int OnMethod(sd_bus_message* message, void* userdata, sd_bus_error* error);
  static int OnGet(sd_bus* bus, const char* path, const char* interface, const char* property, sd_bus_message* reply,
                   void* userdata, sd_bus_error* error);
  static int OnSetVolume(sd_bus* bus, const char* path, const char* interface, const char* property,
                         sd_bus_message* value, void* userdata, sd_bus_error* error);
  static int OnNameReply(sd_bus_message* reply, void* userdata, sd_bus_error* error);
};

namespace {

constexpr auto kMethod = SD_BUS_VTABLE_UNPRIVILEGED;
constexpr auto kConst = SD_BUS_VTABLE_PROPERTY_CONST;
constexpr auto kChanging = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;

const sd_bus_vtable kRootVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", Core::OnMethod, kMethod),
    SD_BUS_METHOD("Quit", "", "", Core::OnMethod, kMethod),
    SD_BUS_PROPERTY("CanQuit", "b", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("CanRaise", "b", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("HasTrackList", "b", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("Identity", "s", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("DesktopEntry", "s", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", Core::OnGet, 0, kConst),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kPlayerVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", Core::OnMethod, kMethod),
    SD_BUS_METHOD("Previous", "", "", Core::OnMethod, kMethod),
    SD_BUS_METHOD("Pause", "", "", Core::OnMethod, kMethod),
    SD_BUS_METHOD("PlayPause", "", "", Core::OnMethod, kMethod),
    SD_BUS_METHOD("Stop", "", "", Core::OnMethod, kMethod),
    SD_BUS_METHOD("Play", "", "", Core::OnMethod, kMethod),
    SD_BUS_METHOD("Seek", "x", "", Core::OnMethod, kMethod),
    SD_BUS_METHOD("SetPosition", "ox", "", Core::OnMethod, kMethod),
    SD_BUS_METHOD("OpenUri", "s", "", Core::OnMethod, kMethod),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", Core::OnGet, 0, kChanging),
    SD_BUS_PROPERTY("Rate", "d", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("Metadata", "a{sv}", Core::OnGet, 0, kChanging),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", Core::OnGet, Core::OnSetVolume, 0, kChanging | kMethod),
    // The position runs on without announcements, as the interface has it; a steady noise has none.
    SD_BUS_PROPERTY("Position", "x", Core::OnGet, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("MaximumRate", "d", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("CanGoNext", "b", Core::OnGet, 0, kChanging),
    SD_BUS_PROPERTY("CanGoPrevious", "b", Core::OnGet, 0, kChanging),
    SD_BUS_PROPERTY("CanPlay", "b", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("CanPause", "b", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("CanSeek", "b", Core::OnGet, 0, kConst),
    SD_BUS_PROPERTY("CanControl", "b", Core::OnGet, 0, kConst),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kInstanceVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Open", "as", "", Core::OnOpen, kMethod),
    SD_BUS_VTABLE_END,
};

struct NamedCommand {
  std::string_view Member;
  MprisCommand Command;
};
constexpr NamedCommand kCommands[] = {
    {"Raise", MprisCommand::Raise}, {"Quit", MprisCommand::Quit},   {"Play", MprisCommand::Play},
    {"Pause", MprisCommand::Pause}, {"PlayPause", MprisCommand::PlayPause}, {"Stop", MprisCommand::Stop},
    {"Next", MprisCommand::Next},   {"Previous", MprisCommand::Previous},
};

// The metadata of what plays: its track id and its title.
int AppendMetadata(sd_bus_message* reply, const std::string& name, const MprisState& state) {
  const std::string track = "/" + name + "/track/" + std::to_string(state.Track);
  int r = sd_bus_message_open_container(reply, 'a', "{sv}");
  if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "mpris:trackid", "o", track.c_str());
  if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "xesam:title", "s", state.Title.c_str());
  if (r >= 0) r = sd_bus_message_close_container(reply);
  return r;
}

}  // namespace

std::optional<std::string> Core::Perform(MprisCommand command, double value) {
  return Await([&](MprisDone done) { onCommand(command, value, std::move(done)); });
}

int Core::OnOpen(sd_bus_message* message, void* userdata, sd_bus_error* error) {
  Core& core = *static_cast<Core*>(userdata);
  char** strings = nullptr;
  if (const int r = sd_bus_message_read_strv(message, &strings); r < 0) return r;
  std::vector<std::string> arguments;
  for (char** s = strings; s && *s; ++s) {
    arguments.emplace_back(*s);
    std::free(*s);
  }
  std::free(strings);
  if (const std::optional<std::string> refused =
          core.Await([&](MprisDone done) { core.options.OnOpen(std::move(arguments), std::move(done)); }))
    return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, refused->c_str());
  return sd_bus_reply_method_return(message, "");
}

std::optional<std::string> Core::Await(const std::function<void(MprisDone)>& hand) {
  std::uint64_t serial = 0;
  {
    std::lock_guard lock(mutex);
    if (stopping) return std::string("The player is closing");
    serial = ++lastSerial;
    waiting = serial;
    answered = false;
    refusal.reset();
  }
  try {
    hand(std::make_shared<MprisReply>(shared_from_this(), serial));
  } catch (const std::exception& error) {
    std::lock_guard lock(mutex);
    waiting = 0;
    return std::string(error.what());
  }
  std::unique_lock lock(mutex);
  changed.wait_for(lock, options.CommandLimit, [&] { return answered || stopping; });
  waiting = 0;
  if (!answered && stopping) return std::string("The player is closing");
  return std::exchange(refusal, std::nullopt);
}

int Core::OnMethod(sd_bus_message* message, void* userdata, sd_bus_error* error) {
  Core& core = *static_cast<Core*>(userdata);
  const std::string_view member = sd_bus_message_get_member(message);
  if (member == "OpenUri") return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "This player opens no addresses");
  const auto* named = std::find_if(std::begin(kCommands), std::end(kCommands),
                                   [&](const NamedCommand& entry) { return entry.Member == member; });
  // Seeking has no effect (CanSeek is false), nor has Raise without something to raise.
  const bool acts = named != std::end(kCommands) && (named->Command != MprisCommand::Raise || core.options.CanRaise);
  if (acts) {
    if (const std::optional<std::string> refused = core.Perform(named->Command, 0))
      return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, refused->c_str());
  }
  return sd_bus_reply_method_return(message, "");
}

int Core::OnGet(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
                sd_bus_error*) {
  const Core& core = *static_cast<Core*>(userdata);
  const std::string_view name = property;
  const MprisState state = core.Snapshot();
  const auto flag = [&](bool value) { return sd_bus_message_append(reply, "b", static_cast<int>(value)); };
  if (name == "Identity") return sd_bus_message_append(reply, "s", core.options.Identity.c_str());
  if (name == "DesktopEntry") return sd_bus_message_append(reply, "s", core.options.DesktopEntry.c_str());
  if (name == "SupportedUriSchemes" || name == "SupportedMimeTypes") return sd_bus_message_append(reply, "as", 0);
  if (name == "CanRaise") return flag(core.options.CanRaise);
  if (name == "HasTrackList" || name == "CanSeek") return flag(false);
  if (name == "PlaybackStatus") return sd_bus_message_append(reply, "s", state.Playing ? "Playing" : "Stopped");
  if (name == "Rate" || name == "MinimumRate" || name == "MaximumRate") return sd_bus_message_append(reply, "d", 1.0);
  if (name == "Metadata") return AppendMetadata(reply, core.options.Name, state);
  if (name == "Volume") return sd_bus_message_append(reply, "d", state.Volume);
  if (name == "Position") return sd_bus_message_append(reply, "x", std::int64_t{0});
  if (name == "CanGoNext") return flag(state.CanGoNext);
  if (name == "CanGoPrevious") return flag(state.CanGoPrevious);
  // CanQuit, CanPlay, CanPause, CanControl.
  return flag(true);
}

int Core::OnSetVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void* userdata,
                      sd_bus_error* error) {
  Core& core = *static_cast<Core*>(userdata);
  double volume = 0;
  if (const int r = sd_bus_message_read(value, "d", &volume); r < 0) return r;
  // Below 0 is silence and above 1 the loudest the player goes; what is no number at all is refused.
  if (!std::isfinite(volume))
    return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "The volume must be a number from 0.0 to 1.0");
  if (const std::optional<std::string> refused = core.Perform(MprisCommand::SetVolume, std::clamp(volume, 0.0, 1.0)))
    return sd_bus_error_set(error, SD_BUS_ERROR_FAILED, refused->c_str());
  return 0;
}

int Core::OnNameReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
  Core& core = *static_cast<Core*>(userdata);
  const std::string asked = core.AskedName();
  if (const sd_bus_error* failure = sd_bus_message_get_error(reply)) {
    core.TurnOff("can't own the name " + asked + " on the session bus: " +
                 (failure->message ? failure->message : failure->name ? failure->name : "refused"));
    return 0;
  }
  std::uint32_t result = 0;
  if (const int r = sd_bus_message_read(reply, "u", &result); r < 0) {
    core.TurnOff("can't own the name " + asked + " on the session bus: " + ErrorText(r));
    return 0;
  }
  if (result == kPrimaryOwner || result == kAlreadyOwner) {
    core.Serve(asked);
  } else if (!core.askedForInstance) {
    // Another process plays under the name: this one takes a name of its own beside it.
    core.askedForInstance = true;
    if (const int r = core.RequestName(core.AskedName()); r < 0)
      core.TurnOff("can't own a name on the session bus: " + ErrorText(r));
  } else {
    core.TurnOff("the name " + asked + " is taken on the session bus");
  }
  return 0;
}

std::string Core::AskedName() const {
  const std::string base = kBusNamePrefix + options.Name;
  return askedForInstance ? base + ".instance" + std::to_string(::getpid()) : base;
}

int Core::RequestName(const std::string& name) {
  return sd_bus_request_name_async(bus, nullptr, name.c_str(), 0, &Core::OnNameReply, this);
}

void Core::Serve(const std::string& name) {
  std::lock_guard lock(mutex);
  busName = name;
  status = MprisService::Status::Serving;
  // Whoever looks now reads the state as it is; only later changes are announced.
  announced = state;
  changed.notify_all();
}

void Core::TurnOff(const std::string& reason) {
  if (turnedOff) return;
  turnedOff = true;
  // The notice first: whoever waits for Off finds it told.
  const std::string line = reason + "; media keys and desktop control are off";
  if (options.OnNotice)
    options.OnNotice(line);
  else
    std::cerr << (options.Name + ": " + line + "\n") << std::flush;
  std::lock_guard lock(mutex);
  status = MprisService::Status::Off;
  busName.clear();
  changed.notify_all();
}

void Core::Run() {
  if (address.empty()) {
    TurnOff("no session bus (DBUS_SESSION_BUS_ADDRESS is not set)");
    return;
  }
  if (Connect()) Loop();
  Close();
}

bool Core::Connect() {
  // Commands are answered by this thread alone, whoever sends them: the session bus admits only its
  // user's own programs.
  int r = sd_bus_new(&bus);
  if (r >= 0) r = sd_bus_set_address(bus, address.c_str());
  if (r >= 0) r = sd_bus_set_bus_client(bus, 1);
  if (r >= 0) r = sd_bus_set_trusted(bus, 1);
  if (r >= 0) r = sd_bus_start(bus);
  if (r >= 0) r = sd_bus_add_object_vtable(bus, nullptr, kObjectPath, kRootInterface, kRootVtable, this);
  if (r >= 0) r = sd_bus_add_object_vtable(bus, nullptr, kObjectPath, kPlayerInterface, kPlayerVtable, this);
  if (r >= 0 && options.OnOpen)
    r = sd_bus_add_object_vtable(bus, nullptr, kObjectPath, kInstanceInterface, kInstanceVtable, this);
  if (r >= 0) r = RequestName(AskedName());
  if (r < 0) TurnOff("can't reach the session bus at " + address + ": " + ErrorText(r));
  return r >= 0;
}

void Core::Loop() {
  while (!Stopping()) {
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0 || sd_bus_is_open(bus) <= 0) {
      const bool served = [&] {
        std::lock_guard lock(mutex);
        return status == MprisService::Status::Serving;
      }();
      TurnOff(served ? std::string("lost the session bus")
                     : "can't reach the session bus at " + address + ": " + ErrorText(r < 0 ? r : -ECONNRESET));
      return;
    }
    Announce();
    if (r == 0) WaitForWork();
  }
}

void Core::WaitForWork() {
  const int events = sd_bus_get_events(bus);
  pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(events > 0 ? events : 0), 0}, {wakeFd, POLLIN, 0}};
  std::uint64_t until = UINT64_MAX;
  int timeout = -1;
  if (sd_bus_get_timeout(bus, &until) >= 0 && until != UINT64_MAX) {
    const std::uint64_t now = MonotonicMicroseconds();
    timeout = until <= now ? 0 : static_cast<int>(std::min<std::uint64_t>((until - now + 999) / 1000, INT_MAX));
  }
  if (::poll(fds, 2, timeout) > 0 && (fds[1].revents & POLLIN)) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd, &count, sizeof count);
  }
}

void Core::Announce() {
  MprisState now;
  {
    std::lock_guard lock(mutex);
    if (status != MprisService::Status::Serving) return;
    now = state;
  }
  std::vector<const char*> names;
  if (now.Playing != announced.Playing) names.push_back("PlaybackStatus");
  if (now.Volume != announced.Volume) names.push_back("Volume");
  if (now.Title != announced.Title || now.Track != announced.Track) names.push_back("Metadata");
  if (now.CanGoNext != announced.CanGoNext) names.push_back("CanGoNext");
  if (now.CanGoPrevious != announced.CanGoPrevious) names.push_back("CanGoPrevious");
  announced = now;
  if (names.empty()) return;
  names.push_back(nullptr);
  sd_bus_emit_properties_changed_strv(bus, kObjectPath, kPlayerInterface, const_cast<char**>(names.data()));
}

void Core::Close() {
  if (!bus) return;
  // What is still queued goes out if the bus takes it soon; a bus that reads nothing cannot hold the
  // program's end up for long.
  const std::uint64_t until = MonotonicMicroseconds() + static_cast<std::uint64_t>(kFlushLimit.count()) * 1000u;
  while (sd_bus_is_open(bus) > 0) {
    const int events = sd_bus_get_events(bus);
    const std::uint64_t now = MonotonicMicroseconds();
    if (events <= 0 || !(events & POLLOUT) || now >= until) break;
    pollfd fd{sd_bus_get_fd(bus), POLLOUT, 0};
    ::poll(&fd, 1, static_cast<int>((until - now + 999) / 1000));
    if (sd_bus_flush(bus) < 0) break;
  }
  bus = sd_bus_close_unref(bus);
}

}  // namespace mpris_detail

using mpris_detail::Core;

MprisService::Options MprisService::Options::ThisProgram() {
  Options options;
  options.Name = SIB_MPRIS_NAME;
  options.Identity = SIB_MPRIS_IDENTITY;
  options.DesktopEntry = SIB_DESKTOP_ENTRY;
  return options;
}

MprisReply::MprisReply(std::shared_ptr<Core> ACore, std::uint64_t ASerial)
    : FCore(std::move(ACore)), FSerial(ASerial) {}

MprisReply::~MprisReply() {
  std::lock_guard lock(FCore->mutex);
  if (FCore->waiting != FSerial) return;
  FCore->answered = true;
  FCore->changed.notify_all();
}

void MprisReply::Refuse(std::string Why) {
  std::lock_guard lock(FCore->mutex);
  if (FCore->waiting == FSerial) FCore->refusal = std::move(Why);
}

MprisService::MprisService(Options AOptions, const MprisState& AState, CommandHandler AOnCommand)
    : FCore(std::make_shared<Core>(std::move(AOptions), AState, std::move(AOnCommand))) {
  if (FCore->options.Address) {
    FCore->address = *FCore->options.Address;
  } else if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    FCore->address = address;
  }
  FCore->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (FCore->wakeFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  FThread = std::make_unique<RunThread>("mpris", [core = FCore] { core->Run(); });
  FThread->Start();
}

MprisService::~MprisService() {
  {
    std::lock_guard lock(FCore->mutex);
    FCore->stopping = true;
    FCore->changed.notify_all();
  }
  FCore->Wake();
  FThread.reset();
}

void MprisService::Publish(const MprisState& AState) {
  {
    std::lock_guard lock(FCore->mutex);
    if (FCore->state == AState) return;
    FCore->state = AState;
  }
  FCore->Wake();
}

MprisService::Status MprisService::CurrentStatus() const {
  std::lock_guard lock(FCore->mutex);
  return FCore->status;
}

MprisService::Status MprisService::WaitWhile(Status AStatus, std::chrono::milliseconds Limit) const {
  std::unique_lock lock(FCore->mutex);
  FCore->changed.wait_for(lock, Limit, [&] { return FCore->status != AStatus; });
  return FCore->status;
}

std::string MprisService::BusName() const {
  std::lock_guard lock(FCore->mutex);
  return FCore->busName;
}

}  // namespace sib
