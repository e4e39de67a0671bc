#include "framework/lp_thread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include "framework/sync.h"

namespace sib {
namespace {

class TNamedWorker : public TLPThread {
 public:
  explicit TNamedWorker(const TComponent* owner) : TLPThread(ComponentName(owner) + ".TNamedWorker") {}
  ~TNamedWorker() override {
    Terminate();
    WaitFor();
  }
  std::string seenName;
  TOWEvent ran{true, false};

 protected:
  void Execute() override {
    Thread::NameCurrentThread("unnamed");
    AnnounceThreadName();
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    seenName = name;
    ran.Signal();
  }
};

TEST(LPThreadTest, CreateStartsTheThreadWhichAnnouncesItsName) {
  auto owner = MakeComponent<TComponent>();
  owner->SetName("wp1");
  auto worker = TLPThread::Create<TNamedWorker>(owner.get());
  ASSERT_TRUE(worker->ran.WaitFor(kInfinite));
  worker->WaitFor();
  EXPECT_EQ(worker->ThreadName(), "wp1.TNamedWorker");
  EXPECT_EQ(worker->seenName, "wp1.TNamedWorke") << "the platform keeps 15 characters";
}

// A worker named the way the pipeline's threads are: by its owner, its class and its role.
class TRoleWorker : public TLPThread {
 public:
  explicit TRoleWorker(const TComponent* owner) : TLPThread(owner, "TRoleWorker", "device") {}
  ~TRoleWorker() override {
    Terminate();
    WaitFor();
  }
  std::string seenName;
  TOWEvent ran{true, false};

 protected:
  void Execute() override {
    Thread::NameCurrentThread("unnamed");
    AnnounceThreadName();
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    seenName = name;
    ran.Signal();
  }
};

TEST(LPThreadTest, TheSystemShowsTheOwnerAndTheRoleWhileThreadNameKeepsTheClass) {
  auto owner = MakeComponent<TComponent>();
  owner->SetName("out1");
  auto worker = TLPThread::Create<TRoleWorker>(owner.get());
  ASSERT_TRUE(worker->ran.WaitFor(kInfinite));
  worker->WaitFor();
  EXPECT_EQ(worker->ThreadName(), "out1.TRoleWorker");
  EXPECT_EQ(worker->SystemName(), "out1.device");
  EXPECT_EQ(worker->seenName, "out1.device");
}

TEST(LPThreadTest, SystemThreadNameKeepsTheRoleWholeWithinFifteenCharacters) {
  struct Row {
    const char* component;
    const char* role;
    const char* shown;
  };
  const Row rows[] = {
      {"out1", "device", "out1.device"},
      {"wp1", "clock", "wp1.clock"},
      {"amp1", "filter", "amp1.filter"},
      {"TALAudioOut", "device", "TALAudio.device"},  // an unnamed component shows its class, shortened
      {"out1", "notify", "out1.notify"},
      {"", "clock", ".clock"},
      {"a", "averyveryverylongrole", "a.averyveryvery"},
  };
  for (const Row& row : rows) {
    const std::string shown = TLPThread::SystemThreadName(row.component, row.role);
    EXPECT_EQ(shown, row.shown) << row.component << " / " << row.role;
    EXPECT_LE(shown.size(), 15u) << shown;
  }
}

TEST(LPThreadTest, ComponentNameFallsBackToTheClassName) {
  auto unnamed = MakeComponent<TComponent>();
  EXPECT_EQ(TLPThread::ComponentName(unnamed.get()), "TComponent");
  unnamed->SetName("out1");
  EXPECT_EQ(TLPThread::ComponentName(unnamed.get()), "out1");
  EXPECT_EQ(TLPThread::ComponentName(nullptr), "");
}

}  // namespace
}  // namespace sib
