#include "tests/platform/desktop/session_bus.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <stdexcept>

namespace sib::test {
namespace {

std::filesystem::path PrivateFolder(const char* Stem) {
  std::string path = (std::filesystem::temp_directory_path() / (std::string(Stem) + "-XXXXXX")).string();
  if (!::mkdtemp(path.data())) throw std::runtime_error("mkdtemp");
  return path;
}

std::string ErrorOf(const sd_bus_error& Error) {
  return std::string(Error.name ? Error.name : "?") + ": " + (Error.message ? Error.message : "");
}

}  // namespace

// --- SessionBus ----------------------------------------------------------------------------------

SessionBus::SessionBus(const Options& AOptions) : FFolder(PrivateFolder("sib-bus")) {
  // A bus of the session kind that lets everyone in this test talk to everyone, and starts no services
  // unless asked to: then those a desktop session has, in a runtime folder of the bus's own.
  std::vector<std::string> environment = {"DBUS_SESSION_BUS_ADDRESS="};
  std::string services;
  if (AOptions.DesktopServices) {
    std::filesystem::create_directories(FFolder / "run");
    std::filesystem::permissions(FFolder / "run", std::filesystem::perms::owner_all);
    services = "  <standard_session_servicedirs/>\n";
    // The services keep their settings (dconf) and caches under the bus's folder, not the user's.
    for (const char* name : {"XDG_RUNTIME_DIR=", "HOME=", "XDG_CONFIG_HOME=", "XDG_CACHE_HOME=", "XDG_DATA_HOME="})
      environment.push_back(name + (FFolder / "run").string());
    environment.insert(environment.end(), AOptions.Environment.begin(), AOptions.Environment.end());
  }
  std::ofstream(FFolder / "bus.conf")
      << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig>\n  <type>session</type>\n  <listen>unix:path="
      << (FFolder / "bus").string()
      << "</listen>\n  <auth>EXTERNAL</auth>\n"
      << services
      << "  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
         "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
  // The daemon prints its address once it listens. Its complaints about resource limits that a test
  // cannot raise are of no interest.
  std::mutex mutex;
  std::condition_variable printed;
  std::string output;
  FDaemon = std::make_unique<ChildProcess>(ChildProcess::Options{
      .Argv = {"dbus-daemon", "--config-file=" + (FFolder / "bus.conf").string(), "--nofork", "--nopidfile",
               "--print-address=1"},
      .Environment = environment,
      .OnOutput =
          [&, first = true](std::span<const char> bytes) mutable {
            if (!first) return;  // the first line is all there is, and all that is wanted
            std::lock_guard lock(mutex);
            output.append(bytes.data(), bytes.size());
            first = output.find('\n') == std::string::npos;
            printed.notify_all();
          }});
  std::unique_lock lock(mutex);
  printed.wait_for(lock, std::chrono::seconds(30), [&] { return output.find('\n') != std::string::npos; });
  const std::size_t end = output.find('\n');
  FAddress = output.substr(0, end);
  lock.unlock();
  if (end == std::string::npos) {
    FDaemon.reset();  // its reader stops while what it writes into is still here
    throw std::runtime_error("dbus-daemon did not start");
  }
}

SessionBus::~SessionBus() {
  Kill();
  std::error_code ignored;
  std::filesystem::remove_all(FFolder, ignored);
}

void SessionBus::Kill() { FDaemon.reset(); }

// --- SilentBus -----------------------------------------------------------------------------------

SilentBus::SilentBus() : FFolder(PrivateFolder("sib-silent-bus")) {
  const std::string path = (FFolder / "bus").string();
  FSocket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (FSocket < 0 || ::bind(FSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(FSocket, 8) != 0)
    throw std::runtime_error("cannot listen on " + path);
  FAddress = "unix:path=" + path;
}

SilentBus::~SilentBus() {
  ::close(FSocket);
  std::error_code ignored;
  std::filesystem::remove_all(FFolder, ignored);
}

// --- RunBusClient --------------------------------------------------------------------------------

ClientResult RunBusClient(const std::string& Address, const std::vector<std::string>& Argv) {
  std::string output;  // the reader's until the end has been read
  ChildProcess client({.Argv = Argv,
                       .Environment = {"DBUS_SESSION_BUS_ADDRESS=" + Address},
                       .OnOutput = [&output](std::span<const char> bytes) { output.append(bytes.data(), bytes.size()); }});
  ClientResult result;
  result.ExitCode = client.Wait();
  result.Output = output;
  result.Errors = client.ErrorOutput();
  while (!result.Output.empty() && result.Output.back() == '\n') result.Output.pop_back();
  return result;
}

// --- BusClient -----------------------------------------------------------------------------------

BusClient::BusClient(const std::string& Address) {
  int r = sd_bus_new(&FBus);
  if (r >= 0) r = sd_bus_set_address(FBus, Address.c_str());
  if (r >= 0) r = sd_bus_set_bus_client(FBus, 1);
  if (r >= 0) r = sd_bus_start(FBus);
  if (r < 0) throw std::runtime_error("cannot reach the bus at " + Address + ": " + std::strerror(-r));
}

BusClient::~BusClient() { sd_bus_flush_close_unref(FBus); }

std::string BusClient::Call(const std::string& Destination, const std::string& Interface, const std::string& Member) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  const int r = sd_bus_call_method(FBus, Destination.c_str(), "/org/mpris/MediaPlayer2", Interface.c_str(),
                                   Member.c_str(), &error, &reply, "");
  const std::string result = r < 0 ? ErrorOf(error) : "";
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  return result;
}

void BusClient::Send(const std::string& Destination, const std::string& Interface, const std::string& Member) {
  FAnswer.reset();
  const int r = sd_bus_call_method_async(
      FBus, nullptr, Destination.c_str(), "/org/mpris/MediaPlayer2", Interface.c_str(), Member.c_str(),
      [](sd_bus_message* reply, void* self, sd_bus_error*) {
        const sd_bus_error* error = sd_bus_message_get_error(reply);
        static_cast<BusClient*>(self)->FAnswer = error ? ErrorOf(*error) : "";
        return 0;
      },
      this, "");
  // Out now, not at the next wait: the test may wait for the player rather than for the bus.
  if (r < 0 || sd_bus_flush(FBus) < 0) throw std::runtime_error("cannot send " + Member);
}

bool BusClient::Answered() {
  while (Process(std::chrono::milliseconds(0))) {
  }
  return FAnswer.has_value();
}

std::string BusClient::WaitForAnswer(std::chrono::milliseconds Limit) {
  const auto until = std::chrono::steady_clock::now() + Limit;
  while (!FAnswer && std::chrono::steady_clock::now() < until)
    Process(std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()));
  return FAnswer.value_or("no answer");
}

