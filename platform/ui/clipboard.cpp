#include "platform/ui/clipboard.h"

namespace sib {
namespace {

class ProcessClipboard : public ClipboardBackend {
 public:
  bool SetText(const std::string& utf8) override {
    text_ = utf8;
    return true;
  }
  std::string Text() override { return text_; }
  bool HasText() override { return !text_.empty(); }

 private:
  std::string text_;
};

std::shared_ptr<ClipboardBackend>& processClipboard() {
  static std::shared_ptr<ClipboardBackend> own = std::make_shared<ProcessClipboard>();
  return own;
}

std::shared_ptr<ClipboardBackend>& installed() {
  static std::shared_ptr<ClipboardBackend> current = processClipboard();
  return current;
}

}  // namespace

std::shared_ptr<ClipboardBackend> SetClipboardBackend(std::shared_ptr<ClipboardBackend> backend) {
  std::shared_ptr<ClipboardBackend> previous = std::move(installed());
  installed() = backend ? std::move(backend) : processClipboard();
  return previous;
}

bool SetClipboardText(const std::string& utf8) { return installed()->SetText(utf8); }
std::string ClipboardText() { return installed()->Text(); }
bool ClipboardHasText() { return installed()->HasText(); }

}  // namespace sib
