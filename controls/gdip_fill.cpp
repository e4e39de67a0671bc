#include "controls/gdip_fill.h"

#include <charconv>
#include <limits>
#include <optional>

#include "controls/fill_clipboard.h"
#include "platform/components/filer.h"
#include "platform/components/ini_file.h"

namespace sib {

namespace {

constexpr const char* kPictureKey = "Picture";
constexpr const char* kPictureSizeKey = "PictureDataSize";
constexpr const char* kBackgroundPictureKey = "BackgroundPicture";
constexpr const char* kBackgroundPictureSizeKey = "BackgroundPictureSize";
constexpr const char* kClipboardFormat = "GDI+ Fill";

std::vector<TIdentMapEntry> ColorIdents() {
  std::vector<TIdentMapEntry> idents;
  for (const ColorName& c : ColorNames()) idents.push_back({std::string(c.Name), c.Value});
  return idents;
}

// The component a fill is streamed in for the clipboard: the fill is its one property.
class TGDIPFillClipHolder : public TComponent {
  SIB_CLASS(TGDIPFillClipHolder, TComponent)
 public:
  explicit TGDIPFillClipHolder(TComponent* AOwner) : TComponent(AOwner) {}
  static TPropertyList PublishedProperties() {
    return {prop("Fill", &TGDIPFillClipHolder::Fill, &TGDIPFillClipHolder::SetFill)};
  }
  TGDIPFill* Fill() const { return FFill.get(); }
  void SetFill(TGDIPFill* Value) { FFill->Assign(Value); }

 private:
  std::unique_ptr<TGDIPFill> FFill = std::make_unique<TGDIPFill>();
};

std::string HexText(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 15]);
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  throw EConvertError("No Hex-Number");
}

std::vector<std::uint8_t> HexBytes(std::string_view text) {
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(HexDigit(text[2 * i]) << 4 | HexDigit(text[2 * i + 1]));
  return bytes;
}

// Decimal, or hexadecimal after "$" or "0x", with an optional minus sign; nothing else.
std::optional<std::int64_t> ParseInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (magnitude > std::uint64_t{1} << 62) return std::nullopt;
  const auto value = static_cast<std::int64_t>(magnitude);
  return negative ? -value : value;
}

// An error of one key of an INI section, with the file and section named.
[[noreturn]] void KeyError(const IniFile& ini, const std::string& section, std::string_view key,
                           const std::string& what) {
  const std::string file = ini.FileName().empty() ? std::string("INI text") : ini.FileName().string();
  throw EReadError(file + ", section [" + section + "], key " + std::string(key) + ": " + what);
}

bool IsIniProperty(const TPropInfo& p) { return p.Kind() == tkInteger || p.Kind() == tkEnumeration; }

void ReadIniProperty(const IniFile& ini, const std::string& section, const TPropInfo& p, TGDIPFill& fill) {
  if (!ini.ValueExists(section, p.Name())) return;
  const std::string text = ini.ReadString(section, p.Name(), "");
  const std::optional<std::int64_t> value = ParseInteger(text);
  if (!value) KeyError(ini, section, p.Name(), "'" + text + "' is not an integer");
  const TTypeInfo& type = p.PropType();
  const std::int64_t lo = type.Kind == tkEnumeration ? 0 : type.MinValue;
  const std::int64_t hi = type.Kind == tkEnumeration ? static_cast<std::int64_t>(type.EnumNames.size()) - 1 : type.MaxValue;
  if (*value < lo || *value > hi)
    KeyError(ini, section, p.Name(),
             std::to_string(*value) + " is outside the range " + std::to_string(lo) + ".." + std::to_string(hi));
  p.SetOrd(&fill, *value);
}

void ReadIniPicture(const IniFile& ini, const std::string& section, const char* key, const char* sizeKey,
                    TAdvGDIPPicture& picture) {
  if (!ini.ValueExists(section, sizeKey)) return;
  const std::string sizeText = ini.ReadString(section, sizeKey, "");
  const std::optional<std::int64_t> size = ParseInteger(sizeText);
  if (!size) KeyError(ini, section, sizeKey, "'" + sizeText + "' is not an integer");
  if (*size == 0) return;
  if (*size < 0) KeyError(ini, section, sizeKey, "the picture's length " + std::to_string(*size) + " is negative");
  if (*size % 2 != 0) KeyError(ini, section, sizeKey, "the picture's length " + std::to_string(*size) + " is odd");
  const std::string text = ini.ReadString(section, key, "");
  if (static_cast<std::uint64_t>(*size) > text.size())
    KeyError(ini, section, sizeKey,
             "the picture's length " + std::to_string(*size) + " is longer than its text (" +
                 std::to_string(text.size()) + " characters)");
  try {
    picture.LoadFromBytes(HexBytes(std::string_view(text).substr(0, static_cast<std::size_t>(*size))));
  } catch (const Exception& e) {
    KeyError(ini, section, key, e.Message());
  }
}

