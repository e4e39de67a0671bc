// Window icons from the bytes of an icon file: the directory, the largest image decoded, and refusal
// of bytes that are not an icon.
#include "tests/platform/ui/forms_fixture.h"

namespace sib::test {
namespace {

void put16(std::vector<std::uint8_t>& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

// An icon file with a 1 x 1 image of 8 bits (palette colour: pure blue, mask clear) and a 2 x 2
// image of 32 bits (rows bottom-up: bottom row red and half-transparent green, top row white and
// fully transparent).
std::vector<std::uint8_t> iconFile() {
  std::vector<std::uint8_t> small;  // BITMAPINFOHEADER, palette of 1, one row of pixels, mask row
  put32(small, 40), put32(small, 1), put32(small, 2), put16(small, 1), put16(small, 8);
  for (int i = 0; i < 4; ++i) put32(small, 0);
  put32(small, 1), put32(small, 0);
  put32(small, 0x00FF0000);  // palette: blue (B, G, R, 0)
  put32(small, 0);           // pixel row: index 0, padded
  put32(small, 0);           // mask row: opaque
  std::vector<std::uint8_t> large;
  put32(large, 40), put32(large, 2), put32(large, 4), put16(large, 1), put16(large, 32);
  for (int i = 0; i < 6; ++i) put32(large, 0);
  put32(large, 0xFFFF0000), put32(large, 0x8000FF00);  // bottom row: red, green at half alpha
  put32(large, 0xFFFFFFFF), put32(large, 0x00000000);  // top row: white, transparent
  put32(large, 0), put32(large, 0);                    // mask rows
  std::vector<std::uint8_t> file;
  put16(file, 0), put16(file, 1), put16(file, 2);
  const std::uint32_t first = 6 + 2 * 16;
  file.insert(file.end(), {1, 1, 0, 0}), put16(file, 1), put16(file, 8), put32(file, static_cast<std::uint32_t>(small.size())),
      put32(file, first);
  file.insert(file.end(), {2, 2, 0, 0}), put16(file, 1), put16(file, 32), put32(file, static_cast<std::uint32_t>(large.size())),
      put32(file, first + static_cast<std::uint32_t>(small.size()));
  file.insert(file.end(), small.begin(), small.end());
  file.insert(file.end(), large.begin(), large.end());
  return file;
}

TEST(IconTest, TheLargestImageIsDecodedPremultipliedTopDown) {
  TIcon icon;
  icon.SetData(iconFile());
  ASSERT_EQ(icon.Entries().size(), 2u);
  EXPECT_EQ(icon.Entries()[0].BitCount, 8);
  const TIcon::Image image = icon.LargestImage();
  ASSERT_EQ(image.Width, 2);
  ASSERT_EQ(image.Height, 2);
  EXPECT_EQ(image.Pixels, (std::vector<std::uint32_t>{0xFFFFFFFF, 0x00000000, 0xFFFF0000, 0x80008000}));
}

TEST(IconTest, BytesThatAreNotAnIconAreRefused) {
  TIcon icon;
  std::vector<std::uint8_t> truncated = iconFile();
  truncated.resize(30);
  std::vector<std::uint8_t> pastTheEnd = iconFile();
  pastTheEnd.resize(pastTheEnd.size() - 8);
  for (const auto& bytes : {std::vector<std::uint8_t>{1, 2, 3}, truncated, pastTheEnd}) {
    EXPECT_THROW(icon.SetData(bytes), EInvalidOperation);
    EXPECT_TRUE(icon.Empty()) << "nothing kept";
  }
}

class FormIconTest : public FormsTest {};

TEST_F(FormIconTest, AShownFormHandsItsIconToTheHost) {
  auto form = makeForm(50, 50);
  form->Icon()->SetData(iconFile());
  form->Show();
  EXPECT_EQ(window().IconWidth(), 2);
  EXPECT_EQ(window().IconHeight(), 2);
}

}  // namespace
}  // namespace sib::test
