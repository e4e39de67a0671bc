// The clipboard as text: the process's own clipboard until a backend is installed, and the SDL
// host's clipboard, which other programs on the display share.
#include "platform/ui/clipboard.h"

#include "x_fixture.h"

namespace sib::test {
namespace {

TEST(Clipboard, ProcessClipboardKeepsTextAcrossABackendSwap) {
  class Recording : public ClipboardBackend {
   public:
    bool SetText(const std::string& utf8) override {
      text = utf8;
      return true;
    }
    std::string Text() override { return text; }
    bool HasText() override { return !text.empty(); }
    std::string text;
  };
  EXPECT_TRUE(SetClipboardText("Brown Noise"));
  auto recording = std::make_shared<Recording>();
  auto previous = SetClipboardBackend(recording);
  EXPECT_FALSE(ClipboardHasText());
  SetClipboardText("Pink Noise");
  EXPECT_EQ(recording->text, "Pink Noise");
  EXPECT_EQ(SetClipboardBackend(nullptr), recording);
  EXPECT_EQ(ClipboardText(), "Brown Noise");
}

using SdlClipboardTest = XHostTest;

TEST_F(SdlClipboardTest, TextGoesThroughTheWindowSystemsClipboard) {
  TestForm form(50, 50);
  TFormWindowParams params;
  params.Caption = "Clip";
  params.ClientWidth = 50;
  params.ClientHeight = 50;
  auto window = host_->CreateFormWindow(params, form);
  window->Show();
  EXPECT_TRUE(SetClipboardText("Gradient: #C0C0C0 → #2277A6"));
  EXPECT_TRUE(ClipboardHasText());
  EXPECT_EQ(ClipboardText(), "Gradient: #C0C0C0 → #2277A6");
}

}  // namespace
}  // namespace sib::test
