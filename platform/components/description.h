// The text of a stored description and its tree. A description holds one root object with nested
// objects, each with a name, a class and properties:
//
//   object Form1: TForm1
//     Caption = 'Sibilon'                       string ('' doubles a quote; #13 is a character code;
//     Color = clSilver                          identifier (may contain dots)      'a' + 'b' joins)
//     Left = 12                                 integer ($FF is hexadecimal)
//     Coefficient = 1.5                         float (INF, -INF, NAN for the special values)
//     BorderIcons = [biSystemMenu, biMinimize]  set
//     OutputPin.SinkPins = (                    list of values, nested freely
//       Form1.amp1.InputPin)
//     Columns = <                               collection of items with their properties
//       item
//         Width = 10
//       end>
//     Icon.Data = {                             binary data in hexadecimal
//       0000010009002020}
//     object amp1: TALAmplifier                 nested objects follow the properties
//     end
//   end
//
// ParseDescription reads the text into a tree, FormatDescription writes a tree as text in one
// canonical layout (two spaces per level, one list item per line), so that formatting a parsed
// canonical text gives the same text. Nothing here knows classes: filer.h applies trees to objects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/errors.h"

namespace sib {

// The kind of a stored value. vaNull stands for the end of a list.
enum TValueType : std::uint8_t { vaNull, vaList, vaInteger, vaFloat, vaString, vaIdent, vaSet, vaCollection, vaBinary };

const char* ValueTypeName(TValueType type);

// A place in the text, 1-based; column counts bytes. 0/0 for values that were not read from text.
struct TTextPos {
  int Line = 0;
  int Column = 0;
};

// A malformed or unusable description; the message starts with "Line L, column C: ".
class EDescriptionError : public EReadError {
 public:
  EDescriptionError(TTextPos pos, const std::string& message);
  TTextPos Pos() const { return pos_; }

 private:
  TTextPos pos_;
};

struct TItemNode;

struct TValueNode {
  TValueType Type = vaNull;
  TTextPos Pos;
  std::int64_t Integer = 0;           // vaInteger
  double Float = 0;                   // vaFloat
  std::string Text;                   // vaIdent, vaString
  std::vector<TValueNode> Elements;   // vaList: the items; vaSet: identifiers
  std::vector<TItemNode> Items;       // vaCollection
  std::vector<std::uint8_t> Bytes;    // vaBinary
};

struct TPropertyNode {
  std::string Name;  // possibly dotted: "InputPin.SourcePin"
  TTextPos Pos;
  TValueNode Value;
};

struct TItemNode {
  TTextPos Pos;
  std::vector<TPropertyNode> Properties;
};

struct TObjectNode {
  std::string Name;  // may be empty
  std::string ClassName;
  TTextPos Pos;
  std::vector<TPropertyNode> Properties;
  std::vector<TObjectNode> Children;
};

// Objects, lists and collections nest at most this deep; deeper text is refused.
inline constexpr int kMaxDescriptionNesting = 64;

// Raises EDescriptionError for malformed text, nesting beyond the limit and a key given twice in one
// object or item.
TObjectNode ParseDescription(std::string_view text);
std::string FormatDescription(const TObjectNode& root);

// Value constructors for writers and tests.
TValueNode IdentValue(std::string text);
TValueNode StringValue(std::string text);
TValueNode IntegerValue(std::int64_t value);
TValueNode FloatValue(double value);

}  // namespace sib
