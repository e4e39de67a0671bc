// Parsing the markup into a Document: one pass over the text, with the nesting of tags kept in
// counters and one bounded stack, so that neither depth nor length of the input can exhaust
// anything but the items it fills.
#include "controls/html_markup.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/core/utf8.h"

namespace sib::html {
namespace {

bool IsSpace(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 0x2028 || c == 0x2029;
}
bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAsciiAlnum(char c) { return IsAsciiAlpha(c) || (c >= '0' && c <= '9'); }
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// The value of a hexadecimal digit; -1 for any other character.
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// Characters that are neither drawn nor white space: the C0 and C1 controls.
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

struct NamedEntity {
  std::string_view Name;
  char32_t Value;
};
constexpr NamedEntity kEntities[] = {
    {"nbsp", 0xA0}, {"lt", '<'},   {"gt", '>'},    {"amp", '&'},   {"quot", '"'},
    {"sect", 0xA7}, {"reg", 0xAE}, {"copy", 0xA9}, {"para", 0xB6}, {"euro", 0x20AC},
};

// The entity at s[i] ('&'): its character, with i moved past its ';'. False (i unchanged) when
// no known entity stands there.
bool DecodeEntity(std::string_view s, std::size_t& i, char32_t& out) {
  constexpr std::size_t kLongest = 10;  // "&#x10FFFF;" and every name fit
  const std::size_t semicolon = s.substr(i, kLongest + 1).find(';');
  if (semicolon == std::string_view::npos || semicolon < 2) return false;
  const std::string_view name = s.substr(i + 1, semicolon - 1);
  if (name[0] == '#') {
    const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return false;
    std::uint32_t value = 0;
    for (char d : digits) {
      const int v = hex ? HexValue(d) : d >= '0' && d <= '9' ? d - '0' : -1;
      if (v < 0) return false;
      value = value * (hex ? 16u : 10u) + static_cast<std::uint32_t>(v);  // at most 8 digits: no overflow
    }
    out = value == 0 || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000) ? char32_t{0xFFFD} : char32_t{value};
    i += semicolon + 1;
    return true;
  }
  for (const NamedEntity& e : kEntities)
    if (SameText(name, e.Name)) {
      out = e.Value;
      i += semicolon + 1;
      return true;
    }
  return false;
}

// An attribute value with its entities decoded and its UTF-8 repaired.
std::string DecodeValue(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size();) {
    char32_t c = 0;
    if (raw[i] == '&' && DecodeEntity(raw, i, c)) {
      AppendUtf8(out, c);
      continue;
    }
    c = DecodeUtf8(raw, i);
    if (!IsControl(c)) AppendUtf8(out, c);
  }
  return out;
}

struct Attribute {
  std::string_view Name;
  std::string Value;
};

// The attributes of a tag's text after its name.
std::vector<Attribute> ParseAttributes(std::string_view s) {
  std::vector<Attribute> out;
  std::size_t k = 0;
  const auto skipSpaces = [&] {
    while (k < s.size() && (IsSpace(static_cast<unsigned char>(s[k])) || s[k] == '/')) ++k;
  };
  while (true) {
    skipSpaces();
    if (k >= s.size()) break;
    const std::size_t nameStart = k;
    while (k < s.size() && !IsSpace(static_cast<unsigned char>(s[k])) && s[k] != '=' && s[k] != '/') ++k;
    Attribute a{s.substr(nameStart, k - nameStart), {}};
    while (k < s.size() && IsSpace(static_cast<unsigned char>(s[k]))) ++k;
    if (k < s.size() && s[k] == '=') {
      ++k;
      while (k < s.size() && IsSpace(static_cast<unsigned char>(s[k]))) ++k;
      std::size_t valueStart = k, valueEnd = k;
      if (k < s.size() && (s[k] == '"' || s[k] == '\'')) {
        const char quote = s[k];
        valueStart = k + 1;
        valueEnd = s.find(quote, valueStart);
        if (valueEnd == std::string_view::npos) valueEnd = s.size();
        k = std::min(valueEnd + 1, s.size());
      } else {
        while (k < s.size() && !IsSpace(static_cast<unsigned char>(s[k]))) ++k;
        valueEnd = k;
      }
      a.Value = DecodeValue(s.substr(valueStart, valueEnd - valueStart));
    }
    if (a.Name.empty()) {
      ++k;  // a stray '=': step over it
      continue;
    }
    out.push_back(std::move(a));
  }
  return out;
}

