// Focus and keys: tab order within each parent, skipping what cannot take the focus; the
// dialog-code query; keys, repeats and characters kept apart; accelerators.
#include "platform/components/filer.h"
#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

// The window's own arrangement: a panel (not a tab stop) with three controls inside, and two
// buttons on the form after it; tab orders as stored, counted within each parent.
constexpr const char* kTabForm = R"(object TabForm: TForm
  ClientWidth = 300
  ClientHeight = 200
  object pn1: TProbe
    Left = 0
    Top = 0
    Width = 300
    Height = 200
    TabOrder = 2
    object btnZorvex: TProbe
      Left = 10
      Top = 150
      TabOrder = 0
      TabStop = True
    end
    object spNoise: TProbe
      Left = 10
      Top = 10
      TabOrder = 1
      TabStop = True
    end
    object hidden: TProbe
      Left = 50
      TabOrder = 3
      TabStop = True
      Visible = False
    end
    object tbVol: TProbe
      Left = 10
      Top = 100
      TabOrder = 2
      TabStop = True
    end
    object noStop: TProbe
      Left = 90
      TabOrder = 4
    end
  end
  object btnBegin: TProbe
    Left = 100
    Top = 150
    TabOrder = 0
    TabStop = True
  end
  object btnExit: TProbe
    Left = 200
    Top = 150
    TabOrder = 1
    TabStop = True
  end
  object disabled: TProbe
    Left = 250
    Top = 150
    TabOrder = 3
    TabStop = True
    Enabled = False
  end
end
)";

class FocusTest : public FormsTest {
 protected:
  void SetUp() override {
    RegisterClasses<TForm, TProbe>();
    form = CreateForm<TForm>(kTabForm);
    for (int i = 0; i < form->ComponentCount(); ++i)
      if (auto* p = dynamic_cast<TProbe*>(form->Components(i))) p->log = &log;
    form->Show();
  }
  std::string focused() const { return form->ActiveControl() ? form->ActiveControl()->Name() : "none"; }
  void key(TKey k, TShiftState shift = {}) {
    events().HostKeyDown(k, shift, false);
    events().HostKeyUp(k, shift);
  }
  TProbe* find(const char* name) const { return dynamic_cast<TProbe*>(form->FindComponent(name)); }

  TComponentPtr<TForm> form;
};

TEST_F(FocusTest, TabVisitsFocusableControlsInOrderWithinEachParent) {
  EXPECT_EQ(focused(), "btnBegin") << "showing focuses the first tab stop";
  std::vector<std::string> forward;
  for (int i = 0; i < 6; ++i) {
    key(VK_TAB);
    forward.push_back(focused());
  }
  EXPECT_EQ(forward, (std::vector<std::string>{"btnExit", "btnZorvex", "spNoise", "tbVol", "btnBegin", "btnExit"}));
  std::vector<std::string> backward;
  for (int i = 0; i < 3; ++i) {
    key(VK_TAB, {ssShift});
    backward.push_back(focused());
  }
  EXPECT_EQ(backward, (std::vector<std::string>{"btnBegin", "tbVol", "spNoise"}));
}

TEST_F(FocusTest, TabOrderRenumbersWithinTheParent) {
  EXPECT_EQ(find("btnZorvex")->TabOrder(), 0);
  EXPECT_EQ(find("noStop")->TabOrder(), 4);
  find("tbVol")->SetTabOrder(0);
  std::vector<std::string> order;
  for (TWinControl* w : find("pn1")->TabList()) order.push_back(w->Name() + "=" + std::to_string(w->TabOrder()));
  EXPECT_EQ(order, (std::vector<std::string>{"tbVol=0", "btnZorvex=1", "spNoise=2", "hidden=3", "noStop=4"}));
  find("spNoise")->SetTabOrder(99);
  EXPECT_EQ(find("spNoise")->TabOrder(), 4) << "clamped to the last place";
}

TEST_F(FocusTest, FocusMovesWithEnterAndExitAndSkipsWhatCannotTakeIt) {
  log.clear();
  find("spNoise")->SetFocus();
  EXPECT_EQ(joined(log), "btnBegin.blur spNoise.focus");
  EXPECT_THROW(find("disabled")->SetFocus(), EInvalidOperation);
  EXPECT_THROW(find("hidden")->SetFocus(), EInvalidOperation);
  log.clear();
  find("spNoise")->SetEnabled(false);
  EXPECT_EQ(joined(log), "spNoise.blur tbVol.focus") << "the focus goes on to the next tab stop";
}