std::string BusClient::Get(const std::string& Destination, const std::string& Interface, const std::string& Property) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  std::string text;
  const int r = sd_bus_call_method(FBus, Destination.c_str(), "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties",
                                   "Get", &error, &reply, "ss", Interface.c_str(), Property.c_str());
  if (r < 0) {
    text = ErrorOf(error);
  } else {
    char type = 0;
    const char* contents = nullptr;
    sd_bus_message_peek_type(reply, &type, &contents);
    sd_bus_message_enter_container(reply, 'v', contents);
    const std::string signature = contents ? contents : "";
    if (signature == "s" || signature == "o") {
      const char* s = nullptr;
      sd_bus_message_read_basic(reply, signature[0], &s);
      text = s ? s : "";
    } else if (signature == "b") {
      int b = 0;
      sd_bus_message_read_basic(reply, 'b', &b);
      text = b ? "true" : "false";
    } else if (signature == "d" || signature == "x") {
      char number[64];
      if (signature == "d") {
        double d = 0;
        sd_bus_message_read_basic(reply, 'd', &d);
        std::snprintf(number, sizeof number, "%g", d);
      } else {
        std::int64_t x = 0;
        sd_bus_message_read_basic(reply, 'x', &x);
        std::snprintf(number, sizeof number, "%lld", static_cast<long long>(x));
      }
      text = number;
    } else if (signature == "a{sv}") {
      std::string track;
      std::string title;
      sd_bus_message_enter_container(reply, 'a', "{sv}");
      while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
        const char* key = nullptr;
        sd_bus_message_read_basic(reply, 's', &key);
        const std::string name = key ? key : "";
        const char* valueType = nullptr;
        sd_bus_message_peek_type(reply, nullptr, &valueType);
        const std::string inner = valueType ? valueType : "";
        if ((name == "mpris:trackid" && inner == "o") || (name == "xesam:title" && inner == "s")) {
          const char* value = nullptr;
          sd_bus_message_enter_container(reply, 'v', inner.c_str());
          sd_bus_message_read_basic(reply, inner[0], &value);
          sd_bus_message_exit_container(reply);
          (name == "xesam:title" ? title : track) = value ? value : "";
        } else {
          sd_bus_message_skip(reply, "v");
        }
        sd_bus_message_exit_container(reply);
      }
      sd_bus_message_exit_container(reply);
      text = track + " " + title;
    } else if (signature == "as") {
      char** strings = nullptr;
      sd_bus_message_read_strv(reply, &strings);
      for (char** s = strings; s && *s; ++s) {
        text += (text.empty() ? "" : " ") + std::string(*s);
        std::free(*s);
      }
      std::free(strings);
    } else {
      text = "(" + signature + ")";
    }
  }
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  return text;
}

