// Test surroundings with a real X server: a private Xvfb on a display number it picks itself, the
// X tools run against it (xdotool, xwininfo, xprop, ImageMagick's import), and PNG files read back
// as pixels. The server is started by the test and stopped when the object dies.
#pragma once

#include <SDL.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sib::test {

class XServer {
 public:
  // `resources` goes into the root window's RESOURCE_MANAGER property ("Xft.dpi: 192").
  explicit XServer(const std::string& resources = "");
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // ":N"; also exported as DISPLAY for this process and the programs it starts, while the server
  // lives (afterwards DISPLAY is as it was: a later test's programs are not sent to a server that has
  // gone).
  const std::string& Display() const { return display_; }

 private:
  pid_t pid_ = 0;
  std::string display_;
  std::optional<std::string> previousDisplay_;
};

struct CommandResult {
  int exitCode = -1;
  std::string output;  // standard output
};

// Runs a program found on PATH without a shell and waits for it.
CommandResult RunProgram(const std::vector<std::string>& argv);

struct Png {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, rows packed
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
};

Png ReadPng(const std::string& path);
// The pixels whose colour differs between a screenshot and an image (alpha ignored); the sizes
// must match.
int DifferentPixels(const Png& shot, const std::uint32_t* pixels, int stride);
void WritePng(const std::string& path, int width, int height, const std::uint32_t* pixels, int stride);

// The X window of an SDL window (0 when it has none).
unsigned long XWindowOf(SDL_Window* window);

// Waits until a top-level window named `name` (_NET_WM_NAME) is mapped and returns its X id; 0
// when none appeared within `limitMs`. It follows the X server's events, so it wakes only when
// windows change.
unsigned long WaitForWindowNamed(const std::string& name, int limitMs);

// Waits until pixel (x, y) of the X window `window` has the colour `rgb` (0xRRGGBB), reading it
// again every fraction of a millisecond; false when it has not within `limitMs`.
bool WaitForPixel(unsigned long window, int x, int y, std::uint32_t rgb, int limitMs);

// The folder for files a person may look at after the run (screenshots): beside the test binary.
std::string OutputFolder();

}  // namespace sib::test
