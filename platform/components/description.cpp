#include "platform/components/description.h"

#include <charconv>
#include <cmath>
#include <set>

#include "platform/components/class_info.h"
#include "platform/core/utf8.h"

namespace sib {

const char* ValueTypeName(TValueType type) {
  switch (type) {
    case vaNull: return "end of list";
    case vaList: return "list";
    case vaInteger: return "integer";
    case vaFloat: return "float";
    case vaString: return "string";
    case vaIdent: return "identifier";
    case vaSet: return "set";
    case vaCollection: return "collection";
    case vaBinary: return "binary data";
  }
  return "value";
}

EDescriptionError::EDescriptionError(TTextPos pos, const std::string& message)
    : EReadError("Line " + std::to_string(pos.Line) + ", column " + std::to_string(pos.Column) + ": " + message),
      pos_(pos) {}

TValueNode IdentValue(std::string text) {
  TValueNode v;
  v.Type = vaIdent;
  v.Text = std::move(text);
  return v;
}

TValueNode StringValue(std::string text) {
  TValueNode v;
  v.Type = vaString;
  v.Text = std::move(text);
  return v;
}

TValueNode IntegerValue(std::int64_t value) {
  TValueNode v;
  v.Type = vaInteger;
  v.Integer = value;
  return v;
}

TValueNode FloatValue(double value) {
  TValueNode v;
  v.Type = vaFloat;
  v.Float = value;
  return v;
}

namespace {

// --- Lexer ----------------------------------------------------------------------------------------

enum class Tok { End, Ident, Integer, Float, String, Binary, Symbol };

struct Token {
  Tok kind = Tok::End;
  TTextPos pos;
  char symbol = 0;
  std::string text;
  std::int64_t integer = 0;
  double number = 0;
  std::vector<std::uint8_t> bytes;
};

bool isIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  Token Next() {
    SkipSpace();
    Token t;
    t.pos = Pos();
    if (AtEnd()) return t;
    const char c = Peek();
    if (isIdentStart(c)) return LexIdent(t);
    if (isDigit(c) || c == '$' || ((c == '-' || c == '+') && SignedNumberFollows())) return LexNumber(t);
    if (c == '\'' || c == '#') return LexString(t);
    if (c == '{') return LexBinary(t);
    if (std::string_view("=:()[]<>,").find(c) != std::string_view::npos) {
      Advance();
      t.kind = Tok::Symbol;
      t.symbol = c;
      return t;
    }
    Fail(t.pos, "Unexpected character");
  }

 private:
  struct State {
    std::size_t offset;
    int line;
    int column;
  };

  [[noreturn]] static void Fail(TTextPos pos, const std::string& message) { throw EDescriptionError(pos, message); }

  bool AtEnd() const { return state_.offset >= text_.size(); }
  char Peek(std::size_t ahead = 0) const {
    const std::size_t i = state_.offset + ahead;
    return i < text_.size() ? text_[i] : '\0';
  }
  TTextPos Pos() const { return {state_.line, state_.column}; }
  void Advance() {
    if (text_[state_.offset] == '\n') {
      ++state_.line;
      state_.column = 1;
    } else {
      ++state_.column;
    }
    ++state_.offset;
  }
  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\r' || Peek() == '\n')) Advance();
  }
  bool SignedNumberFollows() const {
    const char n = Peek(1);
    return isDigit(n) || n == '$' || (n == 'I' && Peek(2) == 'N' && Peek(3) == 'F');
  }

  Token& LexIdent(Token& t) {
    t.kind = Tok::Ident;
    for (;;) {
      while (!AtEnd() && isIdentChar(Peek())) t.text += Take();
      if (Peek() != '.') break;
      if (!isIdentStart(Peek(1))) Fail(Pos(), "Invalid identifier");
      t.text += Take();
    }
    return t;
  }

