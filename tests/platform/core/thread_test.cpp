#include "platform/core/thread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>

namespace sib {
namespace {

class NamingThread : public Thread {
 public:
  using Thread::Thread;
  ~NamingThread() override {
    Terminate();
    WaitFor();
  }
  std::string seenName;
  std::atomic<int> rounds{0};

 protected:
  void Execute() override {
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    seenName = name;
    while (!Terminated()) rounds.fetch_add(1);
  }
};

TEST(ThreadTest, RunsNamedUntilTerminatedAndJoins) {
  NamingThread t("sibilon-clock-generator");
  t.Start();
  while (t.rounds.load() == 0) {
  }
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
  EXPECT_EQ(t.seenName, "sibilon-clock-g");  // the platform keeps 15 characters
}

}  // namespace
}  // namespace sib
