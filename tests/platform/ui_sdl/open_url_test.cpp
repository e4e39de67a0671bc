// Opening an address: xdg-open (a stand-in on PATH that records its arguments) gets the address as
// its one argument, untouched by any shell; the call never waits for it, whatever it does.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ui/open_url.h"

namespace sib {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A folder with an `xdg-open` of the given body first on PATH, for the life of the object.
class StandIn {
 public:
  explicit StandIn(const std::string& body) : folder_(fs::temp_directory_path() / ("sib-open-" + std::to_string(::getpid()))) {
    fs::create_directories(folder_);
    const fs::path script = folder_ / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(script, fs::perms::owner_all);
    oldPath_ = std::getenv("PATH");
    ::setenv("PATH", (folder_.string() + ":" + oldPath_).c_str(), 1);
  }
  ~StandIn() {
    ::setenv("PATH", oldPath_.c_str(), 1);
    fs::remove_all(folder_);
  }
  fs::path File(const std::string& name) const { return folder_ / name; }

 private:
  fs::path folder_;
  std::string oldPath_;
};

TEST(OpenUrl, AddressIsTheOneArgumentAndNoShellReadsIt) {
  StandIn standIn("printf '%s\\n' \"$#\" > \"$0.args\"; for a; do printf '%s\\n' \"$a\" >> \"$0.args\"; done; pwd > \"$0.cwd\"");
  const struct Case {
    const char* address;
  } cases[] = {
      {"https://www.example.org/sibilon"},
      {"https://example.org/a b?x=1&y=2;$(touch pwned)`touch pwned`|cat"},
      {"-h"},  // an address that looks like an option still arrives as the address
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    ASSERT_TRUE(OpenUrl(c.address));
    ASSERT_TRUE(WaitForOpenUrlChildren(std::chrono::seconds(10)));
    EXPECT_EQ(readFile(standIn.File("xdg-open.args")), std::string("1\n") + c.address + "\n");
    EXPECT_EQ(readFile(standIn.File("xdg-open.cwd")), "/\n");
  }
  EXPECT_FALSE(fs::exists("/pwned"));
  EXPECT_FALSE(fs::exists(standIn.File("pwned")));
}

TEST(OpenUrl, SlowOpenerDoesNotHoldUpTheCallerAndIsReapedWhenItEnds) {
  StandIn standIn("read line < \"$0.gate\"; echo done > \"$0.out\"");
  ASSERT_EQ(::mkfifo(standIn.File("xdg-open.gate").c_str(), 0600), 0);
  // The opener waits on the gate, which only this thread opens after OpenUrl has returned: had
  // OpenUrl waited for it, this test would never get here.
  ASSERT_TRUE(OpenUrl("https://example.org/slow"));
  EXPECT_EQ(OpenUrlChildrenRunning(), 1);
  std::ofstream(standIn.File("xdg-open.gate")) << "go\n";
  ASSERT_TRUE(WaitForOpenUrlChildren(std::chrono::seconds(10)));
  EXPECT_EQ(readFile(standIn.File("xdg-open.out")), "done\n");
}

TEST(OpenUrl, FailingOrMissingOpenerIsIgnored) {
  {
    StandIn standIn("exit 3");
    EXPECT_TRUE(OpenUrl("https://example.org/"));
    EXPECT_TRUE(WaitForOpenUrlChildren(std::chrono::seconds(10)));
  }
  const std::string oldPath = std::getenv("PATH");
  ::setenv("PATH", "/nonexistent", 1);
  EXPECT_FALSE(OpenUrl("https://example.org/"));
  ::setenv("PATH", oldPath.c_str(), 1);
  EXPECT_EQ(OpenUrlChildrenRunning(), 0);
}

}  // namespace
}  // namespace sib