  Token& LexNumber(Token& t) {
    bool negative = false;
    if (Peek() == '-' || Peek() == '+') negative = Take() == '-';
    if (Peek() == 'I') {  // -INF or +INF
      Advance(), Advance(), Advance();
      t.kind = Tok::Float;
      t.number = negative ? -HUGE_VAL : HUGE_VAL;
    } else if (Peek() == '$') {
      Advance();
      std::uint64_t value = 0;
      int digits = 0;
      for (; hexValue(Peek()) >= 0; ++digits) {
        if (digits == 16) Fail(t.pos, "Integer out of range");
        value = value * 16 + static_cast<std::uint64_t>(hexValue(Take()));
      }
      if (digits == 0) Fail(t.pos, "Invalid number");
      t.kind = Tok::Integer;
      t.integer = static_cast<std::int64_t>(negative ? 0 - value : value);
    } else {
      const std::size_t start = state_.offset;
      bool isFloat = false;
      while (isDigit(Peek())) Advance();
      if (Peek() == '.') {
        isFloat = true;
        Advance();
        if (!isDigit(Peek())) Fail(t.pos, "Invalid number");
        while (isDigit(Peek())) Advance();
      }
      if (Peek() == 'e' || Peek() == 'E') {
        isFloat = true;
        Advance();
        if (Peek() == '+' || Peek() == '-') Advance();
        if (!isDigit(Peek())) Fail(t.pos, "Invalid number");
        while (isDigit(Peek())) Advance();
      }
      const char* first = text_.data() + start;
      const char* last = text_.data() + state_.offset;
      if (isFloat) {
        double value = 0;
        auto [end, ec] = std::from_chars(first, last, value);
        if (ec != std::errc() || end != last) Fail(t.pos, "Float out of range");
        t.kind = Tok::Float;
        t.number = negative ? -value : value;
      } else {
        std::uint64_t magnitude = 0;
        auto [end, ec] = std::from_chars(first, last, magnitude);
        const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
        if (ec != std::errc() || end != last || magnitude > limit) Fail(t.pos, "Integer out of range");
        t.kind = Tok::Integer;
        t.integer = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
      }
    }
    if (isIdentChar(Peek()) || Peek() == '.') Fail(t.pos, "Invalid number");
    return t;
  }

  Token& LexString(Token& t) {
    t.kind = Tok::String;
    for (;;) {
      LexStringPart(t.text);
      if (Peek() == '\'' || Peek() == '#') continue;
      // 'a' + 'b' joins parts across spaces and lines.
      const State saved = state_;
      SkipSpace();
      if (Peek() != '+') {
        state_ = saved;
        return t;
      }
      Advance();
      SkipSpace();
      if (Peek() != '\'' && Peek() != '#') Fail(Pos(), "String expected after '+'");
    }
  }

  void LexStringPart(std::string& out) {
    const TTextPos start = Pos();
    if (Take() == '#') {
      std::uint32_t code = 0;
      const bool hex = Peek() == '$';
      if (hex) Advance();
      int digits = 0;
      for (;; ++digits) {
        const int d = hex ? hexValue(Peek()) : (isDigit(Peek()) ? Peek() - '0' : -1);
        if (d < 0) break;
        Advance();
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
        if (code > 0x10FFFF) Fail(start, "Invalid character code");
      }
      if (digits == 0 || (code >= 0xD800 && code <= 0xDFFF)) Fail(start, "Invalid character code");
      AppendUtf8(out, static_cast<char32_t>(code));
      return;
    }
    for (;;) {
      if (AtEnd() || Peek() == '\n' || Peek() == '\r') Fail(start, "Unterminated string");
      const char c = Take();
      if (c == '\'') {
        if (Peek() != '\'') return;
        Advance();
      }
      out += c;
    }
  }

  Token& LexBinary(Token& t) {
    Advance();
    t.kind = Tok::Binary;
    int high = -1;
    for (;;) {
      SkipSpace();
      if (AtEnd()) Fail(t.pos, "Unterminated binary data");
      if (Peek() == '}') break;
      const int d = hexValue(Peek());
      if (d < 0) Fail(Pos(), "Invalid binary data");
      Advance();
      if (high < 0) {
        high = d;
      } else {
        t.bytes.push_back(static_cast<std::uint8_t>(high * 16 + d));
        high = -1;
      }
    }
    if (high >= 0) Fail(t.pos, "Odd number of digits in binary data");
    Advance();
    return t;
  }

  char Take() {
    const char c = Peek();
    Advance();
    return c;
  }

  std::string_view text_;
  State state_{0, 1, 1};
};

// --- Parser ---------------------------------------------------------------------------------------

class Parser {
 public:
  explicit Parser(std::string_view text) : lexer_(text) { Next(); }

