// Fonts and string formats. A FontFamily is found by name through fontconfig; "Arial" resolves to
// Liberation Sans, "Tahoma" to the Tahoma face that the program registers for itself from the
// fonts of the wine package when they are installed, else to DejaVu Sans. A family that is not
// there, or a style the family cannot give, is reported distinctly, so a caller can fall back.
// Sizes are in points at 96 pixels per inch unless a pixel unit is asked for.
#pragma once

#include <string>
#include <string_view>

#include "platform/graphics/types.h"

typedef struct _PangoFontDescription PangoFontDescription;

namespace sib::gfx {

// Font style bits; strike-out is accepted and drawn.
inline constexpr int FontStyleRegular = 0;
inline constexpr int FontStyleBold = 1;
inline constexpr int FontStyleItalic = 2;
inline constexpr int FontStyleBoldItalic = 3;
inline constexpr int FontStyleUnderline = 4;
inline constexpr int FontStyleStrikeout = 8;

enum class FontUnit { Point, Pixel };

// Registers the program's own font files (the Tahoma faces) with fontconfig, once per process;
// every FontFamily calls it. Returns whether a Tahoma face was registered.
bool RegisterProgramFonts();

class FontFamily {
 public:
  // FontFamilyNotFound when no installed face has this family name and it is none of the names
  // this layer stands in for (Arial, Tahoma, and the generic "Sans Serif", "Serif", "Monospace").
  explicit FontFamily(std::string_view name);
  Status GetStatus() const { return status_; }
  bool Ok() const { return status_ == Status::Ok; }
  // The name asked for, and the family of the face that draws it (e.g. "Liberation Sans").
  const std::string& Name() const { return name_; }
  const std::string& ResolvedName() const { return resolved_; }
  // Whether the family has a face of the bold and italic bits of `style` (underline and
  // strike-out are drawn on any face).
  bool IsStyleAvailable(int style) const;

 private:
  std::string name_, resolved_;
  Status status_;
};

class Font {
 public:
  // FontFamilyNotFound when the family is not Ok; FontStyleNotFound when it has no face for the
  // style; InvalidParameter for a size of 0 or less. A font that is not Ok draws no text.
  Font(const FontFamily& family, float size, int style = FontStyleRegular, FontUnit unit = FontUnit::Point);
  Font(std::string_view familyName, float size, int style = FontStyleRegular, FontUnit unit = FontUnit::Point);
  ~Font();
  Font(const Font& other);
  Font& operator=(const Font& other);

  Status GetStatus() const { return status_; }
  bool Ok() const { return status_ == Status::Ok; }
  const FontFamily& GetFamily() const { return family_; }
  int GetStyle() const { return style_; }
  // The size as given, in its unit, and as pixels per em.
  float GetSize() const { return size_; }
  FontUnit GetUnit() const { return unit_; }
  float SizeInPixels() const { return unit_ == FontUnit::Point ? PointsToPixels(size_) : size_; }

  // The Pango description of the face (family, weight, slant, absolute size); owned by the font.
  const PangoFontDescription* Description() const { return description_; }

 private:
  void Build();

  FontFamily family_;
  float size_;
  int style_;
  FontUnit unit_;
  Status status_ = Status::Ok;
  PangoFontDescription* description_ = nullptr;
};

enum class StringAlignment { Near, Center, Far };
enum class StringTrimming { None, Character, Word, EllipsisCharacter, EllipsisWord, EllipsisPath };
// Show: "&" underlines the character after it and is not drawn, "&&" draws one "&". Hide: as
// Show without underlines. None: "&" is an ordinary character.
enum class HotkeyPrefix { None, Show, Hide };

// How a string is laid out in its rectangle. Alignment is horizontal, LineAlignment vertical.
// The default format pads the text by 1/6 em on each side, left and right, as the controls'
// measurements expect; the typographic format does not.
struct StringFormat {
  StringAlignment Alignment = StringAlignment::Near;
  StringAlignment LineAlignment = StringAlignment::Near;
  StringTrimming Trimming = StringTrimming::Character;
  HotkeyPrefix Hotkey = HotkeyPrefix::None;
  bool NoWrap = false;     // one line per paragraph, even in a narrower rectangle
  bool NoClip = false;     // draw beyond the layout rectangle
  bool LineLimit = false;  // only whole lines in the layout rectangle
  bool Typographic = false;

  static StringFormat GenericDefault() { return {}; }
  static StringFormat GenericTypographic() {
    StringFormat f;
    f.Trimming = StringTrimming::None;
    f.NoClip = true;
    f.LineLimit = true;
    f.Typographic = true;
    return f;
  }
};

}  // namespace sib::gfx
