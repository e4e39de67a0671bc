// INI files: reading a file another program wrote, the round trip of every value kind, numbers
// that do not parse, names and values a file cannot hold, and the atomic replacement on disk.
#include "platform/components/ini_file.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace sib {
namespace {

namespace fs = std::filesystem;

class IniFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "sibilon-ini-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }
  fs::path File(const std::string& name) const { return dir_ / name; }
  static void Put(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
  static std::string Get(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.push_back(entry.path().filename().string());
    std::ranges::sort(names);
    return names;
  }

  fs::path dir_;
};

// Written by hand on another system: byte order mark, CR LF, comments of both kinds, blank lines,
// space around names and values, quotes, a key before any section, a line with no "=", a repeated
// key and a repeated section.
constexpr const char* kHandWritten =
    "\xEF\xBB\xBF; settings of the fill\r\n"
    "orphan=1\r\n"
    "\r\n"
    "[TAdvSmoothButton]\r\n"
    "# the face colour\r\n"
    "  Color =  8421504  \r\n"
    "Caption=\"  Start  \"\r\n"
    "Note = a;b # not a comment\r\n"
    "just some words\r\n"
    "color=255\r\n"
    "\r\n"
    "[ Panel.Fill ]\r\n"
    "Opacity=200\r\n"
    "[TAdvSmoothButton]\r\n"
    "Later=yes\r\n";

TEST(IniFileText, ReadsAHandWrittenFile) {
  const IniFile ini = IniFile::FromText(kHandWritten);
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"TAdvSmoothButton", "Panel.Fill"}));
  EXPECT_EQ(ini.ReadInteger("tadvsmoothbutton", "COLOR", -1), 8421504);  // the first of equal keys
  EXPECT_EQ(ini.ReadString("TAdvSmoothButton", "Caption", ""), "  Start  ");
  EXPECT_EQ(ini.ReadString("TAdvSmoothButton", "Note", ""), "a;b # not a comment");
  EXPECT_TRUE(ini.ReadBool("TAdvSmoothButton", "Later", false));  // from the repeated section
  EXPECT_EQ(ini.ReadInteger("Panel.Fill", "Opacity", -1), 200);
  EXPECT_EQ(ini.ReadSection("TAdvSmoothButton"), (std::vector<std::string>{"Color", "Caption", "Note", "Later"}));
  EXPECT_FALSE(ini.ValueExists("", "orphan"));
  EXPECT_FALSE(ini.ValueExists("TAdvSmoothButton", "just some words"));
  EXPECT_FALSE(ini.ValueExists("TAdvSmoothButton", "the face colour"));
}

TEST(IniFileText, WritingAValueKeepsCommentsLayoutAndLineEnds) {
  IniFile ini = IniFile::FromText(
      "; top\r\n[A]\r\n  Key = 1  ; old\r\n\r\n[B]\r\n# keep me\r\nX=2\r\n");
  ini.WriteInteger("a", "key", 5);
  ini.WriteString("B", "Y", "new");
  ini.WriteString("C", "Z", "3");
  EXPECT_EQ(ini.ToText(), "; top\r\n[A]\r\nKey=5\r\n\r\n[B]\r\n# keep me\r\nX=2\r\nY=new\r\n\r\n[C]\r\nZ=3\r\n");
}

TEST(IniFileText, UnchangedTextIsWrittenBackAsItWasRead) {
  const std::string text = "\xEF\xBB\xBF; c\n[S]\n a = 1 \nfree text\n\n[T]\nb=\"q\"\n";
  EXPECT_EQ(IniFile::FromText(text).ToText(), text);
}

TEST(IniFileText, NewKeysGoBeforeTheBlankLinesThatEndASection) {
  IniFile ini = IniFile::FromText("[A]\nx=1\n\n\n[B]\ny=2\n");
  ini.WriteBool("A", "z", true);
  EXPECT_EQ(ini.ToText(), "[A]\nx=1\nz=1\n\n\n[B]\ny=2\n");
}

