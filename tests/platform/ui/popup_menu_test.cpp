// The popup menu on a form: where a context menu is asked for (a right release, the Menu key,
// Shift+F10), where the menu opens, its keys, choosing with the mouse, and the ways it closes (Escape,
// a press outside that goes no further, the window losing the focus) with the focus given back.
#include "platform/ui/popup_menu.h"

#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

class PopupMenuTest : public FormsTest {
 protected:
  void SetUp() override {
    form = makeForm(300, 200);
    A = probe(*form, *form, "A", TRect::FromSize(10, 10, 40, 40));
    A->SetTabStop(true);
    B = probe(*form, *form, "B", TRect::FromSize(200, 150, 40, 40));
    B->SetTabStop(true);
    menu = NewComponent<TPopupMenu>(*form);
    menu->SetItems({{"One"}, {"Two", true}, {"Three"}});
    menu->OnChoose = [this](int Index) { chosen.push_back(Index); };
    form->OnContextPopup = TContextPopupEvent([this](TObject*, TPoint At, bool FromKeyboard) {
      asked.push_back({At, FromKeyboard});
      menu->Popup(*form, At, FromKeyboard);
    });
    form->Show();
    A->SetFocus();
    log.clear();
  }
  void key(TKey Key, TShiftState Shift = {}) {
    events().HostKeyDown(Key, Shift, false);
    events().HostKeyUp(Key, Shift);
  }
  void click(TPoint At, TMouseButton Button = mbLeft) {
    events().HostMouseMove({}, At);
    events().HostMouseDown(Button, {ButtonShift(Button)}, At);
    events().HostMouseUp(Button, {}, At);
  }

  struct Asked {
    TPoint At;
    bool FromKeyboard;
  };
  TComponentPtr<TForm> form;
  TProbe* A = nullptr;
  TProbe* B = nullptr;
  TPopupMenu* menu = nullptr;
  std::vector<Asked> asked;
  std::vector<int> chosen;
};

TEST_F(PopupMenuTest, ARightReleaseOpensItAtThePointerWithNothingLit) {
  click({60, 70}, mbRight);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_FALSE(asked[0].FromKeyboard);
  ASSERT_TRUE(menu->IsOpen());
  EXPECT_EQ(menu->Left(), 60);
  EXPECT_EQ(menu->Top(), 70);
  EXPECT_EQ(menu->ItemIndex(), -1);
  EXPECT_TRUE(menu->Focused());
  EXPECT_EQ(form->Popup(), menu);
}

TEST_F(PopupMenuTest, NearTheFormsEdgeItMovesInsideTheForm) {
  click({290, 190}, mbRight);
  ASSERT_TRUE(menu->IsOpen());
  EXPECT_EQ(menu->Left() + menu->Width(), 300);
  EXPECT_EQ(menu->Top() + menu->Height(), 200);
}

TEST_F(PopupMenuTest, TheMenuKeyAndShiftF10OpenItAtTheFocusedControlWithTheFirstItemLit) {
  struct Row {
    TKey Key;
    TShiftState Shift;
  };
  for (const Row& row : {Row{VK_APPS, {}}, Row{VK_F10, {ssShift}}}) {
    asked.clear();
    key(row.Key, row.Shift);
    ASSERT_EQ(asked.size(), 1u) << row.Key;
    EXPECT_TRUE(asked[0].FromKeyboard);
    EXPECT_EQ(asked[0].At.X, 30);  // the middle of A
    EXPECT_EQ(asked[0].At.Y, 30);
    EXPECT_EQ(menu->ItemIndex(), 0);
    key(VK_ESCAPE);
    EXPECT_FALSE(menu->IsOpen());
  }
  // F10 alone is no context key.
  asked.clear();
  key(VK_F10);
  EXPECT_TRUE(asked.empty());
}

TEST_F(PopupMenuTest, KeysMoveTheHighlightAndEnterChoosesAfterClosing) {
  key(VK_APPS);
  struct Row {
    TKey Key;
    int Lit;
  };
  const Row rows[] = {{VK_DOWN, 1}, {VK_DOWN, 2}, {VK_DOWN, 0}, {VK_UP, 2}, {VK_HOME, 0}, {VK_END, 2}, {VK_UP, 1}};
  for (const Row& row : rows) {
    key(row.Key);
    EXPECT_EQ(menu->ItemIndex(), row.Lit) << "after key " << row.Key;
  }
  menu->OnChoose = [this](int Index) {
    EXPECT_FALSE(menu->IsOpen()) << "told before it closed";
    chosen.push_back(Index);
  };
  key(VK_RETURN);
  EXPECT_EQ(chosen, std::vector<int>{1});
  EXPECT_TRUE(A->Focused()) << "the focus did not come back";
  EXPECT_EQ(joined(log).find("A.keyup13"), std::string::npos) << "the Enter that chose reached A: " << joined(log);
  EXPECT_EQ(form->Popup(), nullptr);
}

