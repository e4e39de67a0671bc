// The window as assistive technology reads it, from each control's own description on the headless
// host: roles, names, states, values, items and labels; the requests a screen reader makes (press,
// set a value, choose an item) acting as input does; bad requests changing nothing; and the form's
// listener told of every change.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "tests/app/window_fixture.h"

namespace sib::test {
namespace {

// Records which controls said that something changed.
class RecordingListener : public IAccessibleListener {
 public:
  void AccessibleChanged(TControl& Control) override { Changed.insert(Control.Name()); }
  std::set<std::string> Changed;
};

std::vector<std::string> ItemNames(const TAccessibleDescription& D) {
  std::vector<std::string> names;
  for (const TAccessibleItem& item : D.Items) names.push_back(item.Name);
  return names;
}

int SelectedItem(const TAccessibleDescription& D) {
  for (std::size_t i = 0; i < D.Items.size(); ++i)
    if (D.Items[i].Selected) return static_cast<int>(i);
  return -1;
}

class WindowAccessible : public WindowFixture {
 protected:
  WindowAccessible() {
    form_ = Create();
    form_->Show();
    form_->SetAccessibleListener(&listener_);
  }
  ~WindowAccessible() override { form_->SetAccessibleListener(nullptr); }

  WorkingFolder folder_{SIB_DATA_DIR};
  TForm1* form_ = nullptr;
  RecordingListener listener_;
};

TEST_F(WindowAccessible, TheWindowIsAFrameNamedAfterItsTitle) {
  const TAccessibleDescription d = form_->Accessible();
  EXPECT_EQ(d.Role, TAccessibleRole::Frame);
  EXPECT_EQ(d.Name, "Sibilon");
  EXPECT_TRUE(d.States.Contains(asShowing));
  EXPECT_FALSE(d.States.Contains(asFocusable));
}

TEST_F(WindowAccessible, EachControlSaysWhatItIsAndWhatItIsCalled) {
  struct Row {
    const TControl* Control;
    TAccessibleRole Role;
    std::string Name;
    bool Focusable;
    bool Clicks;
  };
  const Row rows[] = {
      {form_->btnBegin, TAccessibleRole::ToggleButton, "Start Noise", true, true},
      {form_->btnExit, TAccessibleRole::PushButton, "Exit Program", true, true},
      {form_->btnZorvex, TAccessibleRole::PushButton, form_->btnZorvex->Caption(), true, true},
      {form_->tbVol, TAccessibleRole::Slider, "Set Level", true, false},
      {form_->spNoise, TAccessibleRole::ListBox, "Select Noise Type", true, false},
      {form_->ledVol, TAccessibleRole::Label, "050", false, false},
      {form_->AdvSmoothLabel1, TAccessibleRole::Label, "Select Noise Type", false, false},
      {form_->AdvSmoothLabel2, TAccessibleRole::Label, "Set Level", false, false},
      {form_->Label1, TAccessibleRole::Label, "Sibilon", false, false},
      {form_->pn1, TAccessibleRole::Panel, "", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Control->Name());
    const TAccessibleDescription d = row.Control->Accessible();
    EXPECT_EQ(d.Role, row.Role);
    EXPECT_EQ(d.Name, row.Name);
    EXPECT_TRUE(d.States.Contains(asEnabled));
    EXPECT_TRUE(d.States.Contains(asShowing));
    EXPECT_EQ(d.States.Contains(asFocusable), row.Focusable);
    EXPECT_EQ(!d.Actions.empty() && d.Actions[0].Name == "click", row.Clicks);
  }
  EXPECT_NE(form_->btnZorvex->Caption().find("Click here to visit"), std::string::npos);
}

TEST_F(WindowAccessible, TheLevelIsASliderFrom0To100InStepsOf1LabelledBySetLevel) {
  const TAccessibleDescription d = form_->tbVol->Accessible();
  ASSERT_TRUE(d.Range);
  EXPECT_EQ(*d.Range, (TAccessibleRange{50, 0, 100, 1}));
  EXPECT_EQ(d.LabelledBy, form_->AdvSmoothLabel2);
  EXPECT_TRUE(d.States.Contains(asHorizontal));
}

TEST_F(WindowAccessible, TheReadoutReadsItsDigitsAsText) { EXPECT_EQ(form_->ledVol->Accessible().Text, "050"); }

TEST_F(WindowAccessible, TheSpinnerIsAListOfTheThreeNoisesWithPinkChosenLabelledBySelectNoiseType) {
  const TAccessibleDescription d = form_->spNoise->Accessible();
  EXPECT_EQ(ItemNames(d), (std::vector<std::string>{"Brown Noise", "Pink Noise", "White Noise"}));
  EXPECT_EQ(SelectedItem(d), 1);
  EXPECT_EQ(d.LabelledBy, form_->AdvSmoothLabel1);
}

TEST_F(WindowAccessible, PressingTheStartButtonStartsTheNoiseAndItsNameAndCheckedStateFollow) {
  ASSERT_TRUE(form_->btnBegin->DoAccessibleAction(0));
  EXPECT_TRUE(form_->Playing());
  TAccessibleDescription d = form_->btnBegin->Accessible();
  EXPECT_EQ(d.Name, "Stop Noise");
  EXPECT_TRUE(d.States.Contains(asChecked));
  EXPECT_TRUE(listener_.Changed.count("btnBegin"));

  ASSERT_TRUE(form_->btnBegin->DoAccessibleAction(0));
  EXPECT_FALSE(form_->Playing());
  d = form_->btnBegin->Accessible();
  EXPECT_EQ(d.Name, "Start Noise");
  EXPECT_FALSE(d.States.Contains(asChecked));
}

TEST_F(WindowAccessible, TheStartButtonIsCheckedAfterAClickOfTheMouseToo) {
  ClickAt(Middle(form_->btnBegin));
  EXPECT_TRUE(form_->Playing());
  EXPECT_TRUE(form_->btnBegin->Accessible().States.Contains(asChecked));
}

TEST_F(WindowAccessible, SettingTheLevelTo80ShowsItOnTheReadoutAndTellsTheListener) {
  ASSERT_TRUE(form_->tbVol->SetAccessibleValue(80));
  EXPECT_EQ(form_->tbVol->Accessible().Range->Value, 80);
  EXPECT_EQ(form_->ledVol->Accessible().Name, "080");
  EXPECT_TRUE(listener_.Changed.count("tbVol"));
  EXPECT_TRUE(listener_.Changed.count("ledVol"));
}

TEST_F(WindowAccessible, ChoosingAnItemChoosesTheNoise) {
  ASSERT_TRUE(form_->spNoise->SelectAccessibleItem(2));
  EXPECT_EQ(SelectedItem(form_->spNoise->Accessible()), 2);
  EXPECT_EQ(form_->wp1->FileName(), NoiseFileName(2));
  EXPECT_TRUE(listener_.Changed.count("spNoise"));
}

TEST_F(WindowAccessible, RequestsThatCannotBeCarriedOutChangeNothing) {
  struct Row {
    const char* What;
    std::function<bool(TForm1&)> Request;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Row rows[] = {
      {"level NaN", [&](TForm1& f) { return f.tbVol->SetAccessibleValue(nan); }},
      {"level infinite", [&](TForm1& f) { return f.tbVol->SetAccessibleValue(inf); }},
      {"level below 0", [](TForm1& f) { return f.tbVol->SetAccessibleValue(-1); }},
      {"level above 100", [](TForm1& f) { return f.tbVol->SetAccessibleValue(100.5); }},
      {"item -1", [](TForm1& f) { return f.spNoise->SelectAccessibleItem(-1); }},
      {"item past the end", [](TForm1& f) { return f.spNoise->SelectAccessibleItem(3); }},
      {"start button action 1", [](TForm1& f) { return f.btnBegin->DoAccessibleAction(1); }},
      {"start button action -1", [](TForm1& f) { return f.btnBegin->DoAccessibleAction(-1); }},
      {"exit button action 1", [](TForm1& f) { return f.btnExit->DoAccessibleAction(1); }},
      {"readout has no value", [](TForm1& f) { return f.ledVol->SetAccessibleValue(1); }},
      {"slider has no items", [](TForm1& f) { return f.tbVol->SelectAccessibleItem(0); }},
      {"spinner has no action", [](TForm1& f) { return f.spNoise->DoAccessibleAction(0); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.What);
    EXPECT_FALSE(row.Request(*form_));
    EXPECT_EQ(form_->tbVol->Position(), 50);
    EXPECT_EQ(SelectedItem(form_->spNoise->Accessible()), 1);
    EXPECT_FALSE(form_->Playing());
  }
}

TEST_F(WindowAccessible, ADisabledButtonRefusesItsAction) {
  form_->btnBegin->SetEnabled(false);
  EXPECT_FALSE(form_->btnBegin->Accessible().States.Contains(asEnabled));
  EXPECT_FALSE(form_->btnBegin->DoAccessibleAction(0));
  EXPECT_FALSE(form_->Playing());
}

TEST_F(WindowAccessible, TabMovesTheFocusedStateAndTellsTheListenerOfBothControls) {
  ASSERT_EQ(form_->ActiveControl(), form_->btnBegin);
  EXPECT_TRUE(form_->btnBegin->Accessible().States.Contains(asFocused));
  listener_.Changed.clear();
  form_->Events().HostKeyDown(VK_TAB, {}, false);
  form_->Events().HostKeyUp(VK_TAB, {});
  EXPECT_FALSE(form_->btnBegin->Accessible().States.Contains(asFocused));
  EXPECT_TRUE(form_->btnExit->Accessible().States.Contains(asFocused));
  EXPECT_TRUE(listener_.Changed.count("btnBegin"));
  EXPECT_TRUE(listener_.Changed.count("btnExit"));
}

TEST_F(WindowAccessible, TheWindowIsActiveWhileItHasTheKeyboard) {
  form_->Events().HostFocusIn();
  EXPECT_TRUE(form_->Accessible().States.Contains(asActive));
  form_->Events().HostFocusOut();
  EXPECT_FALSE(form_->Accessible().States.Contains(asActive));
}

TEST_F(WindowAccessible, ALabelThatDiesIsForgottenByTheControlItNamed) {
  FreeComponent(form_->AdvSmoothLabel2);
  form_->AdvSmoothLabel2 = nullptr;
  const TAccessibleDescription d = form_->tbVol->Accessible();
  EXPECT_EQ(d.LabelledBy, nullptr);
  EXPECT_EQ(d.Name, "");
}

TEST(AccessibleCaption, LeavesOutAcceleratorMarksButKeepsDoubledAmpersands) {
  EXPECT_EQ(AccessibleCaption("&Start"), "Start");
  EXPECT_EQ(AccessibleCaption("Salt && Pepper"), "Salt & Pepper");
  EXPECT_EQ(AccessibleCaption("End&"), "End&");
}

}  // namespace
}  // namespace sib::test
