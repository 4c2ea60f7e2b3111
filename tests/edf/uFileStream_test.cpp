// The file stream: modes, locks, reads and writes at 64-bit offsets.
#include "edf/uFileStream.h"

#include <gtest/gtest.h>

#include <string>

#include "support/uSysUtils.h"
#include "testkit/EdfBytes.h"

namespace {

using testkit::TempDir;

TEST(UFileStream, ReadOnlyOpenReadsWithoutChangingTheFile) {
  TempDir dir;
  const std::string path = dir.File("a.bin");
  testkit::WriteFileBytes(path, "0123456789");
  const int64_t mtime = testkit::FileMTimeNs(path);
  {
    TFileStream stream(path, TFileStreamMode::fmOpenRead);
    EXPECT_EQ(stream.Size(), 10);
    char buf[8] = {};
    EXPECT_EQ(stream.ReadAt(6, buf, 8), 4);  // short only at the end of the file
    EXPECT_EQ(std::string(buf, 4), "6789");
    stream.Seek(2);
    EXPECT_EQ(stream.Read(buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "234");
    EXPECT_EQ(stream.Position(), 5);
    EXPECT_THROW(stream.WriteAt(0, "x", 1), EStreamError);
  }
  EXPECT_EQ(testkit::ReadFileBytes(path), "0123456789");
  EXPECT_EQ(testkit::FileMTimeNs(path), mtime);
}

TEST(UFileStream, ReadersShareAndAWriterExcludesThem) {
  TempDir dir;
  const std::string path = dir.File("a.bin");
  testkit::WriteFileBytes(path, "abc");
  {
    TFileStream reader(path, TFileStreamMode::fmOpenRead);
    EXPECT_NO_THROW(TFileStream(path, TFileStreamMode::fmOpenRead));
    EXPECT_THROW(TFileStream(path, TFileStreamMode::fmOpenReadWrite), EFOpenError);
  }
  TFileStream writer(path, TFileStreamMode::fmOpenReadWrite);
  try {
    TFileStream reader(path, TFileStreamMode::fmOpenRead);
    ADD_FAILURE() << "a reader opened a file held by a writer";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
  }
}

TEST(UFileStream, OpenErrorsNameTheFile) {
  TempDir dir;
  const std::string missing = dir.File("missing.bin");
  try {
    TFileStream stream(missing, TFileStreamMode::fmOpenRead);
    ADD_FAILURE() << "a missing file opened";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find(missing), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("No such file"), std::string::npos) << e.Message();
  }
  EXPECT_THROW(TFileStream(dir.Path(), TFileStreamMode::fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.File("no/such/dir.bin"), TFileStreamMode::fmCreate),
               EFCreateError);
}

TEST(UFileStream, CreateEmptiesAndWritesAtOffsetsBeyond4GiB) {
  TempDir dir;
  const std::string path = dir.File("new.bin");
  testkit::WriteFileBytes(path, "old content");
  TFileStream stream(path, TFileStreamMode::fmCreate);
  EXPECT_EQ(stream.Size(), 0);
  stream.Write("head", 4);
  EXPECT_EQ(stream.Position(), 4);
  const int64_t far = (int64_t{1} << 32) + 10;
  try {
    stream.WriteAt(far, "tail", 4);
  } catch (const EStreamError& e) {
    GTEST_SKIP() << "the temporary file system refuses a 4 GiB file: " << e.Message();
  }
  EXPECT_EQ(stream.Size(), far + 4);
  char buf[4] = {};
  EXPECT_EQ(stream.ReadAt(far, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "tail");
  EXPECT_EQ(stream.ReadAt(0, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "head");
}

}  // namespace
