// Loading and saving descriptions: the round trip of every value kind, the order of loading, root
// names, references, events, and the errors of malformed or unusable descriptions.
#include "platform/components/filer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/platform/components/test_classes.h"

namespace sib::test {
namespace {

// Every value kind: integers (with and without names), enumerations, sets, booleans, floats of
// both precisions and dates, strings with quotes and control characters, sub-objects, extra values
// with nested lists, collections, component references (forward and back), events, binary data and
// nested objects.
constexpr const char* kEveryKind = R"(object Form1: TTestForm
  Caption = 'Main'
  OnCreate = FormCreate
  object panel1: TTestPanel
    Count = 3
    Items = <>
    object c1: TTestPanel
      Count = -5
      Big = -9007199254740993
      Small = 200
      Flag = True
      Shade = shDark
      Shades = [shLight, shBlack]
      Ratio = 2.5
      Level = 0.1
      When = 40542.27532230324
      Text = 'It''s'#13#10'two lines'
      Color = clSilver
      Font.Name = 'Tahoma'
      Font.Size = 11
      Font.Extra = (
        Form1.c2.Pin
        'display'
        (
          1
          -2.5
          1e+300)
        ())
      Items = <
        item
          Caption = 'first'
          Target = c2
        end
        item
          Width = 7
        end>
      Buddy = c2
      OnChange = DoChange
      Data = {
        00FF10}
    end
  end
  object c2: TTestComponent
    Color = 16711935
    Items = <>
    Buddy = panel1
  end
end
)";

class FilerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerTestClasses();
    eventLog().clear();
  }
};

TEST_F(FilerTest, SavingALoadedDescriptionGivesTheSameText) {
  auto form = MakeComponent<TTestForm>();
  LoadDescription(kEveryKind, *form);
  EXPECT_EQ(SaveDescription(*form), kEveryKind);
}

TEST_F(FilerTest, LoadedValuesReachTheProperties) {
  auto form = MakeComponent<TTestForm>();
  LoadDescription(kEveryKind, *form);
  ASSERT_NE(form->c1, nullptr);
  TTestComponent& c1 = *form->c1;
  EXPECT_EQ(c1.FCount, -5);
  EXPECT_EQ(c1.FBig, -9007199254740993);
  EXPECT_EQ(c1.FSmall, 200);
  EXPECT_TRUE(c1.FFlag);
  EXPECT_EQ(c1.FShade, shDark);
  EXPECT_EQ(c1.FShades, (TSet<TShade>{shLight, shBlack}));
  EXPECT_EQ(c1.FLevel, 0.1f);
  EXPECT_EQ(c1.FWhen, 40542.27532230324);
  EXPECT_EQ(c1.FText, "It's\r\ntwo lines");
  EXPECT_EQ(c1.FColor, 0xC0C0C0);
  EXPECT_EQ(c1.FFont.FName, "Tahoma");
  ASSERT_EQ(c1.FItems.Count(), 2);
  EXPECT_EQ(static_cast<TTestItem*>(c1.FItems.Items(0))->FTarget, form->c2);
  EXPECT_EQ(c1.FBuddy, form->c2);
  EXPECT_EQ(c1.FData, (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));
  EXPECT_EQ(c1.Owner(), form.get());
  EXPECT_EQ(form->c2->FBuddy, form->FindComponent("panel1"));
}

TEST_F(FilerTest, EventsBindToTheRootsMethodsByName) {
  auto form = MakeComponent<TTestForm>();
  LoadDescription(kEveryKind, *form);
  form->c1->FOnChange(form->c1);
  form->FOnCreate(form.get());
  EXPECT_EQ(form->Calls, (std::vector<std::string>{"DoChange c1", "FormCreate TTestForm"}));
}

TEST_F(FilerTest, ComponentsAreCreatedInOrderAndLoadedAfterAllReferencesAreResolved) {
  auto form = MakeComponent<TTestForm>();
  LoadDescription(kEveryKind, *form);
  const std::vector<std::string> expected = {
      "construct while loading", "construct while loading", "construct while loading",
      "loaded root Form1",       "loaded panel1",           "loaded c1 buddy c2",
      "loaded c2 buddy panel1"};
  EXPECT_EQ(eventLog(), expected);
  EXPECT_TRUE(form->c1->SawLoadingInSetter);
  for (int i = 0; i < form->ComponentCount(); ++i) {
    EXPECT_FALSE(form->Components(i)->ComponentState().Contains(csLoading));
    EXPECT_FALSE(form->Components(i)->ComponentState().Contains(csReading));
  }
  EXPECT_FALSE(form->ComponentState().Contains(csLoading));
}