TEST(IniFileText, EraseSectionAndDeleteKey) {
  IniFile ini = IniFile::FromText("[A]\nx=1\nX=2\ny=3\n[B]\nz=4\n");
  ini.DeleteKey("A", "x");  // every line of that key
  EXPECT_EQ(ini.ReadSection("A"), std::vector<std::string>{"y"});
  ini.EraseSection("b");
  EXPECT_FALSE(ini.SectionExists("B"));
  EXPECT_EQ(ini.ToText(), "[A]\ny=3\n");
  ini.DeleteKey("missing", "x");
  ini.EraseSection("missing");
}

struct NumberCase {
  const char* Text;
  bool Parses;
  std::int64_t Value;
};

std::ostream& operator<<(std::ostream& os, const NumberCase& c) { return os << '"' << c.Text << '"'; }

class IniIntegerValues : public ::testing::TestWithParam<NumberCase> {};

TEST_P(IniIntegerValues, ReadAsValueOrDefault) {
  const NumberCase& c = GetParam();
  const IniFile ini = IniFile::FromText(std::string("[S]\nk=") + c.Text + "\n");
  EXPECT_EQ(ini.ReadInteger("S", "k", 77), c.Parses ? c.Value : 77);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniIntegerValues,
                         ::testing::Values(NumberCase{"42", true, 42}, NumberCase{"-7", true, -7},
                                           NumberCase{"+5", true, 5}, NumberCase{"0x1F", true, 31},
                                           NumberCase{"$ff", true, 255}, NumberCase{"-$10", true, -16},
                                           NumberCase{"2147483647", true, 2147483647},
                                           NumberCase{"-2147483648", true, -2147483648LL},
                                           NumberCase{"2147483648", false, 0}, NumberCase{"-2147483649", false, 0},
                                           NumberCase{"99999999999999999999999", false, 0},
                                           NumberCase{"12abc", false, 0}, NumberCase{"1.0", false, 0},
                                           NumberCase{"", false, 0}, NumberCase{"-", false, 0},
                                           NumberCase{"--1", false, 0}, NumberCase{"0x", false, 0},
                                           NumberCase{"0x-1", false, 0}, NumberCase{"1 2", false, 0}));

TEST(IniFileNumbers, Int64TakesItsWholeRange) {
  IniFile ini = IniFile::FromText("");
  for (std::int64_t v : {std::numeric_limits<std::int64_t>::min(), std::int64_t{0}, std::numeric_limits<std::int64_t>::max()}) {
    ini.WriteInt64("S", "k", v);
    EXPECT_EQ(ini.ReadInt64("S", "k", 1), v);
  }
  EXPECT_EQ(IniFile::FromText("[S]\nk=9223372036854775808\n").ReadInt64("S", "k", 1), 1);
}

TEST(IniFileNumbers, FloatsReadWithAPointAndOnlyWhenFinite) {
  const IniFile ini = IniFile::FromText(
      "[S]\na=1.5\nb=-2.25e3\nc=1,5\nd=nan\ne=inf\nf=1e999\ng=\nh= 0.125 \ni=+3\nj=.5\n");
  const struct {
    const char* Key;
    double Expected;
  } rows[] = {{"a", 1.5}, {"b", -2250}, {"c", -1}, {"d", -1}, {"e", -1},
              {"f", -1},  {"g", -1},    {"h", 0.125}, {"i", 3}, {"j", 0.5}};
  for (const auto& row : rows) EXPECT_EQ(ini.ReadFloat("S", row.Key, -1), row.Expected) << row.Key;
}

TEST(IniFileNumbers, FloatsRoundTripExactlyAndRefuseNonFinite) {
  IniFile ini = IniFile::FromText("");
  for (double v : {0.1, 1.0 / 3.0, -1e-300, 1.7976931348623157e308, 5e-324, 0.0, 12632256.0}) {
    ini.WriteFloat("S", "k", v);
    EXPECT_EQ(ini.ReadFloat("S", "k", -1), v) << ini.ReadString("S", "k", "");
  }
  EXPECT_EQ(ini.ReadString("S", "k", ""), "12632256");
  EXPECT_THROW(ini.WriteFloat("S", "k", std::nan("")), EIniFileError);
  EXPECT_THROW(ini.WriteFloat("S", "k", -INFINITY), EIniFileError);
}

