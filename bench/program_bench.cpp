// The whole program's figures, each beside a baseline measured in the same run, on a private X server
// with SDL's dummy audio driver (it consumes in real time, as a sound card does):
//  - FirstFrame: from the start of the process to its window painted on the X server, against a bare
//    SDL window of the same size filled silver (this program started again with --bare-window), whose
//    pixels also reach the server without an OpenGL renderer;
//  - Idle10s: the CPU and the wake-ups of an open window with the noise stopped (after a Start and a
//    Stop), against the bare SDL window left open;
//  - Playing10s: the CPU while the window plays, against the headless player playing the same noise at
//    the same level, paced by the device as it is by default and paced as the window's chain is;
//  - FullRepaint: the whole window painted again (every control, their cached faces kept) and handed
//    to the window, against filling the window's image with one colour.
// CPU and wake-ups are read from /proc for every thread of the measured process.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <signal.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/core/data_folders.h"
#include "tests/platform/ui_sdl/x_server.h"
#include "tests/support/child_process.h"
#include "tests/program/reference_window.h"

namespace {

using namespace sib;
using namespace std::chrono_literals;

constexpr int kWidth = 471, kHeight = 413;
constexpr auto kMeasured = 10s;

// --- The bare window, in a child of this program --------------------------------------------------

int BareWindow() {
  // Its pixels go to the X server as the program's do, without an OpenGL renderer started for them.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_InitSubSystem(SDL_INIT_VIDEO);
  SDL_Window* window = SDL_CreateWindow("Sibilon", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth, kHeight, 0);
  SDL_Surface* surface = SDL_GetWindowSurface(window);
  SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 192, 192, 192));
  SDL_UpdateWindowSurface(window);
  SDL_Event event;
  while (SDL_WaitEvent(&event) && event.type != SDL_QUIT) {
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) SDL_UpdateWindowSurface(window);
  }
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return 0;
}

// --- Processes and what they use ------------------------------------------------------------------

struct Usage {
  double CpuSeconds = 0;
  std::uint64_t Wakeups = 0;
};

// Every thread's time on a CPU and the times it was scheduled, summed.
Usage UsageOf(pid_t Pid) {
  Usage usage;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(Pid) + "/task", error)) {
    std::ifstream schedstat(task.path() / "schedstat");
    std::uint64_t onCpu = 0, waited = 0, slices = 0;
    if (schedstat >> onCpu >> waited >> slices) {
      usage.CpuSeconds += static_cast<double>(onCpu) / 1e9;
      usage.Wakeups += slices;
    }
  }
  return usage;
}

void MeasureFor(benchmark::State& State, pid_t Pid) {
  const Usage before = UsageOf(Pid);
  std::this_thread::sleep_for(kMeasured);
  const Usage after = UsageOf(Pid);
  const double seconds = std::chrono::duration<double>(kMeasured).count();
  State.counters["cpu_percent"] = (after.CpuSeconds - before.CpuSeconds) * 100.0 / seconds;
  State.counters["wakeups_per_s"] = static_cast<double>(after.Wakeups - before.Wakeups) / seconds;
}

test::XServer* server = nullptr;

void EnsureServer() {
  if (!server) server = new test::XServer();
}

std::vector<std::string> ChildEnvironment() {
  return {"DISPLAY=" + server->Display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
          // A desktop session has a bus; without one libdbus would first try to start one.
          "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"};
}

std::unique_ptr<test::ChildProcess> StartWindow(bool Bare) {
  std::vector<std::string> argv = Bare ? std::vector<std::string>{ProgramFile().string(), "--bare-window"}
                                       : std::vector<std::string>{SIB_PROGRAM};
  return std::make_unique<test::ChildProcess>(
      test::ChildProcess::Options{.Argv = argv, .Environment = ChildEnvironment(), .Folder = SIB_DATA_DIR});
}

void Stop(std::unique_ptr<test::ChildProcess>& Child) {
  ::kill(Child->Pid(), SIGTERM);
  Child->WaitForExit(10s);
  Child.reset();
}

// Waits until the window named "Sibilon" shows `Colour` at (Left, Top).
// The window of the previous run may still be on the server for a moment: it is looked for again.
unsigned long WaitForPainted(std::uint32_t Colour, int Left, int Top) {
  for (int tries = 0; tries < 30; ++tries) {
    const unsigned long id = test::WaitForWindowNamed("Sibilon", 60000);
    if (id != 0 && test::WaitForPixel(id, Left, Top, Colour, 2000)) return id;
  }
  return 0;
}

void Xdotool(std::vector<std::string> Args) {
  Args.insert(Args.begin(), "xdotool");
  test::RunProgram(Args);
}

// Clicks the middle of a control of the window, given by its rectangle in the window.
void Click(const std::string& Window, int Left, int Top, int Width, int Height) {
  Xdotool({"mousemove", "--sync", "--window", Window, std::to_string(Left + Width / 2), std::to_string(Top + Height / 2)});
  Xdotool({"click", "1"});
}