const std::string* Find(const std::vector<Attribute>& attributes, std::string_view name) {
  for (const Attribute& a : attributes)
    if (SameText(a.Name, name)) return &a.Value;
  return nullptr;
}

std::string_view Trim(std::string_view v) {
  while (!v.empty() && IsSpace(static_cast<unsigned char>(v.front()))) v.remove_prefix(1);
  while (!v.empty() && IsSpace(static_cast<unsigned char>(v.back()))) v.remove_suffix(1);
  return v;
}

// The value attribute `name` names among `words` (without case, its white space trimmed);
// `otherwise` when the attribute is absent or names none of them.
template <typename E>
E Keyword(const std::vector<Attribute>& attributes, std::string_view name,
          std::initializer_list<std::pair<std::string_view, E>> words, E otherwise) {
  if (const std::string* value = Find(attributes, name)) {
    const std::string_view v = Trim(*value);
    for (const auto& [word, meaning] : words)
      if (SameText(v, word)) return meaning;
  }
  return otherwise;
}

// A whole number with an optional sign; digits past the sixth are ignored (every bound is far below).
struct Number {
  bool Ok = false;
  char Sign = 0;  // '+', '-' or 0
  int Value = 0;
};

Number ParseNumber(std::string_view v) {
  v = Trim(v);
  Number n;
  if (!v.empty() && (v[0] == '+' || v[0] == '-')) {
    n.Sign = v[0];
    v.remove_prefix(1);
  }
  std::size_t digits = 0;
  for (char c : v) {
    if (c < '0' || c > '9') break;
    if (digits++ < 6) n.Value = n.Value * 10 + (c - '0');
  }
  n.Ok = digits > 0;
  return n;
}

