// The window host's two figures beside a bare SDL window in the same run, on a private X server:
// the time from process start to the first painted frame of a 471 x 413 window, and the CPU an open
// window takes over 10 s with nothing moving (with the number of times the loop woke up).
//
// Each first-frame iteration starts this program again as a child (`--first-frame host|empty T0`),
// which reports how long after T0 (the parent's monotonic clock just before the start) its frame was
// on the X server.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/ui/application.h"
#include "platform/ui/sdl_form_window.h"
#include "platform/ui/sdl_host.h"
#include "tests/platform/ui_sdl/test_form.h"
#include "tests/platform/ui_sdl/x_server.h"

extern char** environ;

namespace {

using namespace sib;

std::int64_t monotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double cpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A bare SDL window: shown, filled, updated.
struct EmptyWindow {
  EmptyWindow() {
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    window = SDL_CreateWindow("Sibilon", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 471, 413, 0);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 192, 192, 192));
    SDL_UpdateWindowSurface(window);
  }
  ~EmptyWindow() {
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  SDL_Window* window;
};

// The host's window with a painted picture, shown and presented.
struct HostWindow {
  explicit HostWindow(Application& app) : host(app), form(471, 413) {
    window = host.CreateFormWindow(test::FixedCentred("Sibilon", 471, 413), form);
    form.Window = window.get();
    form.Render(window->ScaleFactor());
    window->Show();
    form.PresentAll(*window);
  }
  SdlHost host;
  test::TestForm form;
  std::unique_ptr<IFormWindow> window;
};

int firstFrameChild(const char* kind, std::int64_t startNs) {
  std::int64_t frameNs = 0;
  if (std::strcmp(kind, "empty") == 0) {
    EmptyWindow empty;
    frameNs = monotonicNs();
  } else {
    Application app;
    HostWindow hosted(app);
    frameNs = monotonicNs();
  }
  std::printf("%lld\n", static_cast<long long>(frameNs - startNs));
  return 0;
}

double runChild(const char* kind) {
  char self[4096];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return -1;
  self[length] = 0;
  int out[2];
  if (pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string start = std::to_string(monotonicNs());
  char* argv[] = {self, const_cast<char*>("--first-frame"), const_cast<char*>(kind), const_cast<char*>(start.c_str()), nullptr};
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  char buffer[64] = {};
  const ssize_t got = failed == 0 ? read(out[0], buffer, sizeof buffer - 1) : 0;
  close(out[0]);
  if (failed == 0) waitpid(pid, nullptr, 0);
  return got > 0 ? std::atof(buffer) / 1e9 : -1;
}

sib::test::XServer* server = nullptr;

void ensureServer() {
  if (server) return;
  server = new sib::test::XServer();
  setenv("SDL_VIDEODRIVER", "x11", 1);
  // Without a session bus, libdbus would start dbus-launch for SDL on every start (over a second);
  // a desktop session has one, so the bench measures the start without that detour.
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
}

void firstFrame(benchmark::State& state, const char* kind) {
  ensureServer();
  for (auto _ : state) {
    const double seconds = runChild(kind);
    if (seconds < 0) state.SkipWithError("the child did not report");
    state.SetIterationTime(seconds);
  }
}

void BM_FirstFrame_EmptySdlWindow(benchmark::State& state) { firstFrame(state, "empty"); }
void BM_FirstFrame_Host(benchmark::State& state) { firstFrame(state, "host"); }

constexpr int kIdleSeconds = 10;

void BM_Idle10s_EmptySdlWindow(benchmark::State& state) {
  ensureServer();
  for (auto _ : state) {
    EmptyWindow empty;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    std::int64_t wakeups = 0;
    const double cpu = cpuSeconds();
    const std::int64_t end = monotonicNs() + std::int64_t{kIdleSeconds} * 1000000000;
    for (std::int64_t now = monotonicNs(); now < end; now = monotonicNs()) {
      SDL_WaitEventTimeout(&event, static_cast<int>((end - now + 999999) / 1000000));
      ++wakeups;
    }
    state.counters["cpu_percent"] = (cpuSeconds() - cpu) * 100.0 / kIdleSeconds;
    state.counters["wakeups"] = static_cast<double>(wakeups);
  }
}

void BM_Idle10s_Host(benchmark::State& state) {
  ensureServer();
  for (auto _ : state) {
    Application app;
    HostWindow hosted(app);
    hosted.host.Wait().DispatchPending();
    const std::uint64_t before = hosted.host.Wait().Wakeups();
    const double cpu = cpuSeconds();
    app.RunUntil([] { return false; }, std::chrono::seconds(kIdleSeconds));
    state.counters["cpu_percent"] = (cpuSeconds() - cpu) * 100.0 / kIdleSeconds;
    state.counters["wakeups"] = static_cast<double>(hosted.host.Wait().Wakeups() - before);
  }
}

BENCHMARK(BM_FirstFrame_EmptySdlWindow)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrame_Host)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Idle10s_EmptySdlWindow)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Idle10s_Host)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--first-frame") == 0) return firstFrameChild(argv[2], std::atoll(argv[3]));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete server;
  return 0;
}