TEST(IniFileNumbers, Booleans) {
  const IniFile ini = IniFile::FromText(
      "[S]\na=1\nb=0\nc=TRUE\nd=false\ne=Yes\nf=no\ng=on\nh=OFF\ni=2\nj=maybe\n");
  const struct {
    const char* Key;
    bool WhenDefaultFalse;
    bool WhenDefaultTrue;
  } rows[] = {{"a", true, true},   {"b", false, false}, {"c", true, true},   {"d", false, false},
              {"e", true, true},   {"f", false, false}, {"g", true, true},   {"h", false, false},
              {"i", true, true},   {"j", false, true},  {"none", false, true}};
  for (const auto& row : rows) {
    EXPECT_EQ(ini.ReadBool("S", row.Key, false), row.WhenDefaultFalse) << row.Key;
    EXPECT_EQ(ini.ReadBool("S", row.Key, true), row.WhenDefaultTrue) << row.Key;
  }
}

TEST(IniFileWrite, RefusesNamesAndValuesThatWouldNotReadBack) {
  const struct {
    const char* Section;
    const char* Key;
    const char* Value;
  } rows[] = {{"", "k", "v"},      {"S]", "k", "v"},  {" S", "k", "v"},  {"S\n", "k", "v"}, {"S", "", "v"},
              {"S", "a=b", "v"},   {"S", "[k", "v"},  {"S", ";k", "v"},  {"S", "#k", "v"},  {"S", "k ", "v"},
              {"S", "k\r", "v"},   {"S", "k", "a\nb"}, {"S", "k", "a\rb"}};
  IniFile ini = IniFile::FromText("[S]\nk=old\n", "settings.ini");
  for (const auto& row : rows) {
    try {
      ini.WriteString(row.Section, row.Key, row.Value);
      ADD_FAILURE() << "accepted [" << row.Section << "] " << row.Key;
    } catch (const EIniFileError& e) {
      EXPECT_NE(std::string(e.what()).find("settings.ini"), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(ini.WriteString("S", "k", std::string_view("a\0b", 3)), EIniFileError);
  EXPECT_EQ(ini.ToText(), "[S]\nk=old\n");
}

TEST_F(IniFileOnDisk, EveryKindRoundTripsThroughTheFile) {
  const std::vector<std::string> strings = {"", "plain", "  padded  ", "\"quoted\"", "\"", "a=b=c",
                                            ";not a comment", "[not a section]", "caf\xC3\xA9", "tab\tinside"};
  {
    IniFile ini(File("round.ini"));
    for (std::size_t i = 0; i < strings.size(); ++i) ini.WriteString("Strings", "s" + std::to_string(i), strings[i]);
    ini.WriteInteger("Numbers", "Int", -16777201);
    ini.WriteInt64("Numbers", "Big", -9007199254740993);
    ini.WriteFloat("Numbers", "Real", 0.1);
    ini.WriteBool("Numbers", "On", true);
    ini.WriteBool("Numbers", "Off", false);
    ini.UpdateFile();
  }
  const IniFile back(File("round.ini"));
  for (std::size_t i = 0; i < strings.size(); ++i)
    EXPECT_EQ(back.ReadString("Strings", "s" + std::to_string(i), "missing"), strings[i]) << i;
  EXPECT_EQ(back.ReadInteger("Numbers", "Int", 0), -16777201);
  EXPECT_EQ(back.ReadInt64("Numbers", "Big", 0), -9007199254740993);
  EXPECT_EQ(back.ReadFloat("Numbers", "Real", 0), 0.1);
  EXPECT_TRUE(back.ReadBool("Numbers", "On", false));
  EXPECT_FALSE(back.ReadBool("Numbers", "Off", true));
  EXPECT_EQ(back.ToText(), IniFile::FromText(back.ToText()).ToText());
}

TEST_F(IniFileOnDisk, AMissingFileIsEmptyAndAppearsOnUpdate) {
  IniFile ini(File("new.ini"));
  EXPECT_TRUE(ini.ReadSections().empty());
  EXPECT_EQ(ini.ReadInteger("S", "k", 9), 9);
  EXPECT_TRUE(Entries().empty());
  ini.WriteInteger("S", "k", 1);
  ini.UpdateFile();
  EXPECT_EQ(Get(File("new.ini")), "[S]\nk=1\n");
}

TEST_F(IniFileOnDisk, UpdateReplacesTheFileByRenameAndKeepsItsMode) {
  Put(File("theme.ini"), "[TAdvSmoothButton]\r\nColor=1\r\n");
  ASSERT_EQ(::chmod(File("theme.ini").c_str(), 0640), 0);
  // A second name for the old file keeps seeing the old text: the new text went into a new file.
  fs::create_hard_link(File("theme.ini"), File("old-link.ini"));
  IniFile ini(File("theme.ini"));
  ini.WriteInteger("TAdvSmoothButton", "Color", 2);
  ini.UpdateFile();
  EXPECT_EQ(Get(File("theme.ini")), "[TAdvSmoothButton]\r\nColor=2\r\n");
  EXPECT_EQ(Get(File("old-link.ini")), "[TAdvSmoothButton]\r\nColor=1\r\n");
  EXPECT_EQ(fs::status(File("theme.ini")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"old-link.ini", "theme.ini"}));  // no temporary left
}

TEST_F(IniFileOnDisk, UpdateWritesThroughASymbolicLink) {
  Put(File("real.ini"), "[S]\nk=1\n");
  fs::create_symlink(File("real.ini"), File("link.ini"));
  IniFile ini(File("link.ini"));
  ini.WriteInteger("S", "k", 2);
  ini.UpdateFile();
  EXPECT_TRUE(fs::is_symlink(File("link.ini")));
  EXPECT_EQ(Get(File("real.ini")), "[S]\nk=2\n");
}

TEST_F(IniFileOnDisk, AFailedUpdateNamesTheFileAndLeavesNothingBehind) {
  IniFile ini(File("no-such-folder") / "x.ini");
  ini.WriteInteger("S", "k", 1);
  try {
    ini.UpdateFile();
    FAIL() << "wrote into a missing folder";
  } catch (const EIniFileError& e) {
    EXPECT_NE(std::string(e.what()).find("x.ini"), std::string::npos) << e.what();
  }
  fs::create_directory(File("folder.ini"));
  IniFile onFolder = IniFile::FromText("[S]\nk=1\n", File("folder.ini"));
  EXPECT_THROW(onFolder.UpdateFile(), EIniFileError);
  EXPECT_TRUE(fs::is_directory(File("folder.ini")));
  EXPECT_EQ(Entries(), std::vector<std::string>{"folder.ini"});
  EXPECT_THROW(IniFile::FromText("[S]\nk=1\n").UpdateFile(), EIniFileError);
}

TEST_F(IniFileOnDisk, UnreadableFilesRaise) {
  fs::create_directory(File("dir.ini"));
  EXPECT_THROW(IniFile{File("dir.ini")}, EIniFileError);
  {
    std::ofstream big(File("big.ini"), std::ios::binary);
    const std::string line(1023, 'x');
    for (std::uintmax_t written = 0; written <= IniFile::kMaxFileSize; written += 1024) big << line << '\n';
  }
  EXPECT_THROW(IniFile{File("big.ini")}, EIniFileError);
  if (::geteuid() != 0) {  // root reads any file
    Put(File("locked.ini"), "[S]\nk=1\n");
    ASSERT_EQ(::chmod(File("locked.ini").c_str(), 0), 0);
    EXPECT_THROW(IniFile{File("locked.ini")}, EIniFileError);
  }
}

}  // namespace
}  // namespace sib
