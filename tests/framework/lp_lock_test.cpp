#include "framework/lp_lock.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace sib {
namespace {

// Records the order in which a setter's callbacks run.
struct Calls {
  void Updated() { log.push_back("updated"); }
  void Notified() { log.push_back("notified"); }
  TLPPropUpdateFunc updated() { return TLPPropUpdateFunc(this, &Calls::Updated); }
  std::vector<std::string> log;
};

class LPLockTest : public ::testing::Test {
 protected:
  Calls calls;
  RefPtr<TLPLock> lock = TLPLock::Create(TLPPropUpdateFunc(&calls, &Calls::Notified));
  const std::vector<std::string> kBoth{"updated", "notified"};
};

// Every overload: the same value changes nothing and calls nothing; another value is stored, and the
// update callback runs before the owner's notify callback.
template <class T>
void checkSetter(ILPLock& lock, Calls& calls, T start, T other) {
  SCOPED_TRACE(testing::Message() << "type " << typeid(T).name());
  T field = start;
  calls.log.clear();
  EXPECT_FALSE(lock.Setter(field, start, calls.updated()));
  EXPECT_TRUE(calls.log.empty());
  EXPECT_TRUE(lock.Setter(field, other, calls.updated()));
  EXPECT_TRUE(field == other);
  EXPECT_EQ(calls.log, (std::vector<std::string>{"updated", "notified"}));
}

TEST_F(LPLockTest, SetterStoresOnlyADifferentValueAndCallsUpdateBeforeNotify) {
  checkSetter<std::uint32_t>(*lock, calls, 0x00FF00FF, 0x00FF0000);
  checkSetter<std::int16_t>(*lock, calls, -2, 3);
  checkSetter<std::int32_t>(*lock, calls, 7, -7);
  checkSetter<std::int64_t>(*lock, calls, 1LL << 40, (1LL << 40) + 1);
  checkSetter<std::uint16_t>(*lock, calls, 65535, 0);
  checkSetter<std::uint8_t>(*lock, calls, 1, 255);
  checkSetter<float>(*lock, calls, 0.5f, 0.25f);
  checkSetter<double>(*lock, calls, 0.1, 0.2);
  checkSetter<bool>(*lock, calls, false, true);
  checkSetter<std::string>(*lock, calls, "Pink.wav", "Brown.wav");
  checkSetter<char16_t>(*lock, calls, u'a', u'\u00e9');
  checkSetter<TSLClockSource>(*lock, calls, TSLClockSource::csInternal, TSLClockSource::csExternal);
  checkSetter<TSLSynchronizeType>(*lock, calls, TSLSynchronizeType::stNone, TSLSynchronizeType::stQueue);
}

TEST_F(LPLockTest, ColourOverloadWithTheFlagBehavesAsTheOthers) {
  std::uint32_t colour = 0xFF000000;
  EXPECT_FALSE(lock->Setter(colour, 0xFF000000u, calls.updated(), true));
  EXPECT_TRUE(lock->Setter(colour, 0x80FFFFFFu, calls.updated(), true));
  EXPECT_EQ(colour, 0x80FFFFFFu);
  EXPECT_EQ(calls.log, kBoth);
}

TEST_F(LPLockTest, StringsCompareByContent) {
  std::string field = "Pink.wav";
  std::string sameText = std::string("Pink") + ".wav";
  EXPECT_FALSE(lock->Setter(field, sameText, calls.updated()));
}

TEST_F(LPLockTest, UnassignedCallbacksAreSkipped) {
  auto quiet = TLPLock::Create(TLPPropUpdateFunc());
  std::int32_t field = 0;
  EXPECT_TRUE(quiet->Setter(field, 1, TLPPropUpdateFunc()));
  EXPECT_EQ(field, 1);
}

enum class Shade { Brown, Pink, White };

TEST_F(LPLockTest, FieldsOfOtherTypesGoThroughTheGenericSetter) {
  Shade shade = Shade::Pink;
  EXPECT_FALSE(lock->Setter(shade, Shade::Pink, calls.updated()));
  EXPECT_TRUE(lock->Setter(shade, Shade::White, calls.updated()));
  EXPECT_EQ(shade, Shade::White);
  EXPECT_EQ(lock->Getter(shade), Shade::White);
  EXPECT_EQ(calls.log, kBoth);
}

struct ClampRow {
  const char* what;
  std::function<bool(ILPLock&, Calls&)> set;  // returns whether the stored value is the expected one
};

TEST_F(LPLockTest, ClampingSettersClampMinimumFirstThenMaximumWithTheTypesComparison) {
  const std::vector<ClampRow> rows = {
      {"Integer MinMax(5, 10, 3) stores 3: the maximum wins when the bounds cross",
       [](ILPLock& l, Calls& c) {
         std::int32_t v = 0;
         l.SetterMinMax(v, 5, 10, 3, c.updated());
         return v == 3;
       }},
      {"Cardinal Min(0, 1) stores 1",
       [](ILPLock& l, Calls& c) {
         std::uint32_t v = 7;
         l.SetterMin(v, 0u, 1u, c.updated());
         return v == 1;
       }},
      {"Cardinal Max compares unsigned",
       [](ILPLock& l, Calls& c) {
         std::uint32_t v = 0;
         l.SetterMax(v, 0xFFFFFFFFu, 10u, c.updated());
         return v == 10;
       }},
      {"Word MinMax keeps a value inside",
       [](ILPLock& l, Calls& c) {
         std::uint16_t v = 0;
         l.SetterMinMax(v, 300, 10, 400, c.updated());
         return v == 300;
       }},
      {"Byte Max(255, 200) stores 200",
       [](ILPLock& l, Calls& c) {
         std::uint8_t v = 0;
         l.SetterMax(v, 255, 200, c.updated());
         return v == 200;
       }},
      {"Int64 Min compares signed",
       [](ILPLock& l, Calls& c) {
         std::int64_t v = 9;
         l.SetterMin(v, -5, 0, c.updated());
         return v == 0;
       }},
      {"Int64 Max above 32 bits",
       [](ILPLock& l, Calls& c) {
         std::int64_t v = 0;
         l.SetterMax(v, 1LL << 40, 1LL << 33, c.updated());
         return v == 1LL << 33;
       }},
      {"Integer Min leaves a larger value",
       [](ILPLock& l, Calls& c) {
         std::int32_t v = 0;
         l.SetterMin(v, -3, -10, c.updated());
         return v == -3;
       }},
      {"Single MinMax below the minimum",
       [](ILPLock& l, Calls& c) {
         float v = 1;
         l.SetterMinMax(v, -0.5f, 0.0f, 0.2f, c.updated());
         return v == 0.0f;
       }},
      {"Real Max(0.3, 0.2) stores 0.2",
       [](ILPLock& l, Calls& c) {
         double v = 0;
         l.SetterMax(v, 0.3, 0.2, c.updated());
         return v == 0.2;
       }},
      {"Real MinMax(5, 10, 3) stores 3",
       [](ILPLock& l, Calls& c) {
         double v = 0;
         l.SetterMinMax(v, 5, 10, 3, c.updated());
         return v == 3;
       }},
  };
  for (const ClampRow& row : rows) {
    calls.log.clear();
    EXPECT_TRUE(row.set(*lock, calls)) << row.what;
    EXPECT_EQ(calls.log, kBoth) << row.what;
  }
}

TEST_F(LPLockTest, ClampedValueEqualToTheFieldChangesNothing) {
  std::uint32_t field = 1;
  EXPECT_FALSE(lock->SetterMin(field, 0u, 1u, calls.updated()));
  EXPECT_TRUE(calls.log.empty());
}

TEST_F(LPLockTest, CallbacksRunUnderTheWriteSectionAndMayTakeTheLockAgain) {
  std::int32_t first = 0, second = 0;
  std::int32_t holdsInCallback = 0;
  struct Cascade {
    ILPLock* lock;
    std::int32_t* second;
    std::int32_t* holds;
    void Run() {
      *holds = lock->Instance()->HoldsOfCurrentThread();
      lock->Setter(*second, 2, TLPPropUpdateFunc());
    }
  } cascade{lock.get(), &second, &holdsInCallback};
  EXPECT_TRUE(lock->Setter(first, 1, TLPPropUpdateFunc(&cascade, &Cascade::Run)));
  EXPECT_EQ(second, 2);
  EXPECT_GE(holdsInCallback, 1);
  EXPECT_EQ(lock->Instance()->HoldsOfCurrentThread(), 0);
}

TEST_F(LPLockTest, CopiesShareTheLockButEachCallsItsOwnNotify) {
  Calls subObject;
  auto copy = TLPLock::CreateCopy(*lock, TLPPropUpdateFunc(&subObject, &Calls::Notified));
  EXPECT_EQ(copy->Instance(), lock->Instance());
  std::int32_t field = 0;
  copy->Setter(field, 1, TLPPropUpdateFunc());
  EXPECT_EQ(subObject.log, (std::vector<std::string>{"notified"}));
  EXPECT_TRUE(calls.log.empty());
}

TEST_F(LPLockTest, IsFoundAsBothLockInterfaces) {
  EXPECT_TRUE(queryInterface<ILPLock>(lock.get()));
  RefPtr<IOWLock> plain = queryInterface<IOWLock>(lock.get());
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->Instance(), lock->Instance());
}

