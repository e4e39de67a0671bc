#include "platform/components/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>
#include <utility>

namespace sib {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSpace = " \t";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view trim(std::string_view s) {
  const auto first = s.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(kSpace);
  return s.substr(first, last - first + 1);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return lower(x) == lower(y); });
}

bool isComment(std::string_view trimmed) {
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

std::string_view unquote(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

bool needsQuotes(std::string_view value) {
  if (value.empty()) return false;
  return trim(value).size() != value.size() || (value.size() >= 2 && value.front() == '"' && value.back() == '"');
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::string describe(const fs::path& file) { return "\"" + file.string() + "\""; }

[[noreturn]] void raise(const fs::path& file, const std::string& what) {
  throw EIniFileError("INI file " + describe(file) + ": " + what);
}

[[noreturn]] void raiseErrno(const fs::path& file, const std::string& what, int error) {
  raise(file, what + " (" + std::strerror(error) + ")");
}

void checkName(const fs::path& file, std::string_view kind, std::string_view name) {
  const auto refuse = [&](const char* why) {
    raise(file, std::string(kind) + " name \"" + std::string(name) + "\" " + why);
  };
  if (name.empty()) refuse("is empty");
  if (hasLineBreak(name) || name.find('\0') != std::string_view::npos) refuse("holds a line break or NUL");
  if (trim(name).size() != name.size()) refuse("has space around it");
  if (kind == "Section") {
    if (name.find(']') != std::string_view::npos) refuse("holds ']'");
  } else {
    if (name.find('=') != std::string_view::npos) refuse("holds '='");
    if (name.front() == '[' || name.front() == ';' || name.front() == '#') refuse("starts with '[', ';' or '#'");
  }
}

template <typename T>
bool parseInteger(std::string_view text, T& out) {
  text = trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.starts_with("$")) {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() == '-' || text.front() == '+') return false;
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc{} || end != text.data() + text.size()) return false;
  using Limits = std::numeric_limits<T>;
  const auto maxPositive = static_cast<std::uint64_t>(Limits::max());
  const std::uint64_t maxNegative = maxPositive + 1;
  if (magnitude > (negative ? maxNegative : maxPositive)) return false;
  // -(m - 1) - 1 reaches the most negative value without overflow (and 0 for m = 0).
  out = negative ? static_cast<T>(-static_cast<std::int64_t>(magnitude - 1) - 1) : static_cast<T>(magnitude);
  return true;
}

std::string readWholeFile(const fs::path& file) {
  std::error_code ec;
  const auto status = fs::status(file, ec);
  if (ec || !fs::exists(status)) return {};
  if (fs::is_directory(status)) raise(file, "is a folder");
  std::ifstream in(file, std::ios::binary);
  if (!in) raiseErrno(file, "cannot be opened", errno);
  std::string text;
  char buffer[64 * 1024];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > IniFile::kMaxFileSize) raise(file, "is larger than 16 MiB");
  }
  if (in.bad()) raiseErrno(file, "cannot be read", errno);
  return text;
}

// A new file beside the target, made with the process's umask like any new file; closed and
// removed unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      path_ = target.string() + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) raiseErrno(target, "cannot create a temporary file beside it", errno);
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!renamed_) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_; }
  const char* Path() const { return path_.c_str(); }
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }
  void Renamed() { renamed_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  bool renamed_ = false;
};

void writeAll(const fs::path& file, int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) raiseErrno(file, "cannot be written", errno);
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

IniFile::IniFile(fs::path fileName) : fileName_(std::move(fileName)) { Parse(readWholeFile(fileName_)); }

IniFile IniFile::FromText(std::string_view text, fs::path fileName) {
  IniFile ini;
  ini.fileName_ = std::move(fileName);
  ini.Parse(text);
  return ini;
}

void IniFile::Parse(std::string_view text) {
  sections_.assign(1, Section{});
  byteOrderMark_ = text.starts_with(kByteOrderMark);
  if (byteOrderMark_) text.remove_prefix(kByteOrderMark.size());
  const auto firstBreak = text.find('\n');
  lineEnd_ = (firstBreak != std::string_view::npos && firstBreak > 0 && text[firstBreak - 1] == '\r') ? "\r\n" : "\n";
  std::size_t current = 0;
  while (!text.empty()) {
    const auto lineBreak = text.find('\n');
    std::string_view raw = text.substr(0, lineBreak);
    text.remove_prefix(lineBreak == std::string_view::npos ? text.size() : lineBreak + 1);
    while (raw.ends_with('\r')) raw.remove_suffix(1);  // a stray CR before the line end is no text
    const std::string_view line = trim(raw);
    if (line.starts_with('[')) {
      const auto close = line.find(']');
      if (close != std::string_view::npos) {
        const std::string_view name = trim(line.substr(1, close - 1));
        if (const Section* existing = FindSection(name); existing != nullptr) {
          // A repeated header continues the section it repeats.
          current = static_cast<std::size_t>(existing - sections_.data());
        } else {
          sections_.push_back(Section{std::string(name), {}});
          current = sections_.size() - 1;
        }
        continue;
      }
    }
    Line entry{std::string(raw), {}, {}};
    const auto equals = line.find('=');
    if (!isComment(line) && equals != std::string_view::npos) {
      const std::string_view key = trim(line.substr(0, equals));
      if (!key.empty()) {
        entry.Key = key;
        entry.Value = unquote(trim(line.substr(equals + 1)));
      }
    }
    sections_[current].Lines.push_back(std::move(entry));
  }
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (std::size_t i = 1; i < sections_.size(); ++i)
    if (sameName(sections_[i].Name, name)) return &sections_[i];
  return nullptr;
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

const IniFile::Line* IniFile::FindKey(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr || key.empty()) return nullptr;
  for (const Line& line : s->Lines)
    if (!line.Key.empty() && sameName(line.Key, key)) return &line;
  return nullptr;
}