void WriteIniPicture(IniFile& ini, const std::string& section, const char* key, const char* sizeKey,
                     const TAdvGDIPPicture& picture) {
  const std::string text = HexText(picture.Data());
  ini.WriteInt64(section, sizeKey, static_cast<std::int64_t>(text.size()));
  ini.WriteString(section, key, text);
}

IFillClipboard* gClipboard = nullptr;

}  // namespace

namespace gfx {
const TTypeInfo& sibEnumTypeInfo(HatchStyle*) {
  static const TTypeInfo info = [] {
    std::vector<std::string> names;
    for (int i = 0; i < kHatchStyleCount; ++i) names.push_back(std::string("HatchStyle") + HatchStyleName(HatchStyle(i)));
    names.push_back("HatchStyleTotal");
    return TTypeInfo::Enumeration("HatchStyle", std::move(names));
  }();
  return info;
}
}  // namespace gfx

// ---- colours and outlines ---------------------------------------------------------------------

const TTypeInfo& colorTypeInfo() {
  static const TTypeInfo info = TTypeInfo::Integer("TColor", std::numeric_limits<std::int32_t>::min(),
                                                   std::numeric_limits<std::int32_t>::max(), ColorIdents());
  return info;
}

gfx::Color MakeColor(std::uint8_t Alpha, TColor Color) {
  const TColor rgb = ColorToRGB(Color);
  return gfx::Color::Argb(Alpha, RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

TFillRoundingType LayerRounding(TFillRoundingType RoundingType, bool Mirror) {
  switch (RoundingType) {
    case rtTop: return Mirror ? rtNone : rtTop;
    case rtBottom: return Mirror ? rtBottom : rtNone;
    case rtBoth: return Mirror ? rtBottom : rtTop;
    case rtNone:
    case rtLeft:
    case rtRight: break;
  }
  return RoundingType;
}

// ---- the fill ---------------------------------------------------------------------------------

TGDIPFill::TGDIPFill()
    : FBackGroundPicture(std::make_unique<TAdvGDIPPicture>()), FPicture(std::make_unique<TAdvGDIPPicture>()) {
  FBackGroundPicture->SetOnChange(TNotifyEvent(this, &TGDIPFill::PictureChanged));
  FPicture->SetOnChange(TNotifyEvent(this, &TGDIPFill::PictureChanged));
}

TGDIPFill::~TGDIPFill() = default;

TPropertyList TGDIPFill::PublishedProperties() {
  using F = TGDIPFill;
  const TTypeInfo& color = colorTypeInfo();
  return {
      prop("Color", &F::Color, &F::SetColor).type(color).defaultValue(clSilver),
      prop("ColorTo", &F::ColorTo, &F::SetColorTo).type(color).defaultValue(clGray),
      prop("ColorMirror", &F::ColorMirror, &F::SetColorMirror).type(color),
      prop("ColorMirrorTo", &F::ColorMirrorTo, &F::SetColorMirrorTo).type(color),
      prop("GradientType", &F::GradientType, &F::SetGradientType).defaultValue(gtVertical),
      prop("GradientMirrorType", &F::GradientMirrorType, &F::SetGradientMirrorType).defaultValue(gtSolid),
      prop("HatchStyle", &F::HatchStyle, &F::SetHatchStyle).defaultValue(gfx::HatchStyle::Horizontal),
      prop("HatchStyleMirror", &F::HatchStyleMirror, &F::SetHatchStyleMirror).defaultValue(gfx::HatchStyle::Horizontal),
      prop("BackGroundPictureMode", &F::BackGroundPictureMode, &F::SetBackGroundPictureMode).defaultValue(pmOutsideFill),
      prop("BackGroundPicture", &F::BackGroundPicture, &F::SetBackGroundPicture),
      prop("BackGroundPicturePosition", &F::BackGroundPicturePosition, &F::SetBackGroundPicturePosition)
          .defaultValue(ppTopLeft),
      prop("BackGroundPictureLeft", &F::BackGroundPictureLeft, &F::SetBackGroundPictureLeft).defaultValue(0),
      prop("BackGroundPictureTop", &F::BackGroundPictureTop, &F::SetBackGroundPictureTop).defaultValue(0),
      prop("Picture", &F::Picture, &F::SetPicture),
      prop("PicturePosition", &F::PicturePosition, &F::SetPicturePosition).defaultValue(ppTopLeft),
      prop("PictureLeft", &F::PictureLeft, &F::SetPictureLeft).defaultValue(0),
      prop("PictureTop", &F::PictureTop, &F::SetPictureTop).defaultValue(0),
      prop("PictureSize", &F::PictureSize, &F::SetPictureSize).defaultValue(psOriginal),
      prop("PictureWidth", &F::PictureWidth, &F::SetPictureWidth).defaultValue(50),
      prop("PictureHeight", &F::PictureHeight, &F::SetPictureHeight).defaultValue(50),
      prop("Opacity", &F::Opacity, &F::SetOpacity).defaultValue(255),
      prop("OpacityTo", &F::OpacityTo, &F::SetOpacityTo).defaultValue(255),
      prop("OpacityMirror", &F::OpacityMirror, &F::SetOpacityMirror).defaultValue(255),
      prop("OpacityMirrorTo", &F::OpacityMirrorTo, &F::SetOpacityMirrorTo).defaultValue(255),
      prop("BorderColor", &F::BorderColor, &F::SetBorderColor).type(color),
      prop("BorderOpacity", &F::BorderOpacity, &F::SetBorderOpacity).defaultValue(255),
      prop("BorderWidth", &F::BorderWidth, &F::SetBorderWidth).defaultValue(1),
      prop("Rounding", &F::Rounding, &F::SetRounding),
      prop("RoundingType", &F::RoundingType, &F::SetRoundingType).defaultValue(rtBoth),
      prop("ShadowColor", &F::ShadowColor, &F::SetShadowColor).type(color).defaultValue(clGray),
      prop("ShadowOffset", &F::ShadowOffset, &F::SetShadowOffset),
      prop("Angle", &F::Angle, &F::SetAngle).defaultValue(0),
      prop("OnChange", &F::OnChange, &F::SetOnChange),
      prop("Glow", &F::Glow, &F::SetGlow).defaultValue(gmNone),
      prop("GlowGradientColor", &F::GlowGradientColor, &F::SetGlowGradientColor).type(color).defaultValue(clWhite),
      prop("GlowRadialColor", &F::GlowRadialColor, &F::SetGlowRadialColor).type(color).defaultValue(clWhite),
  };
}

void TGDIPFill::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TGDIPFill*>(Source);
  if (!s || s == this) return;
  FColor = s->FColor;
  FColorTo = s->FColorTo;
  FColorMirror = s->FColorMirror;
  FColorMirrorTo = s->FColorMirrorTo;
  FGradientType = s->FGradientType;
  FGradientMirrorType = s->FGradientMirrorType;
  FHatchStyle = s->FHatchStyle;
  FHatchStyleMirror = s->FHatchStyleMirror;
  FBackGroundPictureMode = s->FBackGroundPictureMode;
  FBackGroundPicturePosition = s->FBackGroundPicturePosition;
  FBackGroundPictureLeft = s->FBackGroundPictureLeft;
  FBackGroundPictureTop = s->FBackGroundPictureTop;
  FPicturePosition = s->FPicturePosition;
  FPictureLeft = s->FPictureLeft;
  FPictureTop = s->FPictureTop;
  FPictureSize = s->FPictureSize;
  FPictureWidth = s->FPictureWidth;
  FPictureHeight = s->FPictureHeight;
  FOpacity = s->FOpacity;
  FOpacityTo = s->FOpacityTo;
  FOpacityMirror = s->FOpacityMirror;
  FOpacityMirrorTo = s->FOpacityMirrorTo;
  FBorderColor = s->FBorderColor;
  FBorderOpacity = s->FBorderOpacity;
  FBorderWidth = s->FBorderWidth;
  FRounding = s->FRounding;
  FRoundingType = s->FRoundingType;
  FShadowColor = s->FShadowColor;
  FShadowOffset = s->FShadowOffset;
  FAngle = s->FAngle;
  FGlow = s->FGlow;
  FGlowGradientColor = s->FGlowGradientColor;
  FGlowRadialColor = s->FGlowRadialColor;
  // Each picture raises OnChange through its own change event.
  FBackGroundPicture->Assign(s->FBackGroundPicture.get());
  FPicture->Assign(s->FPicture.get());
  Changed();
}

void TGDIPFill::Changed() {
  if (FUpdateCount == 0) FOnChange(this);
}

void TGDIPFill::PictureChanged(TObject*) { Changed(); }

// ---- INI sections ------------------------------------------------------------------------------

void TGDIPFill::SaveToFile(const std::filesystem::path& FileName, const std::string& Section) {
  IniFile ini(FileName);
  SaveToFile(ini, Section);
  ini.UpdateFile();
}

void TGDIPFill::SaveToFile(IniFile& Ini, const std::string& Section) {
  for (const TPropInfo* p : StaticClass().Properties())
    if (IsIniProperty(*p)) Ini.WriteInt64(Section, p->Name(), p->GetOrd(this));
  WriteIniPicture(Ini, Section, kPictureKey, kPictureSizeKey, *FPicture);
  WriteIniPicture(Ini, Section, kBackgroundPictureKey, kBackgroundPictureSizeKey, *FBackGroundPicture);
}

void TGDIPFill::LoadFromFile(const std::filesystem::path& FileName, const std::string& Section) {
  const IniFile ini(FileName);
  LoadFromFile(ini, Section);
}

void TGDIPFill::LoadFromFile(const IniFile& Ini, const std::string& Section) {
  // Everything is read into a copy first, so that a refused value leaves this fill untouched.
  TGDIPFill loaded;
  loaded.Assign(this);
  for (const TPropInfo* p : StaticClass().Properties())
    if (IsIniProperty(*p)) ReadIniProperty(Ini, Section, *p, loaded);
  ReadIniPicture(Ini, Section, kPictureKey, kPictureSizeKey, *loaded.FPicture);
  ReadIniPicture(Ini, Section, kBackgroundPictureKey, kBackgroundPictureSizeKey, *loaded.FBackGroundPicture);
  BeginUpdate();
  Assign(&loaded);
  EndUpdate();
  Changed();
}

// ---- clipboard ---------------------------------------------------------------------------------

std::string TGDIPFill::ToClipboardText() {
  RegisterClass(TGDIPFillClipHolder::StaticClass());
  auto holder = MakeComponent<TGDIPFillClipHolder>();
  holder->SetName("Clipboard");
  holder->SetFill(this);
  return SaveDescription(*holder);
}

void TGDIPFill::FromClipboardText(const std::string& Text) {
  RegisterClass(TGDIPFillClipHolder::StaticClass());
  auto holder = MakeComponent<TGDIPFillClipHolder>();
  try {
    // Looked at before anything is created: the text may name only the fill's holder, nothing
    // nested in it (a description could otherwise create any registered component).
    const TObjectNode tree = ParseDescription(Text);
    if (!class_detail::sameText(tree.ClassName, TGDIPFillClipHolder::StaticClass().ClassName()) ||
        !tree.Children.empty())
      throw EReadError("it holds other objects than one fill");
    LoadDescription(Text, *holder);
  } catch (const Exception& e) {
    throw EReadError("The clipboard does not hold a valid fill: " + e.Message());
  }
  Assign(holder->Fill());
}

void TGDIPFill::SaveToClipBoard() {
  if (IFillClipboard* clipboard = FillClipboard()) clipboard->SetText(kClipboardFormat, ToClipboardText());
}

void TGDIPFill::LoadFromClipBoard() {
  IFillClipboard* clipboard = FillClipboard();
  if (!clipboard) return;
  const std::optional<std::string> text = clipboard->GetText(kClipboardFormat);
  if (text) FromClipboardText(*text);
}

// ---- the clipboard seam ------------------------------------------------------------------------

IFillClipboard* SetFillClipboard(IFillClipboard* Clipboard) {
  IFillClipboard* before = gClipboard;
  gClipboard = Clipboard;
  return before;
}

IFillClipboard* FillClipboard() { return gClipboard; }

void TTextFillClipboard::SetText(std::string_view Format, const std::string& Text) {
  FPlainText = std::string(Format) + "\n" + Text;
}

std::optional<std::string> TTextFillClipboard::GetText(std::string_view Format) {
  const std::string head = std::string(Format) + "\n";
  if (FPlainText.compare(0, head.size(), head) != 0) return std::nullopt;
  return FPlainText.substr(head.size());
}

}  // namespace sib
