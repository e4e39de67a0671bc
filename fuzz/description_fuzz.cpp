// Fuzzes the description reader. Any text must either load or fail with an error of the system;
// text that parses must format to a text that parses to the same format, and a description that
// loads must save to a text that loads and saves to the same text again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/components/filer.h"
#include "tests/platform/components/test_classes.h"

namespace {

void checkFormatIsStable(std::string_view text) {
  std::string once;
  try {
    once = sib::FormatDescription(sib::ParseDescription(text));
  } catch (const sib::EDescriptionError&) {
    return;
  }
  if (sib::FormatDescription(sib::ParseDescription(once)) != once) std::abort();
}

void checkLoadSaveIsStable(std::string_view text) {
  std::string saved;
  try {
    auto form = sib::MakeComponent<sib::test::TTestForm>();
    sib::LoadDescription(text, *form);
    saved = sib::SaveDescription(*form);
  } catch (const sib::Exception&) {
    return;
  }
  // The first root is gone, so the second takes the same name.
  auto again = sib::MakeComponent<sib::test::TTestForm>();
  sib::LoadDescription(saved, *again);
  if (sib::SaveDescription(*again) != saved) std::abort();
}

void checkCreateFromDescription(std::string_view text) {
  try {
    sib::CreateFromDescription(text);
  } catch (const sib::Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = (sib::test::registerTestClasses(), true);
  (void)registered;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  checkFormatIsStable(text);
  checkLoadSaveIsStable(text);
  checkCreateFromDescription(text);
  sib::test::eventLog().clear();
  return 0;
}
