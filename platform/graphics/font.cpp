#include "platform/graphics/font.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

// Fontconfig keeps its configuration and the faces registered with it for the life of the
// process, behind pointers a leak checker cannot follow; freeing them at exit is unsafe while
// other libraries still hold fonts. A program's own suppressions (a strong definition) replace
// this one and should keep this line.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

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
    return any;
  }();
  return registered;
}

namespace {

// Resolving a family through fontconfig takes a quarter of a millisecond, and the controls make
// their fonts on every paint: the answers are kept for the process (the set of faces does not
// change once the program's own are registered).
struct Resolution {
  Status status = Status::FontFamilyNotFound;
  std::string resolved;
};

Resolution ResolveFamily(const std::string& name) {
  Resolution r;
  if (name.empty()) return r;
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result;
  PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  if (!match) return r;
  std::string wanted = Lower(name);
  FcChar8* family = nullptr;
  std::string first;
  for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &family) == FcResultMatch; ++i) {
    std::string f = reinterpret_cast<const char*>(family);
    if (i == 0) first = f;
    if (Lower(f) == wanted) return {Status::Ok, f};
  }
  if (std::find(std::begin(kStandIns), std::end(kStandIns), wanted) != std::end(kStandIns) && !first.empty())
    return {Status::Ok, first};
  return r;
}

// Whether `family` has a face of the bold and italic bits of `style`, or a regular face to
// synthesise them from.
bool HasStyle(const std::string& family, int style) {
  bool bold = style & FontStyleBold, italic = style & FontStyleItalic;
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
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
  return exact || regular;
}

class FontCache {
 public:
  static FontCache& Instance() {
    static FontCache cache;
    return cache;
  }
  Resolution Family(const std::string& name) {
    std::string key = Lower(name);
    {
      std::lock_guard lock(mutex_);
      if (auto it = families_.find(key); it != families_.end()) return it->second;
    }
    Resolution r = ResolveFamily(name);
    std::lock_guard lock(mutex_);
    return families_.emplace(key, r).first->second;
  }
  bool Style(const std::string& family, int style) {
    auto key = std::make_pair(family, style & FontStyleBoldItalic);
    {
      std::lock_guard lock(mutex_);
      if (auto it = styles_.find(key); it != styles_.end()) return it->second;
    }
    bool has = HasStyle(family, style);
    std::lock_guard lock(mutex_);
    return styles_.emplace(key, has).first->second;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, Resolution> families_;
  std::map<std::pair<std::string, int>, bool> styles_;
};

}  // namespace

FontFamily::FontFamily(std::string_view name) : name_(name), status_(Status::FontFamilyNotFound) {
  RegisterProgramFonts();
  Resolution r = FontCache::Instance().Family(name_);
  status_ = r.status;
  resolved_ = r.resolved;
}

bool FontFamily::IsStyleAvailable(int style) const {
  return Ok() && FontCache::Instance().Style(resolved_, style);
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
