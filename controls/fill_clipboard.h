// The clipboard as the fills reach it: text under a format name. The window host plugs in the
// window system's clipboard with SetFillClipboard; until one is set, saving to the clipboard does
// nothing and loading finds nothing. Main thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sib {

class IFillClipboard {
 public:
  virtual ~IFillClipboard() = default;
  // Replaces the clipboard's contents with `Text` under the format `Format`.
  virtual void SetText(std::string_view Format, const std::string& Text) = 0;
  // The text under `Format`, or nothing when the clipboard holds none.
  virtual std::optional<std::string> GetText(std::string_view Format) = 0;
};

// The clipboard the fills use (not owned; nullptr for none). Returns the one set before.
IFillClipboard* SetFillClipboard(IFillClipboard* Clipboard);
IFillClipboard* FillClipboard();

// A clipboard that holds one text with its format, for tests and for hosts whose clipboard holds
// plain text only: the format name becomes the text's first line.
class TTextFillClipboard : public IFillClipboard {
 public:
  void SetText(std::string_view Format, const std::string& Text) override;
  std::optional<std::string> GetText(std::string_view Format) override;

  // The clipboard's whole text, format line included.
  const std::string& PlainText() const { return FPlainText; }
  void SetPlainText(std::string Text) { FPlainText = std::move(Text); }

 private:
  std::string FPlainText;
};

// The window system's text clipboard (platform/ui/clipboard.h) in the plain-text form above; the
// program sets it once its window host is up.
class TSystemFillClipboard : public TTextFillClipboard {
 public:
  void SetText(std::string_view Format, const std::string& Text) override;
  std::optional<std::string> GetText(std::string_view Format) override;
};

}  // namespace sib
