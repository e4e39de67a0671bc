#include "platform/desktop/running_instance.h"

#include <systemd/sd-bus.h>

#include <cstdlib>
#include <memory>

#include "platform/desktop/mpris_service.h"

namespace sib {
namespace {

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

// A name with no owner, or an owner that does not know the interface (an older program): nobody to
// hand the arguments to.
bool NobodyThere(const sd_bus_error& AError) {
  return sd_bus_error_has_name(&AError, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
         sd_bus_error_has_name(&AError, SD_BUS_ERROR_NAME_HAS_NO_OWNER) ||
         sd_bus_error_has_name(&AError, SD_BUS_ERROR_UNKNOWN_INTERFACE) ||
         sd_bus_error_has_name(&AError, SD_BUS_ERROR_UNKNOWN_METHOD) ||
         sd_bus_error_has_name(&AError, SD_BUS_ERROR_UNKNOWN_OBJECT);
}

}  // namespace

InstanceAnswer OpenInRunningInstance(const std::vector<std::string>& Arguments, const std::optional<std::string>& Address,
                                     std::chrono::milliseconds Limit) {
  std::string address;
  if (Address) {
    address = *Address;
  } else if (const char* fromEnvironment = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    address = fromEnvironment;
  }
  if (address.empty()) return {};
  sd_bus* raw = nullptr;
  int r = sd_bus_new(&raw);
  std::unique_ptr<sd_bus, BusCloser> bus(raw);
  if (r >= 0) r = sd_bus_set_address(bus.get(), address.c_str());
  if (r >= 0) r = sd_bus_set_bus_client(bus.get(), 1);
  if (r >= 0) r = sd_bus_start(bus.get());
  if (r < 0) return {};
  const std::string name = "org.mpris.MediaPlayer2." + MprisService::Options::ThisProgram().Name;
  sd_bus_message* rawCall = nullptr;
  r = sd_bus_message_new_method_call(bus.get(), &rawCall, name.c_str(), kObjectPath, kInstanceInterface, "Open");
  std::unique_ptr<sd_bus_message, MessageUnref> call(rawCall);
  if (r < 0) return {};
  // Nobody is started for the name: only a program that runs already is asked.
  sd_bus_message_set_auto_start(call.get(), 0);
  std::vector<const char*> strings;
  for (const std::string& argument : Arguments) strings.push_back(argument.c_str());
  strings.push_back(nullptr);
  r = sd_bus_message_append_strv(call.get(), const_cast<char**>(strings.data()));
  if (r < 0) return {};
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  r = sd_bus_call(bus.get(), call.get(), static_cast<std::uint64_t>(Limit.count()) * 1000u, &error, &reply);
  sd_bus_message_unref(reply);
  InstanceAnswer answer;
  if (r >= 0) {
    answer.Result = InstanceAnswer::Taken;
  } else if (sd_bus_error_is_set(&error) && !NobodyThere(error)) {
    answer.Result = InstanceAnswer::Refused;
    answer.Why = error.message ? error.message : error.name;
  }
  sd_bus_error_free(&error);
  return answer;
}

}  // namespace sib
