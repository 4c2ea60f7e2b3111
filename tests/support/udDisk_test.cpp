#include "support/udDisk.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
// A fresh folder per test, removed afterwards.
class UdDiskFiles : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("vellicor_uddisk_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string MakeFile(const std::string& Name, const std::string& Content) {
    const fs::path P = Dir / Name;
    std::ofstream(P, std::ios::binary) << Content;
    return P.string();
  }
  fs::path Dir;
};
}  // namespace

TEST(UdDiskFileBaseName, TakesTheNameAfterTheLastSeparatorUpToItsFirstPoint) {
  const std::pair<const char*, const char*> Cases[] = {
      {"C:\\Data.old\\Prog.new.exe", "Prog"},
      {"C:\\Tools\\Check.exe", "Check"},
      {"/usr/bin/vellicor-check", "vellicor-check"},
      {"/opt/a.b/c", "c"},
      {"D:prog.exe", "prog"},
      {"plain", "plain"},
      {"name.", "name"},
      {".hidden", ""},
      {"C:\\Data\\", ""},
      {"/tmp/", ""},
      {"", ""},
  };
  for (const auto& [Path, Expected] : Cases) EXPECT_EQ(FileBaseName(Path), Expected) << Path;
}

TEST_F(UdDiskFiles, MaskZeroIsTrueForAnyPathAndMissingPathsHaveNoAttributes) {
  const std::string Missing = (Dir / "missing.edf").string();
  EXPECT_TRUE(FileHasAttributes(Missing, 0));
  EXPECT_FALSE(FileHasAttributes(Missing, faCompressed));
  EXPECT_FALSE(FileHasAttributes(Missing, 0x0001));
  EXPECT_FALSE(IsCompressedFile(Missing));
}

TEST_F(UdDiskFiles, OrdinaryFileIsNotCompressed) {
  const std::string File = MakeFile("plain.edf", "0       ");
  EXPECT_TRUE(FileHasAttributes(File, 0));
  EXPECT_FALSE(IsCompressedFile(File));
}

TEST_F(UdDiskFiles, AttributesFollowTypePermissionAndName) {
  const std::string Plain = MakeFile("plain.edf", "0");
  const std::string Hidden = MakeFile(".hidden.edf", "0");
  const std::string Locked = MakeFile("locked.edf", "0");
  std::filesystem::permissions(Locked, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  struct Case {
    std::string Path;
    uint16_t Mask;
    bool Expected;
  };
  const Case Cases[] = {
      {Dir.string(), faDirectory, true},   {Plain, faDirectory, false},
      {Plain, faReadOnly, false},          {Locked, faReadOnly, true},
      {Hidden, faHidden, true},            {Plain, faHidden, false},
      {Locked, faReadOnly | faHidden, false},
  };
  for (const Case& C : Cases) EXPECT_EQ(FileHasAttributes(C.Path, C.Mask), C.Expected) << C.Path;
}

TEST_F(UdDiskFiles, FileExistsOnlyForNonDirectoriesAndSizeIsTheByteCount) {
  const std::string File = MakeFile("sized.edf", std::string(300, 'x'));
  EXPECT_TRUE(FileExists(File));
  EXPECT_FALSE(FileExists(Dir.string()));
  EXPECT_FALSE(FileExists((Dir / "missing").string()));
  EXPECT_EQ(FileSizeOf(File), 300);
  EXPECT_EQ(FileSizeOf(MakeFile("empty.edf", "")), 0);
  EXPECT_EQ(FileSizeOf((Dir / "missing").string()), -1);
}