TEST_F(FilerTest, NestedObjectsGetTheirParentAndTheRootAsOwner) {
  auto form = MakeComponent<TTestForm>();
  LoadDescription(kEveryKind, *form);
  auto* panel = form->FindComponent("panel1");
  EXPECT_EQ(form->c1->Owner(), form.get());
  EXPECT_EQ(dynamic_cast<TTestPanel*>(panel)->GetParentComponent(), form.get());
}

TEST_F(FilerTest, AnUnnamedRootTakesTheStoredNameMadeUniqueAmongLoadedRoots) {
  auto first = MakeComponent<TTestForm>();
  auto second = MakeComponent<TTestForm>();
  LoadDescription(kEveryKind, *first);
  LoadDescription(kEveryKind, *second);
  EXPECT_EQ(first->Name(), "Form1");
  EXPECT_EQ(second->Name(), "Form1_1");
  EXPECT_EQ(FindGlobalComponent("Form1_1"), second.get());
  second.reset();
  EXPECT_EQ(FindGlobalComponent("Form1_1"), nullptr);
}

TEST_F(FilerTest, ANamedRootKeepsItsNameAndReferencesToTheStoredNameFindIt) {
  auto form = MakeComponent<TTestForm>();
  form->SetName("Other");
  LoadDescription(R"(object Form1: TTestForm
  object c1: TTestComponent
    Buddy = Form1.c2
  end
  object c2: TTestComponent
    Buddy = Form1
  end
end
)",
                  *form);
  EXPECT_EQ(form->Name(), "Other");
  EXPECT_EQ(form->c1->FBuddy, form->c2);
  EXPECT_EQ(form->c2->FBuddy, form.get());
}

TEST_F(FilerTest, ReferencesToAnotherLoadedRootUseItsName) {
  auto other = MakeComponent<TTestForm>();
  LoadDescription("object Form7: TTestForm\n  object c2: TTestComponent\n  end\nend\n", *other);
  auto form = MakeComponent<TTestForm>();
  const char* text = R"(object Form8: TTestForm
  object c1: TTestComponent
    Items = <>
    Buddy = Form7.c2
  end
end
)";
  LoadDescription(text, *form);
  EXPECT_EQ(form->c1->FBuddy, other->c2);
  EXPECT_EQ(SaveDescription(*form), text);
}

TEST_F(FilerTest, AnOlderKeyIsReadButNotWritten) {
  auto form = MakeComponent<TTestForm>();
  LoadDescription("object F: TTestForm\n  object c1: TTestComponent\n    OldCount = 12\n  end\nend\n", *form);
  EXPECT_EQ(form->c1->FCount, 12);
  EXPECT_EQ(SaveDescription(*form),
            "object F: TTestForm\n  object c1: TTestComponent\n    Count = 12\n    Items = <>\n  end\nend\n");
}

TEST_F(FilerTest, ZeroFloatsAndEmptyStringsAreLeftOut) {
  auto form = MakeComponent<TTestForm>();
  auto* c = NewComponent<TTestComponent>(*form);
  c->SetName("c");
  c->FRatio = 0.0;
  c->FText = "";
  c->FSmall = 1;
  EXPECT_EQ(SaveDescription(*form), "object TTestForm\n  object c: TTestComponent\n    Items = <>\n  end\nend\n");
}

TEST_F(FilerTest, SpecialFloatsSurviveTheRoundTrip) {
  const char* text = R"(object F: TTestForm
  object c1: TTestComponent
    Ratio = -INF
    Level = NAN
    When = INF
    Items = <>
  end
end
)";
  auto form = MakeComponent<TTestForm>();
  LoadDescription(text, *form);
  EXPECT_TRUE(std::isinf(form->c1->FRatio));
  EXPECT_TRUE(std::isnan(form->c1->FLevel));
  EXPECT_EQ(SaveDescription(*form), text);
}

TEST_F(FilerTest, CreateFromDescriptionMakesTheRootOfItsRegisteredClass) {
  auto root = CreateFromDescription(kEveryKind);
  auto* form = dynamic_cast<TTestForm*>(root.get());
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->ComponentCount(), 3);
  EXPECT_EQ(SaveDescription(*form), kEveryKind);
}

