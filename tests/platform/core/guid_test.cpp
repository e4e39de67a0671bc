#include "platform/core/guid.h"

#include <gtest/gtest.h>

#include "platform/core/errors.h"

namespace sib {
namespace {

TEST(GuidTest, TextRoundTripsInUpperCase) {
  const TGUID g = StringToGUID("{66c8d1bf-fa12-48e8-b0c9-60a652fa80d9}");
  EXPECT_EQ(GUIDToString(g), "{66C8D1BF-FA12-48E8-B0C9-60A652FA80D9}");
  EXPECT_EQ(g, "{66C8D1BF-FA12-48E8-B0C9-60A652FA80D9}"_guid);
  EXPECT_EQ(g.D1, 0x66C8D1BFu);
  EXPECT_EQ(g.D2, 0xFA12);
  EXPECT_EQ(g.D4[0], 0xB0);
  EXPECT_EQ(g.D4[7], 0xD9);
}

TEST(GuidTest, MalformedTextRaisesConversionErrorNamingIt) {
  const char* cases[] = {
      "",
      "66C8D1BF-FA12-48E8-B0C9-60A652FA80D9",      // no braces
      "{66C8D1BF-FA12-48E8-B0C9-60A652FA80D}",     // one digit short
      "{66C8D1BF-FA12-48E8-B0C9-60A652FA80D9 }",   // trailing space
      "{66C8D1BF+FA12-48E8-B0C9-60A652FA80D9}",    // wrong separator
      "{66C8D1BG-FA12-48E8-B0C9-60A652FA80D9}",    // not hex
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    try {
      StringToGUID(text);
      FAIL() << "accepted";
    } catch (const EConvertError& e) {
      EXPECT_NE(e.Message().find(text), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find("not a valid GUID"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace sib
