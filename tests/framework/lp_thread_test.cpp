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

TEST(LPThreadTest, ComponentNameFallsBackToTheClassName) {
  auto unnamed = MakeComponent<TComponent>();
  EXPECT_EQ(TLPThread::ComponentName(unnamed.get()), "TComponent");
  unnamed->SetName("out1");
  EXPECT_EQ(TLPThread::ComponentName(unnamed.get()), "out1");
  EXPECT_EQ(TLPThread::ComponentName(nullptr), "");
}

}  // namespace
}  // namespace sib
