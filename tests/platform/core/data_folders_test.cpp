// Where the programs look for their data: the working folder first, then beside the program's own
// folder in a build or an install.
#include "platform/core/data_folders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace sib {
namespace {

namespace fs = std::filesystem;

TEST(DataFoldersTest, LooksInTheBuildsDataFolderThenTheInstalledOne) {
  struct Row {
    const char* Program;
    std::vector<fs::path> Folders;
  };
  const Row rows[] = {
      {"/usr/bin/sibilon", {"/usr/data", "/usr/share/sibilon"}},
      {"/home/u/sibilon/build/release/app/sibilon", {"/home/u/sibilon/build/release/data", "/home/u/sibilon/build/release/share/sibilon"}},
      {"/opt/root/usr/bin/sibilon-play", {"/opt/root/usr/data", "/opt/root/usr/share/sibilon"}},
  };
  for (const Row& row : rows) EXPECT_EQ(DataFolders(row.Program), row.Folders) << row.Program;
  EXPECT_TRUE(DataFolders({}).empty());
}

TEST(DataFoldersTest, ProgramFileIsThisTest) {
  EXPECT_EQ(ProgramFile().filename(), "platform_core_tests");
}

class FolderHoldingTest : public ::testing::Test {
 protected:
  FolderHoldingTest()
      : root_(fs::temp_directory_path() / ("sib-data-folders-" + std::to_string(::getpid()))), previous_(fs::current_path()) {
    for (const char* folder : {"here", "first", "second"}) fs::create_directories(root_ / folder);
    fs::current_path(root_ / "here");
  }
  ~FolderHoldingTest() override {
    fs::current_path(previous_);
    fs::remove_all(root_);
  }
  void Put(const char* folder, const char* file) { std::ofstream(root_ / folder / file) << "x"; }
  fs::path At(const char* folder) const { return root_ / folder; }

  fs::path root_, previous_;
};

TEST_F(FolderHoldingTest, WorkingFolderComesFirst) {
  Put("here", "Pink.wav");
  Put("first", "Pink.wav");
  EXPECT_EQ(FolderHolding("Pink.wav", {At("first")}), fs::current_path());
}

TEST_F(FolderHoldingTest, OtherwiseTheFirstFolderThatHasTheFile) {
  Put("second", "Pink.wav");
  Put("first", "Brown.wav");
  EXPECT_EQ(FolderHolding("Pink.wav", {At("missing"), At("first"), At("second")}), At("second"));
}

TEST_F(FolderHoldingTest, NoneWhenNoFolderHasIt) {
  fs::create_directories(At("first") / "Pink.wav");  // a folder of that name is not the file
  EXPECT_EQ(FolderHolding("Pink.wav", {At("first"), At("missing")}), std::nullopt);
}

}  // namespace
}  // namespace sib