  TObjectNode ParseRoot() {
    if (!IsKeyword("object")) Fail("'object' expected");
    TObjectNode root = ParseObject();
    if (tok_.kind != Tok::End) Fail("End of text expected");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const { throw EDescriptionError(tok_.pos, message); }
  void Next() { tok_ = lexer_.Next(); }
  bool IsKeyword(std::string_view word) const {
    return tok_.kind == Tok::Ident && class_detail::sameText(tok_.text, word);
  }
  bool IsSymbol(char c) const { return tok_.kind == Tok::Symbol && tok_.symbol == c; }
  void ExpectSymbol(char c) {
    if (!IsSymbol(c)) Fail(std::string("'") + c + "' expected");
    Next();
  }
  void ExpectKeyword(std::string_view word) {
    if (!IsKeyword(word)) Fail("'" + std::string(word) + "' expected");
    Next();
  }
  std::string ExpectSimpleIdent() {
    if (tok_.kind != Tok::Ident || tok_.text.find('.') != std::string::npos) Fail("Identifier expected");
    std::string text = std::move(tok_.text);
    Next();
    return text;
  }

  struct Nesting {
    Parser& p;
    explicit Nesting(Parser& parser) : p(parser) {
      if (++p.depth_ > kMaxDescriptionNesting) p.Fail("Nesting deeper than " + std::to_string(kMaxDescriptionNesting) + " levels");
    }
    ~Nesting() { --p.depth_; }
  };

  TObjectNode ParseObject() {
    Nesting nesting(*this);
    TObjectNode node;
    node.Pos = tok_.pos;
    ExpectKeyword("object");
    std::string first = ExpectSimpleIdent();
    if (IsSymbol(':')) {
      Next();
      node.Name = std::move(first);
      node.ClassName = ExpectSimpleIdent();
    } else {
      node.ClassName = std::move(first);
    }
    node.Properties = ParseProperties();
    while (IsKeyword("object")) node.Children.push_back(ParseObject());
    ExpectKeyword("end");
    return node;
  }

  // Properties up to the next "object" or "end"; a key given twice is refused.
  std::vector<TPropertyNode> ParseProperties() {
    std::vector<TPropertyNode> properties;
    std::set<std::string> seen;
    while (tok_.kind == Tok::Ident && !IsKeyword("object") && !IsKeyword("end")) {
      TPropertyNode p;
      p.Pos = tok_.pos;
      p.Name = std::move(tok_.text);
      std::string key = p.Name;
      for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (!seen.insert(key).second) Fail("Property " + p.Name + " is given twice");
      Next();
      ExpectSymbol('=');
      p.Value = ParseValue();
      properties.push_back(std::move(p));
    }
    if (tok_.kind != Tok::Ident) Fail("'end' expected");
    return properties;
  }

  TValueNode ParseValue() {
    TValueNode v;
    v.Pos = tok_.pos;
    switch (tok_.kind) {
      case Tok::Integer:
        v.Type = vaInteger;
        v.Integer = tok_.integer;
        break;
      case Tok::Float:
        v.Type = vaFloat;
        v.Float = tok_.number;
        break;
      case Tok::String:
        v.Type = vaString;
        v.Text = std::move(tok_.text);
        break;
      case Tok::Ident:
        v.Type = vaIdent;
        v.Text = std::move(tok_.text);
        break;
      case Tok::Binary:
        v.Type = vaBinary;
        v.Bytes = std::move(tok_.bytes);
        break;
      case Tok::Symbol:
        if (tok_.symbol == '[') return ParseSet();
        if (tok_.symbol == '(') return ParseList();
        if (tok_.symbol == '<') return ParseCollection();
        Fail("Value expected");
      case Tok::End:
        Fail("Value expected");
    }
    Next();
    return v;
  }

  TValueNode ParseSet() {
    TValueNode v;
    v.Type = vaSet;
    v.Pos = tok_.pos;
    Next();
    if (IsSymbol(']')) {
      Next();
      return v;
    }
    for (;;) {
      if (tok_.kind != Tok::Ident) Fail("Identifier expected");
      v.Elements.push_back(ParseValue());
      if (IsSymbol(']')) break;
      ExpectSymbol(',');
    }
    Next();
    return v;
  }

  TValueNode ParseList() {
    Nesting nesting(*this);
    TValueNode v;
    v.Type = vaList;
    v.Pos = tok_.pos;
    Next();
    while (!IsSymbol(')')) v.Elements.push_back(ParseValue());
    Next();
    return v;
  }

  TValueNode ParseCollection() {
    Nesting nesting(*this);
    TValueNode v;
    v.Type = vaCollection;
    v.Pos = tok_.pos;
    Next();
    while (IsKeyword("item")) {
      Nesting itemNesting(*this);
      TItemNode item;
      item.Pos = tok_.pos;
      Next();
      item.Properties = ParseProperties();
      ExpectKeyword("end");
      v.Items.push_back(std::move(item));
    }
    ExpectSymbol('>');
    return v;
  }

  Lexer lexer_;
  Token tok_;
  int depth_ = 0;
};

// --- Formatter ------------------------------------------------------------------------------------

class Formatter {
 public:
  std::string Take() { return std::move(out_); }

