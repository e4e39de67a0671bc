#include "platform/graphics/font.h"

namespace sib::gfx {

bool RegisterProgramFonts() { return false; }

FontFamily::FontFamily(std::string_view name) : name_(name), resolved_(name), status_(Status::Ok) {}
bool FontFamily::IsStyleAvailable(int) const { return true; }

Font::Font(const FontFamily& family, float size, int style, FontUnit unit)
    : family_(family), size_(size), style_(style), unit_(unit) {}
Font::Font(std::string_view familyName, float size, int style, FontUnit unit)
    : Font(FontFamily(familyName), size, style, unit) {}
Font::~Font() = default;
Font::Font(const Font& other) = default;
Font& Font::operator=(const Font& other) = default;
void Font::Build() {}

}  // namespace sib::gfx