// --- Errors ---------------------------------------------------------------------------------------

struct ErrorRow {
  const char* what;
  const char* body;  // put between "object Form1: TTestForm\n" and "end\n"
  int line;
  int column;
  const char* message;
};

const ErrorRow kErrors[] = {
    {"missing value", "  Caption = )\n", 2, 13, "Value expected"},
    {"unterminated string", "  Caption = 'abc\n", 2, 13, "Unterminated string"},
    {"bad character code", "  Caption = #1114112\n", 2, 13, "Invalid character code"},
    {"number run into letters", "  object c: TTestComponent\n    Count = 12ab\n  end\n", 3, 13, "Invalid number"},
    {"integer too large", "  object c: TTestComponent\n    Big = 9223372036854775808\n  end\n", 3, 11,
     "Integer out of range"},
    {"odd binary digits", "  object c: TTestComponent\n    Data = {ABC}\n  end\n", 3, 12, "Odd number of digits"},
    {"missing equals sign", "  Caption 'x'\n", 2, 11, "'=' expected"},
    {"property after object", "  object c: TTestComponent\n  end\n  Caption = 'x'\n", 4, 3, "'end' expected"},
    {"key given twice", "  Caption = 'a'\n  caption = 'b'\n", 3, 3, "given twice"},
    {"unknown class", "  object c: TNoSuchClass\n  end\n", 2, 3, "Class TNoSuchClass not found"},
    {"unknown property", "  object c: TTestComponent\n    Bogus = 1\n  end\n", 3, 5,
     "Property Bogus does not exist in TTestComponent"},
    {"unknown sub-object property", "  object c: TTestComponent\n    Font.Bogus = 1\n  end\n", 3, 5,
     "Property Bogus does not exist in TTestFont"},
    {"path through a number", "  object c: TTestComponent\n    Count.X = 1\n  end\n", 3, 5, "holds no object"},
    {"path into another component", "  object c: TTestComponent\n    Buddy.Count = 1\n  end\n", 3, 5,
     "holds no object"},
    {"string for an integer", "  object c: TTestComponent\n    Count = 'x'\n  end\n", 3, 13,
     "Invalid value for property Count of type Integer: string"},
    {"unknown enumeration value", "  object c: TTestComponent\n    Shade = shPurple\n  end\n", 3, 13,
     "Invalid value shPurple"},
    {"unknown set element", "  object c: TTestComponent\n    Shades = [shDark, shNone]\n  end\n", 3, 23,
     "Invalid value shNone"},
    {"value out of range", "  object c: TTestComponent\n    Small = 300\n  end\n", 3, 5, "out of range"},
    {"read-only property", "  object c: TTestComponent\n    Version = 4\n  end\n", 3, 5, "is read-only"},
    {"unknown component", "  object c: TTestComponent\n    Buddy = nobody\n  end\n", 3, 13, "Component nobody not found"},
    {"unknown method", "  object c: TTestComponent\n    OnChange = Nope\n  end\n", 3, 16, "Method Nope not found"},
    {"method of another shape", "  object c: TTestComponent\n    OnChange = WrongShape\n  end\n", 3, 5,
     "does not suit event OnChange"},
    {"extra value of the wrong kind", "  object c: TTestComponent\n    OldCount = 'x'\n  end\n", 3, 16,
     "integer expected, found string"},
    {"names taken twice", "  object c: TTestComponent\n  end\n  object C: TTestComponent\n  end\n", 4, 3,
     "A component named C already exists"},
    {"invalid component name", "  object _ok: TTestComponent\n  end\n  object c: TTestComponent\n    Name = 'a b'\n  end\n",
     5, 5, "is not a valid component name"},
};