TEST_F(FocusTest, KeysGoToTheFocusedControlUnlessTheFormUsesThemToNavigate) {
  struct Row {
    const char* name;
    unsigned dialogCode;
    TKey key;
    const char* expectedLog;
    const char* expectedFocus;
  };
  const Row rows[] = {
      {"Tab moves on", 0, VK_TAB, "spNoise.blur tbVol.focus tbVol.keyup9", "tbVol"},
      {"a control that wants Tab keeps it", DLGC_WANTTAB, VK_TAB, "spNoise.key9 spNoise.keyup9", "spNoise"},
      {"arrows move among the parent's controls", 0, VK_DOWN, "spNoise.blur tbVol.focus tbVol.keyup40", "tbVol"},
      {"a control that wants arrows keeps them", DLGC_WANTARROWS, VK_DOWN, "spNoise.key40 spNoise.keyup40", "spNoise"},
      {"all keys do not include arrows", DLGC_WANTALLKEYS, VK_LEFT,
       "spNoise.blur btnZorvex.focus btnZorvex.keyup37", "btnZorvex"},
      {"Enter reaches the control when nothing on the form takes it", 0, VK_RETURN,
       "spNoise.key13 spNoise.keyup13", "spNoise"},
      {"letters go to the control", 0, 'A', "spNoise.key65 spNoise.keyup65", "spNoise"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    find("spNoise")->SetFocus();
    find("spNoise")->dialogCode = row.dialogCode;
    log.clear();
    key(row.key);
    EXPECT_EQ(joined(log), row.expectedLog);
    EXPECT_EQ(focused(), row.expectedFocus);
  }
}

TEST_F(FocusTest, KeyRepeatsAndCharactersArriveApart) {
  find("spNoise")->SetFocus();
  log.clear();
  events().HostKeyDown(VK_SPACE, {}, false);
  events().HostChar(U' ', {});
  events().HostKeyDown(VK_SPACE, {}, true);
  events().HostKeyUp(VK_SPACE, {});
  events().HostKeyDown(VK_RETURN, {}, false);
  events().HostChar(U'\r', {});
  EXPECT_EQ(joined(log), "spNoise.key32 spNoise.char32 spNoise.key32 spNoise.keyup32 spNoise.key13 spNoise.char13");
  log.clear();
  events().HostKeyDown(VK_TAB, {}, false);
  events().HostChar(U'\t', {});
  EXPECT_EQ(joined(log), "spNoise.blur tbVol.focus") << "the character of a navigation key is not delivered";
}

class TAcceleratorProbe : public TProbe {
  SIB_CLASS(TAcceleratorProbe, TProbe)
 public:
  using TProbe::TProbe;
  bool DialogChar(char32_t Char, TShiftState) override {
    if (Char != Accelerator()) return false;
    log->push_back(Name() + ".accel");
    return true;
  }
};

TEST_F(FocusTest, CharactersTheFocusedControlLeavesAreOfferedAsAccelerators) {
  auto* start = NewComponent<TAcceleratorProbe>(*form);
  start->SetName("start");
  start->SetParent(form.get());
  start->SetText("&Start");
  start->log = &log;
  EXPECT_EQ(start->Accelerator(), U's');
  find("spNoise")->SetFocus();
  log.clear();
  events().HostChar(U's', {});
  events().HostChar(U'x', {});
  EXPECT_EQ(joined(log), "spNoise.char115 start.accel spNoise.char120");
  log.clear();
  find("spNoise")->dialogCode = DLGC_WANTCHARS;
  events().HostChar(U's', {});
  events().HostChar(U's', {ssAlt});
  EXPECT_EQ(joined(log), "spNoise.char115 start.accel") << "with Alt always an accelerator";
  start->SetText("Fish && &Chips");
  EXPECT_EQ(start->Accelerator(), U'c');
  start->SetText("A && B");
  EXPECT_EQ(start->Accelerator(), 0u);
}

}  // namespace
}  // namespace sib::test
