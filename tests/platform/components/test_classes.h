// Classes for the tests of the property tables, the loader and the writer: one component with a
// property of every kind, a sub-object with extra stored values, a collection item, a panel that
// nests children, and a form-like root with published methods and fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/components/filer.h"

namespace sib::test {

enum TShade : std::uint8_t { shLight, shDark, shBlack };
SIB_ENUM_NAMES(TShade, shLight, shDark, shBlack)

// Colours with names, as a description stores them.
inline const TTypeInfo& colorType() {
  static const TTypeInfo info = TTypeInfo::Integer(
      "TColor", INT32_MIN, INT32_MAX, {{"clBlack", 0}, {"clRed", 0x0000FF}, {"clSilver", 0xC0C0C0}});
  return info;
}

// What the loader did, in order, for the tests that check the order.
inline std::vector<std::string>& eventLog() {
  static std::vector<std::string> log;
  return log;
}

class TTestFont : public TPersistent {
  SIB_CLASS(TTestFont, TPersistent)
 public:
  std::string FName;
  std::int32_t FSize = 8;
  // Extra stored value: a list of identifiers, strings, numbers and nested lists, kept as a tree.
  TValueNode FExtra;

  static TPropertyList PublishedProperties() {
    return {
        prop("Name", &TTestFont::FName),
        prop("Size", &TTestFont::FSize).defaultValue(8),
    };
  }

  void Assign(TPersistent* Source) override {
    if (auto* other = dynamic_cast<TTestFont*>(Source)) {
      FName = other->FName;
      FSize = other->FSize;
      return;
    }
    TPersistent::Assign(Source);
  }

  void DefineProperties(TFiler& Filer) override {
    TPersistent::DefineProperties(Filer);
    Filer.DefineProperty(
        "Extra", [this](TReader& r) { FExtra = ReadAny(r); }, [this](TWriter& w) { WriteAny(w, FExtra); },
        FExtra.Type != vaNull);
  }

 private:
  static TValueNode ReadAny(TReader& r) {
    TValueNode v;
    v.Type = r.NextValue();
    switch (v.Type) {
      case vaList:
        r.ReadListBegin();
        while (!r.EndOfList()) v.Elements.push_back(ReadAny(r));
        r.ReadListEnd();
        break;
      case vaIdent: v.Text = r.ReadIdent(); break;
      case vaString: v.Text = r.ReadString(); break;
      case vaInteger: v.Integer = r.ReadInt64(); break;
      case vaFloat: v.Float = r.ReadFloat(); break;
      default: r.Error("Unexpected value in Extra");
    }
    return v;
  }
  static void WriteAny(TWriter& w, const TValueNode& v) {
    switch (v.Type) {
      case vaList:
        w.WriteListBegin();
        for (const TValueNode& e : v.Elements) WriteAny(w, e);
        w.WriteListEnd();
        break;
      case vaIdent: w.WriteIdent(v.Text); break;
      case vaString: w.WriteString(v.Text); break;
      case vaInteger: w.WriteInteger(v.Integer); break;
      case vaFloat: w.WriteFloat(v.Float); break;
      default: break;
    }
  }
};

class TTestItem : public TCollectionItem {
  SIB_CLASS(TTestItem, TCollectionItem)
 public:
  using TCollectionItem::TCollectionItem;
  std::string FCaption;
  std::int32_t FWidth = 0;
  TComponent* FTarget = nullptr;

  static TPropertyList PublishedProperties() {
    return {
        prop("Caption", &TTestItem::FCaption),
        prop("Width", &TTestItem::FWidth).defaultValue(0),
        prop("Target", &TTestItem::FTarget),
    };
  }

  void Assign(TPersistent* Source) override {
    if (auto* other = dynamic_cast<TTestItem*>(Source)) {
      FCaption = other->FCaption;
      FWidth = other->FWidth;
      FTarget = other->FTarget;
      return;
    }
    TCollectionItem::Assign(Source);
  }
};

class TTestComponent : public TComponent {
  SIB_CLASS(TTestComponent, TComponent)
 public:
  explicit TTestComponent(TComponent* AOwner) : TComponent(AOwner), FItems(TTestItem::StaticClass(), this) {}

  std::int32_t FCount = 0;
  std::int64_t FBig = 0;
  std::uint8_t FSmall = 1;
  bool FFlag = false;
  TShade FShade = shLight;
  TSet<TShade> FShades;
  double FRatio = 0;
  float FLevel = 0;
  double FWhen = 0;
  std::string FText;
  std::int32_t FColor = 0;
  TTestFont FFont;
  TCollection FItems;
  TComponent* FBuddy = nullptr;
  TNotifyEvent FOnChange;
  std::vector<std::uint8_t> FData;
  int FVersion = 3;
  bool SawLoadingInSetter = false;

