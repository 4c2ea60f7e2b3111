#include "support/uApplicINI.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/udDisk.h"

namespace fs = std::filesystem;

namespace {
class UApplicIniFile : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("vellicor_applicini_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Dir);
    Ini = (Dir / "Check.ini").string();
    std::ofstream(Ini, std::ios::binary) << "; settings\n"
                                            "[General]\n"
                                            "Name =   Vellicor  \n"
                                            "Empty=\n"
                                            "Dup=first\n"
                                            "Dup=second\n"
                                            "[Paths]\n"
                                            "Data=C:\\EDF\n";
  }
  void TearDown() override { fs::remove_all(Dir); }
  fs::path Dir;
  std::string Ini;
};

// The process-wide paths are restored after each test that changes them.
class UApplicIniPaths : public ::testing::Test {
protected:
  void SetUp() override { Saved = {SharedIniPath, AppIniPath, AppName}; }
  void TearDown() override {
    SharedIniPath = Saved[0];
    AppIniPath = Saved[1];
    AppName = Saved[2];
  }
  std::array<std::string, 3> Saved;
};
}  // namespace

TEST_F(UApplicIniFile, ReadsTrimmedValuesWithCaseInsensitiveSectionAndKey) {
  struct Case {
    const char* Section;
    const char* Key;
    const char* Default;
    const char* Expected;
  };
  const Case Cases[] = {
      {"General", "Name", "x", "Vellicor"},
      {"GENERAL", "name", "x", "Vellicor"},
      {"paths", "DATA", "x", "C:\\EDF"},
      {"General", "Empty", "x", ""},        // present but empty: not the default
      {"General", "Dup", "x", "first"},     // the first occurrence wins
      {"General", "Missing", "  dflt \t", "dflt"},  // file exists: default trimmed
      {"Nowhere", "Name", " d ", "d"},
      {"Paths", "Name", "", ""},            // key of another section
  };
  for (const auto& C : Cases)
    EXPECT_EQ(ReadIniString(Ini, C.Section, C.Key, C.Default), C.Expected)
        << C.Section << "/" << C.Key;
}

TEST_F(UApplicIniFile, MissingFileOrFolderReturnsTheDefaultUnchanged) {
  EXPECT_EQ(ReadIniString((Dir / "none.ini").string(), "General", "Name", "  dflt  "), "  dflt  ");
  EXPECT_EQ(ReadIniString(Dir.string(), "General", "Name", " dflt "), " dflt ");
}

TEST_F(UApplicIniPaths, SharedPathIsSetFromLoadOnAndReadsThroughIt) {
  EXPECT_EQ(SharedIniPath, "m:\\applic.qzr\\Applic.INI");
  EXPECT_EQ(ReadSharedIniString("General", "Name", " d "), " d ");  // no such file here

  const fs::path Ini = fs::temp_directory_path() /
                       ("vellicor_shared_" + std::to_string(::getpid()) + ".ini");
  std::ofstream(Ini) << "[Net]\nHost= log1 \n";
  SharedIniPath = Ini.string();
  EXPECT_EQ(ReadSharedIniString("net", "host", "d"), "log1");
  fs::remove(Ini);
}

TEST_F(UApplicIniPaths, InitTakesTheProgramFileAndKeepsAPresetIniPath) {
  const fs::path Program = fs::read_symlink("/proc/self/exe");
  AppIniPath.clear();
  InitApplicINI();
  EXPECT_EQ(AppIniPath, fs::path(Program).replace_extension(".ini").string());
  EXPECT_EQ(AppName, FileBaseName(Program.string()));
  EXPECT_FALSE(AppName.empty());

  AppIniPath = "/etc/preset.ini";
  InitApplicINI();
  EXPECT_EQ(AppIniPath, "/etc/preset.ini");
}

TEST_F(UApplicIniPaths, DoneEmptiesAllThreePaths) {
  InitApplicINI();
  DoneApplicINI();
  EXPECT_EQ(SharedIniPath, "");
  EXPECT_EQ(AppIniPath, "");
  EXPECT_EQ(AppName, "");
}