int Clamp(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

struct StyleHash {
  std::size_t operator()(const Style& s) const {
    std::size_t h = s.Font;
    const auto mix = [&h](std::size_t v) { h = h * 1000003u ^ v; };
    mix(static_cast<std::uint32_t>(s.Color));
    mix(static_cast<std::uint32_t>(s.Background));
    mix(std::size_t{s.Underline} | std::size_t{s.Strikeout} << 1 | std::size_t{s.Shadow} << 2 |
        static_cast<std::size_t>(s.Position) << 3);
    mix(s.Anchor);
    return h;
  }
};

// What a <FONT> sets; the stack of them gives the text its face, size and colours.
struct FontState {
  std::string Face;
  int Size = 8;
  TColor Color = clBlack;
  TColor Background = clNone;
};

class Parser {
 public:
  explicit Parser(const BaseStyle& base) : base_(base) {
    FontState root{base.Face, Clamp(base.Size, kMinFontSize, kMaxFontSize), ParseColorOr(base.Color), clNone};
    fonts_.push_back(std::move(root));
    doc_.Fonts.push_back({fonts_[0].Face, fonts_[0].Size, base.Bold, base.Italic});
    Restyle();
  }

  Document Run(std::string_view markup) {
    const std::string_view s = markup.substr(0, std::min(markup.size(), kMaxMarkupBytes));
    bool tagsLeft = true;  // false once a '<' found no '>' after it: none later will either
    for (std::size_t i = 0; i < s.size();) {
      const char c = s[i];
      if (c == '<' && tagsLeft) {
        if (s.substr(i, 4) == "<!--") {
          const std::size_t end = s.find("-->", i + 4);
          i = end == std::string_view::npos ? s.size() : end + 3;
          continue;
        }
        std::size_t j = i + 1;
        const bool closing = j < s.size() && s[j] == '/';
        if (closing) ++j;
        if (j < s.size() && (IsAsciiAlpha(s[j]) || (!closing && s[j] == '!'))) {
          const std::size_t gt = s.find('>', j);
          if (gt == std::string_view::npos) {
            tagsLeft = false;
          } else {
            Tag(s.substr(j, gt - j), closing);
            i = gt + 1;
            continue;
          }
        }
        Character('<');
        ++i;
        continue;
      }
      char32_t ch = 0;
      if (c == '&' && DecodeEntity(s, i, ch)) {
        Character(ch);
        continue;
      }
      Character(DecodeUtf8(s, i));
    }
    return std::move(doc_);
  }

 private:
  static TColor ParseColorOr(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return rgb == clNone || rgb == clDefault ? clBlack : rgb;
  }

  void Character(char32_t c) {
    if (IsSpace(c)) {
      if (doc_.Items.empty() || doc_.Items.back().Kind != ItemKind::Space) Push(ItemKind::Space);
      return;
    }
    if (IsControl(c)) return;
    const auto at = static_cast<std::uint32_t>(doc_.Text.size());
    AppendUtf8(doc_.Text, c);
    const auto length = static_cast<std::uint32_t>(doc_.Text.size()) - at;
    if (!doc_.Items.empty()) {
      Item& last = doc_.Items.back();
      if (last.Kind == ItemKind::Word && last.StyleIndex == style_ && last.Begin + last.Length == at) {
        last.Length += length;
        return;
      }
    }
    doc_.Items.push_back({ItemKind::Word, style_, at, length});
  }

  void Push(ItemKind kind, std::uint32_t begin = 0) { doc_.Items.push_back({kind, style_, begin, 0}); }

  static void Count(int& counter, bool closing) {
    if (!closing)
      ++counter;
    else if (counter > 0)
      --counter;
  }

  void Tag(std::string_view text, bool closing) {
    std::size_t n = 0;
    while (n < text.size() && IsAsciiAlnum(text[n])) ++n;
    const std::string_view name = text.substr(0, n);
    if (name.empty()) return;  // "<!DOCTYPE ...>" and the like
    const auto is = [&](std::string_view t) { return SameText(name, t); };

    struct Counted {
      std::string_view Name;
      int Parser::*Counter;
    };
    static constexpr Counted kCounted[] = {
        {"b", &Parser::bold_},        {"i", &Parser::italic_}, {"u", &Parser::underline_}, {"s", &Parser::strike_},
        {"strike", &Parser::strike_}, {"sub", &Parser::sub_},  {"sup", &Parser::sup_},     {"shad", &Parser::shadow_},
    };
    const std::string_view rest = text.substr(n);
    const auto counted =
        std::find_if(std::begin(kCounted), std::end(kCounted), [&](const Counted& c) { return is(c.Name); });
    if (counted != std::end(kCounted)) {
      Count(this->*counted->Counter, closing);
    } else if (is("font")) {
      Font(rest, closing);
    } else if (is("a")) {
      Anchor(rest, closing);
    } else if (is("br")) {
      Push(ItemKind::LineBreak);
    } else if (is("p")) {
      ParagraphTag(rest, closing);
    } else if (is("ul")) {
      List(closing);
    } else if (is("li")) {
      ListItemTag(rest, closing);
    } else if (is("img")) {
      if (!closing) Image(rest);
    } else if (is("body")) {
      if (!closing) BodyTag(rest);
    } else {
      return;  // unknown: ignored
    }
    Restyle();
  }

  void Font(std::string_view rest, bool closing) {
    if (closing) {
      if (fontOverflow_ > 0)
        --fontOverflow_;
      else if (fonts_.size() > 1)
        fonts_.pop_back();
      return;
    }
    if (fonts_.size() >= static_cast<std::size_t>(kMaxFontNesting)) {
      ++fontOverflow_;  // too deep: this <FONT> and its end change nothing
      return;
    }
    FontState f = fonts_.back();
    const std::vector<Attribute> attributes = ParseAttributes(rest);
    if (const std::string* face = Find(attributes, "face")) {
      const std::string_view v = Trim(*face);
      if (!v.empty() && v.size() <= kMaxFaceName) f.Face = std::string(v);
    }
    if (const std::string* size = Find(attributes, "size")) {
      const Number n = ParseNumber(*size);
      if (n.Ok) {
        const int v = n.Sign == '+' ? f.Size + n.Value : n.Sign == '-' ? f.Size - n.Value : n.Value;
        f.Size = Clamp(v, kMinFontSize, kMaxFontSize);
      }
    }
    if (const std::string* color = Find(attributes, "color"))
      if (const TColor c = ParseColor(*color); c != clNone) f.Color = c;
    if (const std::string* color = Find(attributes, "bgcolor"))
      if (const TColor c = ParseColor(*color); c != clNone) f.Background = c;
    fonts_.push_back(std::move(f));
  }

  void Anchor(std::string_view rest, bool closing) {
    anchor_ = 0;
    if (closing) return;
    const std::vector<Attribute> attributes = ParseAttributes(rest);
    const std::string* href = Find(attributes, "href");
    if (href == nullptr || href->empty()) return;
    doc_.Anchors.push_back(*href);
    anchor_ = static_cast<std::uint32_t>(doc_.Anchors.size());
  }

  void ParagraphTag(std::string_view rest, bool closing) {
    if (closing) {
      Push(ItemKind::ParagraphEnd);
      return;
    }
    Paragraph p;
    const std::vector<Attribute> attributes = ParseAttributes(rest);
    p.Alignment = Keyword(attributes, "align", {{"center", Align::Center}, {"right", Align::Right}}, Align::Left);
    if (const std::string* indent = Find(attributes, "indent"))
      if (const Number n = ParseNumber(*indent); n.Ok && n.Sign != '-') p.Indent = Clamp(n.Value, 0, kMaxIndent);
    if (const std::string* color = Find(attributes, "bgcolor")) p.Background = ParseColor(*color);
    doc_.Paragraphs.push_back(p);
    Push(ItemKind::ParagraphBegin, static_cast<std::uint32_t>(doc_.Paragraphs.size() - 1));
  }

  void List(bool closing) {
    if (closing) {
      if (listOverflow_ > 0) {
        --listOverflow_;
      } else if (listDepth_ > 0) {
        --listDepth_;
        Push(ItemKind::ListEnd);
      }
      return;
    }
    if (listDepth_ >= kMaxListDepth) {
      ++listOverflow_;
      return;
    }
    ++listDepth_;
    Push(ItemKind::ListBegin);
  }

  void ListItemTag(std::string_view rest, bool closing) {
    if (closing) {
      Push(ItemKind::ListItemEnd);
      return;
    }
    Bullet b;
    b.Color = fonts_.back().Color;
    const std::vector<Attribute> attributes = ParseAttributes(rest);
    b.Kind = Keyword(attributes, "type",
                     {{"square", BulletKind::Square}, {"circle", BulletKind::Circle}, {"image", BulletKind::Image}},
                     BulletKind::Disc);
    if (const std::string* color = Find(attributes, "color"))
      if (const TColor c = ParseColor(*color); c != clNone) b.Color = c;
    if (const std::string* image = Find(attributes, "name")) b.Image = *image;
    doc_.Bullets.push_back(std::move(b));
    Push(ItemKind::ListItem, static_cast<std::uint32_t>(doc_.Bullets.size() - 1));
  }

  void Image(std::string_view rest) {
    ImageRef r;
    const std::vector<Attribute> attributes = ParseAttributes(rest);
    if (const std::string* src = Find(attributes, "src")) r.Source = std::string(Trim(*src));
    if (const std::string* alt = Find(attributes, "alt")) {
      // Shown in place of a picture that is not there, as one word with its spaces kept.
      r.AltBegin = static_cast<std::uint32_t>(doc_.Text.size());
      for (std::size_t i = 0; i < alt->size();) {
        const char32_t c = DecodeUtf8(*alt, i);
        AppendUtf8(doc_.Text, IsSpace(c) ? char32_t{0xA0} : c);
      }
      r.AltLength = static_cast<std::uint32_t>(doc_.Text.size()) - r.AltBegin;
    }
    const auto side = [&](std::string_view name) {
      const std::string* v = Find(attributes, name);
      if (v == nullptr) return 0;
      const Number n = ParseNumber(*v);
      return n.Ok && n.Sign != '-' && n.Value > 0 ? Clamp(n.Value, 1, kMaxImageSide) : 0;
    };
    r.Width = side("width");
    r.Height = side("height");
    r.Alignment =
        Keyword(attributes, "align", {{"top", ImageAlign::Top}, {"middle", ImageAlign::Middle}}, ImageAlign::Baseline);
    r.Wrap = Find(attributes, "wrap") != nullptr;
    doc_.Images.push_back(std::move(r));
    Push(ItemKind::Image, static_cast<std::uint32_t>(doc_.Images.size() - 1));
  }

  void BodyTag(std::string_view rest) {
    const std::vector<Attribute> attributes = ParseAttributes(rest);
    if (const std::string* color = Find(attributes, "bgcolor")) doc_.Background.Color = ParseColor(*color);
    if (const std::string* color = Find(attributes, "bgcolorto")) doc_.Background.ColorTo = ParseColor(*color);
    if (const std::string* dir = Find(attributes, "dir")) {
      const std::string_view v = Trim(*dir);
      doc_.Background.Horizontal = !v.empty() && (v[0] == 'h' || v[0] == 'H');
    }
  }

  std::uint16_t FontIndex(const FontKey& key) {
    for (std::size_t k = 0; k < doc_.Fonts.size(); ++k)
      if (doc_.Fonts[k] == key) return static_cast<std::uint16_t>(k);
    if (doc_.Fonts.size() >= kMaxFonts) return 0;  // too many: the base font stands in
    doc_.Fonts.push_back(key);
    return static_cast<std::uint16_t>(doc_.Fonts.size() - 1);
  }

  // Makes style_ the style of the counters, the font stack and the anchor as they are now.
  void Restyle() {
    const FontState& f = fonts_.back();
    Style s;
    s.Position = sup_ > 0 ? Script::Sup : sub_ > 0 ? Script::Sub : Script::Normal;
    FontKey key{f.Face, f.Size, base_.Bold || bold_ > 0, base_.Italic || italic_ > 0};
    if (s.Position != Script::Normal) key.Size = std::max(kMinFontSize, (f.Size * 2 + 1) / 3);
    s.Font = FontIndex(key);
    s.Color = f.Color;
    s.Background = f.Background;
    s.Underline = base_.Underline || underline_ > 0;
    s.Strikeout = base_.Strikeout || strike_ > 0;
    s.Shadow = shadow_ > 0;
    s.Anchor = anchor_;
    if (const auto it = styles_.find(s); it != styles_.end()) {
      style_ = it->second;
      return;
    }
    style_ = static_cast<std::uint32_t>(doc_.Styles.size());
    doc_.Styles.push_back(s);
    styles_.emplace(s, style_);
  }

  BaseStyle base_;
  Document doc_;
  std::vector<FontState> fonts_;
  int fontOverflow_ = 0;
  int bold_ = 0, italic_ = 0, underline_ = 0, strike_ = 0, sub_ = 0, sup_ = 0, shadow_ = 0;
  std::uint32_t anchor_ = 0;
  int listDepth_ = 0, listOverflow_ = 0;
  std::uint32_t style_ = 0;
  std::unordered_map<Style, std::uint32_t, StyleHash> styles_;
};

}  // namespace

TColor ParseColor(std::string_view value) {
  value = Trim(value);
  if (!value.empty() && value[0] == '#') {
    if (value.size() != 7) return clNone;
    std::uint32_t rgb = 0;
    for (char c : value.substr(1)) {
      const int v = HexValue(c);
      if (v < 0) return clNone;
      rgb = rgb << 4 | static_cast<std::uint32_t>(v);
    }
    return RGB(std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb));
  }
  if (value.empty() || value.size() > 40) return clNone;
  std::optional<TColor> named = IdentToColor(value);
  if (!named) named = IdentToColor("cl" + std::string(value));
  if (!named) return clNone;
  const TColor rgb = ColorToRGB(*named);
  return rgb == clDefault ? clNone : rgb;
}

Document Parse(std::string_view markup, const BaseStyle& base) { return Parser(base).Run(markup); }

}  // namespace sib::html