  void SetCount(std::int32_t value) {
    FCount = value;
    SawLoadingInSetter = ComponentState().Contains(csLoading);
  }
  TTestFont* GetFont() { return &FFont; }
  TCollection* GetItems() { return &FItems; }
  int GetVersion() const { return FVersion; }

  static TPropertyList PublishedProperties() {
    return {
        prop("Count", &TTestComponent::FCount, &TTestComponent::SetCount).defaultValue(0),
        prop("Big", &TTestComponent::FBig).defaultValue(0),
        prop("Small", &TTestComponent::FSmall).defaultValue(1),
        prop("Flag", &TTestComponent::FFlag).defaultValue(false),
        prop("Shade", &TTestComponent::FShade).defaultValue(shLight),
        prop("Shades", &TTestComponent::FShades).defaultValue(TSet<TShade>{}),
        prop("Ratio", &TTestComponent::FRatio),
        prop("Level", &TTestComponent::FLevel),
        prop("When", &TTestComponent::FWhen).type(dateTimeType()),
        prop("Text", &TTestComponent::FText),
        prop("Color", &TTestComponent::FColor).type(colorType()).defaultValue(0),
        prop("Font", &TTestComponent::GetFont),
        prop("Items", &TTestComponent::GetItems),
        prop("Buddy", &TTestComponent::FBuddy),
        prop("OnChange", &TTestComponent::FOnChange),
        prop("Version", &TTestComponent::GetVersion),
    };
  }

  void DefineProperties(TFiler& Filer) override {
    TComponent::DefineProperties(Filer);
    // An older name of Count: still read, never written.
    Filer.DefineProperty("OldCount", [this](TReader& r) { SetCount(r.ReadInteger()); }, nullptr, false);
    Filer.DefineBinaryProperty(
        "Data", [this](const std::vector<std::uint8_t>& bytes) { FData = bytes; }, [this] { return FData; },
        !FData.empty());
  }

  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FBuddy) FBuddy = nullptr;
  }

  void AfterConstruction() override {
    TComponent::AfterConstruction();
    if (ComponentState().Contains(csLoading)) eventLog().push_back("construct while loading");
  }
  void Loaded() override {
    TComponent::Loaded();
    eventLog().push_back("loaded " + Name() + (FBuddy ? " buddy " + FBuddy->Name() : std::string()));
  }
};

// A component whose Loaded fails.
class TTestFailing : public TTestComponent {
  SIB_CLASS(TTestFailing, TTestComponent)
 public:
  using TTestComponent::TTestComponent;
  void Loaded() override {
    TTestComponent::Loaded();
    throw EInvalidOperation("refused");
  }
};

// A component that nests the children of its description.
class TTestPanel : public TTestComponent {
  SIB_CLASS(TTestPanel, TTestComponent)
 public:
  using TTestComponent::TTestComponent;
  TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(TComponent* Value) override { parent_ = Value; }

 private:
  TComponent* parent_ = nullptr;
};

class TTestForm : public TComponent {
  SIB_CLASS(TTestForm, TComponent)
 public:
  using TComponent::TComponent;
  std::string FCaption;
  TNotifyEvent FOnCreate;
  TTestComponent* c1 = nullptr;
  TTestComponent* c2 = nullptr;
  std::vector<std::string> Calls;

  void FormCreate(TObject* Sender) { Calls.push_back("FormCreate " + (Sender ? Sender->ClassName() : "")); }
  void DoChange(TObject* Sender) {
    auto* c = dynamic_cast<TComponent*>(Sender);
    Calls.push_back("DoChange " + (c ? c->Name() : std::string()));
  }
  void WrongShape(TObject*, int) {}

  bool IsRootClass() const override { return true; }

  static TPropertyList PublishedProperties() {
    return {prop("Caption", &TTestForm::FCaption), prop("OnCreate", &TTestForm::FOnCreate)};
  }
  static TMethodList PublishedMethods() {
    return {method("FormCreate", &TTestForm::FormCreate), method("DoChange", &TTestForm::DoChange),
            method("WrongShape", &TTestForm::WrongShape)};
  }
  static TFieldList PublishedFields() { return {field("c1", &TTestForm::c1), field("c2", &TTestForm::c2)}; }

  void Loaded() override {
    TComponent::Loaded();
    eventLog().push_back("loaded root " + Name());
  }
};

inline void registerTestClasses() { RegisterClasses<TTestComponent, TTestPanel, TTestFailing, TTestForm>(); }

}  // namespace sib::test
