// Real-time scheduling for the threads that feed the sound device, as sound servers and players get
// it on a desktop: taken directly where the process may (root, CAP_SYS_NICE, an RLIMIT_RTPRIO), and
// otherwise asked of the desktop's RealtimeKit on the system bus, which grants it to ordinary users
// within limits (a CPU-time limit per thread between blocking calls, which the process must set).
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <utility>

struct sd_bus;

namespace sib {

enum class RealtimeGrant { Direct, RealtimeKit, Refused };

// Makes the thread of this process with kernel id `tid` a round-robin real-time thread at `priority`
// (lowered to what RealtimeKit allows). A refusal, a missing system bus or a missing RealtimeKit
// leaves the thread as it was. Never throws; waits at most about a second for the bus. Any thread.
RealtimeGrant makeThreadRealtime(pid_t tid, int priority);

// What the last request of the process got; Refused before any.
RealtimeGrant lastRealtimeGrant();

// A connection to RealtimeKit, opened on first use; one per process serves makeThreadRealtime. Calls
// are serialised (an sd-bus connection serves one thread at a time). A bus that cannot be reached is
// not looked for again.
class RealtimeKitClient {
 public:
  // busAddress: a D-Bus address, or empty for the system bus.
  explicit RealtimeKitClient(std::string busAddress = {}) : busAddress_(std::move(busAddress)) {}
  ~RealtimeKitClient();
  RealtimeKitClient(const RealtimeKitClient&) = delete;
  RealtimeKitClient& operator=(const RealtimeKitClient&) = delete;

  // Sets the process's RLIMIT_RTTIME as RealtimeKit requires, then asks for the thread, at no more
  // than the service's MaxRealtimePriority. Whether it was granted.
  bool makeThreadRealtime(pid_t tid, int priority);

 private:
  bool connectLocked();

  const std::string busAddress_;
  std::mutex mutex_;
  sd_bus* bus_ = nullptr;
  bool unreachable_ = false;
};

}  // namespace sib