TEST_F(LPLockTest, GetterReturnsItsArgumentOnceNoOtherThreadHoldsTheLock) {
  TOWEvent holding(true, false), release(true, false), got(true, false);
  std::thread holder([&] {
    LockSection s = lock->WriteLock();
    holding.Signal();
    release.WaitFor(kInfinite);
  });
  ASSERT_TRUE(holding.WaitFor(kInfinite));
  std::thread reader([&] {
    EXPECT_EQ(lock->Getter(std::string("value")), "value");
    EXPECT_EQ(lock->Getter(42), 42);
    got.Signal();
  });
  EXPECT_FALSE(got.WaitFor(100)) << "the getter waits for the holder";
  release.Signal();
  EXPECT_TRUE(got.WaitFor(kInfinite));
  holder.join();
  reader.join();
}

// While another thread stops the owner, a property write from elsewhere gets no section: it stores
// nothing and calls nothing, rather than writing a field the stopping thread is reading. Once the stop
// has ended the same write lands.
TEST_F(LPLockTest, SetterWhileAnotherThreadStopsStoresNothingAndCallsNothing) {
  std::int32_t field = 1;
  TOWEvent stopping(true, false), release(true, false);
  bool stopperSawTheWrite = false;
  std::thread stopper([&] {
    LockSection stop = lock->StopLock();
    // Reads the field for as long as the stop lasts, as a component's stop reads its own state.
    auto read = [&] { stopperSawTheWrite = stopperSawTheWrite || lock->Getter(field) != 1; };
    read();
    stopping.Signal();
    while (!release.WaitFor(0)) read();
  });
  ASSERT_TRUE(stopping.WaitFor(kInfinite));
  const bool stored = lock->Setter(field, 2, calls.updated());
  release.Signal();
  stopper.join();
  EXPECT_FALSE(stored);
  EXPECT_EQ(field, 1);
  EXPECT_FALSE(stopperSawTheWrite);
  EXPECT_TRUE(calls.log.empty());
  EXPECT_TRUE(lock->Setter(field, 2, calls.updated())) << "after the stop the write lands";
  EXPECT_EQ(field, 2);
  EXPECT_EQ(calls.log, kBoth);
}

TEST(LPPropUpdateFuncTest, IsAssignedWhenBoundAndComparesByObjectAndMethod) {
  Calls a, b;
  EXPECT_FALSE(TLPPropUpdateFunc());
  TLPPropUpdateFunc f(&a, &Calls::Updated);
  EXPECT_TRUE(f);
  EXPECT_TRUE(f == TLPPropUpdateFunc(&a, &Calls::Updated));
  EXPECT_FALSE(f == TLPPropUpdateFunc(&b, &Calls::Updated));
  EXPECT_FALSE(f == TLPPropUpdateFunc(&a, &Calls::Notified));
  f();
  EXPECT_EQ(a.log, (std::vector<std::string>{"updated"}));
  int hits = 0;
  auto plain = TLPPropUpdateFunc::FromFunction([](void* data) { ++*static_cast<int*>(data); }, &hits);
  plain();
  EXPECT_EQ(hits, 1);
}

}  // namespace
}  // namespace sib
