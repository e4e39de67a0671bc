#include "platform/core/interface.h"

#include <gtest/gtest.h>

namespace sib {
namespace {

class IShape : public IInterface {
 public:
  static constexpr TGUID IID = "{11111111-0000-0000-0000-000000000001}"_guid;
  virtual int Sides() = 0;
};

class IPolygon : public IShape {
 public:
  using Parent = IShape;
  static constexpr TGUID IID = "{11111111-0000-0000-0000-000000000002}"_guid;
  virtual int Corners() = 0;
};

class INamed : public IInterface {
 public:
  static constexpr TGUID IID = "{11111111-0000-0000-0000-000000000003}"_guid;
  virtual const char* Title() = 0;
};

class IUnrelated : public IInterface {
 public:
  static constexpr TGUID IID = "{11111111-0000-0000-0000-000000000004}"_guid;
};

class Square : public Implements<IPolygon> {
 public:
  explicit Square(int* freed) : freed_(freed) {}
  ~Square() override { ++*freed_; }
  int Sides() override { return 4; }
  int Corners() override { return 4; }

 private:
  int* freed_;
};

class NamedSquare : public ImplementsMore<Square, INamed> {
 public:
  using ImplementsMore::ImplementsMore;
  const char* Title() override { return "square"; }
};

TEST(InterfaceTest, LastReleaseFreesAndCountsAreExact) {
  int freed = 0;
  {
    RefPtr<Square> a = makeRef<Square>(&freed);
    EXPECT_EQ(a->RefCount(), 1);
    {
      RefPtr<IShape> b = a;
      RefPtr<IPolygon> c = queryInterface<IPolygon>(b);
      EXPECT_EQ(a->RefCount(), 3);
    }
    EXPECT_EQ(a->RefCount(), 1);
    EXPECT_EQ(freed, 0);
  }
  EXPECT_EQ(freed, 1);
}

TEST(InterfaceTest, QueryFindsImplementedAndParentInterfacesOnly) {
  int freed = 0;
  RefPtr<NamedSquare> s = makeRef<NamedSquare>(&freed);
  EXPECT_EQ(queryInterface<IShape>(s)->Sides(), 4);
  EXPECT_EQ(queryInterface<IPolygon>(s)->Corners(), 4);
  EXPECT_STREQ(queryInterface<INamed>(s)->Title(), "square");
  EXPECT_TRUE(queryInterface<IInterface>(s));
  EXPECT_FALSE(queryInterface<IUnrelated>(s));
  EXPECT_EQ(s->RefCount(), 1);
  s.reset();
  EXPECT_EQ(freed, 1);
}

class Pinlike : public ImplementsUncounted<IShape> {
 public:
  int Sides() override { return 3; }
};

TEST(InterfaceTest, UncountedObjectsAreNotFreedByReferences) {
  Pinlike pin;
  {
    RefPtr<IShape> r(&pin);
    RefPtr<IShape> q = queryInterface<IShape>(r);
    EXPECT_EQ(q->Sides(), 3);
  }
  EXPECT_EQ(pin.Sides(), 3);
}

}  // namespace
}  // namespace sib
