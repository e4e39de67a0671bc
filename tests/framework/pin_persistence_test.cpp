// Pin names, saving and loading links through stored descriptions, and placeholders.
#include "framework/pin_persistence.h"

#include <gtest/gtest.h>

#include "pin_test_components.h"

namespace sib::test {
namespace {

// The program's window as it is stored: the output, the player and the amplifier, in this order.
constexpr const char* kProgramWindow = R"(object Form1: TPinTestForm
  object out1: TTestOutput
    InputPin.Form = Form1
    InputPin.SourcePin = Form1.amp1.OutputPin
  end
  object wp1: TTestPlayer
    OutputPin.Form = Form1
    OutputPin.SinkPins = (
      Form1.amp1.InputPin)
  end
  object amp1: TTestAmplifier
    InputPin.Form = Form1
    InputPin.SourcePin = Form1.wp1.OutputPin
    OutputPin.Form = Form1
    OutputPin.SinkPins = (
      Form1.out1.InputPin)
  end
end
)";

// An integer source and a real sink, which connect through a converter.
class TIntSource : public TTestComponentBase {
  SIB_CLASS(TIntSource, TTestComponentBase)
 public:
  explicit TIntSource(TComponent* AOwner)
      : TTestComponentBase(AOwner), FOutputPin(makePin<TTestSourcePin>(this, FLock.get(), IOWIntegerStream::IID)) {}
  TTestSourcePin* OutputPin() const { return FOutputPin.get(); }
  static TPropertyList PublishedProperties() { return {prop("OutputPin", &TIntSource::OutputPin)}; }

 protected:
  void DestroyPins() override { FOutputPin.reset(); }
  TOWPinRef<TTestSourcePin> FOutputPin;
};

class TRealSink : public TTestComponentBase {
  SIB_CLASS(TRealSink, TTestComponentBase)
 public:
  explicit TRealSink(TComponent* AOwner)
      : TTestComponentBase(AOwner), FInputPin(makePin<TOWRealSinkPin>(this, FLock.get())) {}
  TOWRealSinkPin* InputPin() const { return FInputPin.get(); }
  static TPropertyList PublishedProperties() { return {prop("InputPin", &TRealSink::InputPin)}; }

 protected:
  void DestroyPins() override { FInputPin.reset(); }
  TOWPinRef<TOWRealSinkPin> FInputPin;
};

// A component with a Boolean state pin, and one with a time-ranged position.
class TTestSwitch : public TTestComponentBase {
  SIB_CLASS(TTestSwitch, TTestComponentBase)
 public:
  explicit TTestSwitch(TComponent* AOwner)
      : TTestComponentBase(AOwner), FEnablePin(makePin<TOWBoolStatePin>(this, FLock.get())) {}
  TOWBoolStatePin* EnablePin() const { return FEnablePin.get(); }
  static TPropertyList PublishedProperties() { return {prop("EnablePin", &TTestSwitch::EnablePin)}; }

 protected:
  void DestroyPins() override { FEnablePin.reset(); }
  TOWPinRef<TOWBoolStatePin> FEnablePin;
};

class TTestPosition : public TTestComponentBase {
  SIB_CLASS(TTestPosition, TTestComponentBase)
 public:
  explicit TTestPosition(TComponent* AOwner)
      : TTestComponentBase(AOwner), FPositionPin(makePin<TOWInt64TimeRangedStatePin>(this, FLock.get())) {}
  TOWInt64TimeRangedStatePin* PositionPin() const { return FPositionPin.get(); }
  static TPropertyList PublishedProperties() { return {prop("PositionPin", &TTestPosition::PositionPin)}; }

