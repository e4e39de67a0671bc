// The translation tables of the SDL host, without a display: virtual keys, characters, wheel
// units and direction, UTF-8 text, the desktop's scale factor and the loop's wait rounding.
#include "platform/ui/sdl_input.h"

#include <gtest/gtest.h>

#include "platform/ui/sdl_host.h"
#include "platform/ui/sdl_message_wait.h"
#include "test_form.h"

namespace sib {
namespace {

TEST(SdlInput, KeysBecomeTheWindowSystemsVirtualKeys) {
  const struct Case {
    SDL_Keycode sdl;
    std::optional<TKey> vk;
    std::optional<char32_t> control;
  } cases[] = {
      {SDLK_TAB, VK_TAB, U'\t'},         {SDLK_SPACE, VK_SPACE, std::nullopt}, {SDLK_RETURN, VK_RETURN, U'\r'},
      {SDLK_KP_ENTER, VK_RETURN, U'\r'}, {SDLK_BACKSPACE, VK_BACK, U'\b'},     {SDLK_ESCAPE, VK_ESCAPE, char32_t{27}},
      {SDLK_LEFT, VK_LEFT, std::nullopt}, {SDLK_DOWN, VK_DOWN, std::nullopt},  {SDLK_PAGEUP, VK_PRIOR, std::nullopt},
      {SDLK_HOME, VK_HOME, std::nullopt}, {SDLK_a, TKey{'A'}, std::nullopt},   {SDLK_z, TKey{'Z'}, std::nullopt},
      {SDLK_7, TKey{'7'}, std::nullopt},  {SDLK_F1, VK_F1, std::nullopt},      {SDLK_F12, TKey{123}, std::nullopt},
      {SDLK_RSHIFT, VK_SHIFT, std::nullopt}, {SDLK_LALT, VK_MENU, std::nullopt}, {SDLK_CAPSLOCK, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(SDL_GetKeyName(c.sdl));
    EXPECT_EQ(VirtualKeyOf(c.sdl), c.vk);
    EXPECT_EQ(ControlCharOf(c.sdl), c.control);
  }
}

TEST(SdlInput, WheelIsIn120thsAndNegativeTowardsTheUser) {
  const struct Case {
    float preciseY;
    std::uint32_t direction;
    int delta;
  } cases[] = {
      {1.0f, SDL_MOUSEWHEEL_NORMAL, 120},   {-1.0f, SDL_MOUSEWHEEL_NORMAL, -120},
      {1.0f, SDL_MOUSEWHEEL_FLIPPED, -120}, {-2.0f, SDL_MOUSEWHEEL_FLIPPED, 240},
      {0.25f, SDL_MOUSEWHEEL_NORMAL, 30},   {0.0f, SDL_MOUSEWHEEL_NORMAL, 0},
  };
  for (const Case& c : cases) {
    SDL_MouseWheelEvent wheel{};
    wheel.preciseY = c.preciseY;
    wheel.direction = c.direction;
    EXPECT_EQ(WheelDeltaOf(wheel), c.delta) << c.preciseY << " " << c.direction;
  }
}

TEST(SdlInput, ShiftStateHasModifiersAndHeldButtons) {
  EXPECT_EQ(ShiftStateOf(KMOD_LSHIFT | KMOD_RCTRL, SDL_BUTTON_LMASK), (TShiftState{ssShift, ssCtrl, ssLeft}));
  EXPECT_EQ(ShiftStateOf(KMOD_LALT, SDL_BUTTON_RMASK | SDL_BUTTON_MMASK), (TShiftState{ssAlt, ssRight, ssMiddle}));
  EXPECT_EQ(ShiftStateOf(KMOD_NUM | KMOD_CAPS, 0), TShiftState{});
}

TEST(SdlInput, TextDecodesToCodePointsAndSkipsBrokenBytes) {
  EXPECT_EQ(DecodeUtf8("a é€𝄞"), (std::vector<char32_t>{U'a', U' ', U'é', U'€', U'𝄞'}));
  EXPECT_EQ(DecodeUtf8("x\xC3"), (std::vector<char32_t>{U'x'}));       // cut short
  EXPECT_EQ(DecodeUtf8("\x80y\xE2\x28\xA1"), (std::vector<char32_t>{U'y', U'(' }));  // stray and broken
}

TEST(SdlInput, EveryOtherPressOfARunOfClicksIsADoubleClick) {
  test::TestForm form(10, 10);
  SdlInputTranslator input(form);
  for (std::uint8_t clicks = 1; clicks <= 4; ++clicks) {
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    press.button.clicks = clicks;
    press.button.x = 3;
    press.button.y = 4;
    SDL_Event release = press;
    release.type = SDL_MOUSEBUTTONUP;
    input.Deliver(press);
    input.Deliver(release);
  }
  EXPECT_EQ(form.Log, (std::vector<std::string>{"down left 3,4 [left]", "up left 3,4 []", "double left 3,4 [left double]",
                                                "up left 3,4 []", "down left 3,4 [left]", "up left 3,4 []",
                                                "double left 3,4 [left double]", "up left 3,4 []"}));
}

TEST(SdlInput, ScaledWindowReportsClientPixels) {
  test::TestForm form(10, 10);
  SdlInputTranslator input(form);
  input.SetScale(2.0);
  SDL_Event move{};
  move.type = SDL_MOUSEMOTION;
  move.motion.x = 941;
  move.motion.y = -3;
  input.Deliver(move);
  EXPECT_EQ(form.Log, (std::vector<std::string>{"move 470,-2 []"}));
}

TEST(SdlHostScale, DesktopScaleComesFromXftDpiOrGdkScale) {
  const struct Case {
    const char* resources;
    const char* gdkScale;
    double scale;
  } cases[] = {
      {"", nullptr, 1.0},
      {"Xft.dpi:\t96\n", nullptr, 1.0},
      {"Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n", nullptr, 2.0},
      {"Xft.dpi:\t144\n", nullptr, 1.5},
      {"Xft.dpi:\t120\n", nullptr, 1.25},
      {"Xft.dpi:\t72\n", nullptr, 1.0},  // never below the design size
      {"MyApp.Xft.dpi:\t192\n", nullptr, 1.0},
      {"Xft.dpi:\t96\n", "2", 2.0},
      {"Xft.dpi:\t192\n", "", 2.0},
      {nullptr, "0", 1.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DesktopScaleFrom(c.resources, c.gdkScale), c.scale)
        << (c.resources ? c.resources : "(none)") << " GDK_SCALE=" << (c.gdkScale ? c.gdkScale : "(unset)");
  }
}

TEST(SdlMessageWaitTimeout, DeadlinesRoundUpSoTheLoopNeverWakesEarly) {
  const auto now = MessageWait::Clock::now();
  EXPECT_EQ(WaitTimeoutMs(std::nullopt, now), -1);
  EXPECT_EQ(WaitTimeoutMs(now, now), 0);
  EXPECT_EQ(WaitTimeoutMs(now - std::chrono::milliseconds(5), now), 0);
  EXPECT_EQ(WaitTimeoutMs(now + std::chrono::microseconds(300), now), 1);
  EXPECT_EQ(WaitTimeoutMs(now + std::chrono::milliseconds(23), now), 23);
  EXPECT_EQ(WaitTimeoutMs(now + std::chrono::microseconds(23001), now), 24);
}

}  // namespace
}  // namespace sib