std::string BusClient::SetVolume(const std::string& Destination, double Volume) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const int r = sd_bus_set_property(FBus, Destination.c_str(), "/org/mpris/MediaPlayer2",
                                    "org.mpris.MediaPlayer2.Player", "Volume", &error, "d", Volume);
  const std::string result = r < 0 ? ErrorOf(error) : "";
  sd_bus_error_free(&error);
  return result;
}

void BusClient::WatchChanges() {
  const int r = sd_bus_match_signal(
      FBus, nullptr, nullptr, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties", "PropertiesChanged",
      [](sd_bus_message* signal, void* self, sd_bus_error*) {
        const char* interface = nullptr;
        sd_bus_message_read_basic(signal, 's', &interface);
        std::string names;
        sd_bus_message_enter_container(signal, 'a', "{sv}");
        while (sd_bus_message_enter_container(signal, 'e', "sv") > 0) {
          const char* key = nullptr;
          sd_bus_message_read_basic(signal, 's', &key);
          sd_bus_message_skip(signal, "v");
          sd_bus_message_exit_container(signal);
          names += (names.empty() ? "" : " ") + std::string(key ? key : "");
        }
        static_cast<BusClient*>(self)->FChanges.push_back(names);
        return 0;
      },
      this);
  if (r < 0) throw std::runtime_error("cannot watch PropertiesChanged");
}

std::string BusClient::NextChange(std::chrono::milliseconds Limit) {
  const auto until = std::chrono::steady_clock::now() + Limit;
  while (FChanges.empty() && std::chrono::steady_clock::now() < until)
    Process(std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()));
  if (FChanges.empty()) return {};
  std::string first = FChanges.front();
  FChanges.erase(FChanges.begin());
  return first;
}

std::vector<std::string> BusClient::NamesStartingWith(const std::string& Prefix) {
  char** names = nullptr;
  std::vector<std::string> found;
  if (sd_bus_list_names(FBus, &names, nullptr) < 0) return found;
  for (char** name = names; name && *name; ++name) {
    if (std::string_view(*name).starts_with(Prefix)) found.emplace_back(*name);
    std::free(*name);
  }
  std::free(names);
  return found;
}

std::string BusClient::WaitForNameStartingWith(const std::string& Prefix, std::chrono::milliseconds Limit) {
  // Watched before looking, so that a name taken in between is not missed.
  const int r = sd_bus_match_signal(FBus, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", "NameOwnerChanged", nullptr, nullptr);
  if (r < 0) throw std::runtime_error("cannot watch the bus's names");
  const auto until = std::chrono::steady_clock::now() + Limit;
  for (;;) {
    if (const std::vector<std::string> names = NamesStartingWith(Prefix); !names.empty()) return names.front();
    const auto now = std::chrono::steady_clock::now();
    if (now >= until) return {};
    Process(std::chrono::duration_cast<std::chrono::milliseconds>(until - now));
  }
}

bool BusClient::Process(std::chrono::milliseconds Limit) {
  // One message received already, or else one wait for more.
  const int r = sd_bus_process(FBus, nullptr);
  if (r != 0) return r > 0;
  if (Limit.count() <= 0) return false;
  return sd_bus_wait(FBus, static_cast<std::uint64_t>(Limit.count()) * 1000u) > 0;
}

}  // namespace sib::test