  void Object(const TObjectNode& node, int indent) {
    Indent(indent);
    out_ += "object ";
    if (!node.Name.empty()) out_ += node.Name + ": ";
    out_ += node.ClassName + "\n";
    Properties(node.Properties, indent + 2);
    for (const TObjectNode& child : node.Children) Object(child, indent + 2);
    Indent(indent);
    out_ += "end\n";
  }

 private:
  void Indent(int n) { out_.append(static_cast<std::size_t>(n), ' '); }
  void NewLine(int indent) {
    out_ += '\n';
    Indent(indent);
  }

  void Properties(const std::vector<TPropertyNode>& properties, int indent) {
    for (const TPropertyNode& p : properties) {
      Indent(indent);
      out_ += p.Name + " = ";
      Value(p.Value, indent);
      out_ += '\n';
    }
  }

  void Value(const TValueNode& v, int indent) {
    switch (v.Type) {
      case vaNull:
        break;
      case vaInteger:
        out_ += std::to_string(v.Integer);
        break;
      case vaFloat:
        Float(v.Float);
        break;
      case vaString:
        String(v.Text);
        break;
      case vaIdent:
        out_ += v.Text;
        break;
      case vaSet:
        out_ += '[';
        for (std::size_t i = 0; i < v.Elements.size(); ++i) {
          if (i) out_ += ", ";
          out_ += v.Elements[i].Text;
        }
        out_ += ']';
        break;
      case vaList:
        out_ += '(';
        for (const TValueNode& item : v.Elements) {
          NewLine(indent + 2);
          Value(item, indent + 2);
        }
        out_ += ')';
        break;
      case vaCollection:
        out_ += '<';
        for (const TItemNode& item : v.Items) {
          NewLine(indent + 2);
          out_ += "item\n";
          Properties(item.Properties, indent + 4);
          Indent(indent + 2);
          out_ += "end";
        }
        out_ += '>';
        break;
      case vaBinary:
        Binary(v.Bytes, indent);
        break;
    }
  }

  void Float(double value) {
    if (std::isnan(value)) {
      out_ += "NAN";
      return;
    }
    if (std::isinf(value)) {
      out_ += value < 0 ? "-INF" : "INF";
      return;
    }
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    out_ += text;
  }

  void String(const std::string& text) {
    bool quoted = false;
    for (char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 32 || byte == 127) {
        if (quoted) out_ += '\'';
        quoted = false;
        out_ += '#' + std::to_string(byte);
        continue;
      }
      if (!quoted) out_ += '\'';
      quoted = true;
      out_ += c;
      if (c == '\'') out_ += '\'';
    }
    if (quoted) out_ += '\'';
    if (text.empty()) out_ += "''";
  }

  void Binary(const std::vector<std::uint8_t>& bytes, int indent) {
    static const char kHex[] = "0123456789ABCDEF";
    out_ += '{';
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (i % 32 == 0) NewLine(indent + 2);
      out_ += kHex[bytes[i] >> 4];
      out_ += kHex[bytes[i] & 15];
    }
    out_ += '}';
  }

  std::string out_;
};

}  // namespace

TObjectNode ParseDescription(std::string_view text) { return Parser(text).ParseRoot(); }

std::string FormatDescription(const TObjectNode& root) {
  Formatter f;
  f.Object(root, 0);
  return f.Take();
}

}  // namespace sib
