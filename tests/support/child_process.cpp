#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>

extern char** environ;

namespace sib::test {
namespace {

// This process's environment with `Extra` put over it: a name given there replaces the inherited
// value, and a later entry an earlier one.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& Extra) {
  std::map<std::string, std::string> merged;
  const auto add = [&](const std::string& entry) {
    const std::size_t equals = entry.find('=');
    if (equals != std::string::npos) merged[entry.substr(0, equals)] = entry;
  };
  for (char** e = environ; *e != nullptr; ++e) add(*e);
  for (const std::string& entry : Extra) add(entry);
  std::vector<std::string> out;
  for (auto& [name, entry] : merged) out.push_back(entry);
  return out;
}

std::vector<char*> Pointers(std::vector<std::string>& Strings) {
  std::vector<char*> out;
  for (std::string& s : Strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// Both ends close on exec, so that no other child inherits them.
void OpenPipe(int (&AFds)[2]) {
  if (::pipe2(AFds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
}

// The child's side, between fork and exec: only calls that are safe there. Reports errno on `AFailed`
// when it cannot exec.
[[noreturn]] void BecomeChild(pid_t AParent, const char* AFolder, int AInput, int AOutput, int AErrors, int AFailed,
                              char* const* AArgv, char* const* AEnvironment) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != AParent) ::_exit(127);  // the test ended before the request took hold
  ::setpgid(0, 0);
  int error = 0;
  if (AFolder != nullptr && ::chdir(AFolder) != 0) error = errno;
  if (error == 0) {
    ::dup2(AInput, 0);
    ::dup2(AOutput, 1);
    ::dup2(AErrors, 2);
    ::execvpe(AArgv[0], AArgv, AEnvironment);
    error = errno;
  }
  [[maybe_unused]] const ssize_t written = ::write(AFailed, &error, sizeof error);
  ::_exit(127);
}

}  // namespace

ChildProcess::ChildProcess(Options AOptions) {
  std::vector<std::string> environment = MergedEnvironment(AOptions.Environment);
  const std::vector<char*> argv = Pointers(AOptions.Argv);
  const std::vector<char*> envp = Pointers(environment);
  const std::string folder = AOptions.Folder.string();
  int output[2] = {-1, -1};
  int errors[2] = {-1, -1};
  if (AOptions.Log.empty()) {
    OpenPipe(output);
    OpenPipe(errors);
  } else {
    output[1] = ::open(AOptions.Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (output[1] < 0) throw std::runtime_error("cannot write " + AOptions.Log.string() + ": " + std::strerror(errno));
    errors[1] = output[1];
  }
  const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int failed[2];
  OpenPipe(failed);
  const pid_t parent = ::getpid();
  FPid = ::fork();
  if (FPid == 0)
    BecomeChild(parent, folder.empty() ? nullptr : folder.c_str(), input, output[1], errors[1], failed[1], argv.data(),
                envp.data());
  const int forkError = errno;
  ::close(input);
  ::close(output[1]);
  if (errors[1] != output[1]) ::close(errors[1]);
  ::close(failed[1]);
  // The pipe closes on exec, or brings the reason the program could not be run.
  int execError = 0;
  ssize_t got = -1;
  if (FPid > 0) {
    do got = ::read(failed[0], &execError, sizeof execError);
    while (got < 0 && errno == EINTR);
  }
  ::close(failed[0]);
  if (FPid < 0 || got > 0) {
    if (output[0] >= 0) ::close(output[0]);
    if (errors[0] >= 0) ::close(errors[0]);
    if (FPid > 0) ::waitpid(FPid, nullptr, 0);
    throw std::runtime_error("cannot start " + AOptions.Argv[0] + ": " +
                             std::strerror(FPid < 0 ? forkError : execError));
  }
  FPidFd = static_cast<int>(::syscall(SYS_pidfd_open, FPid, 0));
  if (output[0] >= 0) {
    FOutputReader = std::thread([this, fd = output[0], onOutput = std::move(AOptions.OnOutput)] { Read(fd, onOutput); });
    FErrorReader = std::thread([this, fd = errors[0]] {
      Read(fd, [this](std::span<const char> bytes) {
        std::lock_guard lock(FMutex);
        FErrors.append(bytes.data(), bytes.size());
        FErrorsGrown.notify_all();
      });
    });
    pthread_setname_np(FOutputReader.native_handle(), "child.output");
    pthread_setname_np(FErrorReader.native_handle(), "child.errors");
  }
}

ChildProcess::~ChildProcess() {
  if (Running()) {
    Kill(SIGKILL);
    Wait();
  }
  if (FOutputReader.joinable()) FOutputReader.join();
  if (FErrorReader.joinable()) FErrorReader.join();
  if (FPidFd >= 0) ::close(FPidFd);
}

void ChildProcess::Read(int AFd, const std::function<void(std::span<const char>)>& ASink) {
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(AFd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (ASink) ASink(std::span<const char>(buffer, static_cast<std::size_t>(n)));
  }
  ::close(AFd);
}

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds Limit) {
  if (FExitCode) return FExitCode;
  const int timeout = Limit.count() > INT_MAX ? -1 : static_cast<int>(Limit.count());
  int status = 0;
  pid_t reaped = 0;
  if (FPidFd >= 0) {
    pollfd ended{FPidFd, POLLIN, 0};
    int ready;
    do ready = ::poll(&ended, 1, timeout);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0) return std::nullopt;
    reaped = ::waitpid(FPid, &status, 0);
  } else {
    // No pidfd from this kernel: looked at every 10 ms.
    for (auto waited = std::chrono::milliseconds(0); (reaped = ::waitpid(FPid, &status, WNOHANG)) == 0;
         waited += std::chrono::milliseconds(10)) {
      if (timeout >= 0 && waited >= Limit) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (reaped != FPid) return std::nullopt;
  FExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  // What it wrote is read to the end before its end is told.
  if (FOutputReader.joinable()) FOutputReader.join();
  if (FErrorReader.joinable()) FErrorReader.join();
  return FExitCode;
}

int ChildProcess::Wait() { return *WaitForExit(std::chrono::milliseconds::max()); }

void ChildProcess::Kill(int Signal) {
  if (!FExitCode) ::kill(FPid, Signal);
}

std::string ChildProcess::ErrorOutput() const {
  std::lock_guard lock(FMutex);
  return FErrors;
}

bool ChildProcess::WaitForErrorOutput(const std::string& Text, std::chrono::milliseconds Limit) {
  std::unique_lock lock(FMutex);
  return FErrorsGrown.wait_for(lock, Limit, [&] { return FErrors.find(Text) != std::string::npos; });
}

int RunQuietly(const std::vector<std::string>& Argv, const std::vector<std::string>& Environment) {
  try {
    ChildProcess child({Argv, Environment, {}, {}, {}});
    return child.WaitForExit(std::chrono::seconds(30)).value_or(-1);
  } catch (const std::runtime_error&) {
    return -1;
  }
}

std::string LeakSuppressions(const std::filesystem::path& File, const std::vector<std::string>& Libraries) {
  std::ofstream out(File);
  for (const std::string& library : Libraries) out << "leak:" << library << '\n';
  return "LSAN_OPTIONS=suppressions=" + File.string();
}

}  // namespace sib::test
