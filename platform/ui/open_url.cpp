#include "platform/ui/open_url.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/thread.h"

extern char** environ;

namespace sib {
namespace {

// One thread for the whole process that reaps the children it is given. It sleeps in poll() on a
// pidfd per child and an eventfd for news, so it costs nothing while there is nothing to reap. A
// child still running when the process ends is left to the system, which reaps orphans.
class ChildReaper {
 public:
  static ChildReaper& Instance() {
    static ChildReaper reaper;
    return reaper;
  }

  ~ChildReaper() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    signal();
    if (thread_.joinable()) thread_.join();
    ::close(news_);
  }

  void Adopt(pid_t child) {
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    // Without a pidfd (a kernel older than 5.3) the child stays a zombie until the process ends.
    if (pidfd < 0) return;
    {
      std::lock_guard lock(mutex_);
      children_.push_back({child, pidfd});
      ++running_;
      if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    signal();
  }

  int Running() {
    std::lock_guard lock(mutex_);
    return running_;
  }

  bool WaitForNone(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return reaped_.wait_for(lock, limit, [this] { return running_ == 0; });
  }

 private:
  struct Child {
    pid_t pid;
    int pidfd;
  };

  ChildReaper() : news_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

  void signal() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(news_, &one, sizeof one);
  }

  void finished() {
    {
      std::lock_guard lock(mutex_);
      --running_;
    }
    reaped_.notify_all();
  }

  void run() {
    Thread::NameCurrentThread("sib.reaper");
    std::vector<pollfd> fds;
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (stopping_) break;
        fds.assign(1, pollfd{news_, POLLIN, 0});
        for (const Child& child : children_) fds.push_back(pollfd{child.pidfd, POLLIN, 0});
      }
      if (::poll(fds.data(), fds.size(), -1) < 0) continue;  // EINTR
      std::uint64_t count;
      [[maybe_unused]] const auto read = ::read(news_, &count, sizeof count);
      reapExited(fds);
    }
    std::lock_guard lock(mutex_);
    for (const Child& child : children_) ::close(child.pidfd);
    children_.clear();
  }

  void reapExited(const std::vector<pollfd>& fds) {
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      pid_t pid = 0;
      {
        std::lock_guard lock(mutex_);
        std::erase_if(children_, [&](const Child& child) {
          if (child.pidfd != fds[i].fd) return false;
          pid = child.pid;
          return true;
        });
      }
      ::waitpid(pid, nullptr, 0);  // the pidfd was readable: the child has ended, this returns at once
      ::close(fds[i].fd);
      finished();
    }
  }

  std::mutex mutex_;
  std::condition_variable reaped_;
  std::vector<Child> children_;
  int running_ = 0;
  bool stopping_ = false;
  const int news_;
  std::thread thread_;
};

}  // namespace

bool OpenUrl(const std::string& address) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, "/");
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::string program = "xdg-open";
  std::string argument = address;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t child = 0;
  const int failed = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return false;
  ChildReaper::Instance().Adopt(child);
  return true;
}

int OpenUrlChildrenRunning() { return ChildReaper::Instance().Running(); }

bool WaitForOpenUrlChildren(std::chrono::milliseconds limit) { return ChildReaper::Instance().WaitForNone(limit); }

}  // namespace sib
