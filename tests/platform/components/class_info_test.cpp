// Published-property tables: order, kinds and type names, accessors, defaults and stored-ness, the
// class registry, published methods and the enumeration names.
#include "platform/components/class_info.h"

#include <gtest/gtest.h>

#include "tests/platform/components/test_classes.h"

namespace sib::test {
namespace {

std::vector<std::string> names(const TClassInfo& cls) {
  std::vector<std::string> result;
  for (const TPropInfo* p : cls.Properties()) result.push_back(p->Name());
  return result;
}

// Re-publishes an ancestor's property with another default, and adds one of its own.
class TDerived : public TTestComponent {
  SIB_CLASS(TDerived, TTestComponent)
 public:
  using TTestComponent::TTestComponent;
  bool FExtraFlag = false;
  bool IsExtraStored() const { return FCount > 0; }
  static TPropertyList PublishedProperties() {
    return {
        prop("Small", &TDerived::FSmall).defaultValue(5),
        prop("ExtraFlag", &TDerived::FExtraFlag).stored(&TDerived::IsExtraStored),
        prop("Hidden", &TDerived::FCount).stored(false),
    };
  }
};

TEST(ClassInfoTest, PropertiesComeInDeclarationOrderAncestorsFirst) {
  const std::vector<std::string> expected = {"Name",  "Tag",   "Count", "Big",  "Small", "Flag",  "Shade",
                                             "Shades", "Ratio", "Level", "When", "Text",  "Color", "Font",
                                             "Items", "Buddy", "OnChange", "Version", "ExtraFlag", "Hidden"};
  EXPECT_EQ(names(TDerived::StaticClass()), expected);
  EXPECT_EQ(TDerived::StaticClass().FindProperty("Small")->OrdDefault(), 5);  // replaced in place
  EXPECT_EQ(TTestComponent::StaticClass().FindProperty("Small")->OrdDefault(), 1);
}

TEST(ClassInfoTest, KindsAndTypeNamesTellFloatsDatesAndIntegersApart) {
  struct Row {
    const char* property;
    TTypeKind kind;
    const char* typeName;
  };
  const Row rows[] = {
      {"Count", tkInteger, "Integer"},      {"Big", tkInteger, "Int64"},     {"Small", tkInteger, "Byte"},
      {"Flag", tkEnumeration, "Boolean"},   {"Shade", tkEnumeration, "TShade"}, {"Shades", tkSet, "set of TShade"},
      {"Ratio", tkFloat, "Double"},         {"Level", tkFloat, "Single"},    {"When", tkFloat, "TDateTime"},
      {"Text", tkString, "string"},         {"Color", tkInteger, "TColor"},  {"Font", tkClass, "TTestFont"},
      {"Items", tkClass, "TCollection"},    {"Buddy", tkClass, "TComponent"}, {"OnChange", tkMethod, "TMethod"},
  };
  const TClassInfo& cls = TTestComponent::StaticClass();
  for (const Row& row : rows) {
    const TPropInfo* p = cls.FindProperty(row.property);
    ASSERT_NE(p, nullptr) << row.property;
    EXPECT_EQ(p->Kind(), row.kind) << row.property;
    EXPECT_EQ(p->PropType().Name, row.typeName) << row.property;
  }
  EXPECT_TRUE(cls.FindProperty("When")->PropType().IsDateTimeType());
  EXPECT_FALSE(cls.FindProperty("Ratio")->PropType().IsDateTimeType());
  EXPECT_EQ(cls.FindProperty("Level")->PropType().FloatType, ftSingle);
  EXPECT_EQ(cls.FindProperty("Shades")->PropType().ElementType->EnumNames,
            (std::vector<std::string>{"shLight", "shDark", "shBlack"}));
}

TEST(ClassInfoTest, AccessorsReadAndWriteThroughFieldsGettersAndSetters) {
  auto c = MakeComponent<TTestComponent>();
  const TClassInfo& cls = c->ClassType();
  cls.FindProperty("count")->SetOrd(c.get(), 42);  // names are found regardless of case
  EXPECT_EQ(c->FCount, 42);
  EXPECT_FALSE(c->SawLoadingInSetter);  // the setter ran
  cls.FindProperty("Shades")->SetOrd(c.get(), 0b101);
  EXPECT_EQ(c->FShades, (TSet<TShade>{shLight, shBlack}));
  cls.FindProperty("Level")->SetFloat(c.get(), 0.25);
  EXPECT_EQ(c->FLevel, 0.25f);
  cls.FindProperty("Text")->SetString(c.get(), "abc");
  EXPECT_EQ(cls.FindProperty("Text")->GetString(c.get()), "abc");
  EXPECT_EQ(cls.FindProperty("Font")->GetObject(c.get()), &c->FFont);
  EXPECT_EQ(cls.FindProperty("Version")->GetOrd(c.get()), 3);
  EXPECT_FALSE(cls.FindProperty("Version")->IsWritable());
}

TEST(ClassInfoTest, AccessorsRefuseWhatDoesNotFit) {
  auto c = MakeComponent<TTestComponent>();
  auto other = MakeComponent<TComponent>();
  const TClassInfo& cls = c->ClassType();
  EXPECT_THROW(cls.FindProperty("Small")->SetOrd(c.get(), 256), ERangeError);
  EXPECT_THROW(cls.FindProperty("Shade")->SetOrd(c.get(), 3), ERangeError);
  EXPECT_THROW(cls.FindProperty("Shades")->SetOrd(c.get(), 0b1000), ERangeError);
  EXPECT_THROW(cls.FindProperty("Flag")->SetOrd(c.get(), 2), ERangeError);
  EXPECT_THROW(cls.FindProperty("Level")->SetFloat(c.get(), 1e39), ERangeError);
  EXPECT_THROW(cls.FindProperty("Count")->GetFloat(c.get()), EInvalidOperation);
  EXPECT_THROW(cls.FindProperty("Version")->SetOrd(c.get(), 1), EInvalidOperation);
  EXPECT_THROW(cls.FindProperty("Count")->GetOrd(other.get()), EInvalidOperation);
  auto font = std::make_unique<TTestFont>();
  EXPECT_THROW(cls.FindProperty("Buddy")->SetObject(c.get(), font.get()), EConvertError);
  cls.FindProperty("Buddy")->SetObject(c.get(), other.get());
  EXPECT_EQ(c->FBuddy, other.get());
}

TEST(ClassInfoTest, DefaultsDecideWhatTheWriterLeavesOut) {
  struct Row {
    const char* property;
    std::function<void(TTestComponent&)> set;
    bool isDefault;
  };
  const Row rows[] = {
      {"Count", [](TTestComponent&) {}, true},
      {"Count", [](TTestComponent& c) { c.FCount = 1; }, false},
      {"Small", [](TTestComponent&) {}, true},
      {"Small", [](TTestComponent& c) { c.FSmall = 0; }, false},
      {"Ratio", [](TTestComponent&) {}, true},
      {"Ratio", [](TTestComponent& c) { c.FRatio = -0.0; }, true},
      {"Ratio", [](TTestComponent& c) { c.FRatio = 1e-300; }, false},
      {"Text", [](TTestComponent&) {}, true},
      {"Text", [](TTestComponent& c) { c.FText = " "; }, false},
      {"Shades", [](TTestComponent&) {}, true},
      {"Shades", [](TTestComponent& c) { c.FShades = {shDark}; }, false},
      {"OnChange", [](TTestComponent&) {}, true},
      {"OnChange", [](TTestComponent& c) { c.FOnChange = TNotifyEvent([](TObject*) {}); }, false},
  };
  for (const Row& row : rows) {
    auto c = MakeComponent<TTestComponent>();
    row.set(*c);
    EXPECT_EQ(c->ClassType().FindProperty(row.property)->IsDefaultValue(c.get()), row.isDefault) << row.property;
  }
}

TEST(ClassInfoTest, StoredClausesAreEvaluatedPerObject) {
  auto d = MakeComponent<TDerived>();
  const TClassInfo& cls = d->ClassType();
  EXPECT_FALSE(cls.FindProperty("ExtraFlag")->IsStored(d.get()));
  d->FCount = 1;
  EXPECT_TRUE(cls.FindProperty("ExtraFlag")->IsStored(d.get()));
  EXPECT_FALSE(cls.FindProperty("Hidden")->IsStored(d.get()));
  EXPECT_FALSE(cls.FindProperty("Name")->IsStored(d.get()));
}

TEST(ClassInfoTest, EventsBindToPublishedMethodsOfTheirShape) {
  auto form = MakeComponent<TTestForm>();
  auto c = MakeComponent<TTestComponent>();
  c->SetName("c");
  const TPropInfo* onChange = c->ClassType().FindProperty("OnChange");
  onChange->SetMethod(c.get(), form->ClassType().FindMethod("dochange"), form.get());
  EXPECT_EQ(onChange->GetMethodName(c.get()), "DoChange");
  EXPECT_EQ(onChange->GetMethodData(c.get()), form.get());
  c->FOnChange(c.get());
  EXPECT_EQ(form->Calls, std::vector<std::string>{"DoChange c"});
  EXPECT_THROW(onChange->SetMethod(c.get(), form->ClassType().FindMethod("WrongShape"), form.get()), EConvertError);
  onChange->SetMethod(c.get(), nullptr, nullptr);
  EXPECT_FALSE(onChange->IsMethodAssigned(c.get()));
}

TEST(ClassInfoTest, ClassesInheritAndAreFoundByNameOnceRegistered) {
  registerTestClasses();
  EXPECT_EQ(GetClass("ttestpanel"), &TTestPanel::StaticClass());
  EXPECT_EQ(GetClass("TNoSuchClass"), nullptr);
  EXPECT_NO_THROW(RegisterClass(TTestPanel::StaticClass()));  // again: harmless
  EXPECT_TRUE(TTestPanel::StaticClass().InheritsFrom(TComponent::StaticClass()));
  EXPECT_FALSE(TComponent::StaticClass().InheritsFrom(TTestPanel::StaticClass()));
  EXPECT_EQ(TTestPanel::StaticClass().ClassParent(), &TTestComponent::StaticClass());
  auto panel = MakeComponent<TTestPanel>();
  TComponent* asComponent = panel.get();
  EXPECT_EQ(asComponent->ClassName(), "TTestPanel");
  EXPECT_TRUE(asComponent->InheritsFrom(TTestComponent::StaticClass()));
}

class TTestPanelImpostor : public TComponent {
 public:
  using TComponent::TComponent;
  static const TClassInfo& StaticClass() {
    static const TClassInfo info("TTestPanel", &TComponent::StaticClass(), nullptr, {}, {}, {});
    return info;
  }
};

TEST(ClassInfoTest, AnotherClassUnderATakenNameIsRefused) {
  registerTestClasses();
  EXPECT_THROW(RegisterClass(TTestPanelImpostor::StaticClass()), EInvalidOperation);
}

TEST(ClassInfoTest, RegisteredComponentClassesCreateComponentsThroughTheirFactory) {
  auto owner = MakeComponent<TComponent>();
  TComponentPtr<> created = CreateComponentOfClass(TTestPanel::StaticClass(), owner.get());
  EXPECT_EQ(created->Owner(), owner.get());
  EXPECT_EQ(created->ClassName(), "TTestPanel");
  EXPECT_THROW(CreateComponentOfClass(TTestFont::StaticClass(), owner.get()), EInvalidOperation);
}

TEST(ClassInfoTest, ATypeOfAnotherKindOrAWiderRangeIsRefused) {
  struct TSmall : TObject {
    std::uint8_t FValue = 0;
    double FRatio = 0;
  };
  EXPECT_THROW(prop("Value", &TSmall::FValue).type(colorType()), EInvalidOperation);
  EXPECT_THROW(prop("Ratio", &TSmall::FRatio).type(colorType()), EInvalidOperation);
  EXPECT_NO_THROW(prop("Ratio", &TSmall::FRatio).type(timeType()));
}

enum TGappy : std::uint8_t { gpA = 0, gpB = 2 };
SIB_ENUM_NAMES(TGappy, gpA, gpB)

TEST(ClassInfoTest, EnumerationNamesMustListTheValuesInOrder) {
  EXPECT_EQ(enumName(shBlack), "shBlack");
  EXPECT_EQ(typeInfoOf<TShade>().EnumValue("SHDARK"), 1);
  EXPECT_THROW(typeInfoOf<TGappy>(), EInvalidOperation);
}

}  // namespace
}  // namespace sib::test