TEST_F(FilerTest, ErrorsNameTheirPlaceAndLeaveNothingBehind) {
  for (const ErrorRow& row : kErrors) {
    auto form = MakeComponent<TTestForm>();
    const std::string text = std::string("object Form1: TTestForm\n") + row.body + "end\n";
    try {
      LoadDescription(text, *form);
      ADD_FAILURE() << row.what << ": no error";
      continue;
    } catch (const EDescriptionError& e) {
      EXPECT_EQ(e.Pos().Line, row.line) << row.what << ": " << e.what();
      EXPECT_EQ(e.Pos().Column, row.column) << row.what << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << row.what << ": " << e.what();
      const std::string prefix = "Line " + std::to_string(row.line) + ", column " + std::to_string(row.column) + ": ";
      EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << row.what << ": " << e.what();
    }
    EXPECT_EQ(form->ComponentCount(), 0) << row.what;
    EXPECT_EQ(form->c1, nullptr) << row.what;
    EXPECT_EQ(form->Name(), "") << row.what;
    EXPECT_FALSE(form->ComponentState().Contains(csLoading)) << row.what;
    EXPECT_EQ(FindGlobalComponent("Form1"), nullptr) << row.what;
  }
}

TEST_F(FilerTest, StructuralErrorsOfTheWholeText) {
  struct Row {
    const char* what;
    const char* text;
    const char* message;
  };
  const Row rows[] = {
      {"empty text", "", "'object' expected"},
      {"missing end", "object F: TTestForm\n", "'end' expected"},
      {"text after the end", "object F: TTestForm\nend\nend\n", "End of text expected"},
      {"dotted object name", "object F.x: TTestForm\nend\n", "Identifier expected"},
      {"stray character", "object F: TTestForm\n  Caption = 'a' ?\nend\n", "Unexpected character"},
      {"set of numbers", "object F: TTestForm\n  Caption = [1]\nend\n", "Identifier expected"},
      {"unclosed list", "object F: TTestForm\n  Caption = (1 2\n", "Value expected"},
      {"unclosed binary", "object F: TTestForm\n  Caption = {00", "Unterminated binary data"},
      {"plus without string", "object F: TTestForm\n  Caption = 'a' + 1\nend\n", "String expected after '+'"},
  };
  for (const Row& row : rows) {
    auto form = MakeComponent<TTestForm>();
    try {
      LoadDescription(row.text, *form);
      ADD_FAILURE() << row.what << ": no error";
    } catch (const EDescriptionError& e) {
      EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << row.what << ": " << e.what();
    }
  }
}

TEST_F(FilerTest, NestingBeyondTheLimitIsRefused) {
  const int depth = kMaxDescriptionNesting + 1;
  std::string text = "object F: TTestForm\n  Caption = " + std::string(depth, '(') + std::string(depth, ')') + "\nend\n";
  EXPECT_THROW(ParseDescription(text), EDescriptionError);
  std::string objects;
  for (int i = 0; i < depth; ++i) objects += "object c" + std::to_string(i) + ": TTestPanel\n";
  for (int i = 0; i < depth; ++i) objects += "end\n";
  EXPECT_THROW(ParseDescription(objects), EDescriptionError);
}

TEST_F(FilerTest, AnUnresolvedReferenceDestroysEverythingTheLoadCreated) {
  auto form = MakeComponent<TTestForm>();
  EXPECT_THROW(LoadDescription("object F: TTestForm\n  object c1: TTestComponent\n  end\n"
                               "  object c2: TTestComponent\n    Buddy = c3\n  end\nend\n",
                               *form),
               EDescriptionError);
  EXPECT_EQ(form->ComponentCount(), 0);
  EXPECT_EQ(form->c1, nullptr);
  EXPECT_EQ(form->c2, nullptr);
  for (const std::string& entry : eventLog()) EXPECT_NE(entry.rfind("loaded", 0), 0u) << entry;  // no Loaded ran
}

TEST_F(FilerTest, AFailingLoadedHookPassesItsErrorOnAndDestroysWhatTheLoadCreated) {
  auto form = MakeComponent<TTestForm>();
  try {
    LoadDescription("object F: TTestForm\n  object c1: TTestComponent\n  end\n"
                    "  object bad: TTestFailing\n  end\nend\n",
                    *form);
    FAIL() << "no error";
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "refused");
  }
  EXPECT_EQ(form->ComponentCount(), 0);
  EXPECT_EQ(form->c1, nullptr);
}

TEST_F(FilerTest, AWriterThatWritesOtherThanOneValueIsRefused) {
  auto form = MakeComponent<TTestForm>();
  auto* c = NewComponent<TTestComponent>(*form);
  c->FFont.FExtra.Type = vaBinary;  // a kind the test writer leaves out: it writes nothing
  EXPECT_THROW(SaveDescription(*form), EInvalidOperation);
}

}  // namespace
}  // namespace sib::test
