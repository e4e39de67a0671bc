#include "platform/core/realtime.h"

#include <sched.h>
#include <time.h>
#include <sys/resource.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace sib {
namespace {

constexpr const char* kService = "org.freedesktop.RealtimeKit1";
constexpr const char* kPath = "/org/freedesktop/RealtimeKit1";
constexpr const char* kInterface = "org.freedesktop.RealtimeKit1";
// RealtimeKit grants nothing to a process whose real-time threads could run unbounded: it asks for
// RLIMIT_RTTIME at or below its own maximum (200 ms by default). Our threads block every block.
constexpr rlim_t kRealtimeCpuLimitUs = 200'000;
constexpr std::uint64_t kBusTimeoutUs = 1'000'000;

std::atomic<RealtimeGrant> lastGrant{RealtimeGrant::Refused};

bool takeDirectly(pid_t tid, int priority) {
  sched_param param{};
  param.sched_priority = priority;
  return sched_setscheduler(tid, SCHED_RR | SCHED_RESET_ON_FORK, &param) == 0;
}

bool limitRealtimeCpu() {
  rlimit limit{};
  if (getrlimit(RLIMIT_RTTIME, &limit) != 0) return false;
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= kRealtimeCpuLimitUs) return true;
  limit.rlim_cur = limit.rlim_max = kRealtimeCpuLimitUs;
  return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

// sd-bus gives a bus that does not answer its greeting a minute and a half; we give it our own limit.
bool readyWithin(sd_bus* bus, std::uint64_t limitUs) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto nowUs = [](const timespec& t) {
    return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000 + static_cast<std::uint64_t>(t.tv_nsec) / 1000;
  };
  const std::uint64_t deadline = nowUs(now) + limitUs;
  while (true) {
    const int ready = sd_bus_is_ready(bus);
    if (ready != 0) return ready > 0;
    if (sd_bus_process(bus, nullptr) > 0) continue;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (nowUs(now) >= deadline) return false;
    if (sd_bus_wait(bus, deadline - nowUs(now)) < 0) return false;
  }
}

RealtimeKitClient& systemRealtimeKit() {
  static RealtimeKitClient instance;
  return instance;
}

}  // namespace

RealtimeGrant makeThreadRealtime(pid_t tid, int priority) {
  RealtimeGrant grant = RealtimeGrant::Refused;
  if (takeDirectly(tid, priority)) {
    grant = RealtimeGrant::Direct;
  } else if (systemRealtimeKit().makeThreadRealtime(tid, priority)) {
    grant = RealtimeGrant::RealtimeKit;
  }
  lastGrant.store(grant, std::memory_order_release);
  return grant;
}

RealtimeGrant lastRealtimeGrant() { return lastGrant.load(std::memory_order_acquire); }

RealtimeKitClient::~RealtimeKitClient() {
  if (bus_ != nullptr) sd_bus_flush_close_unref(bus_);
}

bool RealtimeKitClient::makeThreadRealtime(pid_t tid, int priority) {
  std::lock_guard lock(mutex_);
  if (!connectLocked() || !limitRealtimeCpu()) return false;
  sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its compound literal
  std::int32_t most = 0;
  const int read = sd_bus_get_property_trivial(bus_, kService, kPath, kInterface, "MaxRealtimePriority", &error, 'i', &most);
  sd_bus_error_free(&error);
  if (read < 0) {
    // No service, or a bus that does not answer: every later request would wait as long again.
    sd_bus_flush_close_unref(bus_);
    bus_ = nullptr;
    unreachable_ = true;
    return false;
  }
  if (most > 0) priority = std::min(priority, static_cast<int>(most));
  error = sd_bus_error{};
  const int result = sd_bus_call_method(bus_, kService, kPath, kInterface, "MakeThreadRealtime", &error, nullptr, "tu",
                                        static_cast<std::uint64_t>(tid), static_cast<std::uint32_t>(priority));
  sd_bus_error_free(&error);
  return result >= 0;
}

bool RealtimeKitClient::connectLocked() {
  if (bus_ != nullptr) return true;
  if (unreachable_) return false;
  int opened = 0;
  if (busAddress_.empty()) {
    opened = sd_bus_open_system(&bus_);
  } else {
    opened = sd_bus_new(&bus_);
    if (opened >= 0) opened = sd_bus_set_address(bus_, busAddress_.c_str());
    if (opened >= 0) opened = sd_bus_set_bus_client(bus_, 1);
    if (opened >= 0) opened = sd_bus_start(bus_);
  }
  if (opened >= 0 && !readyWithin(bus_, kBusTimeoutUs)) opened = -ETIMEDOUT;
  if (opened < 0) {
    if (bus_ != nullptr) sd_bus_close_unref(bus_);
    bus_ = nullptr;
    unreachable_ = true;
    return false;
  }
  sd_bus_set_method_call_timeout(bus_, kBusTimeoutUs);
  return true;
}

}  // namespace sib