// --- The benchmarks -------------------------------------------------------------------------------

// The bare window is silver all over; the program's window is painted in one piece, and the panel's
// yellow border at its left edge, halfway down, shows that it has been.
// The window's X id, 0 when it was not painted.
unsigned long WaitForPainted(bool Bare) {
  return Bare ? WaitForPainted(0xC0C0C0, kWidth / 2, kHeight / 2) : WaitForPainted(0xFFFF00, 0, kHeight / 2);
}

void FirstFrame(benchmark::State& State, bool Bare) {
  EnsureServer();
  for (auto _ : State) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<test::ChildProcess> child = StartWindow(Bare);
    const bool painted = WaitForPainted(Bare) != 0;
    State.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!painted) State.SkipWithError("the window was not painted");
    Stop(child);
  }
}

void BM_FirstFrame_BareSdlWindow(benchmark::State& State) { FirstFrame(State, true); }
void BM_FirstFrame_Program(benchmark::State& State) { FirstFrame(State, false); }

void BM_Idle10s_BareSdlWindow(benchmark::State& State) {
  EnsureServer();
  for (auto _ : State) {
    std::unique_ptr<test::ChildProcess> child = StartWindow(true);
    if (!WaitForPainted(true)) State.SkipWithError("no window");
    MeasureFor(State, child->Pid());
    Stop(child);
  }
}

// The window's start button (144, 304, 182 x 41).
void ClickStartButton(const std::string& Window) { Click(Window, 144, 304, 182, 41); }

void BM_Idle10s_ProgramAfterStartAndStop(benchmark::State& State) {
  EnsureServer();
  for (auto _ : State) {
    std::unique_ptr<test::ChildProcess> child = StartWindow(false);
    const unsigned long id = WaitForPainted(false);
    if (!id) State.SkipWithError("no window");
    const std::string window = std::to_string(id);
    ClickStartButton(window);
    std::this_thread::sleep_for(1s);
    ClickStartButton(window);
    Xdotool({"mousemove", "0", "0"});
    std::this_thread::sleep_for(1s);  // what the device held plays out
    MeasureFor(State, child->Pid());
    Stop(child);
  }
}

// The headless player paced as it is by default (the device asks for blocks) or as the window's chain
// is (the player's own clock, the device's rate steered to it).
void PlayingHeadless(benchmark::State& State, const char* PacedBy) {
  EnsureServer();
  for (auto _ : State) {
    test::ChildProcess player(
        {.Argv = {SIB_PLAYER, "--noise", "pink", "--level", "50", "--seconds", "13", "--paced-by", PacedBy},
         .Environment = ChildEnvironment(),
         .Folder = SIB_DATA_DIR});
    std::this_thread::sleep_for(1s);
    MeasureFor(State, player.Pid());
    player.WaitForExit(10s);
  }
}

void BM_Playing10s_HeadlessPlayer(benchmark::State& State) { PlayingHeadless(State, "device"); }
void BM_Playing10s_HeadlessPlayerPacedAsTheWindow(benchmark::State& State) { PlayingHeadless(State, "player"); }

void BM_Playing10s_Program(benchmark::State& State) {
  EnsureServer();
  for (auto _ : State) {
    std::unique_ptr<test::ChildProcess> child = StartWindow(false);
    const unsigned long id = WaitForPainted(false);
    if (!id) State.SkipWithError("no window");
    ClickStartButton(std::to_string(id));
    Xdotool({"mousemove", "0", "0"});
    std::this_thread::sleep_for(1s);
    MeasureFor(State, child->Pid());
    Stop(child);
  }
}

void BM_FullRepaint_OneColourFill(benchmark::State& State) {
  gfx::Bitmap surface(kWidth, kHeight);
  gfx::Graphics g(surface);
  const gfx::SolidBrush silver(gfx::Color::Argb(255, 192, 192, 192));
  for (auto _ : State) {
    g.FillRectangle(silver, gfx::RectF{0, 0, kWidth, kHeight});
    benchmark::DoNotOptimize(surface.Data());
    benchmark::ClobberMemory();
  }
}

void BM_FullRepaint_Window(benchmark::State& State) {
  test::ReferenceWindow window(SIB_DATA_DIR);
  for (auto _ : State) {
    window.form->Invalidate();
    window.form->PaintDirty();
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_FirstFrame_BareSdlWindow)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstFrame_Program)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Idle10s_BareSdlWindow)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Idle10s_ProgramAfterStartAndStop)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Playing10s_HeadlessPlayer)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Playing10s_HeadlessPlayerPacedAsTheWindow)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Playing10s_Program)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_FullRepaint_OneColourFill)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullRepaint_Window)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--bare-window") == 0) return BareWindow();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete server;
  return 0;
}
