// "_Floats" through the description writer and reader, and the ready hook of loaded components.
#include <gtest/gtest.h>

#include "framework/lp_component.h"
#include "platform/components/filer.h"

namespace sib {
namespace {

class TFloatsFill : public TLPPersistent {
  SIB_CLASS(TFloatsFill, TLPPersistent)
 public:
  using TLPPersistent::TLPPersistent;
  static TPropertyList PublishedProperties() { return {prop("Angle", &TFloatsFill::FAngle)}; }
  double FAngle = 90;
};

// Its constructor gives the floats values other than 0, which a load must overwrite with 0.
class TFloatsComponent : public TLPComponent {
  SIB_CLASS(TFloatsComponent, TLPComponent)
 public:
  explicit TFloatsComponent(TComponent* AOwner) : TLPComponent(AOwner), FFill(this) {}
  static TPropertyList PublishedProperties() {
    return {
        prop("Gain", &TFloatsComponent::FGain),
        prop("Ratio", &TFloatsComponent::FRatio),
        prop("Started", &TFloatsComponent::FStarted).type(dateTimeType()),
        prop("Caption", &TFloatsComponent::FCaption),
        prop("Fill", &TFloatsComponent::GetFill),
    };
  }
  TFloatsFill* GetFill() { return &FFill; }
  void ComponentReady() override { ++ReadyCount; }

  double FGain = 0.5;
  float FRatio = 0.25f;
  double FStarted = 1.0;
  std::string FCaption = "noise";
  TFloatsFill FFill;
  int ReadyCount = 0;
};

class TFloatsRoot : public TComponent {
  SIB_CLASS(TFloatsRoot, TComponent)
 public:
  using TComponent::TComponent;
  bool IsRootClass() const override { return true; }
};

class FloatsTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterClasses<TFloatsRoot, TFloatsComponent>(); }

  TFloatsComponent* addComponent(TComponent& root, const std::string& name) {
    auto* c = NewComponent<TFloatsComponent>(root);
    c->SetName(name);
    return c;
  }
  static TFloatsComponent* find(TComponent& root, const std::string& name) {
    return dynamic_cast<TFloatsComponent*>(root.FindComponent(name));
  }
  static TFloatsComponent& loadOneComponent(TComponent& root) {
    LoadDescription(
        "object Form1: TFloatsRoot\n"
        "  object amp1: TFloatsComponent\n"
        "  end\n"
        "end\n",
        root);
    TFloatsComponent* loaded = find(root, "amp1");
    if (!loaded) throw Exception("amp1 was not loaded");
    return *loaded;
  }
};

TEST_F(FloatsTest, ZeroFloatsButNotDatesAreStoredAndRestoredOverTheConstructorsValues) {
  auto root = MakeComponent<TFloatsRoot>();
  root->SetName("Form1");
  TFloatsComponent* saved = addComponent(*root, "amp1");
  saved->FGain = 0.0;
  saved->FStarted = 0.0;
  saved->FFill.FAngle = 0.0;
  const std::string text = SaveDescription(*root);
  EXPECT_EQ(text,
            "object Form1: TFloatsRoot\n"
            "  object amp1: TFloatsComponent\n"
            "    Ratio = 0.25\n"
            "    Caption = 'noise'\n"
            "    Fill._Floats = (\n"
            "      (\n"
            "        Angle\n"
            "        0.0))\n"
            "    _Floats = (\n"
            "      (\n"
            "        Gain\n"
            "        0.0))\n"
            "  end\n"
            "end\n");

  auto loadedRoot = MakeComponent<TFloatsRoot>();
  LoadDescription(text, *loadedRoot);
  TFloatsComponent* loaded = find(*loadedRoot, "amp1");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->FGain, 0.0);
  EXPECT_EQ(loaded->FFill.FAngle, 0.0);
  EXPECT_EQ(loaded->FStarted, 1.0) << "dates are not in the list";
}

TEST_F(FloatsTest, NothingIsStoredWithoutZeroFloats) {
  auto root = MakeComponent<TFloatsRoot>();
  root->SetName("Form1");
  addComponent(*root, "amp1");
  EXPECT_EQ(SaveDescription(*root).find("_Floats"), std::string::npos);
}

TEST_F(FloatsTest, UnknownNamesAndValuesThatCannotBeSetAreSkipped) {
  auto root = MakeComponent<TFloatsRoot>();
  LoadDescription(
      "object Form1: TFloatsRoot\n"
      "  object amp1: TFloatsComponent\n"
      "    _Floats = ((Removed 0) (Caption 0) (Ratio 0) (Gain 0))\n"
      "  end\n"
      "end\n",
      *root);
  TFloatsComponent* loaded = find(*root, "amp1");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->FGain, 0.0);
  EXPECT_EQ(loaded->FRatio, 0.0f);
  EXPECT_EQ(loaded->FCaption, "noise");
}

TEST_F(FloatsTest, MalformedListIsAnErrorOfTheDescription) {
  auto root = MakeComponent<TFloatsRoot>();
  EXPECT_THROW(LoadDescription("object Form1: TFloatsRoot\n"
                               "  object amp1: TFloatsComponent\n"
                               "    _Floats = (('Gain' 0))\n"
                               "  end\n"
                               "end\n",
                               *root),
               EDescriptionError);
  EXPECT_EQ(root->ComponentCount(), 0) << "nothing half-built is left";
}

TEST_F(FloatsTest, LoadedComponentIsReadyOnceFromLoaded) {
  auto root = MakeComponent<TFloatsRoot>();
  EXPECT_EQ(loadOneComponent(*root).ReadyCount, 1);
}

TEST_F(FloatsTest, DesignedRootsComponentsAreNeverReady) {
  auto root = MakeComponent<TFloatsRoot>();
  root->SetDesigning(true);
  EXPECT_EQ(loadOneComponent(*root).ReadyCount, 0);
}

}  // namespace
}  // namespace sib
