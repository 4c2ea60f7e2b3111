#include "cli/FileList.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "RunCli.h"
#include "testkit/EdfBytes.h"

using testkit::EdfBytes;
using testkit::TempDir;

namespace {

TEST(FileList, EdfExtensionInAnyLetterCase) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"a.edf", true}, {"a.EDF", true}, {"a.Edf", true}, {".edf", true},
      {"a.edf.txt", false}, {"aedf", false}, {"a.bdf", false}, {"edf", false}, {"", false}};
  for (const auto& [name, expected] : cases) EXPECT_EQ(HasEdfExtension(name), expected) << name;
}

TEST(FileList, RecordingExtensionIsEdfOrBdfInAnyLetterCase) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"a.edf", true}, {"a.BDF", true}, {"a.Bdf", true}, {".bdf", true},
      {"a.bdf.txt", false}, {"abdf", false}, {"a.gdf", false}, {"bdf", false}};
  for (const auto& [name, expected] : cases) EXPECT_EQ(HasRecordingExtension(name), expected) << name;
}

// a/ with nested folders, mixed case, and files that must not be taken.
void MakeTree(const TempDir& Dir) {
  namespace fs = std::filesystem;
  fs::create_directories(Dir.File("a/sub/deeper"));
  fs::create_directories(Dir.File("a/empty"));
  const std::string bytes = EdfBytes::Valid(1, 10, 1).Bytes();
  for (const char* name : {"a/z.edf", "a/B.EDF", "a/sub/c.Edf", "a/sub/deeper/d.edf", "a/notes.txt",
                           "a/sub/x.edf.bak"})
    testkit::WriteFileBytes(Dir.File(name), bytes);
}

TEST(FileList, FolderWalkFindsEdfFilesSortedByPath) {
  TempDir dir;
  MakeTree(dir);
  const auto entries = ExpandPaths({dir.File("a")}, true);
  std::vector<std::string> paths;
  for (const auto& e : entries) {
    EXPECT_EQ(e.Error, "") << e.Path;
    paths.push_back(e.Path);
  }
  const std::vector<std::string> expected = {dir.File("a/B.EDF"), dir.File("a/sub/c.Edf"),
                                             dir.File("a/sub/deeper/d.edf"), dir.File("a/z.edf")};
  EXPECT_EQ(paths, expected);
}

TEST(FileList, ArgumentOrderIsKeptAndNamedFilesAreTakenWhateverTheirName) {
  TempDir dir;
  MakeTree(dir);
  const auto entries = ExpandPaths({dir.File("a/notes.txt"), dir.File("a/sub"), dir.File("gone")}, true);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].Path, dir.File("a/notes.txt"));
  EXPECT_EQ(entries[0].Error, "");
  EXPECT_EQ(entries[1].Path, dir.File("a/sub/c.Edf"));
  EXPECT_EQ(entries[2].Path, dir.File("a/sub/deeper/d.edf"));
  EXPECT_EQ(entries[3].Path, dir.File("gone"));
  EXPECT_EQ(entries[3].Error, "");  // found out by the check's own open, never a second one
}

TEST(FileList, FolderWithoutRecursiveIsNotWalked) {
  TempDir dir;
  MakeTree(dir);
  const auto entries = ExpandPaths({dir.File("a")}, false);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Path, dir.File("a"));
}

TEST(FileList, SymbolicLinkLoopDoesNotHangTheWalk) {
  TempDir dir;
  MakeTree(dir);
  std::filesystem::create_directory_symlink(dir.File("a"), dir.File("a/sub/loop"));
  EXPECT_EQ(ExpandPaths({dir.File("a")}, true).size(), 4u);
}

TEST(FileList, RecursiveRunChecksUpperAndLowerCaseNames) {
  TempDir dir;
  MakeTree(dir);
  TempDir scratch;
  const auto r = clitest::RunCli({"-r", dir.File("a")}, scratch.Path());
  EXPECT_EQ(r.Exit, 0) << r.Err;
  const std::string v = ": File has a valid EDF fileheader.\n  format: EDF";
  EXPECT_EQ(r.Out, dir.File("a/B.EDF") + v + "\n  Datablock size = 20 bytes\n" +
                       dir.File("a/sub/c.Edf") + v + "\n  Datablock size = 20 bytes\n" +
                       dir.File("a/sub/deeper/d.edf") + v + "\n  Datablock size = 20 bytes\n" +
                       dir.File("a/z.edf") + v + "\n  Datablock size = 20 bytes\n");
}

// BDF files are collected too, and judged by their first byte, not their name.
TEST(FileList, RecursiveRunAlsoChecksBdfFiles) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("m/sub"));
  const std::string bdf = EdfBytes::ValidBdf(1, 10, 1).Bytes();
  const std::string edf = EdfBytes::Valid(1, 10, 1).Bytes();
  testkit::WriteFileBytes(dir.File("m/x.bdf"), bdf);
  testkit::WriteFileBytes(dir.File("m/sub/Y.BDF"), bdf);
  testkit::WriteFileBytes(dir.File("m/edf-named.bdf"), edf);
  testkit::WriteFileBytes(dir.File("m/notes.bdf.txt"), bdf);
  TempDir scratch;
  const auto r = clitest::RunCli({"-r", dir.File("m")}, scratch.Path());
  EXPECT_EQ(r.Exit, 0) << r.Err;
  const std::string b = ": File has a valid BDF fileheader.\n  format: BDF\n  Datablock size = 30 bytes\n";
  EXPECT_EQ(r.Out, dir.File("m/edf-named.bdf") +
                       ": File has a valid EDF fileheader.\n  format: EDF\n  Datablock size = 20 bytes\n" +
                       dir.File("m/sub/Y.BDF") + b + dir.File("m/x.bdf") + b);
}

}  // namespace
