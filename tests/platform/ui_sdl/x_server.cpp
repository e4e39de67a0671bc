#include "x_server.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

extern char** environ;

// The X libraries, fontconfig and SDL's video drivers keep caches for the life of the process (and
// would unload some of them at its quit, which the X fixture never lets it do); they are not ours
// to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libX11.so\nleak:libSDL2\nleak:libxkbcommon\nleak:libdbus\nleak:libcairo.so\n";
}

namespace sib::test {
namespace {

std::vector<char*> argvOf(std::vector<std::string>& args) {
  std::vector<char*> out;
  for (std::string& a : args) out.push_back(a.data());
  out.push_back(nullptr);
  return out;
}

std::string readAll(int fd) {
  std::string out;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace

XServer::XServer(const std::string& resources) {
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  // Xvfb writes the display number it chose to -displayfd once it accepts clients.
  std::vector<std::string> args{"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ready[1], 3);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, (OutputFolder() + "/xvfb.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // A session of its own: signals meant for the test's process group do not reach the server.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  auto argv = argvOf(args);
  const int failed = posix_spawnp(&pid_, "Xvfb", &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ready[1]);
  if (failed != 0) {
    ::close(ready[0]);
    throw std::runtime_error("cannot start Xvfb");
  }
  std::string number;
  char c;
  while (::read(ready[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(ready[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  display_ = ":" + number;
  if (const char* previous = std::getenv("DISPLAY")) previousDisplay_ = previous;
  ::setenv("DISPLAY", display_.c_str(), 1);
  if (!resources.empty()) RunProgram({"xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER", resources});
}

XServer::~XServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
  if (display_.empty()) return;
  if (previousDisplay_) {
    ::setenv("DISPLAY", previousDisplay_->c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
}

CommandResult RunProgram(const std::vector<std::string>& argvIn) {
  std::vector<std::string> args = argvIn;
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  auto argv = argvOf(args);
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  CommandResult result;
  if (failed != 0) {
    ::close(out[0]);
    return result;
  }
  result.output = readAll(out[0]);
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

Png ReadPng(const std::string& path) {
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  Png png;
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    cairo_surface_flush(surface);
    png.width = cairo_image_surface_get_width(surface);
    png.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const bool opaque = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24;
    png.pixels.resize(static_cast<std::size_t>(png.width) * static_cast<std::size_t>(png.height));
    for (int y = 0; y < png.height; ++y)
      for (int x = 0; x < png.width; ++x) {
        std::uint32_t p = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride)[x];
        if (opaque) p |= 0xFF000000u;
        png.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(png.width) + static_cast<std::size_t>(x)] = p;
      }
  }
  cairo_surface_destroy(surface);
  return png;
}

int DifferentPixels(const Png& shot, const std::uint32_t* pixels, int stride) {
  int different = 0;
  for (int y = 0; y < shot.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(pixels) +
                                                             static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < shot.width; ++x)
      if ((shot.At(x, y) & 0xFFFFFF) != (row[x] & 0xFFFFFF)) ++different;
  }
  return different;
}

void WritePng(const std::string& path, int width, int height, const std::uint32_t* pixels, int stride) {
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pixels)), CAIRO_FORMAT_ARGB32, width, height, stride);
  cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
}

unsigned long XWindowOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info)) return 0;
  return info.info.x11.window;
}

namespace {

std::string utf8Name(::Display* display, Window window) {
  const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string name;
  if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) == Success &&
      data) {
    name.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return name;
}

// While it lives, errors of X requests are ignored: a window of another program may go away between
// being listed and being asked about, which is an error of the request, not of the test.
class QuietErrors {
 public:
  QuietErrors() : previous_(XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; })) {}
  ~QuietErrors() { XSetErrorHandler(previous_); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  XErrorHandler previous_;
};

Window findMapped(::Display* display, const std::string& name) {
  Window root = DefaultRootWindow(display);
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XSelectInput(display, children[i], PropertyChangeMask | StructureNotifyMask);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
        utf8Name(display, children[i]) == name)
      found = children[i];
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

unsigned long WaitForWindowNamed(const std::string& name, int limitMs) {
  ::Display* display = XOpenDisplay(nullptr);
  if (!display) return 0;
  const QuietErrors quiet;
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  Window found = 0;
  for (;;) {
    found = findMapped(display, name);
    if (found) break;
    XFlush(display);
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    if (XPending(display) == 0 && ::poll(&fd, 1, limitMs) <= 0) break;
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
    }
  }
  XCloseDisplay(display);
  return found;
}

bool WaitForPixel(unsigned long window, int x, int y, std::uint32_t rgb, int limitMs) {
  ::Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const QuietErrors quiet;
  bool found = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!found && std::chrono::steady_clock::now() < deadline) {
    if (XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap)) {
      found = (XGetPixel(image, 0, 0) & 0xFFFFFF) == rgb;
      XDestroyImage(image);
    }
    if (!found) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  XCloseDisplay(display);
  return found;
}

std::string OutputFolder() {
  std::error_code ignored;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  const std::filesystem::path folder = self.parent_path() / "screenshots";
  std::filesystem::create_directories(folder, ignored);
  return folder.string();
}

}  // namespace sib::test
