// INI files: named sections of "key=value" lines. An IniFile holds the whole file in memory; the
// Read functions look up a value (sections and keys compared without ASCII case, the first of
// equal keys wins), the Write functions change it in memory, and UpdateFile writes the file
// atomically: into a temporary file beside it, then renamed over it, so that a reader sees either
// the old file or the new one and never half of either.
//
// Files written by other programs are read as they stand: blank lines and comments (';' or '#'
// first on the line) are kept and written back, CR LF line ends stay CR LF, a UTF-8 byte order mark
// is skipped, space around keys and values is dropped, and a value wrapped in double quotes loses
// them. Lines that are none of these are kept as they are but hold no value. A malformed number
// reads as the caller's default, as a missing key does.
//
// Numbers are written in the C locale ("1.5", never "1,5"); Booleans as "1" and "0", read also as
// "true"/"false", "yes"/"no" and "on"/"off".
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/errors.h"

namespace sib {

// A file that cannot be read or written, or a name or value that a file cannot hold; the message
// names the file and what is wrong.
class EIniFileError : public Exception {
 public:
  using Exception::Exception;
};

class IniFile {
 public:
  // Reads the file if it exists; a missing file is an empty one (it appears on UpdateFile).
  // Raises EIniFileError when the file exists but cannot be read or is larger than kMaxFileSize.
  explicit IniFile(std::filesystem::path fileName);
  // An IniFile over the given text, as if read from fileName (which may be empty: then UpdateFile
  // has nowhere to write and raises).
  static IniFile FromText(std::string_view text, std::filesystem::path fileName = {});

  static constexpr std::uintmax_t kMaxFileSize = 16u << 20;

  const std::filesystem::path& FileName() const { return fileName_; }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
  // Decimal, or hexadecimal after "0x" or "$"; a value outside the type's range is malformed.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
  std::int64_t ReadInt64(std::string_view section, std::string_view key, std::int64_t defaultValue) const;
  // Finite values with "." as the decimal separator.
  double ReadFloat(std::string_view section, std::string_view key, double defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  // Adds the section and the key where they are missing. Raises EIniFileError for a section or key
  // that would not read back as itself (empty, with a line break, "=" in a key, "]" in a section,
  // space around it, a key starting with '[', ';' or '#') and for a value with a line break or a
  // NUL character. A value with space around it, or wrapped in quotes, is written quoted so that it
  // reads back unchanged.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteInt64(std::string_view section, std::string_view key, std::int64_t value);
  // Written with the fewest digits that read back as the same double; raises for NaN and infinities.
  void WriteFloat(std::string_view section, std::string_view key, double value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Section names in file order, and a section's keys in file order (each name once).
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(std::string_view section) const;

  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view key);

  // The file's text as UpdateFile would write it.
  std::string ToText() const;
  // Writes ToText() atomically to FileName(), keeping the mode of the file it replaces and writing
  // through a symbolic link to its target. Raises EIniFileError when it cannot; the old file is
  // then unchanged.
  void UpdateFile() const;

 private:
  struct Line {
    std::string Text;  // the line as read or as it will be written
    std::string Key;   // empty for blank lines, comments and lines that hold no value
    std::string Value;
  };
  struct Section {
    std::string Name;  // empty for the lines before the first section header
    std::vector<Line> Lines;
  };

  IniFile() = default;
  void Parse(std::string_view text);
  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);
  const Line* FindKey(std::string_view section, std::string_view key) const;
  const std::string* FindValue(std::string_view section, std::string_view key) const;

  std::filesystem::path fileName_;
  std::vector<Section> sections_;  // sections_[0] is the nameless head of the file
  std::string lineEnd_ = "\n";
};

}  // namespace sib
