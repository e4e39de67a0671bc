// Fuzzes the INI reader and writer. Any text must read; written back it must read as the same
// values and write back to the same text; every value it holds must survive being written again
// (or be refused with an error of the system), and the numeric readers must take any value.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/components/ini_file.h"

namespace {

void checkSameValues(const sib::IniFile& a, const sib::IniFile& b) {
  if (a.ReadSections() != b.ReadSections()) std::abort();
  for (const std::string& section : a.ReadSections()) {
    if (a.ReadSection(section) != b.ReadSection(section)) std::abort();
    for (const std::string& key : a.ReadSection(section))
      if (a.ReadString(section, key, "") != b.ReadString(section, key, "")) std::abort();
  }
}

void readAsEveryKind(const sib::IniFile& ini, const std::string& section, const std::string& key) {
  (void)ini.ReadInteger(section, key, 0);
  (void)ini.ReadInt64(section, key, 0);
  (void)ini.ReadFloat(section, key, 0);
  (void)ini.ReadBool(section, key, false);
}

void checkWriteBack(sib::IniFile ini, const std::string& section, const std::string& key) {
  const std::string value = ini.ReadString(section, key, "");
  try {
    ini.WriteString(section, key, value + "!");
  } catch (const sib::EIniFileError&) {
    return;
  }
  const sib::IniFile reread = sib::IniFile::FromText(ini.ToText());
  if (reread.ReadString(section, key, "") != value + "!") std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const sib::IniFile ini = sib::IniFile::FromText(text);
  const std::string once = ini.ToText();
  const sib::IniFile again = sib::IniFile::FromText(once);
  if (again.ToText() != once) std::abort();
  checkSameValues(ini, again);
  for (const std::string& section : ini.ReadSections()) {
    for (const std::string& key : ini.ReadSection(section)) {
      readAsEveryKind(ini, section, key);
      checkWriteBack(ini, section, key);
    }
  }
  return 0;
}
