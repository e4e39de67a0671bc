#include "controls/fill_clipboard.h"
#include "platform/ui/clipboard.h"

namespace sib {

void TSystemFillClipboard::SetText(std::string_view Format, const std::string& Text) {
  TTextFillClipboard::SetText(Format, Text);
  SetClipboardText(PlainText());
}

std::optional<std::string> TSystemFillClipboard::GetText(std::string_view Format) {
  SetPlainText(ClipboardText());
  return TTextFillClipboard::GetText(Format);
}

}  // namespace sib
