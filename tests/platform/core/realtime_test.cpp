// Real-time scheduling asked of RealtimeKit: a stand-in service on a private bus records what it is
// asked; a bus that is missing or never answers is given up quietly.
#include "platform/core/realtime.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

#include "tests/platform/desktop/session_bus.h"

namespace sib {
namespace {

using namespace std::chrono_literals;

// org.freedesktop.RealtimeKit1 on a bus of the test's: grants every MakeThreadRealtime (or refuses
// them all) and allows priorities up to 5, as a desktop's service might.
class StandInRealtimeKit {
 public:
  StandInRealtimeKit(const std::string& address, bool grants) : grants_(grants) {
    EXPECT_GE(sd_bus_new(&bus_), 0);
    sd_bus_set_address(bus_, address.c_str());
    sd_bus_set_bus_client(bus_, 1);
    EXPECT_GE(sd_bus_start(bus_), 0);
    EXPECT_GE(sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/RealtimeKit1", "org.freedesktop.RealtimeKit1",
                                       kVtable, this),
              0);
    EXPECT_GE(sd_bus_request_name(bus_, "org.freedesktop.RealtimeKit1", 0), 0);
    serving_ = std::thread([this] { serve(); });
  }
  ~StandInRealtimeKit() {
    stop_ = true;
    serving_.join();
    sd_bus_flush_close_unref(bus_);
  }

  struct Request {
    std::uint64_t tid = 0;
    std::uint32_t priority = 0;
  };
  std::vector<Request> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  static int makeThreadRealtime(sd_bus_message* message, void* self, sd_bus_error* error) {
    auto* kit = static_cast<StandInRealtimeKit*>(self);
    Request request;
    if (sd_bus_message_read(message, "tu", &request.tid, &request.priority) < 0) return -EINVAL;
    {
      std::lock_guard lock(kit->mutex_);
      kit->requests_.push_back(request);
    }
    if (!kit->grants_) return sd_bus_error_set(error, "org.freedesktop.DBus.Error.AccessDenied", "not for you");
    return sd_bus_reply_method_return(message, "");
  }
  static int maxPriority(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "i", std::int32_t{5});
  }

  // The service's own loop; it looks at its stop flag between waits of at most 50 ms.
  void serve() {
    while (!stop_) {
      if (sd_bus_process(bus_, nullptr) > 0) continue;
      sd_bus_wait(bus_, 50'000);
    }
  }

  static constexpr sd_bus_vtable kVtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("MakeThreadRealtime", "tu", "", &StandInRealtimeKit::makeThreadRealtime, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_PROPERTY("MaxRealtimePriority", "i", &StandInRealtimeKit::maxPriority, 0, SD_BUS_VTABLE_PROPERTY_CONST),
      SD_BUS_VTABLE_END};

  const bool grants_;
  sd_bus* bus_ = nullptr;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Request> requests_;
  std::thread serving_;
};

struct GrantCase {
  const char* what;
  bool grants;
};

class RealtimeKitRequest : public ::testing::TestWithParam<GrantCase> {};

TEST_P(RealtimeKitRequest, AsksForTheThreadAtNoMoreThanTheServicesMostWithTheCpuLimitSet) {
  const GrantCase& row = GetParam();
  test::SessionBus bus;
  StandInRealtimeKit kit(bus.Address(), row.grants);
  RealtimeKitClient client(bus.Address());

  EXPECT_EQ(client.makeThreadRealtime(gettid(), 10), row.grants) << row.what;

  const auto requests = kit.requests();
  ASSERT_EQ(requests.size(), 1u) << row.what;
  EXPECT_EQ(requests[0].tid, static_cast<std::uint64_t>(gettid())) << row.what;
  EXPECT_EQ(requests[0].priority, 5u) << row.what << ": lowered to MaxRealtimePriority";
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_RTTIME, &limit), 0);
  EXPECT_NE(limit.rlim_max, RLIM_INFINITY) << "RealtimeKit serves only processes with a real-time CPU limit";
  EXPECT_LE(limit.rlim_max, rlim_t{200'000});
}

INSTANTIATE_TEST_SUITE_P(Table, RealtimeKitRequest,
                         ::testing::Values(GrantCase{"granted", true}, GrantCase{"refused", false}),
                         [](const auto& info) { return std::string(info.param.what); });

// Neither a bus that is not there nor one that never answers holds the thread that asks for long,
// and a missing bus is not looked for again.
TEST(RealtimeKitRequest, WithoutAnAnsweringBusIsRefusedWithinAboutASecond) {
  test::SilentBus silent;
  struct Row {
    const char* what;
    std::string address;
  };
  const Row rows[] = {{"no bus", "unix:path=/nonexistent/system_bus_socket"}, {"a bus that never answers", silent.Address()}};
  for (const Row& row : rows) {
    RealtimeKitClient client(row.address);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.makeThreadRealtime(gettid(), 10)) << row.what;
    EXPECT_FALSE(client.makeThreadRealtime(gettid(), 10)) << row.what;
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 10s) << row.what;
  }
}

}  // namespace
}  // namespace sib