 protected:
  void DestroyPins() override { FPositionPin.reset(); }
  TOWPinRef<TOWInt64TimeRangedStatePin> FPositionPin;
};

class PinPersistenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registerPinTestClasses();
    RegisterClasses<TIntSource, TRealSink, TTestSwitch, TTestPosition>();
    baselinePins_ = TOWPinRegistry::Count();
  }
  void TearDown() override {
    forms_.clear();
    OWFreePlaceholders();
    EXPECT_EQ(TOWPinRegistry::Count(), baselinePins_);
    EXPECT_EQ(TOWStateDispatcher::Count(), 0u);
  }

  TPinTestForm* NewForm(const std::string& name) {
    forms_.push_back(MakeComponent<TPinTestForm>());
    forms_.back()->SetName(name);
    return forms_.back().get();
  }
  template <class T>
  static T* Add(TPinTestForm* form, const std::string& name) {
    T* component = NewComponent<T>(*form);
    component->SetName(name);
    return component;
  }

  TPinTestForm* Load(const std::string& text, const std::string& rootName = {}) {
    auto form = MakeComponent<TPinTestForm>();
    if (!rootName.empty()) form->SetName(rootName);
    LoadDescription(text, *form);
    forms_.push_back(std::move(form));
    return forms_.back().get();
  }

  template <class T>
  static T* Find(TPinTestForm* form, const char* name) {
    auto* found = dynamic_cast<T*>(form->FindComponent(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  std::size_t baselinePins_ = 0;
  std::vector<TComponentPtr<TPinTestForm>> forms_;
};

TEST_F(PinPersistenceTest, TheProgramWindowLoadsInItsStoredOrderIntoTwoConnectionsAndNoPlaceholder) {
  TPinTestForm* form = Load(kProgramWindow);
  auto* wp1 = Find<TTestPlayer>(form, "wp1");
  auto* amp1 = Find<TTestAmplifier>(form, "amp1");
  auto* out1 = Find<TTestOutput>(form, "out1");

  EXPECT_EQ(amp1->InputPin()->SourcePin(), wp1->OutputPin());
  EXPECT_EQ(out1->InputPin()->SourcePin(), amp1->OutputPin());
  EXPECT_EQ(wp1->OutputPin()->SinkCount(), 1u);
  EXPECT_EQ(wp1->OutputPin()->GetSink(0), amp1->InputPin());
  EXPECT_EQ(amp1->OutputPin()->SinkCount(), 1u);
  EXPECT_EQ(amp1->OutputPin()->GetSink(0), out1->InputPin());
  EXPECT_TRUE(OWPlaceholders().empty());

  OperationRef op = newOperation<TOWStartOperation>();
  out1->InputPin()->Received.Clear();
  wp1->OutputPin()->Notify(op);
  ASSERT_EQ(out1->InputPin()->Received.Count(), 1u);
  EXPECT_EQ(out1->InputPin()->Received.Deliveries()[0].OperationID, op->Instance()->OperationID());
}

TEST_F(PinPersistenceTest, SavingTheProgramWindowWritesWhatWasLoaded) {
  TPinTestForm* form = Load(kProgramWindow);
  EXPECT_EQ(SaveDescription(*form), kProgramWindow);
}

TEST_F(PinPersistenceTest, PinsAreNamedByRootOwnerAndProperty) {
  TPinTestForm* form = Load(kProgramWindow);
  TOWBasicPin* pin = Find<TTestAmplifier>(form, "amp1")->InputPin();
  EXPECT_EQ(pin->GetFullName(true), "Form1.amp1.InputPin");
  EXPECT_EQ(pin->GetFullName(false), "amp1.InputPin");
  EXPECT_EQ(pin->GetFullIdentName(true), "Form1.amp1.InputPin");
  EXPECT_EQ(pin->GetRootName(), "Form1");
  EXPECT_EQ(pin->GetOwnerName(), "amp1");
  EXPECT_EQ(pin->GetName(), "InputPin");
  EXPECT_EQ(pin->GetSaveName(), "InputPin");
  EXPECT_EQ(pin->GetRoot(), form);
}

TEST_F(PinPersistenceTest, AWindowStoredAsForm1AndLoadedUnderAnotherNameLinksItsOwnPins) {
  TPinTestForm* first = Load(kProgramWindow);
  TPinTestForm* second = Load(kProgramWindow, "Main");
  ASSERT_EQ(second->Name(), "Main");
  auto* wp1 = Find<TTestPlayer>(second, "wp1");
  auto* amp1 = Find<TTestAmplifier>(second, "amp1");
  auto* out1 = Find<TTestOutput>(second, "out1");
  EXPECT_EQ(amp1->InputPin()->SourcePin(), wp1->OutputPin());
  EXPECT_EQ(out1->InputPin()->SourcePin(), amp1->OutputPin());
  EXPECT_EQ(Find<TTestAmplifier>(first, "amp1")->OutputPin()->SinkCount(), 1u) << "the first window keeps its own links";
  EXPECT_EQ(Find<TTestPlayer>(first, "wp1")->OutputPin()->GetSink(0), Find<TTestAmplifier>(first, "amp1")->InputPin());
  EXPECT_TRUE(OWPlaceholders().empty());
  EXPECT_EQ(amp1->InputPin()->LoadFormName(), "Form1");
  EXPECT_EQ(amp1->InputPin()->GetFullName(true), "Main.amp1.InputPin");
}

TEST_F(PinPersistenceTest, APinWithoutLinksWritesNothing) {
  const char* text = "object Form1: TPinTestForm\n  object wp1: TTestPlayer\n  end\n  object out1: TTestOutput\n  end\nend\n";
  TPinTestForm* form = Load(text);
  EXPECT_EQ(SaveDescription(*form), text);
}

TEST_F(PinPersistenceTest, ASinkFedThroughAConverterStoresItsRealSource) {
  const char* text = R"(object Form1: TPinTestForm
  object src: TIntSource
    OutputPin.Form = Form1
    OutputPin.SinkPins = (
      Form1.dst.InputPin)
  end
  object dst: TRealSink
    InputPin.Form = Form1
    InputPin.SourcePin = Form1.src.OutputPin
  end
end
)";
  TPinTestForm* form = Load(text);
  auto* dst = Find<TRealSink>(form, "dst");
  auto* src = Find<TIntSource>(form, "src");
  EXPECT_TRUE(dst->InputPin()->IsConnectedByConverterTo(src->OutputPin()));
  EXPECT_TRUE(OWPlaceholders().empty());
  EXPECT_EQ(SaveDescription(*form), text);
  src->OutputPin()->Notify(newOperation<TOWSuppliedIntegerOperation>(5));
  EXPECT_EQ(dst->InputPin()->Value(), 5.0);
}

TEST_F(PinPersistenceTest, ASinkWhoseSourceIsNeverCreatedStaysUnconnectedAndItsPlaceholderWaits) {
  TPinTestForm* form = Load(R"(object Form1: TPinTestForm
  object out1: TTestOutput
    InputPin.Form = Form1
    InputPin.SourcePin = Form1.gone.OutputPin
  end
  object out2: TTestOutput
    InputPin.Form = Form1
    InputPin.SourcePin = Form1.gone.OutputPin
  end
end
)");
  EXPECT_FALSE(Find<TTestOutput>(form, "out1")->InputPin()->IsConnected());
  const auto waiting = OWPlaceholders();
  ASSERT_EQ(waiting.size(), 1u) << "both links name the same placeholder";
  EXPECT_EQ(waiting[0]->GetPinType(), ptSource);
  EXPECT_EQ(waiting[0]->GetFullIdentName(true), "Form1.gone.OutputPin");
  EXPECT_EQ(waiting[0]->GetFullName(false), "gone.OutputPin");
  EXPECT_EQ(waiting[0]->GetName(), "OutputPin");
  EXPECT_EQ(waiting[0]->CreatedFrom(), "Form1.out1.InputPin");
}

TEST_F(PinPersistenceTest, TwoSourcesLinkingToOneMissingSinkShareItsPlaceholder) {
  TPinTestForm* form = Load(R"(object Form1: TPinTestForm
  object wp1: TTestPlayer
    OutputPin.Form = Form1
    OutputPin.SinkPins = (
      Form1.later.InputPin)
  end
  object wp2: TTestPlayer
    OutputPin.Form = Form1
    OutputPin.SinkPins = (
      Form1.later.InputPin)
  end
end
)");
  const auto waiting = OWPlaceholders();
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(waiting[0]->GetPinType(), ptSink);
  EXPECT_EQ(waiting[0]->Records().size(), 2u);
  auto* wp1 = Find<TTestPlayer>(form, "wp1");
  EXPECT_TRUE(wp1->OutputPin()->IsConnectedTo(waiting[0]));
  EXPECT_TRUE(wp1->OutputPin()->Notify(newOperation<TOWNotifyOperation>()).Empty()) << "nothing goes to a placeholder";
}

TEST_F(PinPersistenceTest, APlaceholderLeftWithoutLinksIsDestroyedAtOnce) {
  TPinTestForm* form = Load(R"(object Form1: TPinTestForm
  object wp1: TTestPlayer
    OutputPin.Form = Form1
    OutputPin.SinkPins = (
      Form1.later.InputPin)
  end
end
)");
  ASSERT_EQ(OWPlaceholders().size(), 1u);
  const std::size_t pins = TOWPinRegistry::Count();
  Find<TTestPlayer>(form, "wp1")->OutputPin()->Disconnect();
  EXPECT_TRUE(OWPlaceholders().empty());
  EXPECT_EQ(TOWPinRegistry::Count(), pins - 1);
}

TEST_F(PinPersistenceTest, AnAfterPinNotLoadedYetIsRestoredThroughItsPlaceholder) {
  const char* text = R"(object Form1: TPinTestForm
  object wp1: TTestPlayer
    OutputPin.Form = Form1
    OutputPin.SinkPins = (
      Form1.out1.InputPin
      (
        Form1.out2.InputPin
        Form1.out1.InputPin))
  end
  object out1: TTestOutput
    InputPin.Form = Form1
    InputPin.SourcePin = Form1.wp1.OutputPin
  end
  object out2: TTestOutput
    InputPin.Form = Form1
    InputPin.SourcePin = (
      (
        Form1.wp1.OutputPin
        Form1.out1.InputPin))
  end
end
)";
  TPinTestForm* form = Load(text);
  auto* wp1 = Find<TTestPlayer>(form, "wp1");
  auto* out1 = Find<TTestOutput>(form, "out1");
  auto* out2 = Find<TTestOutput>(form, "out2");
  EXPECT_TRUE(OWPlaceholders().empty());
  EXPECT_TRUE(wp1->OutputPin()->IsConnectedToAfter(out2->InputPin(), out1->InputPin()));
  EXPECT_EQ(wp1->OutputPin()->GetNotifyAfterPin(out2->InputPin()), out1->InputPin());
  EXPECT_EQ(SaveDescription(*form), text);
}