const std::string* IniFile::FindValue(std::string_view section, std::string_view key) const {
  const Line* line = FindKey(section, key);
  return line != nullptr ? &line->Value : nullptr;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const {
  const std::string* value = FindValue(section, key);
  return std::string(value != nullptr ? std::string_view(*value) : defaultValue);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const {
  const std::string* value = FindValue(section, key);
  std::int32_t result = defaultValue;
  if (value == nullptr || !parseInteger(*value, result)) return defaultValue;
  return result;
}

std::int64_t IniFile::ReadInt64(std::string_view section, std::string_view key, std::int64_t defaultValue) const {
  const std::string* value = FindValue(section, key);
  std::int64_t result = defaultValue;
  if (value == nullptr || !parseInteger(*value, result)) return defaultValue;
  return result;
}

double IniFile::ReadFloat(std::string_view section, std::string_view key, double defaultValue) const {
  const std::string* value = FindValue(section, key);
  if (value == nullptr) return defaultValue;
  std::string_view text = trim(*value);
  if (text.starts_with('+')) text.remove_prefix(1);
  double result = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result, std::chars_format::general);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || !std::isfinite(result)) return defaultValue;
  return result;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  const std::string* value = FindValue(section, key);
  if (value == nullptr) return defaultValue;
  const std::string_view text = trim(*value);
  for (std::string_view yes : {"1", "true", "yes", "on"})
    if (sameName(text, yes)) return true;
  for (std::string_view no : {"0", "false", "no", "off"})
    if (sameName(text, no)) return false;
  std::int64_t number = 0;
  if (parseInteger(text, number)) return number != 0;
  return defaultValue;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  checkName(fileName_, "Section", section);
  checkName(fileName_, "Key", key);
  if (hasLineBreak(value) || value.find('\0') != std::string_view::npos)
    raise(fileName_, "the value of \"" + std::string(key) + "\" holds a line break or NUL");
  Section* s = FindSection(section);
  if (s == nullptr) {
    // A new section is parted from the text before it by a blank line.
    const auto& before = sections_.back().Lines;
    if (sections_.size() > 1 || !before.empty())
      if (before.empty() || !trim(before.back().Text).empty()) sections_.back().Lines.push_back(Line{});
    s = &sections_.emplace_back(Section{std::string(section), {}});
  }
  const std::string stored = needsQuotes(value) ? "\"" + std::string(value) + "\"" : std::string(value);
  for (Line& line : s->Lines) {
    if (!line.Key.empty() && sameName(line.Key, key)) {
      line.Text = line.Key + "=" + stored;
      line.Value = value;
      return;
    }
  }
  // New keys go after the section's last value, before the blank lines that part it from the next.
  auto at = s->Lines.end();
  while (at != s->Lines.begin() && trim(std::prev(at)->Text).empty()) --at;
  s->Lines.insert(at, Line{std::string(key) + "=" + stored, std::string(key), std::string(value)});
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteInt64(std::string_view section, std::string_view key, std::int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  if (!std::isfinite(value)) raise(fileName_, "the value of \"" + std::string(key) + "\" is not a finite number");
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  WriteString(section, key, std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool IniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
  return FindKey(section, key) != nullptr;
}

std::vector<std::string> IniFile::ReadSections() const {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < sections_.size(); ++i)
    if (!sections_[i].Name.empty()) names.push_back(sections_[i].Name);
  return names;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  const Section* s = FindSection(section);
  if (s == nullptr) return keys;
  for (const Line& line : s->Lines) {
    const bool seen = std::ranges::any_of(keys, [&](const std::string& k) { return sameName(k, line.Key); });
    if (!line.Key.empty() && !seen) keys.push_back(line.Key);
  }
  return keys;
}

void IniFile::EraseSection(std::string_view section) {
  if (const Section* s = FindSection(section)) sections_.erase(sections_.begin() + (s - sections_.data()));
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
  Section* s = FindSection(section);
  if (s == nullptr) return;
  std::erase_if(s->Lines, [&](const Line& line) { return !line.Key.empty() && sameName(line.Key, key); });
}

std::string IniFile::ToText() const {
  std::string text(byteOrderMark_ ? kByteOrderMark : "");
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (i > 0) text += "[" + sections_[i].Name + "]" + lineEnd_;
    for (const Line& line : sections_[i].Lines) text += line.Text + lineEnd_;
  }
  return text;
}

void IniFile::UpdateFile() const {
  if (fileName_.empty()) throw EIniFileError("INI file without a name cannot be written");
  std::error_code ec;
  fs::path target = fileName_;
  if (fs::is_symlink(fs::symlink_status(fileName_, ec))) {
    target = fs::canonical(fileName_, ec);
    if (ec) raise(fileName_, "is a link to nowhere (" + ec.message() + ")");
  }
  const std::string text = ToText();
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  TemporaryFile temp(target);
  writeAll(target, temp.Fd(), text);
  if (replacing && ::fchmod(temp.Fd(), old.st_mode & 07777) != 0)
    raiseErrno(target, "cannot give the new file the mode of the old one", errno);
  if (::fsync(temp.Fd()) != 0) raiseErrno(target, "cannot be flushed to disk", errno);
  if (temp.Close() != 0) raiseErrno(target, "cannot be written", errno);
  if (::rename(temp.Path(), target.c_str()) != 0) raiseErrno(target, "cannot be replaced", errno);
  temp.Renamed();
}

}  // namespace sib
