// The file stream: modes, locks, reads and writes at 64-bit offsets.
#include "edf/uFileStream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

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

// What a reader is told about paths that are no plain readable file. Each of
// these once hung in open() or was judged as an empty EDF file.
enum class TRefused { No, NotRegular, Locked, Other };

struct TReadableCase {
  const char* Name;
  // Makes the path; what it returns must stay alive (an open pipe or lock)
  // until the case is done.
  std::function<std::string(const TempDir&, std::vector<int>& Hold)> Make;
  TRefused Refused;
  std::string Reason;
};

TEST(UFileStream, OnlyRegularUnlockedFilesOpenAndNoOpenWaits) {
  const TReadableCase Cases[] = {
      {"regular file",
       [](const TempDir& D, std::vector<int>&) {
         testkit::WriteFileBytes(D.File("a.edf"), "abc");
         return D.File("a.edf");
       },
       TRefused::No, ""},
      {"named pipe without a writer",
       [](const TempDir& D, std::vector<int>&) {
         EXPECT_EQ(::mkfifo(D.File("x.edf").c_str(), 0600), 0);
         return D.File("x.edf");
       },
       TRefused::NotRegular, "not a regular file"},
      {"/dev/zero", [](const TempDir&, std::vector<int>&) { return std::string("/dev/zero"); },
       TRefused::NotRegular, "not a regular file"},
      {"the read end of a pipe, as /dev/stdin is under a shell pipe",
       [](const TempDir&, std::vector<int>& Hold) {
         int Ends[2] = {-1, -1};
         EXPECT_EQ(::pipe(Ends), 0);
         Hold.assign(Ends, Ends + 2);
         return "/proc/self/fd/" + std::to_string(Ends[0]);
       },
       TRefused::NotRegular, "not a regular file"},
      {"file another program holds for writing",
       [](const TempDir& D, std::vector<int>& Hold) {
         testkit::WriteFileBytes(D.File("held.edf"), "abc");
         const int Fd = ::open(D.File("held.edf").c_str(), O_RDWR | O_CLOEXEC);
         EXPECT_EQ(::flock(Fd, LOCK_EX | LOCK_NB), 0);
         Hold.push_back(Fd);
         return D.File("held.edf");
       },
       TRefused::Locked, "locked by another program"},
      {"folder", [](const TempDir& D, std::vector<int>&) { return D.Path(); }, TRefused::Other,
       "Is a directory"},
      {"missing file", [](const TempDir& D, std::vector<int>&) { return D.File("none.edf"); },
       TRefused::Other, "No such file or directory"},
  };
  for (const TReadableCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TempDir Dir;
    std::vector<int> Hold;
    const std::string Path = C.Make(Dir, Hold);
    EXPECT_EQ(ReadableFileError(Path), C.Reason);
    TRefused Got = TRefused::No;
    try {
      TFileStream Stream(Path, TFileStreamMode::fmOpenRead);
    } catch (const EFOpenError& E) {
      Got = dynamic_cast<const EFNotRegularFile*>(&E) ? TRefused::NotRegular
            : dynamic_cast<const EFLockedFile*>(&E)   ? TRefused::Locked
                                                      : TRefused::Other;
      EXPECT_EQ(E.Reason(), C.Reason);
      EXPECT_NE(E.Message().find(Path), std::string::npos) << E.Message();
      EXPECT_NE(E.Message().find(C.Reason), std::string::npos) << E.Message();
    }
    EXPECT_EQ(Got, C.Refused);
    for (const int Fd : Hold) ::close(Fd);
  }
}

// Reads and what happens to the file between them. Every read must give the
// bytes the file holds at that moment, however the stream reads ahead.
struct TStreamStep {
  enum TKind { Read, Cut, Append, Write } Kind;
  int64_t Offset;  // Read, Write: where; Cut: the new size
  int64_t Count;   // Read: bytes asked for; Append, Write: bytes written
};

std::vector<TStreamStep> Reads(int64_t From, int64_t Step, int64_t Count, int N) {
  std::vector<TStreamStep> Steps;
  for (int i = 0; i < N; ++i) Steps.push_back({TStreamStep::Read, From + i * Step, Count});
  return Steps;
}

std::vector<TStreamStep> Then(std::vector<TStreamStep> A, const std::vector<TStreamStep>& B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

TEST(UFileStream, EveryReadGivesWhatTheFileHoldsNow) {
  struct TCase {
    const char* Name;
    int64_t Size;
    std::vector<TStreamStep> Steps;
  };
  using S = TStreamStep;
  const TCase Cases[] = {
      {"records in order, past the end", 300'000, Reads(0, 10'000, 10'000, 32)},
      {"increasing offsets with gaps", 300'000, Reads(100, 3'000, 1'000, 100)},
      {"records backwards", 300'000, Reads(290'000, -10'000, 10'000, 30)},
      {"file cut inside the next read", 300'000, Then(Reads(0, 1'000, 1'000, 3), {{S::Cut, 3'500, 0}, {S::Read, 3'000, 1'000}})},
      {"file cut before the next read", 300'000,
       Then(Reads(0, 1'000, 1'000, 5), {{S::Cut, 4'500, 0}, {S::Read, 5'000, 1'000}, {S::Read, 6'000, 1'000}})},
      {"file grown past a short block", 5'000,
       Then(Reads(0, 1'000, 1'000, 5), Then({{S::Append, 0, 30'000}}, Reads(5'000, 1'000, 1'000, 40)))},
      {"own write between reads", 300'000,
       Then(Reads(0, 1'000, 1'000, 3), {{S::Write, 3'500, 100}, {S::Read, 3'000, 1'000}})},
  };
  char Fresh = 1;  // bytes written later differ from those before
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TempDir Dir;
    const std::string Path = Dir.File("r.bin");
    std::string Model(static_cast<size_t>(C.Size), '\0');
    for (size_t i = 0; i < Model.size(); ++i) Model[i] = static_cast<char>(i * 7 + i / 251);
    testkit::WriteFileBytes(Path, Model);
    TFileStream Stream(Path, TFileStreamMode::fmOpenReadWrite);
    std::vector<char> Buffer;
    for (const TStreamStep& Step : C.Steps) {
      const std::string Bytes(static_cast<size_t>(Step.Count), ++Fresh);
      switch (Step.Kind) {
        case S::Read: {
          Buffer.assign(static_cast<size_t>(Step.Count), '\0');
          const int64_t Got = Stream.ReadAt(Step.Offset, Buffer.data(), Step.Count);
          const int64_t Held = std::clamp<int64_t>(static_cast<int64_t>(Model.size()) - Step.Offset, 0, Step.Count);
          ASSERT_EQ(Got, Held) << "read at " << Step.Offset;
          ASSERT_EQ(std::string(Buffer.data(), static_cast<size_t>(Got)),
                    Model.substr(static_cast<size_t>(std::min<int64_t>(Step.Offset, static_cast<int64_t>(Model.size()))),
                                 static_cast<size_t>(Got)))
              << "read at " << Step.Offset;
          break;
        }
        case S::Cut:
          ASSERT_EQ(::truncate(Path.c_str(), Step.Offset), 0);
          Model.resize(static_cast<size_t>(Step.Offset));
          break;
        case S::Append: {
          const int Fd = ::open(Path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
          ASSERT_EQ(::write(Fd, Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
          ::close(Fd);
          Model += Bytes;
          break;
        }
        case S::Write:
          Stream.WriteAt(Step.Offset, Bytes.data(), Step.Count);
          Model.replace(static_cast<size_t>(Step.Offset), Bytes.size(), Bytes);
          break;
      }
    }
  }
}

}  // namespace
