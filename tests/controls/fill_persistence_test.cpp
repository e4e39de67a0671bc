// A fill in an INI section and on the clipboard: what is written reads back as the same fill, and
// text that is hostile in one way is refused with a clear error and leaves the fill as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "controls/fill_clipboard.h"
#include "platform/components/ini_file.h"
#include "platform/ui/clipboard.h"
#include "tests/controls/fill_fixtures.h"
#include "tests/platform/graphics/image_fixtures.h"

namespace sib::test {
namespace {

// A fill with every published property away from its default, and both pictures.
void SetEverything(TGDIPFill& f) {
  f.SetColor(RGB(1, 2, 3));
  f.SetColorTo(RGB(4, 5, 6));
  f.SetColorMirror(RGB(7, 8, 9));
  f.SetColorMirrorTo(clWindowText);
  f.SetGradientType(gtHatch);
  f.SetGradientMirrorType(gtBackwardDiagonal);
  f.SetHatchStyle(gfx::HatchStyle::DiagonalBrick);
  f.SetHatchStyleMirror(gfx::HatchStyle::SolidDiamond);
  f.SetBackGroundPictureMode(pmInsideFill);
  f.SetBackGroundPicturePosition(ppCustom);
  f.SetBackGroundPictureLeft(-3);
  f.SetBackGroundPictureTop(11);
  f.SetPicturePosition(ppCenterRight);
  f.SetPictureLeft(12);
  f.SetPictureTop(-13);
  f.SetPictureSize(psCustom);
  f.SetPictureWidth(14);
  f.SetPictureHeight(15);
  f.SetOpacity(16);
  f.SetOpacityTo(17);
  f.SetOpacityMirror(18);
  f.SetOpacityMirrorTo(0);
  f.SetBorderColor(clYellow);
  f.SetBorderOpacity(19);
  f.SetBorderWidth(3);
  f.SetRounding(10);
  f.SetRoundingType(rtRight);
  f.SetShadowColor(clNone);
  f.SetShadowOffset(4);
  f.SetAngle(-45);
  f.SetGlow(gmRadialGradient);
  f.SetGlowGradientColor(clRed);
  f.SetGlowRadialColor(clBlue);
  f.Picture()->LoadFromBytes(PngOf(3, 2, gfx::Color::Rgb(10, 200, 30)));
  f.BackGroundPicture()->LoadFromBytes(PngOf(2, 5, gfx::Color::Argb(100, 1, 2, 3)));
}

// Every stored value of a fill, as one comparable list.
std::vector<std::int64_t> Values(TGDIPFill& f) {
  std::vector<std::int64_t> values;
  for (const TPropInfo* p : TGDIPFill::StaticClass().Properties())
    if (p->Kind() == tkInteger || p->Kind() == tkEnumeration) values.push_back(p->GetOrd(&f));
  for (std::uint8_t b : f.Picture()->Data()) values.push_back(b);
  values.push_back(-1);
  for (std::uint8_t b : f.BackGroundPicture()->Data()) values.push_back(b);
  return values;
}

class TempDir {
 public:
  TempDir() : path_(std::filesystem::temp_directory_path() / ("fill_test_" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::filesystem::path operator/(const char* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

TEST(FillIni, EveryPropertyAndBothPicturesReadBack) {
  TempDir dir;
  TGDIPFill saved;
  SetEverything(saved);
  saved.SaveToFile(dir / "fill.ini", "Panel");

  const IniFile ini(dir / "fill.ini");
  EXPECT_EQ(ini.ReadString("Panel", "Color", ""), "197121");
  EXPECT_EQ(ini.ReadString("Panel", "GradientType", ""), "7");
  EXPECT_EQ(ini.ReadString("Panel", "HatchStyleMirror", ""), "52");
  EXPECT_EQ(ini.ReadInteger("Panel", "PictureDataSize", 0), static_cast<int>(2 * saved.Picture()->Data().size()));
  EXPECT_EQ(ini.ReadInteger("Panel", "BackgroundPictureSize", 0),
            static_cast<int>(2 * saved.BackGroundPicture()->Data().size()));
  EXPECT_EQ(ini.ReadString("Panel", "Picture", "").substr(0, 8), "89504E47");

  TGDIPFill loaded;
  ChangeCounter changes;
  changes.Watch(loaded);
  loaded.LoadFromFile(dir / "fill.ini", "Panel");
  EXPECT_EQ(Values(loaded), Values(saved));
  EXPECT_EQ(changes.count, 1);
}

TEST(FillIni, MissingKeysKeepTheirValuesAndAMissingPictureLengthSkipsThePicture) {
  TGDIPFill f;
  f.Picture()->LoadFromBytes(PngOf(2, 2, gfx::Color::Rgb(1, 1, 1)));
  const auto before = f.Picture()->Data();
  f.LoadFromFile(IniFile::FromText("[S]\nOpacity=7\nPicture=0011\nBackgroundPictureSize=0\n"), "S");
  EXPECT_EQ(f.Opacity(), 7);
  EXPECT_EQ(f.Color(), clSilver);
  EXPECT_EQ(f.Picture()->Data(), before);
}

TEST(FillIni, LowerCaseHexDigitsAreRead) {
  std::string hex;
  for (std::uint8_t b : PngOf(1, 1, gfx::Color::Rgb(5, 6, 7))) {
    static const char digits[] = "0123456789abcdef";
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  TGDIPFill f;
  f.LoadFromFile(IniFile::FromText("[S]\nPictureDataSize=" + std::to_string(hex.size()) + "\nPicture=" + hex + "\n"),
                 "S");
  EXPECT_EQ(f.Picture()->Width(), 1);
}

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
  std::string hex;
  for (std::uint8_t b : bytes) {
    static const char digits[] = "0123456789ABCDEF";
    hex += digits[b >> 4];
    hex += digits[b & 15];
  }
  return hex;
}

struct HostileText {
  const char* name;
  std::string text;
  const char* says;  // part of the error message
};

std::ostream& operator<<(std::ostream& out, const HostileText& row) { return out << row.name; }

std::string TestName(const ::testing::TestParamInfo<HostileText>& info) {
  std::string name = info.param.name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

std::vector<HostileText> HostileInis() {
  const std::string png = HexOf(PngOf(6, 6, gfx::Color::Rgb(9, 9, 9)));
  const std::string cut = png.substr(0, png.size() / 2);
  const auto picture = [](const std::string& hex) {
    return "PictureDataSize=" + std::to_string(hex.size()) + "\nPicture=" + hex + "\n";
  };
  return {
      {"opacity above a byte", "Opacity=256\n", "key Opacity: 256 is outside the range 0..255"},
      {"negative opacity", "OpacityTo=-1\n", "key OpacityTo: -1 is outside the range 0..255"},
      {"gradient type past the last", "GradientType=11\n", "key GradientType: 11 is outside the range 0..10"},
      {"hatch past the total", "HatchStyle=54\n", "outside the range 0..53"},
      {"rounding type negative", "RoundingType=-1\n", "outside the range 0..5"},
      {"integer past 32 bits", "Rounding=4294967296\n", "key Rounding: 4294967296 is outside the range"},
      {"colour past 32 bits", "Color=$1FFFFFFFF\n", "key Color: 8589934591 is outside the range"},
      {"not a number", "BorderWidth=wide\n", "key BorderWidth: 'wide' is not an integer"},
      {"number with junk", "Angle=45deg\n", "key Angle: '45deg' is not an integer"},
      {"empty number", "Angle=\n", "key Angle: '' is not an integer"},
      {"huge number", "Angle=99999999999999999999999\n", "is not an integer"},
      {"negative picture length", "PictureDataSize=-2\nPicture=00\n", "the picture's length -2 is negative"},
      {"odd picture length", "PictureDataSize=3\nPicture=0011\n", "the picture's length 3 is odd"},
      {"picture length past its text", "PictureDataSize=100\nPicture=0011\n", "is longer than its text (4 characters)"},
      {"picture length without text", "BackgroundPictureSize=8\n", "is longer than its text (0 characters)"},
      {"picture length not a number", "PictureDataSize=ten\nPicture=00\n", "'ten' is not an integer"},
      {"not hex", "PictureDataSize=4\nPicture=00G1\n", "key Picture: No Hex-Number"},
      {"hex of no image", picture("0001020304"), "key Picture: The data is not an image"},
      {"truncated picture", picture(cut), "key Picture: The image is corrupt or truncated"},
      {"background of only a png signature", "BackgroundPictureSize=16\nBackgroundPicture=89504E470D0A1A0A\n",
       "key BackgroundPicture: The image is corrupt or truncated"},
  };
}

class FillIniHostile : public ::testing::TestWithParam<HostileText> {};

// Runs `load` on a fill with every property set and expects EReadError saying each of `says`, with
// the fill as it was and no OnChange.
template <class Load>
void ExpectRefused(Load load, std::initializer_list<std::string> says) {
  TGDIPFill f;
  SetEverything(f);
  const auto before = Values(f);
  ChangeCounter changes;
  changes.Watch(f);
  try {
    load(f);
    ADD_FAILURE() << "accepted";
  } catch (const EReadError& e) {
    for (const std::string& part : says) EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
  }
  EXPECT_EQ(Values(f), before);
  EXPECT_EQ(changes.count, 0);
}

TEST_P(FillIniHostile, IsRefusedAndLeavesTheFillAsItWas) {
  // Good values come first: they must not be half applied.
  const IniFile ini = IniFile::FromText("[Fill]\nShadowOffset=2\nGlow=1\n" + GetParam().text, "hostile.ini");
  ExpectRefused([&](TGDIPFill& f) { f.LoadFromFile(ini, "Fill"); }, {"hostile.ini, section [Fill]", GetParam().says});
}

INSTANTIATE_TEST_SUITE_P(Texts, FillIniHostile, ::testing::ValuesIn(HostileInis()), TestName);

TEST(FillIni, AnImageTooLargeToAllocateSaysSo) {
  const std::string hex = HexOf(gfx::test::PngClaiming(60000, 60000));
  TGDIPFill f;
  try {
    f.LoadFromFile(IniFile::FromText("[S]\nPictureDataSize=" + std::to_string(hex.size()) + "\nPicture=" + hex + "\n"),
                   "S");
    FAIL() << "accepted";
  } catch (const EReadError& e) {
    EXPECT_NE(std::string(e.what()).find("Could not allocate memory for image"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(f.Picture()->Empty());
}

// ---- clipboard -----------------------------------------------------------------------------------

class FillClipboard : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetFillClipboard(&clipboard_); }
  void TearDown() override { SetFillClipboard(previous_); }
  TTextFillClipboard clipboard_;
  IFillClipboard* previous_ = nullptr;
};

TEST_F(FillClipboard, AFillTravelsWhole) {
  TGDIPFill copied;
  SetEverything(copied);
  copied.SaveToClipBoard();
  EXPECT_EQ(clipboard_.PlainText().rfind("GDI+ Fill\n", 0), 0u);

  TGDIPFill pasted;
  pasted.SetFocus(true);
  ChangeCounter changes;
  changes.Watch(pasted);
  pasted.LoadFromClipBoard();
  EXPECT_EQ(Values(pasted), Values(copied));
  EXPECT_TRUE(pasted.Focus());
  EXPECT_GE(changes.count, 1);
}

TEST_F(FillClipboard, OtherTextOnTheClipboardChangesNothing) {
  clipboard_.SetPlainText("just some words");
  TGDIPFill f;
  ChangeCounter changes;
  changes.Watch(f);
  f.LoadFromClipBoard();
  EXPECT_EQ(changes.count, 0);
}

TEST(FillClipboardSeam, WithoutAClipboardNothingHappens) {
  IFillClipboard* previous = SetFillClipboard(nullptr);
  TGDIPFill f;
  f.SaveToClipBoard();
  f.LoadFromClipBoard();
  EXPECT_EQ(f.Color(), clSilver);
  SetFillClipboard(previous);
}

// The program's clipboard: the window system's text clipboard (here the process's own, as in headless
// runs), with the format on the first line.
TEST(SystemFillClipboard, AFillGoesThroughTheWindowSystemsTextClipboardAndBack) {
  TSystemFillClipboard system;
  IFillClipboard* previous = SetFillClipboard(&system);
  TGDIPFill copied;
  SetEverything(copied);
  copied.SaveToClipBoard();
  EXPECT_EQ(ClipboardText().rfind("GDI+ Fill\n", 0), 0u);

  TGDIPFill pasted;
  pasted.LoadFromClipBoard();
  EXPECT_EQ(Values(pasted), Values(copied));

  SetClipboardText("words another program copied");
  TGDIPFill untouched;
  untouched.LoadFromClipBoard();
  EXPECT_EQ(untouched.Color(), clSilver);
  SetFillClipboard(previous);
}

std::vector<HostileText> HostileClipboards() {
  const std::string head = "object Clipboard: TGDIPFillClipHolder\n";
  return {
      {"empty", "", "The clipboard does not hold a valid fill"},
      {"not a description", "hello there", "The clipboard does not hold a valid fill"},
      {"another class", "object Out: TForm\nend\n", "it holds other objects than one fill"},
      {"a nested component", head + "  object x: TGDIPFillClipHolder\n  end\nend\n", "other objects than one fill"},
      {"opacity out of range", head + "  Fill.Opacity = 300\nend\n", "out of range"},
      {"unknown gradient", head + "  Fill.GradientType = gtSparkles\nend\n", "gtSparkles"},
      {"unknown property", head + "  Fill.Sparkle = 1\nend\n", "Sparkle"},
      {"an event bound to nothing", head + "  Fill.OnChange = Boom\nend\n", "Boom"},
      {"picture that is no image", head + "  Fill.Picture.Data = {00010203}\nend\n", "not an image"},
      {"unterminated", head + "  Fill.Color = 1\n", "The clipboard does not hold a valid fill"},
  };
}

class FillClipboardHostile : public ::testing::TestWithParam<HostileText> {};

TEST_P(FillClipboardHostile, IsRefusedAndLeavesTheFillAsItWas) {
  ExpectRefused([](TGDIPFill& f) { f.FromClipboardText(GetParam().text); }, {GetParam().says});
}

INSTANTIATE_TEST_SUITE_P(Texts, FillClipboardHostile, ::testing::ValuesIn(HostileClipboards()), TestName);

}  // namespace
}  // namespace sib::test