TEST_F(PopupMenuTest, AReleaseOverAnItemChoosesItAndTheKeysNeverReachTheControlBelow) {
  click({60, 70}, mbRight);
  key(VK_DOWN);
  const TRect second = menu->ItemRect(1);
  click(menu->ClientToForm({second.Left + 5, second.Top + 3}));
  EXPECT_EQ(chosen, std::vector<int>{1});
  EXPECT_EQ(joined(log).find("A.key"), std::string::npos) << "the control with the focus saw the menu's keys";
  EXPECT_TRUE(A->Focused());
  // A right click on an item chooses it too, and asks for no new menu.
  click({60, 70}, mbRight);
  const TRect third = menu->ItemRect(2);
  click(menu->ClientToForm({third.Left + 5, third.Top + 3}), mbRight);
  EXPECT_EQ(chosen, (std::vector<int>{1, 2}));
  EXPECT_FALSE(menu->IsOpen());
  EXPECT_EQ(asked.size(), 2u);
}

TEST_F(PopupMenuTest, EscapeAPressOutsideOrTheWindowLosingTheFocusCloseItWithoutChoosing) {
  key(VK_APPS);
  key(VK_ESCAPE);
  EXPECT_FALSE(menu->IsOpen());

  // The press outside goes to the menu alone: B, under it, gets nothing.
  key(VK_APPS);
  click({220, 170});
  EXPECT_FALSE(menu->IsOpen());
  EXPECT_EQ(joined(log).find("B.down"), std::string::npos) << joined(log);
  EXPECT_EQ(joined(log).find("B.click"), std::string::npos) << joined(log);

  key(VK_APPS);
  events().HostFocusOut();
  EXPECT_FALSE(menu->IsOpen());
  EXPECT_TRUE(chosen.empty());
  EXPECT_TRUE(A->Focused());
  // Closed, the form asks for a context menu again.
  asked.clear();
  click({100, 100}, mbRight);
  EXPECT_EQ(asked.size(), 1u);
}

TEST_F(PopupMenuTest, ItPaintsAboveTheControlsWithTheLitItemInTheHighlightColour) {
  menu->HighlightColor = clRed;
  key(VK_APPS);
  form->PaintDirty();
  const TImageView image = form->Image();
  const TRect lit = menu->ItemRect(0);
  const TPoint inLit = menu->ClientToForm({lit.Right - 6, lit.Bottom - 2});
  const auto pixel = [&](TPoint P) {
    return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(image.Pixels) +
                                                  static_cast<std::ptrdiff_t>(P.Y) * image.Stride)[P.X];
  };
  // Its gradient ends in the highlight colour at the band's foot.
  const std::uint32_t red = pixel(inLit);
  EXPECT_EQ((red >> 16) & 0xFF, 255u);
  EXPECT_LT((red >> 8) & 0xFF, 60u);
  EXPECT_LT(red & 0xFF, 60u);
  // Over A, where the menu lies, the menu's face shows and not A's colour.
  A->SetColor(clBlue);
  form->PaintDirty();
  EXPECT_NE(pixel({35, 45}) & 0xFFFFFF, opaque(clBlue) & 0xFFFFFF);
}

}  // namespace
TEST_F(PopupMenuTest, AScreenReaderReadsAMenuOfCheckItemsWithTheLitOneSelectedAndChoosesThroughIt) {
  key(VK_APPS);
  ASSERT_TRUE(menu->IsOpen());
  key(VK_DOWN);
  const TAccessibleDescription d = menu->Accessible();
  EXPECT_EQ(d.Role, TAccessibleRole::Menu);
  EXPECT_TRUE(d.States.Contains(asShowing));
  EXPECT_TRUE(d.States.Contains(asFocused));
  const std::vector<TAccessibleItem> expected{{.Name = "One", .Checkable = true},
                                              {.Name = "Two", .Selected = true, .Checkable = true, .Checked = true},
                                              {.Name = "Three", .Checkable = true}};
  EXPECT_EQ(d.Items, expected);

  EXPECT_FALSE(menu->SelectAccessibleItem(3));
  EXPECT_FALSE(menu->SelectAccessibleItem(-1));
  EXPECT_TRUE(menu->IsOpen());
  EXPECT_TRUE(menu->SelectAccessibleItem(2));
  EXPECT_FALSE(menu->IsOpen());
  EXPECT_EQ(chosen, std::vector<int>{2});
  EXPECT_TRUE(A->Focused());
  EXPECT_FALSE(menu->SelectAccessibleItem(0)) << "a closed menu chooses nothing";
  EXPECT_EQ(chosen, std::vector<int>{2});
}

}  // namespace sib::test