TEST_F(PinPersistenceTest, ASinkLinksToASourceByName) {
  TPinTestForm* form = Load("object Form1: TPinTestForm\n  object wp1: TTestPlayer\n  end\n  object out1: TTestOutput\n  end\nend\n");
  auto* sink = Find<TTestOutput>(form, "out1")->InputPin();
  EXPECT_TRUE(sink->TryLinkTo(nullptr, "Form1.wp1.OutputPin", "Form1.wp1.OutputPin", false));
  EXPECT_EQ(sink->SourcePin(), Find<TTestPlayer>(form, "wp1")->OutputPin());
  EXPECT_TRUE(sink->TryLinkTo(nullptr, "nil", "nil", false));
  EXPECT_EQ(sink->SourcePin(), nullptr);
}

TEST_F(PinPersistenceTest, AMalformedLinkValueIsReportedByTheLoader) {
  auto form = MakeComponent<TPinTestForm>();
  EXPECT_THROW(LoadDescription(R"(object Form1: TPinTestForm
  object out1: TTestOutput
    InputPin.SourcePin = 12
  end
end
)",
                               *form),
               EReadError);
}

TEST_F(PinPersistenceTest, AHubAcrossTwoWindowsStoresItsOtherMembersWithTheFirstPinOfEachWindow) {
  TPinTestForm* form1 = NewForm("Form1");
  TPinTestForm* form2 = NewForm("Form2");
  auto* a = Add<TTestSwitch>(form1, "a");
  auto* b = Add<TTestSwitch>(form1, "b");
  auto* c = Add<TTestSwitch>(form2, "c");
  ASSERT_TRUE(a->EnablePin()->Connect(b->EnablePin()));
  ASSERT_TRUE(c->EnablePin()->Connect(a->EnablePin()));
  ASSERT_EQ(a->EnablePin()->PinCount(), 3u);

  const std::string saved1 = R"(object Form1: TPinTestForm
  object a: TTestSwitch
    EnablePin.Form = Form1
    EnablePin.State = (
      'Form1Link1'
      Form2.c.EnablePin)
  end
  object b: TTestSwitch
    EnablePin.Form = Form1
    EnablePin.State = 'Form1Link1'
  end
end
)";
  const std::string saved2 = R"(object Form2: TPinTestForm
  object c: TTestSwitch
    EnablePin.Form = Form2
    EnablePin.State = (
      'Form1Link1'
      Form1.a.EnablePin
      Form1.b.EnablePin)
  end
