// The clipboard as text. The window host installs the window system's clipboard; until one is
// installed (headless runs, tests) a clipboard of this process serves, so that copy and paste still
// pair up. Main thread only, as the window system's clipboard is.
#pragma once

#include <memory>
#include <string>

namespace sib {

class ClipboardBackend {
 public:
  virtual ~ClipboardBackend() = default;
  // False when the window system refused the text.
  virtual bool SetText(const std::string& utf8) = 0;
  // The clipboard's text; empty when it holds none.
  virtual std::string Text() = 0;
  virtual bool HasText() = 0;
};

// Installs `backend` for every later call; nullptr goes back to the process's own clipboard (whose
// text survives the swap). Returns the backend that was installed before.
std::shared_ptr<ClipboardBackend> SetClipboardBackend(std::shared_ptr<ClipboardBackend> backend);

bool SetClipboardText(const std::string& utf8);
std::string ClipboardText();
bool ClipboardHasText();

}  // namespace sib
