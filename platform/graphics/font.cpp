#include "platform/graphics/font.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace sib::gfx {
namespace {

constexpr const char* kTahomaFiles[] = {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"};

// Names this layer stands in for even though no installed face carries them: fontconfig maps
// each to a face of the same metrics or to the default sans.
constexpr const char* kStandIns[] = {"arial", "tahoma", "sans serif", "sans-serif", "sans", "serif", "monospace"};

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return out;
}

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

}  // namespace

bool RegisterProgramFonts() {
  static const bool registered = [] {
    FcInit();
    bool any = false;
    for (const char* file : kTahomaFiles)
      if (access(file, R_OK) == 0 && FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(file))) any = true;
    // A font map made before the registration must see the new faces.
    if (any) pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(pango_cairo_font_map_get_default()));
    // Fontconfig keeps its configuration for the life of the process; hand it back at exit so
    // that leak checkers see only what the program itself forgot.
    std::atexit([] {
      pango_cairo_font_map_set_default(nullptr);
      FcFini();
    });
    return any;
  }();
  return registered;
}

FontFamily::FontFamily(std::string_view name) : name_(name), status_(Status::FontFamilyNotFound) {
  RegisterProgramFonts();
  if (name_.empty()) return;
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name_.c_str()));
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result;
  PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  if (!match) return;
  std::string wanted = Lower(name_);
  FcChar8* family = nullptr;
  std::string first;
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &family) == FcResultMatch; ++i) {
    std::string f = reinterpret_cast<const char*>(family);
    if (i == 0) first = f;
    if (Lower(f) == wanted) {
      resolved_ = f;
      status_ = Status::Ok;
      return;
    }
  }
  if (std::find(std::begin(kStandIns), std::end(kStandIns), wanted) != std::end(kStandIns) && !first.empty()) {
    resolved_ = first;
    status_ = Status::Ok;
  }
}

bool FontFamily::IsStyleAvailable(int style) const {
  if (!Ok()) return false;
  bool bold = style & FontStyleBold, italic = style & FontStyleItalic;
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(resolved_.c_str()));
  FcObjectSet* objects = FcObjectSetBuild(FC_WEIGHT, FC_SLANT, nullptr);
  FcFontSet* set = FcFontList(nullptr, pattern.get(), objects);
  FcObjectSetDestroy(objects);
  bool exact = false, regular = false;
  for (int i = 0; set && i < set->nfont; ++i) {
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(set->fonts[i], FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(set->fonts[i], FC_SLANT, 0, &slant);
    bool faceBold = weight >= FC_WEIGHT_DEMIBOLD, faceItalic = slant != FC_SLANT_ROMAN;
    if (faceBold == bold && faceItalic == italic) exact = true;
    if (!faceBold && !faceItalic) regular = true;
  }
  if (set) FcFontSetDestroy(set);
  // Bold and italic are synthesised from a regular face where the family has none of its own.
  return exact || regular;
}

Font::Font(const FontFamily& family, float size, int style, FontUnit unit)
    : family_(family), size_(size), style_(style), unit_(unit) {
  Build();
}

Font::Font(std::string_view familyName, float size, int style, FontUnit unit)
    : Font(FontFamily(familyName), size, style, unit) {}

Font::~Font() {
  if (description_) pango_font_description_free(description_);
}

Font::Font(const Font& other)
    : family_(other.family_), size_(other.size_), style_(other.style_), unit_(other.unit_), status_(other.status_) {
  if (other.description_) description_ = pango_font_description_copy(other.description_);
}

Font& Font::operator=(const Font& other) {
  if (this == &other) return *this;
  Font copy(other);
  std::swap(family_, copy.family_);
  std::swap(size_, copy.size_);
  std::swap(style_, copy.style_);
  std::swap(unit_, copy.unit_);
  std::swap(status_, copy.status_);
  std::swap(description_, copy.description_);
  return *this;
}

void Font::Build() {
  if (!family_.Ok()) {
    status_ = Status::FontFamilyNotFound;
    return;
  }
  if (!(size_ > 0) || !std::isfinite(size_)) {
    status_ = Status::InvalidParameter;
    return;
  }
  if (!family_.IsStyleAvailable(style_)) {
    status_ = Status::FontStyleNotFound;
    return;
  }
  description_ = pango_font_description_new();
  pango_font_description_set_family(description_, family_.ResolvedName().c_str());
  pango_font_description_set_weight(description_, (style_ & FontStyleBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description_, (style_ & FontStyleItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_font_description_set_absolute_size(description_, double(SizeInPixels()) * PANGO_SCALE);
}

}  // namespace sib::gfx