end
)";
  EXPECT_EQ(SaveDescription(*form1), saved1);
  EXPECT_EQ(SaveDescription(*form2), saved2);
  EXPECT_EQ(SaveDescription(*form1), saved1) << "every save starts afresh";

  forms_.clear();
  ASSERT_EQ(TOWStateDispatcher::Count(), 0u);
  TPinTestForm* loaded1 = Load(saved1);
  TPinTestForm* loaded2 = Load(saved2);
  auto* la = Find<TTestSwitch>(loaded1, "a");
  auto* lc = Find<TTestSwitch>(loaded2, "c");
  EXPECT_EQ(la->EnablePin()->PinCount(), 3u) << "the member list is ignored; the hub is joined by name";
  la->EnablePin()->SetValue(true);
  EXPECT_TRUE(lc->EnablePin()->Value());
  EXPECT_TRUE(Find<TTestSwitch>(loaded1, "b")->EnablePin()->Value());
}

TEST_F(PinPersistenceTest, ASinkFedByAConverterInsideAHubStoresTheConvertersTypes) {
  const char* text = R"(object Form1: TPinTestForm
  object pos: TTestPosition
    PositionPin.Form = Form1
    PositionPin.State = 'Form1Link1'
  end
  object dst: TRealSink
    InputPin.StateConverter = (
      'Form1Link1'
      '{6D054E38-F733-4212-8D5A-0E866802F866}'
      '{208F9564-3C20-4C97-BB77-2FC5AE6E4194}')
  end
end
)";
  TPinTestForm* form = NewForm("Form1");
  auto* pos = Add<TTestPosition>(form, "pos");
  auto* dst = Add<TRealSink>(form, "dst");
  ASSERT_TRUE(dst->InputPin()->Connect(pos->PositionPin()));
  EXPECT_TRUE(dst->InputPin()->HasStateConverterData());
  pos->PositionPin()->SetValue(12);
  EXPECT_EQ(dst->InputPin()->Value(), 12.0);
  EXPECT_EQ(SaveDescription(*form), text);

  forms_.clear();
  TPinTestForm* loaded = Load(text);
  auto* lpos = Find<TTestPosition>(loaded, "pos");
  auto* ldst = Find<TRealSink>(loaded, "dst");
  lpos->PositionPin()->SubmitValueRange(30, 0, 100, 0, 1);
  EXPECT_EQ(ldst->InputPin()->Value(), 30.0);
  EXPECT_EQ(SaveDescription(*loaded), text);
}

TEST_F(PinPersistenceTest, AStatePinLinksToACompatiblePinByName) {
  TPinTestForm* form = NewForm("Form1");
  auto* a = Add<TTestSwitch>(form, "a");
  auto* b = Add<TTestSwitch>(form, "b");
  auto* amp = Add<TTestAmplifier>(form, "amp1");
  EXPECT_FALSE(a->EnablePin()->TryLinkTo(nullptr, "amp1.InputPin")) << "not compatible";
  EXPECT_TRUE(a->EnablePin()->TryLinkTo(nullptr, "Form1.b.EnablePin"));
  EXPECT_TRUE(a->EnablePin()->IsConnectedTo(b->EnablePin()));
  EXPECT_TRUE(a->EnablePin()->TryLinkTo(nullptr, ""));
  EXPECT_FALSE(a->EnablePin()->IsConnected());
  EXPECT_FALSE(amp->InputPin()->IsConnected());
}

}  // namespace
}  // namespace sib::test
